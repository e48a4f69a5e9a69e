// A pane on doubles: a bundle folder with a small device table and defaults, a temporary home,
// a manual run loop, an in-memory bus, a scripted workspace, login items, host and outlets.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "link/notification_protocol.h"
#include "pane/quillon_mouse_pane.h"
#include "plist/file_utils.h"
#include "testing/fake_login_items.h"
#include "testing/fake_pane_host.h"
#include "testing/fake_workspace.h"
#include "testing/fixed_keyboard_layout.h"
#include "testing/in_memory_notification_center.h"
#include "testing/manual_run_loop.h"
#include "testing/temp_dir.h"

namespace quillon::testing {

// A settings record of family type for the application named app ("" for global settings).
DictRef settingsRecord(const std::string& type, const std::string& displayName,
                       const std::string& app = {});
// A device record as the helper sends it.
DictRef deviceRecord(std::int64_t pid, std::int64_t transport = 1, std::int64_t interface = 0);

class PaneTest : public ::testing::Test {
protected:
    PaneTest();
    ~PaneTest() override;

    // Writes the bundle's resources; tests may change `defaults` and `devices` before load().
    void writeBundle();
    // Creates the pane, connects the outlets and runs mainViewDidLoad.
    void load();
    // Sends a devices message from the helper and lets the loop deliver and process it.
    void receiveDevices(std::initializer_list<DictRef> records);
    std::vector<std::string> requestsSent() const;
    std::string prefsPath() const {
        return home.file("Library/Preferences/com.quillonworks.mouse.plist");
    }
    DictRef readPrefsBack() const { return mutableDictionaryWithContentsOfFile(prefsPath()); }

    TempDir bundleDir, home;
    DictRef defaults, devices, info;
    ManualRunLoop loop;
    InMemoryNotificationCenter bus{loop};
    FakeWorkspace workspace;
    FakeLoginItems loginItems;
    FixedKeyboardLayouts layouts{FixedKeyLayout::usEnglish()};
    CountingKeyEventHook hook;
    std::unique_ptr<FakePaneHost> host;
    RecordingTabView paneTabs, mainTabs;
    RecordingPopUpButton targetMenu, deviceMenu;
    RecordingOutlineView controls;
    RecordingTextField keystrokeField;
    RecordingView macroFrame;
    RecordingButton manualButton{"Manual"}, urlButton{"www.example.com"};
    RecordingPanel modalPanel;
    RecordingIndicatorView pathView;
    RecordingMacroEditor* macroEditor = nullptr;
    // What had happened when the macro editor was built (the load order).
    bool prefsExistedAtEditor = false;
    std::size_t launchesAtEditor = 0;
    std::unique_ptr<QuillonMousePane> pane;
};

}  // namespace quillon::testing
