// Reading the preferences at load and writing them at each save.
#include "pane/quillon_mouse_pane.h"
#include "prefs/preferences_file.h"
#include "prefs/prefs_cleanup.h"

namespace quillon {

std::string QuillonMousePane::prefsPath() const {
    return quillonMousePrefsPath(services_.homeDirectory);
}

bool QuillonMousePane::readPrefsFromFile() {
    std::string defaults;
    if (fPrefPaneBundle)
        if (auto path = fPrefPaneBundle->pathForResource("QuillonMouseDefaults", "plist"))
            defaults = path->string();
    fPrefs = readQuillonMousePrefs(prefsPath(), defaults);
    if (!fPrefs) fPrefs = Dictionary::create(4);
    cleanupQuillonMousePrefs(*fPrefs);
    fSettingsTable = fPrefs->dictionary("settings");
    setState(fPrefs->dictionary("state"));
    return true;
}

void QuillonMousePane::savePrefsToFile() {
    if (!fPrefs) return;
    verifyMouseClick();
    // The helper is told to reload only a file that was written whole.
    if (saveQuillonMousePrefs(*fPrefs, prefsPath())) requestDriverPrefsUpdate();
}

}  // namespace quillon
