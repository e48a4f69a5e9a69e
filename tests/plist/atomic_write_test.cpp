// Atomic writes from several processes: forked writers, killed writers and their leftovers.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "plist/file_utils.h"
#include "testing/temp_dir.h"

namespace quillon {
namespace {

using testing::readAll;
using testing::TempDir;

std::set<std::string> namesIn(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

// Runs body in a forked child and returns its wait status; the child ends with body's result
// as its exit code, or with the signal that killed it.
template <typename Body>
int inChild(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body() ? 0 : 1);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

// A writer killed part way through its write, as a crash or kill -9 would: the file-size
// limit's signal ends it with its temporary file on disk.
int killedWriter(const std::string& path, const std::string& bytes) {
    return inChild([&] {
        struct rlimit noCore {};
        ::setrlimit(RLIMIT_CORE, &noCore);
        std::signal(SIGXFSZ, SIG_DFL);
        struct rlimit small {};
        ::getrlimit(RLIMIT_FSIZE, &small);
        small.rlim_cur = 16;
        ::setrlimit(RLIMIT_FSIZE, &small);
        return writeFileBytes(path, bytes, true);
    });
}

TEST(atomic_write, killed_forked_writers_do_not_block_later_saves) {
    TempDir dir;
    const std::string p = dir.file("prefs.plist");
    // The parent writes first, so whatever it keeps for naming exists before the children fork.
    ASSERT_TRUE(writeFileBytes(p, "first", true));
    const std::string big(4096, 'x');
    for (int i = 0; i < 20; ++i) {
        const int status = killedWriter(p, big);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << "child " << i;
    }
    // Twenty distinct leftovers: the children did not draw the same names.
    EXPECT_EQ(namesIn(dir.path()).size(), 21u);
    // They are recent, so a live writer might still own them: kept, and no obstacle.
    ASSERT_TRUE(writeFileBytes(p, "after", true));
    EXPECT_EQ(readAll(p), "after");
    EXPECT_EQ(WEXITSTATUS(inChild([&] { return writeFileBytes(p, "child", true); })), 0);
    EXPECT_EQ(readAll(p), "child");
    EXPECT_EQ(namesIn(dir.path()).size(), 21u);
}

TEST(atomic_write, concurrent_forked_writers_never_collide) {
    TempDir dir;
    const std::string p = dir.file("prefs.plist");
    ASSERT_TRUE(writeFileBytes(p, "seed", true));
    constexpr int kChildren = 6;
    constexpr int kSaves = 40;
    std::vector<pid_t> children;
    for (int c = 0; c < kChildren; ++c) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const std::string bytes(1000 + c, static_cast<char>('a' + c));
            bool ok = true;
            for (int i = 0; i < kSaves; ++i) ok = writeFileBytes(p, bytes, true) && ok;
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    // One child's bytes, whole, and nothing left beside them.
    const std::string last = readAll(p);
    ASSERT_GE(last.size(), 1000u);
    EXPECT_EQ(last, std::string(last.size(), last[0]));
    EXPECT_EQ(namesIn(dir.path()), std::set<std::string>{"prefs.plist"});
}

TEST(atomic_write, save_removes_only_its_own_stale_temporaries) {
    TempDir dir;
    const std::string p = dir.file("prefs.plist");
    const std::vector<std::string> stale = {".prefs.plist.0a1b2c3d.tmp", ".prefs.plist.zzzzzzzz.tmp"};
    const std::vector<std::string> kept = {
        ".prefs.plist.young000.tmp",   // our pattern, but recent: a live writer may own it
        ".other.plist.0a1b2c3d.tmp",   // another target's
        ".prefs.plist.0A1B2C3D.tmp",   // not our alphabet
        ".prefs.plist.0a1b2c3.tmp",    // suffix too short
        ".prefs.plist.0a1b2c3d.tmpx",  // other ending
        "prefs.plist.0a1b2c3d.tmp",    // not hidden
        "notes.txt",
    };
    const auto age = [&](const std::string& name, int seconds) {
        const timespec when[2] = {{::time(nullptr) - seconds, 0}, {::time(nullptr) - seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, dir.file(name).c_str(), when, 0), 0);
    };
    for (const auto& name : stale) {
        dir.write(name, "left by a killed writer");
        age(name, 3600);
    }
    for (const auto& name : kept) {
        dir.write(name, "not ours to remove");
        if (name != ".prefs.plist.young000.tmp") age(name, 3600);
    }
    // A folder and a link with our pattern are not files a writer left.
    std::filesystem::create_directory(dir.file(".prefs.plist.folder00.tmp"));
    std::filesystem::create_symlink("notes.txt", dir.file(".prefs.plist.link0000.tmp"));
    age(".prefs.plist.folder00.tmp", 3600);

    ASSERT_TRUE(writeFileBytes(p, "saved", true));
    EXPECT_EQ(readAll(p), "saved");
    std::set<std::string> expected(kept.begin(), kept.end());
    expected.insert({"prefs.plist", ".prefs.plist.folder00.tmp", ".prefs.plist.link0000.tmp"});
    EXPECT_EQ(namesIn(dir.path()), expected);
}

}  // namespace
}  // namespace quillon
