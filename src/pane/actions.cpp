// The table of the operations that the window's controls send, by name.
#include "pane/quillon_mouse_pane.h"

namespace quillon {

const std::map<std::string, QuillonMousePane::Action, std::less<>>& QuillonMousePane::actions() {
    // One line per operation; a control naming an operation that is not here sends nothing.
    static const std::map<std::string, Action, std::less<>> table = {
        {"ibaModalButtonPressed", &QuillonMousePane::ibaModalButtonPressed},
        {"ibaOptionsItemNew", &QuillonMousePane::ibaOptionsItemNew},
        {"ibaOptionsItemDelete", &QuillonMousePane::ibaOptionsItemDelete},
        {"ibaOptionsItemRename", &QuillonMousePane::ibaOptionsItemRename},
        {"ibaOptionsButtonDefaults", &QuillonMousePane::ibaOptionsButtonDefaults},
        {"ibaOptionsItemExport", &QuillonMousePane::ibaOptionsItemExport},
        {"ibaOptionsItemExportAll", &QuillonMousePane::ibaOptionsItemExportAll},
        {"ibaOptionsItemImport", &QuillonMousePane::ibaOptionsItemImport},
        {"ibaOptionsMenuAction", &QuillonMousePane::ibaOptionsMenuAction},
        {"ibaOptionsButtonChooseApp", &QuillonMousePane::ibaOptionsButtonChooseApp},
        {"ibaOptionsButtonChooseItem", &QuillonMousePane::ibaOptionsButtonChooseItem},
        {"ibaOptionsButtonChooseScript", &QuillonMousePane::ibaOptionsButtonChooseScript},
        {"ibaOptionsMenuExtraKeys", &QuillonMousePane::ibaOptionsMenuExtraKeys},
    };
    return table;
}

}  // namespace quillon
