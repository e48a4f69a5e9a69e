// The helper launch step and the login-item routines, against the workspace and login-item doubles.
#include "link/helper_launch.h"

#include <gtest/gtest.h>

#include "testing/fake_login_items.h"
#include "testing/fake_workspace.h"

namespace quillon {
namespace {

using testing::FakeLoginItems;
using testing::FakeWorkspace;

const std::string kPane = "/Library/PreferencePanes/QuillonMouse.prefPane";
const std::string kHelper = "/Library/PreferencePanes/QuillonMouseHelper.app";

std::vector<std::optional<std::string>> namesOf(const FakeLoginItems& loginItems) {
    std::vector<std::optional<std::string>> names;
    for (const auto& item : loginItems.items) names.push_back(item->name);
    return names;
}

TEST(helper_launch, paths_and_application_names) {
    EXPECT_EQ(helperApplicationPath(kPane), kHelper);
    EXPECT_EQ(helperApplicationPath(kPane + "/"), kHelper);
    EXPECT_EQ(helperApplicationPath("/QuillonMouse.prefPane"), "/QuillonMouseHelper.app");
    EXPECT_EQ(helperApplicationPath("QuillonMouse.prefPane"), "QuillonMouseHelper.app");

    EXPECT_EQ(applicationNameOfPath(kHelper), "QuillonMouseHelper");
    EXPECT_EQ(applicationNameOfPath(kHelper + "/"), "QuillonMouseHelper");
    EXPECT_EQ(applicationNameOfPath("/usr/bin/tool"), "tool");
    EXPECT_EQ(applicationNameOfPath("/x/.app"), "");

    EXPECT_EQ(fileLocationOfPath("/a//b/./c/../Helper.app/"), "/a/b/Helper.app");
    EXPECT_EQ(fileLocationOfPath(""), "");
}

TEST(helper_launch, leaves_login_items_alone_when_helper_runs) {
    FakeWorkspace workspace;
    workspace.running[std::string(kHelperBundleIdentifier)] = 1;
    FakeLoginItems loginItems;  // the helper is not a login item, and stays so

    launchHelperApplication(workspace, loginItems, kPane);

    EXPECT_EQ(workspace.runningQueries, std::vector<std::string>{"com.quillonworks.mouse.helper"});
    EXPECT_TRUE(workspace.launched.empty());
    EXPECT_EQ(loginItems.openCount, 0);
}

TEST(helper_launch, launches_helper_beside_pane_and_makes_it_a_login_item) {
    for (const bool launchSucceeds : {true, false}) {
        FakeWorkspace workspace;
        workspace.launchSucceeds = launchSucceeds;
        FakeLoginItems loginItems;

        launchHelperApplication(workspace, loginItems, kPane);

        EXPECT_EQ(workspace.launched, std::vector<std::string>{kHelper});
        EXPECT_EQ(loginItems.appended, std::vector<std::string>{kHelper});
    }
}

TEST(add_login_item, keeps_item_at_current_location_and_appends_nothing) {
    FakeLoginItems loginItems;
    loginItems.add("/Applications/Other.app", "Other");
    loginItems.add(kHelper + "/", "QuillonMouseHelper");

    EXPECT_EQ(addLoginItem(loginItems, kHelper, std::nullopt), 0);

    EXPECT_TRUE(loginItems.appended.empty());
    EXPECT_TRUE(loginItems.removedNames.empty());
    EXPECT_EQ(loginItems.items.size(), 2u);
}

TEST(add_login_item, replaces_items_of_same_name_elsewhere_or_nowhere) {
    FakeLoginItems loginItems;
    loginItems.add("/Old/QuillonMouseHelper.app", "quillonmousehelper");
    loginItems.add("/Applications/Other.app", "Other");
    loginItems.add(std::nullopt, "QUILLONMOUSEHELPER");  // its volume is gone
    loginItems.add(std::nullopt, std::nullopt);

    EXPECT_EQ(addLoginItem(loginItems, kHelper, std::nullopt), 0);

    EXPECT_EQ(namesOf(loginItems),
              (std::vector<std::optional<std::string>>{"Other", std::nullopt, "QuillonMouseHelper"}));
    EXPECT_EQ(loginItems.appended, std::vector<std::string>{kHelper});
}

TEST(add_login_item, other_name_items_are_removed_too) {
    FakeLoginItems loginItems;
    loginItems.add("/Old/Legacy Helper.app", "legacy helper");
    loginItems.add("/Old/Other.app", "Other");

    EXPECT_EQ(addLoginItem(loginItems, kHelper, std::string("Legacy Helper.app")), 0);

    EXPECT_EQ(namesOf(loginItems),
              (std::vector<std::optional<std::string>>{"Other", "QuillonMouseHelper"}));
}

TEST(add_login_item, reports_failures_but_finishes_the_list) {
    {
        // A removal fails while the helper's item is present: nothing appended, status -1, and
        // the item after the failing one is still removed.
        FakeLoginItems loginItems;
        loginItems.add("/Old/QuillonMouseHelper.app", "QuillonMouseHelper")->removalFails = true;
        loginItems.add(std::nullopt, "QuillonMouseHelper");
        loginItems.add(kHelper, "QuillonMouseHelper");
        EXPECT_EQ(addLoginItem(loginItems, kHelper, std::nullopt), -1);
        EXPECT_EQ(loginItems.items.size(), 2u);
        EXPECT_TRUE(loginItems.appended.empty());
    }
    {
        // The same failure without the helper's item: the append makes the status 0.
        FakeLoginItems loginItems;
        loginItems.add("/Old/QuillonMouseHelper.app", "QuillonMouseHelper")->removalFails = true;
        EXPECT_EQ(addLoginItem(loginItems, kHelper, std::nullopt), 0);
        EXPECT_EQ(loginItems.items.size(), 2u);
    }
    {
        FakeLoginItems loginItems;
        loginItems.unavailable = true;
        EXPECT_EQ(addLoginItem(loginItems, kHelper, std::nullopt), -1);
    }
    {
        // An unreadable list still gets the item appended.
        FakeLoginItems loginItems;
        loginItems.snapshotFails = true;
        EXPECT_EQ(addLoginItem(loginItems, kHelper, std::nullopt), 0);
        EXPECT_EQ(loginItems.appended.size(), 1u);
    }
    {
        // A failed append leaves the scan's status.
        FakeLoginItems loginItems;
        loginItems.appendFails = true;
        EXPECT_EQ(addLoginItem(loginItems, kHelper, std::nullopt), 0);
        EXPECT_TRUE(loginItems.items.empty());
    }
}

TEST(scan_login_items, counts_each_item_under_one_rule) {
    FakeLoginItems loginItems;
    loginItems.add(kHelper, "QuillonMouseHelper");         // same location, not tested by name
    loginItems.add("/Old/QuillonMouseHelper.app", "quillonMouseHelper");
    loginItems.add("/Old/Aux.app", "aux");                 // other name
    loginItems.add("/Old/Aux2.app", std::nullopt);         // no name: counted nowhere
    int location = -5, sameName = -5, otherName = -5;

    EXPECT_EQ(scanLoginItems(loginItems, kHelper, false, &location, false, &sameName,
                             std::string("Aux.app"), false, &otherName),
              0);
    EXPECT_EQ(location, 1);
    EXPECT_EQ(sameName, 1);
    EXPECT_EQ(otherName, 1);
    EXPECT_EQ(loginItems.items.size(), 4u);

    // Removal counts what it removed; a failed removal is not counted.
    loginItems.items[1]->removalFails = true;
    EXPECT_EQ(scanLoginItems(loginItems, kHelper, true, &location, true, &sameName,
                             std::string("Aux"), true, &otherName),
              -1);
    EXPECT_EQ(location, 1);
    EXPECT_EQ(sameName, 0);
    EXPECT_EQ(otherName, 1);
    EXPECT_EQ(namesOf(loginItems),
              (std::vector<std::optional<std::string>>{"quillonMouseHelper", std::nullopt}));

    // Without a path only names are compared; a failing list zeroes the counts.
    EXPECT_EQ(scanLoginItems(loginItems, std::nullopt, false, &location, false, &sameName,
                             std::string("QuillonMouseHelper"), false, &otherName),
              0);
    EXPECT_EQ(location, 0);
    EXPECT_EQ(otherName, 1);
    loginItems.snapshotFails = true;
    EXPECT_EQ(scanLoginItems(loginItems, kHelper, false, &location, false, &sameName,
                             std::nullopt, false, &otherName),
              -1);
    EXPECT_EQ(otherName, 0);
}

}  // namespace
}  // namespace quillon
