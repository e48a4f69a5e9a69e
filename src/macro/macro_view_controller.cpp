// The macro editor's controller: tree, list questions, buttons, cells, delays and keystrokes.
#include "macro/macro_view_controller.h"

#include <optional>
#include <utility>

#include "keyboard/key_names.h"
#include "prefs/command_table.h"

namespace quillon {
namespace {

constexpr std::string_view kBranch = "branch";
constexpr std::string_view kLeaf = "leaf";
constexpr std::string_view kStepColumn = "step";
constexpr std::string_view kStepFieldIdentifier = "QUStepField";

bool isNode(const Dictionary* node, std::string_view type) {
    return node && node->string("type") == type;
}

// Position of the container held by item in list, by identity: equal content never matches.
std::optional<std::size_t> indexOfIdentity(const Array& list, const void* item) {
    if (!item) return std::nullopt;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Value& value = list.at(i);
        const void* held = value.arrayPtr() ? static_cast<const void*>(value.arrayPtr())
                                            : static_cast<const void*>(value.dictionaryPtr());
        if (held == item) return i;
    }
    return std::nullopt;
}

ArrayRef newList(std::size_t capacity) {
    ArrayRef list = Array::create();
    list->reserve(capacity);
    return list;
}

}  // namespace

std::string keystrokeStepText(const Dictionary& step) {
    std::int64_t keyCode = step.integer("keyCode");
    std::int64_t modifiers = step.integer("modifiers");
    if (keyCode == 65535 && modifiers == 0) return {};
    return keystrokeString(static_cast<std::uint8_t>(keyCode & 0xFF),
                           static_cast<std::uint16_t>(modifiers & 0xFFFF));
}

QUMacroViewController::QUMacroViewController(std::shared_ptr<const Bundle> bundle)
    : bundle_(std::move(bundle)), tree_(newList(6)) {}

std::string QUMacroViewController::localized(std::string_view key) const {
    return bundle_ ? bundle_->localizedString(key, "Localizable") : std::string(key);
}

void QUMacroViewController::setMacroAction(DictRef action) {
    macroAction_ = std::move(action);
    observeValueForKeyPath("macroAction");
}

void QUMacroViewController::observeValueForKeyPath(std::string_view keyPath) {
    if (disableObserver > 0) return;
    ++disableObserver;
    if (keyPath == "macroAction") rebuildStepsList();
    --disableObserver;
}

ArrayRef QUMacroViewController::currentMacro() {
    if (!macroAction_ || macroAction_->integer("command") != kCommandMacro) return nullptr;
    const Value& macro = macroAction_->get("macro");
    if (ArrayRef list = macro.array()) return list;
    // Something else from the file stays as it is until the user edits this macro.
    if (macro.isPresent()) return nullptr;
    ArrayRef fresh = newList(4);
    macroAction_->set("macro", fresh);
    return fresh;
}

ArrayRef QUMacroViewController::editableMacro() {
    if (!macroAction_ || macroAction_->integer("command") != kCommandMacro) return nullptr;
    bool repaired = false;
    ArrayRef macro = macroAction_->array("macro");
    if (!macro) {
        macro = newList(4);
        macroAction_->set("macro", macro);
        repaired = true;
    }
    // Presses and steps keep their places, so the rows (and the selection) stay where they were.
    for (std::size_t i = 0; i < macro->size(); ++i) {
        ArrayRef press = macro->at(i).array();
        if (!press) {
            macro->set(i, newList(4));
            repaired = true;
            continue;
        }
        for (std::size_t j = 0; j < press->size(); ++j) {
            if (press->at(j).dictionaryPtr()) continue;
            press->set(j, Dictionary::create());
            repaired = true;
        }
    }
    if (repaired) rebuildStepsList();
    return macro;
}

void QUMacroViewController::rebuildStepsList() {
    tree_->clear();
    if (ArrayRef macro = currentMacro()) {
        const std::string pressTitle = localized("Button press #");
        const std::string stepTitle = localized("Step #");
        int pressNumber = 0;
        std::size_t rows = 0;
        for (const Value& press : *macro) {
            if (++rows > maxMacroRows) break;
            ArrayRef children = newList(16);
            if (const Array* steps = press.arrayPtr()) {
                int stepNumber = 0;
                for (const Value& step : *steps) {
                    if (++rows > maxMacroRows) break;
                    DictRef leaf = Dictionary::create(4);
                    leaf->set("type", kLeaf);
                    leaf->set("title", stepTitle + std::to_string(++stepNumber));
                    leaf->set("group", press);
                    leaf->set("step", step);
                    children->append(leaf);
                }
            }
            DictRef branch = Dictionary::create(4);
            branch->set("type", kBranch);
            branch->set("title", pressTitle + std::to_string(++pressNumber));
            branch->set("children", children);
            branch->set("group", press);
            tree_->append(branch);
        }
    }
    if (!macroList_) return;
    macroList_->reloadData();
    if (std::int64_t row = macroList_->selectedRow(); row >= 0) macroList_->scrollRowToVisible(row);
}

