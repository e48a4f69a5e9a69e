// Settings and action records: the default settings record and the cleanup of one action.
#include "prefs/settings_records.h"

#include <cstdio>

#include "plist/file_utils.h"
#include "prefs/command_table.h"

namespace quillon {

namespace {

std::string formatNumber(const char* pattern, std::int64_t n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, pattern, static_cast<long long>(n));
    return buf;
}

// Built once; every caller gets a deep copy.
const Dictionary& defaultSettingsRecord() {
    static const DictRef record = makeDictionary({
        {"actions",
         makeDictionary({{"00", makeDictionary({{"command", static_cast<int>(kCommandClick)},
                                                {"button", 0},
                                                {"modifiers", 0}})}})},
        {"app", makeDictionary({{"bundleID", ""},
                                {"bundleName", ""},
                                {"execName", ""},
                                {"signature", ""},
                                {"versMax", 0},
                                {"versMin", 0}})},
        {"category", "Global Settings"},
        {"device", makeDictionary({{"type", ""}, {"address", 0}})},
        {"displayName", "All Applications"},
        {"enabled", true},
        {"options", makeDictionary({{"acceleration", 100},
                                    {"accEnabled", 0},
                                    {"speed", 100},
                                    {"speedEnabled", 0},
                                    {"doubleX", false},
                                    {"doubleY", false},
                                    {"invertX", false},
                                    {"invertY", false},
                                    {"swapXY", false}})},
        {"preset", true},
    });
    return *record;
}

}  // namespace

std::string settingsUID(std::int64_t number) {
    return formatNumber("%04lld", number);
}

std::string actionKey(std::int64_t index) {
    return formatNumber("%02lld", index);
}

DictRef emptyQuillonMouseSettings() {
    return mutableDeepAutoreleasedCopy(defaultSettingsRecord());
}

bool hasApplicationField(const Dictionary& settings) {
    const Dictionary* app = settings.get("app").dictionaryPtr();
    if (!app) return false;
    for (const char* field : {"bundleID", "bundleName", "execName", "signature"})
        if (!app->string(field).empty()) return true;
    return false;
}

void cleanupQuillonMouseAction(Dictionary& action) {
    const std::int64_t code = action.integer("command");
    const CommandInfo* info = commandInfo(code);
    if (!info) {
        action.clear();
        action.set("command", Value(static_cast<std::int64_t>(kCommandNone)));
        return;
    }
    if (!info->filledKey.empty() && !action.contains(info->filledKey))
        action.set(info->filledKey, Value(info->filledValue));
    // A record holds a handful of keys and is usually clean already: look for one to drop, drop
    // it, look again; nothing is allocated when there is nothing to drop.
    const auto dropped = [&]() -> const std::string* {
        for (const auto& [key, value] : action)
            if (key != "command" && !commandKeepsKey(code, key)) return &key;
        return nullptr;
    };
    while (const std::string* key = dropped())
        action.remove(std::string(*key));
}

Dictionary& dictionaryUnder(Dictionary& parent, std::string_view key) {
    if (Dictionary* d = parent.get(key).dictionaryPtr()) return *d;
    DictRef fresh = Dictionary::create();
    parent.set(key, Value(fresh));
    return *fresh;
}

}  // namespace quillon
