// The action editor in the real window: every command's page stores what its controls show into
// the preferences file, the menus follow the editor's value lists, and records of the wrong type
// show sound values and are stored with the right type once edited.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <cstdio>
#include <functional>

#include "adapters/qt/qt_application_chooser.h"
#include "adapters/qt/qt_pane_host.h"
#include "app/quillon-settings/settings_window.h"
#include "link/notification_protocol.h"
#include "pane/quillon_mouse_pane.h"
#include "plist/file_utils.h"
#include "prefs/action_choices.h"
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

using testing::runEventsUntil;

// The open application chooser under parent (it has no meta-object of its own, so findChild
// cannot tell it from other dialogs).
QtApplicationChooser* findChooser(const QWidget& parent) {
    for (QDialog* dialog : parent.findChildren<QDialog*>())
        if (auto* chooser = dynamic_cast<QtApplicationChooser*>(dialog)) return chooser;
    return nullptr;
}

class ActionEditorWindowTest : public ::testing::Test, protected testing::PaneDoubles {
protected:
    ActionEditorWindowTest() {
        window.load();
        window.show();
        // The editor's pages are made when the user first opens the Buttons tab.
        auto* tabs = window.find<QTabWidget>("iboMainTabs");
        tabs->setCurrentWidget(window.find<QWidget>("buttonsTab"));
        ArrayRef list = makeArray({makeDictionary(
            {{"pid", Integer(0x1056)}, {"transport", Integer(1)}, {"interface", Integer(0)}})});
        bus.receive(std::string(kDevicesNotificationName),
                    *encodeNotificationPayload(makeDevicesMessage(list)));
        loop.runUntilIdle();
    }
    ~ActionEditorWindowTest() override { window.close(); }

