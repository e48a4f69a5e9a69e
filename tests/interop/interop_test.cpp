// Exchanging property lists with Python's plistlib and libplist's plistutil, both directions.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "interop_cases.h"
#include "plist/file_utils.h"
#include "plist/property_list.h"
#include "testing/preferences_fixture.h"
#include "testing/run_process.h"
#include "testing/temp_dir.h"

namespace quillon::testing {
namespace {

// Set by tests/interop/CMakeLists.txt.
const std::string kPython = QUILLON_PYTHON3;
const std::string kPlistutil = QUILLON_PLISTUTIL;
const std::string kPeerScript = QUILLON_PEER_SCRIPT;

struct Format {
    const char* suffix;
    PropertyListFormat format;
};
constexpr Format kBinary{"bplist", PropertyListFormat::Binary};
constexpr Format kXml{"xml", PropertyListFormat::Xml};

std::string fileName(const InteropCase& c, const char* writer, const Format& f) {
    return c.name + "." + writer + "." + f.suffix;
}

// A folder holding cases.json and, on request, our own file of each case in each format.
class Exchange {
public:
    Exchange() : Exchange(interopCases()) {}
    explicit Exchange(std::vector<InteropCase> cases) : cases_(std::move(cases)) {
        dir_.write("cases.json", describeCasesAsJson(cases_));
    }
    const std::vector<InteropCase>& cases() const { return cases_; }
    std::string file(const std::string& name) const { return dir_.file(name); }
    std::string folder() const { return dir_.path().string(); }

    void writeOurs() const {
        for (const InteropCase& c : cases_) {
            writeOne(c, kBinary);
            if (c.xml) writeOne(c, kXml);
        }
    }

    // Runs peer.py write|check on the folder.
    ProcessResult runPeer(const std::string& mode) const {
        return runProcess({kPython, kPeerScript, mode, folder()});
    }

private:
    void writeOne(const InteropCase& c, const Format& f) const {
        const auto bytes = writePropertyList(c.value, f.format);
        if (!bytes) {
            ADD_FAILURE() << c.name << ": our " << f.suffix << " writer refused it";
            return;
        }
        dir_.write(fileName(c, "ours", f), *bytes);
    }

    std::vector<InteropCase> cases_;
    TempDir dir_;
};

// Reads path with our reader for format and reports how it differs from expected.
void expectReadsAs(const std::string& path, const Format& f, const Value& expected) {
    const auto bytes = readFileBytes(path);
    ASSERT_TRUE(bytes) << path << ": missing";
    const Value got = f.format == PropertyListFormat::Binary ? parseBinaryPropertyList(*bytes)
                                                             : parseXmlPropertyList(*bytes);
    if (got.isAbsent()) {
        ADD_FAILURE() << path << ": our reader refuses it ("
                      << (f.format == PropertyListFormat::Xml
                              ? "XML, it begins:\n" + bytes->substr(0, 400)
                              : std::to_string(bytes->size()) + " bytes")
                      << ")";
        return;
    }
    if (auto difference = firstDifference(got, expected))
        ADD_FAILURE() << path << ": " << *difference;
}

void requirePython() {
    ASSERT_TRUE(std::filesystem::exists(kPython))
        << "python3 not found (" << kPython << "); the interop tests need it";
}

void requirePlistutil() {
    ASSERT_TRUE(std::filesystem::exists(kPlistutil))
        << "plistutil not found (" << kPlistutil
        << "): install the Debian package libplist-utils (scripts/deps.sh test does)";
}

// Converts in to format with plistutil into out.
void plistutilConvert(const std::string& in, const std::string& out, const Format& to) {
    const auto result = runProcess({kPlistutil, "-i", in, "-o", out, "-f",
                                    to.format == PropertyListFormat::Binary ? "bin" : "xml"});
    EXPECT_EQ(result.exitCode, 0) << "plistutil " << in << ": " << result.err;
}

TEST(plistlib_interop, we_read_what_plistlib_writes) {
    ASSERT_NO_FATAL_FAILURE(requirePython());
    Exchange exchange;
    const auto written = exchange.runPeer("write");
    ASSERT_EQ(written.exitCode, 0) << written.out << written.err;
    for (const InteropCase& c : exchange.cases()) {
        expectReadsAs(exchange.file(fileName(c, "plistlib", kBinary)), kBinary, c.value);
        if (c.xml && c.plistlibXml)
            expectReadsAs(exchange.file(fileName(c, "plistlib", kXml)), kXml, c.value);
    }
}

// 10,000 settings sets, each one of 50 records, all of them with one actions dictionary: plistlib
// writes each record once, and the file expands to some two million values. It loads whole, and
// every set gets containers of its own, as the pane edits them one set at a time.
TEST(plistlib_interop, we_load_plistlib_preferences_whose_sets_share_records) {
    ASSERT_NO_FATAL_FAILURE(requirePython());
    const DictRef records = makePreferences(50)->dictionary("settings");
    const DictRef actions = records->dictionary("0000")->dictionary("actions");
    std::vector<Dictionary::Entry> sets;
    for (int i = 0; i < 10000; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "%04d", i % 50);
        const DictRef record = records->dictionary(key);
        record->set("actions", actions);
        std::snprintf(key, sizeof key, "%05d", i);
        sets.emplace_back(key, record);
    }
    const Value prefs =
        makeDictionary({{"settings", Dictionary::fromEntries(std::move(sets))}, {"version", 1}});
    Exchange exchange({{"shared_records", prefs}});
    const auto written = exchange.runPeer("write");
    ASSERT_EQ(written.exitCode, 0) << written.out << written.err;
    const std::string path = exchange.file(fileName(exchange.cases()[0], "plistlib", kBinary));
    ASSERT_LT(readFileBytes(path)->size(), 200000u) << "plistlib wrote the records more than once";

