// quillon-helper on a private session bus: the conversation a pane has with it, read from its log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapters/dbus/dbus_notification_center.h"
#include "link/notification_protocol.h"
#include "plist/file_utils.h"
#include "qt_test_support.h"
#include "testing/preferences_fixture.h"
#include "testing/temp_dir.h"

namespace quillon {
namespace {

using testing::readAll;
using testing::runEventsUntil;

const std::string kHelperName = "com.quillonworks.mouse.helper";

class HelperProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::ensureQtApplication();
        ASSERT_TRUE(center.isConnected()) << "run under dbus-run-session";
        center.addObserver(std::string(kDevicesNotificationName),
                           [this](const std::string&, const std::string& object) {
                               const DictRef message = decodeNotificationPayload(object);
                               lists.push_back(message ? devicesOfMessage(*message) : nullptr);
                           });
    }

    std::string log() const { return readAll(logPath); }
    bool logHas(const std::string& line) const {
        return ("\n" + log()).find("\n" + line + "\n") != std::string::npos;
    }
    bool waitForLine(const std::string& line) {
        return runEventsUntil([&] { return logHas(line); }, 10000);
    }
    bool waitUntilReady() {
        return runEventsUntil([&] { return log().find("ready name=" + kHelperName) != std::string::npos; },
                              10000);
    }
    void send(const DictRef& request) {
        center.postNotification(std::string(kRequestNotificationName),
                                *encodeNotificationPayload(request));
    }

    testing::TempDir dir;
    std::string logPath = dir.file("helper.log");
    std::string prefsPath = dir.file("prefs.plist");
    DBusNotificationCenter center;
    std::vector<ArrayRef> lists;
};

TEST_F(HelperProcessTest, answers_get_devices_and_logs_every_request) {
    ASSERT_TRUE(writeToBinaryFile(*testing::makePreferences(3), prefsPath, true));
    testing::ChildProcess helper(QUILLON_HELPER,
                                 {"--device", "pid=0x1056,transport=1,interface=0", "--device",
                                  "pid=0x0403,transport=3,interface=1", "--prefs",
                                  QString::fromStdString(prefsPath), "--log",
                                  QString::fromStdString(logPath)});
    ASSERT_TRUE(helper.started());
    ASSERT_TRUE(waitUntilReady()) << log();
    EXPECT_TRUE(sessionBusNameHasOwner(kHelperName));

    send(makeGetDevicesRequest());
    ASSERT_TRUE(runEventsUntil([&] { return !lists.empty(); })) << log();
    ASSERT_TRUE(lists[0]);
    ASSERT_EQ(lists[0]->size(), 2u);
    const Dictionary* second = lists[0]->at(1).dictionaryPtr();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->integer("pid"), 0x0403);
    EXPECT_EQ(second->integer("transport"), 3);
    EXPECT_EQ(second->integer("interface"), 1);
    EXPECT_TRUE(logHas("recv name=com.quillonworks.mouse.dn.request request=getDevices")) << log();
    EXPECT_TRUE(logHas("send name=com.quillonworks.mouse.dn.devices reason=getDevices count=2 "
                       "devices=0x1056:1:0,0x0403:3:1"))
        << log();

    send(makeDriverModeRequest(false));
    send(makeDriverModeRequest(true));
    send(makeEnterDFURequest());
    send(makeUpdatePrefsRequest());
    const std::string recv = "recv name=com.quillonworks.mouse.dn.request ";
    EXPECT_TRUE(waitForLine(recv + "request=updatePrefs")) << log();
    EXPECT_TRUE(logHas(recv + "request=driverMode state=false"));
    EXPECT_TRUE(logHas(recv + "request=driverMode state=true"));
    EXPECT_TRUE(logHas(recv + "request=enterDFU"));
    EXPECT_TRUE(waitForLine("prefs path=" + prefsPath + " version=1 sets=3")) << log();
    // The generated records name an application but no device family.
    EXPECT_NE(log().find("\nprefs-set uid=0002 family=* app=com.example.app2 name="),
              std::string::npos)
        << log();

    EXPECT_EQ(helper.terminate(), 0);
    EXPECT_TRUE(logHas("stop"));
    EXPECT_FALSE(sessionBusNameHasOwner(kHelperName));
}

TEST_F(HelperProcessTest, announces_edits_of_its_devices_file_as_hot_plug) {
    const std::string devicesPath = dir.file("devices.plist");
    auto device = [](int pid) {
        return Value(makeDictionary({{"pid", pid}, {"transport", 1}, {"interface", 0}}));
    };
    auto writeDevices = [&](std::initializer_list<Value> records) {
        // Atomic replacement, as editors and scripts do it: the watched file is a new one each time.
        ASSERT_TRUE(writeToFile(*makeDictionary({{"devices", makeArray(records)}}), devicesPath, true));
    };
    writeDevices({device(0x1056)});
    testing::ChildProcess helper(QUILLON_HELPER,
                                 {"--devices", QString::fromStdString(devicesPath), "--prefs",
                                  QString::fromStdString(prefsPath), "--log",
                                  QString::fromStdString(logPath)});
    ASSERT_TRUE(helper.started());
    ASSERT_TRUE(waitUntilReady()) << log();
    EXPECT_NE(log().find("count=1 devices=0x1056:1:0"), std::string::npos) << log();

    writeDevices({device(0x1056), device(0x1057)});
    ASSERT_TRUE(runEventsUntil([&] { return lists.size() == 1; }, 10000)) << log();
    EXPECT_EQ(lists[0]->size(), 2u);
    writeDevices({device(0x0202)});
    ASSERT_TRUE(runEventsUntil([&] { return lists.size() == 2; }, 10000)) << log();
    ASSERT_EQ(lists[1]->size(), 1u);
    EXPECT_EQ(lists[1]->at(0).dictionaryPtr()->integer("pid"), 0x0202);
    std::filesystem::remove(devicesPath);
    ASSERT_TRUE(runEventsUntil([&] { return lists.size() == 3; }, 10000)) << log();
    EXPECT_TRUE(lists[2]->empty());
    EXPECT_TRUE(logHas("send name=com.quillonworks.mouse.dn.devices reason=hotplug count=0 devices=-"))
        << log();
    EXPECT_EQ(helper.terminate(), 0);
}

TEST_F(HelperProcessTest, a_second_helper_finds_the_name_taken_and_exits) {
    testing::ChildProcess first(QUILLON_HELPER, {"--prefs", QString::fromStdString(prefsPath),
                                                 "--log", QString::fromStdString(logPath)});
    ASSERT_TRUE(waitUntilReady()) << log();
    const std::string secondLog = dir.file("second.log");
    testing::ChildProcess second(QUILLON_HELPER, {"--prefs", QString::fromStdString(prefsPath),
                                                  "--log", QString::fromStdString(secondLog)});
    ASSERT_TRUE(runEventsUntil([&] {
        return readAll(secondLog).find("error reason=name-taken") != std::string::npos;
    }, 10000));
    EXPECT_EQ(first.terminate(), 0);
}

}  // namespace
}  // namespace quillon
