// Pictures of every page, tab and panel of the window, for the manual and for looking at the
// window as a user sees it.
#pragma once

#include <QString>
#include <functional>

namespace quillon {

class QuillonMousePane;
class SettingsWindow;

// Saves DIR/<page>.png for each tab of the settings page, the driver-status page and each panel,
// one after another on the event loop, then calls done with true when every picture was saved.
void saveScreenshots(SettingsWindow& window, QuillonMousePane& pane, const QString& dir,
                     std::function<void(bool ok)> done);

}  // namespace quillon
