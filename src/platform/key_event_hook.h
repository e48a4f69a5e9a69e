// The switch that routes the application's key events through the pane's keystroke capture.
#pragma once

namespace quillon {

class KeyEventHook {
public:
    virtual ~KeyEventHook() = default;
    // Turns the routing on when it is off and off when it is on; two calls restore the start.
    virtual void exchangeKeyEventMethods() = 0;
};

}  // namespace quillon
