// The property lists exchanged with other implementations, and their description for the peers.
//
// What the peers can carry, found by trying (and kept in the flags of the cases below):
//  - Python's plistlib: every type; integers from INT64_MIN to UINT64_MAX in both formats
//    (above INT64_MAX as 16-byte integers in binary); UIDs up to UINT64_MAX, binary only;
//    dates in years 1 to 9999 with microsecond resolution, whole seconds in XML; no control
//    characters other than tab, newline and carriage return in XML strings, and a carriage
//    return goes into XML as it is, so every XML reader (plistlib's own too) reads it back as
//    a newline. Its binary writer stores equal numbers once, 0.0 and -0.0 included.
//  - libplist 2.2 (plistutil): integers from INT64_MIN to UINT64_MAX in both formats; binary
//    to binary keeps every value, UIDs up to UINT64_MAX included. Its XML writer, though,
//    turns a UID into a one-key dictionary holding its number and writes nothing at all (still
//    exiting 0) for a UID above UINT32_MAX; writes -0.0 as 0.0; cuts a string at its first NUL;
//    drops fractions of a second from dates; writes years before 1000 without leading zeros, which
//    no strict reader accepts; and writes a carriage return as it is (read back as a newline).
#include "interop_cases.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>

#include "quillon-plutil/print.h"
#include "testing/preferences_fixture.h"

