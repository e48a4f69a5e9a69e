// The pane's outlets over Qt Widgets.
#include "adapters/qt/qt_outlets.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>

#include "adapters/qt/quillon_path_view.h"

namespace quillon {

namespace {

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

int channel(double value) {
    return static_cast<int>(std::lround(std::clamp(value, 0.0, 1.0) * 255));
}

}  // namespace

std::string styleSheetColor(const Color& color) {
    return "rgba(" + std::to_string(channel(color.red)) + ", " +
           std::to_string(channel(color.green)) + ", " + std::to_string(channel(color.blue)) +
           ", " + std::to_string(channel(color.alpha)) + ")";
}

// View

QtView::QtView(QWidget* widget) : widget_(widget) {}

Rect QtView::frame() const {
    if (!widget_) return {};
    QRect r = widget_->geometry();
    return Rect{double(r.x()), double(r.y()), double(r.width()), double(r.height())};
}

void QtView::setFrame(const Rect& frame) {
    if (!widget_) return;
    widget_->setGeometry(
        static_cast<int>(std::lround(frame.x)), static_cast<int>(std::lround(frame.y)),
        static_cast<int>(std::lround(frame.width)), static_cast<int>(std::lround(frame.height)));
}

bool QtView::isHidden() const {
    return !widget_ || widget_->isHidden();
}

void QtView::setHidden(bool hidden) {
    if (widget_) widget_->setHidden(hidden);
}

void QtView::addSubview(View& subview) {
    auto* child = dynamic_cast<QtView*>(&subview);
    if (!widget_ || !child || !child->widget()) return;
    QRect geometry = child->widget()->geometry();
    child->widget()->setParent(widget_);
    child->widget()->setGeometry(geometry);
    child->widget()->show();
}

// Indicator

QtIndicatorView::QtIndicatorView(QuillonPathView* widget) : widget_(widget) {}

void QtIndicatorView::setHidden(bool hidden) {
    if (widget_) widget_->setHidden(hidden);
}

void QtIndicatorView::setAnimated(bool animated) {
    if (widget_) widget_->setAnimated(animated);
}

// Pop-up button

QtPopUpButton::QtPopUpButton(QComboBox* box) : box_(box) {}

void QtPopUpButton::removeAllItems() {
    if (box_) box_->clear();
}

void QtPopUpButton::addItem(const std::string& title, std::int64_t tag) {
    if (box_) box_->addItem(qt(title), QVariant::fromValue<qlonglong>(tag));
}

int QtPopUpButton::numberOfItems() const {
    return box_ ? box_->count() : 0;
}

std::string QtPopUpButton::itemTitle(int index) const {
    return box_ ? box_->itemText(index).toStdString() : std::string();
}

std::int64_t QtPopUpButton::itemTag(int index) const {
    if (!box_ || index < 0 || index >= box_->count()) return -1;
    return box_->itemData(index).toLongLong();
}

bool QtPopUpButton::selectItemWithTag(std::int64_t tag) {
    if (!box_) return false;
    int index = box_->findData(QVariant::fromValue<qlonglong>(tag));
    if (index < 0) return false;
    box_->setCurrentIndex(index);
    return true;
}

std::int64_t QtPopUpButton::selectedTag() const {
    return box_ ? itemTag(box_->currentIndex()) : -1;
}

// Tab view

QtTabView::QtTabView(QTabWidget* tabs) : tabs_(tabs) {}

QtTabView::QtTabView(QStackedWidget* stack) : stack_(stack) {}

int QtTabView::selectedIndex() const {
    if (tabs_) return tabs_->currentIndex();
    if (stack_) return stack_->currentIndex();
    return -1;
}

void QtTabView::selectTabViewItemAtIndex(int index) {
    if (tabs_) tabs_->setCurrentIndex(index);
    if (stack_) stack_->setCurrentIndex(index);
}

// Text field

QtTextField::QtTextField(MadeWhenNeeded<QLineEdit> edit, int tag)
    : edit_(std::move(edit)), tag_(tag) {}

std::string QtTextField::stringValue() const {
    QLineEdit* edit = edit_.get();
    return edit ? edit->text().toStdString() : std::string();
}

void QtTextField::setStringValue(const std::string& text) {
    if (QLineEdit* edit = edit_.get()) edit->setText(qt(text));
}

std::string QtTextField::placeholderString() const {
    QLineEdit* edit = edit_.get();
    return edit ? edit->placeholderText().toStdString() : std::string();
}

bool QtTextField::hasFieldEditor() const {
    // A field not made yet edits nothing; asking must not make it.
    QLineEdit* edit = edit_.ifMade();
    return edit && edit->hasFocus();
}

// Button

QtButton::QtButton(QPushButton* button, int tag) : button_(button), tag_(tag) {}

std::string QtButton::title() const {
    return button_ ? button_->text().toStdString() : std::string();
}

void QtButton::setAttributedTitle(const AttributedString& title) {
    normal_ = title;
    applyStyle();
}

void QtButton::setAttributedAlternateTitle(const AttributedString& title) {
    pressed_ = title;
    applyStyle();
}

void QtButton::applyStyle() {
    if (!button_ || !normal_) return;
    auto rule = [](const AttributedString& title) {
        std::string css;
        if (title.foregroundColor)
            css += "color: " + styleSheetColor(*title.foregroundColor) + "; ";
        css += title.underlineStyle ? "text-decoration: underline; " : "text-decoration: none; ";
        return css;
    };
    std::string css = "QPushButton { border: none; background: transparent; padding: 2px 4px; " +
                      rule(*normal_) + "}";
    if (pressed_) css += " QPushButton:pressed { " + rule(*pressed_) + "}";
    button_->setText(qt(normal_->text));
    button_->setFlat(true);
    button_->setCursor(Qt::PointingHandCursor);
    button_->setStyleSheet(qt(css));
    if (normal_->link) button_->setToolTip(qt(*normal_->link));
}

// Panel

QtPanel::QtPanel(MadeWhenNeeded<QDialog> dialog) : dialog_(std::move(dialog)) {}

void QtPanel::setHidden(bool hidden) {
    // Hiding a panel not made yet leaves it unmade.
    if (QDialog* dialog = hidden ? dialog_.ifMade() : dialog_.get()) dialog->setHidden(hidden);
}

// Outline view

QtOutlineView::QtOutlineView(QTreeWidget* tree) : context_(std::make_unique<QObject>()) {
    attach(tree);
}

QtOutlineView::~QtOutlineView() = default;

void QtOutlineView::attach(QTreeWidget* tree) {
    if (!tree || tree_) return;
    tree_ = tree;
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setRootIsDecorated(false);
    {
        QSignalBlocker quiet(tree_);
        fillTree();
    }
    QObject::connect(tree_, &QTreeWidget::itemSelectionChanged, context_.get(), [this] {
        if (delegate_) delegate_->outlineViewSelectionDidChange(*this);
    });
}

void QtOutlineView::fillTree() {
    tree_->clear();
    for (const Value& item : items_) {
        const Value title =
            dataSource_ ? dataSource_->outlineViewObjectValue(*this, "name", item) : Value();
        tree_->addTopLevelItem(new QTreeWidgetItem(QStringList{qt(title.asString())}));
    }
    if (selected_ >= 0) tree_->setCurrentItem(tree_->topLevelItem(selected_));
}

void QtOutlineView::reloadData() {
    const int before = selectedRow();
    items_.clear();
    if (dataSource_) {
        const int count = std::max(0, dataSource_->outlineViewNumberOfChildrenOfItem(*this, Value()));
        for (int i = 0; i < count; ++i)
            items_.push_back(dataSource_->outlineViewChildOfItem(*this, i, Value()));
    }
    selected_ = before >= 0 && before < static_cast<int>(items_.size()) ? before : -1;
    if (tree_) {
        QSignalBlocker quiet(tree_);
        fillTree();
    }
    // The kept row may now be another control (another device's list): the delegate always hears
    // the selection that remains, so that the pane's action index follows it.
    if (delegate_) delegate_->outlineViewSelectionDidChange(*this);
}

int QtOutlineView::selectedRow() const {
    if (!tree_) return selected_;
    const auto selected = tree_->selectedItems();
    return selected.isEmpty() ? -1 : tree_->indexOfTopLevelItem(selected.front());
}

void QtOutlineView::selectRow(int row) {
    if (!tree_) {
        const int kept = row >= 0 && row < static_cast<int>(items_.size()) ? row : -1;
        if (kept == selected_) return;
        selected_ = kept;
        if (delegate_) delegate_->outlineViewSelectionDidChange(*this);
        return;
    }
    QTreeWidgetItem* item = row >= 0 ? tree_->topLevelItem(row) : nullptr;
    if (item)
        tree_->setCurrentItem(item);
    else
        tree_->clearSelection();
}

Value QtOutlineView::itemAtRow(int row) const {
    return row >= 0 && row < static_cast<int>(items_.size()) ? items_[static_cast<std::size_t>(row)]
                                                             : Value();
}

}  // namespace quillon
