// Reads XML property lists straight into values, refusing anything that is not well-formed.
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "plist/property_list.h"
#include "plist/unicode.h"
#include "plist/calendar.h"
#include "plist/xml_text.h"

namespace quillon {

namespace {

using xml_text::isSpace;

enum class Tag : std::uint8_t { Unknown, Plist, Dict, Array, Key, String, Integer, Real, Date, Data, True, False };

// Compares against a literal of the same length with a fixed-size comparison the compiler inlines.
template <std::size_t N>
bool is(std::string_view n, const char (&literal)[N]) {
    return std::memcmp(n.data(), literal, N - 1) == 0;
}

Tag tagFromName(std::string_view n) {
    switch (n.size()) {
    case 3:
        if (is(n, "key")) return Tag::Key;
        break;
    case 4:
        if (is(n, "dict")) return Tag::Dict;
        if (is(n, "real")) return Tag::Real;
        if (is(n, "date")) return Tag::Date;
        if (is(n, "data")) return Tag::Data;
        if (is(n, "true")) return Tag::True;
        break;
    case 5:
        if (is(n, "plist")) return Tag::Plist;
        if (is(n, "array")) return Tag::Array;
        if (is(n, "false")) return Tag::False;
        break;
    case 6:
        if (is(n, "string")) return Tag::String;
        break;
    case 7:
        if (is(n, "integer")) return Tag::Integer;
        break;
    default: break;
    }
    return Tag::Unknown;
}

bool isValueTag(Tag t) { return t != Tag::Unknown && t != Tag::Plist && t != Tag::Key; }

std::string_view tagName(Tag t) {
    switch (t) {
    case Tag::Plist: return "plist";
    case Tag::Dict: return "dict";
    case Tag::Array: return "array";
    case Tag::Key: return "key";
    case Tag::String: return "string";
    case Tag::Integer: return "integer";
    case Tag::Real: return "real";
    case Tag::Date: return "date";
    case Tag::Data: return "data";
    case Tag::True: return "true";
    case Tag::False: return "false";
    case Tag::Unknown: break;
    }
    return {};
}

// Bytes that end a plain run of character data.
constexpr std::array<bool, 256> kTextSpecial = [] {
    std::array<bool, 256> t{};
    t['<'] = t['&'] = t['\r'] = t[']'] = true;
    return t;
}();

// Bytes that end an element or attribute name.
constexpr std::array<bool, 256> kNameEnd = [] {
    std::array<bool, 256> t{};
    for (char c : {' ', '\t', '\n', '\r', '/', '>', '<', '=', '"', '\'', '&'}) t[static_cast<unsigned char>(c)] = true;
    return t;
}();


// Decodes the reference at p ('&'), appending its character to out. Only the five predefined
// entities and character references to characters XML can carry are known.
bool decodeReference(const char*& p, const char* end, std::string& out) {
    ++p;
    if (p < end && *p == '#') {
        ++p;
        unsigned base = 10;
        if (p < end && *p == 'x') {
            base = 16;
            ++p;
        }
        std::uint32_t c = 0;
        int digits = 0;
        for (; p < end && *p != ';'; ++p, ++digits) {
            const char d = *p;
            unsigned v;
            if (d >= '0' && d <= '9') v = static_cast<unsigned>(d - '0');
            else if (base == 16 && d >= 'a' && d <= 'f') v = static_cast<unsigned>(d - 'a' + 10);
            else if (base == 16 && d >= 'A' && d <= 'F') v = static_cast<unsigned>(d - 'A' + 10);
            else return false;
            c = c * base + v;
            if (c > 0x10FFFF) return false;
        }
        if (p == end || digits == 0 || !xml_text::isXmlChar(c)) return false;
        ++p;
        appendUtf8(out, c);
        return true;
    }
    const char* semi = p;
    while (semi < end && semi - p < 5 && *semi != ';') ++semi;
    if (semi == end || *semi != ';') return false;
    const std::string_view name(p, static_cast<std::size_t>(semi - p));
    char c;
    if (name == "amp") c = '&';
    else if (name == "lt") c = '<';
    else if (name == "gt") c = '>';
    else if (name == "quot") c = '"';
    else if (name == "apos") c = '\'';
    else return false;
    out += c;
    p = semi + 1;
    return true;
}

std::string_view trim(std::string_view t) {
    while (!t.empty() && isSpace(t.front())) t.remove_prefix(1);
    while (!t.empty() && isSpace(t.back())) t.remove_suffix(1);
    return t;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != b[i]) return false;
    }
    return true;
}