namespace quillon::testing {

namespace {

Value dictOf(std::vector<Dictionary::Entry> entries) {
    return Dictionary::fromEntries(std::move(entries));
}

Value arrayOf(std::vector<Value> items) {
    return Array::create(std::move(items));
}

Value integers() {
    return arrayOf({0,
                    1,
                    -1,
                    127,
                    128,
                    255,
                    256,
                    -128,
                    -129,
                    32767,
                    65535,
                    65536,
                    Value(std::int64_t{INT32_MIN}),
                    Value(std::int64_t{INT32_MAX}),
                    Value(std::int64_t{UINT32_MAX}),
                    Value(std::int64_t{1} << 32),
                    Value(Integer(INT64_MIN)),
                    Value(Integer(INT64_MAX)),
                    Value(Integer::fromUnsigned(std::uint64_t{1} << 63)),
                    Value(Integer::fromUnsigned(UINT64_MAX))});
}

Value reals() {
    return arrayOf({0.0, 1.0, -2.5, 0.1, 1.0 / 3, 123456789.12345679, 1e16, 3e10, 1e300, -1e-300,
                    std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::min(),
                    std::numeric_limits<double>::max(), -std::numeric_limits<double>::max()});
}

Value specialReals() {
    return arrayOf({std::numeric_limits<double>::infinity(),
                    -std::numeric_limits<double>::infinity(),
                    std::numeric_limits<double>::quiet_NaN()});
}

Value strings() {
    return arrayOf({"", "plain ASCII", "héllo wörld", "日本語のテキスト", "Привет",
                    "non-BMP: 😀 𝄞 𠜎", "mixed é😀a", "<&>\"' and ]]> and &amp;",
                    "  leading and trailing spaces  ", "tab\tnewline\nend", "\u00a0\u2028"});
}

Value stringKeys() {
    return dictOf({{"", "empty key"},
                   {"ascii", 1},
                   {"clé", 2},
                   {"ключ", 3},
                   {"鍵", 4},
                   {"😀", 5},
                   {"a<b&c", 6}});
}

// Seconds since 2001-01-01 for whole-second dates from the year 1000 to 9999.
Value wholeSecondDates() {
    return arrayOf({Date{0}, Date{-978307200},  // 1970-01-01
                    Date{818441160},            // 2026-12-08 16:46:00
                    Date{-3187296000},          // 1900-01-01
                    Date{-31588531200},         // 1000-01-01
                    Date{252423993599},         // 9999-12-31 23:59:59
                    Date{1}, Date{-1}});
}

Value data() {
    Data all(256);
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<std::uint8_t>(i);
    Data large(100000);
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    return arrayOf({Data{}, Data{0x00}, Data{0xff, 0xfe}, all, large});
}

Value deepArrays(int levels) {
    Value v = Array::create();
    for (int i = 1; i < levels; ++i)
        v = arrayOf({v});
    return v;
}

Value deepDictionaries(int levels) {
    Value v = Dictionary::create();
    for (int i = 1; i < levels; ++i)
        v = dictOf({{"level", i}, {"next", v}});
    return v;
}

Value largeDictionary(int keys) {
    std::vector<Dictionary::Entry> entries;
    entries.reserve(static_cast<std::size_t>(keys));
    for (int i = 0; i < keys; ++i) {
        char key[32];
        std::snprintf(key, sizeof key, "key-%05d", i);
        Value v = i % 3 == 0   ? Value(i)
                  : i % 3 == 1 ? Value("value " + std::to_string(i))
                               : Value(i * 0.5);
        entries.emplace_back(key, std::move(v));
    }
    return Dictionary::fromEntries(std::move(entries));
}

// More than 65,535 objects and offsets beyond 64 KiB: wider references and offsets.
Value manyObjects(int count) {
    auto array = Array::create();
    array->reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        array->append(i - count / 2);
    return array;
}

Value sharedValues() {
    Value shared = dictOf({{"name", "shared"}, {"list", arrayOf({1, 2, 3})}});
    auto array = Array::create();
    for (int i = 0; i < 100; ++i)
        array->append(i % 2 ? Value("repeated string") : Value(7));
    for (int i = 0; i < 3; ++i)
        array->append(shared);
    return array;
}

// Settings sets that share one actions dictionary, whose buttons share actions, whose macros
// share steps; and the same containers again at other depths. plistlib stores each once, so the
// file expands to many times its size.
Value sharedContainers() {
    const Value click = dictOf({{"command", 1}, {"keyCode", 0}, {"modifiers", 0}});
    const Value step = arrayOf({dictOf({{"keyCode", 12}, {"down", true}, {"delay", 0.01}}),
                                dictOf({{"keyCode", 12}, {"down", false}, {"delay", 0.0}})});
    std::vector<Dictionary::Entry> buttons;
    for (int b = 0; b < 32; ++b) {
        char key[8];
        std::snprintf(key, sizeof key, "%02d", b);
        buttons.emplace_back(
            key, b % 2 ? click : dictOf({{"command", b}, {"macro", arrayOf({step, step, step})}}));
    }
    const Value actions = dictOf(std::move(buttons));
    const Value options = dictOf({{"pointerSpeed", 1.5}, {"scrollLines", 3}});
    std::vector<Dictionary::Entry> sets;
    for (int i = 0; i < 40; ++i) {
        char key[8];
        std::snprintf(key, sizeof key, "%04d", i);
        sets.emplace_back(key,
                          dictOf({{"settingsUID", key},
                                  {"actions", actions},
                                  {"options", i % 3 ? options : dictOf({{"scrollLines", i}})}}));
    }
    return dictOf(
        {{"settings", dictOf(std::move(sets))},
         {"defaults", actions},
         {"deep", arrayOf({click, arrayOf({arrayOf({arrayOf({step, click})})}), options})}});
}

Value uids() {
    return arrayOf({Uid{0}, Uid{1}, Uid{255}, Uid{256}, Uid{65535}, Uid{65536}, Uid{UINT32_MAX},
                    dictOf({{"$class", Uid{7}}, {"NS.objects", arrayOf({Uid{2}, Uid{3}})}})});
}

Value largeUids() {
    return arrayOf({Uid{std::uint64_t{1} << 32}, Uid{UINT64_MAX}});
}

void appendJsonString(std::string& out, std::string_view s) {
    out += '"';
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", u);
            out += buf;
        } else {
            out += c;  // UTF-8 as it is: JSON is UTF-8 text
        }
    }
    out += '"';
}

void appendReal(std::string& out, double d) {
    char buf[64];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
}

void appendTagged(std::string& out, const char* tag, const std::string& text) {
    out += "[\"";
    out += tag;
    out += "\", ";
    appendJsonString(out, text);
    out += ']';
}

// The containers of a tree that it holds more than once, by address, and the names given to
// them in the description: plistlib writes such a container once and refers to it from every
// place, as the peer's build() reproduces.
struct Sharing {
    std::map<const void*, int> uses;
    std::map<const void*, int> names;

    void count(const Value& v) {
        const void* at = v.arrayPtr() ? static_cast<const void*>(v.arrayPtr()) : v.dictionaryPtr();
        if (!at || ++uses[at] > 1) return;
        if (const Array* a = v.arrayPtr())
            for (const Value& item : *a)
                count(item);
        else
            for (const auto& entry : *v.dictionaryPtr())
                count(entry.second);
    }
};

