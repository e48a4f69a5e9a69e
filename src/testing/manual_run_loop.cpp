// A run loop for tests: a virtual clock that moves only when told, and turns run one at a time.
#include "testing/manual_run_loop.h"

#include <algorithm>

namespace quillon::testing {

struct ManualRunLoop::Timer final : RunLoopTimer {
    Timer(double startTime, double period, std::function<void()> fn)
        : start(startTime), interval(period), action(std::move(fn)) {}
    void invalidate() override { valid = false; }
    bool isValid() const override { return valid; }

    // Tick n is due at start + n * interval, so repeated ticks do not pile up rounding errors.
    double dueOfTick(std::uint64_t n) const { return start + static_cast<double>(n) * interval; }

    double start;
    double interval;
    std::function<void()> action;
    std::uint64_t ticks = 0;
    bool valid = true;
};

ManualRunLoop::ManualRunLoop() = default;
ManualRunLoop::~ManualRunLoop() = default;

std::shared_ptr<RunLoopTimer> ManualRunLoop::scheduleRepeatingTimer(double interval,
                                                                    std::function<void()> action) {
    if (!(interval >= kMinimumInterval)) interval = kMinimumInterval;  // also catches NaN
    auto timer = std::make_shared<Timer>(now_, interval, std::move(action));
    schedule(timer->dueOfTick(1), Event{{}, timer});
    return timer;
}

void ManualRunLoop::performAfterDelay(double delay, std::function<void()> action) {
    schedule(now_ + (delay > 0 ? delay : 0), Event{std::move(action), nullptr});
}

void ManualRunLoop::performLater(std::function<void()> action) {
    deferred_.push_back(std::move(action));
}

void ManualRunLoop::schedule(double due, Event event) {
    events_.emplace(EventKey{due, sequence_++}, std::move(event));
}

void ManualRunLoop::advance(double seconds) {
    const double target = now_ + (seconds > 0 ? seconds : 0);
    while (!events_.empty() && events_.begin()->first.first <= target) {
        auto node = events_.extract(events_.begin());
        now_ = std::max(now_, node.key().first);
        Event event = std::move(node.mapped());
        if (event.timer) {
            // The loop holds the timer while its action runs, so the action may drop or
            // invalidate it; the next tick is booked first and skipped if it was invalidated.
            if (!event.timer->valid) continue;
            ++event.timer->ticks;
            schedule(event.timer->dueOfTick(event.timer->ticks + 1), Event{{}, event.timer});
            event.timer->action();
        } else if (event.action) {
            event.action();
        }
    }
    now_ = std::max(now_, target);
}

std::size_t ManualRunLoop::runPending() {
    std::vector<std::function<void()>> turn;
    turn.swap(deferred_);
    for (auto& action : turn) {
        if (action) action();
    }
    return turn.size();
}

std::size_t ManualRunLoop::runUntilIdle(std::size_t maxTurns) {
    std::size_t turns = 0;
    while (!deferred_.empty() && turns < maxTurns) {
        runPending();
        ++turns;
    }
    return turns;
}

std::size_t ManualRunLoop::scheduledCount() const {
    return static_cast<std::size_t>(
        std::count_if(events_.begin(), events_.end(),
                      [](const auto& entry) { return !entry.second.timer || entry.second.timer->valid; }));
}

}  // namespace quillon::testing
