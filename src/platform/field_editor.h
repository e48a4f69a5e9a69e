// The editor of a text field while the user types into it, as the field's delegate sees it.
#pragma once

#include <string>

namespace quillon {

class FieldEditor {
public:
    virtual ~FieldEditor() = default;
    // Inserts text at the insertion point, replacing any selection, as if the user typed it.
    virtual void insertText(const std::string& text) = 0;
};

}  // namespace quillon
