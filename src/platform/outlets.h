// The layout objects the pane drives directly: views, menus, tabs, fields, buttons, lists, panels.
// The window's toolkit implements them; the pane never sees the toolkit itself.
#pragma once

#include <cstdint>
#include <string>

#include "platform/attributed_string.h"
#include "plist/value.h"

namespace quillon {

// What an operation learns of the control that sent it ("ibaOptionsMenuAction" from the command
// menu, say): its tag, a pop-up's selected item tag, a field's text.
struct Sender {
    int tag = 0;
    std::int64_t selectedTag = -1;
    std::string stringValue;
};

struct Rect {
    double x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

class View {
public:
    virtual ~View() = default;
    // Position and size in the parent view.
    virtual Rect frame() const = 0;
    virtual void setFrame(const Rect& frame) = 0;
    virtual bool isHidden() const = 0;
    virtual void setHidden(bool hidden) = 0;
    // Makes subview a child of this view, shown at its frame.
    virtual void addSubview(View& subview) = 0;
};

// The animated busy indicator.
class IndicatorView {
public:
    virtual ~IndicatorView() = default;
    virtual void setHidden(bool hidden) = 0;
    // Starts or stops the animation; a hidden indicator may keep its state without drawing.
    virtual void setAnimated(bool animated) = 0;
};

// A pop-up menu whose items carry an integer tag; the selected tag is bound to a state key.
class PopUpButton {
public:
    virtual ~PopUpButton() = default;
    virtual void removeAllItems() = 0;
    // Appends an item with that title and tag (no action, no key equivalent).
    virtual void addItem(const std::string& title, std::int64_t tag) = 0;
    virtual int numberOfItems() const = 0;
    virtual std::string itemTitle(int index) const = 0;
    virtual std::int64_t itemTag(int index) const = 0;
    // Selects the first item with that tag; false (selection unchanged) when none has it.
    virtual bool selectItemWithTag(std::int64_t tag) = 0;
    // Tag of the selected item, or -1 when nothing is selected.
    virtual std::int64_t selectedTag() const = 0;
};

// A tab view whose pages are chosen by index.
class TabView {
public:
    virtual ~TabView() = default;
    virtual int selectedIndex() const = 0;
    virtual void selectTabViewItemAtIndex(int index) = 0;
};

class TextField {
public:
    virtual ~TextField() = default;
    virtual std::string stringValue() const = 0;
    virtual void setStringValue(const std::string& text) = 0;
    // The grey text shown while the field is empty.
    virtual std::string placeholderString() const = 0;
    // True while the user is editing the field's text (it has the keyboard focus).
    virtual bool hasFieldEditor() const = 0;
    virtual int tag() const = 0;
};

class Button {
public:
    virtual ~Button() = default;
    virtual std::string title() const = 0;
    // The title shown normally, and the one shown while the button is pressed.
    virtual void setAttributedTitle(const AttributedString& title) = 0;
    virtual void setAttributedAlternateTitle(const AttributedString& title) = 0;
    // The code a panel's button ends its panel with.
    virtual int tag() const = 0;
};

// A window-modal panel of the pane (message box, rename, new set, speed options).
class Panel {
public:
    virtual ~Panel() = default;
    virtual void setHidden(bool hidden) = 0;
};

class OutlineView;

// Answers an outline view's questions about its rows. Items are found by identity; the root is
// the absent value.
class OutlineViewDataSource {
public:
    virtual ~OutlineViewDataSource() = default;
    virtual int outlineViewNumberOfChildrenOfItem(OutlineView& view, const Value& item) = 0;
    virtual bool outlineViewIsItemExpandable(OutlineView& view, const Value& item) = 0;
    virtual Value outlineViewChildOfItem(OutlineView& view, int index, const Value& item) = 0;
    virtual Value outlineViewObjectValue(OutlineView& view, const std::string& column,
                                         const Value& item) = 0;
};

// Decides what the user may do in an outline view and hears about selection changes.
class OutlineViewDelegate {
public:
    virtual ~OutlineViewDelegate() = default;
    virtual bool outlineViewShouldEditTableColumn(OutlineView& view, const std::string& column,
                                                  const Value& item) = 0;
    virtual void outlineViewSelectionDidChange(OutlineView& view) = 0;
};

class OutlineView {
public:
    virtual ~OutlineView() = default;
    // The view keeps these pointers; nullptr detaches.
    virtual void setDataSource(OutlineViewDataSource* dataSource) = 0;
    virtual void setDelegate(OutlineViewDelegate* delegate) = 0;
    // Asks the data source again for every row; the delegate hears of the selection that remains.
    virtual void reloadData() = 0;
    // Index of the selected row, -1 when none.
    virtual int selectedRow() const = 0;
    virtual void selectRow(int row) = 0;
};

}  // namespace quillon
