// The main run loop as the system sees it: repeating timers, delayed calls and calls deferred to a
// later turn. Everything the system does runs on this one loop; there are no threads and no locks.
#pragma once

#include <functional>
#include <memory>

namespace quillon {

// A repeating timer scheduled on the run loop.
class RunLoopTimer {
public:
    virtual ~RunLoopTimer() = default;
    // Stops the timer for good; its action never runs again, not even if a tick is already due.
    virtual void invalidate() = 0;
    // True until invalidate() has been called.
    virtual bool isValid() const = 0;
};

class RunLoop {
public:
    virtual ~RunLoop() = default;
    // Runs action every interval seconds, first after one interval, until the timer is invalidated.
    virtual std::shared_ptr<RunLoopTimer> scheduleRepeatingTimer(double interval,
                                                                 std::function<void()> action) = 0;
    // Runs action once, delay seconds from now, on the loop.
    virtual void performAfterDelay(double delay, std::function<void()> action) = 0;
    // Runs action on a later turn of the loop, never inside the caller.
    virtual void performLater(std::function<void()> action) = 0;
};

}  // namespace quillon
