// The macro editor's controller on a list double: the rows it shows, where the buttons put and
// take steps, delays and typed texts, keystrokes recorded into steps, and hostile macro records.
#include "macro/macro_view_controller.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keyboard/key_names.h"
#include "testing/fixed_keyboard_layout.h"
#include "testing/temp_dir.h"

namespace quillon {
namespace {

using Controller = QUMacroViewController;

// Walks the controller's tree as an expanded outline list would.
class ListDouble final : public MacroStepList {
public:
    explicit ListDouble(Controller& controller) : controller_(controller) {}
    void reloadData() override {
        rows.clear();
        for (int i = 0; i < controller_.outlineViewNumberOfChildrenOfItem({}); ++i) {
            Value branch = controller_.outlineViewChildOfItem(i, {});
            rows.push_back(branch);
            for (int j = 0; j < controller_.outlineViewNumberOfChildrenOfItem(branch); ++j)
                rows.push_back(controller_.outlineViewChildOfItem(j, branch));
        }
        if (selected >= numberOfRows()) selected = -1;
    }
    std::int64_t numberOfRows() const override { return std::int64_t(rows.size()); }
    Value itemAtRow(std::int64_t row) const override {
        return row >= 0 && row < numberOfRows() ? rows[std::size_t(row)] : Value();
    }
    std::int64_t selectedRow() const override { return selected; }
    void selectRow(std::int64_t row) override { selected = row; }
    void scrollRowToVisible(std::int64_t) override {}
    void editStepColumn(std::int64_t row) override { edited = row; }
    void reloadStepCell(std::int64_t row) override { reloadedCells.push_back(row); }
    std::int64_t editedRow() const override { return edited; }

    std::vector<std::string> titles() const {
        std::vector<std::string> out;
        for (const Value& row : rows)
            out.push_back(row.dictionary()->string("title"));
        return out;
    }
    std::string stepText(std::int64_t row) const {
        return controller_.outlineViewViewForTableColumn("step", itemAtRow(row)).text;
    }

    std::vector<Value> rows;
    std::int64_t selected = -1, edited = -1;
    std::vector<std::int64_t> reloadedCells;

private:
    Controller& controller_;
};

DictRef keystrokeStep(int keyCode) {
    return makeDictionary(
        {{"command", Integer(7)}, {"keyCode", Integer(keyCode)}, {"modifiers", Integer(0)}});
}
DictRef textStep(const std::string& text) {
    return makeDictionary({{"command", Integer(11)}, {"text", text}});
}

class MacroControllerTest : public ::testing::Test {
protected:
    MacroControllerTest() {
        testing::FixedKeyboardLayouts layouts(testing::FixedKeyLayout::usEnglish());
        initKeystrokeNames(bundle, "Localizable", layouts);
        controller.setMacroList(&list);
    }
    ~MacroControllerTest() override { resetKeystrokeNames(); }

    // Edits a macro action holding macro (absent: no `macro` key).
    void edit(Value macro) {
        action = makeDictionary({{"command", Integer(12)}, {"macro", macro}});
        controller.setMacroAction(action);
    }
    ArrayRef macro() const { return action->array("macro"); }
    ArrayRef press(std::size_t i) const { return macro()->at(i).array(); }
    DictRef stepAt(std::size_t p, std::size_t s) const { return press(p)->at(s).dictionary(); }

