// The macro editor as the pane sees it: a view to place, the macro action to edit, and the
// keystrokes recorded into its steps.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/outlets.h"
#include "plist/bundle.h"
#include "plist/value.h"

namespace quillon {

class MacroEditor {
public:
    virtual ~MacroEditor() = default;
    // The editor's view, to be placed in the pane's macro frame.
    virtual View& view() = 0;
    // Edits the macro of action from now on; nullptr shows nothing.
    virtual void setMacroAction(DictRef action) = 0;
    // True while a keystroke step is being edited, so that key presses are recorded into it.
    virtual bool overrideKeyEvents() = 0;
    // Records a keystroke into the keystroke step being edited; dropped when there is none.
    virtual void receiveKeystroke(std::uint8_t keyCode, std::uint16_t modifiers) = 0;
};

// Builds the macro editor from the named layout in the pane's bundle.
using MacroEditorFactory = std::function<std::unique_ptr<MacroEditor>(const std::string& layoutName,
                                                                      const Bundle& bundle)>;

}  // namespace quillon
