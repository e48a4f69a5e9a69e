// Tests of the strings-table reader: encodings, escapes, property-list tables and malformed input.
#include "plist/strings_table.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "testing/temp_dir.h"

namespace quillon {
namespace {

using namespace std::string_literals;

std::string fixture(std::string_view name) {
    return testing::readAll(testing::sourceDir() / "tests/plist/fixtures/strings" / name);
}

// UTF-16 bytes with a byte-order mark, in either order.
std::string utf16(std::u16string_view text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const auto hi = static_cast<char>(unit >> 8);
        const auto lo = static_cast<char>(unit & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> entries(const DictRef& dict) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& [key, value] : *dict) out.emplace_back(key, value.asString());
    return out;
}

const std::vector<std::pair<std::string, std::string>> kExampleEntries = {
    {"Command", "Befehl"},
    {"Größe", "Größe ✓ 😀"},
    {"Quote \"inside\"", "Line\nbreak\tand \\ backslash"},
    {"Same", "Same"},
    {"unquoted_key", "value"},
};

TEST(strings_table, reads_comments_quoted_and_bare_keys_and_lone_keys) {
    const DictRef table = parseStringsTable(fixture("example.strings"));
    ASSERT_TRUE(table);
    EXPECT_EQ(entries(table), kExampleEntries);
}

TEST(strings_table, reads_utf8_with_bom_and_utf16_in_both_byte_orders) {
    for (const char* name :
         {"example-bom.strings", "example-utf16le.strings", "example-utf16be.strings"}) {
        SCOPED_TRACE(name);
        const DictRef table = parseStringsTable(fixture(name));
        ASSERT_TRUE(table);
        EXPECT_EQ(entries(table), kExampleEntries);
    }
    // Characters outside the basic plane arrive as surrogate pairs.
    for (const bool bigEndian : {false, true}) {
        const DictRef table = parseStringsTable(utf16(u"\"k\" = \"\U0001F600x\";", bigEndian));
        ASSERT_TRUE(table);
        EXPECT_EQ(table->string("k"), "😀x");
    }
}

TEST(strings_table, reads_tables_saved_as_property_lists) {
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Command", "Befehl"}, {"Empty", ""}, {"Größe", "Größe ✓ 😀"}};
    for (const char* name : {"plist-xml.strings", "plist-binary.strings"}) {
        SCOPED_TRACE(name);
        const DictRef table = parseStringsTable(fixture(name));
        ASSERT_TRUE(table) << "needs the property-list codecs";
        EXPECT_EQ(entries(table), expected);
    }
    // The same XML after a byte-order mark, and as UTF-16.
    const std::string xml = fixture("plist-xml.strings");
    EXPECT_TRUE(parseStringsTable("\xEF\xBB\xBF" + xml));
    const DictRef fromUtf16 = parseStringsTable(
        utf16(u"<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key><string>b</string>"
              u"</dict></plist>",
              true));
    ASSERT_TRUE(fromUtf16);
    EXPECT_EQ(fromUtf16->string("a"), "b");
}

TEST(strings_table, refuses_property_lists_that_are_not_dictionaries_of_strings) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
    EXPECT_FALSE(parseStringsTable(head + "<dict><key>a</key><integer>1</integer></dict></plist>"));
    EXPECT_FALSE(parseStringsTable(head + "<dict><key>a</key><dict/></dict></plist>"));
    EXPECT_FALSE(parseStringsTable(head + "<array><string>a</string></array></plist>"));
    EXPECT_FALSE(parseStringsTable(head + "<string>a</string></plist>"));
    EXPECT_FALSE(parseStringsTable(head + "<dict><key>a</key>"));
    EXPECT_FALSE(parseStringsTable("bplist00 and nothing after"));
}

TEST(strings_table, decodes_every_escape) {
    const DictRef table = parseStringsTable(
        R"("controls" = "\n\t\r\a\b\f\v";)"
        R"("quotes" = "\"\'\\";)"
        R"("unicode" = "\U00e9\u20AC\U0041";)"
        R"("pair" = "\UD83D\UDE00 \ud83d\ude00 \UD83D\uDE00";)"
        R"("octal" = "\101\60\7\0\377|\400|\1234|\08";)"
        R"("others" = "\q\8\ä\?\ ";)");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->string("controls"), "\n\t\r\a\b\f\v");
    EXPECT_EQ(table->string("quotes"), "\"'\\");
    EXPECT_EQ(table->string("unicode"), "é€A");
    EXPECT_EQ(table->string("pair"), "😀 😀 😀");
    // Octal takes up to three digits but never goes past 0377; the value is a code point.
    EXPECT_EQ(table->string("octal"), std::string("A0\a\0ÿ| 0|S4|\0" "8", 15));
    EXPECT_EQ(table->string("others"), "q8ä? ");
}