bool parseInteger(std::string_view t, Value& out) {
    t = trim(t);
    bool negative = false;
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    unsigned base = 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        t.remove_prefix(2);
    }
    if (t.empty()) return false;
    std::uint64_t magnitude = 0;
    for (const char d : t) {
        unsigned v;
        if (d >= '0' && d <= '9') v = static_cast<unsigned>(d - '0');
        else if (base == 16 && d >= 'a' && d <= 'f') v = static_cast<unsigned>(d - 'a' + 10);
        else if (base == 16 && d >= 'A' && d <= 'F') v = static_cast<unsigned>(d - 'A' + 10);
        else return false;
        if (magnitude > (UINT64_MAX - v) / base) return false;
        magnitude = magnitude * base + v;
    }
    constexpr std::uint64_t kMinMagnitude = std::uint64_t{1} << 63;
    if (negative) {
        if (magnitude > kMinMagnitude) return false;
        out = Integer(magnitude == kMinMagnitude ? INT64_MIN : -static_cast<std::int64_t>(magnitude));
    } else {
        out = magnitude > static_cast<std::uint64_t>(INT64_MAX) ? Integer::fromUnsigned(magnitude)
                                                                 : Integer(static_cast<std::int64_t>(magnitude));
    }
    return true;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal real: [sign] (digits [. digits] | . digits) [(e|E) [sign] digits], or one of the
// names of infinity and NaN in any case.
bool parseReal(std::string_view t, Value& out) {
    t = trim(t);
    if (t.empty()) return false;
    const bool negative = t.front() == '-';
    std::string_view unsigned_part = t;
    if (t.front() == '+' || t.front() == '-') unsigned_part.remove_prefix(1);
    if (equalsIgnoringCase(unsigned_part, "inf") || equalsIgnoringCase(unsigned_part, "infinity")) {
        out = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return true;
    }
    if (unsigned_part.size() == t.size() && equalsIgnoringCase(t, "nan")) {
        out = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    // Check the shape ourselves: from_chars alone would also take "inf", "nan(...)" and so on.
    const std::string_view s = unsigned_part;
    std::size_t i = 0;
    std::size_t intDigits = 0, fracDigits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++intDigits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++fracDigits;
    }
    if (intDigits + fracDigits == 0) return false;
    std::int64_t exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negExp = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) negExp = s[i++] == '-';
        if (i == s.size()) return false;
        for (; i < s.size() && isDigit(s[i]); ++i)
            if (exponent < 100000) exponent = exponent * 10 + (s[i] - '0');
        if (negExp) exponent = -exponent;
    }
    if (i != s.size()) return false;
    // from_chars takes no '+', but does take a leading '-'.
    const char* first = negative ? t.data() : s.data();
    double d = 0;
    const auto r = std::from_chars(first, t.data() + t.size(), d);
    if (r.ec == std::errc::result_out_of_range) {
        // Overflow or underflow: tell them apart by the decimal order of the first non-zero digit.
        std::int64_t order = 0;
        std::size_t k = 0;
        while (k < intDigits && s[k] == '0') ++k;
        if (k < intDigits) {
            order = static_cast<std::int64_t>(intDigits - k);
        } else {
            std::size_t j = intDigits + 1;
            while (j < intDigits + 1 + fracDigits && s[j] == '0') ++j;
            order = -static_cast<std::int64_t>(j - intDigits - 1);
        }
        const double magnitude = order + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        d = negative ? -magnitude : magnitude;
    } else if (r.ec != std::errc() || r.ptr != t.data() + t.size()) {
        return false;
    }
    out = d;
    return true;
}

