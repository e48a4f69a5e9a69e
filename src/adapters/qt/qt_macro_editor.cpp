// The macro editor on Qt Widgets: the step list as a tree widget, an editor field per step cell,
// a delay menu per step, and the buttons sending their tags to the controller.
#include "adapters/qt/qt_macro_editor.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <vector>

#include "adapters/qt/qt_outlets.h"
#include "macro/macro_view_controller.h"
#include "prefs/command_table.h"
#include "ui_QUMacroView.h"

namespace quillon {
namespace {

constexpr int kRowRole = Qt::UserRole + 1;
constexpr const char* kStepFieldIdentifier = "QUStepField";

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// An image resource at its two sizes, "Name.png" and "Name@2x.png".
QIcon loadIcon(const Bundle& bundle, const std::string& name) {
    QIcon icon;
    for (const char* suffix : {"", "@2x"})
        if (auto path = bundle.pathForResource(name + suffix, "png"))
            icon.addFile(QString::fromStdString(path->string()));
    return icon;
}

}  // namespace

// The list the controller drives, and everything the view holds.
class QtMacroEditor::List final : public MacroStepList {
public:
    explicit List(std::shared_ptr<const Bundle> bundle);
    ~List() override;
    void loadView();

    void reloadData() override;
    std::int64_t numberOfRows() const override { return std::int64_t(rows_.size()); }
    Value itemAtRow(std::int64_t row) const override {
        return row >= 0 && row < numberOfRows() ? rows_[std::size_t(row)] : Value();
    }
    std::int64_t selectedRow() const override;
    void selectRow(std::int64_t row) override;
    void scrollRowToVisible(std::int64_t row) override;
    void editStepColumn(std::int64_t row) override;
    void reloadStepCell(std::int64_t row) override;
    std::int64_t editedRow() const override;

    QUMacroViewController controller;
    std::unique_ptr<QtView> view;
    QPointer<QWidget> root;
    QPointer<QTreeWidget> tree;
    // The field editing a step cell, and its row.
    QPointer<QLineEdit> editor;
    std::int64_t editorRow = -1;

private:
    class Delegate;
    class Placement;

    std::string localized(const std::string& key) const;
    void localizeLayout();
    void fillStepCell(std::int64_t row);
    void addDelayCell(std::int64_t row);

    std::shared_ptr<const Bundle> bundle_;
    Ui::QUMacroView ui_;
    QIcon keystrokeIcon_, textIcon_;
    std::vector<Value> rows_;
    std::vector<QTreeWidgetItem*> items_;
};

// Step cells are edited in a field of their own: a text step's text goes into the step at every
// change, a keystroke step's field only shows the keystroke the capture records.
class QtMacroEditor::List::Delegate final : public QStyledItemDelegate {
public:
    Delegate(List& list, QObject* parent) : QStyledItemDelegate(parent), list_(list) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        const std::int64_t row = index.data(kRowRole).toLongLong();
        Value node = list_.itemAtRow(row);
        auto* field = new QLineEdit(parent);
        field->setObjectName(kStepFieldIdentifier);
        field->setFrame(false);
        field->setAccessibleName(qs(list_.localized("Step")));
        const Dictionary* nodeDict = node.dictionaryPtr();
        DictRef step = nodeDict ? nodeDict->dictionary("step") : nullptr;
        if (step && step->integer("command") == kCommandKey) {
            field->setReadOnly(true);
            field->setAttribute(Qt::WA_InputMethodEnabled, false);
        } else {
            List* list = &list_;
            // The node is the edited row's own: a click elsewhere meanwhile changes nothing.
            QObject::connect(field, &QLineEdit::textEdited, field, [list, node](const QString& t) {
                list->controller.controlTextDidChange(kStepFieldIdentifier, node, t.toStdString());
            });
        }
        list_.editor = field;
        list_.editorRow = row;
        return field;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* field = static_cast<QLineEdit*>(editor);
        field->setText(index.data(Qt::DisplayRole).toString());
        field->selectAll();
    }
    void setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const override {
        // The step holds the text already; the row shows the step once the editor is gone.
    }
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
        if (editor == list_.editor) {
            list_.editor = nullptr;
            list_.editorRow = -1;
        }
        QStyledItemDelegate::destroyEditor(editor, index);
        // Also after Escape: what was typed is in the step, so the row must show it.
        if (!list_.tree) return;
        List* list = &list_;
        const std::int64_t row = index.data(kRowRole).toLongLong();
        QMetaObject::invokeMethod(
            list_.tree, [list, row] { list->reloadStepCell(row); }, Qt::QueuedConnection);
    }

