// Tests of quillon-prefs, run as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>

#include "plist/file_utils.h"
#include "plist/property_list.h"
#include "prefs/prefs_cleanup.h"
#include "prefs/settings_matching.h"
#include "testing/run_process.h"
#include "testing/temp_dir.h"

namespace quillon {
namespace {

using testing::ProcessResult;
using testing::TempDir;

ProcessResult run(std::vector<std::string> args) {
    args.insert(args.begin(), QUILLON_PREFS_TOOL);
    return testing::runProcess(args);
}

std::string defaultsPath() {
    return (testing::sourceDir() / "resources" / "QuillonMouseDefaults.plist").string();
}

// A user file with an application set for tamber and one action that the cleanup repairs.
struct UserFile {
    TempDir dir;
    DictRef prefs = makeDictionary({
        {"settings",
         makeDictionary(
             {{"1000", makeDictionary({
                           {"app", makeDictionary({{"bundleID", "org.example.Mail"}})},
                           {"device", makeDictionary({{"type", "tamber"}})},
                           {"displayName", "Mail"},
                           {"actions", makeDictionary({{"00", makeDictionary({{"command", 7},
                                                                              {"text", "x"}})}})},
                       })}})},
        {"version", 1},
    });
    std::string bytes = writeBinaryPropertyList(Value(prefs)).value();
    std::string path = dir.write("prefs.plist", bytes);

    // The preferences as the pane holds them after loading.
    DictRef loaded() const {
        DictRef p = mutableDictionaryWithContentsOfFile(path);
        DictRef d = mutableDictionaryWithContentsOfFile(defaultsPath());
        for (const auto& [uid, record] : *d->dictionary("settings"))
            if (!p->dictionary("settings")->contains(uid))
                p->dictionary("settings")->set(uid, record);
        cleanupQuillonMousePrefs(*p);
        return p;
    }
};

TEST(quillon_prefs, check_lists_the_sets_and_the_repairs_without_writing) {
    UserFile user;
    const auto r = run({"check", "--file", user.path, "--defaults", defaultsPath()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("1000\ttamber\tMail\torg.example.Mail\t1 action\n"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("0007\tkbd\tAll Applications\t(all applications)\t7 actions\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("removed  settings.1000.actions.00.text (was \"x\")"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("added    settings.1000.actions.00: keyCode = 255"), std::string::npos);
    EXPECT_NE(r.out.find("added    settings.1000: options = (dictionary of 6)\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("added    settings.0002.options: scrollDPI = 400, "), std::string::npos);
    EXPECT_EQ(testing::readAll(user.path), user.bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(user.dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(quillon_prefs, match_prints_the_match_as_xml_and_nothing_when_there_is_none) {
    UserFile user;
    auto r = run({"match", "--file", user.path, "--defaults", defaultsPath(), "--type", "tamber",
                  "--bundle-id", "org.example.Mail"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const DictRef app = makeDictionary({{"bundleID", "org.example.Mail"}});
    const DictRef device = makeDictionary({{"type", "tamber"}});
    EXPECT_EQ(parseXmlPropertyList(r.out),
              Value(matchQuillonMouseSettings(*user.loaded(), app.get(), device.get())));
    EXPECT_EQ(parseXmlPropertyList(r.out).dictionary()->string("appKey"), "1000");

    r = run({"match", "--file", user.path, "--no-defaults", "--type", "pell"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(quillon_prefs, block_writes_the_filled_block_raw_or_as_hex) {
    UserFile user;
    const std::string out = user.dir.file("block.bin");
    auto r = run({"block", "--file", user.path, "--defaults", defaultsPath(), "--type", "tamber",
                  "--exec-name", "nothing", "-o", out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const DictRef app = makeDictionary({{"execName", "nothing"}});
    const DictRef device = makeDictionary({{"type", "tamber"}});
    const DictRef prefs = user.loaded();
    DriverSettingsBlock expected;
    ASSERT_TRUE(fillQuillonMouseSettings(
        *prefs, &expected, matchQuillonMouseSettings(*prefs, app.get(), device.get()).get()));
    const std::string bytes = testing::readAll(out);
    ASSERT_EQ(bytes.size(), 232u);
    EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(expected.bytes().data()), 232));

    r = run({"block", "--file", user.path, "--defaults", defaultsPath(), "--type", "tamber",
             "--exec-name", "nothing"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("0000: 02 00 00 00 01 00 00 00 e8 03 64 00 64 00 00 00\n", 0), 0u)
        << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 15);

    r = run({"block", "--file", user.path, "--no-defaults", "--type", "pell"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no settings set matches"), std::string::npos);
    EXPECT_EQ(r.out, "");
}

TEST(quillon_prefs, refuses_unreadable_files_and_wrong_command_lines) {
    TempDir dir;
    const std::string bad = dir.write("bad.plist", "not a property list");
    auto r = run({"check", "--file", bad, "--no-defaults"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("bad.plist: cannot be read as a property-list dictionary"),
              std::string::npos);
    r = run({"check", "--file", dir.file("none.plist"), "--defaults", bad});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot be read"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.plist")));
    EXPECT_EQ(run({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(run({"check", "--file"}).exitCode, 2);
    EXPECT_EQ(run({"match", "-o", "x"}).exitCode, 2);
}

}  // namespace
}  // namespace quillon
