// Tests of matching settings sets to an application and a device, and of the driver block.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "prefs/settings_matching.h"
#include "prefs/settings_records.h"

namespace quillon {
namespace {

DictRef record(std::string_view type, DictRef app = nullptr, std::int64_t address = 0) {
    DictRef r = emptyQuillonMouseSettings();
    r->dictionary("device")->set("type", type);
    r->dictionary("device")->set("address", address);
    if (app) r->set("app", app);
    return r;
}

DictRef prefsWith(std::initializer_list<std::pair<std::string_view, Value>> records) {
    return makeDictionary({{"settings", makeDictionary(records)}});
}

DictRef device(std::string_view type) { return makeDictionary({{"type", type}}); }

Value strings(std::initializer_list<const char*> items) {
    ArrayRef a = Array::create();
    for (const char* s : items) a->append(s);
    return Value(a);
}

TEST(settings_match, the_empty_record_alone_is_global_but_not_best) {
    const DictRef prefs = prefsWith({{"0001", emptyQuillonMouseSettings()}});
    const DictRef match = matchQuillonMouseSettings(*prefs, nullptr, device("tamber").get());
    ASSERT_TRUE(match);
    EXPECT_EQ(Value(match),
              Value(makeDictionary({{"globalKey", "0001"}, {"matches", strings({"0001"})}})));
}

TEST(settings_match, a_family_record_beats_the_empty_record) {
    const DictRef app = makeDictionary({{"bundleID", "com.example.app"}});
    const DictRef prefs = prefsWith({{"0001", emptyQuillonMouseSettings()},
                                     {"0002", record("tamber")},
                                     {"0003", record("tamber", app)},
                                     {"0004", record("pell")},
                                     {"0005", record("tamber", nullptr, 7)}});
    const DictRef match = matchQuillonMouseSettings(*prefs, nullptr, device("tamber").get());
    ASSERT_TRUE(match);
    // 0003 scores 1000 as well, but 0002 came first; an application record is never global.
    EXPECT_EQ(Value(match),
              Value(makeDictionary({{"appKey", "0002"},
                                    {"globalKey", "0002"},
                                    {"matches", strings({"0001", "0002", "0003"})}})));
}

TEST(settings_match, scores_application_fields_type_and_address) {
    const DictRef app = makeDictionary({{"bundleID", "X"}, {"execName", "Y"}});
    const DictRef tamber = device("tamber");
    EXPECT_EQ(scoreQuillonMouseSettings(*record("tamber", app), app.get(), tamber.get()), 3000);
    const DictRef withSignature =
        makeDictionary({{"bundleID", "X"}, {"execName", "Y"}, {"signature", "S"}});
    // The signature sets -10000, then the type adds 1000.
    EXPECT_EQ(scoreQuillonMouseSettings(*record("tamber", withSignature), app.get(), tamber.get()),
              -9000);
    EXPECT_EQ(scoreQuillonMouseSettings(*record("pell"), nullptr, tamber.get()), -10000);
    EXPECT_EQ(scoreQuillonMouseSettings(*record("tamber"), nullptr, nullptr), -10000);
    // No application given: the record's application fields do not count.
    EXPECT_EQ(scoreQuillonMouseSettings(*record("tamber", app), nullptr, tamber.get()), 1000);
    const DictRef at7 = makeDictionary({{"type", "tamber"}, {"address", 7}});
    EXPECT_EQ(scoreQuillonMouseSettings(*record("tamber", nullptr, 7), nullptr, at7.get()), 2000);
    EXPECT_EQ(scoreQuillonMouseSettings(*record("tamber", nullptr, 8), nullptr, at7.get()), -10000);
    EXPECT_EQ(scoreQuillonMouseSettings(*record("", nullptr, -3), nullptr, nullptr), 0);
    // An application value that is not a string is not set.
    const DictRef numeric = makeDictionary({{"bundleID", 5}});
    EXPECT_EQ(scoreQuillonMouseSettings(*record("", numeric), app.get(), nullptr), 0);
}

TEST(settings_match, gives_nothing_without_a_global_or_best_record) {
    EXPECT_FALSE(matchQuillonMouseSettings(*prefsWith({}), nullptr, device("tamber").get()));
    EXPECT_FALSE(matchQuillonMouseSettings(*makeDictionary({}), nullptr, nullptr));
    EXPECT_FALSE(matchQuillonMouseSettings(*prefsWith({{"0002", record("pell")}}), nullptr,
                                           device("tamber").get()));
    // Scoring exactly 0 with application fields: in no key, and so no result at all.
    const DictRef app = makeDictionary({{"execName", "Y"}});
    EXPECT_FALSE(matchQuillonMouseSettings(*prefsWith({{"0002", record("", app)}}), nullptr,
                                           device("tamber").get()));
}

TEST(settings_match, with_an_application_prefers_its_record) {
    const DictRef app = makeDictionary({{"bundleID", "com.example.app"}, {"execName", "example"}});
    const DictRef prefs =
        prefsWith({{"0001", record("tamber")},
                   {"0002", record("tamber", app)},
                   {"0003", record("tamber", makeDictionary({{"execName", "other"}}))}});
    const DictRef match = matchQuillonMouseSettings(*prefs, app.get(), device("tamber").get());
    ASSERT_TRUE(match);
    EXPECT_EQ(Value(match), Value(makeDictionary({{"appKey", "0002"},
                                                  {"globalKey", "0001"},
                                                  {"matches", strings({"0001", "0002"})}})));
}

TEST(settings_find, finds_the_first_record_with_type_exec_name_and_bundle_id) {
    const DictRef table = makeDictionary({
        {"0001", record("pell")},
        {"0002", record("tamber", makeDictionary({{"bundleID", "B"}}))},
        {"0003", record("tamber", makeDictionary({{"bundleName", "Other"}}))},
        {"0004", record("tamber")},
        {"0005", record("tamber", makeDictionary({{"bundleID", "B"}, {"execName", "E"}}))},
        {"0006", "not a record"},
    });
    EXPECT_EQ(findQuillonMouseSettings(*table, *record("tamber")), "0003");
    EXPECT_EQ(
        findQuillonMouseSettings(*table, *record("tamber", makeDictionary({{"bundleID", "B"}}))),
        "0002");
    EXPECT_EQ(
        findQuillonMouseSettings(
            *table,
            *record("tamber",
                    makeDictionary({{"bundleID", "B"}, {"execName", "E"}, {"signature", "S"}}))),
        "0005");
    EXPECT_EQ(findQuillonMouseSettings(*table, *record("sorrel")), std::nullopt);
    // A probe without sub-records is a record of no family for all applications.
    EXPECT_EQ(findQuillonMouseSettings(*makeDictionary({{"0009", makeDictionary({})}}),
                                       *makeDictionary({})),
              "0009");
}

TEST(driver_block, scales_percentages_for_the_driver) {
    const std::pair<std::int64_t, int> cases[] = {
        {-5, 10},   {0, 10},     {50, 55},    {99, 99},        {100, 100},
        {150, 550}, {200, 1000}, {201, 1000}, {INT64_MIN, 10}, {INT64_MAX, 1000}};
    for (const auto& [percent, scale] : cases) EXPECT_EQ(driverScale(percent), scale) << percent;
}

// The block for a match of app record 1002 over global record 0001, written out by hand.
std::array<std::uint8_t, 232> handMadeBlock() {
    std::array<std::uint8_t, 232> b{};
    const std::uint8_t header[40] = {
        0xEA, 0x03, 0x00, 0x00,  // 1002
        1,    0,                 // enabled
        0x15, 0x00,              // doubleX, invertX, swapXY
        0xE8, 0x03,              // 1000
        0x26, 0x02,              // speed 150 -> 550
        0x37, 0x00,              // acceleration 50 -> 55
        0x01, 0x02,              // speedEnabled, low byte of accEnabled 258
        0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x00,
        0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x02, 0x00,
    };
    std::memcpy(b.data(), header, sizeof header);
    const auto slot = [&b](int i, std::uint8_t command, std::uint8_t byte, std::uint16_t word) {
        std::uint8_t* s = b.data() + 40 + 6 * i;
        s[0] = command;
        s[2] = byte;
        s[4] = static_cast<std::uint8_t>(word & 0xFF);
        s[5] = static_cast<std::uint8_t>(word >> 8);
    };
    slot(0, 6, 1, 0x0900);    // click button 1 with Command+Option
    slot(1, 7, 12, 0x0100);   // keystroke, from the global record through command 2
    slot(2, 8, 255, 0x1000);  // modifiers only: byte 255 whatever the action says
    slot(3, 16, 2, 0x1234);   // scroll direction 2, count 0x11234 cut to 16 bits
    slot(4, 18, 3, 0);
    slot(5, 23, 1, 0);
    slot(6, 24, 1, 0x41);
    slot(7, 26, 9, 0);
    slot(8, 27, 4, 0);
    slot(9, 12, 0, 0);  // macro: nothing for the driver
    // Slot 10: command 2, and the global record has no action 10, so all zero.
    slot(11, 6, 0, 0);          // command 262: its low byte is a click
    slot(31, 6, 0xFF, 0xFFFF);  // low bits of -1
    return b;
}

DictRef blockPrefs() {
    DictRef global = record("tamber");
    global->set("actions",
                makeDictionary({
                    {"01", makeDictionary({{"command", 7}, {"keyCode", 12}, {"modifiers", 256}})},
                }));
    DictRef app = record("tamber", makeDictionary({{"bundleID", "com.example.app"}}));
    app->set("options", makeDictionary({{"doubleX", true},
                                        {"invertX", 1},
                                        {"swapXY", "YES"},
                                        {"doubleY", false},
                                        {"speed", 150},
                                        {"acceleration", 50},
                                        {"speedEnabled", 1},
                                        {"accEnabled", 258}}));
    app->set(
        "actions",
        makeDictionary({
            {"00", makeDictionary({{"command", 6}, {"button", 1}, {"modifiers", 0x0900}})},
            {"01", makeDictionary({{"command", 2}, {"keyCode", 99}})},
            {"02", makeDictionary({{"command", 8}, {"keyCode", 5}, {"modifiers", 0x1000}})},
            {"03", makeDictionary({{"command", 16}, {"direction", 2}, {"count", 0x11234}})},
            {"04", makeDictionary({{"command", 18}, {"panAxes", 3}, {"modifiers", 7}})},
            {"05", makeDictionary({{"command", 23}, {"swapMode", 1}})},
            {"06", makeDictionary({{"command", 24}, {"permanent", 1}, {"xyOptions", 0x41}})},
            {"07", makeDictionary({{"command", 26}, {"control", 9}})},
            {"08", makeDictionary({{"command", 27}, {"itunes", 4}})},
            {"09", makeDictionary({{"command", 12}, {"macro", makeArray({})}, {"modifiers", 3}})},
            {"10", makeDictionary({{"command", 2}})},
            {"11", makeDictionary({{"command", 262}, {"button", 256}})},
            {"31", makeDictionary({{"command", 6}, {"button", -1}, {"modifiers", -1}})},
            {"32", makeDictionary({{"command", 6}, {"button", 1}})},
        }));
    return prefsWith({{"0001", global}, {"1002", app}});
}

TEST(driver_block, matches_a_block_made_by_hand_byte_for_byte) {
    const DictRef prefs = blockPrefs();
    const DictRef match = makeDictionary({{"appKey", "1002"}, {"globalKey", "0001"}});
    DriverSettingsBlock block;
    std::memset(static_cast<void*>(&block), 0xAA, sizeof block);
    ASSERT_TRUE(fillQuillonMouseSettings(*prefs, &block, match.get()));
    const auto expected = handMadeBlock();
    const auto bytes = block.bytes();
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(bytes[i], expected[i]) << "byte " << i;
    EXPECT_EQ(block.settingsNumber.get(), 1002);
    EXPECT_EQ(block.buttons[3].word.get(), 0x1234);
}

TEST(driver_block, a_global_match_takes_everything_from_the_global_record) {
    DictRef prefs = blockPrefs();
    prefs->dictionary("settings")
        ->dictionary("0001")
        ->dictionary("actions")
        ->set("05", makeDictionary({{"command", 2}, {"swapMode", 1}}));
    prefs->dictionary("settings")->dictionary("0001")->set("enabled", false);
    DriverSettingsBlock block{};
    ASSERT_TRUE(
        fillQuillonMouseSettings(*prefs, &block, makeDictionary({{"globalKey", "0001"}}).get()));
    EXPECT_EQ(block.settingsNumber.get(), 1);
    EXPECT_EQ(block.enabled, 0);
    EXPECT_EQ(block.speed.get(), 100);
    EXPECT_EQ(block.axisFlags.get(), 0);
    EXPECT_EQ(block.buttons[1].command, 7);
    EXPECT_EQ(block.buttons[1].parameter, 12);
    EXPECT_EQ(block.buttons[5].command, 2);
    EXPECT_EQ(block.buttons[5].parameter, 0);
    EXPECT_EQ(block.buttons[0].command, 0);
}

TEST(driver_block, refuses_without_block_match_or_key) {
    const DictRef prefs = blockPrefs();
    DriverSettingsBlock block{};
    block.enabled = 7;
    EXPECT_FALSE(
        fillQuillonMouseSettings(*prefs, nullptr, makeDictionary({{"appKey", "1002"}}).get()));
    EXPECT_FALSE(fillQuillonMouseSettings(*prefs, &block, nullptr));
    EXPECT_FALSE(fillQuillonMouseSettings(*prefs, &block,
                                          makeDictionary({{"matches", strings({"1002"})}}).get()));
    EXPECT_EQ(block.enabled, 7);
    // A key without a record reads as a record of zeros.
    ASSERT_TRUE(
        fillQuillonMouseSettings(*prefs, &block, makeDictionary({{"appKey", "0042"}}).get()));
    EXPECT_EQ(block.settingsNumber.get(), 42);
    EXPECT_EQ(block.enabled, 0);
    EXPECT_EQ(block.speed.get(), 10);
    EXPECT_EQ(block.constants[4].get(), 655360u);
}

}  // namespace
}  // namespace quillon
