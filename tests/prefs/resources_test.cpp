// Tests of the shipped defaults and device table against the rules the store applies to them.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "plist/file_utils.h"
#include "prefs/command_table.h"
#include "prefs/device_family.h"
#include "prefs/prefs_cleanup.h"
#include "prefs/settings_matching.h"
#include "prefs/settings_records.h"
#include "testing/temp_dir.h"

namespace quillon {
namespace {

DictRef resource(const char* name) {
    PropertyListFormat format{};
    const auto path = testing::sourceDir() / "resources" / name;
    const Value v = propertyListWithContentsOfFile(path.string(), &format);
    EXPECT_EQ(format, PropertyListFormat::Xml) << name;
    return v.dictionary();
}

// The device table's key of a product id.
std::string productKey(std::uint16_t productID) {
    char key[8];
    std::snprintf(key, sizeof key, "%04X", productID);
    return key;
}

// True when one of the slots the main-button rule examines holds a click of button 0.
bool hasMainClick(const Dictionary& record) {
    const Dictionary* actions = record.get("actions").dictionaryPtr();
    if (!actions) return false;
    for (int i = 0; i < 28; ++i) {
        if (i >= 8 && i < 16) continue;
        const Dictionary* a = actions->get(actionKey(i)).dictionaryPtr();
        if (a && a->integer("command") == kCommandClick && a->integer("button") == 0) return true;
    }
    return false;
}

TEST(device_family, maps_listed_product_ids_and_everything_else_to_vantor) {
    EXPECT_EQ(deviceFamilyForProductID(0x1059), "vantor");
    EXPECT_EQ(deviceFamilyForProductID(0x1065), "tamber");
    EXPECT_EQ(deviceFamilyForProductID(0x1013), "sorrel3");
    EXPECT_EQ(deviceFamilyForProductID(0x2102), "vantor");
    EXPECT_EQ(deviceFamilyForProductID(0x0000), "vantor");
    EXPECT_EQ(deviceFamilyForProductID(0xFFFF), "vantor");
    EXPECT_EQ(deviceFamilyForProductID(0x01F0), "pell");
    EXPECT_EQ(deviceFamilyForProductID(0x712D), "tamber");
    EXPECT_EQ(deviceFamilyForProductID(0x0800), "sorrel");
    EXPECT_EQ(deviceFamilyForProductID(0x2101), "kbd");
    std::map<std::string_view, int> perFamily;
    for (const ProductFamily& row : productFamilyTable()) {
        EXPECT_EQ(deviceFamilyForProductID(row.productID), row.family);
        ++perFamily[row.family];
    }
    EXPECT_EQ(perFamily,
              (std::map<std::string_view, int>{
                  {"tamber", 21}, {"pell", 2}, {"sorrel3", 8}, {"sorrel", 1}, {"kbd", 2}}));
}

TEST(shipped_defaults, are_changed_by_the_cleanup_only_in_scroll_options) {
    const DictRef defaults = resource("QuillonMouseDefaults.plist");
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->get("version"), Value(1));
    const DictRef cleaned = deepCopy(*defaults);
    cleanupQuillonMousePrefs(*cleaned);
    for (const auto& [uid, value] : *cleaned->dictionary("settings")) {
        const DictRef options = value.dictionary()->dictionary("options");
        for (const auto& [key, number] : kScrollOptionDefaults) {
            EXPECT_EQ(options->get(key), Value(number)) << uid << " " << key;
            options->remove(key);
        }
    }
    EXPECT_EQ(Value(cleaned), Value(defaults));
}

TEST(shipped_defaults, hold_the_empty_record_and_one_global_record_per_family) {
    const DictRef defaults = resource("QuillonMouseDefaults.plist");
    ASSERT_TRUE(defaults);
    const DictRef settings = defaults->dictionary("settings");
    ASSERT_TRUE(settings);
    EXPECT_EQ(Value(settings->dictionary("0001")), Value(emptyQuillonMouseSettings()));
    EXPECT_EQ(settings->size(), 1 + kDeviceFamilies.size());
    for (std::string_view family : kDeviceFamilies) {
        const DictRef device = makeDictionary({{"type", family}});
        const DictRef match = matchQuillonMouseSettings(*defaults, nullptr, device.get());
        ASSERT_TRUE(match) << family;
        const std::string& uid = match->string("globalKey");
        EXPECT_EQ(match->string("appKey"), uid) << family;
        const DictRef record = settings->dictionary(uid);
        ASSERT_TRUE(record) << family;
        EXPECT_EQ(record->dictionary("device")->string("type"), family);
        EXPECT_FALSE(hasApplicationField(*record));
        EXPECT_TRUE(record->boolean("preset"));
        EXPECT_EQ(hasMainClick(*record), family != kFamilyKbd) << family;
        // Only the family's own record and the empty one apply to it.
        EXPECT_EQ(match->array("matches")->size(), 2u) << family;
        DriverSettingsBlock block;
        EXPECT_TRUE(fillQuillonMouseSettings(*defaults, &block, match.get()));
    }
    EXPECT_TRUE(hasMainClick(*settings->dictionary("0001")));
}

TEST(shipped_devices, name_every_listed_product_and_offer_controls_its_family_sets) {
    const DictRef devices = resource("QuillonMouseDevices.plist");
    const DictRef defaults = resource("QuillonMouseDefaults.plist");
    ASSERT_TRUE(devices && defaults);
    ASSERT_TRUE(devices->contains("0000"));
    for (const ProductFamily& row : productFamilyTable())
        EXPECT_TRUE(devices->contains(productKey(row.productID))) << row.productID;
    int vantorOnly = 0;
    for (const auto& [key, value] : *devices) {
        ASSERT_EQ(key.size(), 4u) << key;
        EXPECT_EQ(key.find_first_not_of("0123456789ABCDEF"), std::string::npos) << key;
        const auto productID = static_cast<std::uint16_t>(std::stoul(key, nullptr, 16));
        const std::string_view family = deviceFamilyForProductID(productID);
        vantorOnly += key != "0000" && family == kFamilyVantor;

        const DictRef entry = value.dictionary();
        ASSERT_TRUE(entry) << key;
        EXPECT_EQ(entry->string("deviceName").rfind("Quillon ", 0), 0u) << key;
        const ArrayRef assignments = entry->array("assignments");
        ASSERT_TRUE(assignments && !assignments->empty()) << key;
        const DictRef match =
            matchQuillonMouseSettings(*defaults, nullptr, makeDictionary({{"type", family}}).get());
        const DictRef actions = defaults->dictionary("settings")
                                    ->dictionary(match->string("globalKey"))
                                    ->dictionary("actions");
        std::set<std::int64_t> indexes;
        for (const Value& a : *assignments) {
            const Dictionary* control = a.dictionaryPtr();
            ASSERT_TRUE(control) << key;
            EXPECT_FALSE(control->string("name").empty()) << key;
            ASSERT_TRUE(control->get("index").ifInteger()) << key;
            const std::int64_t index = control->integer("index");
            EXPECT_TRUE(index >= 0 && index < kDriverActionCount) << key;
            EXPECT_TRUE(indexes.insert(index).second) << key << " lists " << index << " twice";
            EXPECT_TRUE(actions->contains(actionKey(index))) << key << " control " << index;
        }
    }
    EXPECT_GE(vantorOnly, 2);
}

}  // namespace
}  // namespace quillon
