// The target menu of the current device and the current settings, action and options.
#include <algorithm>

#include "pane/pane_support.h"
#include "pane/quillon_mouse_pane.h"
#include "prefs/settings_matching.h"
#include "prefs/settings_records.h"

namespace quillon {

namespace {

// A plain case-insensitive order: ASCII letters fold, other bytes compare as they are.
bool lessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto fold = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
        return fold(static_cast<unsigned char>(x)) < fold(static_cast<unsigned char>(y));
    });
}

}  // namespace

void QuillonMousePane::updateTargetMenu() {
    DictRef device = state() ? state()->dictionary("device") : nullptr;
    std::uint16_t productID = productIDOf(device.get());
    DictRef probe = makeDictionary({{"type", deviceTypeForProductID(productID)}});
    DictRef match = fPrefs ? matchQuillonMouseSettings(*fPrefs, nullptr, probe.get()) : nullptr;
    std::string globalKey = match ? match->string("globalKey") : std::string();
    ArrayRef matches = match ? match->array("matches") : nullptr;

    auto displayName = [this](const std::string& key) {
        DictRef record = fSettingsTable ? fSettingsTable->dictionary(key) : nullptr;
        return record ? record->string("displayName") : std::string();
    };
    std::vector<std::pair<std::string, std::string>> listed;  // name, key
    if (matches)
        for (const Value& value : *matches) {
            const std::string& key = value.asString();
            if (key.empty() || (!globalKey.empty() && key == globalKey)) continue;
            listed.emplace_back(displayName(key), key);
        }
    std::stable_sort(listed.begin(), listed.end(), [](const auto& a, const auto& b) {
        return lessIgnoringCase(a.first, b.first);
    });

    targetKeys_.clear();
    if (!globalKey.empty()) targetKeys_.push_back(globalKey);
    for (auto& entry : listed)
        targetKeys_.push_back(entry.second);

    if (!iboOptionsMenuTarget) return;
    iboOptionsMenuTarget->removeAllItems();
    // Two entries of one title could not be told apart (the shipped catch-all set and a family's
    // global set are both "All Applications"): a repeated title says which set it is.
    std::vector<std::string> titles;
    for (const auto& key : targetKeys_) {
        // The shipped sets' names are texts of ours, shown in the user's language.
        DictRef shownRecord = fSettingsTable->dictionary(key);
        std::string title = shownRecord && shownRecord->boolean("preset")
                                ? localized(displayName(key))
                                : displayName(key);
        if (std::find(titles.begin(), titles.end(), title) != titles.end()) {
            DictRef family = shownRecord ? shownRecord->dictionary("device") : nullptr;
            const bool anyDevice = !family || family->string("type").empty();
            title += " (" + (anyDevice ? localized("All Devices") : key) + ")";
        }
        titles.push_back(title);
        iboOptionsMenuTarget->addItem(title, Value(key).asInteger());
    }
}

void QuillonMousePane::getCurSettingsFromArray() {
    DictRef current = ui();
    std::int64_t uid = current ? current->integer("settingsUID") : 0;
    DictRef record = fSettingsTable ? fSettingsTable->dictionary(settingsUID(uid)) : nullptr;
    setSettings(record);
    // Only an application's set may be renamed or deleted from the window.
    setUiValue("isAppSettings", record && hasApplicationField(*record));

    std::int64_t index = current ? current->integer("actionIndex") : -1;
    if (index < 0) {
        setAction(nullptr);
    } else {
        DictRef actions = record ? record->dictionary("actions") : nullptr;
        std::string key = actionKey(index);
        DictRef found = actions ? actions->dictionary(key) : nullptr;
        if (!found) {
            // A control without an action yet gets an empty one, so editing it edits the
            // preferences.
            found = Dictionary::create();
            if (actions) actions->set(key, found);
        }
        setAction(found);
    }

    fSelfChangingOptions = true;
    setOptions(record ? record->dictionary("options") : nullptr);
    fSelfChangingOptions = false;
}

}  // namespace quillon
