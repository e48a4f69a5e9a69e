// Writes values as XML property lists in the standard layout: fixed header, one tab per level.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>

#include "plist/property_list.h"
#include "plist/calendar.h"
#include "plist/xml_text.h"

namespace quillon {

namespace {

constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";
constexpr std::string_view kFooter = "</plist>\n";

// How each byte of a string is written: as it is, escaped, refused, or checked as UTF-8.
enum class ByteClass : std::uint8_t { Plain, Escape, Forbidden, Multibyte };

constexpr std::array<ByteClass, 256> kByteClass = [] {
    std::array<ByteClass, 256> t{};
    for (unsigned c = 0; c < 0x20; ++c) t[c] = ByteClass::Forbidden;
    t['\t'] = t['\n'] = ByteClass::Plain;
    t['\r'] = t['&'] = t['<'] = t['>'] = ByteClass::Escape;
    for (unsigned c = 0x80; c < 0x100; ++c) t[c] = ByteClass::Multibyte;
    return t;
}();

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Bytes of data per base64 line: lines fit in 76 columns with tabs counted as 8, but hold at
// least 16 characters (12 bytes) however deep the indentation.
constexpr std::size_t dataLineBytes(unsigned level) {
    const std::size_t columns = level >= 8 ? 16 : std::max<std::size_t>(16, 76 - 8 * std::size_t{level});
    return columns / 4 * 3;
}

// First and one past the last second of the years 0001..9999, counted from 2001.
constexpr double kFirstSecond = -static_cast<double>(kDaysTo2001) * 86400;
constexpr double kEndSecond = static_cast<double>(daysFromCivil(10000, 1, 1)) * 86400;

class Writer {
public:
    std::optional<std::string> run(const Value& value) {
        std::size_t estimate = 256;
        if (const Dictionary* d = value.dictionaryPtr()) estimate += d->size() * 64;
        if (const Array* a = value.arrayPtr()) estimate += a->size() * 32;
        out_.reserve(estimate);
        out_ += kHeader;
        if (!write(value, 0)) return std::nullopt;
        out_ += kFooter;
        return std::move(out_);
    }

private:
    void indent(unsigned level) { out_.append(level, '\t'); }

    // The value on its own lines at the given level, which also counts the containers around it.
    bool write(const Value& value, unsigned level) {
        indent(level);
        switch (value.type()) {
        case Value::Type::Boolean:
            out_ += *value.ifBoolean() ? "<true/>\n" : "<false/>\n";
            return true;
        case Value::Type::Integer: {
            const Integer i = *value.ifInteger();
            char buf[24];
            const auto r = i.isBigUnsigned() ? std::to_chars(buf, buf + sizeof buf, i.bits())
                                             : std::to_chars(buf, buf + sizeof buf, i.value());
            out_ += "<integer>";
            out_.append(buf, r.ptr);
            out_ += "</integer>\n";
            return true;
        }
        case Value::Type::Real:
            writeReal(*value.ifReal());
            return true;
        case Value::Type::String:
            out_ += "<string>";
            if (!appendEscaped(*value.ifString())) return false;
            out_ += "</string>\n";
            return true;
        case Value::Type::Date: return writeDate(value.ifDate()->seconds);
        case Value::Type::Data: writeData(*value.ifData(), level); return true;
        case Value::Type::Array: return writeArray(*value.arrayPtr(), level);
        case Value::Type::Dictionary: return writeDictionary(*value.dictionaryPtr(), level);
        case Value::Type::Absent:
        case Value::Type::Uid: break;
        }
        return false;
    }

    // A container nested in itself fails here too, once it passes the depth limit.
    bool writeArray(const Array& array, unsigned level) {
        if (level + 1 > static_cast<unsigned>(maxPropertyListDepth)) return false;
        if (array.empty()) {
            out_ += "<array/>\n";
            return true;
        }
        out_ += "<array>\n";
        for (const Value& item : array)
            if (!write(item, level + 1)) return false;
        indent(level);
        out_ += "</array>\n";
        return true;
    }

    bool writeDictionary(const Dictionary& dict, unsigned level) {
        if (level + 1 > static_cast<unsigned>(maxPropertyListDepth)) return false;
        if (dict.empty()) {
            out_ += "<dict/>\n";
            return true;
        }
        out_ += "<dict>\n";
        for (const auto& [key, value] : dict) {
            indent(level + 1);
            out_ += "<key>";
            if (!appendEscaped(key)) return false;
            out_ += "</key>\n";
            if (!write(value, level + 1)) return false;
        }
        indent(level);
        out_ += "</dict>\n";
        return true;
    }

