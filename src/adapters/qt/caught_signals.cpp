// Termination signals handed to the Qt event loop through a pipe.
#include "adapters/qt/caught_signals.h"

#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <utility>

namespace quillon {
namespace {

int gPipe[2] = {-1, -1};

void onSignal(int) {
    // One byte waiting is enough; a full pipe drops the byte rather than block the handler.
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(gPipe[1], &byte, 1);
}

}  // namespace

CaughtSignals::CaughtSignals(std::initializer_list<int> signals) {
    if (gPipe[0] >= 0 || ::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    for (int signal : signals)
        std::signal(signal, onSignal);
}

CaughtSignals::~CaughtSignals() = default;

void CaughtSignals::whenCaught(QObject* context, std::function<void()> act) {
    if (gPipe[0] < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, context,
                     [act = std::move(act)] {
                         char byte = 0;
                         [[maybe_unused]] const auto got = ::read(gPipe[0], &byte, 1);
                         act();
                     });
}

}  // namespace quillon
