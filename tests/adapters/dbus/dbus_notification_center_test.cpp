// Distributed notifications on a private session bus: delivery, removal, another process, hostile
// senders, and bus-name owners. Run under dbus-run-session.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QStandardPaths>
#include <string>
#include <vector>

#include "adapters/dbus/dbus_notification_center.h"
#include "link/notification_protocol.h"
#include "qt_test_support.h"
#include "testing/run_process.h"

namespace quillon {
namespace {

using testing::runEventsFor;
using testing::runEventsUntil;

struct Received {
    std::string name;
    std::string object;
};

// An observer that keeps what it receives.
DistributedNotificationCenter::Observer recordInto(std::vector<Received>& into) {
    return [&into](const std::string& name, const std::string& object) {
        into.push_back({name, object});
    };
}

class DBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ensureQtApplication();
        ASSERT_TRUE(center.isConnected()) << "run under dbus-run-session";
    }
    DBusNotificationCenter center;
};

TEST_F(DBusTest, delivers_posts_on_a_later_turn_to_the_observers_of_their_name_only) {
    std::vector<Received> a, b;
    center.addObserver("com.quillonworks.test.a", recordInto(a));
    center.addObserver("com.quillonworks.test.b", recordInto(b));
    const std::string big(200000, 'x');
    center.postNotification("com.quillonworks.test.a", "Mäuschen ✓");
    center.postNotification("com.quillonworks.test.a", big);
    center.postNotification("com.quillonworks.test.c", "nobody listens");
    EXPECT_TRUE(a.empty());  // never inside the post
    ASSERT_TRUE(runEventsUntil([&] { return a.size() == 2; }));
    runEventsFor(100);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].name, "com.quillonworks.test.a");
    EXPECT_EQ(a[0].object, "Mäuschen ✓");
    EXPECT_EQ(a[1].object, big);
    EXPECT_TRUE(b.empty());
}

TEST_F(DBusTest, removed_observers_hear_nothing_more_even_when_removed_inside_a_delivery) {
    std::vector<Received> kept, removedEarly;
    int selfRemoving = 0;
    center.addObserver("n.x", recordInto(kept));
    const auto early = center.addObserver("n.x", recordInto(removedEarly));
    DistributedNotificationCenter::ObserverId self = 0;
    self = center.addObserver("n.x", [&](const std::string&, const std::string&) {
        ++selfRemoving;
        center.removeObserver(self);
    });
    center.postNotification("n.x", "1");
    center.removeObserver(early);  // after the post, before its delivery
    center.postNotification("n.x", "2");
    ASSERT_TRUE(runEventsUntil([&] { return kept.size() == 2; }));
    runEventsFor(100);
    EXPECT_EQ(selfRemoving, 1);
    EXPECT_TRUE(removedEarly.empty());
    center.removeObserver(12345);  // unknown ids are ignored
}

TEST_F(DBusTest, exchanges_messages_with_another_process_both_ways) {
    testing::ChildProcess peer(QUILLON_NOTIFICATION_ECHO, {"n.ping", "n.pong"});
    ASSERT_TRUE(peer.started());
    ASSERT_TRUE(runEventsUntil([&] { return peer.output().find("ready") != std::string::npos; }));
    std::vector<Received> pongs;
    center.addObserver("n.pong", recordInto(pongs));
    const std::string object = *encodeNotificationPayload(makeDriverModeRequest(true));
    // Asks again until answered, as the pane's poll does: the peer may still be subscribing.
    ASSERT_TRUE(runEventsUntil(
        [&] {
            if (pongs.empty()) center.postNotification("n.ping", object);
            return !pongs.empty();
        },
        10000));
    EXPECT_EQ(pongs[0].object, "echo:" + object);
}

