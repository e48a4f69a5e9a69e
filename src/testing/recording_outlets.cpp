// Outlets that keep what the pane did to them.
#include "testing/recording_outlets.h"

namespace quillon::testing {

bool RecordingPopUpButton::selectItemWithTag(std::int64_t tag) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].second == tag) {
            selected = static_cast<int>(i);
            return true;
        }
    return false;
}

std::vector<std::string> RecordingPopUpButton::titles() const {
    std::vector<std::string> result;
    for (const auto& item : items)
        result.push_back(item.first);
    return result;
}

void RecordingOutlineView::reloadData() {
    ++reloads;
    rows.clear();
    if (!dataSource) return;
    int count = dataSource->outlineViewNumberOfChildrenOfItem(*this, Value());
    for (int i = 0; i < count; ++i) {
        Value item = dataSource->outlineViewChildOfItem(*this, i, Value());
        rows.push_back(dataSource->outlineViewObjectValue(*this, "name", item).asString());
    }
    // A reload keeps the selected row only while it still exists.
    int before = selected;
    if (selected >= count) selected = -1;
    if (delegate && before != selected) delegate->outlineViewSelectionDidChange(*this);
}

void RecordingOutlineView::selectRow(int row) {
    selected = row;
    if (delegate) delegate->outlineViewSelectionDidChange(*this);
}

}  // namespace quillon::testing
