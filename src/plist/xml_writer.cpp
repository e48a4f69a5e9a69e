#include "plist/property_list.h"
namespace quillon { std::optional<std::string> writeXmlPropertyList(const Value&) { return std::nullopt; } }
