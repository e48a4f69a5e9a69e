// Tests of the preferences file: its place, the first-run copy, the merge, and safe saves.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "plist/file_utils.h"
#include "plist/property_list.h"
#include "prefs/preferences_file.h"
#include "testing/preferences_fixture.h"
#include "testing/temp_dir.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

mode_t modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

DictRef settingsOf(std::initializer_list<const char*> uids, std::string_view origin) {
    DictRef settings = Dictionary::create();
    for (const char* uid : uids) settings->set(uid, makeDictionary({{"displayName", origin}}));
    return settings;
}

std::string xml(const DictRef& dict) { return writeXmlPropertyList(Value(dict)).value(); }

// A home folder with the shipped-defaults stand-in beside it.
struct Home {
    TempDir dir;
    std::string prefs = quillonMousePrefsPath(dir.path().string());
    DictRef defaults = makeDictionary({{"settings", settingsOf({"0001", "0003"}, "defaults")},
                                       {"general", makeDictionary({{"fromDefaults", true}})},
                                       {"version", 1}});
    std::string defaultsPath = dir.write("QuillonMouseDefaults.plist", xml(defaults));

    void writeUserFile(std::string_view bytes) const {
        fs::create_directories(fs::path(prefs).parent_path());
        std::ofstream(prefs, std::ios::binary) << bytes;
    }
};

TEST(preferences_file, lives_under_the_home_folder) {
    EXPECT_EQ(quillonMousePrefsPath("/home/a"),
              "/home/a/Library/Preferences/com.quillonworks.mouse.plist");
    EXPECT_EQ(quillonMousePrefsPath("/home/a//"),
              "/home/a/Library/Preferences/com.quillonworks.mouse.plist");
    EXPECT_EQ(quillonMousePrefsPath("/"), "/Library/Preferences/com.quillonworks.mouse.plist");
}

TEST(preferences_file, first_run_copies_the_defaults_as_xml_into_a_private_folder) {
    Home home;
    const DictRef prefs = readQuillonMousePrefs(home.prefs, home.defaultsPath);
    ASSERT_TRUE(prefs);
    EXPECT_EQ(Value(prefs), Value(home.defaults));
    PropertyListFormat format{};
    EXPECT_EQ(propertyListWithContentsOfFile(home.prefs, &format), Value(home.defaults));
    EXPECT_EQ(format, PropertyListFormat::Xml);
    EXPECT_EQ(modeOf(home.prefs), 0600u);
    EXPECT_EQ(modeOf((home.dir.path() / "Library").string()), 0700u);
    EXPECT_EQ(modeOf((home.dir.path() / "Library/Preferences").string()), 0700u);

    prefs->dictionary("settings")->set("1000", makeDictionary({{"displayName", "mine"}}));
    ASSERT_TRUE(saveQuillonMousePrefs(*prefs, home.prefs));
    EXPECT_EQ(propertyListWithContentsOfFile(home.prefs, &format), Value(prefs));
    EXPECT_EQ(format, PropertyListFormat::Binary);
    EXPECT_EQ(modeOf(home.prefs), 0600u);
}

TEST(preferences_file, adds_only_the_default_records_the_user_lacks) {
    Home home;
    const std::string user =
        xml(makeDictionary({{"settings", settingsOf({"0001", "0002"}, "user")}, {"version", 7}}));
    home.writeUserFile(user);
    const DictRef prefs = readQuillonMousePrefs(home.prefs, home.defaultsPath);
    ASSERT_TRUE(prefs);
    const DictRef settings = prefs->dictionary("settings");
    EXPECT_EQ(settings->keys(), (std::vector<std::string>{"0001", "0002", "0003"}));
    EXPECT_EQ(settings->dictionary("0001")->string("displayName"), "user");
    EXPECT_EQ(settings->dictionary("0003")->string("displayName"), "defaults");
    EXPECT_EQ(prefs->integer("version"), 7);
    EXPECT_FALSE(prefs->contains("general"));
    EXPECT_EQ(testing::readAll(home.prefs), user);  // loading never writes a readable file
}