std::int64_t QUMacroViewController::rowForGroup(const Value& press) const {
    const Array* wanted = press.arrayPtr();
    if (!macroList_ || !wanted) return kNotFound;
    for (std::int64_t row = 0; row < macroList_->numberOfRows(); ++row) {
        Value item = macroList_->itemAtRow(row);
        const Dictionary* node = item.dictionaryPtr();
        if (isNode(node, kBranch) && node->get("group").arrayPtr() == wanted) return row;
    }
    return kNotFound;
}

std::int64_t QUMacroViewController::rowForStep(const Value& step) const {
    const Dictionary* wanted = step.dictionaryPtr();
    if (!macroList_ || !wanted) return kNotFound;
    for (std::int64_t row = 0; row < macroList_->numberOfRows(); ++row) {
        Value item = macroList_->itemAtRow(row);
        const Dictionary* node = item.dictionaryPtr();
        if (isNode(node, kLeaf) && node->get("step").dictionaryPtr() == wanted) return row;
    }
    return kNotFound;
}

int QUMacroViewController::outlineViewNumberOfChildrenOfItem(const Value& item) const {
    if (item.isAbsent()) return static_cast<int>(tree_->size());
    const Dictionary* node = item.dictionaryPtr();
    const Array* children = node ? node->get("children").arrayPtr() : nullptr;
    return children ? static_cast<int>(children->size()) : 0;
}

bool QUMacroViewController::outlineViewIsItemExpandable(const Value& item) const {
    return item.isAbsent() || isNode(item.dictionaryPtr(), kBranch);
}

Value QUMacroViewController::outlineViewChildOfItem(int index, const Value& item) const {
    if (index < 0) return {};
    if (item.isAbsent()) return tree_->at(static_cast<std::size_t>(index));
    const Dictionary* node = item.dictionaryPtr();
    const Array* children = node ? node->get("children").arrayPtr() : nullptr;
    return children ? children->at(static_cast<std::size_t>(index)) : Value();
}

QUTableCellView QUMacroViewController::outlineViewViewForTableColumn(const std::string& column,
                                                                     const Value& item) const {
    QUTableCellView cell;
    const Dictionary* node = item.dictionaryPtr();
    if (!node) return cell;
    const bool inStepColumn = column == kStepColumn;
    const bool isBranch = isNode(node, kBranch);
    cell.identifier = isBranch ? "HeaderCell" : inStepColumn ? "DataCell" : "TimeCell";
    if (isBranch) {
        if (inStepColumn) cell.text = node->string("title");
        return cell;
    }
    DictRef step = node->dictionary("step");
    cell.step = step;
    if (inStepColumn) {
        // Every field is set, so a cell never shows what it showed for another step.
        cell.icon = StepIcon::Text;
        std::int64_t command = step ? step->integer("command") : kCommandNone;
        if (command == kCommandKey) {
            cell.text = keystrokeStepText(*step);
            cell.icon = StepIcon::Keystroke;
            cell.editable = true;
        } else if (command == kCommandText) {
            cell.text = step->string("text");
            cell.editable = true;
        }
        return cell;
    }
    // A step that is no dictionary has no delay to choose until an edit repairs it.
    if (!step) return cell;
    const std::int64_t wait = step->integer("wait");
    for (const DelayEntry& entry : delayEntries) {
        if (entry.wait == wait) cell.selectedDelay = static_cast<int>(cell.delayItems.size());
        cell.delayItems.emplace_back(localized(entry.title), entry.wait);
    }
    if (cell.selectedDelay < 0) {
        // A delay the menu lacks (written by hand or by another version) is shown as it is.
        std::string title = localized(otherDelayTitle);
        if (auto at = title.find('#'); at != std::string::npos)
            title.replace(at, 1, std::to_string(wait));
        cell.selectedDelay = static_cast<int>(cell.delayItems.size());
        cell.delayItems.emplace_back(std::move(title), wait);
    }
    return cell;
}