    // Escapes markup characters and CR (which a reader would turn into LF); refuses text XML
    // cannot carry.
    bool appendEscaped(std::string_view s) {
        const auto* p = reinterpret_cast<const unsigned char*>(s.data());
        const auto* end = p + s.size();
        const auto* run = p;
        while (p < end) {
            switch (kByteClass[*p]) {
            case ByteClass::Plain: ++p; continue;
            case ByteClass::Multibyte: {
                const std::size_t n = xml_text::xmlSequenceLength(p, end);
                if (n == 0) return false;
                p += n;
                continue;
            }
            case ByteClass::Forbidden: return false;
            case ByteClass::Escape: break;
            }
            out_.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p - run));
            switch (*p) {
            case '&': out_ += "&amp;"; break;
            case '<': out_ += "&lt;"; break;
            case '>': out_ += "&gt;"; break;
            default: out_ += "&#13;"; break;
            }
            run = ++p;
        }
        out_.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p - run));
        return true;
    }

    void writeReal(double d) {
        out_ += "<real>";
        if (std::isnan(d)) {
            out_ += "nan";
        } else if (std::isinf(d)) {
            out_ += d > 0 ? "+infinity" : "-infinity";
        } else {
            char buf[32];
            const auto r = std::to_chars(buf, buf + sizeof buf, d);
            out_.append(buf, r.ptr);
        }
        out_ += "</real>\n";
    }

    // YYYY-MM-DDTHH:MM:SSZ, the seconds rounded down.
    bool writeDate(double seconds) {
        if (!(seconds >= kFirstSecond && seconds < kEndSecond)) return false;
        const CivilTime time = civilTimeOf(seconds);
        const CivilDate& date = time.date;
        char buf[20];
        const auto put = [&](std::size_t at, std::int64_t v, int width) {
            for (int i = width - 1; i >= 0; --i, v /= 10) buf[at + static_cast<std::size_t>(i)] = static_cast<char>('0' + v % 10);
        };
        put(0, date.year, 4);
        buf[4] = '-';
        put(5, date.month, 2);
        buf[7] = '-';
        put(8, date.day, 2);
        buf[10] = 'T';
        put(11, time.hour, 2);
        buf[13] = ':';
        put(14, time.minute, 2);
        buf[16] = ':';
        put(17, time.second, 2);
        buf[19] = 'Z';
        out_ += "<date>";
        out_.append(buf, sizeof buf);
        out_ += "</date>\n";
        return true;
    }

    // Base64 in lines of at most 76 columns, each indented like the <data> tag.
    void writeData(const Data& data, unsigned level) {
        out_ += "<data>\n";
        const std::size_t size = data.size();
        const std::size_t lineBytes = dataLineBytes(level);
        for (std::size_t line = 0; line < size; line += lineBytes) {
            indent(level);
            const std::size_t lineEnd = std::min(size, line + lineBytes);
            char buf[80];
            std::size_t n = 0;
            std::size_t i = line;
            for (; i + 3 <= lineEnd; i += 3) {
                const std::uint32_t v = static_cast<std::uint32_t>(data[i]) << 16 |
                                        static_cast<std::uint32_t>(data[i + 1]) << 8 | data[i + 2];
                buf[n++] = kBase64[v >> 18];
                buf[n++] = kBase64[v >> 12 & 63];
                buf[n++] = kBase64[v >> 6 & 63];
                buf[n++] = kBase64[v & 63];
            }
            if (i < lineEnd) {
                const bool two = i + 1 < lineEnd;
                const std::uint32_t v = static_cast<std::uint32_t>(data[i]) << 16 |
                                        (two ? static_cast<std::uint32_t>(data[i + 1]) << 8 : 0);
                buf[n++] = kBase64[v >> 18];
                buf[n++] = kBase64[v >> 12 & 63];
                buf[n++] = two ? kBase64[v >> 6 & 63] : '=';
                buf[n++] = '=';
            }
            buf[n++] = '\n';
            out_.append(buf, n);
        }
        indent(level);
        out_ += "</data>\n";
    }

    std::string out_;
};

}  // namespace

std::optional<std::string> writeXmlPropertyList(const Value& value) { return Writer().run(value); }

}  // namespace quillon
