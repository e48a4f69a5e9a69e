// Distributed notifications on the D-Bus session bus, and whether a bus name has an owner.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <future>
#include <map>
#include <memory>
#include <string>

#include "platform/distributed_notification_center.h"

namespace quillon {

// The wire form of a notification: the signal Notification(s name, s object) from this path
// and interface, broadcast to every connection whose match rule names its arg0.
inline constexpr char kNotificationPath[] = "/com/quillonworks/mouse";
inline constexpr char kNotificationInterface[] = "com.quillonworks.mouse.DistributedNotification";
inline constexpr char kNotificationMember[] = "Notification";

// Made and used on the thread that runs the Qt event loop. Signals arrive there as events, so
// observers are called on a later turn, never inside postNotification. Anything another process
// sends that is not exactly two strings is dropped. Not to be destroyed from inside an observer.
class DBusNotificationCenter final : public DistributedNotificationCenter {
public:
    explicit DBusNotificationCenter(QDBusConnection connection = QDBusConnection::sessionBus());
    // The connection that connecting gives, waited for when first needed: the bus is reached
    // on another thread meanwhile (see connectToSessionBusMeanwhile).
    explicit DBusNotificationCenter(std::future<QDBusConnection> connecting);
    ~DBusNotificationCenter() override;
    DBusNotificationCenter(const DBusNotificationCenter&) = delete;
    DBusNotificationCenter& operator=(const DBusNotificationCenter&) = delete;

    // Does nothing when the bus is not connected; text that is not UTF-8 is sent with
    // replacement characters, as D-Bus strings must be UTF-8.
    void postNotification(const std::string& name, const std::string& object) override;
    // The id is valid even when the bus is not connected; the observer is then never called.
    ObserverId addObserver(const std::string& name, Observer observer) override;
    void removeObserver(ObserverId id) override;

    bool isConnected() const { return connection().isConnected(); }

private:
    QDBusConnection& connection() const;

    mutable std::future<QDBusConnection> connecting_;
    mutable QDBusConnection connection_;
    std::unique_ptr<QObject> receivers_;  // parent of one receiver per observer
    std::map<ObserverId, QObject*> observers_;
    ObserverId nextId_ = 1;
};

// True when some connection of the bus owns name ("com.quillonworks.mouse.helper" while the
// helper runs). Asks the bus daemon, waiting at most timeoutMs; false when it cannot answer.
bool busNameHasOwner(const QDBusConnection& connection, const std::string& name,
                     int timeoutMs = 2000);
// The same on the session bus.
bool sessionBusNameHasOwner(const std::string& name);

// Reaches the session bus on a thread of its own, which takes a few round trips to the bus
// daemon, so that the caller goes on meanwhile. Only once the Qt application exists.
std::future<QDBusConnection> connectToSessionBusMeanwhile();

}  // namespace quillon
