// Reading ".strings" tables: text decoding, a single-pass tokenizer and the plist-format fallback.
#include "plist/strings_table.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plist/property_list.h"
#include "plist/unicode.h"

namespace quillon {

namespace {


constexpr bool isHighSurrogate(std::uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool isLowSurrogate(std::uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// UTF-16 in the given byte order (the byte-order mark already removed) as UTF-8; nothing for an
// odd length or an unpaired surrogate.
std::optional<std::string> utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0) return std::nullopt;
    const auto unitAt = [&](std::size_t i) -> std::uint32_t {
        const auto b0 = static_cast<std::uint8_t>(bytes[i]);
        const auto b1 = static_cast<std::uint8_t>(bytes[i + 1]);
        return bigEndian ? (std::uint32_t{b0} << 8 | b1) : (std::uint32_t{b1} << 8 | b0);
    };
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const std::uint32_t unit = unitAt(i);
        if (isLowSurrogate(unit)) return std::nullopt;
        if (!isHighSurrogate(unit)) {
            appendUtf8(out, unit);
            continue;
        }
        if (i + 2 >= bytes.size()) return std::nullopt;
        const std::uint32_t low = unitAt(i + 2);
        if (!isLowSurrogate(low)) return std::nullopt;
        appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
    }
    return out;
}

constexpr bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

constexpr bool isBareChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c == ':' || c == '.' || c == '/' || c == '-';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Walks UTF-8 text once; every step either consumes input or fails, so it always ends.
class Parser {
public:
    explicit Parser(std::string_view text) : s_(text) {}

    std::optional<std::vector<Dictionary::Entry>> parse() {
        std::vector<Dictionary::Entry> entries;
        for (;;) {
            if (!skipSpaceAndComments()) return std::nullopt;
            if (atEnd()) return entries;
            std::string key;
            if (!readToken(key)) return std::nullopt;
            if (!skipSpaceAndComments() || atEnd()) return std::nullopt;
            if (s_[pos_] == ';') {
                ++pos_;
                std::string value = key;
                entries.emplace_back(std::move(key), Value(std::move(value)));
                continue;
            }
            if (s_[pos_] != '=') return std::nullopt;
            ++pos_;
            if (!skipSpaceAndComments() || atEnd()) return std::nullopt;
            std::string value;
            if (!readToken(value)) return std::nullopt;
            if (!skipSpaceAndComments() || atEnd() || s_[pos_] != ';') return std::nullopt;
            ++pos_;
            entries.emplace_back(std::move(key), Value(std::move(value)));
        }
    }

private:
    bool atEnd() const { return pos_ >= s_.size(); }

