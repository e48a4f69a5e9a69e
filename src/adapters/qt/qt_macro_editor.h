// The macro editor on Qt Widgets: the layout "QUMacroView" (step list, delay menus, buttons) over
// the toolkit-free controller of the macro.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/macro_editor.h"

class QTreeWidget;
class QWidget;

namespace quillon {

class QUMacroViewController;

// Made after the QApplication. Its view fills whatever widget it is placed in and is owned by it
// from then on; the editor does nothing more once that widget is gone.
class QtMacroEditor final : public MacroEditor {
public:
    explicit QtMacroEditor(std::shared_ptr<const Bundle> bundle);
    ~QtMacroEditor() override;
    QtMacroEditor(const QtMacroEditor&) = delete;
    QtMacroEditor& operator=(const QtMacroEditor&) = delete;

    View& view() override;
    void setMacroAction(DictRef action) override;
    bool overrideKeyEvents() override;
    void receiveKeystroke(std::uint8_t keyCode, std::uint16_t modifiers) override;

    // The pieces tests and tools look at.
    QWidget* widget() const;
    QTreeWidget* macroList() const;
    QUMacroViewController& controller();

private:
    class List;
    std::unique_ptr<List> list_;
};

// The factory the pane is given: the editor for the layout "QUMacroView", nothing for another.
std::unique_ptr<MacroEditor> makeQtMacroEditor(const std::string& layoutName, const Bundle& bundle);

}  // namespace quillon
