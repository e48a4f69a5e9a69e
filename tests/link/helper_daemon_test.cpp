// The stand-in helper's behaviour on the in-memory bus: answers, announcements and its log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/notification_protocol.h"
#include "plist/file_utils.h"
#include "quillon-helper/helper_daemon.h"
#include "testing/in_memory_notification_center.h"
#include "testing/manual_run_loop.h"
#include "testing/temp_dir.h"

namespace quillon::helper {
namespace {

using testing::InMemoryNotificationCenter;
using testing::ManualRunLoop;
using testing::TempDir;

class HelperDaemonTest : public ::testing::Test {
protected:
    HelperDaemonTest()
        : center(loop), prefsPath(dir.file("prefs.plist")),
          daemon(center, prefsPath, [this](const std::string& line) { log.push_back(line); }) {}

    void request(const DictRef& payload) {
        center.receive(std::string(kRequestNotificationName), *encodeNotificationPayload(payload));
        loop.runUntilIdle();
    }
    // The device lists the helper posted, decoded.
    std::vector<ArrayRef> sentLists() const {
        std::vector<ArrayRef> lists;
        for (const auto& post : center.postedUnder(std::string(kDevicesNotificationName))) {
            const DictRef message = decodeNotificationPayload(post.object);
            lists.push_back(message ? devicesOfMessage(*message) : nullptr);
        }
        return lists;
    }

    TempDir dir;
    ManualRunLoop loop;
    InMemoryNotificationCenter center;
    std::string prefsPath;
    std::vector<std::string> log;
    HelperDaemon daemon;
};

TEST_F(HelperDaemonTest, answers_every_get_devices_with_its_devices) {
    daemon.start();
    auto device = parseDeviceFields("pid=0x1056,transport=1,interface=0", nullptr);
    ASSERT_TRUE(device);
    daemon.setDevices(makeArray({Value(device)}));  // no reason: nothing announced
    EXPECT_TRUE(center.posted().empty());

    request(makeGetDevicesRequest());
    request(makeGetDevicesRequest());
    const auto lists = sentLists();
    ASSERT_EQ(lists.size(), 2u);
    ASSERT_TRUE(lists[1]);
    EXPECT_EQ(Value(lists[1]), Value(makeArray({Value(device)})));
    EXPECT_EQ(log.back(),
              "send name=com.quillonworks.mouse.dn.devices reason=getDevices count=1 "
              "devices=0x1056:1:0");
    EXPECT_EQ(log[log.size() - 2], "recv name=com.quillonworks.mouse.dn.request request=getDevices");
}

TEST_F(HelperDaemonTest, announces_a_changed_device_list_unprompted) {
    daemon.start();
    auto a = makeDictionary({{"pid", 0x1056}, {"transport", 1}, {"interface", 0}});
    daemon.setDevices(makeArray({Value(a)}), "hotplug");
    daemon.setDevices(makeArray({Value(deepCopy(*a))}), "hotplug");  // equal: stays quiet
    daemon.setDevices(Array::create(), "hotplug");
    const auto lists = sentLists();
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(lists[0]->size(), 1u);
    ASSERT_TRUE(lists[1]);
    EXPECT_TRUE(lists[1]->empty());
    EXPECT_EQ(log.back(),
              "send name=com.quillonworks.mouse.dn.devices reason=hotplug count=0 devices=-");
}

TEST_F(HelperDaemonTest, logs_the_settings_sets_it_finds_on_update_prefs) {
    daemon.start();
    EXPECT_EQ(log.at(0), "prefs path=" + logValue(prefsPath) + " error=missing");

    auto prefs = makeDictionary(
        {{"version", 1},
         {"settings",
          makeDictionary(
              {{"0001", makeDictionary({{"device", makeDictionary({{"type", "tamber"}})},
                                        {"app", makeDictionary({})},
                                        {"displayName", "All Applications"},
                                        {"enabled", true}})},
               {"1000", makeDictionary({{"device", makeDictionary({{"type", ""}})},
                                        {"app", makeDictionary({{"bundleID", "org.example.ed"}})},
                                        {"displayName", "Ed \"quoted\""},
                                        {"enabled", false}})},
               {"1001", "not a record"}})}});
    ASSERT_TRUE(writeToBinaryFile(*prefs, prefsPath, true));
    log.clear();
    request(makeUpdatePrefsRequest());
    EXPECT_EQ(log, (std::vector<std::string>{
                       "recv name=com.quillonworks.mouse.dn.request request=updatePrefs",
                       "prefs path=" + logValue(prefsPath) + " version=1 sets=3",
                       "prefs-set uid=0001 family=tamber app=* name=\"All Applications\" "
                       "enabled=true",
                       "prefs-set uid=1000 family=* app=org.example.ed name=\"Ed \\\"quoted\\\"\" "
                       "enabled=false",
                       "prefs-set uid=1001 error=not-a-dictionary"}));

    dir.write("prefs.plist", "not a property list");
    request(makeUpdatePrefsRequest());
    EXPECT_EQ(log.back(), "prefs path=" + logValue(prefsPath) + " error=unreadable");
}

TEST_F(HelperDaemonTest, logs_driver_mode_dfu_and_anything_else_without_answering) {
    daemon.start();
    log.clear();
    request(makeDriverModeRequest(false));
    request(makeDriverModeRequest(true));
    request(makeDictionary({{"request", "driverMode"}}));
    request(makeEnterDFURequest());
    request(makeDictionary({{"request", "selfDestruct now"}}));
    request(makeDictionary({{"request", 7}}));
    center.receive(std::string(kRequestNotificationName), "<plist><array/></plist>");
    center.receive(std::string(kDevicesNotificationName),
                   *encodeNotificationPayload(makeGetDevicesRequest()));  // not its name
    loop.runUntilIdle();
    const std::string recv = "recv name=com.quillonworks.mouse.dn.request ";
    EXPECT_EQ(log, (std::vector<std::string>{
                       recv + "request=driverMode state=false",
                       recv + "request=driverMode state=true",
                       recv + "request=driverMode state=absent",
                       recv + "request=enterDFU",
                       recv + "request=\"selfDestruct now\" error=unknown-request",
                       recv + "error=no-request-name",
                       recv + "error=not-a-dictionary bytes=23",
                   }));
    EXPECT_TRUE(center.posted().empty());
}

TEST_F(HelperDaemonTest, stops_listening_when_destroyed) {
    {
        HelperDaemon second(center, prefsPath, [](const std::string&) {});
        second.start();
        EXPECT_EQ(center.observerCount(std::string(kRequestNotificationName)), 1u);
    }
    EXPECT_EQ(center.observerCount(std::string(kRequestNotificationName)), 0u);
}

TEST(helper_device_spec, parses_integers_booleans_and_strings_and_refuses_malformed_specs) {
    std::string error;
    const DictRef device =
        parseDeviceFields("pid=0x1056,transport=3,interface=1,address=-5,wireless=true,name=M1", &error);
    ASSERT_TRUE(device) << error;
    EXPECT_EQ(Value(device), Value(makeDictionary({{"pid", 0x1056},
                                                   {"transport", 3},
                                                   {"interface", 1},
                                                   {"address", -5},
                                                   {"wireless", true},
                                                   {"name", "M1"}})));
    const DictRef defaults = parseDeviceFields("pid=4182", &error);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->integer("transport"), 0);
    EXPECT_EQ(defaults->integer("interface"), 0);