    // False for an unterminated block comment.
    bool skipSpaceAndComments() {
        while (!atEnd()) {
            const char c = s_[pos_];
            if (isSpace(c)) {
                ++pos_;
            } else if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '*') {
                const auto close = s_.find("*/", pos_ + 2);
                if (close == std::string_view::npos) return false;
                pos_ = close + 2;
            } else if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '/') {
                const auto eol = s_.find_first_of("\r\n", pos_ + 2);
                pos_ = eol == std::string_view::npos ? s_.size() : eol;
            } else {
                return true;
            }
        }
        return true;
    }

    // A quoted string or a bare word at the current position.
    bool readToken(std::string& out) {
        if (s_[pos_] == '"') return readQuoted(out);
        const std::size_t start = pos_;
        while (!atEnd() && isBareChar(s_[pos_])) {
            // A comment may follow a bare word without space; "//" and "/*" end the word.
            if (s_[pos_] == '/' && pos_ + 1 < s_.size() && (s_[pos_ + 1] == '/' || s_[pos_ + 1] == '*'))
                break;
            ++pos_;
        }
        if (pos_ == start) return false;
        out.assign(s_.substr(start, pos_ - start));
        return true;
    }

    bool readQuoted(std::string& out) {
        ++pos_;  // opening quote
        for (;;) {
            // Copy the plain run up to the next quote or backslash in one step.
            const auto stop = s_.find_first_of("\"\\", pos_);
            if (stop == std::string_view::npos) return false;
            out.append(s_.substr(pos_, stop - pos_));
            pos_ = stop + 1;
            if (s_[stop] == '"') return true;
            if (atEnd()) return false;
            if (!readEscape(out)) return false;
        }
    }

    // The escape after a backslash; pos_ is at the character after it.
    bool readEscape(std::string& out) {
        const char c = s_[pos_++];
        switch (c) {
            case 'n': out.push_back('\n'); return true;
            case 't': out.push_back('\t'); return true;
            case 'r': out.push_back('\r'); return true;
            case 'a': out.push_back('\a'); return true;
            case 'b': out.push_back('\b'); return true;
            case 'f': out.push_back('\f'); return true;
            case 'v': out.push_back('\v'); return true;
            case 'U':
            case 'u': return readUnicodeEscape(out);
            default: break;
        }
        if (c >= '0' && c <= '7') {
            std::uint32_t value = static_cast<std::uint32_t>(c - '0');
            // Up to three digits, stopping before one that would go past 0377.
            for (int digits = 1; digits < 3 && !atEnd(); ++digits) {
                const char d = s_[pos_];
                if (d < '0' || d > '7') break;
                const std::uint32_t next = value * 8 + static_cast<std::uint32_t>(d - '0');
                if (next > 0377) break;
                value = next;
                ++pos_;
            }
            appendUtf8(out, value);
            return true;
        }
        // Anything else stands for itself; a multi-byte character's remaining bytes are copied
        // by the caller's plain run.
        out.push_back(c);
        return true;
    }

    std::optional<std::uint32_t> readHex4() {
        if (s_.size() - pos_ < 4) return std::nullopt;
        std::uint32_t v = 0;
        for (int k = 0; k < 4; ++k) {
            const int h = hexValue(s_[pos_ + static_cast<std::size_t>(k)]);
            if (h < 0) return std::nullopt;
            v = v << 4 | static_cast<std::uint32_t>(h);
        }
        pos_ += 4;
        return v;
    }

    // "\UXXXX": one UTF-16 unit; a high surrogate must be followed by a "\U" low surrogate.
    bool readUnicodeEscape(std::string& out) {
        const auto unit = readHex4();
        if (!unit || isLowSurrogate(*unit)) return false;
        if (!isHighSurrogate(*unit)) {
            appendUtf8(out, *unit);
            return true;
        }
        if (s_.size() - pos_ < 2 || s_[pos_] != '\\' || (s_[pos_ + 1] != 'U' && s_[pos_ + 1] != 'u'))
            return false;
        pos_ += 2;
        const auto low = readHex4();
        if (!low || !isLowSurrogate(*low)) return false;
        appendUtf8(out, 0x10000 + ((*unit - 0xD800) << 10) + (*low - 0xDC00));
        return true;
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

// A table saved as a property list: accepted when its top level is a dictionary of strings.
DictRef fromPropertyList(std::string_view bytes) {
    const Value v = parsePropertyList(bytes);
    DictRef dict = v.dictionary();
    if (!dict) return nullptr;
    for (const auto& [key, value] : *dict)
        if (!value.ifString()) return nullptr;
    return dict;
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// Property-list files start with the binary header or, after white space, with markup; neither
// can begin a strings table, so the choice never has to guess.
bool looksLikePropertyList(std::string_view text) {
    if (startsWith(text, "bplist")) return true;
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    return i < text.size() && text[i] == '<';
}

}  // namespace

DictRef parseStringsTable(std::string_view bytes) {
    if (startsWith(bytes, "bplist")) return fromPropertyList(bytes);

    std::optional<std::string> decoded;
    std::string_view text = bytes;
    if (startsWith(bytes, "\xFF\xFE") || startsWith(bytes, "\xFE\xFF")) {
        decoded = utf16ToUtf8(bytes.substr(2), bytes[0] == '\xFE');
        if (!decoded) return nullptr;
        text = *decoded;
    } else {
        if (startsWith(text, "\xEF\xBB\xBF")) text.remove_prefix(3);
        if (!isValidUtf8(text)) return nullptr;
    }

    if (looksLikePropertyList(text)) {
        // The XML reader may not take a byte-order mark or UTF-16; the UTF-8 text is the fallback.
        if (DictRef dict = fromPropertyList(bytes)) return dict;
        return text.data() == bytes.data() ? nullptr : fromPropertyList(text);
    }

    auto entries = Parser(text).parse();
    if (!entries) return nullptr;
    return Dictionary::fromEntries(std::move(*entries));
}

}  // namespace quillon
