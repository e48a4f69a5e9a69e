#include "plist/property_list.h"
namespace quillon { std::optional<std::string> writeBinaryPropertyList(const Value&) { return std::nullopt; } }