// Reads exactly n decimal digits.
bool readDigits(std::string_view& t, std::size_t n, unsigned& value) {
    if (t.size() < n) return false;
    value = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!isDigit(t[i])) return false;
        value = value * 10 + static_cast<unsigned>(t[i] - '0');
    }
    t.remove_prefix(n);
    return true;
}

// YYYY[-MM[-DD[THH[:MM[:SS[.fraction]]]Z]]], years 0001..9999; the date-only forms may end in Z.
bool parseDate(std::string_view t, Value& out) {
    t = trim(t);
    unsigned year, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    double fraction = 0;
    if (!readDigits(t, 4, year) || year == 0) return false;
    bool hasTime = false;
    if (!t.empty() && t.front() == '-') {
        t.remove_prefix(1);
        if (!readDigits(t, 2, month) || month < 1 || month > 12) return false;
        if (!t.empty() && t.front() == '-') {
            t.remove_prefix(1);
            if (!readDigits(t, 2, day) || day < 1 || day > daysInMonth(year, month)) return false;
            if (!t.empty() && t.front() == 'T') {
                hasTime = true;
                t.remove_prefix(1);
                if (!readDigits(t, 2, hour) || hour > 23) return false;
                if (!t.empty() && t.front() == ':') {
                    t.remove_prefix(1);
                    if (!readDigits(t, 2, minute) || minute > 59) return false;
                    if (!t.empty() && t.front() == ':') {
                        t.remove_prefix(1);
                        if (!readDigits(t, 2, second) || second > 59) return false;
                        if (!t.empty() && t.front() == '.') {
                            std::size_t n = 1;
                            while (n < t.size() && isDigit(t[n])) ++n;
                            if (n == 1) return false;
                            // "0.digits", at most 40 of them: later ones cannot change a double.
                            char buf[48] = "0";
                            const std::size_t take = n < 41 ? n : 41;
                            std::memcpy(buf + 1, t.data(), take);
                            std::from_chars(buf, buf + 1 + take, fraction);
                            t.remove_prefix(n);
                        }
                    }
                }
            }
        }
    }
    if (!t.empty() && t.front() == 'Z') t.remove_prefix(1);
    else if (hasTime) return false;
    if (!t.empty()) return false;
    const std::int64_t days = daysFromCivil(year, month, day);
    const auto secondOfDay = static_cast<std::int64_t>(hour) * 3600 + minute * 60 + second;
    out = Date{static_cast<double>(days * 86400 + secondOfDay) + fraction};
    return true;
}

constexpr std::uint8_t kSkip = 0xFE, kPad = 0xFD, kBad = 0xFF;

constexpr std::array<std::uint8_t, 256> kBase64Decode = [] {
    std::array<std::uint8_t, 256> d{};
    d.fill(kBad);
    for (int i = 0; i < 26; ++i) {
        d[static_cast<std::size_t>('A' + i)] = static_cast<std::uint8_t>(i);
        d[static_cast<std::size_t>('a' + i)] = static_cast<std::uint8_t>(26 + i);
    }
    for (int i = 0; i < 10; ++i) d[static_cast<std::size_t>('0' + i)] = static_cast<std::uint8_t>(52 + i);
    d['+'] = 62;
    d['/'] = 63;
    d['='] = kPad;
    d[' '] = d['\t'] = d['\n'] = d['\r'] = kSkip;
    return d;
}();

// Base64 with white space anywhere; padding optional but, when present, only at the end.
bool parseData(std::string_view t, Value& out) {
    Data data;
    data.reserve(t.size() / 4 * 3 + 3);
    std::uint32_t acc = 0;
    int n = 0, pad = 0;
    for (const char ch : t) {
        const std::uint8_t v = kBase64Decode[static_cast<unsigned char>(ch)];
        if (v == kSkip) continue;
        if (v == kPad) {
            ++pad;
            continue;
        }
        if (v == kBad || pad != 0) return false;
        acc = acc << 6 | v;
        if (++n == 4) {
            data.push_back(static_cast<std::uint8_t>(acc >> 16));
            data.push_back(static_cast<std::uint8_t>(acc >> 8));
            data.push_back(static_cast<std::uint8_t>(acc));
            acc = 0;
            n = 0;
        }
    }
    switch (n) {
    case 0:
        if (pad != 0) return false;
        break;
    case 2:
        if (pad != 0 && pad != 2) return false;
        data.push_back(static_cast<std::uint8_t>(acc >> 4));
        break;
    case 3:
        if (pad > 1) return false;
        data.push_back(static_cast<std::uint8_t>(acc >> 10));
        data.push_back(static_cast<std::uint8_t>(acc >> 2));
        break;
    default: return false;
    }
    out = std::move(data);
    return true;
}

