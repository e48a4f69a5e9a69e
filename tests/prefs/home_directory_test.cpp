// The user's home folder when HOME does not say, and where programs find the pane bundle.
#include "prefs/home_directory.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "prefs/installed_layout.h"
#include "testing/run_process.h"
#include "testing/scoped_environment.h"
#include "testing/temp_dir.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnvironment;
using testing::TempDir;

std::optional<std::string> passwordDatabaseHome() {
    const passwd* entry = ::getpwuid(::getuid());
    if (!entry || !entry->pw_dir || !*entry->pw_dir) return std::nullopt;
    return std::string(entry->pw_dir);
}

// Runs argv as a user the password database does not know, without HOME: how a program
// started from a bare service manager or a container sees the world.
testing::ProcessResult runHomeless(std::vector<std::string> argv) {
    argv.insert(argv.begin(),
                {"/usr/bin/setpriv", "--reuid=4242421", "--regid=4242421", "--clear-groups",
                 "/usr/bin/env", "-u", "HOME", "QT_QPA_PLATFORM=offscreen"});
    return testing::runProcess(argv);
}

TEST(home_directory, falls_back_to_the_password_database_when_home_is_unset_or_empty) {
    {
        const ScopedEnvironment home("HOME", "/home/someone");
        EXPECT_EQ(userHomeDirectory(), "/home/someone");
    }
    const auto expected = passwordDatabaseHome();
    ASSERT_TRUE(expected) << "this user has no home in the password database";
    {
        const ScopedEnvironment home("HOME", "");
        EXPECT_EQ(userHomeDirectory(), expected);
        // Adopted for the rest of the process, so the autostart folder and started programs agree.
        EXPECT_EQ(adoptUserHomeDirectory("test"), expected);
        EXPECT_STREQ(std::getenv("HOME"), expected->c_str());
    }
    const ScopedEnvironment home("HOME", std::nullopt);
    EXPECT_EQ(userHomeDirectory(), expected);
}

TEST(home_directory, programs_refuse_to_start_without_any_home) {
    if (::geteuid() != 0 || !fs::exists("/usr/bin/setpriv"))
        GTEST_SKIP() << "needs root and setpriv to run as a user without a password entry";
    ASSERT_EQ(::getpwuid(4242421), nullptr);

    const auto prefs = runHomeless({QUILLON_PREFS_TOOL, "check"});
    EXPECT_EQ(prefs.exitCode, 1);
    EXPECT_NE(prefs.err.find("quillon-prefs: no home folder"), std::string::npos) << prefs.err;
#ifdef QUILLON_HELPER_TOOL
    const auto helper = runHomeless({QUILLON_HELPER_TOOL});
    EXPECT_EQ(helper.exitCode, 1);
    EXPECT_NE(helper.err.find("quillon-helper: no home folder"), std::string::npos) << helper.err;
#endif
#ifdef QUILLON_SETTINGS_APP
    const std::string resources = (testing::sourceDir() / "resources").string();
    const auto window = runHomeless({QUILLON_SETTINGS_APP, "--bundle", resources});
    EXPECT_EQ(window.exitCode, 1);
    EXPECT_NE(window.err.find("quillon-settings: no home folder"), std::string::npos) << window.err;
#endif
}

TEST(installed_layout, a_program_finds_the_bundle_of_the_tree_it_runs_from) {
    TempDir tmp;
    const std::string build = tmp.file("build");
    const std::string bundle = build + "/share/quillon-mouse";
    fs::create_directories(build + "/src/app");
    EXPECT_EQ(defaultPaneBundleDirectory(build + "/src/app/quillon-settings", build, bundle),
              bundle);
    // Installed, even while the build tree it came from is still there.
    EXPECT_EQ(defaultPaneBundleDirectory("/opt/q/bin/quillon-settings", build, bundle),
              "/opt/q/share/quillon-mouse");
    EXPECT_EQ(defaultPaneBundleDirectory(build + "-copy/bin/quillon-prefs", build, bundle),
              build + "-copy/share/quillon-mouse");
    // A build tree reached through a link is still the build tree.
    fs::create_directory_symlink(build, tmp.file("link"));
    EXPECT_EQ(defaultPaneBundleDirectory(build + "/src/app/x", tmp.file("link"), bundle), bundle);
}

TEST(installed_layout, a_bundle_given_relative_becomes_absolute_and_normal) {
    TempDir tmp;
    const std::string root = fs::weakly_canonical(tmp.path()).string();
    fs::create_directories(root + "/share/quillon-mouse");
    const fs::path before = fs::current_path();
    fs::current_path(root + "/share/quillon-mouse");
    // The helper is looked for beside the bundle: "." must name the folder, not stay ".".
    EXPECT_EQ(paneBundleDirectory("."), root + "/share/quillon-mouse");
    EXPECT_EQ(paneBundleDirectory("./"), root + "/share/quillon-mouse");
    EXPECT_EQ(paneBundleDirectory("../quillon-mouse/"), root + "/share/quillon-mouse");
    EXPECT_EQ(paneBundleDirectory(".."), root + "/share");
    fs::current_path(before);
    EXPECT_EQ(paneBundleDirectory("/a//b/./c/../d/"), "/a/b/d");
    EXPECT_EQ(paneBundleDirectory("/"), "/");
}

}  // namespace
}  // namespace quillon