TEST(preferences_file, without_readable_defaults_returns_the_user_file_alone) {
    Home home;
    EXPECT_FALSE(readQuillonMousePrefs(home.prefs, ""));
    EXPECT_FALSE(readQuillonMousePrefs(home.prefs, home.dir.file("missing.plist")));
    EXPECT_FALSE(fs::exists(home.prefs));
    home.writeUserFile(xml(makeDictionary({{"settings", settingsOf({"0002"}, "user")}})));
    const DictRef prefs = readQuillonMousePrefs(home.prefs, home.dir.write("bad.plist", "<plist>"));
    ASSERT_TRUE(prefs);
    EXPECT_EQ(prefs->dictionary("settings")->keys(), std::vector<std::string>{"0002"});
    // No user path: the defaults, written nowhere.
    EXPECT_EQ(Value(readQuillonMousePrefs("", home.defaultsPath)), Value(home.defaults));
    // A user file without a settings table gets nothing added.
    home.writeUserFile(xml(makeDictionary({{"settings", "none"}})));
    EXPECT_EQ(readQuillonMousePrefs(home.prefs, home.defaultsPath)->get("settings"), Value("none"));
}

TEST(preferences_file, moves_an_unreadable_user_file_aside_before_writing_the_defaults) {
    Home home;
    const std::string garbage = std::string("bplist00\x01\x02 truncated", 21);
    home.writeUserFile(garbage);
    ::chmod(home.prefs.c_str(), 0640);
    ASSERT_TRUE(readQuillonMousePrefs(home.prefs, home.defaultsPath));
    EXPECT_EQ(testing::readAll(home.prefs + ".corrupt"), garbage);
    EXPECT_EQ(modeOf(home.prefs + ".corrupt"), 0640u);
    EXPECT_EQ(propertyListWithContentsOfFile(home.prefs), Value(home.defaults));
    EXPECT_EQ(modeOf(home.prefs), 0600u);

    // The next one takes a numbered name; a top level that is not a dictionary is unreadable too.
    const std::string notDictionary = writeXmlPropertyList(Value(makeArray({1, 2}))).value();
    home.writeUserFile(notDictionary);
    ASSERT_TRUE(readQuillonMousePrefs(home.prefs, home.defaultsPath));
    EXPECT_EQ(testing::readAll(home.prefs + ".corrupt"), garbage);
    EXPECT_EQ(testing::readAll(home.prefs + ".corrupt.1"), notDictionary);
    EXPECT_EQ(propertyListWithContentsOfFile(home.prefs), Value(home.defaults));

    // Without defaults nothing replaces it yet, but the next save would.
    home.writeUserFile("third");
    EXPECT_FALSE(readQuillonMousePrefs(home.prefs, ""));
    EXPECT_EQ(testing::readAll(home.prefs + ".corrupt.2"), "third");
    EXPECT_FALSE(fs::exists(home.prefs));
}

TEST(preferences_file, large_save_writes_the_bytes_of_the_binary_writer) {
    Home home;
    const DictRef prefs = testing::makePreferences(3000);
    ASSERT_TRUE(saveQuillonMousePrefs(*prefs, home.prefs));
    EXPECT_EQ(testing::readAll(home.prefs), writeBinaryPropertyList(Value(prefs)).value());
    EXPECT_EQ(modeOf(home.prefs), 0600u);

    // Refused while it is numbered, on the large tree's path too: the saved file stays.
    const std::string saved = testing::readAll(home.prefs);
    prefs->dictionary("settings")->dictionary("2999")->set("displayName", "bad \xff utf-8");
    EXPECT_FALSE(saveQuillonMousePrefs(*prefs, home.prefs));
    EXPECT_EQ(testing::readAll(home.prefs), saved);
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(home.prefs).parent_path()),
                            fs::directory_iterator()),
              1);
}

TEST(preferences_file, save_keeps_the_mode_a_file_already_has) {
    Home home;
    home.writeUserFile("old");
    ::chmod(home.prefs.c_str(), 0644);
    ASSERT_TRUE(saveQuillonMousePrefs(*home.defaults, home.prefs));
    EXPECT_EQ(modeOf(home.prefs), 0644u);
    EXPECT_EQ(propertyListWithContentsOfFile(home.prefs), Value(home.defaults));
}

