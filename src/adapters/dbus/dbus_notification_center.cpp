// Distributed notifications on the D-Bus session bus, and whether a bus name has an owner.
#include "adapters/dbus/dbus_notification_center.h"

#include <QDBusMessage>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <system_error>
#include <utility>

namespace quillon {

namespace {

// Receives the signals of one observer. QtDBus calls slots by name, hence a QObject of its own.
class NotificationReceiver final : public QObject {
    Q_OBJECT
public:
    NotificationReceiver(QString name, DistributedNotificationCenter::Observer observer,
                         QObject* parent)
        : QObject(parent), name_(std::move(name)), observer_(std::move(observer)) {}

    // Deliveries already queued for this receiver are dropped from now on.
    void retire() { retired_ = true; }

public Q_SLOTS:
    // Takes the whole message so that every signature arrives here and is checked, instead of
    // relying on the bus or QtDBus to filter what a peer sent.
    void deliver(const QDBusMessage& message) {
        if (retired_ || message.type() != QDBusMessage::SignalMessage) return;
        if (message.signature() != QLatin1String("ss")) return;
        const QList<QVariant> args = message.arguments();
        if (args.size() != 2 || args[0].metaType().id() != QMetaType::QString ||
            args[1].metaType().id() != QMetaType::QString)
            return;
        // The bus filters on arg0 already; QtDBus may share one match among observers.
        const QString name = args[0].toString();
        if (name != name_) return;
        observer_(name.toStdString(), args[1].toString().toStdString());
    }

private:
    QString name_;
    DistributedNotificationCenter::Observer observer_;
    bool retired_ = false;
};

}  // namespace

DBusNotificationCenter::DBusNotificationCenter(QDBusConnection connection)
    : connection_(std::move(connection)), receivers_(std::make_unique<QObject>()) {}

DBusNotificationCenter::DBusNotificationCenter(std::future<QDBusConnection> connecting)
    : connecting_(std::move(connecting)),
      connection_(QString()),
      receivers_(std::make_unique<QObject>()) {}

QDBusConnection& DBusNotificationCenter::connection() const {
    if (connecting_.valid()) connection_ = connecting_.get();
    return connection_;
}

DBusNotificationCenter::~DBusNotificationCenter() {
    for (const auto& [id, receiver] : observers_) {
        connection().disconnect(QString(), QString::fromLatin1(kNotificationPath),
                                QString::fromLatin1(kNotificationInterface),
                                QString::fromLatin1(kNotificationMember), receiver,
                                SLOT(deliver(QDBusMessage)));
    }
    // receivers_ deletes the receivers still alive, those waiting for deleteLater included.
}

void DBusNotificationCenter::postNotification(const std::string& name, const std::string& object) {
    if (!connection().isConnected()) return;
    QDBusMessage message = QDBusMessage::createSignal(QString::fromLatin1(kNotificationPath),
                                                      QString::fromLatin1(kNotificationInterface),
                                                      QString::fromLatin1(kNotificationMember));
    message << QString::fromStdString(name) << QString::fromStdString(object);
    connection().send(message);
}

DistributedNotificationCenter::ObserverId DBusNotificationCenter::addObserver(
    const std::string& name, Observer observer) {
    const ObserverId id = nextId_++;
    const QString qname = QString::fromStdString(name);
    auto* receiver = new NotificationReceiver(qname, std::move(observer), receivers_.get());
    observers_.emplace(id, receiver);
    // Empty service: signals from any sender; empty signature: any, checked by the receiver.
    connection().connect(QString(), QString::fromLatin1(kNotificationPath),
                         QString::fromLatin1(kNotificationInterface),
                         QString::fromLatin1(kNotificationMember), QStringList{qname}, QString(),
                         receiver, SLOT(deliver(QDBusMessage)));
    return id;
}

void DBusNotificationCenter::removeObserver(ObserverId id) {
    auto it = observers_.find(id);
    if (it == observers_.end()) return;
    auto* receiver = static_cast<NotificationReceiver*>(it->second);
    observers_.erase(it);
    connection().disconnect(QString(), QString::fromLatin1(kNotificationPath),
                            QString::fromLatin1(kNotificationInterface),
                            QString::fromLatin1(kNotificationMember), receiver,
                            SLOT(deliver(QDBusMessage)));
    receiver->retire();
    // The observer may be removing itself from inside its own delivery.
    receiver->deleteLater();
}

bool busNameHasOwner(const QDBusConnection& connection, const std::string& name, int timeoutMs) {
    if (!connection.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    call << QString::fromStdString(name);
    const QDBusMessage reply = connection.call(call, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 1) return false;
    return reply.arguments().at(0).toBool();
}

bool sessionBusNameHasOwner(const std::string& name) {
    return busNameHasOwner(QDBusConnection::sessionBus(), name);
}

std::future<QDBusConnection> connectToSessionBusMeanwhile() {
    try {
        // Qt makes the session bus once; whoever asks for it meanwhile waits for that.
        return std::async(std::launch::async, [] { return QDBusConnection::sessionBus(); });
    } catch (const std::system_error&) {
        std::promise<QDBusConnection> now;
        now.set_value(QDBusConnection::sessionBus());
        return now.get_future();
    }
}

}  // namespace quillon

#include "dbus_notification_center.moc"
