// quillon-settings: the host application that shows the settings pane in one window. The
// platform's adapters are chosen here and nowhere else.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "adapters/dbus/dbus_notification_center.h"
#include "adapters/qt/caught_signals.h"
#include "adapters/qt/qt_key_event_hook.h"
#include "adapters/qt/qt_macro_editor.h"
#include "adapters/qt/qt_pane_host.h"
#include "adapters/qt/qt_run_loop.h"
#include "adapters/xdg/autostart_login_items.h"
#include "adapters/xdg/xdg_workspace.h"
#include "adapters/xkb/xkb_keyboard_layouts.h"
#include "app/quillon-settings/screenshots.h"
#include "app/quillon-settings/settings_window.h"
#include "link/helper_launch.h"
#include "pane/quillon_mouse_pane.h"
#include "prefs/home_directory.h"
#include "prefs/installed_layout.h"

namespace {

using namespace quillon;

// The driver's states as the pane reads them: active while the helper is on the bus, else
// waiting to be allowed (which shows the driver-status page when no device is connected).
constexpr std::uint16_t kDriverActive = 5;
constexpr std::uint16_t kDriverWaiting = 2;

std::uint16_t driverStateFromBus() {
    return sessionBusNameHasOwner(std::string(kHelperBundleIdentifier)) ? kDriverActive
                                                                        : kDriverWaiting;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("quillon-settings");
    // SIGTERM, SIGINT and SIGHUP (a session ending, a terminal closing) close the window as its
    // close box does, so that what the user changed since the last save is saved and the helper
    // told. Caught from the start: one that comes while the window is being made waits.
    CaughtSignals termination{SIGTERM, SIGINT, SIGHUP};

    QCommandLineParser parser;
    parser.setApplicationDescription("Shows the Quillon Mouse settings pane.");
    parser.addHelpOption();
    QCommandLineOption bundleOption("bundle", "The pane's resource folder (Info.plist, ...).", "DIR");
    QCommandLineOption screenshotOption("screenshot", "Save a picture of the window to FILE and quit.",
                                        "FILE.png");
    QCommandLineOption afterOption("after", "Seconds to wait before the screenshot (default 2).",
                                   "SECONDS", "2");
    QCommandLineOption screenshotsOption(
        "screenshots", "Save a picture of every page and panel into DIR and quit.", "DIR");
    parser.addOptions({bundleOption, screenshotOption, screenshotsOption, afterOption});
    parser.process(app);

    const QString bundleDir = QString::fromStdString(paneBundleDirectory(
        parser.isSet(bundleOption) ? std::optional(parser.value(bundleOption).toStdString())
                                   : std::nullopt));
    if (!QFileInfo(QDir(bundleDir).filePath("Info.plist")).isFile()) {
        std::fprintf(stderr, "quillon-settings: no Info.plist in the bundle folder %s\n",
                     qPrintable(bundleDir));
        return 2;
    }
    bool afterOK = false;
    const double after = parser.value(afterOption).toDouble(&afterOK);
    if (!afterOK || after < 0 || after > 3600) {
        std::fprintf(stderr, "quillon-settings: --after wants seconds between 0 and 3600\n");
        return 2;
    }

    const auto home = adoptUserHomeDirectory("quillon-settings");
    if (!home) return 1;
    // The keyboard layout is read and the bus reached while the window is made; HOME is final by
    // now.
    BackgroundKeyboardLayouts layouts;
    DBusNotificationCenter bus(connectToSessionBusMeanwhile());
    auto bundle = std::make_shared<Bundle>(bundleDir.toStdString(), Bundle::languagesFromEnvironment());
    QtRunLoop loop;
    XdgWorkspace workspace(
        [](const std::string& id) { return sessionBusNameHasOwner(id) ? 1 : 0; });
    AutostartLoginItems loginItems;
    workspace.answerSecuritySettings(loginItems, bundle->root().string());
    QtKeyEventHook keyEventHook;
    QtPaneHost host(bundle, driverStateFromBus);
    QuillonMousePane pane(host, PaneServices{loop, bus, workspace, loginItems, layouts, keyEventHook,
                                             makeQtMacroEditor, *home});
    SettingsWindow window(pane, host);
    window.load();
    window.show();
    if (!bus.isConnected())
        std::fprintf(stderr, "quillon-settings: no session bus; the helper cannot be reached\n");

    termination.whenCaught(&window, [&window, &host] {
        // Nobody is there to answer a panel: one showing is cancelled, and the save's own
        // messages are taken as read.
        host.stopModal(QuillonMousePane::kModalCancel);
        host.answerPanelsUnattended(QuillonMousePane::kModalOK);
        // Once the panel's own loop has ended.
        QTimer::singleShot(0, &window, [&window] { window.close(); });
    });

    int status = 0;
    if (parser.isSet(screenshotOption)) {
        const QString file = parser.value(screenshotOption);
        QTimer::singleShot(
            static_cast<int>(after * 1000), &window, [&window, &host, &status, file] {
                if (!window.grab().save(file)) {
                    std::fprintf(stderr, "quillon-settings: cannot save the screenshot to %s\n",
                                 qPrintable(file));
                    status = 1;
                }
                // The save at close may tell of a repaired main click; nobody is there to answer.
                host.answerPanelsUnattended(QuillonMousePane::kModalOK);
                window.close();
            });
    }
    if (parser.isSet(screenshotsOption)) {
        const QString dir = parser.value(screenshotsOption);
        QTimer::singleShot(
            static_cast<int>(after * 1000), &window, [&window, &pane, &host, &status, dir] {
                saveScreenshots(window, pane, dir, [&window, &host, &status, dir](bool ok) {
                    if (!ok) {
                        std::fprintf(stderr, "quillon-settings: cannot save the pictures to %s\n",
                                     qPrintable(dir));
                        status = 1;
                    }
                    host.answerPanelsUnattended(QuillonMousePane::kModalOK);
                    window.close();
                });
            });
    }
    int loopStatus = app.exec();
    return status ? status : loopStatus;
}
