// Readable text for a property list, as `quillon-plutil -p` prints it.
#include "print.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "plist/calendar.h"

namespace quillon {

namespace {

constexpr std::size_t kDataBytesShown = 24;
// Dates further than about 30 million years from 2001 are printed as raw seconds: far enough
// for any real file, near enough that the calendar arithmetic below stays in range.
constexpr double kLargestPrintableDate = 1e15;

void appendReal(std::string& out, double d) {
    char buf[64];
    const auto result = std::to_chars(buf, buf + sizeof buf, d);
    out.append(buf, result.ptr);
}

void appendQuoted(std::string& out, const std::string& s) {
    out += '"';
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (u < 0x20 || u == 0x7f) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04X", u);
                    out += buf;
                } else {
                    out += c;  // UTF-8 passes through as it is
                }
        }
    }
    out += '"';
}

void appendDate(std::string& out, const Date& date) {
    if (!std::isfinite(date.seconds) || std::fabs(date.seconds) > kLargestPrintableDate) {
        out += "date(";
        appendReal(out, date.seconds);
        out += ')';
        return;
    }
    const CivilTime t = civilTimeOf(date.seconds);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02u:%02u:%02u +0000",
                  static_cast<long long>(t.date.year), t.date.month, t.date.day, t.hour, t.minute,
                  t.second);
    out += buf;
}

void appendData(std::string& out, const Data& data) {
    static const char hex[] = "0123456789abcdef";
    out += "{length = ";
    out += std::to_string(data.size());
    out += ", bytes = 0x";
    const std::size_t shown = std::min(data.size(), kDataBytesShown);
    for (std::size_t i = 0; i < shown; ++i) {
        out += hex[data[i] >> 4];
        out += hex[data[i] & 0xf];
    }
    out += data.size() > shown ? " ... }" : "}";
}

void appendIndent(std::string& out, int depth) { out.append(static_cast<std::size_t>(depth) * 2, ' '); }

void appendValue(std::string& out, const Value& value, int depth) {
    switch (value.type()) {
        case Value::Type::Absent: out += "<absent>"; return;
        case Value::Type::Boolean: out += *value.ifBoolean() ? "true" : "false"; return;
        case Value::Type::Integer: {
            const Integer i = *value.ifInteger();
            out += i.isBigUnsigned() ? std::to_string(i.bits()) : std::to_string(i.value());
            return;
        }
        case Value::Type::Real: appendReal(out, *value.ifReal()); return;
        case Value::Type::String: appendQuoted(out, *value.ifString()); return;
        case Value::Type::Date: appendDate(out, *value.ifDate()); return;
        case Value::Type::Data: appendData(out, *value.ifData()); return;
        case Value::Type::Uid:
            out += "uid(" + std::to_string(value.ifUid()->value) + ")";
            return;
        case Value::Type::Array:
        case Value::Type::Dictionary: break;
    }
    // depth counts from 0 at the outermost container, which is level 1 to readers and writers.
    if (depth >= maxPropertyListDepth) {
        out += "...";
        return;
    }
    if (const Array* array = value.arrayPtr()) {
        out += "[\n";
        std::size_t index = 0;
        for (const Value& item : *array) {
            appendIndent(out, depth + 1);
            out += std::to_string(index++);
            out += " => ";
            appendValue(out, item, depth + 1);
            out += '\n';
        }
        appendIndent(out, depth);
        out += ']';
        return;
    }
    out += "{\n";
    for (const auto& [key, item] : *value.dictionaryPtr()) {
        appendIndent(out, depth + 1);
        appendQuoted(out, key);
        out += " => ";
        appendValue(out, item, depth + 1);
        out += '\n';
    }
    appendIndent(out, depth);
    out += '}';
}

}  // namespace

std::string printPropertyList(const Value& value) {
    std::string out;
    appendValue(out, value, 0);
    out += '\n';
    return out;
}

}  // namespace quillon
