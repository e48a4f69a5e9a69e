// UID allocation, new application sets, and merging settings files into the preferences.
#include "prefs/settings_import.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "plist/file_utils.h"
#include "plist/property_list.h"
#include "prefs/settings_records.h"
#include "prefs/settings_sets.h"
#include "testing/temp_dir.h"

namespace quillon {
namespace {

using testing::TempDir;

DictRef record(const std::string& type, const std::string& name, const std::string& exec = {}) {
    return makeDictionary({
        {"displayName", name},
        {"category", "Preset"},
        {"preset", true},
        {"device", makeDictionary({{"type", type}})},
        {"app",
         makeDictionary({{"execName", exec}, {"bundleID", exec.empty() ? "" : "id." + exec}})},
        {"actions", makeDictionary({{"00", makeDictionary({{"command", 6}, {"button", 0}})}})},
    });
}

DictRef table(std::initializer_list<std::pair<std::string_view, Value>> entries) {
    return makeDictionary(entries);
}

TEST(settings_uid, first_free_number_from_1000_that_ends_at_the_top_without_wrapping) {
    EXPECT_EQ(uniqueSettingsUID(*table({}), 0), 1000u);
    EXPECT_EQ(uniqueSettingsUID(*table({{"1000", 1}, {"1001", 1}}), 0), 1002u);
    EXPECT_EQ(uniqueSettingsUID(*table({{"1000", 1}}), 2000), 2000u);
    EXPECT_EQ(uniqueSettingsUID(*table({{"1000", 1}, {"0005", 1}}), 5), 1001u);
    const DictRef top = table({{"4294967294", 1}, {"4294967295", 1}, {"1000", 1}});
    EXPECT_EQ(uniqueSettingsUID(*top, 4294967293u), 4294967293u);
    EXPECT_EQ(uniqueSettingsUID(*top, 4294967294u), std::nullopt);
    EXPECT_EQ(uniqueSettingsUID(*top, 4294967295u), std::nullopt);
}

// Preferences with a global tamber set and a Mail set, and a file that clashes with both.
struct SettingsMerge : ::testing::Test {
    DictRef prefs = makeDictionary({
        {"settings",
         table({{"0010", record("tamber", "All")}, {"1000", record("tamber", "Mail", "mail")}})},
        {"version", 1},
    });
    DictRef fileSettings = table({
        {"0001", record("tamber", "Browser", "browser")},  // new, stored from 1000 on: 1001
        {"0010", record("tamber", "Their global")},        // clash with 0010
        {"1005", record("vantor", "Editor", "editor")},    // new, keeps 1005
        {"1500", record("tamber", "Their mail", "mail")},  // clash with 1000
        {"1600", record("generic", "Generic")},            // never imported
        {"abc", record("tamber", "Bad key", "x")},
        {"-7", record("tamber", "Negative", "y")},
        {"2147483648", record("tamber", "Too big", "z")},
        {"1700", "not a record"},
    });
    DictRef file = makeDictionary({{"settings", fileSettings}, {"version", 1}});
    std::vector<std::string> asked;

