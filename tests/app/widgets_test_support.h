// Qt Widgets in tests: one application object for the process, keys typed into widgets and an
// assistive tool's actions.
#pragma once

#include <QString>
#include <Qt>
#include <functional>
#include <ostream>

class QWidget;

namespace quillon::testing {

// Makes the process's QApplication on first use (on the offscreen platform unless one is set).
void ensureWidgetsApplication();
// Runs the event loop until done() holds or timeoutMs pass; returns done().
bool runEventsUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Sends a key press and its release to widget, as typing would.
void typeKey(QWidget* widget, Qt::Key key, const QString& text = {});
// Does the named action of widget's accessible interface ("Toggle", "Press", ...), as a screen
// reader does; false when the widget offers no such action.
bool doAccessibleAction(QWidget* widget, const QString& action);

}  // namespace quillon::testing

// GoogleTest prints a QString as its text (found by argument-dependent lookup, hence global).
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