private:
    List& list_;
};

// Makes the view fill the widget it is placed in, through that widget's layout.
class QtMacroEditor::List::Placement final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ParentChange) return false;
        auto* view = static_cast<QWidget*>(watched);
        QWidget* parent = view->parentWidget();
        if (!parent) return false;
        QLayout* layout = parent->layout();
        if (!layout) {
            layout = new QVBoxLayout(parent);
            layout->setContentsMargins(0, 0, 0, 0);
        }
        if (layout->indexOf(view) < 0) layout->addWidget(view);
        return false;
    }
};

QtMacroEditor::List::List(std::shared_ptr<const Bundle> bundle)
    : controller(bundle), bundle_(std::move(bundle)) {
    controller.setMacroList(this);
}

// The layout is made when the view is first asked for, which the window does once it shows the
// macro's page: until then the list has nothing to show, and the controller keeps the macro.
void QtMacroEditor::List::loadView() {
    if (view) return;
    root = new QWidget;
    ui_.setupUi(root);
    tree = ui_.macroList;
    localizeLayout();
    keystrokeIcon_ = loadIcon(*bundle_, "Keystroke");
    textIcon_ = loadIcon(*bundle_, "Text");

    tree->setColumnCount(2);
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    tree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    tree->setItemDelegateForColumn(0, new Delegate(*this, tree));
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        // Buttons may shrink below their titles: the editor must never widen the frame it is
        // placed in, and so the window, once that is shown.
        button->setMinimumWidth(1);
        const QVariant tag = button->property("tag");
        if (!tag.isValid()) continue;
        QObject::connect(button, &QAbstractButton::clicked, root,
                         [this, tag = tag.toInt()] { controller.buttonPressed(tag); });
    }
    root->installEventFilter(new Placement(root));
    view = std::make_unique<QtView>(root);
    reloadData();
}

QtMacroEditor::List::~List() {
    controller.setMacroList(nullptr);
    // Unplaced, the view is still ours; placed, its widget may have taken it already.
    delete root;
}

std::string QtMacroEditor::List::localized(const std::string& key) const {
    return bundle_->localizedString(key, "Localizable");
}

void QtMacroEditor::List::localizeLayout() {
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        button->setText(qs(localized(button->text().toStdString())));
        button->setAccessibleName(qs(localized(button->accessibleName().toStdString())));
        button->setToolTip(qs(localized(button->toolTip().toStdString())));
    }
    tree->setAccessibleName(qs(localized(tree->accessibleName().toStdString())));
    QTreeWidgetItem* header = tree->headerItem();
    for (int column = 0; column < header->columnCount(); ++column)
        header->setText(column, qs(localized(header->text(column).toStdString())));
}

void QtMacroEditor::List::reloadData() {
    if (!tree) return;
    const std::int64_t selected = selectedRow();
    tree->clear();
    rows_.clear();
    items_.clear();
    const int presses = controller.outlineViewNumberOfChildrenOfItem({});
    for (int i = 0; i < presses; ++i) {
        Value branch = controller.outlineViewChildOfItem(i, {});
        auto* top = new QTreeWidgetItem(tree.data());
        rows_.push_back(branch);
        items_.push_back(top);
        const int steps = controller.outlineViewNumberOfChildrenOfItem(branch);
        for (int j = 0; j < steps; ++j) {
            rows_.push_back(controller.outlineViewChildOfItem(j, branch));
            items_.push_back(new QTreeWidgetItem(top));
        }
    }
    tree->expandAll();
    for (std::int64_t row = 0; row < numberOfRows(); ++row) {
        fillStepCell(row);
        addDelayCell(row);
    }
    selectRow(selected < numberOfRows() ? selected : -1);
}

