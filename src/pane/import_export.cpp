// Settings files from the pane: exporting the current set or all sets, importing a file.
#include "pane/quillon_mouse_pane.h"
#include "prefs/settings_import.h"
#include "prefs/settings_records.h"

namespace quillon {

void QuillonMousePane::ibaOptionsItemExport(const Sender&) {
    exportSettings(false);
}

void QuillonMousePane::ibaOptionsItemExportAll(const Sender&) {
    exportSettings(true);
}

void QuillonMousePane::exportSettings(bool all) {
    DictRef current = settings();
    if (!fPrefs || (!all && !current)) return;
    SavePanelOptions options;
    options.allowedTypes = {kSettingsFileExtension};
    options.nameFieldString =
        all ? localized("Quillon Mouse Settings") : current->string("displayName");
    std::weak_ptr<QuillonMousePane*> alive = alive_;
    host().runSavePanel(options, [alive, all](bool ok, const std::vector<std::string>& paths) {
        auto pane = alive.lock();
        if (!ok || paths.empty() || !pane || !*pane) return;
        QuillonMousePane& self = **pane;
        if (!self.fPrefs) return;
        const std::string uid =
            all ? std::string() : settingsUID(self.ui() ? self.ui()->integer("settingsUID") : 0);
        DictRef content = makeQuillonMouseSettingsFile(*self.fPrefs, uid);
        // A backup the user believes made but that is not there is worse than none.
        if (!content || !writeQuillonMouseSettingsFile(*content, paths.front()))
            self.modalMessage("The settings could not be saved to [0].", {paths.front()},
                              std::nullopt, false, std::string(), std::nullopt, std::nullopt);
    });
}

void QuillonMousePane::ibaOptionsItemImport(const Sender&) {
    OpenPanelOptions options;
    options.allowedTypes = {kSettingsFileExtension};
    options.canChooseFiles = true;
    options.canChooseDirectories = false;
    options.allowsMultipleSelection = false;
    std::weak_ptr<QuillonMousePane*> alive = alive_;
    host().runOpenPanel(options, [alive](bool ok, const std::vector<std::string>& paths) {
        auto pane = alive.lock();
        if (!ok || paths.empty() || !pane || !*pane) return;
        // The questions of the import are asked once the chooser has gone.
        (*pane)->services_.runLoop.performLater([alive, path = paths.front()] {
            auto later = alive.lock();
            if (later && *later) (*later)->importSettingsFile(path);
        });
    });
}

void QuillonMousePane::importSettingsFile(const std::string& path) {
    if (!fPrefs) return;
    DictRef file = readQuillonMouseSettingsFile(path);
    if (!file) return;
    const SettingsImport result =
        importQuillonMouseSettings(*fPrefs, *file, [this](const SettingsClash& clash) {
            const Dictionary* device = clash.existing.get("device").dictionaryPtr();
            const std::string family = localized(device ? device->string("type") : std::string());
            const int code =
                clash.hasApplication
                    ? modalMessage("[0] settings for [1] devices already exist",
                                   {clash.existing.string("displayName"), family},
                                   std::string("Apply to All"), false, std::string("Replace"),
                                   std::string("Skip"), std::nullopt)
                    : modalMessage("Global settings for [0] devices already exist", {family},
                                   std::string("Apply to All"), false, std::string("Replace"),
                                   std::string("Skip"), std::nullopt);
            return ClashAnswer{code == kModalOK, ui() && ui()->boolean("modalCheckState")};
        });
    if (result.versionMismatch) {
        modalMessage("File version mismatch", {}, std::nullopt, false, std::string(), std::nullopt,
                     std::nullopt);
        return;
    }
    if (result.importedAny()) switchToDevice(nullptr);
}

}  // namespace quillon
