// quillon-plutil: printing, lint, conversion and its command line, run as users run it.
#include <gtest/gtest.h>

#include <iterator>
#include <limits>
#include <sys/stat.h>

#include "testing/run_process.h"
#include "plist/file_utils.h"
#include "plist/property_list.h"
#include "quillon-plutil/print.h"
#include "quillon-plutil/write_refusal.h"
#include "testing/temp_dir.h"

namespace quillon::testing {
namespace {

// Set by tests/interop/CMakeLists.txt.
const std::string kPlutil = QUILLON_PLUTIL;
const std::filesystem::path kFixtures = QUILLON_PLUTIL_FIXTURES;

ProcessResult plutil(std::vector<std::string> args, const std::string& stdinPath = "/dev/null") {
    args.insert(args.begin(), kPlutil);
    return runProcess(args, stdinPath);
}

std::string fixture(const std::string& name) { return (kFixtures / name).string(); }

// sample.xml holds every type XML can carry; archive.bplist, written by Python's plistlib, holds
// UIDs and a string with control characters, which only the binary format can carry.
TEST(plutil_print, prints_fixtures_as_expected) {
    for (const char* name : {"sample.xml", "archive.bplist"}) {
        SCOPED_TRACE(name);
        const std::string stem = std::filesystem::path(name).stem().string();
        const auto result = plutil({"-p", fixture(name)});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, readAll(fixture(stem + ".expected.txt")));
        EXPECT_EQ(result.err, "");
    }
}

TEST(plutil_print, reads_standard_input_for_dash) {
    const auto result = plutil({"-p", "-"}, fixture("archive.bplist"));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, readAll(fixture("archive.expected.txt")));
}

TEST(plutil_print, cuts_long_data_after_24_bytes) {
    std::string hex;
    for (int i = 0; i < 24; ++i) hex += "ab";
    EXPECT_EQ(printPropertyList(Data(24, 0xab)), "{length = 24, bytes = 0x" + hex + "}\n");
    EXPECT_EQ(printPropertyList(Data(25, 0xab)), "{length = 25, bytes = 0x" + hex + " ... }\n");
    EXPECT_EQ(printPropertyList(Data{}), "{length = 0, bytes = 0x}\n");
}

TEST(plutil_print, dates_floor_to_the_second_and_survive_any_double) {
    EXPECT_EQ(printPropertyList(Date{-0.5}), "2000-12-31 23:59:59 +0000\n");
    EXPECT_EQ(printPropertyList(Date{59.999}), "2001-01-01 00:00:59 +0000\n");
    EXPECT_EQ(printPropertyList(Date{-63113904000}), "0001-01-01 00:00:00 +0000\n");
    EXPECT_EQ(printPropertyList(Date{1e300}), "date(1e+300)\n");
    EXPECT_EQ(printPropertyList(Date{std::numeric_limits<double>::quiet_NaN()}), "date(nan)\n");
}

TEST(plutil_print, reals_print_shortest_round_trip_text) {
    EXPECT_EQ(printPropertyList(0.1), "0.1\n");
    EXPECT_EQ(printPropertyList(1.0 / 3), "0.3333333333333333\n");
    EXPECT_EQ(printPropertyList(-0.0), "-0\n");
    EXPECT_EQ(printPropertyList(std::numeric_limits<double>::infinity()), "inf\n");
}

TEST(plutil_print, dictionary_that_holds_itself_ends) {
    auto dict = Dictionary::create();
    dict->set("self", dict);
    const std::string text = printPropertyList(dict);
    EXPECT_NE(text.find("\"self\" => ..."), std::string::npos);
    dict->remove("self");  // break the cycle so the dictionary is freed
}

TEST(plutil_lint, reports_each_file_and_fails_when_any_is_bad) {
    TempDir dir;
    const std::string garbage = dir.write("garbage.plist", "<plist><dict><key>a</key></dict>");
    const std::string empty = dir.write("empty.plist", "");
    const std::string missing = dir.file("missing.plist");
    const std::string good = fixture("sample.xml");

    const auto bad = plutil({"-lint", good, garbage, empty, missing});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.out, good + ": OK\n" +
                           garbage + ": not a property list (malformed or unsupported format)\n" +
                           empty + ": not a property list (the file is empty)\n" +
                           missing + ": file does not exist or is not readable\n");

    const auto ok = plutil({"-lint", good, fixture("archive.bplist")});
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_EQ(ok.out, good + ": OK\n" + fixture("archive.bplist") + ": OK\n");

    const auto fromStdin = plutil({"-lint", "-"}, garbage);
    EXPECT_EQ(fromStdin.exitCode, 1);
    EXPECT_EQ(fromStdin.out, "-: not a property list (malformed or unsupported format)\n");
}

