// Outlets that keep what the pane did to them, for tests of the pane without a window.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/outlets.h"

namespace quillon::testing {

class RecordingView : public View {
public:
    Rect frame() const override { return frame_; }
    void setFrame(const Rect& frame) override { frame_ = frame; }
    bool isHidden() const override { return hidden_; }
    void setHidden(bool hidden) override { hidden_ = hidden; }
    void addSubview(View& subview) override { subviews.push_back(&subview); }

    std::vector<View*> subviews;

private:
    Rect frame_;
    bool hidden_ = false;
};

class RecordingIndicatorView : public IndicatorView {
public:
    void setHidden(bool value) override { hidden = value; }
    void setAnimated(bool value) override { animated = value; }
    bool hidden = false;
    bool animated = false;
};

class RecordingPopUpButton : public PopUpButton {
public:
    void removeAllItems() override {
        items.clear();
        selected = -1;
    }
    void addItem(const std::string& title, std::int64_t tag) override {
        items.emplace_back(title, tag);
        if (selected < 0) selected = 0;
    }
    int numberOfItems() const override { return static_cast<int>(items.size()); }
    std::string itemTitle(int index) const override { return items.at(index).first; }
    std::int64_t itemTag(int index) const override { return items.at(index).second; }
    bool selectItemWithTag(std::int64_t tag) override;
    std::int64_t selectedTag() const override {
        return selected < 0 ? -1 : items.at(selected).second;
    }
    std::vector<std::string> titles() const;

    std::vector<std::pair<std::string, std::int64_t>> items;
    int selected = -1;
};

class RecordingTabView : public TabView {
public:
    int selectedIndex() const override { return selected; }
    void selectTabViewItemAtIndex(int index) override {
        selected = index;
        ++selections;
    }
    int selected = 0;
    int selections = 0;
};

class RecordingTextField : public TextField {
public:
    std::string stringValue() const override { return text; }
    void setStringValue(const std::string& value) override { text = value; }
    std::string placeholderString() const override { return placeholder; }
    bool hasFieldEditor() const override { return editing; }
    int tag() const override { return tagValue; }
    std::string text, placeholder;
    bool editing = false;
    int tagValue = 0;
};

class RecordingButton : public Button {
public:
    explicit RecordingButton(std::string title = {}, int tag = 0)
        : titleText(std::move(title)), tagValue(tag) {}
    std::string title() const override { return titleText; }
    void setAttributedTitle(const AttributedString& value) override { attributedTitle = value; }
    void setAttributedAlternateTitle(const AttributedString& value) override {
        alternateTitle = value;
    }
    int tag() const override { return tagValue; }
    std::string titleText;
    int tagValue = 0;
    AttributedString attributedTitle, alternateTitle;
};

class RecordingPanel : public Panel {
public:
    void setHidden(bool value) override { hidden = value; }
    bool hidden = true;
};

// Asks its data source like a real list would, and keeps the rows it saw at the last reload.
class RecordingOutlineView : public OutlineView {
public:
    void setDataSource(OutlineViewDataSource* value) override { dataSource = value; }
    void setDelegate(OutlineViewDelegate* value) override { delegate = value; }
    void reloadData() override;
    int selectedRow() const override { return selected; }
    // Selects row as a click would: the delegate hears of it.
    void selectRow(int row) override;

    OutlineViewDataSource* dataSource = nullptr;
    OutlineViewDelegate* delegate = nullptr;
    std::vector<std::string> rows;
    int selected = -1;
    int reloads = 0;
};

}  // namespace quillon::testing
