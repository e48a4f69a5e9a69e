// Keystroke capture: the hook's switch, when key presses are recorded, and where they go.
#include "pane/quillon_mouse_pane.h"
#include "prefs/command_table.h"

namespace quillon {

void QuillonMousePane::exchangeKeyEventMethods(bool hooked) {
    // The hook itself only toggles, so a second show (or a hide without a show) must not reach it.
    if (hooked == fKeyEventsHooked) return;
    services_.keyEventHook.exchangeKeyEventMethods();
    fKeyEventsHooked = hooked;
}

bool QuillonMousePane::overrideKeysIsActive() {
    if (!host().isWindowKey()) return false;
    if (iboOptionsFieldKeystroke && iboOptionsFieldKeystroke->hasFieldEditor()) return true;
    return fMacroViewController && fMacroViewController->overrideKeyEvents();
}

void QuillonMousePane::receiveKeystroke(std::uint8_t keyCode, std::uint16_t modifiers) {
    DictRef current = action();
    std::int64_t command = current ? current->integer("command") : kCommandNone;
    if (command == kCommandMacro) {
        if (fMacroViewController) fMacroViewController->receiveKeystroke(keyCode, modifiers);
    } else if (command == kCommandKey) {
        // Two observed stores, key code first: the editor shows the new key with the old mask
        // in between, as the change handler expects.
        current->set("keyCode", Integer(keyCode));
        current->set("modifiers", Integer(modifiers));
    }
}

}  // namespace quillon
