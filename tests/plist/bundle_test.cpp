// Tests of Bundle: Info.plist, localized strings with fallback, resource lookup and the environment.
#include "plist/bundle.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "testing/temp_dir.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

fs::path fixtureBundle() { return testing::sourceDir() / "tests/plist/fixtures/bundle"; }

// The folder part of a found resource relative to the bundle, "" for the root.
std::string foundIn(const Bundle& bundle, std::string_view name, std::string_view type) {
    const auto path = bundle.pathForResource(name, type);
    if (!path) return "<none>";
    return path->parent_path().lexically_relative(bundle.root()).lexically_normal().string();
}

TEST(bundle, reads_info_plist_once_and_tolerates_its_absence) {
    const Bundle bundle(fixtureBundle());
    const DictRef info = bundle.infoDictionary();
    ASSERT_TRUE(info);
    EXPECT_EQ(info, bundle.infoDictionary());
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleName").asString(), "Bundle Fixture")
        << "needs the XML codec";
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("Buttons").asInteger(), 5);
    EXPECT_TRUE(bundle.objectForInfoDictionaryKey("Missing").isAbsent());

    const testing::TempDir dir;
    const Bundle empty(dir.path());
    ASSERT_TRUE(empty.infoDictionary());
    EXPECT_TRUE(empty.infoDictionary()->empty());
    dir.write("Info.plist", "not a property list");
    const Bundle garbage(dir.path());
    ASSERT_TRUE(garbage.infoDictionary());
    EXPECT_TRUE(garbage.infoDictionary()->empty());
}

TEST(bundle, german_overrides_english_and_falls_back_to_it) {
    const Bundle bundle(fixtureBundle(), {"de"});
    EXPECT_EQ(bundle.localizedString("Apply"), "Anwenden");
    EXPECT_EQ(bundle.localizedString("Pointer speed", "Localizable"), "Zeigergeschwindigkeit");
    EXPECT_EQ(bundle.localizedString("Only in English"), "Only in English");
    EXPECT_EQ(bundle.localizedString("Not translated anywhere"), "Not translated anywhere");

    const Bundle english(fixtureBundle());
    EXPECT_EQ(english.localizedString("Apply"), "Apply");
}

TEST(bundle, tries_region_then_language_then_english) {
    const Bundle swiss(fixtureBundle(), {"de_CH"});
    EXPECT_EQ(swiss.localizedString("Cancel"), "Abbrechen (CH)");
    EXPECT_EQ(swiss.localizedString("Apply"), "Anwenden");
    EXPECT_EQ(swiss.localizedString("Only in English"), "Only in English");
    // A region without its own folder uses the language's.
    const Bundle austrian(fixtureBundle(), {"de_AT"});
    EXPECT_EQ(austrian.localizedString("Cancel"), "Abbrechen");
    // Languages without folders are passed over.
    const Bundle japanese(fixtureBundle(), {"ja", "de"});
    EXPECT_EQ(japanese.localizedString("Apply"), "Anwenden");
}

TEST(bundle, malformed_table_counts_as_empty) {
    const Bundle bundle(fixtureBundle(), {"fr", "de"});
    EXPECT_EQ(bundle.localizedString("Apply"), "Anwenden");
}

TEST(bundle, reads_other_tables_by_name) {
    const Bundle bundle(fixtureBundle(), {"de"});
    EXPECT_EQ(bundle.localizedString("Button 4", "Buttons"), "Zurück");
    EXPECT_EQ(bundle.localizedString("Button 5", "Buttons"), "Forward");
    EXPECT_EQ(bundle.localizedString("Apply", "Buttons"), "Apply");
    EXPECT_EQ(bundle.localizedString("Button 4"), "Button 4");
    EXPECT_EQ(bundle.localizedString("Button 4", "NoSuchTable"), "Button 4");
    EXPECT_EQ(bundle.localizedString("Apply", "../de.lproj/Localizable"), "Apply");
}

TEST(bundle, reads_each_table_once) {
    const testing::TempDir dir;
    dir.write("en.lproj/Localizable.strings", "\"a\" = \"first\";");
    const Bundle bundle(dir.path());
    EXPECT_EQ(bundle.localizedString("a"), "first");
    EXPECT_EQ(bundle.localizedString("b", "Late"), "b");
    dir.write("en.lproj/Localizable.strings", "\"a\" = \"second\";");
    dir.write("en.lproj/Late.strings", "\"b\" = \"found\";");
    EXPECT_EQ(bundle.localizedString("a"), "first");
    EXPECT_EQ(bundle.localizedString("b", "Late"), "b");
    EXPECT_EQ(Bundle(dir.path()).localizedString("b", "Late"), "found");
}

