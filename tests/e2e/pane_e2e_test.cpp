// The pane headless on Qt's event loop, talking to quillon-helper over a private session bus.
#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>

#include "adapters/dbus/dbus_notification_center.h"
#include "adapters/qt/qt_run_loop.h"
#include "adapters/xdg/autostart_login_items.h"
#include "adapters/xdg/xdg_workspace.h"
#include "adapters/xkb/xkb_keyboard_layouts.h"
#include "pane/quillon_mouse_pane.h"
#include "plist/file_utils.h"
#include "qt_test_support.h"
#include "testing/fake_pane_host.h"
#include "testing/scoped_environment.h"
#include "testing/temp_dir.h"

namespace quillon {
namespace {

using testing::readAll;
using testing::runEventsUntil;

class PaneEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ensureQtApplication();
        ASSERT_TRUE(bus.isConnected()) << "run under dbus-run-session";
        std::filesystem::copy(testing::sourceDir() / "resources", bundle,
                              std::filesystem::copy_options::recursive);
    }
    // The stand-in helper with one device, on this test's preferences file and log.
    QStringList helperArguments() const {
        return {"--device", "pid=0x1056,transport=1,interface=0", "--prefs",
                QString::fromStdString(prefs), "--log", QString::fromStdString(log)};
    }
    bool helperIsReady() const {
        return runEventsUntil(
            [&] { return logHas("ready name=com.quillonworks.mouse.helper"); }, 10000);
    }
    bool logHas(const std::string& text) const {
        return readAll(log).find(text) != std::string::npos;
    }

    testing::TempDir dir;
    std::filesystem::path bundle = dir.path() / "QuillonMouse.prefPane";
    std::string home = dir.file("home");
    std::string prefs = home + "/Library/Preferences/com.quillonworks.mouse.plist";
    std::string log = dir.file("helper.log");
    DBusNotificationCenter bus;
};

TEST_F(PaneEndToEnd, first_run_devices_edit_and_save_reach_the_helper) {
    testing::ChildProcess helper(QUILLON_HELPER, helperArguments());
    ASSERT_TRUE(helper.started() && helperIsReady()) << readAll(log);

    QtRunLoop loop;
    XdgWorkspace workspace(
        [](const std::string& id) { return sessionBusNameHasOwner(id) ? 1 : 0; });
    AutostartLoginItems loginItems(dir.file("autostart"));
    XkbKeyboardLayouts layouts(XkbNames{"evdev", "pc105", "us", "", ""});
    testing::CountingKeyEventHook hook;
    testing::FakePaneHost host(bundle);
    testing::RecordingPopUpButton targetMenu, deviceMenu;
    testing::RecordingOutlineView controls;
    QuillonMousePane pane(host,
                          PaneServices{loop, bus, workspace, loginItems, layouts, hook, {}, home});
    pane.iboOptionsMenuTarget = &targetMenu;
    pane.iboOptionsMenuDevices = &deviceMenu;
    pane.iboOptionsListControls = &controls;
    pane.mainViewDidLoad();

    // First run: the shipped defaults become the user's file; the running helper is left alone.
    DictRef copied = mutableDictionaryWithContentsOfFile(prefs);
    ASSERT_TRUE(copied);
    EXPECT_EQ(readAll(prefs).rfind("<?xml", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.file("autostart")));

    // The helper's answer makes its device current and fills the menus.
    pane.didSelect();
    ASSERT_TRUE(runEventsUntil([&] { return pane.fConnectedDevices != nullptr; }, 10000))
        << readAll(log);
    EXPECT_EQ(pane.state()->dictionary("device")->integer("pid"), 0x1056);
    std::string name = pane.fDeviceInfoTable->dictionary("1056")->string("deviceName");
    EXPECT_EQ(pane.ui()->string("deviceInfo"), "You are using a " + name + " device");
    EXPECT_EQ(deviceMenu.titles(), std::vector<std::string>{name});
    ASSERT_GT(targetMenu.numberOfItems(), 0);
    EXPECT_EQ(targetMenu.itemTag(0), pane.ui()->integer("settingsUID"));
    EXPECT_EQ(pane.settings()->dictionary("device")->string("type"), "tamber");
    ASSERT_FALSE(controls.rows.empty());

    // Choose the second control and give it a keystroke: Command+B.
    controls.selectRow(1);
    ASSERT_TRUE(pane.action());
    std::int64_t index = pane.ui()->integer("actionIndex");
    pane.action()->set("command", Integer(7));
    pane.action()->set("keyCode", Integer(0x0B));
    pane.action()->set("modifiers", Integer(0x0100));
    EXPECT_EQ(pane.ui()->string("keystroke"), "Super+b") << "named as a Linux keyboard labels it";

    // Hiding saves the file and tells the helper, which reads it back.
    pane.willUnselect();
    ASSERT_TRUE(runEventsUntil([&] { return logHas("request=updatePrefs"); }, 10000))
        << readAll(log);
    ASSERT_TRUE(runEventsUntil(
        [&] {
            auto text = readAll(log);
            auto at = text.find("request=updatePrefs");
            return at != std::string::npos && text.find("\nprefs path=", at) != std::string::npos;
        },
        10000))
        << readAll(log);
    EXPECT_EQ(readAll(prefs).rfind("bplist00", 0), 0u);

    QProcess block;
    block.start(QUILLON_HELPER,
                {"--print-driver-block", "tamber", "", "--prefs", QString::fromStdString(prefs)});
    ASSERT_TRUE(block.waitForFinished(10000));
    std::string printed = block.readAllStandardOutput().toStdString();
    char expected[64];
    std::snprintf(expected, sizeof expected, "slot=%02lld command=7 parameter=11 word=0x0100",
                  static_cast<long long>(index));
    EXPECT_NE(printed.find(expected), std::string::npos) << printed;
}

// A session that ends, or a terminal that closes, ends the window as a click on its close box
// does: it saves and tells the helper, instead of dying with what the user changed unsaved.
TEST_F(PaneEndToEnd, the_window_told_to_end_saves_and_tells_the_helper_as_a_close_does) {
    testing::ChildProcess helper(QUILLON_HELPER, helperArguments());
    ASSERT_TRUE(helper.started() && helperIsReady()) << readAll(log);

    const auto updates = [&] {
        const std::string text = readAll(log);
        int count = 0;
        for (auto at = text.find("request=updatePrefs"); at != std::string::npos;
             at = text.find("request=updatePrefs", at + 1))
            ++count;
        return count;
    };
    const testing::ScopedEnvironment platform("QT_QPA_PLATFORM", "offscreen");
    const testing::ScopedEnvironment userHome("HOME", home);
    const testing::ScopedEnvironment config("XDG_CONFIG_HOME", home + "/.config");
    testing::ChildProcess window(QUILLON_SETTINGS_APP,
                                 {"--bundle", QString::fromStdString(bundle.string())});
    ASSERT_TRUE(window.started());
    // Up once it has asked for the devices and written the first run's file.
    ASSERT_TRUE(runEventsUntil(
        [&] { return logHas("request=getDevices") && std::filesystem::exists(prefs); }, 10000))
        << readAll(log);
    const int before = updates();

    EXPECT_EQ(window.terminate(10000), 0) << "ends by itself, not by the signal";
    EXPECT_TRUE(runEventsUntil([&] { return updates() > before; }, 5000))
        << "the close saves and tells the helper:\n"
        << readAll(log);
}

}  // namespace
}  // namespace quillon
