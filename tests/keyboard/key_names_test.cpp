// Tests of key and modifier naming against the fixed-table layout double.
#include "keyboard/key_names.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "plist/bundle.h"
#include "testing/fixed_keyboard_layout.h"
#include "testing/temp_dir.h"

namespace quillon {
namespace {

using testing::FixedKeyboardLayouts;
using testing::FixedKeyLayout;

constexpr std::uint16_t allModifiers =
    commandKeyMask | shiftKeyMask | capsLockKeyMask | optionKeyMask | controlKeyMask;

std::shared_ptr<const Bundle> englishBundle() {
    // Without a language that has a table: every name shows its English key.
    return std::make_shared<Bundle>(testing::sourceDir() / "tests/keyboard/fixtures/names");
}

std::shared_ptr<const Bundle> germanBundle() {
    return std::make_shared<Bundle>(testing::sourceDir() / "tests/keyboard/fixtures/names",
                                    std::vector<std::string>{"de"});
}

class key_names : public ::testing::Test {
protected:
    void SetUp() override { resetKeystrokeNames(); }
    void TearDown() override { resetKeystrokeNames(); }

    void initUs(std::shared_ptr<const Bundle> bundle = englishBundle()) {
        FixedKeyboardLayouts layouts(FixedKeyLayout::usEnglish());
        initKeystrokeNames(std::move(bundle), "Localizable", layouts);
    }
};

TEST_F(key_names, orders_modifier_names_whatever_bits_are_set_and_ignores_unnamed_bits) {
    initUs();
    EXPECT_EQ(keystrokeString(0x01, shiftKeyMask | controlKeyMask), "Control+Shift+s");
    EXPECT_EQ(keystrokeString(0x01, capsLockKeyMask | optionKeyMask), "Option+Caps Lock+s");
    EXPECT_EQ(keystrokeString(0x53, allModifiers), "Control+Command+Option+Shift+Caps Lock+Num+1");
    // Only unnamed bits: an empty modifier text, and so no separator before the key.
    EXPECT_EQ(keystrokeString(0x00, 0x00FF), "a");
    EXPECT_EQ(keystrokeString(0x00, 0xE0FF | commandKeyMask), "Command+a");
    EXPECT_EQ(modifierString(0x53, 0, "+"), "Num");
    EXPECT_EQ(modifierString(0x00, 0, "+"), "");
}

TEST_F(key_names, uses_the_given_separators_and_case) {
    initUs();
    EXPECT_EQ(keystrokeStringWithSeparators(0x00, 0x0300, "-", " ", true), "Command-Shift A");
    EXPECT_EQ(keystrokeStringWithSeparators(0x00, 0x0300, std::nullopt, std::nullopt, false),
              "CommandShifta");
    // Upper case touches only a to z.
    EXPECT_EQ(keyCodeString(0x2A, true), "\\");
    EXPECT_EQ(keystrokeStringWithSeparators(0xFF, 0x0300, "+", "+", false), "Command+Shift");
    EXPECT_EQ(keyCodeString(0xFF, false), "");
}

TEST_F(key_names, names_special_keys_by_the_character_the_layout_gives) {
    initUs();
    const std::pair<std::uint8_t, const char*> keys[] = {
        {0x7B, "left"},   {0x7C, "right"},     {0x7E, "up"},           {0x7D, "down"},
        {0x73, "home"},   {0x77, "end"},       {0x72, "help"},         {0x33, "delete"},
        {0x30, "tab"},    {0x74, "page up"},   {0x79, "page down"},    {0x24, "return"},
        {0x75, "forward delete"},              {0x6F, "F12"},          {0x71, "F15"},
        {0x4C, "enter"},  {0x47, "clear"},     {0x35, "esc"},          {0x31, "space"},
        // F16 and F17 type the function-key character but have no number here.
        {0x6A, "F"},      {0x40, "F"},
        // Modifier keys and the application key are named by code alone.
        {0x37, "Command"}, {0x39, "Caps Lock"}, {0x3A, "Option"}, {0x3B, "Control"},
        {0x6E, "application"},
    };
    for (const auto& [keyCode, name] : keys)
        EXPECT_EQ(keyCodeString(keyCode, false), name) << +keyCode;
    // F18 lies in the keypad block.
    EXPECT_EQ(keystrokeString(0x4F, 0), "Num+F");
}

TEST_F(key_names, uses_low_seven_bits_of_high_key_codes_and_never_fills_127) {
    FixedKeyLayout layout;
    layout.set(0x7F, U'x');
    layout.set(0x35, 0x1B);
    FixedKeyboardLayouts layouts(std::shared_ptr<const KeyLayout>(&layout, [](auto*) {}));
    initKeystrokeNames(englishBundle(), "Localizable", layouts);
    EXPECT_EQ(layout.translations(), 127);
    EXPECT_EQ(keyCharTable()[0x7F], 0);
    EXPECT_EQ(keyCodeString(0x7F, false), "???");
    EXPECT_EQ(keyCodeString(0x35, false), "esc");
    // 0xB5 reads the entry of 0x35 but is not the Escape key.
    EXPECT_EQ(keyCodeString(0xB5, false), "clear");
    EXPECT_EQ(keyCodeString(0xFE, false), "???");
}

TEST_F(key_names, shows_layout_characters_in_mac_os_roman) {
    FixedKeyLayout layout;
    layout.set(0x00, U'\u00E5');           // å
    layout.set(0x01, U'\u20AC');           // €
    layout.set(0x02, U'\u0416');           // Cyrillic Zhe: not in Mac OS Roman
    layout.set(0x03, U'\U0001F600');       // beyond one UTF-16 unit
    layout.set(0x04, U'a', commandKeyMask);  // the character with Command held counts
    layout.set(0x04, U'b');
    FixedKeyboardLayouts layouts(std::shared_ptr<const KeyLayout>(&layout, [](auto*) {}));
    initKeystrokeNames(englishBundle(), "Localizable", layouts);
    EXPECT_EQ(keyCharTable()[0x00], 0x8C);
    EXPECT_EQ(keyCodeString(0x00, true), "\u00E5");
    EXPECT_EQ(keyCodeString(0x01, false), "\u20AC");
    EXPECT_EQ(keyCodeString(0x02, false), "?");
    EXPECT_EQ(keyCodeString(0x03, false), "?");
    EXPECT_EQ(keyCodeString(0x04, false), "a");
}

TEST_F(key_names, without_a_layout_names_only_the_fixed_keys) {
    FixedKeyboardLayouts none;
    initKeystrokeNames(englishBundle(), "Localizable", none);
    for (int k = 0; k < 255; ++k) {
        const auto keyCode = static_cast<std::uint8_t>(k);
        bool fixed = false;
        for (const FixedKeyName& name : fixedKeyNames) fixed = fixed || name.keyCode == keyCode;
        if (!fixed) {
            EXPECT_EQ(keyCodeString(keyCode, false), "???") << k;
        }
    }
    EXPECT_EQ(keystrokeString(0x3B, 0), "Control");
    EXPECT_EQ(keystrokeString(0x00, commandKeyMask), "Command+???");
    EXPECT_EQ(keystrokeString(0xFF, commandKeyMask), "Command");
    EXPECT_EQ(keystrokeString(0xFF, 0), "(none)");

    // A later load without a layout keeps the characters read before.
    initUs();
    initKeystrokeNames(englishBundle(), "Localizable", none);
    EXPECT_EQ(keyCodeString(0x00, false), "a");
}

TEST_F(key_names, finds_the_layout_or_says_why_not) {
    const auto us = FixedKeyLayout::usEnglish();
    std::shared_ptr<const KeyLayout> found = us;
    FixedKeyboardLayouts none;
    EXPECT_EQ(copyCurrentKeyLayout(none, nullptr), keyLayoutNoOutput);
    EXPECT_EQ(copyCurrentKeyLayout(none, &found), keyLayoutNotFound);
    EXPECT_EQ(found, nullptr);

    FixedKeyboardLayouts asciiOnly(nullptr, us);
    EXPECT_EQ(copyCurrentKeyLayout(asciiOnly, &found), keyLayoutFound);
    EXPECT_EQ(found, us);

    FixedKeyLayout other;
    FixedKeyboardLayouts both(std::shared_ptr<const KeyLayout>(&other, [](auto*) {}), us);
    EXPECT_EQ(copyCurrentKeyLayout(both, &found), keyLayoutFound);
    EXPECT_EQ(found.get(), &other);

    EXPECT_EQ(keyCodeToChar(0x00, commandKeyMask, nullptr), 0);
    EXPECT_EQ(keyCodeToChar(0x00, shiftKeyMask, us.get()), 'A');
    EXPECT_EQ(keyCodeToChar(0x3B, 0, us.get()), 0);
}

TEST_F(key_names, takes_names_from_the_strings_table) {
    EXPECT_EQ(localizedKeyName("Command"), "Command");  // before initialisation
    initUs(germanBundle());
    EXPECT_EQ(keystrokeString(0x31, commandKeyMask | shiftKeyMask), "Befehl+Shift+Leertaste");
    EXPECT_EQ(keystrokeString(0x37, 0), "Befehl");
    EXPECT_EQ(keystrokeString(0xFF, 0), "(keine)");
    EXPECT_EQ(localizedKeyName("page up"), "page up");

    // Another table name: the German table is no longer used.
    FixedKeyboardLayouts none;
    initKeystrokeNames(germanBundle(), "Other", none);
    EXPECT_EQ(keystrokeString(0x37, 0), "Command");

    resetKeystrokeNames();
    EXPECT_EQ(localizedKeyName("Command"), "Command");
    EXPECT_EQ(keyCodeString(0x00, false), "???");
}

TEST_F(key_names, renders_from_the_table_without_asking_the_layout_again) {
    const auto us = FixedKeyLayout::usEnglish();
    FixedKeyboardLayouts layouts(us);
    initKeystrokeNames(englishBundle(), "Localizable", layouts);
    const int atLoad = us->translations();
    for (int k = 0; k < 256; ++k) keystrokeString(static_cast<std::uint8_t>(k), commandKeyMask);
    EXPECT_EQ(us->translations(), atLoad);
}

}  // namespace
}  // namespace quillon
