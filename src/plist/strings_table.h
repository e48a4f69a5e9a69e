// Reading ".strings" tables: lines of "key" = "value"; with comments, in UTF-8 or UTF-16.
#pragma once

#include <string_view>

#include "plist/value.h"

namespace quillon {

// Parses a strings table into a dictionary of strings. The bytes may be UTF-8 (with or without a
// byte-order mark) or UTF-16 with a byte-order mark. Returns nullptr for malformed input.
DictRef parseStringsTable(std::string_view bytes);

}  // namespace quillon
