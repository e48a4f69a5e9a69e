// The run loop on Qt's event loop: QTimer for timers and delayed calls, queued calls for later turns.
#include "adapters/qt/qt_run_loop.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <climits>
#include <cmath>
#include <utility>

namespace quillon {

namespace {

class QtTimer final : public RunLoopTimer {
public:
    QtTimer(QTimer* timer, std::function<void()> action)
        : timer_(timer), action_(std::move(action)) {}
    ~QtTimer() override { release(); }

    void invalidate() override {
        valid_ = false;
        release();
    }
    bool isValid() const override { return valid_; }

    void fire() {
        if (valid_ && action_) action_();
    }

private:
    void release() {
        if (!timer_) return;
        timer_->stop();
        // The timer may be the one whose tick is running now: let Qt delete it once the tick is
        // over. Disconnecting drops the connection's reference to this object afterwards too.
        QObject::disconnect(timer_, nullptr, nullptr, nullptr);
        timer_->deleteLater();
        timer_ = nullptr;
    }

    QPointer<QTimer> timer_;
    std::function<void()> action_;
    bool valid_ = true;
};

}  // namespace

int qtMilliseconds(double seconds, int minimumMs) {
    const double ms = std::round(seconds * 1000.0);
    if (!(ms >= minimumMs)) return minimumMs;
    if (ms >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(ms);
}

QtRunLoop::QtRunLoop() : context_(std::make_unique<QObject>()) {}

QtRunLoop::~QtRunLoop() = default;

std::shared_ptr<RunLoopTimer> QtRunLoop::scheduleRepeatingTimer(double interval,
                                                                std::function<void()> action) {
    auto* timer = new QTimer(context_.get());
    timer->setTimerType(Qt::PreciseTimer);
    // One millisecond at least: a zero interval would fire on every pass of the event loop.
    timer->setInterval(qtMilliseconds(interval, 1));
    auto handle = std::make_shared<QtTimer>(timer, std::move(action));
    // The connection holds the timer object, as the loop retains a scheduled timer whoever else
    // holds it; Qt keeps the connection alive while a tick runs, so the action may invalidate or
    // drop its own timer.
    QObject::connect(timer, &QTimer::timeout, timer, [handle] { handle->fire(); });
    timer->start();
    return handle;
}

void QtRunLoop::performAfterDelay(double delay, std::function<void()> action) {
    QTimer::singleShot(qtMilliseconds(delay, 0), Qt::PreciseTimer, context_.get(),
                       [action = std::move(action)] {
                           if (action) action();
                       });
}

void QtRunLoop::performLater(std::function<void()> action) {
    QMetaObject::invokeMethod(
        context_.get(),
        [action = std::move(action)] {
            if (action) action();
        },
        Qt::QueuedConnection);
}

}  // namespace quillon