    for (const char* bad : {"", "transport=1", "pid=0x", "pid=12abc", "pid", "=3,pid=1",
                            "pid=1,,transport=2", "pid=99999999999999999999"}) {
        error.clear();
        EXPECT_FALSE(parseDeviceFields(bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(helper_devices_file, reads_an_array_or_a_devices_dictionary) {
    TempDir dir;
    auto records = makeArray({Value(makeDictionary({{"pid", 0x0403}, {"transport", 3}})), "odd"});
    ASSERT_TRUE(writeToFile(*makeDictionary({{"devices", records}}), dir.file("d.plist"), true));
    std::string error;
    auto fromDictionary = readDevicesFile(dir.file("d.plist"), &error);
    ASSERT_TRUE(fromDictionary) << error;
    EXPECT_EQ(Value(*fromDictionary), Value(records));
    EXPECT_EQ(describeDevices(**fromDictionary), "0x0403:3:0,?");

    dir.write("a.plist", "<plist><array><dict><key>pid</key><integer>1</integer></dict></array></plist>");
    auto fromArray = readDevicesFile(dir.file("a.plist"), &error);
    ASSERT_TRUE(fromArray) << error;
    EXPECT_EQ((*fromArray)->size(), 1u);

    dir.write("s.plist", "<plist><string>x</string></plist>");
    dir.write("bad.plist", "<plist><array>");
    const std::pair<const char*, const char*> failures[] = {
        {"s.plist", "no-device-list"}, {"bad.plist", "unreadable"}, {"none.plist", "missing"}};
    for (const auto& [name, reason] : failures) {
        EXPECT_FALSE(readDevicesFile(dir.file(name), &error)) << name;
        EXPECT_EQ(error, reason);
    }
}

TEST(helper_log, quotes_values_only_when_a_reader_could_misread_them) {
    EXPECT_EQ(logValue("com.example.app"), "com.example.app");
    EXPECT_EQ(logValue("Mäuschen"), "Mäuschen");
    EXPECT_EQ(logValue(""), "\"\"");
    EXPECT_EQ(logValue("a b"), "\"a b\"");
    EXPECT_EQ(logValue("q\"\\\n\t\x01\x7f"), "\"q\\\"\\\\\\n\\t\\x01\\x7f\"");
}

}  // namespace
}  // namespace quillon::helper