void describe(std::string& out, const Value& v, Sharing& sharing);

void describeContainer(std::string& out, const Value& v, Sharing& sharing) {
    switch (v.type()) {
        case Value::Type::Array: {
            out += "[\"array\", [";
            bool first = true;
            for (const Value& item : *v.arrayPtr()) {
                if (!first) out += ", ";
                first = false;
                describe(out, item, sharing);
            }
            out += "]]";
            return;
        }
        case Value::Type::Dictionary: {
            out += "[\"dict\", [";
            bool first = true;
            for (const auto& [key, item] : *v.dictionaryPtr()) {
                if (!first) out += ", ";
                first = false;
                out += '[';
                appendJsonString(out, key);
                out += ", ";
                describe(out, item, sharing);
                out += ']';
            }
            out += "]]";
            return;
        }
        default:
            return;
    }
}

void describe(std::string& out, const Value& v, Sharing& sharing) {
    const void* at = v.arrayPtr() ? static_cast<const void*>(v.arrayPtr()) : v.dictionaryPtr();
    if (at && sharing.uses[at] > 1) {
        const auto [name, first] =
            sharing.names.emplace(at, static_cast<int>(sharing.names.size()));
        if (!first) {
            out += "[\"same\", " + std::to_string(name->second) + "]";
            return;
        }
        out += "[\"shared\", " + std::to_string(name->second) + ", ";
        describeContainer(out, v, sharing);
        out += ']';
        return;
    }
    if (at) {
        describeContainer(out, v, sharing);
        return;
    }
    switch (v.type()) {
        case Value::Type::Absent:
            out += "[\"absent\"]";
            return;
        case Value::Type::Boolean:
            out += *v.ifBoolean() ? "[\"bool\", true]" : "[\"bool\", false]";
            return;
        case Value::Type::Integer: {
            const Integer i = *v.ifInteger();
            appendTagged(out, "integer",
                         i.isBigUnsigned() ? std::to_string(i.bits()) : std::to_string(i.value()));
            return;
        }
        case Value::Type::Real: {
            std::string text;
            appendReal(text, *v.ifReal());
            appendTagged(out, "real", text);
            return;
        }
        case Value::Type::String:
            appendTagged(out, "string", *v.ifString());
            return;
        case Value::Type::Date: {
            std::string text;
            appendReal(text, v.ifDate()->seconds);
            appendTagged(out, "date", text);
            return;
        }
        case Value::Type::Data: {
            static const char hex[] = "0123456789abcdef";
            std::string text;
            for (const std::uint8_t b : *v.ifData()) {
                text += hex[b >> 4];
                text += hex[b & 0xf];
            }
            appendTagged(out, "data", text);
            return;
        }
        case Value::Type::Uid:
            appendTagged(out, "uid", std::to_string(v.ifUid()->value));
            return;
        default:
            return;
    }
}

const char* typeName(Value::Type t) {
    switch (t) {
        case Value::Type::Absent:
            return "absent";
        case Value::Type::Boolean:
            return "boolean";
        case Value::Type::Integer:
            return "integer";
        case Value::Type::Real:
            return "real";
        case Value::Type::String:
            return "string";
        case Value::Type::Date:
            return "date";
        case Value::Type::Data:
            return "data";
        case Value::Type::Uid:
            return "UID";
        case Value::Type::Array:
            return "array";
        case Value::Type::Dictionary:
            return "dictionary";
    }
    return "?";
}

// A leaf as -p prints it, cut short so a mismatch in large data stays readable.
std::string shortText(const Value& v) {
    std::string text = printPropertyList(v);
    text.pop_back();
    if (text.size() > 200) text = text.substr(0, 200) + "...";
    return text;
}

