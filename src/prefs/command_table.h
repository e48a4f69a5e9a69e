// Action command codes: one row per code saying its editor page, kept keys and driver slot.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace quillon {

// Command codes as stored under an action's `command`.
enum CommandCode : std::int64_t {
    kCommandNone = 0,
    kCommandPlain1 = 1,
    kCommandGlobal = 2,
    kCommandPlain3 = 3,
    kCommandClick = 6,
    kCommandKey = 7,
    kCommandMods = 8,
    kCommandShortcut = 9,
    kCommandChar = 10,
    kCommandText = 11,
    kCommandMacro = 12,
    kCommandPlain13 = 13,
    kCommandScroll = 16,
    kCommandPlain17 = 17,
    kCommandPan = 18,
    kCommandApp = 19,
    kCommandOpen = 20,
    kCommandSpecial = 21,
    kCommandUrl = 22,
    kCommandSwap = 23,
    kCommandMotion = 24,
    kCommandSystem = 26,
    kCommandItunes = 27,
    kCommandScript = 28,
};

inline constexpr std::int64_t kLowestCommandCode = 0;
inline constexpr std::int64_t kHighestCommandCode = 28;

// The `keyCode` that means "no key chosen".
inline constexpr std::int64_t kNoKeyCode = 255;

// Where a byte or word of a driver button slot comes from.
struct SlotSource {
    enum class Kind : std::uint8_t { Zero, Constant, Key };
    Kind kind = Kind::Zero;
    std::string_view key;        // the action key read, for Kind::Key
    std::uint16_t constant = 0;  // the value written, for Kind::Constant
};

// One valid command code.
struct CommandInfo {
    std::int64_t code;
    std::string_view name;  // short identifier, e.g. "click"
    std::string_view tab;   // the action editor page it selects (`ui.actionTab`)
    // Parameter keys the cleanup keeps besides `command`; empty views fill unused places.
    std::array<std::string_view, 2> keptKeys;
    // A kept key stored with filledValue when the action lacks it (the keystroke's `keyCode`).
    std::string_view filledKey;
    std::int64_t filledValue;
    // The driver slot takes the action of the same key from the match's global record.
    bool fromGlobalRecord;
    SlotSource slotByte;
    SlotSource slotWord;
    std::string_view meaning;  // for people: tools and messages
};

// Every valid code, in ascending order of code.
std::span<const CommandInfo> commandTable();

// The row of code, or nullptr for an invalid code (4, 5, 14, 15, 25, below 0, above 28).
const CommandInfo* commandInfo(std::int64_t code);

// The editor page for code: its row's tab, "empty" for an invalid code.
std::string_view commandTab(std::int64_t code);

// True when key is one that the cleanup keeps for code (never true for `command` itself).
bool commandKeepsKey(std::int64_t code, std::string_view key);

}  // namespace quillon
