// The macro editor's window side: a macro built with its buttons, a recorded keystroke, typed
// text and a chosen delay land in the action.
#include "adapters/qt/qt_macro_editor.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "adapters/qt/qt_outlets.h"
#include "keyboard/key_names.h"
#include "macro/macro_view_controller.h"
#include "testing/fixed_keyboard_layout.h"
#include "testing/temp_dir.h"
#include "widgets_test_support.h"

namespace quillon::testing {
namespace {

class QtMacroEditorTest : public ::testing::Test {
protected:
    QtMacroEditorTest() {
        ensureWidgetsApplication();
        FixedKeyboardLayouts layouts(FixedKeyLayout::usEnglish());
        initKeystrokeNames(bundle, "Localizable", layouts);
        made = makeQtMacroEditor("QUMacroView", *bundle);
        editor = dynamic_cast<QtMacroEditor*>(made.get());
    }
    ~QtMacroEditorTest() override { resetKeystrokeNames(); }

    QPushButton* button(int tag) const {
        for (QPushButton* b : editor->widget()->findChildren<QPushButton*>())
            if (b->property("tag").toInt() == tag) return b;
        return nullptr;
    }
    QTreeWidgetItem* row(int press, int step = -1) const {
        QTreeWidgetItem* top = editor->macroList()->topLevelItem(press);
        return step < 0 || !top ? top : top->child(step);
    }
    QLineEdit* stepField() const { return editor->widget()->findChild<QLineEdit*>("QUStepField"); }

    std::shared_ptr<Bundle> bundle = std::make_shared<Bundle>(sourceDir() / "resources");
    std::unique_ptr<MacroEditor> made;
    QtMacroEditor* editor = nullptr;
};

TEST_F(QtMacroEditorTest, a_macro_built_with_the_buttons_lands_in_the_action) {
    EXPECT_EQ(makeQtMacroEditor("SomethingElse", *bundle), nullptr);
    ASSERT_TRUE(editor);
    QWidget frame;
    QtView frameView(&frame);
    frameView.addSubview(editor->view());
    ASSERT_TRUE(frame.layout()) << "the editor fills its frame";
    EXPECT_GE(frame.layout()->indexOf(editor->widget()), 0);
    frame.resize(480, 320);
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(runEventsUntil([&] { return frame.isActiveWindow(); }));
    for (int tag = 1; tag <= 4; ++tag)
        ASSERT_TRUE(button(tag)) << tag;

    DictRef action = makeDictionary({{"command", Integer(12)}});
    editor->setMacroAction(action);
    button(QUMacroViewController::kAddKeystrokeStep)->click();
    ASSERT_TRUE(row(0, 0));
    EXPECT_EQ(row(0)->text(0), "Button press #1");
    EXPECT_EQ(row(0, 0)->text(0), "(none)");
    EXPECT_FALSE(row(0, 0)->icon(0).isNull());
    ASSERT_TRUE(runEventsUntil([&] { return editor->overrideKeyEvents(); }))
        << "the new keystroke step is being edited";
    editor->receiveKeystroke(0x24, 0x0200);
    const QString shiftReturn = QString::fromStdString(keystrokeString(0x24, 0x0200));
    EXPECT_EQ(row(0, 0)->text(0), shiftReturn);
    EXPECT_EQ(stepField()->text(), shiftReturn);

    button(QUMacroViewController::kAddTextStep)->click();
    ASSERT_TRUE(runEventsUntil([&] { return stepField() && stepField()->hasFocus(); }));
    EXPECT_FALSE(editor->overrideKeyEvents()) << "a text step takes typed keys as text";
    ArrayRef press = action->array("macro")->at(0).array();
    ASSERT_EQ(press->size(), 2u);
    typeKey(stepField(), Qt::Key_H, "H");
    EXPECT_EQ(press->at(1).dictionary()->string("text"), "H") << "written at every change";
    typeKey(stepField(), Qt::Key_I, "i");
    EXPECT_EQ(press->at(1).dictionary()->string("text"), "Hi");
    typeKey(stepField(), Qt::Key_Escape);
    EXPECT_TRUE(runEventsUntil([&] { return row(0, 1)->text(0) == "Hi"; }))
        << "the row shows the step's text, also after Escape";

    auto* delay = editor->macroList()->itemWidget(row(0, 1), 1)->findChild<QComboBox*>();
    ASSERT_TRUE(delay);
    EXPECT_EQ(delay->currentText(), "No delay");
    Q_EMIT delay->activated(5);
    button(QUMacroViewController::kAddButtonPress)->click();

    ArrayRef expected = makeArray({makeArray({makeDictionary({{"command", Integer(7)},
                                                              {"keyCode", Integer(0x24)},
                                                              {"modifiers", Integer(0x0200)}}),
                                              makeDictionary({{"command", Integer(11)},
                                                              {"text", std::string("Hi")},
                                                              {"wait", Integer(1000)}})}),
                                   makeArray({})});
    EXPECT_EQ(action->get("macro"), Value(expected));
    EXPECT_EQ(editor->macroList()->topLevelItemCount(), 2);
}

}  // namespace
}  // namespace quillon::testing
