// Settings files: what an export holds, writing one, reading one, and merging its sets into
// the preferences.
#include "prefs/settings_import.h"

#include <sys/stat.h>

#include "plist/file_utils.h"
#include "plist/property_list.h"
#include "prefs/prefs_cleanup.h"
#include "prefs/settings_matching.h"
#include "prefs/settings_records.h"
#include "prefs/settings_sets.h"

namespace quillon {

namespace {

constexpr std::uint32_t kMaxFileKey = INT32_MAX;

// The number a file key names: ASCII digits only, at most 2^31-1; nothing otherwise.
std::optional<std::uint32_t> fileKeyNumber(std::string_view key) {
    if (key.empty()) return std::nullopt;
    std::uint64_t n = 0;
    for (char c : key) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + static_cast<std::uint64_t>(c - '0');
        if (n > kMaxFileKey) return std::nullopt;
    }
    return static_cast<std::uint32_t>(n);
}

const std::string& subString(const Dictionary& record, std::string_view sub, std::string_view key) {
    static const std::string none;
    const Dictionary* d = record.get(sub).dictionaryPtr();
    return d ? d->string(key) : none;
}

}  // namespace

DictRef makeQuillonMouseSettingsFile(const Dictionary& prefs, const std::string& uid) {
    DictRef table = prefs.dictionary("settings");
    if (!table) table = Dictionary::create();
    DictRef settings = table;
    if (!uid.empty()) {
        DictRef record = table->dictionary(uid);
        if (!record) return nullptr;
        settings = makeDictionary({{uid, record}});
    }
    return makeDictionary({{"settings", settings}, {"version", prefs.get("version")}});
}

bool writeQuillonMouseSettingsFile(const Dictionary& content, const std::string& path) {
    return writeDictionaryToFile(content, path, PropertyListFormat::Binary, true, 0600);
}

DictRef readQuillonMouseSettingsFile(const std::string& path, std::string* reason) {
    const auto refuse = [reason](const char* why) -> DictRef {
        if (reason) *reason = why;
        return nullptr;
    };
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return refuse("cannot be read");
    // Not even opened unless a plain file: opening a named pipe would wait for a writer.
    if (!S_ISREG(st.st_mode)) return refuse("is not a plain file");
    if (static_cast<std::uint64_t>(st.st_size) > kMaxSettingsFileBytes)
        return refuse("is larger than 16 MiB");
    const auto bytes = readFileBytes(path, kMaxSettingsFileBytes);
    if (!bytes) return refuse("cannot be read");
    const Value value = parsePropertyList(*bytes);
    if (value.isAbsent()) return refuse("is not a property list");
    DictRef file = value.dictionary();
    if (!file) return refuse("is not a settings file (its top level is not a dictionary)");
    return file;
}

SettingsImport importQuillonMouseSettings(Dictionary& prefs, const Dictionary& file,
                                          const ClashAnswerer& answer) {
    SettingsImport result;
    if (file.integer("version") != prefs.integer("version")) {
        result.versionMismatch = true;
        return result;
    }
    const Dictionary* incoming = file.get("settings").dictionaryPtr();
    if (!incoming) return result;
    DictRef table = prefs.dictionary("settings");
    if (!table) {
        table = Dictionary::create();
        prefs.set("settings", table);
    }

    std::optional<ClashAnswer> remembered;
    for (const auto& [fileKey, value] : *incoming) {
        const auto number = fileKeyNumber(fileKey);
        const Dictionary* read = value.dictionaryPtr();
        if (!number || !read || subString(*read, "device", "type") == "generic") {
            result.ignored.push_back(fileKey);
            continue;
        }
        // A copy: one object of a file may stand for several sets, and sets must not share.
        DictRef record = deepCopy(*read);
        if (!record) {
            result.ignored.push_back(fileKey);
            continue;
        }
        cleanupQuillonMouseSettings(*record);
        const bool hasApplication = !subString(*record, "app", "execName").empty();
        if (hasApplication) {
            record->set("category", "User");
            record->set("preset", false);
        }

        const auto existingKey = findQuillonMouseSettings(*table, *record);
        const Dictionary* existing =
            existingKey ? table->get(*existingKey).dictionaryPtr() : nullptr;
        if (!existing) {
            const auto uid = uniqueSettingsUID(*table, *number);
            if (!uid) {
                result.ignored.push_back(fileKey);
                continue;
            }
            const std::string key = settingsUID(*uid);
            table->set(key, Value(record));
            result.added.push_back(key);
            continue;
        }

        ClashAnswer decision;
        if (remembered) {
            decision = *remembered;
        } else {
            decision = answer ? answer(SettingsClash{fileKey, *existingKey, *existing, *record,
                                                     hasApplication})
                              : ClashAnswer{};
            if (decision.applyToAll) remembered = decision;
        }
        if (decision.replace) {
            table->set(*existingKey, Value(record));
            result.replaced.push_back(*existingKey);
        } else {
            result.skipped.push_back(*existingKey);
        }
    }
    return result;
}

}  // namespace quillon
