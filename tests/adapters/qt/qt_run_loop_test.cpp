// The run loop on Qt's event loop: later turns, repeating timers, delays and cancellation.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <climits>
#include <cmath>
#include <memory>
#include <vector>

#include "adapters/qt/qt_run_loop.h"
#include "qt_test_support.h"

namespace quillon {
namespace {

using testing::runEventsFor;
using testing::runEventsUntil;

TEST(qt_run_loop, runs_deferred_calls_in_order_on_later_turns) {
    testing::ensureQtApplication();
    QtRunLoop loop;
    std::vector<int> order;
    loop.performLater([&] {
        order.push_back(1);
        loop.performLater([&] { order.push_back(3); });
    });
    loop.performLater([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());  // never inside the caller
    ASSERT_TRUE(runEventsUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(qt_run_loop, timer_repeats_without_a_holder_until_invalidated_from_its_own_action) {
    testing::ensureQtApplication();
    QtRunLoop loop;
    int ticks = 0;
    std::shared_ptr<RunLoopTimer> timer = loop.scheduleRepeatingTimer(0.01, [&] {
        if (++ticks == 3) {
            timer->invalidate();
            timer.reset();  // the last holder goes while its action runs
        }
    });
    std::weak_ptr<RunLoopTimer> watch = timer;
    ASSERT_TRUE(runEventsUntil([&] { return ticks >= 3; }));
    runEventsFor(60);
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(watch.expired());

    int unheld = 0;
    loop.scheduleRepeatingTimer(0.005, [&] { ++unheld; });  // result dropped at once
    EXPECT_TRUE(runEventsUntil([&] { return unheld >= 3; }));
}

TEST(qt_run_loop, delayed_call_runs_once_after_its_delay) {
    testing::ensureQtApplication();
    QtRunLoop loop;
    QElapsedTimer clock;
    clock.start();
    qint64 ranAfter = -1;
    int runs = 0;
    loop.performAfterDelay(0.1, [&] {
        ranAfter = clock.elapsed();
        ++runs;
    });
    ASSERT_TRUE(runEventsUntil([&] { return runs > 0; }));
    runEventsFor(50);
    EXPECT_EQ(runs, 1);
    EXPECT_GE(ranAfter, 95);
}

TEST(qt_run_loop, destroying_the_loop_cancels_everything_not_yet_run) {
    testing::ensureQtApplication();
    int calls = 0;
    std::shared_ptr<RunLoopTimer> timer;
    {
        QtRunLoop loop;
        loop.performLater([&] { ++calls; });
        loop.performAfterDelay(0, [&] { ++calls; });
        timer = loop.scheduleRepeatingTimer(0.001, [&] { ++calls; });
    }
    runEventsFor(30);
    EXPECT_EQ(calls, 0);
    timer->invalidate();  // harmless after the loop is gone
    EXPECT_FALSE(timer->isValid());
}

TEST(qt_run_loop, converts_seconds_to_milliseconds_within_qt_range) {
    EXPECT_EQ(qtMilliseconds(1.0, 1), 1000);
    EXPECT_EQ(qtMilliseconds(0.0004, 0), 0);
    EXPECT_EQ(qtMilliseconds(0, 1), 1);
    EXPECT_EQ(qtMilliseconds(-3, 0), 0);
    EXPECT_EQ(qtMilliseconds(std::nan(""), 1), 1);
    EXPECT_EQ(qtMilliseconds(1e300, 0), INT_MAX);
}

}  // namespace
}  // namespace quillon
