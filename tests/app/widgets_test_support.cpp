// Qt Widgets in tests.
#include "widgets_test_support.h"

#include <QAccessible>
#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QWidget>

namespace quillon::testing {

void ensureWidgetsApplication() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "quillon_app_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tearing Qt down among the other statics at exit crashes in its plugins.
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
}

bool runEventsUntil(const std::function<bool()>& done, int timeoutMs) {
    ensureWidgetsApplication();
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

void typeKey(QWidget* widget, Qt::Key key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &release);
}

bool doAccessibleAction(QWidget* widget, const QString& action) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    QAccessibleActionInterface* actions = accessible ? accessible->actionInterface() : nullptr;
    if (!actions || !actions->actionNames().contains(action)) return false;
    actions->doAction(action);
    return true;
}

}  // namespace quillon::testing

// LeakSanitizer asks the program for suppressions at start. fontconfig keeps its font cache until
// exit, which Qt never tears down; only that library is excused, never our own code.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