class Reader {
public:
    explicit Reader(std::string_view in) : p_(in.data()), end_(in.data() + in.size()) {}

    Value run() {
        if (at("\xEF\xBB\xBF")) p_ += 3;
        if (!xml_text::isXmlText(p_, static_cast<std::size_t>(end_ - p_))) return {};
        skipSpace();
        if (at("<?xml") && end_ - p_ > 5 && (isSpace(p_[5]) || p_[5] == '?') && !readXmlDeclaration()) return {};
        if (!skipMisc()) return {};
        if (at("<!DOCTYPE")) {
            if (!skipDoctype() || !skipMisc()) return {};
        }
        Tag tag;
        bool empty;
        if (!atElement() || !readStartTag(tag, empty)) return {};
        Value value;
        if (tag == Tag::Plist) {
            if (empty || !skipMisc() || !atElement() || !readStartTag(tag, empty) || !isValueTag(tag)) return {};
            if (!parseValue(tag, empty, 0, value) || !skipMisc() || !at("</") || !readEndTag("plist")) return {};
        } else if (!isValueTag(tag) || !parseValue(tag, empty, 0, value)) {
            return {};
        }
        if (!skipMisc() || p_ != end_) return {};
        return value;
    }

private:
    template <std::size_t N>
    bool at(const char (&literal)[N]) const {
        return static_cast<std::size_t>(end_ - p_) >= N - 1 && std::memcmp(p_, literal, N - 1) == 0;
    }
    bool atElement() const { return end_ - p_ >= 2 && p_[0] == '<'; }

    void skipSpace() {
        while (p_ < end_ && isSpace(*p_)) ++p_;
    }

    // p_ at "<!--"; a comment may not hold "--".
    bool skipComment() {
        const std::string_view rest(p_ + 4, static_cast<std::size_t>(end_ - p_ - 4));
        const std::size_t dashes = rest.find("--");
        if (dashes == std::string_view::npos || dashes + 2 >= rest.size() || rest[dashes + 2] != '>') return false;
        p_ = rest.data() + dashes + 3;
        return true;
    }

    // p_ at "<?"; the target "xml" is reserved for the declaration at the start.
    bool skipPi() {
        const char* name = p_ + 2;
        const char* q = name;
        while (q < end_ && !kNameEnd[static_cast<unsigned char>(*q)] && *q != '?') ++q;
        if (q == name || equalsIgnoringCase(std::string_view(name, static_cast<std::size_t>(q - name)), "xml")) return false;
        if (q < end_ && *q != '?' && !isSpace(*q)) return false;
        const std::string_view rest(q, static_cast<std::size_t>(end_ - q));
        const std::size_t close = rest.find("?>");
        if (close == std::string_view::npos) return false;
        p_ = q + close + 2;
        return true;
    }

    // White space, comments and processing instructions.
    bool skipMisc() {
        for (;;) {
            skipSpace();
            if (at("<!--")) {
                if (!skipComment()) return false;
            } else if (at("<?")) {
                if (!skipPi()) return false;
            } else {
                return true;
            }
        }
    }

    // Reads a quoted value at p_, leaving p_ after the closing quote; '<' is not allowed inside.
    bool readQuoted(std::string_view& value) {
        if (p_ >= end_ || (*p_ != '"' && *p_ != '\'')) return false;
        const char quote = *p_++;
        const char* start = p_;
        while (p_ < end_ && *p_ != quote) {
            if (*p_ == '<') return false;
            ++p_;
        }
        if (p_ == end_) return false;
        value = std::string_view(start, static_cast<std::size_t>(p_ - start));
        ++p_;
        return true;
    }