// As the settings window does it: the process's first use of the bus, reached on another thread
// while the caller goes on, and then the same exchange with another process.
TEST(DBusBackground, a_bus_reached_meanwhile_exchanges_messages_with_another_process) {
    testing::ensureQtApplication();
    DBusNotificationCenter center(connectToSessionBusMeanwhile());
    std::vector<Received> pongs;
    center.addObserver("n.pong", recordInto(pongs));
    ASSERT_TRUE(center.isConnected()) << "run under dbus-run-session";
    testing::ChildProcess peer(QUILLON_NOTIFICATION_ECHO, {"n.ping", "n.pong"});
    ASSERT_TRUE(peer.started());
    ASSERT_TRUE(runEventsUntil([&] { return peer.output().find("ready") != std::string::npos; }));
    ASSERT_TRUE(runEventsUntil(
        [&] {
            if (pongs.empty()) center.postNotification("n.ping", "meanwhile");
            return !pongs.empty();
        },
        10000));
    EXPECT_EQ(pongs[0].object, "echo:meanwhile");
}

TEST_F(DBusTest, drops_signals_that_are_not_two_strings_whoever_sends_them) {
    std::vector<Received> got;
    const std::string name = "com.quillonworks.test.hostile";
    center.addObserver(name, recordInto(got));

    const QString sendTool = QStandardPaths::findExecutable("dbus-send");
    ASSERT_FALSE(sendTool.isEmpty());
    const std::string path = kNotificationPath;
    const std::string member = std::string(kNotificationInterface) + "." + kNotificationMember;
    const std::vector<std::vector<std::string>> bodies = {
        {"int32:1", "int32:2"},
        {"string:" + name, "int32:5"},
        {"string:" + name},
        {"string:" + name, "string:a", "string:b"},
        {"string:" + name, "variant:string:v"},
        {"string:" + name, "array:string:a,b"},
        {"string:" + name, "string:not a property list"},  // two strings: delivered as data
    };
    for (const auto& body : bodies) {
        std::vector<std::string> argv = {sendTool.toStdString(), "--session", "--type=signal",
                                         path, member};
        argv.insert(argv.end(), body.begin(), body.end());
        EXPECT_EQ(testing::runProcess(argv).exitCode, 0);
    }
    // The right arguments on the wrong interface or member do not count either.
    for (const char* wrong : {"com.quillonworks.mouse.DistributedNotification.Other",
                              "org.example.Elsewhere.Notification"}) {
        EXPECT_EQ(testing::runProcess({sendTool.toStdString(), "--session", "--type=signal", path,
                                       wrong, "string:" + name, "string:x"})
                      .exitCode,
                  0);
    }

    // A third connection sends a huge object and raw messages QtDBus builds.
    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "third");
    ASSERT_TRUE(other.isConnected());
    auto raw = [&](const QList<QVariant>& args) {
        QDBusMessage message = QDBusMessage::createSignal(kNotificationPath, kNotificationInterface,
                                                          kNotificationMember);
        message.setArguments(args);
        other.send(message);
    };
    const QString qname = QString::fromStdString(name);
    raw({qname, QVariant::fromValue(QDBusVariant(QString("boxed")))});
    raw({qname, QByteArray("bytes")});
    raw({qname, QString(8 * 1024 * 1024, QChar(u'\u00e4'))});  // 16 MB of UTF-8
    raw({qname, QString("last")});
    ASSERT_TRUE(runEventsUntil([&] { return !got.empty() && got.back().object == "last"; }, 10000));
    runEventsFor(200);
    QDBusConnection::disconnectFromBus("third");

    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].object, "not a property list");
    EXPECT_FALSE(decodeNotificationPayload(got[0].object));
    EXPECT_EQ(got[1].object.size(), 16u * 1024 * 1024);
    EXPECT_FALSE(decodeNotificationPayload(got[1].object));  // too long to be read at all
}

TEST_F(DBusTest, tells_whether_a_bus_name_has_an_owner) {
    const std::string name = "com.quillonworks.test.owner";
    EXPECT_FALSE(sessionBusNameHasOwner(name));
    QDBusConnection owner = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "owner");
    ASSERT_TRUE(owner.registerService(QString::fromStdString(name)));
    EXPECT_TRUE(sessionBusNameHasOwner(name));
    owner.unregisterService(QString::fromStdString(name));
    EXPECT_FALSE(sessionBusNameHasOwner(name));
    QDBusConnection::disconnectFromBus("owner");
    EXPECT_FALSE(sessionBusNameHasOwner("not a bus name"));
    EXPECT_FALSE(busNameHasOwner(QDBusConnection("never connected"), name));
}

}  // namespace
}  // namespace quillon
