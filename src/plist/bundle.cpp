// A resource bundle: Info.plist, resource lookup through the language folders, cached strings tables.
#include "plist/bundle.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "plist/file_utils.h"
#include "plist/property_list.h"
#include "plist/strings_table.h"

namespace quillon {

namespace {

namespace fs = std::filesystem;

// Resource files are small; anything bigger is not ours and must not make us allocate it.
constexpr std::size_t kMaxResourceFileBytes = std::size_t{16} << 20;
constexpr std::string_view kDevelopmentLanguage = "en";
constexpr std::string_view kDefaultTable = "Localizable";

// A single file or folder name: no separator, no NUL, not "." or "..".
bool isPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

// A relative path that stays below the folder it is appended to: not absolute, no ".." step.
bool staysInside(std::string_view path) {
    if (path.empty() || path.front() == '/' || path.find('\0') != std::string_view::npos)
        return false;
    std::size_t start = 0;
    for (;;) {
        const auto slash = path.find('/', start);
        const auto part = path.substr(start, slash == std::string_view::npos ? slash : slash - start);
        if (part == "..") return false;
        if (slash == std::string_view::npos) return true;
        start = slash + 1;
    }
}

bool isDirectory(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec);
}

bool isRegularFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

// "de_DE" then "de": the folder names a language may use, most specific first.
std::vector<std::string> lprojNamesFor(std::string_view language) {
    std::vector<std::string> names;
    if (!isPlainName(language)) return names;
    names.push_back(std::string(language) + ".lproj");
    const auto cut = language.find_first_of("_-");
    if (cut != std::string_view::npos && cut > 0)
        names.push_back(std::string(language.substr(0, cut)) + ".lproj");
    return names;
}

// A locale name without codeset and modifier ("de_DE.UTF-8@euro" -> "de_DE"); empty when it
// names no language ("C", "POSIX") or holds characters no language name has.
std::string_view languageOfLocale(std::string_view locale) {
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale == "C" || locale == "POSIX") return {};
    const bool plain = std::all_of(locale.begin(), locale.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-';
    });
    return plain ? locale : std::string_view{};
}

}  // namespace

Bundle::Bundle(std::filesystem::path root, std::vector<std::string> languages)
    : root_(std::move(root)), languages_(std::move(languages)) {}

DictRef Bundle::infoDictionary() const {
    if (!info_) {
        if (const auto bytes = readFileBytes((root_ / "Info.plist").string(), kMaxResourceFileBytes))
            info_ = parsePropertyList(*bytes).dictionary();
        if (!info_) info_ = Dictionary::create();
    }
    return info_;
}

Value Bundle::objectForInfoDictionaryKey(std::string_view key) const {
    return infoDictionary()->get(key);
}

const std::vector<std::filesystem::path>& Bundle::localizedFolders() const {
    if (folders_) return *folders_;
    std::vector<fs::path> folders;
    const auto addLanguage = [&](std::string_view language) {
        for (const auto& name : lprojNamesFor(language)) {
            fs::path folder = root_ / name;
            if (std::find(folders.begin(), folders.end(), folder) == folders.end() &&
                isDirectory(folder))
                folders.push_back(std::move(folder));
        }
    };
    for (const auto& language : languages_) addLanguage(language);
    addLanguage(kDevelopmentLanguage);
    folders_ = std::move(folders);
    return *folders_;
}

std::optional<std::filesystem::path> Bundle::pathForResource(std::string_view name,
                                                             std::string_view type) const {
    std::string file(name);
    if (!type.empty()) {
        if (type.front() == '.') type.remove_prefix(1);  // "png" and ".png" mean the same
        file += '.';
        file += type;
    }
    // The name may come from a settings file; it must not reach outside the bundle.
    if (!staysInside(file)) return std::nullopt;
    for (const auto& folder : localizedFolders()) {
        fs::path candidate = folder / file;
        if (isRegularFile(candidate)) return candidate;
    }
    fs::path candidate = root_ / file;
    if (isRegularFile(candidate)) return candidate;
    return std::nullopt;
}

const Dictionary* Bundle::table(const std::filesystem::path& folder, std::string_view name) const {
    const fs::path file = folder / (std::string(name) + ".strings");
    const std::string cacheKey = file.string();
    if (const auto it = tables_.find(cacheKey); it != tables_.end()) return it->second.get();
    DictRef parsed;
    if (const auto bytes = readFileBytes(cacheKey, kMaxResourceFileBytes))
        parsed = parseStringsTable(*bytes);
    return tables_.emplace(cacheKey, std::move(parsed)).first->second.get();
}

std::string Bundle::localizedString(std::string_view key, std::string_view tableName) const {
    if (tableName.empty()) tableName = kDefaultTable;
    if (!isPlainName(tableName)) return std::string(key);
    for (const auto& folder : localizedFolders()) {
        const Dictionary* strings = table(folder, tableName);
        if (!strings) continue;
        if (const std::string* text = strings->get(key).ifString()) return *text;
    }
    return std::string(key);
}

std::vector<std::string> Bundle::languagesFromEnvironment() {
    std::vector<std::string> languages;
    const auto add = [&](std::string_view language) {
        if (!language.empty() &&
            std::find(languages.begin(), languages.end(), language) == languages.end())
            languages.emplace_back(language);
    };
    const auto addLocale = [&](std::string_view locale) {
        const std::string_view language = languageOfLocale(locale);
        add(language);
        const auto cut = language.find_first_of("_-");
        if (cut != std::string_view::npos) add(language.substr(0, cut));
    };

    if (const char* list = std::getenv("LANGUAGE")) {
        std::string_view rest = list;
        for (;;) {
            const auto colon = rest.find(':');
            addLocale(rest.substr(0, colon));
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* locale = std::getenv(variable)) addLocale(locale);
    return languages;
}

}  // namespace quillon
