// A peer process for the D-Bus tests: answers each notification under one name with "echo:" and
// the same object under another name.
#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "adapters/dbus/dbus_notification_center.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: notification_echo LISTEN_NAME REPLY_NAME\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    quillon::DBusNotificationCenter center;
    if (!center.isConnected()) return 1;
    const std::string reply = argv[2];
    center.addObserver(argv[1], [&](const std::string&, const std::string& object) {
        center.postNotification(reply, "echo:" + object);
    });
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
