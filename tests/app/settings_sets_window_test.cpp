// The new-set and rename panels in the real window: the chosen start and application make a set
// that the target menu shows and the preferences file keeps, under the name it is given.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "adapters/qt/qt_pane_host.h"
#include "app/quillon-settings/settings_window.h"
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
#include "widgets_test_support.h"
#include "window_fixture.h"

namespace quillon {
namespace {

// The window's own host, except that the application chooser answers with a given path: the
// chooser is the host's business, the new-set operation only needs its answer.
class ChoosingHost final : public PaneHost {
public:
    explicit ChoosingHost(QtPaneHost& host) : host_(host) {}
    std::shared_ptr<const Bundle> bundle() const override { return host_.bundle(); }
    View* mainView() override { return host_.mainView(); }
    bool isWindowKey() const override { return host_.isWindowKey(); }
    ObserverId addWindowKeyObservers(std::function<void()> becameKey,
                                     std::function<void()> resignedKey) override {
        return host_.addWindowKeyObservers(std::move(becameKey), std::move(resignedKey));
    }
    void removeWindowKeyObservers(ObserverId id) override { host_.removeWindowKeyObservers(id); }
    std::uint16_t systemExtensionState() const override { return host_.systemExtensionState(); }
    int runModal(Panel& panel) override { return host_.runModal(panel); }
    void stopModal(int code) override { host_.stopModal(code); }
    std::uint32_t currentModifierFlags() const override { return host_.currentModifierFlags(); }
    void runOpenPanel(const OpenPanelOptions& options, ChooserCompletion completion) override {
        opened.push_back(options);
        completion(!chosen.empty(), {chosen});
    }
    void runSavePanel(const SavePanelOptions& options, ChooserCompletion completion) override {
        host_.runSavePanel(options, std::move(completion));
    }

    std::string chosen;
    std::vector<OpenPanelOptions> opened;

private:
    QtPaneHost& host_;
};

class SettingsSetsWindowTest : public ::testing::Test, protected testing::PaneDoubles {
protected:
    SettingsSetsWindowTest() {
        workspace.infoDictionaries[kNotes] =
            makeDictionary({{"CFBundleIdentifier", "org.example.Notes"},
                            {"CFBundleName", "Notes"},
                            {"CFBundleExecutable", "notes"}});
        chooser.chosen = kNotes;
        window.load();
        window.show();
        ArrayRef list = makeArray({Value(makeDictionary(
            {{"pid", Integer(0x1056)}, {"transport", Integer(1)}, {"interface", Integer(0)}}))});
        bus.receive(std::string(kDevicesNotificationName),
                    *encodeNotificationPayload(makeDevicesMessage(list)));
        loop.runUntilIdle();
    }
    ~SettingsSetsWindowTest() override { window.close(); }

    static constexpr const char* kNotes = "/usr/share/applications/org.example.Notes.desktop";
    QtPaneHost host{std::make_shared<Bundle>(testing::sourceDir() / "resources"), [] { return 5; }};
    ChoosingHost chooser{host};
    QuillonMousePane pane{chooser, services()};
    SettingsWindow window{pane, host};
};

TEST_F(SettingsSetsWindowTest, a_new_set_for_an_application_shows_in_the_menu_and_the_file) {
    window.panels();  // made here as the pane makes them when it first needs one
    auto* panel = window.find<QDialog>("iboNewSettingsPanel");
    ASSERT_TRUE(panel);
    EXPECT_TRUE(window.find<QRadioButton>("newSettingsModeGlobal")->isChecked())
        << "no choice made yet reads as the global settings";
    bool shown = false;
    QTimer::singleShot(0, panel, [&] {
        shown = panel->isVisible();
        // Chosen as a screen reader chooses it, which is no click.
        testing::doAccessibleAction(window.find<QRadioButton>("newSettingsModeEmpty"),
                                    QAccessibleActionInterface::toggleAction());
        window.find<QPushButton>("newSettingsOK")->click();
    });
    window.findChild<QAction*>("ibaOptionsItemNew")->trigger();
    EXPECT_TRUE(shown);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(pane.state()->integer("newSettingsMode"), 1);
    ASSERT_EQ(chooser.opened.size(), 1u);
    EXPECT_EQ(chooser.opened[0].allowedTypes, std::vector<std::string>{"app"});

    auto* target = window.find<QComboBox>("iboOptionsMenuTarget");
    EXPECT_EQ(target->currentText(), "Notes");
    EXPECT_EQ(target->currentData().toLongLong(), 1000);
    EXPECT_TRUE(window.findChild<QAction*>("ibaOptionsItemDelete")->isEnabled())
        << "an application's set may be deleted";
    // From an empty record: the one main click and nothing else.
    EXPECT_EQ(pane.settings()->dictionary("actions")->size(), 1u);

    // Cancel leaves everything as it was.
    QTimer::singleShot(0, panel, [&] { window.find<QPushButton>("newSettingsCancel")->click(); });
    window.findChild<QAction*>("ibaOptionsItemNew")->trigger();
    EXPECT_EQ(chooser.opened.size(), 1u);

    // Renaming it: the panel names the set, the field's text becomes its name.
    std::string named;
    QTimer::singleShot(0, window.find<QDialog>("iboRenamePanel"), [&] {
        named = window.find<QLineEdit>("iboRenameTextName")->text().toStdString();
        window.find<QLineEdit>("iboRenameFieldName")->clear();
        for (char c : std::string("jottings"))
            testing::typeKey(window.find<QLineEdit>("iboRenameFieldName"),
                             static_cast<Qt::Key>(Qt::Key_A + (c - 'a')), QString(QChar(c)));
        window.find<QPushButton>("renameOK")->click();
    });
    window.findChild<QAction*>("ibaOptionsItemRename")->trigger();
    EXPECT_EQ(named, "Rename \"Notes\" to:");
    EXPECT_EQ(target->currentText(), "jottings");

    window.close();
    DictRef saved = mutableDictionaryWithContentsOfFile(
        home.file("Library/Preferences/com.quillonworks.mouse.plist"));
    ASSERT_TRUE(saved);
    DictRef notes = saved->dictionary("settings")->dictionary("1000");
    ASSERT_TRUE(notes);
    EXPECT_EQ(notes->string("displayName"), "jottings");
    EXPECT_EQ(notes->dictionary("app")->string("bundleID"), "org.example.Notes");
    EXPECT_EQ(notes->dictionary("device")->string("type"), "tamber");
}

}  // namespace
}  // namespace quillon