TEST(bundle, finds_resources_in_language_folders_then_english_then_root) {
    const Bundle german(fixtureBundle(), {"de"});
    EXPECT_EQ(foundIn(german, "readme", "txt"), "de.lproj");
    EXPECT_EQ(foundIn(german, "license", "txt"), "en.lproj");
    EXPECT_EQ(foundIn(german, "icon", "png"), ".");
    EXPECT_EQ(foundIn(german, "icon", ".png"), ".");
    EXPECT_EQ(foundIn(german, "icon.png", ""), ".");
    EXPECT_EQ(foundIn(german, "Makefile", ""), ".");
    EXPECT_EQ(foundIn(german, "icons/pointer", "png"), "icons");
    EXPECT_EQ(foundIn(german, "missing", "txt"), "<none>");
    EXPECT_EQ(foundIn(german, "icon", "jpg"), "<none>");
    EXPECT_EQ(foundIn(german, "icons", ""), "<none>");  // a folder is not a resource

    EXPECT_EQ(foundIn(Bundle(fixtureBundle(), {"fr"}), "readme", "txt"), "en.lproj");
    EXPECT_EQ(foundIn(Bundle(fixtureBundle(), {"de_CH"}), "readme", "txt"), "de.lproj");
    EXPECT_EQ(foundIn(Bundle(fixtureBundle()), "readme", "txt"), "en.lproj");

    const auto path = german.pathForResource("readme", "txt");
    ASSERT_TRUE(path);
    EXPECT_EQ(testing::readAll(*path), "de");
}

TEST(bundle, refuses_names_that_leave_the_bundle) {
    // The fixtures beside the bundle exist, so only the refusal keeps them out of reach.
    const fs::path outside = fixtureBundle() / "../strings/example.strings";
    ASSERT_TRUE(fs::is_regular_file(outside));

    const Bundle bundle(fixtureBundle(), {"de"});
    EXPECT_FALSE(bundle.pathForResource("../strings/example", "strings"));
    EXPECT_FALSE(bundle.pathForResource("../strings/example.strings", ""));
    EXPECT_FALSE(bundle.pathForResource("de.lproj/../../strings/example", "strings"));
    EXPECT_FALSE(bundle.pathForResource("icons/../../strings/example", "strings"));
    EXPECT_FALSE(bundle.pathForResource("example", "strings/../../../strings/example.strings"));
    EXPECT_FALSE(bundle.pathForResource(fs::absolute(outside).lexically_normal().string(), ""));
    EXPECT_FALSE(bundle.pathForResource("..", ""));
    EXPECT_FALSE(bundle.pathForResource("", ""));
    // Even a ".." that would come back inside is refused: the rule stays simple to check.
    EXPECT_FALSE(bundle.pathForResource("icons/../icon", "png"));

    // A language is a folder name, never a path.
    const Bundle escaping(fixtureBundle() / "icons", {"../de", "..", "."});
    EXPECT_FALSE(escaping.pathForResource("readme", "txt"));
    EXPECT_EQ(escaping.localizedString("Apply"), "Apply");
}

// Saves the locale variables and puts them back when the test ends.
class LocaleEnvironment {
public:
    LocaleEnvironment() {
        for (std::size_t i = 0; i < kNames.size(); ++i)
            if (const char* v = std::getenv(kNames[i])) saved_[i] = v;
    }
    ~LocaleEnvironment() {
        for (std::size_t i = 0; i < kNames.size(); ++i)
            assign(kNames[i], saved_[i] ? saved_[i]->c_str() : nullptr);
    }
    LocaleEnvironment(const LocaleEnvironment&) = delete;
    LocaleEnvironment& operator=(const LocaleEnvironment&) = delete;

    // LANGUAGE, LC_ALL, LC_MESSAGES and LANG in that order; nullptr unsets one.
    void set(const std::array<const char*, 4>& values) {
        for (std::size_t i = 0; i < kNames.size(); ++i) assign(kNames[i], values[i]);
    }

private:
    static void assign(const char* name, const char* value) {
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    static constexpr std::array<const char*, 4> kNames{"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    std::array<std::optional<std::string>, 4> saved_;
};

TEST(bundle, reads_languages_from_the_environment) {
    using Languages = std::vector<std::string>;
    LocaleEnvironment env;

    env.set({nullptr, nullptr, nullptr, nullptr});
    EXPECT_EQ(Bundle::languagesFromEnvironment(), Languages{});

    env.set({nullptr, nullptr, nullptr, "de_DE.UTF-8@euro"});
    EXPECT_EQ(Bundle::languagesFromEnvironment(), (Languages{"de_DE", "de"}));

    // LANGUAGE first, then LC_ALL, LC_MESSAGES and LANG; each region is followed by its language.
    env.set({"fr_CA:de", "it_IT.UTF-8", "es", "de_DE.UTF-8"});
    EXPECT_EQ(Bundle::languagesFromEnvironment(),
              (Languages{"fr_CA", "fr", "de", "it_IT", "it", "es", "de_DE"}));

    // "C" and "POSIX" name no language, empty entries and duplicates are dropped.
    env.set({"::en_GB:C:en", "C.UTF-8", "POSIX", "en_GB.UTF-8"});
    EXPECT_EQ(Bundle::languagesFromEnvironment(), (Languages{"en_GB", "en"}));

    // Values that could not be a language name are ignored rather than used as folder names.
    env.set({"x/../../etc:de", "", nullptr, "sr_RS@latin"});
    EXPECT_EQ(Bundle::languagesFromEnvironment(), (Languages{"de", "sr_RS", "sr"}));
}

}  // namespace
}  // namespace quillon
