// The real settings window on a pane with doubles: devices reach the menus and texts, the page
// follows the driver, the message panel answers, and showing and hiding drive the life cycle.
#include "app/quillon-settings/settings_window.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>
#include <filesystem>
#include <set>

#include "adapters/qt/qt_pane_host.h"
#include "link/notification_protocol.h"
#include "pane/quillon_mouse_pane.h"
#include "plist/file_utils.h"
#include "prefs/settings_records.h"
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

std::vector<std::string> itemsOf(const QComboBox* box) {
    std::vector<std::string> titles;
    for (int i = 0; i < box->count(); ++i)
        titles.push_back(box->itemText(i).toStdString());
    return titles;
}

class SettingsWindowTest : public ::testing::Test, protected testing::PaneDoubles {
protected:
    SettingsWindowTest() {
        window.load();
        window.show();
    }
    ~SettingsWindowTest() override { window.close(); }

    std::uint16_t driverState = 2;
    QtPaneHost host{std::make_shared<Bundle>(testing::sourceDir() / "resources"),
                    [this] { return driverState; }};
    QuillonMousePane pane{host, services()};
    SettingsWindow window{pane, host};
};

TEST_F(SettingsWindowTest, a_devices_message_fills_the_device_menu_status_text_and_target_menu) {
    EXPECT_EQ(window.windowTitle().toStdString(), "Quillon Mouse");
    EXPECT_EQ(window.find<QLabel>("versionText")->text().toStdString(), "Version 0.1 (1)");
    EXPECT_TRUE(window.find<QWidget>("deviceRow")->isHidden())
        << "no device menu before there are two devices";
    EXPECT_EQ(window.find<QTabWidget>("iboMainTabs")->currentIndex(), 0) << "the options tab";

    receiveDevices({0x1056, 0x1059});
    EXPECT_EQ(itemsOf(window.find<QComboBox>("iboOptionsMenuDevices")),
              (std::vector<std::string>{"Quillon Tamber Office", "Quillon Vantor Pro"}));
    EXPECT_EQ(window.find<QComboBox>("iboOptionsMenuDevices")->currentIndex(), 0);
    EXPECT_FALSE(window.find<QWidget>("deviceRow")->isHidden());
    EXPECT_EQ(window.find<QLabel>("deviceInfo")->text().toStdString(),
              "Connected devices: Quillon Tamber Office, Quillon Vantor Pro");
    ASSERT_GT(window.find<QComboBox>("iboOptionsMenuTarget")->count(), 0);
    EXPECT_EQ(window.find<QComboBox>("iboOptionsMenuTarget")->itemText(0), "All Applications");
    EXPECT_EQ(window.find<QComboBox>("iboOptionsMenuTarget")->currentIndex(), 0);
    EXPECT_EQ(window.find<QComboBox>("iboOptionsMenuTarget")->currentData().toLongLong(),
              pane.ui()->integer("settingsUID"));
    EXPECT_EQ(pane.settings()->dictionary("device")->string("type"), "tamber");
    // The device's controls are listed once the Buttons tab is opened, which makes it.
    EXPECT_FALSE(window.isButtonsTabLoaded());
    window.find<QTabWidget>("iboMainTabs")->setCurrentWidget(window.find<QWidget>("buttonsTab"));
    ASSERT_TRUE(window.isButtonsTabLoaded());
    EXPECT_EQ(window.find<QTreeWidget>("iboOptionsListControls")->topLevelItemCount(), 10);
    EXPECT_EQ(window.find<QStackedWidget>("iboPaneTabs")->currentIndex(), 0);

    // Choosing the other device in its menu makes it current, with its own settings and controls.
    testing::typeKey(window.find<QComboBox>("iboOptionsMenuDevices"), Qt::Key_Down);
    EXPECT_EQ(pane.ui()->integer("selectedDevice"), 0x1059);
    EXPECT_EQ(pane.settings()->dictionary("device")->string("type"), "vantor");
    EXPECT_EQ(window.find<QComboBox>("iboOptionsMenuTarget")->currentData().toLongLong(),
              pane.ui()->integer("settingsUID"));
    EXPECT_EQ(window.find<QTreeWidget>("iboOptionsListControls")->topLevelItemCount(), 7);

    // Selecting a control makes its action current; the About tab shows the turning indicator.
    window.find<QTreeWidget>("iboOptionsListControls")
        ->setCurrentItem(window.find<QTreeWidget>("iboOptionsListControls")->topLevelItem(1));
    EXPECT_EQ(pane.ui()->integer("actionIndex"), 1);
    ASSERT_TRUE(pane.action());
    window.find<QTabWidget>("iboMainTabs")->setCurrentIndex(2);
    EXPECT_EQ(pane.ui()->string("tabID"), "about");
    EXPECT_FALSE(pane.ui()->boolean("canRestore"));

    // A single device hides the menu again.
    receiveDevices({0x1056});
    EXPECT_TRUE(window.find<QWidget>("deviceRow")->isHidden());
    EXPECT_EQ(window.find<QLabel>("deviceInfo")->text().toStdString(),
              "You are using a Quillon Tamber Office device");
}

