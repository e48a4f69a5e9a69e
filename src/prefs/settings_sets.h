// Whole settings sets: the next free UID, the base of a new set and a new set for an application.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plist/value.h"

namespace quillon {

// The lowest UID that new sets get.
inline constexpr std::uint32_t kFirstUserSettingsUID = 1000;

// The first number from max(start, 1000) up to 2^32-1 that no set of table is filed under
// ("%04d"); nothing when every one of them is taken. Counting never wraps around to numbers
// below 1000, and it ends after at most table.size() + 1 steps.
std::optional<std::uint32_t> uniqueSettingsUID(const Dictionary& table, std::uint32_t start);

// What a new set starts from.
enum class NewSettingsBase { Global = 0, Empty = 1, Copy = 2 };

// A deep copy of the global set of family in prefs; nothing when the family has none.
DictRef copyOfGlobalSettings(const Dictionary& prefs, const std::string& family);

// Writes into record what makes it the user's set of family for the application whose
// information entries are info and localizedInfo (either may be null): enabled, not a preset,
// category "User", the device type, the display name (localized name, else name, else
// executable; kept when there is none) and the four application fields that info has.
void makeApplicationSettings(Dictionary& record, const std::string& family, const Dictionary* info,
                             const Dictionary* localizedInfo);

// Where a new set went: its key in the table, and whether it was added (false: a set of the
// same family and application was there already and is meant instead).
struct AddedSettings {
    std::string key;
    bool added = false;
};

// Files record in table under the first free UID, unless a set of its family and application
// is there; nothing when no UID is free.
std::optional<AddedSettings> addApplicationSettings(Dictionary& table, DictRef record);

// Gives every set but a keyboard's a main click: a set where none of the slots a click can sit
// on holds a click of button 0 gets one on "00", which loses what "00" did. Without it the
// device could not click at all. The UIDs of the sets changed, in key order.
std::vector<std::string> giveEverySetAMainClick(Dictionary& table);

}  // namespace quillon
