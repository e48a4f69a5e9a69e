// Device lists from the helper: the filter, the status text, the menus and the current device.
#include "pane_fixture.h"

namespace quillon::testing {
namespace {

class DevicesTest : public PaneTest {
protected:
    void SetUp() override { load(); }
    std::string status() { return pane->ui()->string("deviceInfo"); }
    std::int64_t currentProduct() { return pane->state()->dictionary("device")->integer("pid"); }
};

TEST_F(DevicesTest, one_device_becomes_current_with_its_menu_and_controls) {
    DictRef mouse = deviceRecord(0x1056);
    receiveDevices({mouse});
    EXPECT_EQ(status(), "You are using a Quillon Tamber One device");
    EXPECT_EQ(pane->ui()->integer("hideDeviceMenu"), 1);
    EXPECT_EQ(pane->ui()->integer("selectedDevice"), 0x1056);
    EXPECT_EQ(Value(pane->state()->dictionary("device")), Value(mouse));  // every key kept
    EXPECT_EQ(deviceMenu.titles(), std::vector<std::string>{"Quillon Tamber One"});
    EXPECT_EQ(deviceMenu.selectedTag(), 0x1056);
    // Global settings first, then the applications' sets by name, case ignored.
    EXPECT_EQ(targetMenu.titles(),
              (std::vector<std::string>{"Zeta Global", "archive", "Browser", "mail"}));
    EXPECT_EQ(targetMenu.itemTag(1), 13);
    EXPECT_EQ(pane->ui()->integer("settingsUID"), 10);
    EXPECT_EQ(pane->settings(), pane->fSettingsTable->dictionary("0010"));
    EXPECT_EQ(controls.rows, (std::vector<std::string>{"Left", "Right", "Wheel"}));

    controls.selectRow(2);
    EXPECT_EQ(pane->ui()->integer("actionIndex"), 13);
    controls.selectRow(-1);
    EXPECT_EQ(pane->ui()->integer("actionIndex"), -1);
}

TEST_F(DevicesTest, filter_accepts_second_interfaces_only_of_listed_products) {
    receiveDevices({deviceRecord(0x1056, 1, 0), deviceRecord(0x1056, 1, 1),
                    deviceRecord(0x0503, 1, 2), deviceRecord(0x1059, 1, 1),
                    deviceRecord(0x1059, 3, 4)});
    // 0x1056 twice, 0x0503 over interface 2 skipped, 0x1059 over interface 1 skipped, over
    // transport 3 taken.
    EXPECT_EQ(deviceMenu.titles(),
              (std::vector<std::string>{"Quillon Tamber One", "Quillon Tamber One",
                                        "Quillon Vantor Two"}));
    EXPECT_EQ(status(),
              "Connected devices: Quillon Tamber One, Quillon Tamber One, Quillon Vantor Two");
    EXPECT_EQ(pane->ui()->integer("hideDeviceMenu"), 0);

    receiveDevices({deviceRecord(0x0503, 1, 1)});
    EXPECT_EQ(status(), "You are using a Quillon Tamber Dock device");
}

TEST_F(DevicesTest, unnamed_devices_count_but_add_no_name) {
    receiveDevices({deviceRecord(0x7777), deviceRecord(0x1056)});
    EXPECT_EQ(status(), "Connected devices: Quillon Tamber One");
    EXPECT_EQ(deviceMenu.titles(), std::vector<std::string>{"Quillon Tamber One"});
    // The first record of the list is current when none matches the stored device.
    EXPECT_EQ(currentProduct(), 0x7777);
    EXPECT_EQ(pane->fDeviceInfo, nullptr);
    EXPECT_TRUE(controls.rows.empty());
}

TEST_F(DevicesTest, hidden_product_is_never_listed_but_can_become_current) {
    receiveDevices({deviceRecord(0x2000), deviceRecord(0x1059)});
    EXPECT_EQ(status(), "You are using a Quillon Vantor Two device");
    EXPECT_EQ(currentProduct(), 0x2000);
    // Once a listed device is the stored one, it wins over the first record.
    pane->switchToDevice(deviceRecord(0x1059));
    receiveDevices({deviceRecord(0x2000), deviceRecord(0x1059), deviceRecord(0x1056)});
    EXPECT_EQ(currentProduct(), 0x1059);
}

TEST_F(DevicesTest, same_products_change_nothing_and_the_check_looks_one_way) {
    receiveDevices({deviceRecord(0x1056), deviceRecord(0x1059)});
    ArrayRef kept = pane->fConnectedDevices;
    receiveDevices({deviceRecord(0x1059, 3, 9), deviceRecord(0x1056, 7, 0)});
    EXPECT_EQ(pane->fConnectedDevices, kept);  // other keys differ: still unchanged
    receiveDevices({deviceRecord(0x1056), deviceRecord(0x1056)});
    EXPECT_EQ(pane->fConnectedDevices, kept);  // every new id was in the old list
    EXPECT_EQ(status(), "Connected devices: Quillon Tamber One, Quillon Vantor Two");

    pane->fConnectedDevices = nullptr;
    receiveDevices({deviceRecord(0x1056), deviceRecord(0x1056)});
    receiveDevices({deviceRecord(0x1056), deviceRecord(0x1059)});
    EXPECT_EQ(status(), "Connected devices: Quillon Tamber One, Quillon Vantor Two");
}

TEST_F(DevicesTest, the_stored_device_survives_an_empty_list_and_a_restart) {
    receiveDevices({deviceRecord(0x1059)});
    receiveDevices({});
    EXPECT_EQ(status(), "No Quillon mouse device connected");
    EXPECT_EQ(pane->ui()->integer("hideDeviceMenu"), 1);
    EXPECT_EQ(currentProduct(), 0x1059);
    EXPECT_EQ(targetMenu.titles(), std::vector<std::string>{"Vantor Global"});

    pane->willUnselect();
    pane.reset();
    load();
    EXPECT_EQ(currentProduct(), 0x1059);
    EXPECT_EQ(pane->fDeviceInfo, pane->fDeviceInfoTable->dictionary("1059"));
    EXPECT_EQ(controls.rows, std::vector<std::string>{"Left"});
}

TEST_F(DevicesTest, choosing_a_device_in_the_menu_makes_it_current) {
    receiveDevices({deviceRecord(0x1056), deviceRecord(0x1013)});
    pane->ui()->set("selectedDevice", Integer(0x1013));
    EXPECT_EQ(currentProduct(), 0x1013);
    // A family without global settings lists only its applications' sets.
    EXPECT_EQ(targetMenu.titles(), std::vector<std::string>{"Editor"});
    EXPECT_EQ(pane->settings(), pane->fSettingsTable->dictionary("0030"));
    pane->ui()->set("selectedDevice", Integer(0x4444));  // not connected: nothing happens
    EXPECT_EQ(currentProduct(), 0x1013);
}

TEST_F(DevicesTest, messages_are_processed_on_a_later_turn_and_bad_ones_ignored) {
    std::string devicesName(kDevicesNotificationName);
    ArrayRef list = makeArray({deviceRecord(0x1056)});
    std::string payload = *encodeNotificationPayload(makeDevicesMessage(list));

    bus.receive("com.quillonworks.mouse.dn.other", payload);
    bus.receive(devicesName, "not a property list");
    bus.receive(devicesName, *encodeNotificationPayload(makeDictionary({{"devicez", list}})));
    bus.receive(devicesName, *encodeNotificationPayload(makeDictionary({{"devices", "text"}})));
    loop.runUntilIdle();
    EXPECT_EQ(pane->fConnectedDevices, nullptr);

    bus.receive(devicesName, payload);
    loop.runPending();  // the notification arrives and hands the list on
    EXPECT_EQ(pane->fConnectedDevices, nullptr);
    loop.runPending();
    ASSERT_TRUE(pane->fConnectedDevices);
    EXPECT_EQ(currentProduct(), 0x1056);

    // Records that are not dictionaries are no devices.
    receiveDevices({});
    bus.receive(
        devicesName,
        *encodeNotificationPayload(makeDictionary(
            {{"devices", makeArray({Integer(3), std::string("x"), deviceRecord(0x1059)})}})));
    loop.runUntilIdle();
    EXPECT_EQ(pane->fConnectedDevices->size(), 1u);
    EXPECT_EQ(currentProduct(), 0x1059);
}

TEST(pane_devices, product_ids_map_to_families) {
    EXPECT_EQ(QuillonMousePane::deviceTypeForProductID(0x1059), "vantor");
    EXPECT_EQ(QuillonMousePane::deviceTypeForProductID(0x1065), "tamber");
    EXPECT_EQ(QuillonMousePane::deviceTypeForProductID(0x1013), "sorrel3");
    EXPECT_EQ(QuillonMousePane::deviceTypeForProductID(0x2102), "vantor");
    EXPECT_EQ(QuillonMousePane::deviceTypeForProductID(0x0800), "sorrel");
    EXPECT_EQ(QuillonMousePane::deviceTypeForProductID(0x2101), "kbd");
    EXPECT_EQ(QuillonMousePane::deviceTypeForProductID(0x0888), "pell");
}

TEST_F(DevicesTest, placeholder_takes_the_name_or_the_global_settings_text) {
    RecordingTextField field;
    field.placeholder = "Settings for @ only";
    pane->replacePlaceholderName(std::string("Mail"), field);
    EXPECT_EQ(field.text, "Settings for Mail only");
    pane->replacePlaceholderName(std::string(), field);
    EXPECT_EQ(field.text, "Settings for Global Settings only");
    field.placeholder = "no marker";
    pane->replacePlaceholderName(std::string("Mail"), field);
    EXPECT_EQ(field.text, "Settings for Global Settings only");
}

}  // namespace
}  // namespace quillon::testing
