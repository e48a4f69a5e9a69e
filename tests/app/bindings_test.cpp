// Widgets bound to state key paths: shown from the state, and the user's edits written back.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

#include "adapters/qt/qt_bindings.h"
#include "widgets_test_support.h"

namespace quillon {
namespace {

class BindingsTest : public ::testing::Test {
protected:
    BindingsTest() {
        testing::ensureWidgetsApplication();
        properties.set("ui", ui);
        properties.addObserver("ui.editString", [this](const std::string&, const Value& value) {
            reports.push_back("editString=" + value.asString());
        });
        properties.addObserver("ui.modalCheckState", [this](const std::string&, const Value& value) {
            reports.push_back(std::string("modalCheckState=") + (value.asBool() ? "1" : "0"));
        });
        properties.addObserver("ui.settingsUID", [this](const std::string&, const Value& value) {
            reports.push_back("settingsUID=" + std::to_string(value.asInteger()));
        });
        properties.addObserver("ui.tabID", [this](const std::string&, const Value& value) {
            reports.push_back("tabID=" + value.asString());
        });
    }

    ObservableProperties properties{{"ui", "action"}};
    DictRef ui = makeDictionary({{"deviceInfo", "No Quillon mouse device connected"}});
    std::vector<std::string> reports;
};

TEST_F(BindingsTest, a_label_stays_current_through_stores_and_a_new_dictionary) {
    QLabel label;
    QCheckBox hidden;
    {
        Bindings bindings(properties);
        bindings.bindText(&label, "ui.deviceInfo");
        bindings.bindHidden(&hidden, "ui.hideDeviceMenu");
        EXPECT_EQ(label.text(), "No Quillon mouse device connected") << "shown at once";
        EXPECT_FALSE(hidden.isHidden());

        ui->set("deviceInfo", "You are using a Quillon Tamber One device");
        ui->set("hideDeviceMenu", Integer(1));
        EXPECT_EQ(label.text(), "You are using a Quillon Tamber One device");
        EXPECT_TRUE(hidden.isHidden());

        properties.set("ui", makeDictionary({{"deviceInfo", "Connected devices: A, B"}}));
        EXPECT_EQ(label.text(), "Connected devices: A, B");
        EXPECT_FALSE(hidden.isHidden()) << "absent reads as false";
    }
    // Gone bindings show nothing more.
    properties.get("ui")->set("deviceInfo", "later");
    EXPECT_EQ(label.text(), "Connected devices: A, B");
}

TEST_F(BindingsTest, user_edits_are_written_back_and_shown_values_are_not) {
    QLineEdit field;
    QCheckBox check;
    QComboBox menu;
    menu.addItem("Global", QVariant::fromValue<qlonglong>(10));
    menu.addItem("Mail", QVariant::fromValue<qlonglong>(1000));
    QTabWidget tabs;
    tabs.addTab(new QWidget, "Buttons");
    tabs.addTab(new QWidget, "About");
    Bindings bindings(properties);
    bindings.bindText(&field, "ui.editString", true);
    bindings.bindChecked(&check, "ui.modalCheckState");
    bindings.bindSelectedTag(&menu, "ui.settingsUID");
    bindings.bindTabIdentifier(&tabs, "ui.tabID", {"options", "about"});

    // The pane's stores move the widgets and are reported once each, never echoed.
    ui->set("editString", "Mail");
    ui->set("modalCheckState", true);
    ui->set("settingsUID", Integer(1000));
    ui->set("tabID", "about");
    EXPECT_EQ(field.text(), "Mail");
    EXPECT_TRUE(check.isChecked());
    EXPECT_EQ(menu.currentIndex(), 1);
    EXPECT_EQ(tabs.currentIndex(), 1);
    EXPECT_EQ(reports, (std::vector<std::string>{"editString=Mail", "modalCheckState=1", "settingsUID=1000",
                                                 "tabID=about"}));
    reports.clear();

    // The user's edits go through the same key paths.
    field.setFocus();
    testing::typeKey(&field, Qt::Key_S, "s");
    check.click();
    testing::typeKey(&menu, Qt::Key_Up);
    tabs.setCurrentIndex(0);
    EXPECT_EQ(ui->string("editString"), "Mails");
    EXPECT_FALSE(ui->boolean("modalCheckState"));
    EXPECT_EQ(ui->integer("settingsUID"), 10);
    EXPECT_EQ(ui->string("tabID"), "options");
    EXPECT_EQ(reports, (std::vector<std::string>{"editString=Mails", "modalCheckState=0", "settingsUID=10",
                                                 "tabID=options"}));

    // A tag no item carries leaves the menu alone; so does an unknown tab.
    ui->set("settingsUID", Integer(7));
    ui->set("tabID", "advanced");
    EXPECT_EQ(menu.currentIndex(), 0);
    EXPECT_EQ(tabs.currentIndex(), 0);
}

TEST_F(BindingsTest, titles_hide_their_button_while_absent) {
    QCheckBox check;
    Bindings bindings(properties);
    bindings.bindTitle(&check, "ui.modalCheck", true);
    EXPECT_TRUE(check.isHidden());
    ui->set("modalCheck", "Apply to All");
    EXPECT_EQ(check.text(), "Apply to All");
    EXPECT_FALSE(check.isHidden());
    ui->remove("modalCheck");
    EXPECT_TRUE(check.isHidden());
}

}  // namespace
}  // namespace quillon