    ClashAnswerer answering(ClashAnswer answer) {
        return [this, answer](const SettingsClash& clash) {
            asked.push_back(clash.existingKey + (clash.hasApplication ? " app" : " global"));
            return answer;
        };
    }
    const Dictionary& settings() const { return *prefs->dictionary("settings"); }
};

TEST_F(SettingsMerge, skip_for_all_keeps_every_clashing_set_and_still_adds_the_new_ones) {
    const auto result = importQuillonMouseSettings(*prefs, *file, answering({false, true}));
    EXPECT_EQ(asked, std::vector<std::string>{"0010 global"});
    EXPECT_EQ(result.added, (std::vector<std::string>{"1001", "1005"}));
    EXPECT_EQ(result.skipped, (std::vector<std::string>{"0010", "1000"}));
    EXPECT_TRUE(result.replaced.empty());
    EXPECT_EQ(result.ignored,
              (std::vector<std::string>{"-7", "1600", "1700", "2147483648", "abc"}));
    EXPECT_EQ(settings().keys(), (std::vector<std::string>{"0010", "1000", "1001", "1005"}));
    EXPECT_EQ(settings().dictionary("0010")->string("displayName"), "All");
    EXPECT_EQ(settings().dictionary("1000")->string("displayName"), "Mail");
    const DictRef browser = settings().dictionary("1001");
    EXPECT_EQ(browser->string("category"), "User");
    EXPECT_FALSE(browser->boolean("preset"));
    // A copy, cleaned as a load cleans it.
    EXPECT_NE(browser, fileSettings->dictionary("0001"));
    EXPECT_EQ(browser->dictionary("options")->integer("scrollDPI"), 400);
}

TEST_F(SettingsMerge, replace_asked_each_time_puts_the_files_sets_under_the_existing_keys) {
    const auto result = importQuillonMouseSettings(*prefs, *file, answering({true, false}));
    EXPECT_EQ(asked, (std::vector<std::string>{"0010 global", "1000 app"}));
    EXPECT_EQ(result.replaced, (std::vector<std::string>{"0010", "1000"}));
    EXPECT_EQ(settings().dictionary("0010")->string("displayName"), "Their global");
    // A global set keeps its category; an application's becomes the user's.
    EXPECT_EQ(settings().dictionary("0010")->string("category"), "Preset");
    EXPECT_EQ(settings().dictionary("1000")->string("displayName"), "Their mail");
    EXPECT_EQ(settings().dictionary("1000")->string("category"), "User");
    EXPECT_FALSE(settings().contains("1500"));
}

TEST_F(SettingsMerge, other_version_or_no_settings_dictionary_imports_nothing) {
    const DictRef before = deepCopy(*prefs);
    file->remove("version");
    auto result = importQuillonMouseSettings(*prefs, *file, answering({true, true}));
    EXPECT_TRUE(result.versionMismatch);
    EXPECT_FALSE(result.importedAny());
    for (Value settingsValue : {Value(makeArray({Value(1)})), Value("x"), Value()}) {
        DictRef other = makeDictionary({{"settings", settingsValue}, {"version", 1}});
        result = importQuillonMouseSettings(*prefs, *other, answering({true, true}));
        EXPECT_FALSE(result.versionMismatch);
        EXPECT_FALSE(result.importedAny());
    }
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(Value(prefs), Value(before));
}

TEST_F(SettingsMerge, a_hostile_action_arrives_repaired_and_shared_objects_become_separate_sets) {
    DictRef shared = record("vantor", "Shared", "shared");
    shared->dictionary("actions")->set("01", makeDictionary({{"command", 9999}, {"text", "rm"}}));
    shared->dictionary("actions")->set("02", "not an action");
    DictRef twice =
        makeDictionary({{"settings", table({{"1100", shared}, {"1200", shared}})}, {"version", 1}});
    // The second copy clashes with the first once that is in.
    const auto result = importQuillonMouseSettings(*prefs, *twice, answering({true, false}));
    EXPECT_EQ(result.added, std::vector<std::string>{"1100"});
    EXPECT_EQ(result.replaced, std::vector<std::string>{"1100"});
    const DictRef actions = settings().dictionary("1100")->dictionary("actions");
    EXPECT_EQ(Value(actions->dictionary("01")), Value(makeDictionary({{"command", 0}})));
    EXPECT_NE(settings().dictionary("1100"), shared);
}

TEST(settings_file, reader_refuses_what_is_not_a_plain_file_holding_a_dictionary) {
    TempDir dir;
    std::string why;
    EXPECT_EQ(readQuillonMouseSettingsFile(dir.file("missing"), &why), nullptr);
    EXPECT_EQ(readQuillonMouseSettingsFile(dir.write("text", "hello"), &why), nullptr);
    EXPECT_EQ(why, "is not a property list");
    const auto array = writeBinaryPropertyList(Value(makeArray({Value(1)}))).value();
    EXPECT_EQ(readQuillonMouseSettingsFile(dir.write("array", array), &why), nullptr);
    EXPECT_NE(why.find("not a dictionary"), std::string::npos);
    // Larger than 16 MiB, refused before reading (a sparse file costs no disk).
    const std::string big = dir.file("big");
    { std::ofstream(big) << "x"; }
    std::filesystem::resize_file(big, kMaxSettingsFileBytes + 1);
    EXPECT_EQ(readQuillonMouseSettingsFile(big, &why), nullptr);
    EXPECT_EQ(why, "is larger than 16 MiB");
    EXPECT_EQ(readQuillonMouseSettingsFile(dir.path().string(), &why), nullptr);
    // A named pipe would block the reader until someone writes to it.
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    EXPECT_EQ(readQuillonMouseSettingsFile(dir.file("pipe"), &why), nullptr);
    EXPECT_EQ(why, "is not a plain file");
}

TEST(settings_file, export_of_one_set_reads_back_and_a_failed_write_leaves_nothing) {
    TempDir dir;
    DictRef prefs = makeDictionary(
        {{"settings",
          table({{"0010", record("tamber", "All")}, {"1000", record("tamber", "Mail", "mail")}})},
         {"version", 1}});
    EXPECT_EQ(makeQuillonMouseSettingsFile(*prefs, "2000"), nullptr);
    DictRef one = makeQuillonMouseSettingsFile(*prefs, "1000");
    ASSERT_TRUE(one);
    const std::string path = dir.file("Mail.quillonMouseSettings");
    ASSERT_TRUE(writeQuillonMouseSettingsFile(*one, path));
    DictRef back = readQuillonMouseSettingsFile(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->integer("version"), 1);
    EXPECT_EQ(back->dictionary("settings")->keys(), std::vector<std::string>{"1000"});

    // A folder in the way of the file: the write fails and leaves no temporary file behind.
    std::filesystem::create_directories(dir.path() / "taken" / "inside");
    EXPECT_FALSE(writeQuillonMouseSettingsFile(*one, dir.file("taken/inside")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "taken"),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace
}  // namespace quillon
