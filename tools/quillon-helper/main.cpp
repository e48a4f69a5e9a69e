// quillon-helper: a stand-in for the helper daemon, so the pane can be run and tested end to end.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "adapters/dbus/dbus_notification_center.h"
#include "adapters/qt/caught_signals.h"
#include "adapters/qt/qt_run_loop.h"
#include "plist/file_utils.h"
#include "prefs/driver_block.h"
#include "prefs/home_directory.h"
#include "prefs/preferences_file.h"
#include "prefs/settings_matching.h"
#include "quillon-helper/helper_daemon.h"

namespace {

using namespace quillon;
using namespace quillon::helper;

constexpr std::string_view kUsage =
    "usage: quillon-helper [--device FIELDS]... [--devices FILE] [--prefs PATH] [--log FILE]\n"
    "       quillon-helper --print-driver-block FAMILY APP [--prefs PATH]\n"
    "\n"
    "  --device FIELDS a simulated device, e.g. pid=0x1056,transport=1,interface=0 (repeatable)\n"
    "  --devices FILE  the simulated devices from a property list (an array of device records,\n"
    "                  or a dictionary with `devices`), watched: editing it simulates hot-plug\n"
    "  --prefs PATH    the preferences file (default\n"
    "                  $HOME/Library/Preferences/com.quillonworks.mouse.plist)\n"
    "  --log FILE      append the log to FILE instead of standard output\n"
    "  --print-driver-block FAMILY APP\n"
    "                  print the driver block for a device family and an application\n"
    "                  (bundle identifier, \"\" for all applications), then exit\n"
    "Runs on the session bus as com.quillonworks.mouse.helper until SIGINT or SIGTERM.\n"
    "The log format is described in docs/helper-protocol.md.\n";

struct Options {
    std::vector<std::string> deviceFields;
    std::string devicesFile;
    std::string prefsPath;
    std::string logPath;
    bool printDriverBlock = false;
    std::string family;
    std::string application;
};

int usageError(const std::string& message) {
    std::fprintf(stderr, "quillon-helper: %s\n%.*s", message.c_str(),
                 static_cast<int>(kUsage.size()), kUsage.data());
    return 2;
}

// Re-reads the devices file whenever it or its folder changes, a moment later so that a burst
// of changes is read once. An editor's or an atomic writer's rename drops the file from the
// watcher; it is added again each time.
class DevicesFileWatcher {
public:
    DevicesFileWatcher(QString path, RunLoop& loop, HelperDaemon& daemon, const LogSink& log)
        : path_(std::move(path)), loop_(loop), daemon_(daemon), log_(log) {
        const QString folder = QFileInfo(path_).absolutePath();
        watcher_.addPath(folder);
        rewatch();
        QObject::connect(&watcher_, &QFileSystemWatcher::fileChanged, [this] { changed(); });
        QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, [this] { changed(); });
    }

    // Reads the file; a missing file means no devices, an unreadable one keeps the list.
    void load(const std::string& reason) {
        std::string error;
        const auto devices = readDevicesFile(path_.toStdString(), &error);
        const std::string prefix = "devices-file path=" + logValue(path_.toStdString());
        if (!devices && error != "missing") {
            log_(prefix + " error=" + error);
            return;
        }
        const ArrayRef list = devices ? *devices : Array::create();
        log_(prefix + " count=" + std::to_string(list->size()) + (devices ? "" : " error=missing"));
        daemon_.setDevices(list, reason);
    }

private:
    void rewatch() {
        if (!watcher_.files().contains(path_) && QFileInfo::exists(path_)) watcher_.addPath(path_);
    }

    void changed() {
        rewatch();
        if (pending_) return;
        pending_ = true;
        loop_.performAfterDelay(0.05, [this] {
            pending_ = false;
            rewatch();
            load("hotplug");
        });
    }

    QString path_;
    RunLoop& loop_;
    HelperDaemon& daemon_;
    const LogSink& log_;
    QFileSystemWatcher watcher_;
    bool pending_ = false;
};

