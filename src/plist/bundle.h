// A resource bundle: a folder with Info.plist, resources by name and type, and localized strings.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plist/value.h"

namespace quillon {

class Bundle {
public:
    // root is the resource folder; languages are tried in order before "en".
    explicit Bundle(std::filesystem::path root, std::vector<std::string> languages = {});

    const std::filesystem::path& root() const { return root_; }
    // The Info.plist dictionary (empty when missing or unreadable).
    DictRef infoDictionary() const;
    Value objectForInfoDictionaryKey(std::string_view key) const;
    // The path of resource "name.type": first in the language folders, then "en.lproj", then the
    // root. An empty type means name already carries its extension. Nothing when no file exists.
    std::optional<std::filesystem::path> pathForResource(std::string_view name,
                                                         std::string_view type) const;
    // The text for key in table ("Localizable" when empty), from the first language folder that
    // has it, then "en.lproj"; the key itself when no table has it.
    std::string localizedString(std::string_view key, std::string_view table = {}) const;

    // The user's languages from LANGUAGE, LC_ALL, LC_MESSAGES and LANG ("de_DE.UTF-8" gives "de_DE"
    // and "de"), most preferred first.
    static std::vector<std::string> languagesFromEnvironment();

private:
    // The existing ".lproj" folders for the languages, then "en.lproj"; found once.
    const std::vector<std::filesystem::path>& localizedFolders() const;
    const Dictionary* table(const std::filesystem::path& folder, std::string_view name) const;

    // The caches below fill on first use, so a Bundle shared between threads needs a lock.
    std::filesystem::path root_;
    std::vector<std::string> languages_;
    mutable DictRef info_;
    mutable std::optional<std::vector<std::filesystem::path>> folders_;
    mutable std::map<std::string, DictRef, std::less<>> tables_;  // by folder/table; null = none
};

}  // namespace quillon