TEST_F(SettingsWindowTest,
       shows_the_driver_status_page_while_no_device_is_there_and_the_driver_is_not_active) {
    loop.advance(0.5);
    EXPECT_EQ(window.find<QStackedWidget>("iboPaneTabs")->currentIndex(), 1);
    receiveDevices({0x1056});
    EXPECT_EQ(window.find<QStackedWidget>("iboPaneTabs")->currentIndex(), 0);
}

TEST_F(SettingsWindowTest,
       the_message_panel_shows_the_message_state_and_ends_with_the_button_code) {
    std::string shownText;
    bool cancelShown = false, otherShown = true, checkShown = false;
    EXPECT_FALSE(window.find<QDialog>("iboModalPanel")) << "made when first needed, not at start";
    QTimer::singleShot(0, &window, [&] {
        shownText = window.find<QLabel>("modalMessage")->text().toStdString();
        cancelShown = window.find<QPushButton>("modalCancel")->isVisible();
        otherShown = window.find<QPushButton>("modalOther")->isVisible();
        checkShown = window.find<QCheckBox>("modalCheck")->isVisible();
        window.find<QCheckBox>("modalCheck")->click();
        window.find<QPushButton>("modalCancel")->click();
    });
    int code = pane.modalMessage("[0] settings for [1] devices already exist", {"Mail", "Tamber"},
                                 std::string("Apply to All"), false, std::string("Replace"),
                                 std::string("Skip"), std::nullopt);
    EXPECT_EQ(code, QuillonMousePane::kModalCancel);
    EXPECT_EQ(shownText, "Mail settings for Tamber devices already exist");
    EXPECT_TRUE(cancelShown);
    EXPECT_FALSE(otherShown);
    EXPECT_TRUE(checkShown);
    EXPECT_EQ(window.find<QPushButton>("modalOK")->text().toStdString(), "Replace");
    EXPECT_TRUE(pane.ui()->boolean("modalCheckState")) << "the check box writes its state back";
    EXPECT_FALSE(window.find<QDialog>("iboModalPanel")->isVisible());

    QTimer::singleShot(0, &window,
                       [&] { window.find<QPushButton>("modalOK")->click(); });
    EXPECT_EQ(pane.modalMessage("Main button reassigned to Mouse Click", {}, std::nullopt, false,
                                std::string(), std::nullopt, std::nullopt),
              QuillonMousePane::kModalOK);
    EXPECT_EQ(window.find<QPushButton>("modalOK")->text().toStdString(), "OK");
    EXPECT_TRUE(window.find<QPushButton>("modalCancel")->isHidden());
    EXPECT_TRUE(window.find<QCheckBox>("modalCheck")->isHidden());
}

TEST_F(SettingsWindowTest, showing_and_hiding_the_window_select_and_unselect_the_pane) {
    EXPECT_TRUE(window.isPaneSelected());
    EXPECT_TRUE(hook.routed);
    std::filesystem::remove(prefsPath());

    window.hide();
    EXPECT_FALSE(window.isPaneSelected());
    EXPECT_FALSE(hook.routed);
    EXPECT_TRUE(std::filesystem::exists(prefsPath())) << "hiding saves the preferences";

    window.show();
    EXPECT_TRUE(window.isPaneSelected());
    EXPECT_EQ(hook.exchanges, 3);
    window.close();
    EXPECT_FALSE(window.isPaneSelected());
    EXPECT_EQ(hook.exchanges, 4);
}

TEST_F(SettingsWindowTest, a_pop_up_menu_of_the_window_is_no_loss_of_key_status) {
    window.activateWindow();
    ASSERT_TRUE(testing::runEventsUntil([this] { return window.isActiveWindow(); }));
    bus.clearPosted();
    auto* target = window.find<QComboBox>("iboOptionsMenuTarget");
    target->showPopup();
    testing::runEventsUntil(
        [] {
            return QGuiApplication::focusWindow() &&
                   QGuiApplication::focusWindow()->type() == Qt::Popup;
        },
        500);
    target->hidePopup();
    testing::runEventsUntil(
        [this] { return QGuiApplication::focusWindow() == window.windowHandle(); }, 500);
    EXPECT_TRUE(bus.posted().empty()) << "opening and closing a menu saved the preferences";

    // Another window of the application taking the focus is a loss of key status.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(testing::runEventsUntil([&other] { return other.isActiveWindow(); }));
    EXPECT_EQ(bus.posted().size(), 1u) << "one save, one updatePrefs";
}

