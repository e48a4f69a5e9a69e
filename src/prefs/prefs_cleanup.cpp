// Bringing a loaded preferences dictionary into its known shape.
#include "prefs/prefs_cleanup.h"

#include "prefs/settings_records.h"

namespace quillon {

void cleanupQuillonMouseSettings(Dictionary& record) {
    Dictionary& options = dictionaryUnder(record, "options");
    for (const auto& [key, value] : kScrollOptionDefaults)
        if (!options.contains(key)) options.set(key, Value(value));
    if (Dictionary* actions = record.get("actions").dictionaryPtr())
        for (const auto& [key, action] : *actions)
            if (Dictionary* a = action.dictionaryPtr()) cleanupQuillonMouseAction(*a);
}

void cleanupQuillonMousePrefs(Dictionary& prefs) {
    Dictionary& settings = dictionaryUnder(prefs, "settings");
    dictionaryUnder(prefs, "general");
    dictionaryUnder(prefs, "state");
    if (!prefs.get("version").isNumber()) prefs.set("version", Value(kQuillonMousePrefsVersion));
    if (settings.empty()) settings.set(settingsUID(1), Value(emptyQuillonMouseSettings()));
    // Cleaning a record stores only inside it, never into the table, so iterating is safe.
    for (const auto& [uid, record] : settings)
        if (Dictionary* r = record.dictionaryPtr()) cleanupQuillonMouseSettings(*r);
    if (prefs.integer("version") != kQuillonMousePrefsVersion) updateQuillonMousePrefs(prefs);
}

void updateQuillonMousePrefs(Dictionary& prefs) {
    static_cast<void>(prefs);
}

}  // namespace quillon