Value QUMacroViewController::selectedItem() const {
    if (!macroList_) return {};
    std::int64_t row = macroList_->selectedRow();
    return row >= 0 ? macroList_->itemAtRow(row) : Value();
}

void QUMacroViewController::buttonPressed(int tag) {
    if (tag < kAddButtonPress || tag > kRemove) return;
    // Remove without a selection edits nothing, so it repairs nothing either.
    if (tag == kRemove && selectedItem().isAbsent()) return;
    ArrayRef macro = editableMacro();
    if (!macro) return;
    Value item = selectedItem();
    DictRef node = item.dictionary();
    const bool isBranch = isNode(node.get(), kBranch);
    // The selected item's press, only while it is still part of this macro.
    ArrayRef group = node ? node->array("group") : nullptr;
    std::optional<std::size_t> groupIndex =
        group ? indexOfIdentity(*macro, group.get()) : std::nullopt;

    if (tag == kAddKeystrokeStep || tag == kAddTextStep) {
        if (macro->empty()) {
            macro->append(newList(4));
            rebuildStepsList();
        }
        DictRef step =
            tag == kAddKeystrokeStep
                ? makeDictionary({{"command", Integer(kCommandKey)},
                                  {"keyCode", Integer(255)},
                                  {"modifiers", Integer(0)}})
                : makeDictionary({{"command", Integer(kCommandText)}, {"text", std::string()}});
        if (groupIndex && isBranch) {
            group->insert(0, step);
        } else if (groupIndex) {
            std::optional<std::size_t> at =
                indexOfIdentity(*group, node->get("step").dictionaryPtr());
            group->insert(at ? *at + 1 : group->size(), step);
        } else {
            macro->at(macro->size() - 1).array()->append(step);
        }
        rebuildStepsList();
        if (!macroList_) return;
        if (std::int64_t row = rowForStep(step); row != kNotFound) {
            macroList_->selectRow(row);
            macroList_->editStepColumn(row);
        }
    } else if (tag == kRemove) {
        if (!node || !macroList_) return;
        const std::int64_t selected = macroList_->selectedRow();
        if (groupIndex && isBranch) {
            macro->removeAt(*groupIndex);
        } else if (groupIndex) {
            if (auto at = indexOfIdentity(*group, node->get("step").dictionaryPtr()))
                group->removeAt(*at);
        }
        rebuildStepsList();
        const std::int64_t rows = macroList_->numberOfRows();
        macroList_->selectRow(selected < rows ? selected : rows > 0 ? rows - 1 : -1);
    } else {
        ArrayRef press = newList(4);
        if (!node)
            macro->append(press);
        else
            macro->insert(groupIndex ? *groupIndex + 1 : 0, press);
        rebuildStepsList();
        if (!macroList_) return;
        if (std::int64_t row = rowForGroup(press); row != kNotFound) macroList_->selectRow(row);
    }
}

void QUMacroViewController::popUpMenuSelected(const QUTableCellView& cell, std::int64_t tag) {
    if (DictRef step = cell.step.lock()) step->set("wait", Integer(tag));
}

void QUMacroViewController::controlTextDidChange(std::string_view fieldIdentifier,
                                                 const Value& editedItem, const std::string& text) {
    if (fieldIdentifier != kStepFieldIdentifier) return;
    const Dictionary* node = editedItem.dictionaryPtr();
    DictRef step = node ? node->dictionary("step") : nullptr;
    if (step && step->integer("command") == kCommandText) step->set("text", text);
}

bool QUMacroViewController::overrideKeyEvents() const {
    if (!macroList_) return false;
    std::int64_t row = macroList_->editedRow();
    if (row < 0) return false;
    Value item = macroList_->itemAtRow(row);
    const Dictionary* node = item.dictionaryPtr();
    DictRef step = node ? node->dictionary("step") : nullptr;
    return step && step->integer("command") == kCommandKey;
}

void QUMacroViewController::receiveKeystroke(std::uint8_t keyCode, std::uint16_t modifiers) {
    // The row being edited, not the selection: a click may have moved it while the key came.
    if (!overrideKeyEvents()) return;
    const std::int64_t row = macroList_->editedRow();
    Value item = macroList_->itemAtRow(row);
    DictRef step = item.dictionaryPtr()->dictionary("step");
    step->set("keyCode", Integer(keyCode));
    step->set("modifiers", Integer(modifiers));
    macroList_->reloadStepCell(row);
    macroList_->selectRow(row);
}

}  // namespace quillon
