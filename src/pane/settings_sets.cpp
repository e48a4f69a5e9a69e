// Whole settings sets from the pane: a new set for an application, delete, rename and restoring
// the defaults of the current set.
#include "prefs/settings_sets.h"

#include "pane/pane_support.h"
#include "pane/quillon_mouse_pane.h"
#include "plist/file_utils.h"
#include "prefs/prefs_cleanup.h"
#include "prefs/settings_matching.h"
#include "prefs/settings_records.h"

namespace quillon {

namespace {

// Where the application chooser starts: the system's desktop entries.
constexpr char kApplicationsFolder[] = "/usr/share/applications";

}  // namespace

std::optional<std::uint32_t> QuillonMousePane::uniqueSettingsUID(std::uint32_t start) const {
    if (!fSettingsTable) return std::max(start, kFirstUserSettingsUID);
    return quillon::uniqueSettingsUID(*fSettingsTable, start);
}

void QuillonMousePane::ibaOptionsItemNew(const Sender&) {
    if (!iboNewSettingsPanel || modalDialog(*iboNewSettingsPanel) != kModalOK) return;
    OpenPanelOptions options;
    options.directory = kApplicationsFolder;
    options.allowedTypes = {"app"};
    options.canChooseFiles = true;
    options.canChooseDirectories = false;
    options.allowsMultipleSelection = false;
    std::weak_ptr<QuillonMousePane*> alive = alive_;
    host().runOpenPanel(options, [alive](bool ok, const std::vector<std::string>& paths) {
        auto pane = alive.lock();
        if (!ok || paths.empty() || !pane || !*pane) return;
        QuillonMousePane& self = **pane;
        if (!self.fPrefs || !self.fSettingsTable) return;

        DictRef device = self.state() ? self.state()->dictionary("device") : nullptr;
        const std::string family = deviceTypeForProductID(productIDOf(device.get()));
        const std::int64_t mode = self.state() ? self.state()->integer("newSettingsMode") : 0;
        DictRef base;
        if (mode == static_cast<std::int64_t>(NewSettingsBase::Copy)) {
            if (DictRef current = self.settings()) base = mutableDeepAutoreleasedCopy(*current);
        } else if (mode == static_cast<std::int64_t>(NewSettingsBase::Global)) {
            base = copyOfGlobalSettings(*self.fPrefs, family);
        }
        if (!base) base = emptyQuillonMouseSettings();
        if (!base) return;

        const std::string& path = paths.front();
        DictRef info = self.services_.workspace.infoDictionary(path);
        DictRef localizedInfo = self.services_.workspace.localizedInfoDictionary(path);
        makeApplicationSettings(*base, family, info.get(), localizedInfo.get());

        const auto placed = addApplicationSettings(*self.fSettingsTable, base);
        if (!placed) return;
        if (placed->added) self.updateTargetMenu();
        self.setUiValue("settingsUID", placed->key);
    });
}

void QuillonMousePane::ibaOptionsItemDelete(const Sender&) {
    DictRef current = settings();
    if (!current || !fSettingsTable) return;
    if (modalMessage("Delete settings named [0]?", {current->string("displayName")}, std::nullopt,
                     false, std::string(), std::string(), std::nullopt) != kModalOK)
        return;
    fSettingsTable->remove(settingsUID(ui() ? ui()->integer("settingsUID") : 0));
    updateTargetMenu();
    Value first;
    if (iboOptionsMenuTarget && iboOptionsMenuTarget->numberOfItems() > 0)
        first = Integer(iboOptionsMenuTarget->itemTag(0));
    else if (!targetKeys_.empty())
        first = Integer(Value(targetKeys_.front()).asInteger());
    setUiValue("settingsUID", first);
}

void QuillonMousePane::ibaOptionsItemRename(const Sender&) {
    DictRef current = settings();
    if (!current || !iboRenamePanel) return;
    const std::string old = current->string("displayName");
    setUiValue("editString", old);
    if (iboRenameTextName) replacePlaceholderName(old, *iboRenameTextName);
    if (modalDialog(*iboRenamePanel) != kModalOK) return;
    const std::string name = ui() ? ui()->string("editString") : std::string();
    if (name.empty() || name == old) return;
    current->set("displayName", name);
    // The menu is rebuilt rather than retitled in place, so the set also moves to its place in
    // the name order; the same set stays selected.
    const Value uid = ui()->get("settingsUID");
    updateTargetMenu();
    if (iboOptionsMenuTarget) iboOptionsMenuTarget->selectItemWithTag(uid.asInteger());
    setUiValue("settingsUID", uid);
}

void QuillonMousePane::ibaOptionsButtonDefaults(const Sender&) {
    DictRef current = settings();
    if (!current) return;
    if (modalMessage("Restore default settings for [0]?", {current->string("displayName")},
                     std::nullopt, false, std::string(), std::string(), std::nullopt) != kModalOK)
        return;
    const auto path = fPrefPaneBundle
                          ? fPrefPaneBundle->pathForResource("QuillonMouseDefaults", "plist")
                          : std::nullopt;
    DictRef defaults = path ? mutableDictionaryWithContentsOfFile(path->string()) : nullptr;
    if (!defaults) return;
    DictRef device = state() ? state()->dictionary("device") : nullptr;
    DictRef preset =
        copyOfGlobalSettings(*defaults, deviceTypeForProductID(productIDOf(device.get())));
    if (!preset) return;
    // The shipped record gets what a load gives every record, so restoring loses no option.
    cleanupQuillonMouseSettings(*preset);
    current->set("actions", preset->get("actions"));
    current->set("options", preset->get("options"));
    getCurSettingsFromArray();
}

}  // namespace quillon