TEST(strings_table, keeps_raw_line_breaks_and_utf8_inside_strings) {
    const DictRef table = parseStringsTable("\"two\nlines\" = \"ä\r\nö\";");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->string("two\nlines"), "ä\r\nö");
}

TEST(strings_table, reads_bare_words_next_to_comments_and_punctuation) {
    const DictRef table = parseStringsTable(
        "a=b;/*c*/\"d\"=\"e\";key//comment\n=/usr/share/x-1.0:$y;lone;z/*c*/=\"\";// end");
    ASSERT_TRUE(table);
    EXPECT_EQ(entries(table), (std::vector<std::pair<std::string, std::string>>{
                                  {"a", "b"},
                                  {"d", "e"},
                                  {"key", "/usr/share/x-1.0:$y"},
                                  {"lone", "lone"},
                                  {"z", ""},
                              }));
}

TEST(strings_table, empty_or_comment_only_tables_are_empty) {
    for (const std::string& text :
         {std::string(), std::string("\xEF\xBB\xBF"), std::string(" \n\t\r\f\v"),
          std::string("/* only */ // comments\n// and more"), utf16(u"", false), utf16(u"", true),
          utf16(u"/* x */", true)}) {
        const DictRef table = parseStringsTable(text);
        ASSERT_TRUE(table) << ::testing::PrintToString(text);
        EXPECT_TRUE(table->empty());
    }
}

TEST(strings_table, later_duplicate_keys_win) {
    const DictRef table = parseStringsTable("\"a\" = \"1\"; \"b\" = \"2\"; \"a\" = \"3\"; a;");
    ASSERT_TRUE(table);
    EXPECT_EQ(entries(table),
              (std::vector<std::pair<std::string, std::string>>{{"a", "a"}, {"b", "2"}}));
}

