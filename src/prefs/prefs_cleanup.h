// Bringing a loaded preferences dictionary into its known shape, and the format update hook.
#pragma once

#include <cstdint>

#include "plist/value.h"

namespace quillon {

// The only format version of the preferences.
inline constexpr std::int64_t kQuillonMousePrefsVersion = 1;

// In place: containers for `settings`, `general` and `state`, `version` 1 when not a number, the
// empty record under "0001" for an empty table, the scroll options every record lacks, and
// cleanupQuillonMouseAction on every action. Removes nothing else. Values of the wrong kind where
// a settings record, its `actions` or an action is expected are skipped.
void cleanupQuillonMousePrefs(Dictionary& prefs);

// In place, what cleanupQuillonMousePrefs does to one settings record: the scroll options it
// lacks, and cleanupQuillonMouseAction on every action.
void cleanupQuillonMouseSettings(Dictionary& record);

// The hook for preferences of another format version; there is no other version yet, so it
// changes nothing.
void updateQuillonMousePrefs(Dictionary& prefs);

}  // namespace quillon