TEST(plutil_convert, round_trips_in_place_and_keeps_the_file_mode) {
    TempDir dir;
    const std::string original = readAll(fixture("sample.xml"));
    const Value expected = parseXmlPropertyList(original);
    ASSERT_TRUE(expected.isPresent());
    const std::string path = dir.write("prefs.plist", original);
    ::chmod(path.c_str(), 0600);

    auto result = plutil({"-convert", "binary1", path});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string bytes = readAll(path);
    EXPECT_EQ(bytes.substr(0, 8), "bplist00");
    EXPECT_EQ(parseBinaryPropertyList(bytes), expected);

    result = plutil({"-convert", "xml1", path});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    bytes = readAll(path);
    EXPECT_EQ(bytes.substr(0, 5), "<?xml");
    EXPECT_EQ(parseXmlPropertyList(bytes), expected);

    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(plutil_convert, writes_output_file_or_standard_output_and_leaves_input_alone) {
    TempDir dir;
    const std::string in = fixture("archive.bplist");
    const std::string before = readAll(in);
    const std::string out = dir.file("copy.plist");

    auto result = plutil({"-convert", "binary1", "-o", out, in});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(parseBinaryPropertyList(readAll(out)), parseBinaryPropertyList(before));
    EXPECT_EQ(readAll(in), before);

    result = plutil({"-convert", "xml1", "-o", "-", fixture("sample.xml")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(parseXmlPropertyList(result.out), parseXmlPropertyList(readAll(fixture("sample.xml"))));
}

TEST(plutil_convert, refusal_names_the_reason_and_leaves_the_file_untouched) {
    TempDir dir;
    const std::string archive = dir.write("archive.plist", readAll(fixture("archive.bplist")));
    const std::string good = dir.write("good.plist", readAll(fixture("sample.xml")));
    const std::string before = readAll(archive);

    // One refusal does not stop the other files.
    const auto result = plutil({"-convert", "xml1", archive, good});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("quillon-plutil: " + archive + ": cannot write xml1: the value holds "),
              std::string::npos)
        << result.err;
    EXPECT_EQ(readAll(archive), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
    EXPECT_EQ(readAll(good).substr(0, 5), "<?xml");
}

TEST(plutil_convert, writer_refusals_are_explained) {
    const auto xml = PropertyListFormat::Xml;
    EXPECT_EQ(whyWriterRefuses(makeArray({1, Uid{3}}), xml),
              "the value holds a UID, which only binary1 can store");
    EXPECT_EQ(whyWriterRefuses(makeDictionary({{"k", std::string("a\0b", 3)}}), xml),
              "the value holds text with a control character, which XML cannot carry");
    EXPECT_EQ(whyWriterRefuses(makeDictionary({{"\xff", 1}}), PropertyListFormat::Binary),
              "the value holds a key that is not valid UTF-8");
    EXPECT_EQ(whyWriterRefuses(Value("\xed\xa0\x80"), PropertyListFormat::Binary),
              "the value holds text that is not valid UTF-8");  // an encoded surrogate

    Value deep = Array::create();
    for (int level = 1; level < maxPropertyListDepth; ++level) deep = makeArray({deep});
    EXPECT_EQ(whyWriterRefuses(deep, PropertyListFormat::Binary), "the writer refused the value");
    EXPECT_TRUE(writeBinaryPropertyList(deep));  // the deepest nesting writers produce
    deep = makeArray({deep});
    EXPECT_EQ(whyWriterRefuses(deep, PropertyListFormat::Binary),
              "the value nests deeper than 512 levels");
    EXPECT_FALSE(writeBinaryPropertyList(deep));
}

TEST(plutil_usage, bad_command_lines_print_usage_and_fail) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"-x"},
        {"-p"},
        {"-p", "a", "b"},
        {"-lint", "-o", "x", "a"},
        {"-convert", "json", "a"},
        {"-convert", "xml1", "-o", "out", "a", "b"},
        {"-convert", "xml1", "-o"},
        {"-convert", "xml1", "-"},
    };
    for (const auto& args : bad) {
        const auto result = plutil(args);
        std::string line;
        for (const auto& a : args) line += a + " ";
        EXPECT_EQ(result.exitCode, 1) << line;
        EXPECT_EQ(result.err.rfind("quillon-plutil: ", 0), 0u) << line << result.err;
        EXPECT_NE(result.err.find("usage:"), std::string::npos) << line;
        EXPECT_EQ(result.out, "") << line;
    }
    const auto help = plutil({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage:", 0), 0u);
}

}  // namespace
}  // namespace quillon::testing
