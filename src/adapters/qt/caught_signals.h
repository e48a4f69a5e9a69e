// Termination signals handed to the Qt event loop, so that a program ends in order (saving,
// closing its log) instead of at once.
#pragma once

#include <QObject>
#include <functional>
#include <initializer_list>
#include <memory>

class QSocketNotifier;

namespace quillon {

// Catches the given signals from its construction on, through a pipe that never blocks the
// handler; a signal that comes before whenCaught waits there. One per process.
class CaughtSignals {
public:
    explicit CaughtSignals(std::initializer_list<int> signals);
    ~CaughtSignals();
    CaughtSignals(const CaughtSignals&) = delete;
    CaughtSignals& operator=(const CaughtSignals&) = delete;

    // From the next turn of the event loop on, act runs for each signal caught, while context
    // lives. Nothing happens when the pipe could not be made.
    void whenCaught(QObject* context, std::function<void()> act);

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace quillon