void QtMacroEditor::List::fillStepCell(std::int64_t row) {
    QTreeWidgetItem* item = items_[std::size_t(row)];
    QUTableCellView cell =
        controller.outlineViewViewForTableColumn("step", rows_[std::size_t(row)]);
    item->setData(0, kRowRole, QVariant::fromValue<qlonglong>(row));
    item->setText(0, qs(cell.text));
    item->setIcon(0, cell.icon == StepIcon::Keystroke ? keystrokeIcon_
                     : cell.icon == StepIcon::Text    ? textIcon_
                                                      : QIcon());
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (cell.editable) flags |= Qt::ItemIsEditable;
    item->setFlags(flags);
}

void QtMacroEditor::List::addDelayCell(std::int64_t row) {
    QUTableCellView cell =
        controller.outlineViewViewForTableColumn("delay", rows_[std::size_t(row)]);
    if (cell.identifier != "TimeCell" || cell.delayItems.empty()) return;
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* popup = new QComboBox(holder);
    popup->setAccessibleName(qs(localized("Delay")));
    for (const auto& [title, tag] : cell.delayItems)
        popup->addItem(qs(title), QVariant::fromValue<qlonglong>(tag));
    popup->setCurrentIndex(cell.selectedDelay);
    layout->addWidget(popup);
    // The cell keeps its own step (weakly), whichever row is selected when the choice lands.
    QObject::connect(popup, &QComboBox::activated, popup, [this, popup, cell](int index) {
        controller.popUpMenuSelected(cell, popup->itemData(index).toLongLong());
    });
    tree->setItemWidget(items_[std::size_t(row)], 1, holder);
}

std::int64_t QtMacroEditor::List::selectedRow() const {
    if (!tree) return -1;
    const QList<QTreeWidgetItem*> selected = tree->selectedItems();
    return selected.isEmpty() ? -1 : selected.first()->data(0, kRowRole).toLongLong();
}

void QtMacroEditor::List::selectRow(std::int64_t row) {
    if (!tree) return;
    if (row < 0 || row >= numberOfRows()) {
        tree->clearSelection();
        return;
    }
    QTreeWidgetItem* item = items_[std::size_t(row)];
    // Selecting the row being edited again must not end its editing.
    if (tree->currentItem() == item && item->isSelected() && tree->selectedItems().size() == 1)
        return;
    tree->setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void QtMacroEditor::List::scrollRowToVisible(std::int64_t row) {
    if (tree && row >= 0 && row < numberOfRows()) tree->scrollToItem(items_[std::size_t(row)]);
}

void QtMacroEditor::List::editStepColumn(std::int64_t row) {
    if (!tree || row < 0 || row >= numberOfRows()) return;
    tree->setFocus();
    tree->editItem(items_[std::size_t(row)], 0);
}

void QtMacroEditor::List::reloadStepCell(std::int64_t row) {
    if (!tree || row < 0 || row >= numberOfRows()) return;
    fillStepCell(row);
    if (editor && editorRow == row) {
        editor->setText(items_[std::size_t(row)]->text(0));
        editor->selectAll();
    }
}

std::int64_t QtMacroEditor::List::editedRow() const {
    return editor && editor->hasFocus() ? editorRow : -1;
}

QtMacroEditor::QtMacroEditor(std::shared_ptr<const Bundle> bundle)
    : list_(std::make_unique<List>(std::move(bundle))) {}

QtMacroEditor::~QtMacroEditor() = default;

View& QtMacroEditor::view() {
    list_->loadView();
    return *list_->view;
}

void QtMacroEditor::setMacroAction(DictRef action) {
    list_->controller.setMacroAction(std::move(action));
}

bool QtMacroEditor::overrideKeyEvents() {
    return list_->controller.overrideKeyEvents();
}

void QtMacroEditor::receiveKeystroke(std::uint8_t keyCode, std::uint16_t modifiers) {
    list_->controller.receiveKeystroke(keyCode, modifiers);
}

QWidget* QtMacroEditor::widget() const {
    list_->loadView();
    return list_->root;
}

QTreeWidget* QtMacroEditor::macroList() const {
    list_->loadView();
    return list_->tree;
}

QUMacroViewController& QtMacroEditor::controller() {
    return list_->controller;
}

std::unique_ptr<MacroEditor> makeQtMacroEditor(const std::string& layoutName,
                                               const Bundle& bundle) {
    if (layoutName != "QUMacroView") return nullptr;
    return std::make_unique<QtMacroEditor>(std::make_shared<Bundle>(bundle));
}

}  // namespace quillon
