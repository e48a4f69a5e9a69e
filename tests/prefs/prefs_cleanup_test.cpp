// Tests of the load-time cleanup of the preferences dictionary.
#include <gtest/gtest.h>

#include "prefs/prefs_cleanup.h"
#include "prefs/settings_records.h"

namespace quillon {
namespace {

DictRef scrollDefaults() {
    return makeDictionary({{"scrollDPI", 400},
                           {"scrollSpeed", 100},
                           {"scrollXYRatio", 50},
                           {"scrollMaxCount", 15000},
                           {"scrollMinDelay", 40},
                           {"scrollMaxDelay", 250}});
}

TEST(prefs_cleanup, turns_an_empty_dictionary_into_the_known_shape) {
    DictRef prefs = Dictionary::create();
    cleanupQuillonMousePrefs(*prefs);
    DictRef record = emptyQuillonMouseSettings();
    const DictRef scroll = scrollDefaults();
    for (const auto& [key, value] : *scroll) record->dictionary("options")->set(key, value);
    EXPECT_EQ(Value(prefs), Value(makeDictionary({{"settings", makeDictionary({{"0001", record}})},
                                                  {"general", Dictionary::create()},
                                                  {"state", Dictionary::create()},
                                                  {"version", 1}})));
}

TEST(prefs_cleanup, replaces_containers_and_version_of_the_wrong_kind) {
    DictRef prefs = makeDictionary({{"settings", makeArray({1})},
                                    {"general", "x"},
                                    {"state", 3},
                                    {"version", "1"},
                                    {"extra", "kept"}});
    cleanupQuillonMousePrefs(*prefs);
    EXPECT_EQ(prefs->get("version"), Value(1));
    ASSERT_TRUE(prefs->get("version").ifInteger());
    EXPECT_TRUE(prefs->dictionary("general") && prefs->dictionary("general")->empty());
    EXPECT_TRUE(prefs->dictionary("state") && prefs->dictionary("state")->empty());
    ASSERT_TRUE(prefs->dictionary("settings"));
    EXPECT_EQ(prefs->dictionary("settings")->keys(), std::vector<std::string>{"0001"});
    EXPECT_EQ(prefs->string("extra"), "kept");
}

TEST(prefs_cleanup, keeps_another_version_unchanged) {
    DictRef prefs = makeDictionary({{"version", 2}});
    cleanupQuillonMousePrefs(*prefs);
    EXPECT_EQ(prefs->get("version"), Value(2));
    DictRef real = makeDictionary({{"version", 1.0}});
    cleanupQuillonMousePrefs(*real);
    EXPECT_EQ(real->get("version"), Value(1.0));
}

TEST(prefs_cleanup, fills_only_missing_scroll_options_and_nothing_else) {
    DictRef prefs = makeDictionary(
        {{"settings",
          makeDictionary({
              {"0007", makeDictionary({{"options", makeDictionary({{"speed", 150},
                                                                   {"scrollDPI", 800},
                                                                   {"scrollSpeed", "fast"}})}})},
              {"0008", makeDictionary({{"options", "broken"}, {"app", makeDictionary({})}})},
              {"0009", makeDictionary({})},
          })}});
    cleanupQuillonMousePrefs(*prefs);
    const DictRef settings = prefs->dictionary("settings");
    EXPECT_EQ(settings->keys(), (std::vector<std::string>{"0007", "0008", "0009"}));

    DictRef expected7 = scrollDefaults();
    expected7->set("speed", 150);
    expected7->set("scrollDPI", 800);
    expected7->set("scrollSpeed", "fast");
    EXPECT_EQ(Value(settings->dictionary("0007")->dictionary("options")), Value(expected7));
    EXPECT_FALSE(settings->dictionary("0007")->contains("actions"));
    EXPECT_FALSE(settings->dictionary("0007")->contains("enabled"));
    EXPECT_EQ(Value(settings->dictionary("0008")->dictionary("options")), Value(scrollDefaults()));
    EXPECT_EQ(Value(settings->dictionary("0009")),
              Value(makeDictionary({{"options", scrollDefaults()}})));
}

TEST(prefs_cleanup, cleans_every_action_and_skips_what_is_not_a_record) {
    DictRef prefs = makeDictionary(
        {{"settings",
          makeDictionary({
              {"0001",
               makeDictionary(
                   {{"actions", makeDictionary({
                                    {"00", makeDictionary({{"command", 7}, {"text", "abc"}})},
                                    {"01", makeDictionary({{"command", 25}, {"button", 1}})},
                                    {"02", "not an action"},
                                })}})},
              {"0002",
               makeDictionary({{"actions", makeArray({makeDictionary({{"command", 99}})})}})},
              {"0003", "not a record"},
          })}});
    cleanupQuillonMousePrefs(*prefs);
    const DictRef settings = prefs->dictionary("settings");
    const DictRef actions = settings->dictionary("0001")->dictionary("actions");
    EXPECT_EQ(Value(actions->dictionary("00")),
              Value(makeDictionary({{"command", 7}, {"keyCode", 255}})));
    EXPECT_EQ(Value(actions->dictionary("01")), Value(makeDictionary({{"command", 0}})));
    EXPECT_EQ(actions->get("02"), Value("not an action"));
    EXPECT_EQ(
        settings->dictionary("0002")->array("actions")->at(0).dictionary()->integer("command"), 99);
    EXPECT_EQ(settings->get("0003"), Value("not a record"));
}

TEST(prefs_cleanup, adds_no_default_record_to_a_table_with_any_record) {
    DictRef prefs = makeDictionary({{"settings", makeDictionary({{"1000", makeDictionary({})}})}});
    cleanupQuillonMousePrefs(*prefs);
    EXPECT_EQ(prefs->dictionary("settings")->keys(), std::vector<std::string>{"1000"});
}

TEST(prefs_cleanup, a_second_run_changes_nothing) {
    DictRef prefs = makeDictionary(
        {{"settings",
          makeDictionary({
              {"0004",
               makeDictionary(
                   {{"actions", makeDictionary({{"03", makeDictionary({{"command", 7}})}})}})},
          })}});
    cleanupQuillonMousePrefs(*prefs);
    const DictRef once = deepCopy(*prefs);
    cleanupQuillonMousePrefs(*prefs);
    EXPECT_EQ(Value(prefs), Value(once));
}

}  // namespace
}  // namespace quillon
