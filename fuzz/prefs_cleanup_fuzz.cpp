// Fuzz target: any property list loaded as preferences; cleanup gives the known shape, a second
// cleanup changes nothing, and matching and the driver block never fail on what it leaves.
#include <cstdint>
#include <string_view>

#include "plist/property_list.h"
#include "prefs/device_family.h"
#include "prefs/prefs_cleanup.h"
#include "prefs/settings_matching.h"
#include "round_trip_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillon;
    const Value value =
        parsePropertyList(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!fuzz::isSmallTree(value)) return 0;
    DictRef prefs = value.dictionary();
    if (!prefs) prefs = Dictionary::create(4);
    cleanupQuillonMousePrefs(*prefs);

    const Dictionary* settings = prefs->get("settings").dictionaryPtr();
    fuzz::check(settings && !settings->empty(), "cleanup left no settings table");
    fuzz::check(prefs->get("general").dictionaryPtr() && prefs->get("state").dictionaryPtr(),
                "cleanup left general or state missing");
    fuzz::check(prefs->get("version").isNumber(), "cleanup left version that is not a number");
    const DictRef again = deepCopy(*prefs);
    fuzz::check(again != nullptr, "cleaned preferences are not a property list");
    cleanupQuillonMousePrefs(*again);
    fuzz::check(Value(again) == Value(prefs), "a second cleanup changed the preferences");

    const DictRef appRef = makeDictionary({{"bundleID", "com.example.app"}, {"execName", "app"}});
    const Dictionary* const app = appRef.get();
    for (std::string_view family : kDeviceFamilies) {
        const DictRef device = makeDictionary({{"type", family}, {"address", 1}});
        for (const Dictionary* a : {static_cast<const Dictionary*>(nullptr), app}) {
            const DictRef match = matchQuillonMouseSettings(*prefs, a, device.get());
            DriverSettingsBlock block;
            const bool filled = fillQuillonMouseSettings(*prefs, &block, match.get());
            fuzz::check(filled == (match != nullptr), "a match did not fill the block");
        }
    }
    for (const auto& [uid, record] : *settings)
        if (const Dictionary* r = record.dictionaryPtr())
            fuzz::check(findQuillonMouseSettings(*settings, *r).has_value(),
                        "a record does not find its own kind");
    return 0;
}