TEST(preferences_file, failed_save_reports_and_leaves_the_old_file) {
    Home home;
    home.writeUserFile("old bytes");
    DictRef loop = makeDictionary({{"a", 1}});
    loop->set("self", loop);
    EXPECT_FALSE(saveQuillonMousePrefs(*loop, home.prefs));
    loop->remove("self");
    EXPECT_EQ(testing::readAll(home.prefs), "old bytes");

    // A folder that cannot be written (root may write anyway, so only checked for users).
    if (::geteuid() != 0) {
        const std::string folder = fs::path(home.prefs).parent_path().string();
        ::chmod(folder.c_str(), 0500);
        EXPECT_FALSE(saveQuillonMousePrefs(*home.defaults, home.prefs));
        ::chmod(folder.c_str(), 0700);
        EXPECT_EQ(testing::readAll(home.prefs), "old bytes");
    }
    // The place of the folder is taken by a file.
    const std::string blocked = home.dir.write("Blocked", "x") + "/Preferences/p.plist";
    EXPECT_FALSE(saveQuillonMousePrefs(*home.defaults, blocked));
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(home.prefs).parent_path()),
                            fs::directory_iterator()),
              1);  // no temporary file left behind
}

TEST(preferences_file, save_replaces_the_target_of_a_symbolic_link) {
    Home home;
    const std::string real = home.dir.write("dotfiles.plist", "old");
    fs::create_directories(fs::path(home.prefs).parent_path());
    fs::create_symlink(real, home.prefs);
    ASSERT_TRUE(saveQuillonMousePrefs(*home.defaults, home.prefs));
    EXPECT_TRUE(fs::is_symlink(home.prefs));
    EXPECT_EQ(propertyListWithContentsOfFile(real), Value(home.defaults));
}

// A process saving in a loop, killed at random moments: a reader always finds a whole file.
TEST(preferences_file, a_save_killed_at_any_moment_leaves_a_file_that_parses) {
    Home home;
    const DictRef small = testing::makePreferences(20);
    const DictRef large = testing::makePreferences(120);
    ASSERT_TRUE(saveQuillonMousePrefs(*small, home.prefs));
    std::mt19937 random(12345);
    int changes = 0;
    Value last(small);
    constexpr int kRounds = 30;
    for (int round = 0; round < kRounds; ++round) {
        int saves[2];
        ASSERT_EQ(::pipe(saves), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::dup2(saves[1], 1);
            ::execl(QUILLON_PREFS_SAVE_LOOP, QUILLON_PREFS_SAVE_LOOP, home.prefs.c_str(), nullptr);
            ::_exit(127);
        }
        ::close(saves[1]);
        // The child saves the large, the small, the large dictionary and so on. Let three or
        // four saves finish, then kill at a random moment within twice the time the next one
        // should take (that of the one before the last, of the same size): the kill lands in
        // that save or after it about equally often, however fast this build saves.
        using Clock = std::chrono::steady_clock;
        std::vector<Clock::time_point> finished;
        char done = 0;
        for (unsigned n = 3 + random() % 2; n > 0; --n) {
            ASSERT_EQ(::read(saves[0], &done, 1), 1);
            finished.push_back(Clock::now());
        }
        const auto next = finished[finished.size() - 2] - finished[finished.size() - 3];
        const auto span = std::chrono::duration_cast<std::chrono::microseconds>(2 * next);
        std::this_thread::sleep_for(
            std::chrono::microseconds(random() % static_cast<unsigned>(span.count() + 1)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::close(saves[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child stopped by itself: " << status;
        const auto bytes = readFileBytes(home.prefs);
        ASSERT_TRUE(bytes);
        const Value read = parseBinaryPropertyList(*bytes);
        ASSERT_TRUE(read == Value(small) || read == Value(large)) << "round " << round;
        changes += !(read == last);
        last = read;
    }
    EXPECT_GT(changes, 2);  // the kills landed at different points of the loop
    // At most one temporary file per kill stays behind.
    const auto entries = std::distance(fs::directory_iterator(fs::path(home.prefs).parent_path()),
                                       fs::directory_iterator());
    EXPECT_LE(entries, 1 + kRounds);
}

}  // namespace
}  // namespace quillon