TEST(strings_table, refuses_malformed_tables) {
    const std::string valid = "/* c */ \"k\" = \"v\"; // c\nw = \"x\";\n";
    ASSERT_TRUE(parseStringsTable(valid));
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"unterminated string", "/* c */ \"k\" = \"v; // c\nw = \"x\";\n"},
        {"unterminated key", "/* c */ \"k = \"v\"; // c\nw = \"x"},
        {"unterminated comment", "/* c  \"k\" = \"v\"; // c\nw = \"x\";\n"},
        {"backslash at the end", "/* c */ \"k\" = \"v\"; // c\nw = \"x\\"},
        {"missing =", "/* c */ \"k\" \"v\"; // c\nw = \"x\";\n"},
        {"missing value", "/* c */ \"k\" = ; // c\nw = \"x\";\n"},
        {"missing ; between entries", "/* c */ \"k\" = \"v\" // c\nw = \"x\";\n"},
        {"missing ; at the end", "/* c */ \"k\" = \"v\"; // c\nw = \"x\"\n"},
        {"key cut off at the end", "/* c */ \"k\" = \"v\"; // c\nw"},
        {"= cut off at the end", "/* c */ \"k\" = \"v\"; // c\nw ="},
        {"stray token after value", "/* c */ \"k\" = \"v\" \"u\"; // c\nw = \"x\";\n"},
        {"stray ;", "/* c */ \"k\" = \"v\";; // c\nw = \"x\";\n"},
        {"stray =", "/* c */ = \"k\" = \"v\"; // c\nw = \"x\";\n"},
        {"two =", "/* c */ \"k\" == \"v\"; // c\nw = \"x\";\n"},
        {"braces", "{ \"k\" = \"v\"; // c\nw = \"x\"; }\n"},
        {"character not allowed in a bare word", "/* c */ \"k\" = \"v\"; // c\nw# = \"x\";\n"},
        {"comma", "/* c */ \"k\" = \"v\", // c\nw = \"x\";\n"},
        {"NUL outside a string", "/* c */ \"k\" = \"v\"; \0 w = \"x\";\n"s},
        {"three hex digits", "/* c */ \"k\" = \"\\U004\"; // c\nw = \"x\";\n"},
        {"not hex", "/* c */ \"k\" = \"\\U00G1\"; // c\nw = \"x\";\n"},
        {"lone high surrogate", "/* c */ \"k\" = \"\\UD83D\"; // c\nw = \"x\";\n"},
        {"lone low surrogate", "/* c */ \"k\" = \"\\UDE00\"; // c\nw = \"x\";\n"},
        {"high surrogate then text", "/* c */ \"k\" = \"\\UD83Dx\\UDE00\"; // c\nw = \"x\";\n"},
        {"two high surrogates", "/* c */ \"k\" = \"\\UD83D\\UD83D\"; // c\nw = \"x\";\n"},
        {"high surrogate then another escape", "/* c */ \"k\" = \"\\UD83D\\n\"; // c\nw = \"x\";\n"},
        {"stray continuation byte", "/* c */ \"k\" = \"v\x80\"; // c\nw = \"x\";\n"},
        {"overlong encoding", "/* c */ \"k\" = \"\xC0\xAF\"; // c\nw = \"x\";\n"},
        {"encoded surrogate", "/* c */ \"k\" = \"\xED\xA0\x80\"; // c\nw = \"x\";\n"},
        {"above U+10FFFF", "/* c */ \"k\" = \"\xF4\x90\x80\x80\"; // c\nw = \"x\";\n"},
        {"truncated sequence", "/* c */ \"k\" = \"v\"; // c\nw = \"x\";\n\xE2\x82"},
        {"invalid UTF-8 inside a comment", "/* c \xFF */ \"k\" = \"v\"; // c\nw = \"x\";\n"},
        {"UTF-16 of odd length", utf16(u"\"k\" = \"v\";", false) + "\n"},
        {"UTF-16 lone high surrogate", utf16(u"\"k\" = \"\xD83D\";", true)},
        {"UTF-16 lone low surrogate", utf16(u"\"k\" = \"\xDE00\";", false)},
        {"UTF-16 high surrogate at the end", utf16(u"\"k\" = \"v\";\xD83D", true)},
        {"UTF-16 with a syntax error", utf16(u"\"k\" = \"v\"", false)},
    };
    for (const auto& [what, text] : cases) EXPECT_FALSE(parseStringsTable(text)) << what;
}

TEST(strings_table, reads_a_large_table) {
    std::string text;
    for (int i = 0; i < 10000; ++i) {
        const std::string n = std::to_string(i);
        text += "/* entry " + n + " */\n\"key " + n + "\" = \"value \\\"" + n + "\\\"\\n\\U00e9\";\n";
    }
    const DictRef table = parseStringsTable(text);
    ASSERT_TRUE(table);
    ASSERT_EQ(table->size(), 10000u);
    for (const int i : {0, 1, 4999, 9999})
        EXPECT_EQ(table->string("key " + std::to_string(i)),
                  "value \"" + std::to_string(i) + "\"\né");
}

}  // namespace
}  // namespace quillon
