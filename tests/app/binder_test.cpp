// The binder: what a layout declares on its widgets is shown from the state at once and at every
// change, follows a replaced dictionary, and a user's edit is one store through the key path.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>

#include "adapters/qt/qt_binder.h"
#include "widgets_test_support.h"

namespace quillon {
namespace {

template <class W>
W* add(QWidget* parent, const char* name,
       std::initializer_list<std::pair<const char*, QVariant>> props) {
    auto* widget = new W(parent);
    widget->setObjectName(name);
    for (const auto& [key, value] : props)
        widget->setProperty(key, value);
    return widget;
}

class BinderTest : public ::testing::Test {
protected:
    BinderTest() {
        testing::ensureWidgetsApplication();
        properties.set("ui", ui);
        properties.set("action", firstAction);
        for (const char* path : {"action.keyCode", "action.command", "action.text", "ui.tabID",
                                 "ui.modShift", "ui.mode", "ui.speed"})
            properties.addObserver(path, [this](const std::string& keyPath, const Value& value) {
                reports.push_back(keyPath + "=" + value.asString() +
                                  std::to_string(value.asInteger()));
            });
    }

    Binder makeBinder() {
        return Binder(
            properties,
            [this](const std::string& operation, const Sender& sender) {
                sent.push_back(operation + ":" + std::to_string(sender.tag) + ":" +
                               std::to_string(sender.selectedTag) + ":" + sender.stringValue);
                return true;
            },
            [](const std::string& operation) { return operation != "ibaNobodyKnows"; });
    }

