// Key and modifier names: the short text shown for a keystroke (key code plus modifier mask), with
// names from the pane's strings table and characters from the keyboard layout read at pane load.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/keyboard_layout.h"

namespace quillon {

class Bundle;

// The numeric keypad block; its keys carry the extra name "Num" among the modifier names.
inline constexpr std::uint8_t keypadFirstKeyCode = 0x41;
inline constexpr std::uint8_t keypadLastKeyCode = 0x5C;
inline constexpr std::uint8_t escapeKeyCode = 0x35;

// Control characters that layouts give for special keys; position i is named by
// specialKeyNames[i].
inline constexpr std::array<std::uint8_t, 15> specialKeyChars{
    0x1C, 0x1D, 0x1E, 0x1F, 0x01, 0x03, 0x04, 0x05, 0x08, 0x09, 0x0B, 0x0C, 0x0D, 0x20, 0x7F};

// Name keys of the special characters, then of escape from the Escape key, escape from any other
// key, and the function-key character.
inline constexpr std::array<std::string_view, 18> specialKeyNames{
    "left",   "right",     "up",     "down",  "home", "enter",
    "end",    "help",      "delete", "tab",   "page up", "page down",
    "return", "space",     "forward delete",  "esc",  "clear", "F"};
inline constexpr std::size_t escapeNameIndex = 15;
inline constexpr std::size_t clearNameIndex = 16;
inline constexpr std::size_t functionKeyNameIndex = 17;
inline constexpr std::uint8_t escapeChar = 0x1B;
inline constexpr std::uint8_t functionKeyChar = 0x10;

// Key codes of F1 to F15, by position.
inline constexpr std::array<std::uint8_t, 15> functionKeyCodes{
    0x7A, 0x78, 0x63, 0x76, 0x60, 0x61, 0x62, 0x64, 0x65, 0x6D, 0x67, 0x6F, 0x69, 0x6B, 0x71};

// Keys named by their code alone, whatever the layout says.
struct FixedKeyName {
    std::uint8_t keyCode;
    std::string_view name;
};
inline constexpr std::array<FixedKeyName, 6> fixedKeyNames{{{0x37, "Command"},
                                                            {0x38, "Shift"},
                                                            {0x39, "Caps Lock"},
                                                            {0x3A, "Option"},
                                                            {0x3B, "Control"},
                                                            {0x6E, "application"}}};

// The named modifiers, in the order their names are shown.
struct ModifierName {
    std::uint16_t mask;
    std::string_view name;
};
inline constexpr std::array<ModifierName, 5> modifierNames{{{controlKeyMask, "Control"},
                                                            {commandKeyMask, "Command"},
                                                            {optionKeyMask, "Option"},
                                                            {shiftKeyMask, "Shift"},
                                                            {capsLockKeyMask, "Caps Lock"}}};
inline constexpr std::string_view keypadName = "Num";
inline constexpr std::string_view noKeystrokeName = "(none)";
inline constexpr std::string_view unknownKeyName = "???";
inline constexpr std::string_view keystrokeSeparator = "+";

// Status of copyCurrentKeyLayout.
inline constexpr int keyLayoutFound = 0;
inline constexpr int keyLayoutNoOutput = -50;
inline constexpr int keyLayoutNotFound = -192;

// Process-wide naming state, written when the pane loads and only read afterwards (main thread).
// Keeps bundle for names from strings table `table`, and fills the character table with the
// character of key codes 0 to 126 with Command held on the current layout of layouts. Without a
// layout the character table keeps what it held. Replaces the bundle and table of earlier calls.
void initKeystrokeNames(std::shared_ptr<const Bundle> bundle, std::string_view table,
                        KeyboardLayouts& layouts);
// Forgets the bundle and table and clears the character table, as at process start (for tests).
void resetKeystrokeNames();
// Entry k: the Mac OS Roman code that key code k types with Command held, 0 for none.
const std::array<std::uint8_t, 128>& keyCharTable();

// The text of a keystroke as the pane shows it, e.g. "Command+Shift+a" or "Num+enter".
std::string keystrokeString(std::uint8_t keyCode, std::uint16_t modifiers);
// The text of a keystroke with the given separators after modifier names and before the key
// (absent: none); upperCase shows letters a to z in upper case.
std::string keystrokeStringWithSeparators(std::uint8_t keyCode, std::uint16_t modifiers,
                                          std::optional<std::string_view> modifierSeparator,
                                          std::optional<std::string_view> keySeparator,
                                          bool upperCase);
// The names of the modifiers in modifiers, and "Num" for a keypad key, joined by separator.
std::string modifierString(std::uint8_t keyCode, std::uint16_t modifiers,
                           std::optional<std::string_view> separator);
// The name of the key alone; "" for noKeyCode.
std::string keyCodeString(std::uint8_t keyCode, bool upperCase);
// The text for name key from the strings table given to initKeystrokeNames; the key itself when
// the table lacks it or before initialisation.
std::string localizedKeyName(std::string_view key);

// Sets *layout to the current keyboard layout, else the current ASCII-capable one. Returns
// keyLayoutFound, keyLayoutNoOutput when layout is null, or keyLayoutNotFound (and a null layout).
int copyCurrentKeyLayout(KeyboardLayouts& layouts, std::shared_ptr<const KeyLayout>* layout);
// The Mac OS Roman code of the character key keyCode types with modifiers on layout, '?' when
// Mac OS Roman lacks it, 0 for no character or no layout. Never starts a dead-key composition, so
// deadKeyState (may be null) is left as it is.
std::uint8_t keyCodeToChar(std::uint8_t keyCode, std::uint16_t modifiers, const KeyLayout* layout,
                           std::uint32_t* deadKeyState = nullptr);

}  // namespace quillon
