// The macro editor as the pane sees it: a view to place and the macro action to edit.
#pragma once

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
};

// Builds the macro editor from the named layout in the pane's bundle.
using MacroEditorFactory = std::function<std::unique_ptr<MacroEditor>(const std::string& layoutName,
                                                                      const Bundle& bundle)>;

}  // namespace quillon
