// Telling a running helper that the preferences file changed, on the D-Bus session bus.
#include <QCoreApplication>

#include "adapters/dbus/dbus_notification_center.h"
#include "helper_notice.h"
#include "link/helper_launch.h"
#include "link/notification_protocol.h"

namespace quillon {

bool tellHelperToReload() {
    // QtDBus wants an application object for its connection thread.
    int argc = 1;
    char name[] = "quillon-prefs";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    const std::string helper(kHelperBundleIdentifier);
    if (!bus.isConnected() || !busNameHasOwner(bus, helper)) return false;
    const auto payload = encodeNotificationPayload(makeUpdatePrefsRequest());
    if (!payload) return false;
    DBusNotificationCenter center(bus);
    center.postNotification(std::string(kRequestNotificationName), *payload);
    // The bus answers a call only after what the connection sent before it, so once this
    // returns the signal is on its way and the process may end.
    busNameHasOwner(bus, helper);
    return true;
}

}  // namespace quillon
