#include "plist/strings_table.h"
namespace quillon { DictRef parseStringsTable(std::string_view) { return nullptr; } }
