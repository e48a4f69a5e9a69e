// A run loop for tests: a virtual clock that moves only when told, and turns run one at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/run_loop.h"

namespace quillon::testing {

// Nothing runs by itself: advance() moves the clock and runs what comes due, runPending() runs
// one turn of deferred calls. Timers stay scheduled until invalidated, whether or not anyone still
// holds them, as on the real loop.
class ManualRunLoop final : public RunLoop {
public:
    ManualRunLoop();
    ~ManualRunLoop() override;
    ManualRunLoop(const ManualRunLoop&) = delete;
    ManualRunLoop& operator=(const ManualRunLoop&) = delete;

    // Intervals below kMinimumInterval are raised to it, so a zero interval cannot spin forever.
    static constexpr double kMinimumInterval = 0.0001;

    std::shared_ptr<RunLoopTimer> scheduleRepeatingTimer(double interval,
                                                         std::function<void()> action) override;
    void performAfterDelay(double delay, std::function<void()> action) override;
    void performLater(std::function<void()> action) override;

    // Seconds since the loop was made.
    double now() const { return now_; }
    // Moves the clock forward by seconds, running every timer tick and delayed call that comes
    // due, in time order (same time: in the order they were scheduled), the clock reading each
    // one's due time while it runs. Deferred calls are left for runPending().
    void advance(double seconds);
    // Runs the deferred calls queued before this call, in order; calls they queue wait for the
    // next turn. Returns how many ran.
    std::size_t runPending();
    // Runs turns until no deferred call is left, at most maxTurns; returns the turns run.
    std::size_t runUntilIdle(std::size_t maxTurns = 1000);

    // Deferred calls waiting for the next turn.
    std::size_t pendingCount() const { return deferred_.size(); }
    // Delayed calls and valid timers still scheduled.
    std::size_t scheduledCount() const;

private:
    struct Timer;
    struct Event {
        std::function<void()> action;        // a delayed call, or
        std::shared_ptr<Timer> timer;        // a timer tick
    };
    using EventKey = std::pair<double, std::uint64_t>;  // due time, scheduling order

    void schedule(double due, Event event);

    double now_ = 0;
    std::uint64_t sequence_ = 0;
    std::map<EventKey, Event> events_;
    std::vector<std::function<void()>> deferred_;
};

}  // namespace quillon::testing
