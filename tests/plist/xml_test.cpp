// The XML property-list reader and writer: layout, round trips, accepted forms and refusals.
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <string>

#include "plist/property_list.h"
#include "testing/temp_dir.h"

namespace quillon {
namespace {

constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";

std::string document(std::string_view body) { return std::string(kHeader) + std::string(body) + "</plist>\n"; }

Value read(std::string_view xml) { return parseXmlPropertyList(xml); }

// The value written and read back; absent when either step fails.
Value roundTrip(const Value& v) {
    const auto xml = writeXmlPropertyList(v);
    return xml ? read(*xml) : Value();
}

Value nested(int depth) {
    Value v = Array::create();
    for (int i = 1; i < depth; ++i) v = i % 2 ? Value(makeArray({v})) : Value(makeDictionary({{"k", v}}));
    return v;
}

TEST(xml_writer, writes_the_standard_layout) {
    const Value v = makeDictionary({
        {"name", "value"},
        {"list", makeArray({1, 1.5, true, Dictionary::create(), Array::create()})},
        {"when", Date{818441160}},
        {"bytes", Data{0, 1, 2, 3}},
    });
    // Keys come out in the dictionary's own (sorted) order.
    EXPECT_EQ(writeXmlPropertyList(v), document("<dict>\n"
                                                "\t<key>bytes</key>\n"
                                                "\t<data>\n"
                                                "\tAAECAw==\n"
                                                "\t</data>\n"
                                                "\t<key>list</key>\n"
                                                "\t<array>\n"
                                                "\t\t<integer>1</integer>\n"
                                                "\t\t<real>1.5</real>\n"
                                                "\t\t<true/>\n"
                                                "\t\t<dict/>\n"
                                                "\t\t<array/>\n"
                                                "\t</array>\n"
                                                "\t<key>name</key>\n"
                                                "\t<string>value</string>\n"
                                                "\t<key>when</key>\n"
                                                "\t<date>2026-12-08T16:46:00Z</date>\n"
                                                "</dict>\n"));
    EXPECT_EQ(writeXmlPropertyList(Value("x")), document("<string>x</string>\n"));
    EXPECT_EQ(writeXmlPropertyList(Value(false)), document("<false/>\n"));
}

TEST(xml_writer, writes_leaves_in_their_canonical_text) {
    const auto body = [](const Value& v) {
        const std::string xml = writeXmlPropertyList(v).value_or("");
        const std::size_t start = kHeader.size();
        return xml.substr(start, xml.size() - start - std::string_view("\n</plist>\n").size());
    };
    EXPECT_EQ(body(INT64_MIN), "<integer>-9223372036854775808</integer>");
    EXPECT_EQ(body(UINT64_MAX), "<integer>18446744073709551615</integer>");
    EXPECT_EQ(body(0.1), "<real>0.1</real>");
    EXPECT_EQ(body(-0.0), "<real>-0</real>");
    EXPECT_EQ(body(1e300), "<real>1e+300</real>");
    EXPECT_EQ(body(std::nan("")), "<real>nan</real>");
    EXPECT_EQ(body(std::numeric_limits<double>::infinity()), "<real>+infinity</real>");
    EXPECT_EQ(body(-std::numeric_limits<double>::infinity()), "<real>-infinity</real>");
    EXPECT_EQ(body("a&b<c>d\re\tf\ng"), "<string>a&amp;b&lt;c&gt;d&#13;e\tf\ng</string>");
    // Seconds are rounded down, also before the epoch.
    EXPECT_EQ(body(Date{0.999}), "<date>2001-01-01T00:00:00Z</date>");
    EXPECT_EQ(body(Date{-0.5}), "<date>2000-12-31T23:59:59Z</date>");
    EXPECT_EQ(body(Date{-63113904000}), "<date>0001-01-01T00:00:00Z</date>");
    EXPECT_EQ(body(Date{252423993599.9}), "<date>9999-12-31T23:59:59Z</date>");
    EXPECT_EQ(body(Data{}), "<data>\n</data>");
    // Lines fit in 76 columns, tabs counted as 8: 57 bytes fill a top-level line, the 58th
    // starts the next; one level down a line holds 51 bytes; deep down never fewer than 12.
    const std::string line(76, 'A');
    EXPECT_EQ(body(Data(57, 0)), "<data>\n" + line + "\n</data>");
    EXPECT_EQ(body(Data(58, 0)), "<data>\n" + line + "\nAA==\n</data>");
    EXPECT_EQ(body(makeArray({Data(52, 0)})),
              "<array>\n\t<data>\n\t" + std::string(68, 'A') + "\n\tAA==\n\t</data>\n</array>");
    Value deep = Data(13, 0);
    for (int i = 0; i < 9; ++i) deep = makeArray({deep});
    EXPECT_NE(body(deep).find("\t" + std::string(16, 'A') + "\n" + std::string(9, '\t') + "AA==\n"), std::string::npos);
    // Data inside containers is indented like its tag.
    EXPECT_EQ(body(makeArray({makeArray({Data{0xFF}})})),
              "<array>\n\t<array>\n\t\t<data>\n\t\t/w==\n\t\t</data>\n\t</array>\n</array>");
}

TEST(xml_writer, refuses_what_xml_cannot_hold) {
    EXPECT_FALSE(writeXmlPropertyList(Value()));
    EXPECT_FALSE(writeXmlPropertyList(Uid{1}));
    EXPECT_FALSE(writeXmlPropertyList(makeDictionary({{"id", Uid{1}}})));
    EXPECT_FALSE(writeXmlPropertyList(makeArray({1, Value()})));
    EXPECT_FALSE(writeXmlPropertyList(std::string("a\0b", 3)));
    EXPECT_FALSE(writeXmlPropertyList("bell\a"));
    EXPECT_FALSE(writeXmlPropertyList("\xEF\xBF\xBE"));      // U+FFFE
    EXPECT_FALSE(writeXmlPropertyList("\xEF\xBF\xBF"));      // U+FFFF
    EXPECT_FALSE(writeXmlPropertyList("\xC3"));              // truncated
    EXPECT_FALSE(writeXmlPropertyList("\xC0\xAF"));          // overlong
    EXPECT_FALSE(writeXmlPropertyList("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(writeXmlPropertyList(makeDictionary({{"\x01", 1}})));
    EXPECT_FALSE(writeXmlPropertyList(Date{-63113904000.5}));  // year 0000
    EXPECT_FALSE(writeXmlPropertyList(Date{252423993600}));    // year 10000
    EXPECT_FALSE(writeXmlPropertyList(Date{std::nan("")}));
    EXPECT_FALSE(writeXmlPropertyList(nested(maxPropertyListDepth + 1)));
    EXPECT_TRUE(writeXmlPropertyList(nested(maxPropertyListDepth)));

    auto selfArray = Array::create();
    selfArray->append(selfArray);
    EXPECT_FALSE(writeXmlPropertyList(selfArray));
    selfArray->clear();  // break the cycle so the test does not leak
    auto selfDict = Dictionary::create();
    selfDict->set("me", makeArray({selfDict}));
    EXPECT_FALSE(writeXmlPropertyList(selfDict));
    selfDict->clear();
}

TEST(xml_round_trip, keeps_every_type_and_extreme) {
    const double denormal = std::numeric_limits<double>::denorm_min();
    const Value values[] = {
        true, false, 0, -1, INT64_MIN, INT64_MAX, Integer::fromUnsigned(UINT64_MAX),
        Integer::fromUnsigned(std::uint64_t{1} << 63), 0.0, -0.0, 1.5, 0.1, -2.5e-300, 1.7976931348623157e308,
        denormal, -denormal, std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::nan(""), "", " leading and trailing  ", "a & b < c > d \" ' ]]> e", "cr\rlf\ncrlf\r\n",
        "tab\tand\nnewline", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "\x7F", Date{0}, Date{-63113904000},
        Date{-978307200}, Date{730900800}, Date{-26524800}, Date{-3182198400}, Date{252423993599}, Data{},
        Data{0}, Data{0, 1}, Data{0xFF, 0xFE, 0xFD}, Data(1000, 0xA5), Dictionary::create(), Array::create(),
        makeDictionary({{"", ""}, {"k&<>\r", makeArray({Data{1}, Dictionary::create()})}}), nested(maxPropertyListDepth)};
    for (std::size_t i = 0; i < std::size(values); ++i) {
        const auto xml = writeXmlPropertyList(values[i]);
        ASSERT_TRUE(xml) << "value " << i;
        EXPECT_EQ(read(*xml), values[i]) << *xml;
    }
    // Equality treats -0 as 0, so check the sign separately.
    EXPECT_TRUE(std::signbit(*roundTrip(-0.0).ifReal()));
    // Integers keep whether they are big unsigned.
    EXPECT_TRUE(roundTrip(Integer::fromUnsigned(UINT64_MAX)).ifInteger()->isBigUnsigned());
    EXPECT_FALSE(roundTrip(INT64_MAX).ifInteger()->isBigUnsigned());
}

TEST(xml_round_trip, keeps_a_preferences_dictionary) {
    std::vector<Dictionary::Entry> entries;
    for (int i = 0; i < 200; ++i)
        entries.emplace_back("item" + std::to_string(i),
                             makeDictionary({{"enabled", i % 2 == 0}, {"speed", i * 0.25}, {"name", "n" + std::to_string(i)},
                                             {"count", i}, {"tags", makeArray({"a", "b"})}}));
    const Value v = Dictionary::fromEntries(std::move(entries));
    EXPECT_EQ(roundTrip(v), v);
}

TEST(xml_reader, reads_the_forms_other_writers_use) {
    // Comments, processing instructions and attributes in either quote style.
    EXPECT_EQ(read("\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8' standalone='yes'?>\n<!-- c -->"
                   "<?app data?><!DOCTYPE plist SYSTEM \"x.dtd\"><plist version='1.0' x=\"&amp;\">"
                   "<!-- c --><dict><!-- c --><key>k</key><!-- c --><integer>1</integer><?pi?></dict></plist>"
                   "<!-- after --><?pi?>\n"),
              makeDictionary({{"k", 1}}));
    // A bare value without <plist>, and no declaration.
    EXPECT_EQ(read("  <string>bare</string>  "), Value("bare"));
    // A document type with an internal subset that declares no entity.
    EXPECT_EQ(read("<!DOCTYPE plist [ <!ELEMENT plist (dict)> <!ATTLIST plist version CDATA \"1>0\"> "
                   "<!-- <!ENTITY x 'y'> --> ]><plist><true/></plist>"),
              Value(true));
    // Text: entities, numeric references, CDATA, comments inside text, line ends.
    EXPECT_EQ(read("<string>&lt;&gt;&amp;&quot;&apos;&#65;&#x42;&#xe9;&#x1F600;&#13;</string>"),
              Value("<>&\"'AB\xC3\xA9\xF0\x9F\x98\x80\r"));
    EXPECT_EQ(read("<string>a<![CDATA[<&>]]>b<!--x-->c<?p?>d</string>"), Value("a<&>bcd"));
    EXPECT_EQ(read("<string>1\r\n2\r3\n<![CDATA[4\r\n5\r]]></string>"), Value("1\n2\n3\n4\n5\n"));
    EXPECT_EQ(read("<string>]] ></string>"), Value("]] >"));
    // Empty elements.
    EXPECT_EQ(read("<plist><dict><key/><string/><key>a</key><string></string><key>d</key><data/>"
                   "<key>e</key><data></data><key>f</key><dict></dict><key>g</key><array></array>"
                   "<key>t</key><true></true><key>u</key><false/></dict></plist>"),
              makeDictionary({{"", ""}, {"a", ""}, {"d", Data{}}, {"e", Data{}}, {"f", Dictionary::create()},
                              {"g", Array::create()}, {"t", true}, {"u", false}}));
    // A later duplicate key replaces an earlier one.
    EXPECT_EQ(read("<dict><key>a</key><integer>1</integer><key>a</key><integer>2</integer></dict>"),
              makeDictionary({{"a", 2}}));
    // Tags may have white space before their '>'.
    EXPECT_EQ(read("<array ><integer >3</integer\n></array\t>"), makeArray({3}));
}

TEST(xml_reader, reads_numbers_written_various_ways) {
    const auto integer = [](std::string_view text) { return read("<integer>" + std::string(text) + "</integer>"); };
    EXPECT_EQ(integer("42"), Value(42));
    EXPECT_EQ(integer(" \n+42\t"), Value(42));
    EXPECT_EQ(integer("-0"), Value(0));
    EXPECT_EQ(integer("0x1F"), Value(31));
    EXPECT_EQ(integer("0XfF"), Value(255));
    EXPECT_EQ(integer("-0x10"), Value(-16));
    EXPECT_EQ(integer("-9223372036854775808"), Value(INT64_MIN));
    EXPECT_EQ(integer("9223372036854775807"), Value(INT64_MAX));
    EXPECT_EQ(integer("9223372036854775808"), Value(Integer::fromUnsigned(std::uint64_t{1} << 63)));
    EXPECT_EQ(integer("18446744073709551615"), Value(Integer::fromUnsigned(UINT64_MAX)));
    EXPECT_EQ(integer("0xFFFFFFFFFFFFFFFF"), Value(Integer::fromUnsigned(UINT64_MAX)));
    for (const char* bad : {"", " ", "18446744073709551616", "-9223372036854775809", "0x", "1 2", "1.0", "--1",
                            "+-1", "0x1G", "- 1", "1e3"})
        EXPECT_TRUE(integer(bad).isAbsent()) << bad;

    const auto real = [](std::string_view text) { return read("<real>" + std::string(text) + "</real>"); };
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(real("1.5"), Value(1.5));
    EXPECT_EQ(real(" +2 "), Value(2.0));
    EXPECT_EQ(real("-3"), Value(-3.0));
    EXPECT_EQ(real(".5"), Value(0.5));
    EXPECT_EQ(real("5."), Value(5.0));
    EXPECT_EQ(real("1E3"), Value(1000.0));
    EXPECT_EQ(real("2.5e-3"), Value(0.0025));
    EXPECT_EQ(real("+1e+2"), Value(100.0));
    EXPECT_EQ(real("4.9406564584124654e-324"), Value(std::numeric_limits<double>::denorm_min()));
    EXPECT_EQ(real("1e999"), Value(inf));
    EXPECT_EQ(real("-1e999"), Value(-inf));
    EXPECT_EQ(real("1e-999"), Value(0.0));
    EXPECT_EQ(real("0.0000000001e-999"), Value(0.0));
    for (const char* name : {"inf", "INF", "+inf", "infinity", "+Infinity"}) EXPECT_EQ(real(name), Value(inf)) << name;
    for (const char* name : {"-inf", "-INFINITY"}) EXPECT_EQ(real(name), Value(-inf)) << name;
    for (const char* name : {"nan", "NaN", "NAN"}) EXPECT_TRUE(std::isnan(real(name).asReal())) << name;
    for (const char* bad : {"", ".", "e5", "1e", "1e+", "1.5.5", "0x10", "nan(1)", "infinit", "1,5", "- 1", "++1"})
        EXPECT_TRUE(real(bad).isAbsent()) << bad;
}

TEST(xml_reader, reads_dates_in_every_form) {
    const auto date = [](std::string_view text) { return read("<date>" + std::string(text) + "</date>"); };
    EXPECT_EQ(date("2001-01-01T00:00:00Z"), Value(Date{0}));
    EXPECT_EQ(date(" 2026-12-08T16:46:00Z\n"), Value(Date{818441160}));
    EXPECT_EQ(date("1970-01-01T00:00:00Z"), Value(Date{-978307200}));
    EXPECT_EQ(date("0001-01-01T00:00:00Z"), Value(Date{-63113904000}));
    EXPECT_EQ(date("9999-12-31T23:59:59Z"), Value(Date{252423993599}));
    EXPECT_EQ(date("2024-02-29T12:00:00Z"), Value(Date{730900800}));
    EXPECT_EQ(date("2000-02-29T00:00:00Z"), Value(Date{-26524800}));
    EXPECT_EQ(date("1900-03-01T00:00:00Z"), Value(Date{-3182198400}));
    EXPECT_EQ(date("2001-01-01T00:00:00.25Z"), Value(Date{0.25}));
    EXPECT_EQ(date("2001-01-01T01Z"), Value(Date{3600}));
    EXPECT_EQ(date("2001-01-01T01:02Z"), Value(Date{3720}));
    EXPECT_EQ(date("2001-01-02"), Value(Date{86400}));
    EXPECT_EQ(date("2001-02"), Value(Date{31 * 86400}));
    EXPECT_EQ(date("2002"), Value(Date{365 * 86400}));
    EXPECT_EQ(date("2002Z"), Value(Date{365 * 86400}));
    for (const char* bad : {"", "0000-01-01T00:00:00Z", "2001-13-01T00:00:00Z", "2001-00-01", "1900-02-29",
                            "2023-02-29", "2001-04-31", "2001-01-01T24:00:00Z", "2001-01-01T00:60:00Z",
                            "2001-01-01T00:00:60Z", "2001-01-01T00:00:00", "2001-01-01T00:00:00.Z", "01-01-2001",
                            "2001-1-1", "2001-01-01T00:00:00+01:00", "2001-01-01 00:00:00Z", "12345-01-01"})
        EXPECT_TRUE(date(bad).isAbsent()) << bad;
}

TEST(xml_reader, reads_base64_with_white_space_and_padding) {
    const auto data = [](std::string_view text) { return read("<data>" + std::string(text) + "</data>"); };
    EXPECT_EQ(data("AAECAw=="), Value(Data{0, 1, 2, 3}));
    EXPECT_EQ(data("\n\tAA\r\nEC Aw =\n=\n"), Value(Data{0, 1, 2, 3}));
    EXPECT_EQ(data("AAECAw"), Value(Data{0, 1, 2, 3}));
    EXPECT_EQ(data("AAEC"), Value(Data{0, 1, 2}));
    EXPECT_EQ(data("AAE="), Value(Data{0, 1}));
    EXPECT_EQ(data("+/+/"), Value(Data{0xFB, 0xFF, 0xBF}));
    EXPECT_EQ(data(" \n "), Value(Data{}));
    for (const char* bad : {"A", "AAECA", "AA=A", "AAECAw===", "AAEC=", "=", "AA*C", "AA-_", "AA==AA=="})
        EXPECT_TRUE(data(bad).isAbsent()) << bad;
}

TEST(xml_reader, refuses_each_malformation_of_a_valid_document) {
    const std::string valid = document(
        "<dict>\n\t<key>name</key>\n\t<string>value</string>\n\t<key>n</key>\n\t<integer>7</integer>\n"
        "\t<key>when</key>\n\t<date>2026-12-08T16:46:00Z</date>\n\t<key>bytes</key>\n\t<data>AAECAw==</data>\n"
        "\t<key>list</key>\n\t<array>\n\t\t<true/>\n\t</array>\n</dict>\n");
    ASSERT_TRUE(read(valid).isPresent());
    const auto replaced = [&](std::string_view from, std::string_view to) {
        std::string s = valid;
        const std::size_t at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return s.replace(at, from.size(), to);
    };
    const std::string doctype = "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">";
    const std::pair<const char*, std::string> cases[] = {
        {"entity declaration",
         replaced(doctype, "<!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;\">]>")},
        {"external entity",
         replaced(doctype, "<!DOCTYPE plist [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>")},
        {"parameter entity", replaced(doctype, "<!DOCTYPE plist [<!ENTITY % p SYSTEM \"x.dtd\"> %p;]>")},
        {"unknown entity", replaced(">value<", ">&x;<")},
        {"unknown entity in attribute", replaced("version=\"1.0\"", "version=\"&x;\"")},
        {"unterminated entity", replaced(">value<", ">&amp<")},
        {"forbidden char ref", replaced(">value<", ">&#0;<")},
        {"surrogate char ref", replaced(">value<", ">&#xD800;<")},
        {"char ref beyond unicode", replaced(">value<", ">&#x110000;<")},
        {"control char ref", replaced(">value<", ">&#1;<")},
        {"mismatched tag", replaced("</string>", "</key>")},
        {"unclosed tag", replaced("</array>", "")},
        {"unclosed plist", replaced("</plist>\n", "")},
        {"key without value", replaced("\t<integer>7</integer>\n", "")},
        {"value without key", replaced("\t<key>n</key>\n", "")},
        {"key inside array", replaced("<true/>", "<key>k</key>")},
        {"text in dict", replaced("\t<key>n</key>", "\tx<key>n</key>")},
        {"text in array", replaced("<true/>", "<true/>x")},
        {"text in true", replaced("<true/>", "<true>yes</true>")},
        {"element in string", replaced(">value<", "><b/>value<")},
        {"less-than in text", replaced(">value<", ">a < b<")},
        {"cdata end in text", replaced(">value<", ">a ]]> b<")},
        {"unquoted attribute", replaced("version=\"1.0\"", "version=1.0")},
        {"duplicate attribute", replaced("version=\"1.0\"", "version=\"1.0\" version=\"1.0\"")},
        {"unknown element", replaced("<true/>", "<maybe/>")},
        {"upper-case element", replaced("<true/>", "<TRUE/>")},
        {"second top-level value", replaced("</dict>\n", "</dict>\n<dict/>\n")},
        {"empty plist", replaced("<plist version=\"1.0\">", "<plist version=\"1.0\"/>")},
        {"trailing garbage", valid + "x"},
        {"trailing element", valid + "<plist/>"},
        {"double-dash in comment", replaced("<dict>", "<dict><!-- a -- b -->")},
        {"unterminated comment", replaced("<dict>", "<dict><!-- a ")},
        {"xml declaration later", replaced("<dict>", "<?xml version=\"1.0\"?><dict>")},
        {"other encoding", replaced("UTF-8", "ISO-8859-1")},
        {"doctype after root", valid + doctype},
        {"invalid utf-8", replaced(">value<", ">val\xFF<")},
        {"overlong utf-8", replaced(">value<", ">\xC0\xBC<")},
        {"forbidden control byte", replaced(">value<", ">val\x01<")},
        {"forbidden U+FFFF", replaced(">value<", ">\xEF\xBF\xBF<")},
        {"utf-16 document", std::string("\xFF\xFE<\0p\0", 6)},
        {"integer overflow", replaced(">7<", ">18446744073709551616<")},
        {"bad date", replaced("2026-12-08", "2026-12-32")},
        {"bad base64", replaced("AAECAw==", "AAE*Aw==")},
        {"bad real", replaced("<integer>7</integer>", "<real>7x</real>")},
        {"empty integer", replaced("<integer>7</integer>", "<integer/>")},
        {"truncated", valid.substr(0, valid.size() / 2)},
    };
    for (const auto& [name, xml] : cases) EXPECT_TRUE(read(xml).isAbsent()) << name;
}

TEST(xml_reader, refuses_nesting_beyond_the_limit) {
    const auto arrays = [](int depth) {
        std::string s;
        for (int i = 0; i < depth; ++i) s += "<array>";
        for (int i = 0; i < depth; ++i) s += "</array>";
        return s;
    };
    EXPECT_TRUE(read(arrays(maxPropertyListDepth)).isPresent());
    EXPECT_TRUE(read(arrays(maxPropertyListDepth + 1)).isAbsent());
    std::string dicts;
    for (int i = 0; i <= maxPropertyListDepth; ++i) dicts += "<dict><key>k</key>";
    dicts += "<dict/>";
    for (int i = 0; i <= maxPropertyListDepth; ++i) dicts += "</dict>";
    EXPECT_TRUE(read(dicts).isAbsent());
    // Far deeper input must fail fast rather than exhaust the stack.
    std::string deep(200000, ' ');
    for (std::size_t i = 0; i < deep.size(); i += 7) deep.replace(i, 7, "<array>");
    EXPECT_TRUE(read(deep).isAbsent());
}

TEST(xml_reader, reads_the_checked_in_fixtures) {
    const auto dir = testing::sourceDir() / "tests/plist/fixtures/xml";
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        const Value v = read(testing::readAll(entry.path()));
        if (name.starts_with("valid_")) {
            EXPECT_TRUE(v.isPresent()) << name;
            if (v.isPresent()) {
                EXPECT_EQ(roundTrip(v), v) << name;
            }
        } else {
            // Malformed inputs, including those the fuzzer once crashed on: refused, never crash.
            EXPECT_TRUE(v.isAbsent()) << name;
        }
        ++seen;
    }
    EXPECT_GT(seen, 0);
}

}  // namespace
}  // namespace quillon
