// Choosing the settings sets that apply to an application and a device, and the driver block.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "plist/value.h"
#include "prefs/driver_block.h"

namespace quillon {

// Score of one matching field, and the score a mismatch sets.
inline constexpr std::int64_t kMatchFieldScore = 1000;
inline constexpr std::int64_t kMismatchScore = -10000;

// How well the settings record fits application app and device device (either may be null):
// 1000 for every field both name alike, -10000 once one the record names differs.
std::int64_t scoreQuillonMouseSettings(const Dictionary& settings, const Dictionary* app,
                                       const Dictionary* device);

// The match of the preferences' settings table for app ({bundleID, bundleName, execName,
// signature}) and device ({type, address}), either null for none: a new dictionary with
// `appKey` (best score above 0), `globalKey` (best global record scoring 0 or more) and
// `matches` (every UID scoring 0 or more, in key order); null when there is neither key.
// Among equal scores the first in key order wins.
DictRef matchQuillonMouseSettings(const Dictionary& prefs, const Dictionary* app,
                                  const Dictionary* device);

// The UID of the first record of the settings table with the probe's device type, application
// executable name and bundle identifier (missing and empty count as the same); nothing if none.
std::optional<std::string> findQuillonMouseSettings(const Dictionary& settingsTable,
                                                    const Dictionary& probe);

// Fills block from the record of the match's `appKey` (else `globalKey`); an action with command
// 2 takes the slot from the global record. The whole block is zeroed first, so every byte is
// defined. False, and block untouched, when block or match is null or the match has no key.
bool fillQuillonMouseSettings(const Dictionary& prefs, DriverSettingsBlock* block,
                              const Dictionary* match);

}  // namespace quillon
