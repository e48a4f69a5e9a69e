#include "plist/property_list.h"
namespace quillon { Value parseXmlPropertyList(std::string_view) { return {}; } }