    const DictRef loaded = mutableDictionaryWithContentsOfFile(path);
    ASSERT_TRUE(loaded) << "refused";
    if (!(Value(loaded) == prefs)) ADD_FAILURE() << *firstDifference(Value(loaded), prefs);
    const DictRef settings = loaded->dictionary("settings");
    const DictRef first = settings->dictionary("00000"), again = settings->dictionary("00050"),
                  other = settings->dictionary("00001");
    ASSERT_TRUE(first && again && other);
    EXPECT_NE(first, again);
    first->dictionary("actions")->dictionary("05")->set("command", 99);
    EXPECT_EQ(again->dictionary("actions")->dictionary("05")->integer("command"),
              actions->dictionary("05")->integer("command"));
    EXPECT_EQ(other->dictionary("actions")->dictionary("05")->integer("command"),
              actions->dictionary("05")->integer("command"));
}

TEST(plistlib_interop, plistlib_reads_what_we_write) {
    ASSERT_NO_FATAL_FAILURE(requirePython());
    Exchange exchange;
    exchange.writeOurs();
    const auto checked = exchange.runPeer("check");
    EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;
}

// Converts the files `writer` wrote with plistutil and reads the results: binary to binary
// (libplist's own reader and writer, every value including UIDs), XML to binary, and binary to
// XML where libplist's XML writer is faithful.
void expectWeReadPlistutilConversions(const Exchange& exchange, const char* writer) {
    const bool fromPlistlib = std::string(writer) == "plistlib";
    for (const InteropCase& c : exchange.cases()) {
        SCOPED_TRACE(c.name);
        const std::string binary = exchange.file(fileName(c, writer, kBinary));
        plistutilConvert(binary, exchange.file(c.name + ".b2b.bplist"), kBinary);
        expectReadsAs(exchange.file(c.name + ".b2b.bplist"), kBinary, c.value);
        if (c.xml && (c.plistlibXml || !fromPlistlib)) {
            plistutilConvert(exchange.file(fileName(c, writer, kXml)),
                             exchange.file(c.name + ".x2b.bplist"), kBinary);
            expectReadsAs(exchange.file(c.name + ".x2b.bplist"), kBinary, c.value);
        }
        if (c.xml && c.libplistXml) {
            plistutilConvert(binary, exchange.file(c.name + ".b2x.xml"), kXml);
            expectReadsAs(exchange.file(c.name + ".b2x.xml"), kXml, c.value);
        }
    }
}

// Neither end of this chain is our own code but the final reader.
TEST(plistutil_interop, we_read_plistutil_conversions_of_plistlib_files) {
    ASSERT_NO_FATAL_FAILURE(requirePython());
    ASSERT_NO_FATAL_FAILURE(requirePlistutil());
    Exchange exchange;
    const auto written = exchange.runPeer("write");
    ASSERT_EQ(written.exitCode, 0) << written.out << written.err;
    expectWeReadPlistutilConversions(exchange, "plistlib");
}

TEST(plistutil_interop, plistutil_converts_what_we_write) {
    ASSERT_NO_FATAL_FAILURE(requirePlistutil());
    Exchange exchange;
    exchange.writeOurs();
    expectWeReadPlistutilConversions(exchange, "ours");
}

}  // namespace
}  // namespace quillon::testing
