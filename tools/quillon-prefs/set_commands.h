// The commands of quillon-prefs that change the settings sets or write settings files.
#pragma once

#include <optional>
#include <string>

#include "platform/workspace.h"
#include "plist/value.h"

namespace quillon {

// What a command did: its exit status, and whether it changed the preferences in memory (only
// then are they saved).
struct Edit {
    int status = 0;
    bool changed = false;
};

// How an import answers a set of the file whose family and application a set has already.
enum class ClashPolicy { Refuse, Replace, Skip };

// Writes all sets, or the one under uid, to a settings file at out.
Edit exportSets(const Dictionary& prefs, const std::optional<std::string>& uid,
                const std::string& out);
// Merges the sets of the settings file at path; under Refuse a clash changes nothing and fails.
Edit importSets(Dictionary& prefs, const std::string& path, ClashPolicy policy);
// A set of family for the application app (a desktop-file id or the path of a desktop entry or
// bundle), started from the family's global set, an empty record or a copy of the set of UID.
Edit newSet(Dictionary& prefs, Workspace& workspace, const std::string& app,
            const std::string& family, const std::string& from);
// Names the application set uid name.
Edit renameSet(Dictionary& prefs, const std::string& uid, const std::string& name);
// Removes the application set uid.
Edit deleteSet(Dictionary& prefs, const std::string& uid);

}  // namespace quillon
