// Settings and action records: record keys, the default settings record and action cleanup.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "plist/value.h"

namespace quillon {

// Scroll options that the load-time cleanup fills into every settings record, with their values.
struct ScrollOptionDefault {
    std::string_view key;
    std::int64_t value;
};
inline constexpr ScrollOptionDefault kScrollOptionDefaults[] = {
    {"scrollDPI", 400},        {"scrollSpeed", 100},   {"scrollXYRatio", 50},
    {"scrollMaxCount", 15000}, {"scrollMinDelay", 40}, {"scrollMaxDelay", 250},
};

// Number of action slots the driver carries ("00" to "31").
inline constexpr int kDriverActionCount = 32;

// A settings UID: the set's number with at least four digits ("0001", "1000", "12345").
std::string settingsUID(std::int64_t number);
// An action key: the control's index with at least two digits ("00", "31").
std::string actionKey(std::int64_t index);

// A new default settings record (global, all applications, one main click on "00"), mutable at
// every level and sharing nothing with any other record.
DictRef emptyQuillonMouseSettings();

// True when the record names an application (any of the four `app` name fields is a non-empty
// string); a record without one is a global record.
bool hasApplicationField(const Dictionary& settings);

// Normalises one action record in place: an invalid command empties it to {command 0}; otherwise
// only `command` and the code's kept keys stay, and a keystroke without `keyCode` gets 255.
void cleanupQuillonMouseAction(Dictionary& action);

// The dictionary under key, a new empty one stored there when the value is missing or is not a
// dictionary.
Dictionary& dictionaryUnder(Dictionary& parent, std::string_view key);

}  // namespace quillon