    std::string_view readName() {
        const char* start = p_;
        while (p_ < end_ && !kNameEnd[static_cast<unsigned char>(*p_)] && *p_ != '?') ++p_;
        return std::string_view(start, static_cast<std::size_t>(p_ - start));
    }

    // p_ at "<?xml ": version required, encoding UTF-8 when given, standalone yes or no.
    bool readXmlDeclaration() {
        p_ += 5;
        bool version = false;
        for (;;) {
            const char* before = p_;
            skipSpace();
            if (at("?>")) {
                p_ += 2;
                return version;
            }
            if (p_ == before) return false;
            const std::string_view name = readName();
            skipSpace();
            if (p_ >= end_ || *p_ != '=') return false;
            ++p_;
            skipSpace();
            std::string_view value;
            if (!readQuoted(value)) return false;
            if (name == "version" && !version) {
                if (value.size() < 3 || value.substr(0, 2) != "1.") return false;
                for (const char c : value.substr(2))
                    if (!isDigit(c)) return false;
                version = true;
            } else if (name == "encoding" && version) {
                if (!equalsIgnoringCase(value, "utf-8")) return false;
            } else if (name == "standalone" && version) {
                if (value != "yes" && value != "no") return false;
            } else {
                return false;
            }
        }
    }

    // p_ at a quote: steps over the literal through its closing quote.
    bool skipQuoted() {
        const char* close = static_cast<const char*>(std::memchr(p_ + 1, *p_, static_cast<std::size_t>(end_ - p_ - 1)));
        if (!close) return false;
        p_ = close + 1;
        return true;
    }

    // Skips a declaration in the internal subset up to its '>', stepping over quoted literals.
    bool skipMarkupDeclaration() {
        while (p_ < end_) {
            const char c = *p_;
            if (c == '>') {
                ++p_;
                return true;
            }
            if (c == '"' || c == '\'') {
                if (!skipQuoted()) return false;
            } else if (c == '<' || c == '%') {
                // Nested markup or a parameter-entity reference (no entity is ever declared).
                return false;
            } else {
                ++p_;
            }
        }
        return false;
    }

    // p_ at "<!DOCTYPE". The external identifier is skipped, never fetched; an internal subset may
    // declare elements, attributes and notations, but any entity declaration refuses the document.
    bool skipDoctype() {
        p_ += 9;
        if (p_ >= end_ || !isSpace(*p_)) return false;
        while (p_ < end_) {
            const char c = *p_;
            if (c == '>') {
                ++p_;
                return true;
            }
            if (c == '"' || c == '\'') {
                if (!skipQuoted()) return false;
            } else if (c == '[') {
                ++p_;
                if (!skipInternalSubset()) return false;
                skipSpace();
                if (p_ >= end_ || *p_ != '>') return false;
            } else if (c == '<' || c == ']') {
                return false;
            } else {
                ++p_;
            }
        }
        return false;
    }

    bool skipInternalSubset() {
        for (;;) {
            skipSpace();
            if (p_ >= end_) return false;
            if (*p_ == ']') {
                ++p_;
                return true;
            }
            if (at("<!--")) {
                if (!skipComment()) return false;
            } else if (at("<?")) {
                if (!skipPi()) return false;
            } else if (at("<!ELEMENT") || at("<!ATTLIST") || at("<!NOTATION")) {
                p_ += 2;
                if (!skipMarkupDeclaration()) return false;
            } else {
                return false;  // <!ENTITY, parameter-entity references, anything else
            }
        }
    }

