// Loading, showing and hiding the pane; the device poll, the saves and the page choice.
#include <sys/stat.h>

#include "pane_fixture.h"
#include "plist/property_list.h"
#include "testing/temp_dir.h"

namespace quillon::testing {
namespace {

TEST_F(PaneTest, load_leaves_the_first_state_and_copies_the_defaults) {
    load();
    DictRef ui = pane->ui();
    EXPECT_EQ(ui->string("tabID"), "options");
    EXPECT_EQ(ui->integer("actionIndex"), -1);
    EXPECT_EQ(pane->action(), nullptr);
    EXPECT_TRUE(ui->get("secretButtonHidden").ifBoolean() && ui->boolean("secretButtonHidden"));
    EXPECT_TRUE(ui->boolean("hideDeviceMenu"));
    EXPECT_EQ(ui->string("driverVersion"), "Version 2.1 (345)");
    EXPECT_TRUE(ui->boolean("canRestore"));
    EXPECT_TRUE(pathView.hidden);
    EXPECT_FALSE(pathView.animated);
    EXPECT_EQ(QuillonMousePane::sharedPane(), pane.get());

    // No device known yet: product 0 is of the vantor family, whose only set becomes current.
    EXPECT_EQ(targetMenu.titles(), std::vector<std::string>{"Vantor Global"});
    EXPECT_EQ(pane->settings(), pane->fSettingsTable->dictionary("0020"));
    EXPECT_EQ(pane->options(), pane->settings()->dictionary("options"));
    EXPECT_EQ(pane->state(), pane->fPrefs->dictionary("state"));
    EXPECT_EQ(pane->fSettingsTable, pane->fPrefs->dictionary("settings"));
    EXPECT_EQ(pane->fDeviceInfo, pane->fDeviceInfoTable->dictionary("0000"));

    // First run: the defaults are written to the user's file as an XML property list.
    std::string written = readAll(prefsPath());
    EXPECT_EQ(written.rfind("<?xml", 0), 0u);
    DictRef copied = readPrefsBack();
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->dictionary("settings")->keys(), defaults->dictionary("settings")->keys());
}

TEST_F(PaneTest, load_runs_its_steps_in_order) {
    load();
    // The helper is started and the macro editor built before the preferences are read.
    EXPECT_EQ(launchesAtEditor, 1u);
    EXPECT_FALSE(prefsExistedAtEditor);
    std::string helper = (bundleDir.path().parent_path() / "QuillonMouseHelper.app").string();
    EXPECT_EQ(workspace.launched, std::vector<std::string>{helper});
    EXPECT_EQ(loginItems.appended, std::vector<std::string>{helper});

    // The macro editor fills the macro frame from its origin.
    ASSERT_TRUE(macroEditor);
    EXPECT_EQ(macroEditor->view().frame(), (Rect{0, 0, 300, 200}));
    EXPECT_EQ(macroFrame.subviews, std::vector<View*>{&macroEditor->view()});

    // Info buttons show their own titles as links, blue and red when pressed.
    EXPECT_EQ(manualButton.attributedTitle.link, "Manual");
    EXPECT_EQ(manualButton.attributedTitle.underlineStyle, 1);
    EXPECT_EQ(manualButton.attributedTitle.foregroundColor, (Color{0.1, 0.1, 1.0, 1.0}));
    EXPECT_EQ(manualButton.alternateTitle.foregroundColor, (Color{1.0, 0.1, 0.1, 1.0}));
    EXPECT_EQ(urlButton.attributedTitle.text, "www.example.com");

    // The devices are asked for once, after the pane listens for the answer.
    EXPECT_EQ(requestsSent(), std::vector<std::string>{"getDevices"});
    EXPECT_EQ(bus.observerCount(std::string(kDevicesNotificationName)), 1u);
}

TEST_F(PaneTest, a_running_helper_is_neither_launched_nor_registered) {
    workspace.running["com.quillonworks.mouse.helper"] = 1;
    load();
    EXPECT_TRUE(workspace.launched.empty());
    EXPECT_EQ(loginItems.openCount, 0);
}

TEST_F(PaneTest, show_hide_show_polls_only_while_shown_and_saves_at_every_hide) {
    load();
    bus.clearPosted();
    loop.advance(3);
    EXPECT_TRUE(requestsSent().empty());

    pane->didSelect();
    EXPECT_TRUE(hook.routed);
    loop.advance(1);
    EXPECT_EQ(requestsSent(), std::vector<std::string>{"getDevices"});
    loop.advance(2);
    EXPECT_EQ(requestsSent().size(), 3u);

    bus.clearPosted();
    pane->willUnselect();
    EXPECT_FALSE(hook.routed);
    EXPECT_EQ(requestsSent(), std::vector<std::string>{"updatePrefs"});
    // The save writes a binary property list.
    EXPECT_EQ(readAll(prefsPath()).rfind("bplist00", 0), 0u);
    loop.advance(5);
    EXPECT_EQ(requestsSent().size(), 1u);

    pane->didSelect();
    pane->didSelect();  // a repeated show must not leave two timers polling
    bus.clearPosted();
    loop.advance(1);
    EXPECT_EQ(requestsSent(), std::vector<std::string>{"getDevices"});
    EXPECT_EQ(host->windowObserverCount(), 1u);
    pane->willUnselect();
    EXPECT_FALSE(hook.routed);  // three shows, two hides: the last hide ends the routing
}

TEST_F(PaneTest, losing_window_focus_saves_only_while_shown) {
    load();
    bus.clearPosted();
    host->windowResignedKey();
    EXPECT_TRUE(requestsSent().empty());

    pane->didSelect();
    host->windowBecameKey();
    EXPECT_TRUE(requestsSent().empty());
    host->windowResignedKey();
    EXPECT_EQ(requestsSent(), std::vector<std::string>{"updatePrefs"});

    pane->willUnselect();
    bus.clearPosted();
    host->windowResignedKey();
    EXPECT_TRUE(requestsSent().empty());
    EXPECT_EQ(host->windowObserverCount(), 0u);
}

TEST_F(PaneTest, a_failed_save_keeps_the_edit_and_sends_no_request) {
    load();
    // A folder where the file should be makes every write fail, even for root.
    std::filesystem::remove(prefsPath());
    std::filesystem::create_directories(prefsPath());
    bus.clearPosted();
    pane->ui()->set("actionIndex", Integer(1));
    pane->action()->set("command", Integer(7));
    pane->savePrefsToFile();
    EXPECT_TRUE(requestsSent().empty());
    EXPECT_EQ(pane->action()->integer("command"), 7);

    std::filesystem::remove(prefsPath());
    pane->savePrefsToFile();
    EXPECT_EQ(requestsSent(), std::vector<std::string>{"updatePrefs"});
    DictRef back = readPrefsBack();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->dictionary("settings")
                  ->dictionary("0020")
                  ->dictionary("actions")
                  ->dictionary("01")
                  ->integer("command"),
              7);
}

