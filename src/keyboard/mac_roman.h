// Mac OS Roman, the 8-bit character set of the key character table.
#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// The character of Mac OS Roman code c (codes below 0x80 are ASCII).
char32_t unicodeFromMacRoman(std::uint8_t c);
// The Mac OS Roman code of character u; '?' when Mac OS Roman lacks it.
std::uint8_t macRomanFromUnicode(char32_t u);
// Mac OS Roman code c as UTF-8.
std::string utf8FromMacRoman(std::uint8_t c);

}  // namespace quillon
