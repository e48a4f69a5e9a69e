// Readable text for a property list, as `quillon-plutil -p` prints it.
#pragma once

#include <string>

#include "plist/value.h"

namespace quillon {

// The value as indented text ending in a newline:
//   dictionaries  {  "key" => value  }   one entry a line, keys in byte order
//   arrays        [  0 => value  ]       one element a line, with its index
//   strings       "text" with \" \\ \n \r \t and \u00XX escapes for other control characters
//   integers      decimal; reals the shortest text that reads back as the same double
//   booleans      true / false
//   dates         2026-12-08 16:46:00 +0000 (fractions of a second dropped)
//   data          {length = N, bytes = 0x0001...} with at most 24 bytes shown, then " ... "
//   UIDs          uid(N)
// Each nesting level indents by two spaces. Nesting deeper than maxPropertyListDepth (only a
// container that holds itself gets there) prints as "..." instead of recursing without end.
std::string printPropertyList(const Value& value);

}  // namespace quillon
