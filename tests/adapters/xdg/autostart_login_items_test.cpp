// Login items as autostart entries in a temporary folder, alone and under the helper launch step.
#include "adapters/xdg/autostart_login_items.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include "adapters/xdg/xdg_workspace.h"
#include "link/helper_launch.h"
#include "xdg_fixtures.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnvironment;
using testing::TempDir;

struct Seen {
    std::optional<std::string> name;
    std::optional<std::string> location;
    friend bool operator==(const Seen&, const Seen&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Seen& seen) {
        return out << seen.name.value_or("(no name)") << " at "
                   << seen.location.value_or("(nowhere)");
    }
};

std::vector<Seen> listed(LoginItems& loginItems) {
    std::vector<Seen> seen;
    auto list = loginItems.open();
    if (!list) return seen;
    const auto items = list->snapshot();
    if (!items) return seen;
    for (const auto& item : *items)
        seen.push_back({item->displayName(), item->resolve()});
    return seen;
}

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A pane folder holding the pane bundle and a helper whose program records that it ran.
class HelperFixture : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(tmp.file("panes/QuillonMouse.prefPane"));
        marker = tmp.file("helper-ran");
        helper = testing::makeAppBundle(tmp, "panes/QuillonMouseHelper",
                                        "com.quillonworks.mouse.helper", "QuillonMouseHelper",
                                        "#!/bin/sh\necho ran > '" + marker + ".part' && mv '" +
                                            marker + ".part' '" + marker + "'\n");
        oldHelper = testing::makeAppBundle(tmp, "old/QuillonMouseHelper",
                                           "com.quillonworks.mouse.helper", "QuillonMouseHelper");
        folder = tmp.file("config/autostart");
    }

    std::string entry(const std::string& file, const std::string& body) const {
        return tmp.write("config/autostart/" + file, "[Desktop Entry]\nType=Application\n" + body);
    }

    TempDir tmp;
    std::string marker, helper, oldHelper, folder;
};

using autostart_login_items = HelperFixture;

TEST_F(autostart_login_items, lists_entries_in_file_name_order) {
    testing::writeScript(tmp, "bin/tool", "#!/bin/sh\n");
    const ScopedEnvironment path("PATH", tmp.file("bin"));
    entry("b.desktop", "Name=On PATH\nExec=tool --start %U\n");
    entry("a.desktop",
          "Name=Helper\nExec=\"" + helper + "/Contents/MacOS/QuillonMouseHelper\" %U\n");
    entry("c.desktop", "Name=Disabled\nExec=tool\nHidden=true\n");
    entry("d.desktop", "Name=Missing\nExec=/nowhere/tool\n");
    tmp.write("config/autostart/e.desktop", "not an entry at all");
    tmp.write("config/autostart/notes.txt", "[Desktop Entry]\nName=Not a desktop file\n");
    fs::create_directories(folder + "/folder.desktop");

    AutostartLoginItems loginItems(folder);
    EXPECT_EQ(listed(loginItems), (std::vector<Seen>{{"Helper", helper},
                                                     {"On PATH", tmp.file("bin/tool")},
                                                     {"Missing", std::nullopt},
                                                     {std::nullopt, std::nullopt}}));

    // Not there yet: an empty list. A file in the folder's place: no list at all.
    EXPECT_TRUE(AutostartLoginItems(tmp.file("none")).open()->snapshot()->empty());
    tmp.write("file", "");
    EXPECT_EQ(AutostartLoginItems(tmp.file("file")).open(), nullptr);
    EXPECT_EQ(AutostartLoginItems("").open(), nullptr);
}

TEST_F(autostart_login_items, default_folder_follows_the_environment) {
    {
        const ScopedEnvironment config("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(AutostartLoginItems::defaultFolder(), "/cfg/autostart");
    }
    const ScopedEnvironment config("XDG_CONFIG_HOME", "relative");
    const ScopedEnvironment home("HOME", "/home/u");
    EXPECT_EQ(AutostartLoginItems::defaultFolder(), "/home/u/.config/autostart");
}

TEST_F(autostart_login_items, appended_entries_resolve_to_their_path) {
    AutostartLoginItems loginItems(folder);
    auto list = loginItems.open();
    ASSERT_TRUE(list);
    const auto first = list->appendLast(helper);
    const auto second = list->appendLast(helper + "/");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->resolve(), helper);
    EXPECT_EQ(second->displayName(), "QuillonMouseHelper");

    const std::string odd = testing::writeScript(tmp, "odd dir/a \"b\" $c `d` 100%", "#!/bin/sh\n");
    const auto oddItem = list->appendLast(odd);
    ASSERT_TRUE(oddItem);
    EXPECT_EQ(filesIn(folder),
              (std::vector<std::string>{"abcd100.desktop", "quillonmousehelper-2.desktop",
                                        "quillonmousehelper.desktop"}));
    EXPECT_EQ(listed(loginItems), (std::vector<Seen>{{"a \"b\" $c `d` 100%", odd},
                                                     {"QuillonMouseHelper", helper},
                                                     {"QuillonMouseHelper", helper}}));

    // A desktop entry is started the way it starts itself.
    const std::string program = testing::writeScript(tmp, "bin/view er", "#!/bin/sh\n");
    const std::string desktop = tmp.write("apps/viewer.desktop",
                                          "[Desktop Entry]\nName=Viewer\n"
                                          "Exec=\"" +
                                              program + "\" --x %U\n");
    const auto viewer = list->appendLast(desktop);
    ASSERT_TRUE(viewer);
    EXPECT_EQ(viewer->displayName(), "Viewer");
    EXPECT_EQ(listed(loginItems)[3], (Seen{"Viewer", program}));
    EXPECT_TRUE(fs::remove(folder + "/viewer.desktop"));

    EXPECT_TRUE(list->remove(*first));
    EXPECT_FALSE(list->remove(*first));
    EXPECT_EQ(list->snapshot()->size(), 2u);
    EXPECT_EQ(list->appendLast(""), nullptr);
}

