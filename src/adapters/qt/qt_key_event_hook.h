// The key-event hook as an application-wide Qt event filter, which sees key presses and shortcut
// overrides before any widget does.
#pragma once

#include <memory>

#include "platform/key_event_hook.h"

class QObject;

namespace quillon {

// Made after the QApplication. For now the filter lets every event through.
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

}  // namespace quillon
