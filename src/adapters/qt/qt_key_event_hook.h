// The key-event hook as an application-wide Qt event filter, which sees key presses and shortcut
// overrides before any widget does.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "platform/key_event_hook.h"

class QKeyEvent;
class QObject;

namespace quillon {

// Made after the QApplication. While routing, and while the shared pane records a keystroke,
// every key press and shortcut override goes to the pane instead of the window (Tab, Return,
// Escape, shortcuts and mnemonics included) and input methods are off. Key releases, presses of a
// modifier key alone, and everything while nothing is recorded pass unchanged.
class QtKeyEventHook final : public KeyEventHook {
public:
    QtKeyEventHook();
    ~QtKeyEventHook() override;
    QtKeyEventHook(const QtKeyEventHook&) = delete;
    QtKeyEventHook& operator=(const QtKeyEventHook&) = delete;

    // Installs the filter on the application when it is not installed, else removes it.
    void exchangeKeyEventMethods() override;
    bool isRouting() const { return filter_ != nullptr; }
    // Key events the filter has seen while installed.
    int keyEventsSeen() const;

private:
    class Filter;
    std::unique_ptr<Filter> filter_;
    int seenBefore_ = 0;
};

// The key code (from the native scan code, an X key code) and modifier mask a key press records;
// nothing for a key that has no virtual key code.
std::optional<std::pair<std::uint8_t, std::uint16_t>> keystrokeOfKeyEvent(const QKeyEvent& event);
// True for a press of Shift, Control, Option, Command, Caps Lock or another modifier key alone.
bool isModifierKeyEvent(const QKeyEvent& event);

}  // namespace quillon
