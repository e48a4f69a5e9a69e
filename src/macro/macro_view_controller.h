// The macro editor's controller: the macro of the edited action as a two-level tree of button
// presses and steps, the editor's buttons, cells and delay menu, and keystrokes recorded into
// steps.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "plist/bundle.h"
#include "plist/value.h"

namespace quillon {

// The outline list of the macro editor as the controller drives it. Rows count every visible
// node (every branch is expanded); items are the tree's nodes, found by identity.
class MacroStepList {
public:
    virtual ~MacroStepList() = default;
    // Asks the controller again for every row and expands every branch; the selection stays on
    // the same row number while that row exists.
    virtual void reloadData() = 0;
    virtual std::int64_t numberOfRows() const = 0;
    // The node of row, absent outside the rows.
    virtual Value itemAtRow(std::int64_t row) const = 0;
    // The selected row, -1 when none.
    virtual std::int64_t selectedRow() const = 0;
    // Makes row the only selected one; -1 selects nothing.
    virtual void selectRow(std::int64_t row) = 0;
    virtual void scrollRowToVisible(std::int64_t row) = 0;
    // Starts editing the step column of row, its text selected.
    virtual void editStepColumn(std::int64_t row) = 0;
    // Asks the controller again for the step cell of row (and updates an editor open on it).
    virtual void reloadStepCell(std::int64_t row) = 0;
    // The row whose step cell has an editor with the keyboard focus, -1 when none.
    virtual std::int64_t editedRow() const = 0;
};

// One entry of the delay menu: its title key in the strings table and the `wait` it stores.
struct DelayEntry {
    std::string_view title;
    std::int64_t wait;
};

// The delay menu of every step, shortest first; `wait` counts milliseconds.
inline constexpr DelayEntry delayEntries[] = {
    {"No delay", 0}, {"50 ms", 50}, {"100 ms", 100}, {"250 ms", 250},
    {"500 ms", 500}, {"1 s", 1000}, {"2 s", 2000},   {"5 s", 5000},
};
// Rows the list shows at most. A file may repeat one press or step any number of times by
// reference; beyond this the rows are left out (and kept in the macro) so the editor stays usable.
inline constexpr std::size_t maxMacroRows = 1000;
// Title of the extra entry a step gets when its `wait` has none of its own; "#" is the value.
inline constexpr std::string_view otherDelayTitle = "# ms";

enum class StepIcon { None, Keystroke, Text };

// What one cell of the list shows, as the controller fills it.
struct QUTableCellView {
    std::string identifier;  // "HeaderCell", "DataCell" or "TimeCell"
    std::string text;        // a branch's title, a step's text
    StepIcon icon = StepIcon::None;
    // A data cell whose step the user may edit in place (keystroke and text steps).
    bool editable = false;
    // A time cell's menu: title and tag of each entry, and the index of the one shown; empty
    // for a step that is no dictionary.
    std::vector<std::pair<std::string, std::int64_t>> delayItems;
    int selectedDelay = -1;
    // The step a data or time cell shows; the cell never keeps it alive.
    std::weak_ptr<Dictionary> step;
};

class QUMacroViewController {
public:
    // The row index of a node the list does not show.
    static constexpr std::int64_t kNotFound = INT64_MAX;
    // Button tags.
    static constexpr int kAddButtonPress = 1;
    static constexpr int kAddKeystrokeStep = 2;
    static constexpr int kAddTextStep = 3;
    static constexpr int kRemove = 4;

    // Titles come from bundle's default strings table.
    explicit QUMacroViewController(std::shared_ptr<const Bundle> bundle);
    QUMacroViewController(const QUMacroViewController&) = delete;
    QUMacroViewController& operator=(const QUMacroViewController&) = delete;

    // The list the controller fills; not owned, nullptr detaches.
    void setMacroList(MacroStepList* list) { macroList_ = list; }
    MacroStepList* macroList() const { return macroList_; }

    // The action being edited (the pane's own record), or nullptr; shows its macro.
    void setMacroAction(DictRef action);
    const DictRef& macroAction() const { return macroAction_; }
    // The macro of a macro action; an action without one gets an empty one. Nothing while the
    // action is no macro action or its `macro` is not a list: that value stays until an edit.
    ArrayRef currentMacro();
    void rebuildStepsList();
    void actionChanged() { rebuildStepsList(); }
    // The row of the branch of press / the leaf of step, by identity; kNotFound when not shown.
    std::int64_t rowForGroup(const Value& press) const;
    std::int64_t rowForStep(const Value& step) const;

    // The list's questions; the root is the absent value.
    int outlineViewNumberOfChildrenOfItem(const Value& item) const;
    bool outlineViewIsItemExpandable(const Value& item) const;
    Value outlineViewChildOfItem(int index, const Value& item) const;
    // The cell of item in column ("step" for the step column, anything else a delay column).
    QUTableCellView outlineViewViewForTableColumn(const std::string& column,
                                                  const Value& item) const;

    // The editor's buttons, by tag.
    void buttonPressed(int tag);
    // A delay chosen in cell's menu: its tag becomes the `wait` of the cell's own step.
    void popUpMenuSelected(const QUTableCellView& cell, std::int64_t tag);
    // The user typed in the editor field fieldIdentifier of the row whose node is editedItem.
    void controlTextDidChange(std::string_view fieldIdentifier, const Value& editedItem,
                              const std::string& text);

    // True while the step cell of a keystroke step is being edited: key presses are recorded.
    bool overrideKeyEvents() const;
    // Records a keystroke into the keystroke step being edited; dropped when there is none.
    void receiveKeystroke(std::uint8_t keyCode, std::uint16_t modifiers);

    // The tree, for the list and tests: one branch node per press.
    const ArrayRef& tree() const { return tree_; }
    // Re-entrance counter of the observer of macroAction.
    int disableObserver = 0;

private:
    void observeValueForKeyPath(std::string_view keyPath);
    // The macro to edit: a `macro` that is not a list, presses that are not lists and steps that
    // are not dictionaries are replaced by empty ones in place, and the tree is rebuilt.
    ArrayRef editableMacro();
    Value selectedItem() const;
    std::string localized(std::string_view key) const;

    std::shared_ptr<const Bundle> bundle_;
    DictRef macroAction_;
    MacroStepList* macroList_ = nullptr;
    ArrayRef tree_;
};

// The step text the list shows for a keystroke: empty for key code 65535 without modifiers.
std::string keystrokeStepText(const Dictionary& step);

}  // namespace quillon