TEST_F(PaneTest, page_choice_follows_the_extension_state_and_the_devices) {
    load();
    struct Case {
        std::uint16_t state;
        int from, wanted;
    };
    // No device: 0 and 1 leave the page, 5 shows the settings, any other state the status page.
    for (Case c : {Case{0, 1, 1}, Case{0, 0, 0}, Case{1, 1, 1}, Case{5, 1, 0}, Case{2, 0, 1},
                   Case{3, 0, 1}, Case{4, 0, 1}, Case{6, 0, 1}, Case{0xFFFF, 0, 1}}) {
        host->extensionState = c.state;
        paneTabs.selected = c.from;
        pane->updateDextState();
        EXPECT_EQ(paneTabs.selected, c.wanted) << "state " << c.state << " from page " << c.from;
    }
    // Any device shows the settings, whatever the state.
    receiveDevices({deviceRecord(0x2000)});
    for (std::uint16_t state : {0, 1, 2, 5, 9}) {
        host->extensionState = state;
        paneTabs.selected = 1;
        pane->updateDextState();
        EXPECT_EQ(paneTabs.selected, 0) << "state " << state;
    }
}

TEST_F(PaneTest, page_choice_runs_half_a_second_after_load) {
    load();
    host->extensionState = 2;
    loop.advance(0.49);
    EXPECT_EQ(paneTabs.selected, 0);
    loop.advance(0.01);
    EXPECT_EQ(paneTabs.selected, 1);
}

TEST_F(PaneTest, calls_scheduled_by_a_destroyed_pane_do_nothing) {
    load();
    pane->didSelect();
    pane.reset();
    loop.advance(2);
    EXPECT_EQ(QuillonMousePane::sharedPane(), nullptr);
    EXPECT_EQ(loop.scheduledCount(), 0u);
}

}  // namespace
}  // namespace quillon::testing