    // Attributes after an element name, checked and ignored, through the closing '>' or "/>".
    // Property-list elements carry one attribute at most, so more than eight are refused rather
    // than checked for repeats.
    bool readAttributes(bool& empty) {
        std::string_view names[8];
        std::size_t count = 0;
        for (;;) {
            const char* before = p_;
            skipSpace();
            if (p_ >= end_) return false;
            if (*p_ == '>') {
                ++p_;
                empty = false;
                return true;
            }
            if (at("/>")) {
                p_ += 2;
                empty = true;
                return true;
            }
            if (p_ == before) return false;
            const std::string_view name = readName();
            if (name.empty() || isDigit(name[0]) || name[0] == '-' || name[0] == '.' || (p_ < end_ && *p_ == '?'))
                return false;
            for (std::size_t i = 0; i < count; ++i)
                if (names[i] == name) return false;
            if (count == std::size(names)) return false;
            names[count++] = name;
            skipSpace();
            if (p_ >= end_ || *p_ != '=') return false;
            ++p_;
            skipSpace();
            std::string_view value;
            if (!readQuoted(value)) return false;
            for (const char* q = value.data(); q < value.data() + value.size();) {
                if (*q == '&') {
                    scratch_.clear();
                    if (!decodeReference(q, value.data() + value.size(), scratch_)) return false;
                } else {
                    ++q;
                }
            }
        }
    }

    // p_ at '<' of a start tag.
    bool readStartTag(Tag& tag, bool& empty) {
        ++p_;
        const char* name = p_;
        while (p_ < end_ && !kNameEnd[static_cast<unsigned char>(*p_)]) ++p_;
        tag = tagFromName(std::string_view(name, static_cast<std::size_t>(p_ - name)));
        if (tag == Tag::Unknown || p_ == end_) return false;
        if (*p_ == '>') {
            ++p_;
            empty = false;
            return true;
        }
        if (end_ - p_ >= 2 && p_[0] == '/' && p_[1] == '>') {
            p_ += 2;
            empty = true;
            return true;
        }
        return readAttributes(empty);
    }

    // p_ at "</".
    bool readEndTag(std::string_view name) {
        p_ += 2;
        if (static_cast<std::size_t>(end_ - p_) < name.size()) return false;
        for (const char c : name)
            if (*p_++ != c) return false;
        skipSpace();
        if (p_ == end_ || *p_ != '>') return false;
        ++p_;
        return true;
    }

    // Character data of a leaf element through its end tag: references decoded, CDATA taken as
    // it is, comments and processing instructions dropped, line ends read as LF. The view points
    // into the input or into scratch_, valid until the next read.
    bool readText(Tag tag, std::string_view& text) {
        const char* start = p_;
        const char* q = p_;
        while (q < end_ && !kTextSpecial[static_cast<unsigned char>(*q)]) ++q;
        if (end_ - q >= 2 && q[0] == '<' && q[1] == '/') {
            text = std::string_view(start, static_cast<std::size_t>(q - start));
            p_ = q;
            return readEndTag(tagName(tag));
        }
        scratch_.assign(start, q);
        p_ = q;
        for (;;) {
            if (p_ == end_) return false;
            const char c = *p_;
            if (c == '<') {
                if (end_ - p_ >= 2 && p_[1] == '/') {
                    text = scratch_;
                    return readEndTag(tagName(tag));
                }
                if (at("<![CDATA[")) {
                    const std::string_view rest(p_ + 9, static_cast<std::size_t>(end_ - p_ - 9));
                    const std::size_t close = rest.find("]]>");
                    if (close == std::string_view::npos) return false;
                    appendNormalised(rest.substr(0, close));
                    p_ = rest.data() + close + 3;
                } else if (at("<!--")) {
                    if (!skipComment()) return false;
                } else if (at("<?")) {
                    if (!skipPi()) return false;
                } else {
                    return false;  // an element inside a leaf, or a stray '<'
                }
            } else if (c == '&') {
                if (!decodeReference(p_, end_, scratch_)) return false;
            } else if (c == '\r') {
                scratch_ += '\n';
                ++p_;
                if (p_ < end_ && *p_ == '\n') ++p_;
            } else {  // ']'
                if (at("]]>")) return false;
                scratch_ += ']';
                ++p_;
            }
            const char* run = p_;
            while (p_ < end_ && !kTextSpecial[static_cast<unsigned char>(*p_)]) ++p_;
            scratch_.append(run, p_);
        }
    }

