// Reading and writing files: limits, atomic replacement and modes.
#include "plist/file_utils.h"

#include <gtest/gtest.h>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "testing/temp_dir.h"

namespace quillon {
namespace {

using testing::readAll;
using testing::TempDir;

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

TEST(file_bytes, read_missing_folder_or_oversized_file_gives_nothing) {
    TempDir dir;
    EXPECT_FALSE(readFileBytes(dir.file("missing")));
    EXPECT_FALSE(readFileBytes(dir.path().string()));
    const std::string p = dir.write("f", "0123456789");
    EXPECT_EQ(readFileBytes(p), "0123456789");
    EXPECT_FALSE(readFileBytes(p, 9));
}

TEST(file_bytes, atomic_write_replaces_whole_file_and_keeps_its_mode) {
    TempDir dir;
    const std::string p = dir.write("prefs", "old contents that are longer");
    ::chmod(p.c_str(), 0600);
    ASSERT_TRUE(writeFileBytes(p, "new", true));
    EXPECT_EQ(readAll(p), "new");
    EXPECT_EQ(modeOf(p), 0600u);
    // No temporary file is left beside it.
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST(file_bytes, new_file_gets_requested_mode) {
    TempDir dir;
    const mode_t old = ::umask(022);
    ASSERT_TRUE(writeFileBytes(dir.file("a"), "x", true, 0600));
    ASSERT_TRUE(writeFileBytes(dir.file("b"), "x", false, 0600));
    ::umask(old);
    EXPECT_EQ(modeOf(dir.file("a")), 0600u);
    EXPECT_EQ(modeOf(dir.file("b")), 0600u);
}

TEST(file_bytes, failed_atomic_write_leaves_existing_file_untouched) {
    TempDir dir;
    const std::string p = dir.write("prefs", "keep me");
    // A file-size limit stands in for a full disk: the write fails part way.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 4;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool ok = writeFileBytes(p, "a much longer replacement", true);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(readAll(p), "keep me");
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST(file_bytes, write_into_missing_folder_fails) {
    TempDir dir;
    EXPECT_FALSE(writeFileBytes(dir.file("no/such/file"), "x", true));
    EXPECT_FALSE(writeFileBytes(dir.file("no/such/file"), "x", false));
}

}  // namespace
}  // namespace quillon
