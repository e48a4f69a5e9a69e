// Qt in tests: one application object for the process, and waiting on its event loop with a limit.
#pragma once

#include <QProcess>
#include <QStringList>
#include <functional>
#include <string>

namespace quillon::testing {

// Makes the process's QCoreApplication on first use.
void ensureQtApplication();

// Runs the Qt event loop until done() holds or timeoutMs pass; returns done().
bool runEventsUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Runs the Qt event loop for ms milliseconds.
void runEventsFor(int ms);

// A program started for a test and killed, if still running, when the test ends.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const QStringList& arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return started_; }
    // Standard output read so far.
    std::string output();
    // Sends SIGTERM and waits up to timeoutMs; the exit code, or -1 when it did not end.
    int terminate(int timeoutMs = 5000);

private:
    QProcess process_;
    bool started_ = false;
    std::string output_;
};

}  // namespace quillon::testing