    void appendNormalised(std::string_view s) {
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] != '\r') {
                scratch_ += s[i];
            } else {
                scratch_ += '\n';
                if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
            }
        }
    }

    // The value whose start tag was just read; depth counts the containers around it.
    bool parseValue(Tag tag, bool empty, int depth, Value& out) {
        std::string_view text;
        switch (tag) {
        case Tag::Dict: return parseDict(empty, depth + 1, out);
        case Tag::Array: return parseArray(empty, depth + 1, out);
        case Tag::String:
            if (empty) {
                out = std::string();
                return true;
            }
            if (!readText(tag, text)) return false;
            out = text;
            return true;
        case Tag::Integer: return !empty && readText(tag, text) && parseInteger(text, out);
        case Tag::Real: return !empty && readText(tag, text) && parseReal(text, out);
        case Tag::Date: return !empty && readText(tag, text) && parseDate(text, out);
        case Tag::Data:
            if (empty) {
                out = Data();
                return true;
            }
            return readText(tag, text) && parseData(text, out);
        case Tag::True:
        case Tag::False:
            if (!empty && (!readText(tag, text) || !trim(text).empty())) return false;
            out = tag == Tag::True;
            return true;
        case Tag::Unknown:
        case Tag::Plist:
        case Tag::Key: break;
        }
        return false;
    }

    // After skipping white space, comments and PIs: either the container's end tag (returns
    // true with ended set) or the start tag of its next child.
    bool nextChild(Tag container, bool& ended, Tag& tag, bool& empty) {
        if (!skipMisc() || !atElement()) return false;
        if (p_[1] == '/') {
            ended = true;
            return readEndTag(tagName(container));
        }
        ended = false;
        return readStartTag(tag, empty);
    }

    bool parseDict(bool empty, int depth, Value& out) {
        if (depth > maxPropertyListDepth) return false;
        if (empty) {
            out = Dictionary::create();
            return true;
        }
        const std::size_t base = entries_.size();
        for (;;) {
            bool ended, childEmpty;
            Tag tag;
            if (!nextChild(Tag::Dict, ended, tag, childEmpty)) return false;
            if (ended) break;
            if (tag != Tag::Key) return false;
            std::string key;
            if (!childEmpty) {
                std::string_view text;
                if (!readText(Tag::Key, text)) return false;
                key = text;
            }
            if (!skipMisc() || !atElement() || !readStartTag(tag, childEmpty) || !isValueTag(tag)) return false;
            Value value;
            if (!parseValue(tag, childEmpty, depth, value)) return false;
            entries_.emplace_back(std::move(key), std::move(value));
        }
        std::vector<Dictionary::Entry> mine(std::make_move_iterator(entries_.begin() + static_cast<std::ptrdiff_t>(base)),
                                            std::make_move_iterator(entries_.end()));
        entries_.resize(base);
        out = Dictionary::fromEntries(std::move(mine));
        return true;
    }

    bool parseArray(bool empty, int depth, Value& out) {
        if (depth > maxPropertyListDepth) return false;
        if (empty) {
            out = Array::create();
            return true;
        }
        const std::size_t base = items_.size();
        for (;;) {
            bool ended, childEmpty;
            Tag tag;
            if (!nextChild(Tag::Array, ended, tag, childEmpty)) return false;
            if (ended) break;
            if (!isValueTag(tag)) return false;
            Value value;
            if (!parseValue(tag, childEmpty, depth, value)) return false;
            items_.push_back(std::move(value));
        }
        std::vector<Value> mine(std::make_move_iterator(items_.begin() + static_cast<std::ptrdiff_t>(base)),
                                std::make_move_iterator(items_.end()));
        items_.resize(base);
        out = Array::create(std::move(mine));
        return true;
    }

    const char* p_;
    const char* end_;
    // Children of the open containers, innermost last; each container takes its own on closing.
    std::vector<Dictionary::Entry> entries_;
    std::vector<Value> items_;
    std::string scratch_;
};

}  // namespace

Value parseXmlPropertyList(std::string_view bytes) { return Reader(bytes).run(); }

}  // namespace quillon
