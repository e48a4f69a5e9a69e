// Generated preferences files shaped like the settings pane's own, for benchmarks and tests.
#include "testing/preferences_fixture.h"

#include <cstdio>
#include <string>
#include <vector>

#include "testing/random.h"

namespace quillon::testing {

namespace {

std::string format(const char* pattern, int n) {
    char buf[64];
    std::snprintf(buf, sizeof buf, pattern, n);
    return buf;
}

const char* const kDeviceTypes[] = {"tamber", "corvel", "ansa", "pellow", "wisk"};
const char* const kDeviceNames[] = {"Tamber Pro", "Corvel Mini", "Ansa Travel", "Pellow Trackball",
                                    "Wisk Vertical"};

const std::string kLongText =
    "Mit freundlichen Grüßen — Jürgen Müller, Hauptstraße 12, 50667 Köln · "
    "Tél. +33 1 23 45 67 89 · «Très cordialement» · Привет, как дела? · "
    "ありがとうございます、よろしくお願いします。 · 谢谢你的帮助 · 😀👍 ✓ ¿Qué tal?";

Value makeMacro(Random& random) {
    const int steps = 3 + random.below(6);
    auto macro = Array::create();
    macro->reserve(static_cast<std::size_t>(steps));
    for (int s = 0; s < steps; ++s) {
        const int keyCode = random.below(128);
        const int modifiers = random.below(4) << 17;
        auto down = Dictionary::fromEntries({{"keyCode", keyCode}, {"modifiers", modifiers},
                                             {"down", true}, {"delay", 0.01 * random.below(10)}});
        auto up = Dictionary::fromEntries({{"keyCode", keyCode}, {"modifiers", modifiers},
                                           {"down", false}, {"delay", 0.0}});
        macro->append(makeArray({Value(down), Value(up)}));
    }
    return macro;
}

DictRef makeAction(Random& random, int record, int button) {
    std::vector<Dictionary::Entry> entries = {
        {"command", random.below(40)},
        {"keyCode", random.below(128)},
        {"modifiers", random.below(16) << 17},
        {"xyOptions", random.below(4)},
    };
    if (record % 5 == 0 && button == 5) entries.emplace_back("text", kLongText);
    if (record % 7 == 0 && button == 7) entries.emplace_back("macro", makeMacro(random));
    return Dictionary::fromEntries(std::move(entries));
}

DictRef makeRecord(int index) {
    Random random(static_cast<std::uint64_t>(index) + 1);
    const std::string uid = format("%04d", index);
    const int kind = index % 5;
    const int app = index % 97;

    auto appInfo = Dictionary::fromEntries({
        {"bundleID", format("com.example.app%d", app)},
        {"bundleName", format("Example App %d", app)},
        {"execName", format("exampleapp%d", app)},
        {"signature", format("%08x", 0x51a70000 + app)},
    });
    auto device = Dictionary::fromEntries({
        {"productID", 0xB000 + random.below(64)},
        {"vendorID", 0x1234},
        {"name", kDeviceNames[kind]},
        {"serial", format("SN%08d", 10000000 + index)},
        {"buttons", 5 + random.below(8)},
        {"firmware", format("12.3.%d", random.below(30))},
        {"hasWheel", kind != 3},
        {"hiResWheel", random.below(2) == 1},
        {"dpi", 400 * (1 + random.below(10))},
    });
    auto options = Dictionary::fromEntries({
        {"pointerSpeed", 0.1 + 2.9 * random.unit()},
        {"acceleration", random.unit()},
        {"xyOptions", random.below(4)},
        {"scrollSpeed", 0.5 + 4.5 * random.unit()},
        {"scrollAcceleration", random.unit()},
        {"scrollLines", 1 + random.below(10)},
        {"invertScroll", random.below(2) == 1},
        {"smoothScrolling", true},
        {"horizontalScroll", random.below(3) != 0},
        {"doubleClickTime", 0.25 + 0.5 * random.unit()},
    });
    std::vector<Dictionary::Entry> actions;
    actions.reserve(32);
    for (int button = 0; button < 32; ++button)
        actions.emplace_back(format("%02d", button), makeAction(random, index, button));

    std::string displayName = std::string(kDeviceNames[kind]) + format(" %d", index);
    if (index % 3 == 0) displayName += " — Büro";
    return Dictionary::fromEntries({
        {"settingsUID", uid},
        {"deviceType", kDeviceTypes[kind]},
        {"displayName", displayName},
        {"app", appInfo},
        {"device", device},
        {"options", options},
        {"actions", Dictionary::fromEntries(std::move(actions))},
    });
}

}  // namespace

DictRef makePreferences(int records) {
    std::vector<Dictionary::Entry> settings;
    settings.reserve(static_cast<std::size_t>(records));
    for (int i = 0; i < records; ++i) settings.emplace_back(format("%04d", i), makeRecord(i));
    auto state = Dictionary::fromEntries({
        {"device", makeDictionary({{"pid", 4182}, {"transport", 1}, {"interface", 0}})},
        {"newSettingsMode", 1},
    });
    return Dictionary::fromEntries({
        {"settings", Dictionary::fromEntries(std::move(settings))},
        {"general", Dictionary::create()},
        {"state", state},
        {"version", 1},
    });
}

}  // namespace quillon::testing
