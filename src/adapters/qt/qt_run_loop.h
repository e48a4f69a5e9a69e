// The run loop on Qt's event loop: QTimer for timers and delayed calls, queued calls for later turns.
#pragma once

#include <functional>
#include <memory>

#include "platform/run_loop.h"

class QObject;

namespace quillon {

// Made and used on the thread that runs the Qt event loop. Destroying it cancels its timers and
// every call not yet run.
class QtRunLoop final : public RunLoop {
public:
    QtRunLoop();
    ~QtRunLoop() override;
    QtRunLoop(const QtRunLoop&) = delete;
    QtRunLoop& operator=(const QtRunLoop&) = delete;

    std::shared_ptr<RunLoopTimer> scheduleRepeatingTimer(double interval,
                                                         std::function<void()> action) override;
    void performAfterDelay(double delay, std::function<void()> action) override;
    void performLater(std::function<void()> action) override;

private:
    // Parent of the timers and receiver of the queued calls, so that they die with the loop.
    std::unique_ptr<QObject> context_;
};

// Seconds as whole milliseconds for Qt, at least minimumMs, at most INT_MAX; NaN gives minimumMs.
int qtMilliseconds(double seconds, int minimumMs);

}  // namespace quillon
