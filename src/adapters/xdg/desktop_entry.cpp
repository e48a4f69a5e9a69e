// Desktop entry parsing that accepts any bytes: bad lines, escapes and encodings are skipped.
#include "adapters/xdg/desktop_entry.h"

#include <cstdint>

#include "plist/file_utils.h"

namespace quillon {

namespace {

// Desktop entries are a few kilobytes; a bigger file is not one and must not be read whole.
constexpr std::size_t kMaxDesktopEntryBytes = std::size_t{1} << 20;
constexpr std::string_view kMainGroup = "Desktop Entry";

bool isKeyCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

bool isLocaleCharacter(char c) {
    return isKeyCharacter(c) || c == '_' || c == '@' || c == '.';
}

// "Name" or "Name[de_DE@euro]".
bool isValidKey(std::string_view key) {
    std::size_t i = 0;
    while (i < key.size() && isKeyCharacter(key[i])) ++i;
    if (i == 0) return false;
    if (i == key.size()) return true;
    if (key[i] != '[' || key.back() != ']' || key.size() - i < 3) return false;
    for (std::size_t j = i + 1; j + 1 < key.size(); ++j)
        if (!isLocaleCharacter(key[j])) return false;
    return true;
}

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The value escapes \s \n \t \r \\; any other backslash is kept as written, so that the
// quoting level of Exec still sees "\"" and its kin.
std::string unescapeValue(std::string_view raw) {
    std::string value;
    value.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c != '\\' || i + 1 == raw.size()) {
            value += c;
            continue;
        }
        switch (raw[i + 1]) {
            case 's': value += ' '; break;
            case 'n': value += '\n'; break;
            case 't': value += '\t'; break;
            case 'r': value += '\r'; break;
            case '\\': value += '\\'; break;
            default: value += '\\'; value += raw[i + 1]; break;
        }
        ++i;
    }
    return value;
}

// An argument with its field codes removed; nothing when the argument was a field code alone,
// which then stands for no argument at all.
std::optional<std::string> withoutFieldCodes(const std::string& argument) {
    std::string out;
    bool hadCode = false;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        if (argument[i] != '%' || i + 1 == argument.size()) {
            out += argument[i];
            continue;
        }
        if (argument[i + 1] == '%')
            out += '%';
        else
            hadCode = true;  // %f %u %i %c %k and the deprecated ones: nothing to fill in here
        ++i;
    }
    if (hadCode && out.empty()) return std::nullopt;
    return out;
}

}  // namespace

bool isValidUtf8Text(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == 0) return false;
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra = 0;
        std::uint32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07u;
        } else {
            return false;
        }
        if (text.size() - i <= static_cast<std::size_t>(extra)) return false;
        for (int k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((d & 0xC0u) != 0x80u) return false;
            cp = (cp << 6) | (d & 0x3Fu);
        }
        // Overlong forms, surrogates and values past U+10FFFF.
        if ((extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

const std::string* DesktopEntry::get(std::string_view key) const {
    const auto it = values.find(key);
    return it == values.end() ? nullptr : &it->second;
}

const std::string* DesktopEntry::localized(std::string_view key,
                                           const std::vector<std::string>& languages) const {
    for (const std::string& language : languages) {
        std::string underscored = language;
        for (char& c : underscored)
            if (c == '-') c = '_';
        for (const std::string& spelling : {language, underscored}) {
            if (const std::string* value = get(std::string(key) + "[" + spelling + "]")) return value;
        }
    }
    return nullptr;
}

bool DesktopEntry::isTrue(std::string_view key) const {
    const std::string* value = get(key);
    return value && *value == "true";
}

std::optional<std::vector<std::string>> DesktopEntry::execArguments() const {
    const std::string* exec = get("Exec");
    if (!exec) return std::nullopt;
    auto arguments = splitExecCommand(*exec);
    if (!arguments || arguments->empty() || arguments->front().empty()) return std::nullopt;
    return arguments;
}

std::optional<DesktopEntry> parseDesktopEntry(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    DesktopEntry entry;
    enum class Group { Before, Main, Other, After } group = Group::Before;
    while (!bytes.empty()) {
        const auto newline = bytes.find('\n');
        std::string_view line = bytes.substr(0, newline);
        bytes.remove_prefix(newline == std::string_view::npos ? bytes.size() : newline + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = trimLeft(line);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            const std::string_view header = trimRight(line);
            const bool isMain = header.size() >= 2 && header.back() == ']' &&
                                header.substr(1, header.size() - 2) == kMainGroup;
            // Only the first "Desktop Entry" group counts; a repeated one is ignored.
            if (isMain && group == Group::Before)
                group = Group::Main;
            else if (group == Group::Main)
                group = Group::After;
            else if (group == Group::Before)
                group = Group::Other;
            continue;
        }
        if (group != Group::Main) continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = trimRight(line.substr(0, equals));
        if (!isValidKey(key)) continue;
        std::string value = unescapeValue(trimLeft(line.substr(equals + 1)));
        if (!isValidUtf8Text(value)) continue;
        entry.values.emplace(std::string(key), std::move(value));  // the first of a repeated key wins
    }
    if (group == Group::Before || group == Group::Other) return std::nullopt;
    return entry;
}

std::optional<DesktopEntry> readDesktopEntry(const std::string& path) {
    const auto bytes = readFileBytes(path, kMaxDesktopEntryBytes);
    if (!bytes) return std::nullopt;
    return parseDesktopEntry(*bytes);
}

std::optional<std::vector<std::string>> splitExecCommand(std::string_view exec) {
    std::vector<std::string> arguments;
    std::size_t i = 0;
    while (i < exec.size()) {
        if (exec[i] == ' ' || exec[i] == '\t' || exec[i] == '\n') {
            ++i;
            continue;
        }
        std::string argument;
        bool quoted = false;
        while (i < exec.size() && !(exec[i] == ' ' || exec[i] == '\t' || exec[i] == '\n')) {
            if (exec[i] != '"') {
                argument += exec[i++];
                continue;
            }
            // A quoted part; inside it a backslash escapes one of " ` $ and backslash.
            quoted = true;
            ++i;
            for (;;) {
                if (i == exec.size()) return std::nullopt;
                const char c = exec[i++];
                if (c == '"') break;
                if (c == '\\' && i < exec.size() &&
                    (exec[i] == '"' || exec[i] == '`' || exec[i] == '$' || exec[i] == '\\')) {
                    argument += exec[i++];
                    continue;
                }
                argument += c;
            }
        }
        if (quoted) {
            // A quoted argument is one argument even when empty; field codes inside are still
            // removed, but it is never dropped.
            auto cleaned = withoutFieldCodes(argument);
            arguments.push_back(cleaned ? std::move(*cleaned) : std::string());
        } else if (auto cleaned = withoutFieldCodes(argument)) {
            arguments.push_back(std::move(*cleaned));
        }
    }
    return arguments;
}

std::string escapeDesktopValue(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 2);
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            case ' ': out += i == 0 ? "\\s" : " "; break;
            default: out += c; break;
        }
    }
    return out;
}

std::string quoteExecArgument(std::string_view argument) {
    std::string out = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        if (c == '%') out += '%';
        out += c;
    }
    out += '"';
    return out;
}

}  // namespace quillon