    ObservableProperties properties{{"ui", "action"}};
    DictRef ui =
        makeDictionary({{"keystroke", "Ctrl+a"}, {"tabID", "about"}, {"mode", Integer(2)}});
    DictRef firstAction =
        makeDictionary({{"command", Integer(7)}, {"keyCode", Integer(0)}, {"text", "hi"}});
    std::vector<std::string> reports, sent;
};

TEST_F(BinderTest, every_widget_kind_shows_its_key_path_and_follows_a_new_action) {
    QWidget root;
    auto* keystroke =
        add<QLineEdit>(&root, "keystroke", {{"bindValue", "ui.keystroke"}, {"editable", false}});
    auto* keyCode = add<QSpinBox>(&root, "keyCode", {{"bindValue", "action.keyCode"}});
    keyCode->setMaximum(255);
    auto* text = add<QPlainTextEdit>(&root, "text", {{"bindValue", "action.text"}});
    auto* command = add<QComboBox>(&root, "command",
                                   {{"bindValue", "action.command"}, {"itemTags", "6, 7,16"}});
    command->addItems({"Click", "Key", "Scroll"});
    auto* label = add<QLabel>(
        &root, "label", {{"bindValue", "action.command"}, {"bindValueTransformer", "QUEqualsOne"}});
    auto* hidden = add<QLabel>(
        &root, "hidden", {{"bindHidden", "ui.keystroke"}, {"bindHiddenTransformer", "QUNotEmpty"}});
    auto* enabled = add<QPushButton>(
        &root, "enabled", {{"bindEnabled", "action.keyCode"}, {"bindTitle", "ui.keystroke"}});
    auto* tabs = add<QTabWidget>(&root, "tabs", {{"bindValue", "ui.tabID"}});
    for (const char* id : {"options", "buttons", "about"}) {
        auto* page = new QWidget;
        page->setProperty("identifier", id);
        tabs->addTab(page, id);
    }
    auto* pages = add<QStackedWidget>(&root, "pages", {{"bindValue", "ui.actionTab"}});
    for (const char* id : {"key", "empty", "text"}) {
        auto* page = new QWidget;
        page->setProperty("identifier", id);
        pages->addWidget(page);
    }
    auto* radios = new QWidget(&root);
    QRadioButton* radio[3];
    for (int i = 0; i < 3; ++i)
        radio[i] = add<QRadioButton>(radios, "radio", {{"bindValue", "ui.mode"}, {"tag", i}});

    Binder binder = makeBinder();
    binder.bindTree(&root);
    EXPECT_EQ(keystroke->text(), "Ctrl+a");
    EXPECT_TRUE(keystroke->isReadOnly());
    EXPECT_EQ(text->toPlainText(), "hi");
    EXPECT_EQ(command->currentText(), "Key") << "the item tagged 7";
    EXPECT_EQ(label->text(), "0");
    EXPECT_TRUE(hidden->isHidden());
    EXPECT_FALSE(enabled->isEnabled());
    EXPECT_EQ(enabled->text(), "Ctrl+a");
    EXPECT_EQ(tabs->currentIndex(), 2);
    EXPECT_TRUE(radio[2]->isChecked());
    EXPECT_FALSE(radio[0]->isChecked());
    EXPECT_TRUE(reports.empty()) << "showing is no edit";

    // A new current action is shown without rebinding; a command no item carries shows none.
    properties.set("action", makeDictionary({{"command", Integer(99)}, {"keyCode", Integer(36)}}));
    reports.clear();
    EXPECT_EQ(keyCode->value(), 36);
    EXPECT_TRUE(enabled->isEnabled());
    EXPECT_EQ(command->currentIndex(), -1);
    EXPECT_EQ(text->toPlainText(), "");
    ui->set("actionTab", "text");
    EXPECT_EQ(pages->currentIndex(), 2);
    ui->set("actionTab", "shortcut");
    EXPECT_EQ(pages->currentIndex(), 1) << "a tab without a page shows the empty page";
    ui->set("keystroke", "");
    EXPECT_FALSE(hidden->isHidden());
    EXPECT_TRUE(reports.empty());

    // Edits store into the dictionary the property holds now, once each.
    firstAction->set("keyCode", Integer(1));
    testing::typeKey(command, Qt::Key_End);
    text->setFocus();
    testing::typeKey(text, Qt::Key_X, "x");
    tabs->setCurrentIndex(0);
    radio[1]->click();
    EXPECT_EQ(properties.get("action")->integer("command"), 16);
    EXPECT_EQ(properties.get("action")->string("text"), "x");
    EXPECT_EQ(firstAction->integer("command"), 7) << "the old action is left alone";
    EXPECT_EQ(ui->string("tabID"), "options");
    EXPECT_EQ(ui->integer("mode"), 1);
    EXPECT_TRUE(radio[1]->isChecked());
    EXPECT_FALSE(radio[2]->isChecked());
    EXPECT_EQ(reports, (std::vector<std::string>{"action.command=16", "action.text=x0",
                                                 "ui.tabID=options0", "ui.mode=1"}));
}

TEST_F(BinderTest, check_boxes_and_sliders_store_once_per_edit_in_the_records_own_type) {
    QWidget root;
    auto* shift = add<QCheckBox>(&root, "shift", {{"bindValue", "ui.modShift"}});
    auto* slider = add<QSlider>(&root, "speed", {{"bindValue", "ui.speed"}});
    slider->setRange(0, 200);
    ui->set("modShift", Integer(0));
    Binder binder = makeBinder();
    binder.bindTree(&root);

    shift->click();
    EXPECT_EQ(ui->get("modShift").type(), ValueType::Integer) << "a number stays a number";
    EXPECT_EQ(ui->integer("modShift"), 1);
    ui->remove("modShift");
    shift->click();
    EXPECT_EQ(ui->get("modShift").type(), ValueType::Boolean);

    // A drag stores once, where it ends; a key press stores at once.
    reports.clear();
    slider->setSliderDown(true);
    slider->setValue(120);
    slider->setValue(150);
    EXPECT_TRUE(reports.empty());
    slider->setSliderDown(false);
    EXPECT_EQ(ui->integer("speed"), 150);
    EXPECT_EQ(reports.size(), 1u);
    testing::typeKey(slider, Qt::Key_Right);
    EXPECT_EQ(ui->integer("speed"), 151);
    EXPECT_EQ(reports.size(), 2u);
}

TEST_F(BinderTest, controls_send_their_operations_after_storing_and_unknown_ones_are_disabled) {
    QWidget root;
    auto* menu = add<QComboBox>(&root, "ibaOptionsMenuAction",
                                {{"bindValue", "action.command"}, {"itemTags", "6,7"}});
    menu->addItems({"Click", "Key"});
    auto* ok = add<QPushButton>(&root, "ok", {{"action", "ibaModalButtonPressed"}, {"tag", 1}});
    auto* field = add<QLineEdit>(&root, "ibaRename", {});
    auto* unknown = add<QPushButton>(&root, "ibaNobodyKnows", {});
    auto* item = new QAction("New", &root);
    item->setObjectName("ibaOptionsItemNew");
    root.addAction(item);
    Binder binder = makeBinder();
    binder.bindTree(&root);

    std::int64_t commandWhenSent = -1;
    properties.addObserver("action.command", [&](const std::string&, const Value& v) {
        commandWhenSent = v.asInteger();
    });
    testing::typeKey(menu, Qt::Key_Up);
    ok->click();
    field->setText("Mail");
    testing::typeKey(field, Qt::Key_Return);
    item->trigger();
    EXPECT_EQ(sent, (std::vector<std::string>{"ibaOptionsMenuAction:0:6:Click",
                                              "ibaModalButtonPressed:1:-1:", "ibaRename:0:-1:Mail",
                                              "ibaOptionsItemNew:0:-1:"}));
    EXPECT_EQ(commandWhenSent, 6) << "the value is stored before the operation runs";
    EXPECT_FALSE(unknown->isEnabled());
    EXPECT_EQ(binder.connectionCount(), 4);
}

}  // namespace
}  // namespace quillon