TEST_F(autostart_login_items, keep_exactly_one_entry_for_the_helper) {
    AutostartLoginItems loginItems(folder);

    // None at all: appended, status 0; a second time: kept, nothing appended.
    EXPECT_EQ(addLoginItem(loginItems, helper, std::nullopt), 0);
    EXPECT_EQ(addLoginItem(loginItems, helper, std::nullopt), 0);
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"quillonmousehelper.desktop"});

    // Same name in another case pointing elsewhere, or pointing nowhere: removed.
    fs::remove(folder + "/quillonmousehelper.desktop");
    entry("old.desktop",
          "Name=QUILLONmouseHelper\nExec=" + oldHelper + "/Contents/MacOS/QuillonMouseHelper\n");
    entry("gone.desktop", "Name=quillonmousehelper\nExec=/Volumes/Gone/QuillonMouseHelper\n");
    entry("other.desktop", "Name=Other\nExec=/bin/sh\n");
    EXPECT_EQ(addLoginItem(loginItems, helper, std::nullopt), 0);
    EXPECT_EQ(filesIn(folder),
              (std::vector<std::string>{"other.desktop", "quillonmousehelper.desktop"}));
    EXPECT_EQ(listed(loginItems).back(), (Seen{"QuillonMouseHelper", helper}));

    tmp.write("config-file", "");
    AutostartLoginItems unavailable(tmp.file("config-file"));
    EXPECT_EQ(addLoginItem(unavailable, helper, std::nullopt), -1);
}

TEST_F(autostart_login_items, helper_launch_step_starts_and_registers_the_helper) {
    AutostartLoginItems loginItems(folder);
    int running = 1;
    XdgWorkspace workspace(
        [&](const std::string& id) { return id == "com.quillonworks.mouse.helper" ? running : 0; });
    const std::string pane = tmp.file("panes/QuillonMouse.prefPane");

    launchHelperApplication(workspace, loginItems, pane);
    EXPECT_FALSE(fs::exists(folder));

    running = 0;
    launchHelperApplication(workspace, loginItems, pane);
    EXPECT_EQ(testing::waitForFile(marker), "ran\n");
    EXPECT_EQ(listed(loginItems), (std::vector<Seen>{{"QuillonMouseHelper", helper}}));
}

TEST_F(autostart_login_items, an_entry_the_user_turned_off_stays_off_and_alone) {
    AutostartLoginItems loginItems(folder);
    XdgWorkspace workspace([](const std::string&) { return 0; });
    const std::string pane = tmp.file("panes/QuillonMouse.prefPane");
    // Turned off in the desktop's startup settings, which keep the file and mark it.
    const std::string hidden =
        "[Desktop Entry]\nType=Application\nName=QuillonMouseHelper\nExec=\"" + helper +
        "/Contents/MacOS/QuillonMouseHelper\"\nHidden=true\n";
    tmp.write("config/autostart/quillonmousehelper.desktop", hidden);

    launchHelperApplication(workspace, loginItems, pane);
    EXPECT_EQ(testing::waitForFile(marker), "ran\n");  // started now, just not at login
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"quillonmousehelper.desktop"});
    EXPECT_EQ(testing::readAll(folder + "/quillonmousehelper.desktop"), hidden);
    EXPECT_TRUE(listed(loginItems).empty());

    // GNOME's switch, on an entry of another file name that still points at an older copy.
    fs::remove(folder + "/quillonmousehelper.desktop");
    const std::string old = "[Desktop Entry]\nName=quillonmousehelper\nExec=" + oldHelper +
                            "/Contents/MacOS/QuillonMouseHelper\nX-GNOME-Autostart-enabled=false\n";
    tmp.write("config/autostart/helper-old.desktop", old);
    EXPECT_EQ(addLoginItem(loginItems, helper, std::nullopt), 0);
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"helper-old.desktop"});
    EXPECT_EQ(testing::readAll(folder + "/helper-old.desktop"), old);

    // Another application turned off says nothing about the helper.
    fs::remove(folder + "/helper-old.desktop");
    entry("other.desktop", "Name=Other\nExec=/bin/sh\nHidden=true\n");
    EXPECT_EQ(addLoginItem(loginItems, helper, std::nullopt), 0);
    EXPECT_EQ(filesIn(folder),
              (std::vector<std::string>{"other.desktop", "quillonmousehelper.desktop"}));
    EXPECT_EQ(listed(loginItems), (std::vector<Seen>{{"QuillonMouseHelper", helper}}));
}

}  // namespace
}  // namespace quillon
