// quillon-prefs and a running helper on a private session bus: a change is announced, no change
// is not.
#include <gtest/gtest.h>

#include <string>

#include "plist/file_utils.h"
#include "qt_test_support.h"
#include "testing/run_process.h"
#include "testing/temp_dir.h"

namespace quillon {
namespace {

TEST(quillon_prefs_bus, a_saved_change_sends_update_prefs_to_the_running_helper) {
    testing::ensureQtApplication();
    testing::TempDir dir;
    const std::string prefs = dir.file("prefs.plist");
    const std::string logPath = dir.file("helper.log");
    DictRef mail = makeDictionary({{"displayName", "Mail"},
                                   {"app", makeDictionary({{"execName", "mail"}})},
                                   {"device", makeDictionary({{"type", "tamber"}})}});
    ASSERT_TRUE(writeToBinaryFile(
        *makeDictionary({{"settings", makeDictionary({{"1000", mail}})}, {"version", 1}}), prefs,
        true));
    testing::ChildProcess helper(QUILLON_HELPER, {"--prefs", QString::fromStdString(prefs), "--log",
                                                  QString::fromStdString(logPath)});
    ASSERT_TRUE(helper.started());
    const auto count = [&] {
        const std::string log = testing::readAll(logPath);
        std::size_t n = 0;
        for (auto at = log.find("request=updatePrefs"); at != std::string::npos;
             at = log.find("request=updatePrefs", at + 1))
            ++n;
        return n;
    };
    ASSERT_TRUE(testing::runEventsUntil(
        [&] { return testing::readAll(logPath).find("ready name=") != std::string::npos; }, 10000));

    const auto rename = [&](const std::string& name) {
        return testing::runProcess(
            {QUILLON_PREFS_TOOL, "rename", "1000", name, "--file", prefs, "--no-defaults"});
    };
    EXPECT_EQ(rename("Mail").exitCode, 0);  // the same name: nothing saved, nothing sent
    const auto changed = rename("Post");
    EXPECT_EQ(changed.exitCode, 0) << changed.err;
    ASSERT_TRUE(testing::runEventsUntil([&] { return count() > 0; }, 10000))
        << testing::readAll(logPath);
    // The helper read the renamed set back from the file it was told about.
    EXPECT_NE(testing::readAll(logPath).find("name=Post"), std::string::npos)
        << testing::readAll(logPath);
    EXPECT_EQ(count(), 1u);
}

}  // namespace
}  // namespace quillon
