// Why a property-list writer refuses a value, in words for a user.
#include "write_refusal.h"

#include <optional>
#include <string_view>

namespace quillon {

namespace {

bool isValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto lead = static_cast<unsigned char>(s[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t cp = 0;
        if ((lead & 0xe0) == 0xc0) {
            length = 2;
            cp = lead & 0x1fu;
        } else if ((lead & 0xf0) == 0xe0) {
            length = 3;
            cp = lead & 0x0fu;
        } else if ((lead & 0xf8) == 0xf0) {
            length = 4;
            cp = lead & 0x07u;
        } else {
            return false;
        }
        if (s.size() - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto cont = static_cast<unsigned char>(s[i + k]);
            if ((cont & 0xc0) != 0x80) return false;
            cp = (cp << 6) | (cont & 0x3fu);
        }
        static constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < smallest[length] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return false;
        i += length;
    }
    return true;
}

bool hasControlCharacterXmlRefuses(std::string_view s) {
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && c != '\t' && c != '\n' && c != '\r') return true;
    }
    return false;
}

// what names the text in the message: "text" or "a key".
std::optional<std::string> textProblem(std::string_view s, PropertyListFormat format,
                                       const char* what) {
    if (!isValidUtf8(s)) return "the value holds " + std::string(what) + " that is not valid UTF-8";
    if (format == PropertyListFormat::Xml && hasControlCharacterXmlRefuses(s))
        return "the value holds " + std::string(what) +
               " with a control character, which XML cannot carry";
    return std::nullopt;
}

// level counts containers from the outermost, which is level 1, as the writers count them.
std::optional<std::string> findProblem(const Value& value, PropertyListFormat format, int level) {
    const bool container =
        value.type() == Value::Type::Array || value.type() == Value::Type::Dictionary;
    if (container && level > maxPropertyListDepth)
        return "the value nests deeper than " + std::to_string(maxPropertyListDepth) + " levels";
    switch (value.type()) {
        case Value::Type::Uid:
            if (format == PropertyListFormat::Xml)
                return std::string("the value holds a UID, which only binary1 can store");
            return std::nullopt;
        case Value::Type::String: return textProblem(*value.ifString(), format, "text");
        case Value::Type::Array:
            for (const Value& item : *value.arrayPtr()) {
                if (item.isAbsent()) return std::string("the value holds an array with a missing element");
                if (auto problem = findProblem(item, format, level + 1)) return problem;
            }
            return std::nullopt;
        case Value::Type::Dictionary:
            for (const auto& [key, item] : *value.dictionaryPtr()) {
                if (auto problem = textProblem(key, format, "a key")) return problem;
                if (auto problem = findProblem(item, format, level + 1)) return problem;
            }
            return std::nullopt;
        default: return std::nullopt;
    }
}

}  // namespace

std::string whyWriterRefuses(const Value& value, PropertyListFormat format) {
    if (auto problem = findProblem(value, format, 1)) return *problem;
    return "the writer refused the value";
}

}  // namespace quillon