    std::shared_ptr<const Bundle> bundle =
        std::make_shared<Bundle>(testing::sourceDir() / "resources");
    Controller controller{bundle};
    ListDouble list{controller};
    DictRef action;
};

TEST_F(MacroControllerTest, shows_every_press_with_its_steps_found_by_identity) {
    DictRef a = keystrokeStep(0), b = keystrokeStep(0);
    edit(makeArray({makeArray({a, b}), makeArray({}), makeArray({textStep("hi")})}));
    EXPECT_EQ(list.titles(),
              (std::vector<std::string>{"Button press #1", "Step #1", "Step #2", "Button press #2",
                                        "Button press #3", "Step #1"}));
    EXPECT_EQ(controller.rowForStep(b), 2) << "equal steps are told apart";
    EXPECT_EQ(controller.rowForGroup(macro()->at(2)), 4);
    EXPECT_EQ(list.stepText(5), "hi");
    action->set("command", Integer(7));
    controller.actionChanged();
    EXPECT_EQ(controller.rowForStep(a), Controller::kNotFound);
    edit(Value());
    EXPECT_TRUE(macro() && macro()->empty()) << "a macro action gets an empty macro when shown";
}

TEST_F(MacroControllerTest, hostile_records_show_empty_and_are_replaced_only_by_an_edit) {
    edit(std::string("not a macro"));
    EXPECT_TRUE(list.rows.empty());
    controller.buttonPressed(Controller::kRemove);  // nothing selected: no edit
    EXPECT_EQ(action->string("macro"), "not a macro") << "showing it must not drop it";
    controller.buttonPressed(Controller::kAddTextStep);
    ASSERT_TRUE(macro());
    EXPECT_EQ(stepAt(0, 0)->integer("command"), 11);

    edit(makeArray({std::string("press"), makeArray({Integer(5), makeArray({}), textStep("t")})}));
    EXPECT_EQ(list.titles(), (std::vector<std::string>{"Button press #1", "Button press #2",
                                                       "Step #1", "Step #2", "Step #3"}));
    for (std::int64_t row = 0; row < list.numberOfRows(); ++row)
        controller.outlineViewViewForTableColumn("delay", list.itemAtRow(row));
    EXPECT_EQ(list.stepText(2), "");
    EXPECT_TRUE(
        controller.outlineViewViewForTableColumn("delay", list.itemAtRow(2)).delayItems.empty());
    // One press repeated by reference a million times shows as far as the list can take.
    ArrayRef many = Array::create(std::vector<Value>(1000, makeArray({textStep("x")})));
    edit(Array::create(std::vector<Value>(1000, many)));
    EXPECT_EQ(list.numberOfRows(), std::int64_t(maxMacroRows));

    edit(makeArray({std::string("press"), makeArray({Integer(5), makeArray({}), textStep("t")})}));
    // Adding after a broken step repairs the macro in place and puts the step right after it.
    list.selectRow(2);
    controller.buttonPressed(Controller::kAddKeystrokeStep);
    ASSERT_TRUE(press(0));
    ASSERT_EQ(press(1)->size(), 4u);
    EXPECT_TRUE(stepAt(1, 0)->empty());
    EXPECT_EQ(stepAt(1, 1)->integer("keyCode"), 255);
    EXPECT_EQ(stepAt(1, 3)->string("text"), "t");
}

TEST_F(MacroControllerTest, buttons_add_and_remove_where_the_selection_says) {
    edit(makeArray({}));
    controller.buttonPressed(Controller::kAddKeystrokeStep);
    ASSERT_EQ(macro()->size(), 1u) << "the first step brings the first press";
    EXPECT_EQ(Value(stepAt(0, 0)), Value(keystrokeStep(255)));
    EXPECT_EQ(list.edited, 1) << "a new step is edited at once";
    EXPECT_EQ(list.stepText(1), "(none)");
    // Nothing selected: the end of the last press, even when an earlier one is longer.
    controller.buttonPressed(Controller::kAddButtonPress);
    list.selectRow(-1);
    controller.buttonPressed(Controller::kAddTextStep);
    EXPECT_EQ(press(1)->size(), 1u);
    // A press selected: its top. A step selected: right below it.
    list.selectRow(0);
    controller.buttonPressed(Controller::kAddTextStep);
    DictRef top = stepAt(0, 0);
    EXPECT_EQ(top->integer("command"), 11);
    controller.buttonPressed(Controller::kAddKeystrokeStep);
    EXPECT_EQ(stepAt(0, 0), top);
    EXPECT_EQ(press(0)->size(), 3u);
    // A new press goes after the press of the selected step.
    controller.buttonPressed(Controller::kAddButtonPress);
    EXPECT_TRUE(press(1)->empty());
    EXPECT_EQ(macro()->size(), 3u);

    // Removing a press takes its steps; the row after it, else the new last row, is selected.
    list.selectRow(0);
    controller.buttonPressed(Controller::kRemove);
    EXPECT_EQ(macro()->size(), 2u);
    EXPECT_EQ(list.selected, 0);
    list.selectRow(2);
    controller.buttonPressed(Controller::kRemove);  // the last row: its press stays, empty
    EXPECT_TRUE(press(1)->empty());
    EXPECT_EQ(list.selected, 1);
    controller.buttonPressed(Controller::kRemove);
    controller.buttonPressed(Controller::kRemove);
    EXPECT_TRUE(macro()->empty());
    EXPECT_EQ(list.selected, -1);
}

TEST_F(MacroControllerTest, a_selection_the_macro_no_longer_holds_never_loses_the_new_step) {
    DictRef kept = textStep("kept");
    edit(makeArray({makeArray({textStep("a")}), makeArray({kept})}));
    list.selectRow(1);
    macro()->set(0, makeArray({}));  // the selected row's press is swapped out underneath
    controller.buttonPressed(Controller::kAddKeystrokeStep);
    EXPECT_EQ(press(1)->size(), 2u) << "the step went to the last press, not the old one";
    // The selected step is gone from its press: the new one goes to that press's end.
    list.selectRow(controller.rowForStep(kept));
    press(1)->removeAt(0);
    controller.buttonPressed(Controller::kAddTextStep);
    ASSERT_EQ(press(1)->size(), 2u);
    EXPECT_EQ(stepAt(1, 1)->integer("command"), 11);
}

TEST_F(MacroControllerTest, delays_belong_to_their_own_step_and_every_wait_shows_its_own_entry) {
    DictRef first = keystrokeStep(0), second = keystrokeStep(0);
    second->set("wait", Integer(1234));
    edit(makeArray({makeArray({first, second})}));
    QUTableCellView cell = controller.outlineViewViewForTableColumn("delay", list.itemAtRow(1));
    ASSERT_EQ(cell.delayItems.size(), std::size(delayEntries));
    EXPECT_EQ(cell.delayItems.at(std::size_t(cell.selectedDelay)).first, "No delay");
    controller.popUpMenuSelected(cell, 500);
    EXPECT_EQ(first->integer("wait"), 500);
    // A wait without an entry of its own is shown as it is, not as the row before it.
    cell = controller.outlineViewViewForTableColumn("delay", list.itemAtRow(2));
    ASSERT_GE(cell.selectedDelay, 0);
    EXPECT_EQ(cell.delayItems.at(std::size_t(cell.selectedDelay)),
              (std::pair<std::string, std::int64_t>{"1234 ms", 1234}));
}

TEST_F(MacroControllerTest, typing_and_keystrokes_reach_the_step_being_edited) {
    DictRef text = textStep(""), other = textStep("other"), key = keystrokeStep(255);
    edit(makeArray({makeArray({text, other, key})}));
    // Each change lands in the edited row's step, wherever the selection went meanwhile.
    list.selectRow(2);
    controller.controlTextDidChange("QUStepField", list.itemAtRow(1), "H");
    controller.controlTextDidChange("QUStepField", list.itemAtRow(1), "Hi");
    controller.controlTextDidChange("otherField", list.itemAtRow(1), "lost");
    controller.controlTextDidChange("QUStepField", list.itemAtRow(3), "not a text step");
    EXPECT_EQ(text->string("text"), "Hi");
    EXPECT_EQ(other->string("text"), "other");
    EXPECT_FALSE(key->contains("text"));

    // Only a keystroke step being edited records keys.
    list.edited = 1;
    EXPECT_FALSE(controller.overrideKeyEvents());
    controller.receiveKeystroke(0x30, 0);
    EXPECT_FALSE(text->contains("keyCode"));
    list.edited = 3;
    EXPECT_TRUE(controller.overrideKeyEvents());
    controller.receiveKeystroke(0x30, 0x1000);
    EXPECT_EQ(key->integer("keyCode"), 0x30);
    EXPECT_EQ(key->integer("modifiers"), 0x1000);
    EXPECT_EQ(list.reloadedCells, std::vector<std::int64_t>{3});
    EXPECT_EQ(list.stepText(3), keystrokeString(0x30, 0x1000));
}

}  // namespace
}  // namespace quillon