// Prints the block the driver would get for a family and an application (bundle identifier,
// "" for none) from the preferences file: the match, the 232 bytes, and each slot in use.
int printDriverBlock(const Options& options) {
    DictRef prefs = mutableDictionaryWithContentsOfFile(options.prefsPath);
    if (!prefs) {
        std::fprintf(stderr, "quillon-helper: %s: not a preferences file\n", options.prefsPath.c_str());
        return 1;
    }
    DictRef app = options.application.empty()
                      ? nullptr
                      : makeDictionary({{"bundleID", options.application}});
    DictRef device = makeDictionary({{"type", options.family}});
    DictRef match = matchQuillonMouseSettings(*prefs, app.get(), device.get());
    DriverSettingsBlock block;
    if (!fillQuillonMouseSettings(*prefs, &block, match.get())) {
        std::fprintf(stderr, "quillon-helper: no settings set for family %s and application \"%s\"\n",
                     options.family.c_str(), options.application.c_str());
        return 1;
    }
    std::printf("block settings=%d family=%s app=%s\n", block.settingsNumber.get(),
                options.family.c_str(), options.application.empty() ? "*" : options.application.c_str());
    const auto bytes = block.bytes();
    for (std::size_t row = 0; row < bytes.size(); row += 16) {
        std::printf("%04zx:", row);
        for (std::size_t i = row; i < row + 16 && i < bytes.size(); ++i) std::printf(" %02x", bytes[i]);
        std::printf("\n");
    }
    for (std::size_t i = 0; i < block.buttons.size(); ++i) {
        const DriverButtonSlot& slot = block.buttons[i];
        if (slot.command == 0 && slot.parameter == 0 && slot.word.get() == 0) continue;
        std::printf("slot=%02zu command=%u parameter=%u word=0x%04x\n", i, slot.command,
                    slot.parameter, slot.word.get());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        if (arg == "-h" || arg == "--help") {
            std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
            return 0;
        } else if (arg == "--device") {
            std::string fields;
            if (!value(fields)) return usageError("--device needs its fields");
            options.deviceFields.push_back(fields);
        } else if (arg == "--devices") {
            if (!value(options.devicesFile)) return usageError("--devices needs a FILE");
        } else if (arg == "--prefs") {
            if (!value(options.prefsPath)) return usageError("--prefs needs a PATH");
        } else if (arg == "--log") {
            if (!value(options.logPath)) return usageError("--log needs a FILE");
        } else if (arg == "--print-driver-block") {
            if (!value(options.family) || !value(options.application))
                return usageError("--print-driver-block needs FAMILY and APP");
            options.printDriverBlock = true;
        } else {
            return usageError("unknown argument " + std::string(arg));
        }
    }
    if (!options.deviceFields.empty() && !options.devicesFile.empty())
        return usageError("--device and --devices cannot be combined");
    if (options.prefsPath.empty()) {
        // The pane writes the file under the same home; without one there is no file to read.
        if (!adoptUserHomeDirectory("quillon-helper")) return 1;
        options.prefsPath = *userQuillonMousePrefsPath();
    }
    if (options.printDriverBlock) return printDriverBlock(options);

    ArrayRef devices = Array::create();
    for (const auto& fields : options.deviceFields) {
        std::string error;
        DictRef device = parseDeviceFields(fields, &error);
        if (!device) return usageError("--device " + fields + ": " + error);
        devices->append(Value(device));
    }

    FILE* logFile = stdout;
    if (!options.logPath.empty()) {
        logFile = std::fopen(options.logPath.c_str(), "a");
        if (!logFile) {
            std::perror(("quillon-helper: " + options.logPath).c_str());
            return 1;
        }
    }
    // One line per write, so that a reader following the log never sees half a line.
    std::setvbuf(logFile, nullptr, _IOLBF, 0);
    const LogSink log = [logFile](const std::string& line) {
        std::fprintf(logFile, "%s\n", line.c_str());
        std::fflush(logFile);
    };

    QCoreApplication app(argc, argv);
    // SIGINT and SIGTERM end the event loop, so the log is closed in order.
    CaughtSignals termination{SIGINT, SIGTERM};
    termination.whenCaught(&app, [] { QCoreApplication::quit(); });

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        log("error reason=no-session-bus");
        return 1;
    }
    QtRunLoop loop;
    DBusNotificationCenter center(bus);
    HelperDaemon daemon(center, options.prefsPath, log);
    daemon.setDevices(devices);
    std::unique_ptr<DevicesFileWatcher> watcher;
    if (!options.devicesFile.empty()) {
        watcher = std::make_unique<DevicesFileWatcher>(QString::fromStdString(options.devicesFile),
                                                       loop, daemon, log);
        watcher->load({});
    }
    // Listening starts before the name is taken: whoever sees the name can be answered.
    daemon.start();
    const QString busName = QString::fromUtf8(kHelperBusName.data(),
                                              static_cast<qsizetype>(kHelperBusName.size()));
    if (!bus.registerService(busName)) {
        log("error reason=name-taken name=" + std::string(kHelperBusName));
        return 1;
    }
    log("ready name=" + std::string(kHelperBusName) + " pid=" + std::to_string(::getpid()) +
        " count=" + std::to_string(daemon.devices()->size()) +
        " devices=" + describeDevices(*daemon.devices()));
    const int status = app.exec();
    bus.unregisterService(busName);
    log("stop");
    if (logFile != stdout) std::fclose(logFile);
    return status;
}
