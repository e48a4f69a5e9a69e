// Generated preferences files shaped like the settings pane's own, for benchmarks and tests.
#pragma once

#include "plist/value.h"

namespace quillon::testing {

// A preferences dictionary {settings, general, state, version} whose settings hold `records`
// device records keyed "0000", "0001", ...: app and device descriptions, pointer and scroll
// options, and 32 button actions each. Every fifth record has a text action with a long
// non-ASCII string and every seventh a macro (arrays of arrays of small dictionaries).
// The same count always gives the same dictionary.
DictRef makePreferences(int records);

}  // namespace quillon::testing
