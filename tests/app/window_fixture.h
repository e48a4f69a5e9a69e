// The doubles a window test puts around the real pane: a temporary home, a manual run loop, an
// in-memory bus, a workspace, login items, a "us" keyboard and a counting key-event hook.
#pragma once

#include <initializer_list>
#include <string>

#include "adapters/qt/qt_macro_editor.h"
#include "link/notification_protocol.h"
#include "pane/quillon_mouse_pane.h"
#include "testing/fake_login_items.h"
#include "testing/fake_pane_host.h"
#include "testing/fake_workspace.h"
#include "testing/fixed_keyboard_layout.h"
#include "testing/in_memory_notification_center.h"
#include "testing/manual_run_loop.h"
#include "testing/temp_dir.h"
#include "widgets_test_support.h"

namespace quillon::testing {

struct PaneDoubles {
    PaneServices services() {
        // The window's own macro editor, as quillon-settings gives it.
        return PaneServices{loop, bus,  workspace,         loginItems,
                            layouts, hook, makeQtMacroEditor, home.path().string()};
    }
    // The helper reports these devices (interface 0 over USB); the pane handles them at once.
    void receiveDevices(std::initializer_list<int> productIDs) {
        ArrayRef list = Array::create();
        for (int pid : productIDs)
            list->append(makeDictionary(
                {{"pid", Integer(pid)}, {"transport", Integer(1)}, {"interface", Integer(0)}}));
        bus.receive(std::string(kDevicesNotificationName),
                    *encodeNotificationPayload(makeDevicesMessage(list)));
        loop.runUntilIdle();
    }
    std::string prefsPath() const {
        return home.file("Library/Preferences/com.quillonworks.mouse.plist");
    }

    struct Application {
        Application() { ensureWidgetsApplication(); }
    } application;
    TempDir home;
    ManualRunLoop loop;
    InMemoryNotificationCenter bus{loop};
    FakeWorkspace workspace;
    FakeLoginItems loginItems;
    FixedKeyboardLayouts layouts{FixedKeyLayout::usEnglish()};
    CountingKeyEventHook hook;
};

}  // namespace quillon::testing
