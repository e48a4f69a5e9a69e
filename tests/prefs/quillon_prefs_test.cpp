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

// The preferences of a file as quillon-prefs saved them, read back.
DictRef settingsOf(const std::string& path) {
    DictRef prefs = mutableDictionaryWithContentsOfFile(path);
    return prefs ? prefs->dictionary("settings") : nullptr;
}

TEST(quillon_prefs, export_from_one_home_imports_into_another_and_a_clash_changes_nothing) {
    UserFile from;
    const std::string exported = from.dir.file("all.quillonMouseSettings");
    auto r = run({"export", "--file", from.path, "--defaults", defaultsPath(), "-o", exported});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(testing::readAll(from.path), from.bytes);  // export saves nothing

    // Another home whose 1000 is a set of its own.
    TempDir other;
    DictRef own = makeDictionary(
        {{"settings", makeDictionary({{"1000", makeDictionary({
                                                   {"app", makeDictionary({{"execName", "notes"}})},
                                                   {"device", makeDictionary({{"type", "vantor"}})},
                                                   {"displayName", "Notes"},
                                               })}})},
         {"version", 1}});
    const std::string path =
        other.write("prefs.plist", writeBinaryPropertyList(Value(own)).value());
    const std::string untouched = testing::readAll(path);
    r = run({"import", exported, "--file", path, "--defaults", defaultsPath()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("0002 clashes with 0002 (All Applications, tamber)"), std::string::npos)
        << r.err;
    EXPECT_EQ(testing::readAll(path), untouched);

    r = run({"import", exported, "--skip", "--file", path, "--defaults", defaultsPath()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("added    1001 (Mail, tamber)"), std::string::npos) << r.out;
    const DictRef imported = settingsOf(path);
    ASSERT_TRUE(imported);
    const DictRef mail = imported->dictionary("1001");
    ASSERT_TRUE(mail);
    const DictRef original = from.loaded()->dictionary("settings")->dictionary("1000");
    EXPECT_EQ(Value(mail->dictionary("app")), Value(original->dictionary("app")));
    EXPECT_EQ(Value(mail->dictionary("options")), Value(original->dictionary("options")));
    // Mail's only action is a keystroke: saved as the pane saves, it gets back its main click.
    EXPECT_NE(r.err.find("main button of set 1001 reassigned to Mouse Click"), std::string::npos)
        << r.err;
    EXPECT_EQ(mail->dictionary("actions")->dictionary("00")->integer("command"), 6);
    EXPECT_EQ(imported->dictionary("1000")->string("displayName"), "Notes");

    // The same file again: the Mail set now clashes with itself and is replaced in place.
    r = run({"import", exported, "--replace", "--file", path, "--defaults", defaultsPath()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("replaced 1001 (Mail, tamber)"), std::string::npos) << r.out;
    EXPECT_EQ(settingsOf(path)->keys(), imported->keys());

    // Into a home without preferences: the file is made, readable by its owner only.
    const std::string fresh = other.file("Library/Preferences/fresh.plist");
    r = run({"import", exported, "--skip", "--file", fresh, "--defaults", defaultsPath()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(std::filesystem::status(fresh).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(settingsOf(fresh)->dictionary("1000")->string("displayName"), "Mail");
}

TEST(quillon_prefs, import_refuses_hostile_files_without_touching_the_preferences) {
    UserFile user;
    const auto refused = [&](const std::string& name, const std::string& bytes,
                             const std::string& why) {
        const std::string file = user.dir.write(name, bytes);
        const auto r =
            run({"import", file, "--replace", "--file", user.path, "--defaults", defaultsPath()});
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_NE(r.err.find(why), std::string::npos) << name << ": " << r.err;
        EXPECT_EQ(testing::readAll(user.path), user.bytes) << name;
    };
    refused("text", "<?xml version=\"1.0\"?><plist><dict><key>a</key>", "not a property list");
    refused("array", writeBinaryPropertyList(Value(makeArray({Value(1)}))).value(),
            "not a dictionary");
    refused("version",
            writeBinaryPropertyList(Value(makeDictionary({{"settings", Dictionary::create()}})))
                .value(),
            "file version mismatch");
    // Only malformed entries: nothing to import, nothing saved.
    const std::string junk =
        writeBinaryPropertyList(
            Value(makeDictionary(
                {{"settings", makeDictionary({{"x1", 1}, {"1200", "s"}})}, {"version", 1}})))
            .value();
    const auto r = run({"import", user.dir.write("junk", junk), "--file", user.path, "--defaults",
                        defaultsPath()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("nothing imported"), std::string::npos);
    EXPECT_EQ(testing::readAll(user.path), user.bytes);
}

TEST(quillon_prefs, new_rename_and_delete_act_on_application_sets) {
    UserFile user;
    const std::string entry = user.dir.write(
        "org.example.Notes.desktop",
        "[Desktop Entry]\nType=Application\nName=Notes\nExec=/usr/bin/notes-bin %U\n");
    const auto prefsRun = [&](std::vector<std::string> args) {
        for (const char* option : {"--file", user.path.c_str(), "--defaults"})
            args.emplace_back(option);
        args.push_back(defaultsPath());
        return run(args);
    };
    auto r = prefsRun({"new", "--app", entry, "--type", "pell", "--from", "1000"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "added    1001 (Notes, pell)\n");
    DictRef notes = settingsOf(user.path)->dictionary("1001");
    ASSERT_TRUE(notes);
    EXPECT_EQ(notes->dictionary("app")->string("bundleID"), "org.example.Notes");
    EXPECT_EQ(notes->dictionary("app")->string("execName"), "notes-bin");
    EXPECT_EQ(notes->dictionary("device")->string("type"), "pell");
    // A copy of Mail, whose only action the save gave back its main click.
    EXPECT_EQ(notes->dictionary("actions")->dictionary("00")->integer("command"), 6);

    r = prefsRun({"new", "--app", entry, "--type", "pell"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "exists   1001 (Notes, pell)\n");
    EXPECT_EQ(prefsRun({"new", "--app", entry, "--type", "mouse"}).exitCode, 1);
    EXPECT_EQ(prefsRun({"new", "--app", "no.such.App", "--type", "pell"}).exitCode, 1);

    const std::string before = testing::readAll(user.path);
    for (auto args : std::vector<std::vector<std::string>>{
             {"rename", "1001", ""}, {"rename", "0002", "Mine"}, {"delete", "1x"}}) {
        r = prefsRun(args);
        EXPECT_EQ(r.exitCode, 1) << args[0] << " " << args[1];
        EXPECT_EQ(testing::readAll(user.path), before);
    }
    EXPECT_NE(r.err.find("a settings UID is a number"), std::string::npos);

    ASSERT_EQ(prefsRun({"rename", "1001", "Jottings"}).exitCode, 0);
    EXPECT_EQ(settingsOf(user.path)->dictionary("1001")->string("displayName"), "Jottings");
    ASSERT_EQ(prefsRun({"delete", "1001"}).exitCode, 0);
    EXPECT_FALSE(settingsOf(user.path)->contains("1001"));
    EXPECT_TRUE(settingsOf(user.path)->contains("1000"));
}

}  // namespace
}  // namespace quillon
