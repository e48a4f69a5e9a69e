// Tests of the command table, the default settings record and the cleanup of one action.
#include <gtest/gtest.h>

#include <set>

#include "plist/property_list.h"
#include "prefs/command_table.h"
#include "prefs/settings_records.h"

namespace quillon {
namespace {

// The action after cleanup, as a value compared whole.
Value cleaned(DictRef action) {
    cleanupQuillonMouseAction(*action);
    return Value(action);
}

TEST(command_table, lists_every_valid_code_once_and_no_invalid_one) {
    std::set<std::int64_t> codes;
    for (const CommandInfo& row : commandTable()) {
        EXPECT_TRUE(codes.insert(row.code).second) << row.code;
        EXPECT_EQ(commandInfo(row.code), &row);
        EXPECT_FALSE(row.tab.empty());
        EXPECT_FALSE(row.name.empty());
    }
    EXPECT_EQ(codes.size(), 24u);
    for (std::int64_t invalid : {-1, 4, 5, 14, 15, 25, 29, 256}) {
        EXPECT_EQ(commandInfo(invalid), nullptr) << invalid;
        EXPECT_EQ(commandTab(invalid), "empty") << invalid;
    }
    for (std::int64_t plain : {0, 1, 2, 3, 13, 17}) EXPECT_EQ(commandTab(plain), "empty");
    EXPECT_EQ(commandTab(kCommandMotion), "motion");
    EXPECT_TRUE(commandKeepsKey(kCommandChar, "modifiers"));
    EXPECT_FALSE(commandKeepsKey(kCommandChar, "command"));
    EXPECT_FALSE(commandKeepsKey(kCommandGlobal, ""));
}

TEST(settings_records, formats_uids_and_action_keys_with_leading_zeros) {
    EXPECT_EQ(settingsUID(1), "0001");
    EXPECT_EQ(settingsUID(1000), "1000");
    EXPECT_EQ(settingsUID(12345), "12345");
    EXPECT_EQ(actionKey(0), "00");
    EXPECT_EQ(actionKey(31), "31");
}

TEST(settings_records, empty_settings_holds_exactly_the_default_record) {
    const auto expected = parseXmlPropertyList(R"(<plist version="1.0"><dict>
        <key>actions</key><dict><key>00</key><dict>
            <key>command</key><integer>6</integer><key>button</key><integer>0</integer>
            <key>modifiers</key><integer>0</integer></dict></dict>
        <key>app</key><dict><key>bundleID</key><string></string><key>bundleName</key><string></string>
            <key>execName</key><string></string><key>signature</key><string></string>
            <key>versMax</key><integer>0</integer><key>versMin</key><integer>0</integer></dict>
        <key>category</key><string>Global Settings</string>
        <key>device</key><dict><key>type</key><string></string><key>address</key><integer>0</integer></dict>
        <key>displayName</key><string>All Applications</string>
        <key>enabled</key><true/>
        <key>options</key><dict><key>acceleration</key><integer>100</integer>
            <key>accEnabled</key><integer>0</integer><key>speed</key><integer>100</integer>
            <key>speedEnabled</key><integer>0</integer><key>doubleX</key><false/>
            <key>doubleY</key><false/><key>invertX</key><false/><key>invertY</key><false/>
            <key>swapXY</key><false/></dict>
        <key>preset</key><true/>
        </dict></plist>)");
    ASSERT_TRUE(expected.isPresent());
    EXPECT_EQ(Value(emptyQuillonMouseSettings()), expected);
    EXPECT_FALSE(hasApplicationField(*emptyQuillonMouseSettings()));
}

TEST(settings_records, empty_settings_records_share_nothing) {
    const DictRef a = emptyQuillonMouseSettings();
    const DictRef b = emptyQuillonMouseSettings();
    a->dictionary("actions")->dictionary("00")->set("button", 3);
    a->dictionary("options")->set("speed", 150);
    EXPECT_EQ(b->dictionary("actions")->dictionary("00")->integer("button"), 0);
    EXPECT_EQ(b->dictionary("options")->integer("speed"), 100);
    EXPECT_EQ(Value(emptyQuillonMouseSettings()), Value(b));
}

TEST(settings_records, application_field_needs_a_non_empty_string) {
    EXPECT_FALSE(
        hasApplicationField(*makeDictionary({{"app", makeDictionary({{"execName", 5}})}})));
    EXPECT_FALSE(hasApplicationField(*makeDictionary({{"app", "com.example"}})));
    EXPECT_TRUE(
        hasApplicationField(*makeDictionary({{"app", makeDictionary({{"signature", "ABCD"}})}})));
}

TEST(action_cleanup, keeps_only_the_keys_of_its_command) {
    EXPECT_EQ(
        cleaned(makeDictionary({{"command", 6}, {"button", 2}, {"keyCode", 12}, {"text", "x"}})),
        Value(makeDictionary({{"command", 6}, {"button", 2}})));
    EXPECT_EQ(
        cleaned(makeDictionary({{"command", 12}, {"macro", makeArray({1})}, {"modifiers", 256}})),
        Value(makeDictionary({{"command", 12}, {"macro", makeArray({1})}})));
    EXPECT_EQ(cleaned(makeDictionary(
                  {{"command", 24}, {"xyOptions", 3}, {"permanent", 1}, {"button", 1}})),
              Value(makeDictionary({{"command", 24}, {"xyOptions", 3}, {"permanent", 1}})));
    EXPECT_EQ(cleaned(makeDictionary({{"command", 2}, {"button", 1}})),
              Value(makeDictionary({{"command", 2}})));
    // A command stored as text reads by its leading integer, and stays as it was stored.
    EXPECT_EQ(cleaned(makeDictionary({{"command", "11"}, {"text", "hi"}, {"button", 1}})),
              Value(makeDictionary({{"command", "11"}, {"text", "hi"}})));
}

TEST(action_cleanup, gives_a_keystroke_without_key_the_no_key_code) {
    EXPECT_EQ(cleaned(makeDictionary({{"command", 7}})),
              Value(makeDictionary({{"command", 7}, {"keyCode", 255}})));
    EXPECT_EQ(cleaned(makeDictionary({{"command", 7}, {"keyCode", 0}, {"modifiers", 256}})),
              Value(makeDictionary({{"command", 7}, {"keyCode", 0}, {"modifiers", 256}})));
    // Only the keystroke gets a key code filled in.
    EXPECT_EQ(cleaned(makeDictionary({{"command", 8}})), Value(makeDictionary({{"command", 8}})));
}

TEST(action_cleanup, resets_invalid_commands_to_an_empty_action) {
    for (const Value& code :
         {Value(25), Value(29), Value(-1), Value(4), Value(15), Value(1LL << 40)})
        EXPECT_EQ(cleaned(makeDictionary({{"command", code}, {"button", 1}})),
                  Value(makeDictionary({{"command", 0}})));
}

TEST(action_cleanup, leaves_an_action_without_command_without_one) {
    EXPECT_EQ(cleaned(makeDictionary({{"button", 1}, {"text", "abc"}})),
              Value(Dictionary::create()));
}

}  // namespace
}  // namespace quillon