TEST_F(SettingsWindowTest, after_a_device_switch_the_selected_row_names_the_new_devices_control) {
    receiveDevices({0x1056, 0x1059});
    window.find<QTabWidget>("iboMainTabs")->setCurrentWidget(window.find<QWidget>("buttonsTab"));
    auto* controls = window.find<QTreeWidget>("iboOptionsListControls");
    auto indexOfRow = [this](int row) {
        ArrayRef assignments = pane.fDeviceInfo->array("assignments");
        return assignments->at(static_cast<std::size_t>(row)).dictionary()->integer("index");
    };
    controls->setCurrentItem(controls->topLevelItem(6));
    const std::int64_t before = indexOfRow(6);
    ASSERT_EQ(pane.ui()->integer("actionIndex"), before);

    testing::typeKey(window.find<QComboBox>("iboOptionsMenuDevices"), Qt::Key_Down);
    ASSERT_EQ(pane.ui()->integer("selectedDevice"), 0x1059);
    const int row = controls->indexOfTopLevelItem(controls->currentItem());
    ASSERT_GE(row, 0);
    EXPECT_EQ(pane.ui()->integer("actionIndex"), indexOfRow(row))
        << "edits would go to another slot";
    EXPECT_NE(indexOfRow(row), before) << "the devices differ in this row, so the test can tell";
    EXPECT_EQ(pane.action(),
              pane.settings()->dictionary("actions")->dictionary((indexOfRow(row) < 10 ? "0" : "") +
                                                                 std::to_string(indexOfRow(row))));
}

TEST_F(SettingsWindowTest, once_the_window_is_on_the_screen_its_menus_grow_with_longer_titles) {
    receiveDevices({0x1056, 0x1059});
    (void)window.grab();  // the first frame
    QCoreApplication::processEvents();
    for (const char* name : {"iboOptionsMenuDevices", "iboOptionsMenuTarget"}) {
        auto* menu = window.find<QComboBox>(name);
        const int before = menu->sizeHint().width();
        menu->addItem(QString(60, QChar('W')));
        EXPECT_GT(menu->sizeHint().width(), before + 200) << name;
    }
}

TEST_F(SettingsWindowTest, no_device_menu_shows_one_title_twice) {
    for (int pid : {0x1056, 0x1059, 0x1061, 0x1069, 0x106A}) {
        receiveDevices({pid});
        auto* target = window.find<QComboBox>("iboOptionsMenuTarget");
        ASSERT_GT(target->count(), 0);
        std::set<QString> titles;
        for (int i = 0; i < target->count(); ++i)
            EXPECT_TRUE(titles.insert(target->itemText(i)).second)
                << target->itemText(i).toStdString();
    }
}

TEST_F(SettingsWindowTest, the_pointer_tab_stores_the_global_options_in_the_file_at_once) {
    receiveDevices({0x1056});
    auto* tabs = window.find<QTabWidget>("iboMainTabs");
    ASSERT_EQ(pane.ui()->string("tabID"), "options");
    EXPECT_EQ(tabs->tabText(tabs->currentIndex()), "Pointer");
    bus.clearPosted();

    window.find<QCheckBox>("speedEnabled")->click();
    auto* speed = window.find<QSpinBox>("speedPercent");
    EXPECT_TRUE(speed->isEnabled()) << "the speed follows its check box";
    speed->setFocus();
    speed->selectAll();
    testing::typeKey(speed, Qt::Key_1, "1");
    testing::typeKey(speed, Qt::Key_5, "5");
    testing::typeKey(speed, Qt::Key_0, "0");
    // Toggled as a screen reader toggles it, which is no click.
    ASSERT_TRUE(testing::doAccessibleAction(window.find<QCheckBox>("optionsDoubleX"),
                                            QAccessibleActionInterface::toggleAction()));

    DictRef saved = mutableDictionaryWithContentsOfFile(prefsPath());
    ASSERT_TRUE(saved);
    DictRef options = saved->dictionary("settings")
                          ->dictionary(settingsUID(pane.ui()->integer("settingsUID")))
                          ->dictionary("options");
    ASSERT_TRUE(options);
    EXPECT_EQ(options->integer("speedEnabled"), 1);
    EXPECT_EQ(options->integer("speed"), 150);
    EXPECT_TRUE(options->boolean("doubleX"));
    EXPECT_EQ(window.find<QSlider>("speedSlider")->value(), 150)
        << "both controls show the one value";
    EXPECT_FALSE(bus.postedUnder(std::string(kRequestNotificationName)).empty())
        << "the helper is told";
}

TEST_F(SettingsWindowTest, a_click_in_a_panel_is_one_edit) {
    int reports = 0;
    pane.properties().addObserver("ui.modalCheckState",
                                  [&reports](const std::string&, const Value&) { ++reports; });
    QTimer::singleShot(0, &window, [&] {
        reports = 0;
        window.find<QCheckBox>("modalCheck")->click();
        window.find<QPushButton>("modalOK")->click();
    });
    pane.modalMessage("[0] settings for [1] devices already exist", {"Mail", "Tamber"},
                      std::string("Apply to All"), false, std::string("Replace"),
                      std::string("Skip"), std::nullopt);
    EXPECT_EQ(reports, 1) << "a panel's control is bound once, so a click stores once";
}

}  // namespace
}  // namespace quillon
