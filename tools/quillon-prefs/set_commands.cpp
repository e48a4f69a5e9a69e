// The commands of quillon-prefs that change the settings sets or write settings files.
#include "set_commands.h"

#include <algorithm>
#include <iostream>

#include "plist/file_utils.h"
#include "prefs/device_family.h"
#include "prefs/settings_import.h"
#include "prefs/settings_records.h"
#include "prefs/settings_sets.h"

namespace quillon {

namespace {

Edit failed(const std::string& message) {
    std::cerr << "quillon-prefs: " << message << "\n";
    return Edit{1, false};
}

// The table key a UID argument names ("10", "0010" and "010" all name "0010"); nothing when it
// is not a number of at most 2^32-1.
std::optional<std::string> tableKey(const std::string& text) {
    if (text.empty() || text.size() > 10 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const std::int64_t n = std::stoll(text);
    if (n > static_cast<std::int64_t>(UINT32_MAX)) return std::nullopt;
    return settingsUID(n);
}

std::string familyOf(const Dictionary& record) {
    const Dictionary* device = record.get("device").dictionaryPtr();
    return device ? device->string("type") : std::string();
}

// "1000 (Mail, tamber)": a set as the messages name it.
std::string describe(const std::string& key, const Dictionary& record) {
    std::string family = familyOf(record);
    return key + " (" + record.string("displayName") + ", " +
           (family.empty() ? std::string("any family") : family) + ")";
}

// The application set under a UID argument, or nothing after saying why.
DictRef applicationSet(Dictionary& prefs, const std::string& uid, std::string& key) {
    const auto found = tableKey(uid);
    DictRef table = prefs.dictionary("settings");
    DictRef record = found && table ? table->dictionary(*found) : nullptr;
    if (!found) {
        failed(uid + ": a settings UID is a number");
        return nullptr;
    }
    if (!record) {
        failed("there is no settings set " + *found);
        return nullptr;
    }
    if (!hasApplicationField(*record)) {
        failed(describe(*found, *record) +
               " is the global set of its family; only application sets are renamed or deleted");
        return nullptr;
    }
    key = *found;
    return record;
}

}  // namespace

Edit exportSets(const Dictionary& prefs, const std::optional<std::string>& uid,
                const std::string& out) {
    std::string key;
    if (uid) {
        const auto found = tableKey(*uid);
        if (!found) return failed(*uid + ": a settings UID is a number");
        key = *found;
    }
    DictRef content = makeQuillonMouseSettingsFile(prefs, key);
    if (!content) return failed("there is no settings set " + key);
    if (!writeQuillonMouseSettingsFile(*content, out))
        return failed(out + ": the settings could not be saved");
    const std::size_t count = content->dictionary("settings")->size();
    std::cout << "exported " << count << (count == 1 ? " set" : " sets") << " to " << out << "\n";
    return Edit{};
}

Edit importSets(Dictionary& prefs, const std::string& path, ClashPolicy policy) {
    std::string reason;
    DictRef file = readQuillonMouseSettingsFile(path, &reason);
    if (!file) return failed(path + ": " + reason);
    std::vector<std::string> clashes;
    const SettingsImport result =
        importQuillonMouseSettings(prefs, *file, [&](const SettingsClash& clash) {
            clashes.push_back(clash.fileKey + " clashes with " +
                              describe(clash.existingKey, clash.existing));
            return ClashAnswer{policy == ClashPolicy::Replace, false};
        });
    if (result.versionMismatch)
        return failed(path + ": file version mismatch (the file's is " +
                      std::to_string(file->integer("version")) + ", the preferences' is " +
                      std::to_string(prefs.integer("version")) + "); nothing imported");
    if (policy == ClashPolicy::Refuse && !clashes.empty()) {
        std::cerr << "quillon-prefs: " << path
                  << ": sets of the file are there already; nothing imported. Give --replace "
                     "or --skip:\n";
        for (const auto& clash : clashes)
            std::cerr << "  " << clash << "\n";
        return Edit{1, false};
    }
    const Dictionary& table = *prefs.dictionary("settings");
    for (const auto& key : result.added)
        std::cout << "added    " << describe(key, *table.dictionary(key)) << "\n";
    for (const auto& key : result.replaced)
        std::cout << "replaced " << describe(key, *table.dictionary(key)) << "\n";
    for (const auto& key : result.skipped)
        std::cout << "kept     " << describe(key, *table.dictionary(key)) << "\n";
    for (const auto& key : result.ignored)
        std::cout << "ignored  " << key << " of the file (generic, or not a settings set)\n";
    if (!result.importedAny()) std::cout << "nothing imported\n";
    return Edit{0, result.importedAny()};
}

Edit newSet(Dictionary& prefs, Workspace& workspace, const std::string& app,
            const std::string& family, const std::string& from) {
    if (std::find(kDeviceFamilies.begin(), kDeviceFamilies.end(), family) ==
        kDeviceFamilies.end()) {
        std::string known;
        for (auto f : kDeviceFamilies)
            known += (known.empty() ? "" : ", ") + std::string(f);
        return failed("unknown family " + family + " (one of " + known + ")");
    }
    DictRef table = prefs.dictionary("settings");
    if (!table) return failed("the preferences hold no settings table");
    DictRef base;
    if (from == "global") {
        // As in the window: a family without a global set starts from an empty record.
        base = copyOfGlobalSettings(prefs, family);
    } else if (from != "empty") {
        const auto key = tableKey(from);
        if (!key) return failed("--from takes global, empty or a settings UID, not " + from);
        DictRef source = table->dictionary(*key);
        if (!source) return failed("there is no settings set " + *key);
        base = mutableDeepAutoreleasedCopy(*source);
    }
    if (!base) base = emptyQuillonMouseSettings();

    const std::string path =
        app.find('/') != std::string::npos ? app : workspace.pathForApplication(app);
    DictRef info = path.empty() ? nullptr : workspace.infoDictionary(path);
    if (!info)
        return failed(app +
                      ": no such application (give a desktop-file id, or a path with a \"/\")");
    DictRef localizedInfo = workspace.localizedInfoDictionary(path);
    makeApplicationSettings(*base, family, info.get(), localizedInfo.get());
    const auto placed = addApplicationSettings(*table, base);
    if (!placed) return failed("no settings UID is free");
    const DictRef record = table->dictionary(placed->key);
    if (!placed->added) {
        std::cout << "exists   " << describe(placed->key, *record) << "\n";
        return Edit{};
    }
    std::cout << "added    " << describe(placed->key, *record) << "\n";
    return Edit{0, true};
}

Edit renameSet(Dictionary& prefs, const std::string& uid, const std::string& name) {
    if (name.empty()) return failed("a settings set's name cannot be empty");
    std::string key;
    DictRef record = applicationSet(prefs, uid, key);
    if (!record) return Edit{1, false};
    if (record->string("displayName") == name) return Edit{};
    record->set("displayName", name);
    std::cout << "renamed  " << describe(key, *record) << "\n";
    return Edit{0, true};
}

Edit deleteSet(Dictionary& prefs, const std::string& uid) {
    std::string key;
    DictRef record = applicationSet(prefs, uid, key);
    if (!record) return Edit{1, false};
    std::cout << "deleted  " << describe(key, *record) << "\n";
    prefs.dictionary("settings")->remove(key);
    return Edit{0, true};
}

}  // namespace quillon
