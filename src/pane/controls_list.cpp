// The controls list: the current device's assignable controls, one flat row each.
#include "pane/quillon_mouse_pane.h"

namespace quillon {

namespace {

ArrayRef assignmentsOf(const DictRef& deviceInfo) {
    return deviceInfo ? deviceInfo->array("assignments") : nullptr;
}

}  // namespace

int QuillonMousePane::outlineViewNumberOfChildrenOfItem(OutlineView&, const Value& item) {
    ArrayRef assignments = assignmentsOf(fDeviceInfo);
    return item.isAbsent() && assignments ? static_cast<int>(assignments->size()) : 0;
}

bool QuillonMousePane::outlineViewIsItemExpandable(OutlineView&, const Value& item) {
    return item.isAbsent();
}

Value QuillonMousePane::outlineViewChildOfItem(OutlineView&, int index, const Value& item) {
    ArrayRef assignments = assignmentsOf(fDeviceInfo);
    if (!item.isAbsent() || !assignments || index < 0) return Value();
    return assignments->at(static_cast<std::size_t>(index));
}

Value QuillonMousePane::outlineViewObjectValue(OutlineView&, const std::string&,
                                               const Value& item) {
    DictRef control = item.dictionary();
    // The device table's names are texts of ours, shown in the user's language.
    return control ? Value(localized(control->string("name"))) : Value(std::string());
}

bool QuillonMousePane::outlineViewShouldEditTableColumn(OutlineView&, const std::string&,
                                                        const Value&) {
    return false;
}

void QuillonMousePane::outlineViewSelectionDidChange(OutlineView& view) {
    int row = view.selectedRow();
    ArrayRef assignments = assignmentsOf(fDeviceInfo);
    DictRef control = row >= 0 && assignments
                          ? assignments->at(static_cast<std::size_t>(row)).dictionary()
                          : nullptr;
    setUiValue("actionIndex", Integer(control ? control->integer("index") : -1));
}

}  // namespace quillon