    template <class T>
    T* find(const char* name) {
        T* widget = window.find<T>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void selectRow(int row) {
        auto* list = find<QTreeWidget>("iboOptionsListControls");
        list->setCurrentItem(list->topLevelItem(row));
    }
    // Picks the item with tag, as a user does with the mouse.
    void choose(const char* menu, std::int64_t tag) {
        auto* box = find<QComboBox>(menu);
        const int index = box->findData(QVariant::fromValue<qlonglong>(tag));
        ASSERT_GE(index, 0) << menu << " has no item " << tag;
        box->setCurrentIndex(index);
        Q_EMIT box->activated(index);
    }
    void type(QWidget* widget, const QString& text) {
        for (QChar c : text) {
            const Qt::Key key = c == '\n' ? Qt::Key_Return : c == '\t' ? Qt::Key_Tab : Qt::Key_A;
            testing::typeKey(widget, key, QString(c));
        }
    }
    QString currentPage() {
        return find<QStackedWidget>("actionPages")
            ->currentWidget()
            ->property("identifier")
            .toString();
    }
    // The current control's action as the file holds it after a save.
    DictRef savedAction() {
        pane.savePrefsToFile();
        DictRef prefs = mutableDictionaryWithContentsOfFile(
            home.file("Library/Preferences/com.quillonworks.mouse.plist"));
        if (!prefs) return nullptr;
        char key[8];
        std::snprintf(key, sizeof key, "%02d", static_cast<int>(pane.ui()->integer("actionIndex")));
        DictRef record =
            prefs->dictionary("settings")->dictionary(pane.ui()->get("settingsUID").asString());
        if (!record) {
            char uid[8];
            std::snprintf(uid, sizeof uid, "%04d",
                          static_cast<int>(pane.ui()->integer("settingsUID")));
            record = prefs->dictionary("settings")->dictionary(uid);
        }
        return record ? record->dictionary("actions")->dictionary(key) : nullptr;
    }
    // The controls of the shown page that a user can reach have names a screen reader says.
    void expectNamedControls() {
        QWidget* page = find<QStackedWidget>("actionPages")->currentWidget();
        for (QWidget* control : page->findChildren<QWidget*>()) {
            const bool interactive =
                qobject_cast<QAbstractButton*>(control) || qobject_cast<QComboBox*>(control) ||
                qobject_cast<QLineEdit*>(control) || qobject_cast<QPlainTextEdit*>(control) ||
                qobject_cast<QSpinBox*>(control);
            if (!interactive || !control->isVisibleTo(page) ||
                control->parentWidget()->inherits("QComboBox") ||
                control->parentWidget()->inherits("QAbstractSpinBox"))
                continue;
            QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(control);
            ASSERT_NE(a11y, nullptr);
            EXPECT_FALSE(a11y->text(QAccessible::Name).isEmpty())
                << control->objectName().toStdString() << " on " << currentPage().toStdString();
        }
    }

    testing::TempDir data;
    QtPaneHost host{std::make_shared<Bundle>(testing::sourceDir() / "resources"),
                    [] { return std::uint16_t{5}; }};
    QuillonMousePane pane{host, services()};
    SettingsWindow window{pane, host};
};

TEST_F(ActionEditorWindowTest, every_page_stores_what_its_controls_show) {
    struct Page {
        std::int64_t command;
        const char* tab;
        std::function<void()> edit;
        DictRef expected;
    };
    const std::string homeDir = home.path().string();
    const std::vector<Page> pages = {
        {6, "click",
         [&] {
             choose("clickButton", 2);
             find<QAbstractButton>("clickModShift")->click();
         },
         makeDictionary(
             {{"command", Integer(6)}, {"button", Integer(2)}, {"modifiers", Integer(0x0200)}})},
        {7, "key",
         [&] {
             EXPECT_EQ(find<QLineEdit>("iboOptionsFieldKeystroke")->text(), "(none)");
             choose("extraKeysMenu", 0x69);
             find<QAbstractButton>("keyModControl")->click();
             EXPECT_EQ(find<QLineEdit>("iboOptionsFieldKeystroke")->text(), "Ctrl+F13");
             EXPECT_EQ(find<QComboBox>("extraKeysMenu")->currentText(), "F13");
         },
         makeDictionary({{"command", Integer(7)},
                         {"keyCode", Integer(0x69)},
                         {"modifiers", Integer(0x1000)}})},
        {8, "mods", [&] { find<QAbstractButton>("modsModOption")->click(); },
         makeDictionary({{"command", Integer(8)}, {"modifiers", Integer(0x0800)}})},
        {9, "shortcut", [&] { choose("shortcutMenu", 5); },
         makeDictionary({{"command", Integer(9)}, {"shortcut", Integer(5)}})},
        {10, "char",
         [&] {
             auto* field = find<QLineEdit>("charField");
             type(field, "ab");
             EXPECT_EQ(field->text(), "b");
             find<QAbstractButton>("charModCmd")->click();
         },
         makeDictionary({{"command", Integer(10)}, {"char", "b"}, {"modifiers", Integer(0x0100)}})},
        {11, "text", [&] { type(find<QPlainTextEdit>("textField"), "a\nb\tc"); },
         makeDictionary({{"command", Integer(11)}, {"text", "a\nb\tc"}})},
        {12, "macro",
         [&] {
             // The macro editor, made before its page, is placed there once the page is made.
             auto* frame = find<QWidget>("iboOptionsViewMacroFrame");
             auto* list = frame->findChild<QTreeWidget*>("macroList");
             ASSERT_NE(list, nullptr);
             EXPECT_TRUE(list->isVisible());
         },
         makeDictionary({{"command", Integer(12)}})},
        {16, "scroll",
         [&] {
             EXPECT_FALSE(find<QSpinBox>("scrollCount")->isHidden());
             choose("scrollDirection", 5);
             EXPECT_TRUE(find<QSpinBox>("scrollCount")->isHidden());
             choose("scrollDirection", 1);
             EXPECT_FALSE(find<QSpinBox>("scrollCount")->isHidden());
             find<QSpinBox>("scrollCount")->setValue(7);
         },
         makeDictionary(
             {{"command", Integer(16)}, {"direction", Integer(1)}, {"count", Integer(7)}})},
        {18, "pan", [&] { choose("panAxes", 2); },
         makeDictionary({{"command", Integer(18)}, {"panAxes", Integer(2)}})},
        {19, "app",
         [&] {
             const std::string entry = data.file("applications/org.example.Mail.desktop");
             workspace.infoDictionaries[entry] =
                 makeDictionary({{"CFBundleIdentifier", "org.example.Mail"}});
             workspace.applications["org.example.Mail"] = entry;
             find<QPushButton>("ibaOptionsButtonChooseApp")->click();
             auto* chooser = findChooser(window);
             ASSERT_NE(chooser, nullptr);
             chooser->filterField()->setText("Mail");
             chooser->chooseButton()->click();
             EXPECT_EQ(find<QLineEdit>("appPath")->text().toStdString(), entry);
         },
         makeDictionary({{"command", Integer(19)}, {"app", "org.example.Mail"}})},
        {20, "open",
         [&] {
             const std::string file = home.write("notes.txt", "x");
             find<QPushButton>("ibaOptionsButtonChooseItem")->click();
             auto* dialog = window.findChild<QFileDialog*>();
             ASSERT_NE(dialog, nullptr);
             dialog->selectFile(QString::fromStdString(file));
             static_cast<QDialog*>(dialog)->accept();
             EXPECT_EQ(find<QLineEdit>("openPath")->text(), "~/notes.txt");
         },
         makeDictionary({{"command", Integer(20)}, {"path", "~/notes.txt"}})},
        {21, "special", [&] { choose("specialItem", 3); },
         makeDictionary({{"command", Integer(21)}, {"item", Integer(3)}})},
        {22, "url",
         [&] {
             auto* field = find<QLineEdit>("urlField");
             type(field, "example.org");
             EXPECT_FALSE(find<QLabel>("urlHint")->text().isEmpty());
             field->clear();
             type(field, "mailto:a@example.org");
             EXPECT_TRUE(find<QLabel>("urlHint")->text().isEmpty());
         },
         makeDictionary({{"command", Integer(22)}, {"url", "mailto:a@example.org"}})},
        {23, "swap", [&] { choose("swapMode", 1); },
         makeDictionary({{"command", Integer(23)}, {"swapMode", Integer(1)}})},
        {24, "motion",
         [&] {
             find<QAbstractButton>("motionXyInvertY")->click();
             find<QAbstractButton>("motionPermanent1")->click();
             EXPECT_FALSE(find<QRadioButton>("motionPermanent0")->isChecked());
         },
         makeDictionary(
             {{"command", Integer(24)}, {"xyOptions", Integer(0x08)}, {"permanent", Integer(1)}})},
        {26, "system", [&] { choose("systemControl", 7); },
         makeDictionary({{"command", Integer(26)}, {"control", Integer(7)}})},
        {27, "itunes", [&] { choose("playerControl", 1); },
         makeDictionary({{"command", Integer(27)}, {"itunes", Integer(1)}})},
        {28, "script",
         [&] {
             const std::string script = home.write("backup.sh", "#!/bin/sh\n");
             find<QPushButton>("ibaOptionsButtonChooseScript")->click();
             auto* dialog = window.findChild<QFileDialog*>();
             ASSERT_NE(dialog, nullptr);
             dialog->selectFile(QString::fromStdString(script));
             static_cast<QDialog*>(dialog)->accept();
             EXPECT_EQ(find<QLineEdit>("scriptPath")->text(), "~/backup.sh");
         },
         makeDictionary({{"command", Integer(28)}, {"script", "~/backup.sh"}})},
        {2, "empty", [] {}, makeDictionary({{"command", Integer(2)}})},
    };
    data.write("applications/org.example.Mail.desktop",
               "[Desktop Entry]\nType=Application\nName=Mail\nExec=true\n");
    ::setenv("XDG_DATA_HOME", data.path().c_str(), 1);
    ::setenv("XDG_DATA_DIRS", data.file("none").c_str(), 1);

    int row = 1;
    for (const Page& page : pages) {
        SCOPED_TRACE(page.tab);
        selectRow(row);
        row = row % 9 + 1;
        // Leftovers of the record's earlier command must go with the new one.
        pane.action()->set("text", "left over");
        choose("commandMenu", page.command);
        EXPECT_EQ(currentPage().toStdString(), page.tab);
        expectNamedControls();
        page.edit();
        runEventsUntil([&] { return !findChooser(window) && !window.findChild<QFileDialog*>(); });
        DictRef saved = savedAction();
        ASSERT_TRUE(saved);
        EXPECT_EQ(Value(saved), Value(page.expected));
    }
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_DATA_DIRS");

    // Closing the window saves what the pages show.
    selectRow(3);
    choose("commandMenu", 18);
    choose("panAxes", 1);
    window.hide();
    DictRef prefs = mutableDictionaryWithContentsOfFile(
        home.file("Library/Preferences/com.quillonworks.mouse.plist"));
    ASSERT_TRUE(prefs);
    bool found = false;
    for (const std::string& uid : prefs->dictionary("settings")->keys()) {
        DictRef actions = prefs->dictionary("settings")->dictionary(uid)->dictionary("actions");
        DictRef pan = actions ? actions->dictionary("03") : nullptr;
        found |= pan && pan->integer("command") == 18 && pan->integer("panAxes") == 1;
    }
    EXPECT_TRUE(found);
}

TEST_F(ActionEditorWindowTest, menus_offer_the_editor_value_lists) {
    auto expectItems = [&](const char* menu, std::span<const ActionChoice> list) {
        auto* box = find<QComboBox>(menu);
        ASSERT_EQ(box->count(), static_cast<int>(list.size())) << menu;
        for (std::size_t i = 0; i < list.size(); ++i) {
            EXPECT_EQ(box->itemData(static_cast<int>(i)).toLongLong(), list[i].value) << menu;
            EXPECT_EQ(box->itemText(static_cast<int>(i)).toStdString(),
                      host.bundle()->localizedString(list[i].title, "Localizable"))
                << menu;
        }
    };
    expectItems("clickButton", clickButtonChoices());
    expectItems("extraKeysMenu", extraKeyChoices());
    expectItems("shortcutMenu", shortcutChoices());
    expectItems("scrollDirection", scrollDirectionChoices());
    expectItems("panAxes", panAxesChoices());
    expectItems("specialItem", specialItemChoices());
    expectItems("swapMode", swapModeChoices());
    expectItems("systemControl", systemControlChoices());
    expectItems("playerControl", playerControlChoices());
    auto* commands = find<QComboBox>("commandMenu");
    ASSERT_EQ(commands->count(), static_cast<int>(commandMenuItems().size()));
    for (std::size_t i = 0; i < commandMenuItems().size(); ++i) {
        EXPECT_EQ(commands->itemData(static_cast<int>(i)).toLongLong(), commandMenuItems()[i].code);
        EXPECT_EQ(commands->itemText(static_cast<int>(i)).toStdString(),
                  commandMenuItems()[i].title);
    }
    for (const auto& duration : motionDurationChoices()) {
        auto* radio =
            find<QRadioButton>(("motionPermanent" + std::to_string(duration.value)).c_str());
        EXPECT_EQ(radio->property("tag").toLongLong(), duration.value);
        EXPECT_EQ(radio->text().toStdString(), duration.title);
    }
}

TEST_F(ActionEditorWindowTest, records_of_the_wrong_type_show_sound_values_and_edits_fix_them) {
    DictRef actions = pane.settings()->dictionary("actions");
    actions->set("01", makeDictionary({{"command", Integer(6)}, {"button", "2"}}));
    actions->set("02", makeDictionary({{"command", Integer(11)}, {"text", makeArray({1, 2})}}));
    actions->set("03", makeDictionary({{"command", Integer(7)}, {"keyCode", Integer(70000)}}));
    actions->set(
        "04",
        makeDictionary({{"command", Integer(16)}, {"direction", Integer(-5)}, {"count", "lots"}}));
    actions->set("05", makeDictionary({{"command", "seven"}, {"char", makeDictionary({})}}));

    selectRow(1);
    EXPECT_EQ(find<QComboBox>("clickButton")->currentText(), "Middle Button");
    choose("clickButton", 1);
    EXPECT_EQ(pane.action()->get("button"), Value(Integer(1)));

    selectRow(2);
    EXPECT_EQ(find<QPlainTextEdit>("textField")->toPlainText(), "");
    type(find<QPlainTextEdit>("textField"), "hi");
    EXPECT_EQ(pane.action()->get("text"), Value(std::string("hi")));

    selectRow(3);
    EXPECT_EQ(currentPage(), "key");
    EXPECT_FALSE(find<QLineEdit>("iboOptionsFieldKeystroke")->text().isEmpty());
    EXPECT_EQ(find<QComboBox>("extraKeysMenu")->currentIndex(), -1);
    choose("extraKeysMenu", 0x7B);
    EXPECT_EQ(pane.action()->get("keyCode"), Value(Integer(0x7B)));

    selectRow(4);
    EXPECT_EQ(find<QComboBox>("scrollDirection")->currentIndex(), -1);
    EXPECT_EQ(find<QSpinBox>("scrollCount")->value(), 0);
    choose("scrollDirection", 2);
    find<QSpinBox>("scrollCount")->setValue(3);
    EXPECT_EQ(pane.action()->get("direction"), Value(Integer(2)));
    EXPECT_EQ(pane.action()->get("count"), Value(Integer(3)));

    // A command that is no number counts as 0: the empty page, and a choice clears the rest.
    selectRow(5);
    EXPECT_EQ(currentPage(), "empty");
    choose("commandMenu", 10);
    EXPECT_EQ(Value(pane.action()), Value(makeDictionary({{"command", Integer(10)}})));
}

}  // namespace
}  // namespace quillon
