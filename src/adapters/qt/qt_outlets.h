// The pane's outlets over Qt Widgets: each wraps a widget that the window owns and outlives it.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "adapters/qt/quillon_path_view.h"
#include "platform/outlets.h"

namespace quillon {

// A widget that the window makes only when it is first needed, as it makes its panels; a plain
// pointer is a widget made already.
template <class Widget>
class MadeWhenNeeded {
public:
    MadeWhenNeeded(Widget* widget) : widget_(widget) {}  // NOLINT: a made widget converts as is
    explicit MadeWhenNeeded(std::function<Widget*()> make) : make_(std::move(make)) {}
    Widget* get() const {
        if (make_) widget_ = std::exchange(make_, nullptr)();
        return widget_;
    }
    // Without making it: nothing while it is not made yet.
    Widget* ifMade() const { return make_ ? nullptr : widget_.data(); }

private:
    mutable std::function<Widget*()> make_;
    mutable QPointer<Widget> widget_;
};

class QtView final : public View {
public:
    explicit QtView(QWidget* widget);
    Rect frame() const override;
    void setFrame(const Rect& frame) override;
    bool isHidden() const override;
    void setHidden(bool hidden) override;
    // Only another QtView can become a child; its widget is moved into this one at its frame.
    void addSubview(View& subview) override;
    QWidget* widget() const { return widget_; }

private:
    QPointer<QWidget> widget_;
};

class QtIndicatorView final : public IndicatorView {
public:
    explicit QtIndicatorView(QuillonPathView* widget);
    void setHidden(bool hidden) override;
    void setAnimated(bool animated) override;

private:
    QPointer<QuillonPathView> widget_;
};

// Item tags live in the items' user data, so titles may repeat.
class QtPopUpButton final : public PopUpButton {
public:
    explicit QtPopUpButton(QComboBox* box);
    void removeAllItems() override;
    void addItem(const std::string& title, std::int64_t tag) override;
    int numberOfItems() const override;
    std::string itemTitle(int index) const override;
    std::int64_t itemTag(int index) const override;
    bool selectItemWithTag(std::int64_t tag) override;
    std::int64_t selectedTag() const override;
    QComboBox* widget() const { return box_; }

private:
    QPointer<QComboBox> box_;
};

// Pages by index, over a tab widget (tabs the user picks) or a stacked widget (pages the pane picks).
class QtTabView final : public TabView {
public:
    explicit QtTabView(QTabWidget* tabs);
    explicit QtTabView(QStackedWidget* stack);
    int selectedIndex() const override;
    void selectTabViewItemAtIndex(int index) override;

private:
    QPointer<QTabWidget> tabs_;
    QPointer<QStackedWidget> stack_;
};

class QtTextField final : public TextField {
public:
    explicit QtTextField(MadeWhenNeeded<QLineEdit> edit, int tag = 0);
    std::string stringValue() const override;
    void setStringValue(const std::string& text) override;
    std::string placeholderString() const override;
    // The field edits while it has the keyboard focus.
    bool hasFieldEditor() const override;
    int tag() const override { return tag_; }

private:
    MadeWhenNeeded<QLineEdit> edit_;
    int tag_;
};

// Attributed titles turn the button into a flat link: the title's colour and underline, and the
// alternate title's colour while it is pressed.
class QtButton final : public Button {
public:
    explicit QtButton(QPushButton* button, int tag = 0);
    std::string title() const override;
    void setAttributedTitle(const AttributedString& title) override;
    void setAttributedAlternateTitle(const AttributedString& title) override;
    int tag() const override { return tag_; }
    QPushButton* widget() const { return button_; }

private:
    void applyStyle();

    QPointer<QPushButton> button_;
    int tag_;
    std::optional<AttributedString> normal_, pressed_;
};

// A panel is a dialog; the host runs it window-modally.
class QtPanel final : public Panel {
public:
    explicit QtPanel(MadeWhenNeeded<QDialog> dialog);
    void setHidden(bool hidden) override;
    QDialog* dialog() const { return dialog_.get(); }

private:
    MadeWhenNeeded<QDialog> dialog_;
};

// A flat list: the rows are the root's children, titled by the data source's object value. Until
// it has a tree (the window makes the Buttons tab when it is first shown) it keeps the rows and the
// selection itself, and shows them in the tree once it is given one.
class QtOutlineView final : public OutlineView {
public:
    explicit QtOutlineView(QTreeWidget* tree = nullptr);
    ~QtOutlineView() override;
    void attach(QTreeWidget* tree);
    void setDataSource(OutlineViewDataSource* dataSource) override { dataSource_ = dataSource; }
    void setDelegate(OutlineViewDelegate* delegate) override { delegate_ = delegate; }
    // Keeps the selected row while it still exists; the delegate hears when the selection changed.
    void reloadData() override;
    int selectedRow() const override;
    void selectRow(int row) override;
    // The item of a row as the data source gave it (absent outside the rows).
    Value itemAtRow(int row) const;

private:
    void fillTree();

    QPointer<QTreeWidget> tree_;
    OutlineViewDataSource* dataSource_ = nullptr;
    OutlineViewDelegate* delegate_ = nullptr;
    std::vector<Value> items_;
    int selected_ = -1;  // while there is no tree
    std::unique_ptr<QObject> context_;  // receiver of the tree's signals; dies with this outlet
};

// The colour of an attributed title as a Qt style-sheet colour, e.g. "rgba(26, 26, 255, 255)".
std::string styleSheetColor(const Color& color);

}  // namespace quillon