bool sameReal(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

std::optional<std::string> differenceAt(const Value& got, const Value& expected,
                                        const std::string& path) {
    if (got.type() != expected.type())
        return path + ": expected " + typeName(expected.type()) + " " + shortText(expected) +
               ", got " + typeName(got.type()) + " " + shortText(got);
    const auto leafDifference = [&] {
        return std::optional<std::string>(path + ": expected " + shortText(expected) + ", got " +
                                          shortText(got));
    };
    switch (got.type()) {
        case Value::Type::Real:
            if (!sameReal(*got.ifReal(), *expected.ifReal())) return leafDifference();
            return std::nullopt;
        case Value::Type::Date:
            if (!sameReal(got.ifDate()->seconds, expected.ifDate()->seconds))
                return leafDifference();
            return std::nullopt;
        case Value::Type::Array: {
            const Array& g = *got.arrayPtr();
            const Array& e = *expected.arrayPtr();
            for (std::size_t i = 0; i < std::min(g.size(), e.size()); ++i) {
                if (auto d = differenceAt(g.at(i), e.at(i), path + "[" + std::to_string(i) + "]"))
                    return d;
            }
            if (g.size() != e.size())
                return path + ": expected " + std::to_string(e.size()) + " elements, got " +
                       std::to_string(g.size());
            return std::nullopt;
        }
        case Value::Type::Dictionary: {
            const Dictionary& g = *got.dictionaryPtr();
            const Dictionary& e = *expected.dictionaryPtr();
            for (const auto& [key, item] : e) {
                const std::string at = path + "[\"" + key + "\"]";
                if (!g.contains(key)) return at + ": missing";
                if (auto d = differenceAt(g.get(key), item, at)) return d;
            }
            for (const auto& [key, item] : g) {
                if (!e.contains(key)) return path + "[\"" + key + "\"]: not expected";
            }
            return std::nullopt;
        }
        default:
            if (!(got == expected)) return leafDifference();
            return std::nullopt;
    }
}

}  // namespace

std::vector<InteropCase> interopCases() {
    std::vector<InteropCase> cases = {
        {"scalars", dictOf({{"true", true},
                            {"false", false},
                            {"integer", 42},
                            {"real", 0.5},
                            {"string", "text"},
                            {"date", Date{818441160}},
                            {"data", Data{1, 2, 3}}})},
        {"integers", integers()},
        {"reals", reals()},
        {"special_reals", specialReals()},
        // Alone: plistlib's binary writer stores equal numbers once, so 0.0 beside it would
        // come back as -0.0.
        {"negative_zero", arrayOf({-0.0}), true, true, false},
        {"strings", strings()},
        {"string_keys", stringKeys()},
        {"carriage_returns", arrayOf({"\r", "line\r\nline\rend"}), true, false, false},
        {"control_characters", arrayOf({std::string("a\0b", 3), "\x01\x1f\x7f", "bell\a"}), false},
        {"whole_second_dates", wholeSecondDates()},
        {"fractional_dates", arrayOf({Date{0.5}, Date{-0.25}, Date{12345.5}, Date{818441160.125}}),
         false},
        {"dates_before_year_1000", arrayOf({Date{-63113904000}, Date{-31620067200}}), true, true,
         false},
        {"data", data()},
        {"empty_dictionary", Dictionary::create()},
        {"empty_array", Array::create()},
        {"empty_nested",
         arrayOf({Dictionary::create(), Array::create(),
                  dictOf({{"a", Array::create()}, {"b", Dictionary::create()}}), ""})},
        {"deep_arrays", deepArrays(100)},
        {"deep_dictionaries", deepDictionaries(100)},
        {"large_dictionary", largeDictionary(5000)},
        {"many_objects", manyObjects(70000)},
        {"shared_values", sharedValues()},
        {"shared_containers", sharedContainers()},
        {"top_level_string", "just a string"},
        {"top_level_integer", Value(Integer(INT64_MIN))},
        {"uids", uids(), false},
        {"large_uids", largeUids(), false},
        {"preferences", testing::makePreferences(12)},
    };
    return cases;
}

std::string describeCasesAsJson(const std::vector<InteropCase>& cases) {
    std::string out = "[\n";
    for (std::size_t i = 0; i < cases.size(); ++i) {
        out += "{\"name\": ";
        appendJsonString(out, cases[i].name);
        out += cases[i].xml ? ", \"xml\": true" : ", \"xml\": false";
        out += cases[i].xml && cases[i].plistlibXml ? ", \"plistlib_xml\": true"
                                                    : ", \"plistlib_xml\": false";
        out += ", \"value\": ";
        Sharing sharing;
        sharing.count(cases[i].value);
        describe(out, cases[i].value, sharing);
        out += i + 1 < cases.size() ? "},\n" : "}\n";
    }
    out += "]\n";
    return out;
}

std::optional<std::string> firstDifference(const Value& got, const Value& expected) {
    return differenceAt(got, expected, "root");
}

}  // namespace quillon::testing
