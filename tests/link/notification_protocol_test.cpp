// The message envelope and the requests: what goes on the wire, and what a hostile peer can send.
#include <gtest/gtest.h>

#include <string>

#include "link/notification_protocol.h"
#include "plist/property_list.h"

namespace quillon {
namespace {

DictRef roundTrip(const DictRef& payload) {
    const auto text = encodeNotificationPayload(payload);
    EXPECT_TRUE(text.has_value());
    return text ? decodeNotificationPayload(*text) : nullptr;
}

TEST(notification_protocol, requests_are_xml_dictionaries_that_come_back_equal) {
    EXPECT_EQ(kRequestNotificationName, "com.quillonworks.mouse.dn.request");
    EXPECT_EQ(kDevicesNotificationName, "com.quillonworks.mouse.dn.devices");

    const auto text = encodeNotificationPayload(makeGetDevicesRequest());
    ASSERT_TRUE(text);
    EXPECT_EQ(text->rfind("<?xml", 0), 0u);
    EXPECT_NE(text->find("<key>request</key>"), std::string::npos);
    EXPECT_NE(text->find("<string>getDevices</string>"), std::string::npos);

    struct Case {
        DictRef request;
        DictRef expected;
    };
    const Case cases[] = {
        {makeUpdatePrefsRequest(), makeDictionary({{"request", "updatePrefs"}})},
        {makeGetDevicesRequest(), makeDictionary({{"request", "getDevices"}})},
        {makeEnterDFURequest(), makeDictionary({{"request", "enterDFU"}})},
        {makeDriverModeRequest(false),
         makeDictionary({{"request", "driverMode"}, {"state", false}})},
        {makeDriverModeRequest(true), makeDictionary({{"request", "driverMode"}, {"state", true}})},
    };
    for (const auto& c : cases) {
        const DictRef back = roundTrip(c.request);
        ASSERT_TRUE(back);
        EXPECT_EQ(Value(back), Value(c.expected)) << back->string("request");
    }
    // The state is a real boolean on the wire, not a number.
    EXPECT_NE(encodeNotificationPayload(makeDriverModeRequest(true))->find("<true/>"),
              std::string::npos);
}

TEST(notification_protocol, devices_messages_keep_every_record_key_and_non_ascii_text) {
    auto device = makeDictionary({{"pid", 0x1056},
                                  {"transport", 1},
                                  {"interface", 0},
                                  {"product", "Mäuschen ✓ <&>"},
                                  {"serial", Data{0, 1, 2}}});
    const DictRef back = roundTrip(makeDevicesMessage(makeArray({Value(device)})));
    ASSERT_TRUE(back);
    const ArrayRef devices = devicesOfMessage(*back);
    ASSERT_TRUE(devices);
    ASSERT_EQ(devices->size(), 1u);
    EXPECT_EQ(devices->at(0), Value(device));

    // An empty list is a list; a missing or mistyped key is none.
    EXPECT_TRUE(devicesOfMessage(*makeDevicesMessage(Array::create())));
    EXPECT_FALSE(devicesOfMessage(*makeDictionary({})));
    EXPECT_FALSE(devicesOfMessage(*makeDictionary({{"devices", "none"}})));
}

TEST(notification_protocol, refuses_to_encode_what_xml_cannot_carry) {
    EXPECT_FALSE(encodeNotificationPayload(nullptr));
    EXPECT_FALSE(encodeNotificationPayload(makeDictionary({{"uid", Uid{3}}})));
    EXPECT_FALSE(encodeNotificationPayload(makeDictionary({{"bad", std::string("\xff\xfe")}})));
}

TEST(notification_protocol, decodes_anything_but_a_property_list_dictionary_as_nothing) {
    const std::string dictionaryXml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        "<key>devices</key><array/></dict></plist>";
    ASSERT_TRUE(decodeNotificationPayload(dictionaryXml));

    std::string deep;
    for (int i = 0; i < maxPropertyListDepth + 1; ++i) deep += "<array>";
    for (int i = 0; i < maxPropertyListDepth + 1; ++i) deep += "</array>";
    const std::string hostile[] = {
        "",
        "garbage",
        std::string("\0\0\0", 3),
        "\xff\xfe\xfd",
        "<plist version=\"1.0\"><array><dict/></array></plist>",
        "<plist version=\"1.0\"><string>devices</string></plist>",
        dictionaryXml.substr(0, dictionaryXml.size() - 10),  // cut short
        "<plist><dict><key>devices</key></dict></plist>",    // key without value
        "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;\">]>"
        "<plist><dict><key>devices</key><string>&b;</string></dict></plist>",
        "<plist version=\"1.0\"><dict><key>devices</key>" + deep + "</dict></plist>",
        "bplist00garbage",
    };
    for (const auto& object : hostile) {
        EXPECT_FALSE(decodeNotificationPayload(object)) << object.substr(0, 60);
    }
}

TEST(notification_protocol, accepts_binary_dictionaries_and_drops_oversized_objects_unread) {
    const auto binary = writeBinaryPropertyList(Value(makeGetDevicesRequest()));
    ASSERT_TRUE(binary);
    const DictRef fromBinary = decodeNotificationPayload(*binary);
    ASSERT_TRUE(fromBinary);
    EXPECT_EQ(fromBinary->string("request"), "getDevices");

    // A well-formed payload just inside the limit is read; one byte more is not.
    const std::string head = "<plist version=\"1.0\"><dict><key>pad</key><string>";
    const std::string tail = "</string></dict></plist>";
    std::string object = head + std::string(kMaxNotificationPayloadBytes - head.size() - tail.size(), 'x') + tail;
    ASSERT_EQ(object.size(), kMaxNotificationPayloadBytes);
    EXPECT_TRUE(decodeNotificationPayload(object));
    object.insert(head.size(), "x");
    EXPECT_FALSE(decodeNotificationPayload(object));
}

}  // namespace
}  // namespace quillon
