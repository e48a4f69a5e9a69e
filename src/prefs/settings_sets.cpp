// Whole settings sets: the next free UID, the base of a new set and a new set for an application.
#include "prefs/settings_sets.h"

#include <algorithm>

#include "plist/file_utils.h"
#include "prefs/command_table.h"
#include "prefs/settings_matching.h"
#include "prefs/settings_records.h"

namespace quillon {

namespace {

const std::string* nonEmptyString(const Dictionary* d, std::string_view key) {
    const std::string* s = d ? d->get(key).ifString() : nullptr;
    return s && !s->empty() ? s : nullptr;
}

}  // namespace

std::optional<std::uint32_t> uniqueSettingsUID(const Dictionary& table, std::uint32_t start) {
    // 64 bits, so that the step past 2^32-1 is seen instead of wrapping to 0.
    std::uint64_t n = std::max(start, kFirstUserSettingsUID);
    constexpr std::uint64_t kLast = UINT32_MAX;
    while (n <= kLast && table.contains(settingsUID(static_cast<std::int64_t>(n))))
        ++n;
    if (n > kLast) return std::nullopt;
    return static_cast<std::uint32_t>(n);
}

DictRef copyOfGlobalSettings(const Dictionary& prefs, const std::string& family) {
    DictRef probe = makeDictionary({{"type", family}});
    DictRef match = matchQuillonMouseSettings(prefs, nullptr, probe.get());
    const std::string* key = match ? match->get("globalKey").ifString() : nullptr;
    const Dictionary* table = prefs.get("settings").dictionaryPtr();
    const Dictionary* record = key && table ? table->get(*key).dictionaryPtr() : nullptr;
    return record ? mutableDeepAutoreleasedCopy(*record) : nullptr;
}

void makeApplicationSettings(Dictionary& record, const std::string& family, const Dictionary* info,
                             const Dictionary* localizedInfo) {
    record.set("enabled", true);
    record.set("preset", false);
    record.set("category", "User");
    dictionaryUnder(record, "device").set("type", family);

    const std::string* name = nonEmptyString(localizedInfo, "CFBundleName");
    if (!name) name = nonEmptyString(info, "CFBundleName");
    if (!name && info) name = info->get("CFBundleExecutable").ifString();
    if (name) record.set("displayName", *name);

    if (!info) return;
    Dictionary& app = dictionaryUnder(record, "app");
    constexpr std::pair<const char*, const char*> kFields[] = {
        {"bundleID", "CFBundleIdentifier"},
        {"bundleName", "CFBundleName"},
        {"execName", "CFBundleExecutable"},
        {"signature", "CFBundleSignature"},
    };
    for (const auto& [field, entry] : kFields)
        if (info->contains(entry)) app.set(field, info->get(entry));
}

std::optional<AddedSettings> addApplicationSettings(Dictionary& table, DictRef record) {
    if (!record) return std::nullopt;
    if (auto existing = findQuillonMouseSettings(table, *record)) return AddedSettings{*existing};
    const auto number = uniqueSettingsUID(table, 0);
    if (!number) return std::nullopt;
    std::string key = settingsUID(*number);
    table.set(key, Value(std::move(record)));
    return AddedSettings{std::move(key), true};
}

std::vector<std::string> giveEverySetAMainClick(Dictionary& table) {
    static constexpr int kExaminedSlots[] = {0,  1,  2,  3,  4,  5,  6,  7,  16, 17,
                                             18, 19, 20, 21, 22, 23, 24, 25, 26, 27};
    std::vector<std::string> changed;
    for (const auto& [uid, value] : table) {
        DictRef record = value.dictionary();
        if (!record) continue;
        DictRef device = record->dictionary("device");
        if (device && device->get("type").ifString() && device->string("type") == "kbd") continue;
        DictRef actions = record->dictionary("actions");
        bool hasMainClick = false;
        if (actions)
            for (int slot : kExaminedSlots) {
                DictRef candidate = actions->dictionary(actionKey(slot));
                if (candidate && candidate->integer("command") == kCommandClick &&
                    candidate->integer("button") == 0) {
                    hasMainClick = true;
                    break;
                }
            }
        if (hasMainClick) continue;
        if (!actions) {
            actions = Dictionary::create();
            record->set("actions", actions);
        }
        DictRef first = actions->dictionary("00");
        if (first) {
            first->clear();
        } else {
            first = Dictionary::create();
            actions->set("00", first);
        }
        first->set("command", Integer(kCommandClick));
        first->set("button", Integer(0));
        changed.push_back(uid);
    }
    return changed;
}

}  // namespace quillon
