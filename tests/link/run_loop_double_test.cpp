// The manual run loop and the in-memory bus: the time and turn semantics other tests rely on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/in_memory_notification_center.h"
#include "testing/manual_run_loop.h"

namespace quillon::testing {
namespace {

TEST(manual_run_loop, runs_timers_and_delayed_calls_in_time_order) {
    ManualRunLoop loop;
    std::vector<std::string> log;
    auto record = [&](std::string what) {
        return [&log, &loop, what] { log.push_back(what + "@" + std::to_string(loop.now())); };
    };
    auto poll = loop.scheduleRepeatingTimer(1.0, record("poll"));
    loop.performAfterDelay(0.5, record("half"));
    // Due with the second tick, and booked before it (a tick is booked when the one before runs).
    loop.performAfterDelay(2.0, record("two"));
    loop.advance(0.4);
    EXPECT_TRUE(log.empty());
    loop.advance(2.1);
    EXPECT_EQ(log, (std::vector<std::string>{"half@0.500000", "poll@1.000000", "two@2.000000",
                                             "poll@2.000000"}));
    EXPECT_DOUBLE_EQ(loop.now(), 2.5);
    EXPECT_EQ(loop.scheduledCount(), 1u);  // only the timer is left
}

TEST(manual_run_loop, keeps_ticking_without_a_holder_and_stops_for_good_on_invalidate) {
    ManualRunLoop loop;
    int dropped = 0;
    loop.scheduleRepeatingTimer(0.04, [&] { ++dropped; });
    loop.advance(1.0);
    EXPECT_EQ(dropped, 25);  // 0.04 s ticks do not drift over a second

    // Invalidated from inside its own action, and a second timer due at the same moment
    // invalidated by the first: neither runs again.
    std::shared_ptr<RunLoopTimer> self, other;
    int selfTicks = 0, otherTicks = 0;
    self = loop.scheduleRepeatingTimer(1.0, [&] {
        ++selfTicks;
        other->invalidate();
        self->invalidate();
        self.reset();  // dropping the last holder inside the action is allowed
    });
    other = loop.scheduleRepeatingTimer(1.0, [&] { ++otherTicks; });
    loop.advance(5.0);
    EXPECT_EQ(selfTicks, 1);
    EXPECT_EQ(otherTicks, 0);
    EXPECT_FALSE(other->isValid());
}

TEST(manual_run_loop, defers_calls_to_a_later_turn_only) {
    ManualRunLoop loop;
    std::vector<int> order;
    loop.performLater([&] {
        order.push_back(1);
        loop.performLater([&] { order.push_back(3); });  // waits for the next turn
    });
    loop.performLater([&] { order.push_back(2); });
    loop.advance(10);  // time does not run deferred calls
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(loop.runPending(), 2u);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(loop.pendingCount(), 1u);
    EXPECT_EQ(loop.runUntilIdle(), 1u);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(manual_run_loop, a_zero_interval_cannot_spin_forever) {
    ManualRunLoop loop;
    int ticks = 0;
    loop.scheduleRepeatingTimer(0, [&] { ++ticks; });
    loop.advance(0.001);
    EXPECT_EQ(ticks, 10);
}

TEST(in_memory_notification_center, delivers_on_a_later_turn_to_observers_of_the_name) {
    ManualRunLoop loop;
    InMemoryNotificationCenter center(loop);
    std::vector<std::string> got;
    center.addObserver("a", [&](const std::string& name, const std::string& object) {
        got.push_back(name + ":" + object);
    });
    center.addObserver("b", [&](const std::string&, const std::string& object) {
        got.push_back("b-observer:" + object);
    });
    center.postNotification("a", "1");
    center.receive("a", "from elsewhere");
    EXPECT_TRUE(got.empty());  // never inside the post
    loop.runPending();
    EXPECT_EQ(got, (std::vector<std::string>{"a:1", "a:from elsewhere"}));
    EXPECT_EQ(center.posted(), (std::vector<InMemoryNotificationCenter::Posted>{{"a", "1"}}));
    EXPECT_EQ(center.postedUnder("b").size(), 0u);
}

TEST(in_memory_notification_center, delivers_only_to_observers_registered_at_post_and_still_there) {
    ManualRunLoop loop;
    InMemoryNotificationCenter center(loop);
    int early = 0, late = 0, removed = 0, selfRemoving = 0;
    center.addObserver("n", [&](const std::string&, const std::string&) { ++early; });
    const auto gone = center.addObserver("n", [&](const std::string&, const std::string&) {
        ++removed;
    });
    DistributedNotificationCenter::ObserverId self = 0;
    self = center.addObserver("n", [&](const std::string&, const std::string&) {
        ++selfRemoving;
        center.removeObserver(self);
    });
    center.postNotification("n", "x");
    center.postNotification("n", "y");
    center.addObserver("n", [&](const std::string&, const std::string&) { ++late; });
    center.removeObserver(gone);
    center.removeObserver(9999);  // unknown ids are ignored
    loop.runUntilIdle();
    EXPECT_EQ(early, 2);
    EXPECT_EQ(late, 0);
    EXPECT_EQ(removed, 0);
    EXPECT_EQ(selfRemoving, 1);
    EXPECT_EQ(center.observerCount("n"), 2u);
}

TEST(in_memory_notification_center, pending_deliveries_do_nothing_after_the_center_is_gone) {
    ManualRunLoop loop;
    int calls = 0;
    {
        InMemoryNotificationCenter center(loop);
        center.addObserver("n", [&](const std::string&, const std::string&) { ++calls; });
        center.postNotification("n", "x");
    }
    loop.runUntilIdle();
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace quillon::testing
