// Tests of the Mac OS Roman table.
#include "keyboard/mac_roman.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(mac_roman, maps_every_code_to_a_distinct_character_and_back) {
    for (int c = 0; c < 256; ++c) {
        const auto code = static_cast<std::uint8_t>(c);
        EXPECT_EQ(macRomanFromUnicode(unicodeFromMacRoman(code)), code) << c;
    }
    EXPECT_EQ(unicodeFromMacRoman(0x41), U'A');
    EXPECT_EQ(unicodeFromMacRoman(0x80), U'\u00C4');
    EXPECT_EQ(unicodeFromMacRoman(0xA7), U'\u00DF');
    EXPECT_EQ(unicodeFromMacRoman(0xDB), U'\u20AC');
    EXPECT_EQ(unicodeFromMacRoman(0xF0), U'\uF8FF');
    EXPECT_EQ(unicodeFromMacRoman(0xFF), U'\u02C7');
    EXPECT_EQ(utf8FromMacRoman(0xAB), "\u00B4");
}

TEST(mac_roman, gives_a_question_mark_for_characters_it_lacks) {
    EXPECT_EQ(macRomanFromUnicode(U'\u00A4'), '?');  // the currency sign the euro replaced
    EXPECT_EQ(macRomanFromUnicode(U'\u0416'), '?');
    EXPECT_EQ(macRomanFromUnicode(U'\U0001F600'), '?');
    EXPECT_EQ(macRomanFromUnicode(0x110000), '?');
}

}  // namespace
}  // namespace quillon
