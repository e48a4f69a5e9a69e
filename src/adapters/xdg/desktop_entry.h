// Desktop entry files (*.desktop): the "Desktop Entry" group, value escapes and Exec command lines.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// The keys of a file's "Desktop Entry" group, values unescaped. Keys keep their locale suffix
// ("Name[de]"). Entries of other groups, invalid lines and values that are not valid UTF-8 are
// left out, so what is here can go into a property list unchanged.
class DesktopEntry {
public:
    // The value under key, or nothing.
    const std::string* get(std::string_view key) const;
    // The value of key[language] for the first language that has one ("de_DE" also tries
    // "de_DE" with '-' spelling), or nothing.
    const std::string* localized(std::string_view key,
                                 const std::vector<std::string>& languages) const;
    // True only for the value "true".
    bool isTrue(std::string_view key) const;
    // Exec split into arguments with field codes removed; nothing when there is no Exec, its
    // quoting is malformed or it names no program.
    std::optional<std::vector<std::string>> execArguments() const;

    std::map<std::string, std::string, std::less<>> values;
};

// The "Desktop Entry" group of a file's bytes; nothing when the file has no such group.
std::optional<DesktopEntry> parseDesktopEntry(std::string_view bytes);
// The same for a file; files larger than 1 MiB or unreadable count as having no group.
std::optional<DesktopEntry> readDesktopEntry(const std::string& path);

// An Exec value split into its arguments, quotes and backslash escapes undone and field codes
// (%f %U ...) removed, "%%" kept as "%"; nothing when a quote is not closed.
std::optional<std::vector<std::string>> splitExecCommand(std::string_view exec);

// A value escaped for writing into an entry (backslash, newline, tab, carriage return, a
// leading space).
std::string escapeDesktopValue(std::string_view value);
// One Exec argument quoted so that splitExecCommand gives it back unchanged (before the value
// escape of escapeDesktopValue, which the caller applies to the whole Exec value).
std::string quoteExecArgument(std::string_view argument);

// True when text is valid UTF-8 without NUL characters.
bool isValidUtf8Text(std::string_view text);

}  // namespace quillon
