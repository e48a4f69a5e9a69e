// Qt in tests: one application object for the process, and waiting on its event loop with a limit.
#include "qt_test_support.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace quillon::testing {

void ensureQtApplication() {
    static int argc = 1;
    static char name[] = "quillon_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

bool runEventsUntil(const std::function<bool()>& done, int timeoutMs) {
    ensureQtApplication();
    if (done()) return true;
    // A short tick checks the condition and the deadline while the loop sleeps between events.
    QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done() || deadline.hasExpired()) loop.quit();
    });
    tick.start();
    loop.exec();
    return done();
}

void runEventsFor(int ms) {
    QDeadlineTimer deadline(ms);
    runEventsUntil([&] { return deadline.hasExpired(); }, ms + 1000);
}

ChildProcess::ChildProcess(const std::string& program, const QStringList& arguments) {
    ensureQtApplication();
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QString::fromStdString(program), arguments);
    started_ = process_.waitForStarted(5000);
}

ChildProcess::~ChildProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

std::string ChildProcess::output() {
    output_ += process_.readAllStandardOutput().toStdString();
    return output_;
}

int ChildProcess::terminate(int timeoutMs) {
    process_.terminate();
    if (!process_.waitForFinished(timeoutMs)) return -1;
    output();
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

}  // namespace quillon::testing
