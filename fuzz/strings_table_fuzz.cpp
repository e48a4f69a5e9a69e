// libFuzzer target: the strings-table reader on hostile bytes, checking what it accepts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "plist/strings_table.h"

namespace {

// Well-formed UTF-8, the only text a table may hand out.
bool isValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<std::uint8_t>(s[i]);
        std::size_t len = c < 0x80 ? 1 : c < 0xC2 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF5 ? 4 : 0;
        if (len == 0 || s.size() - i < len) return false;
        std::uint32_t cp = len == 1 ? c : c & (0x7F >> len);
        for (std::size_t k = 1; k < len; ++k) {
            const auto ck = static_cast<std::uint8_t>(s[i + k]);
            if ((ck & 0xC0) != 0x80) return false;
            cp = cp << 6 | (ck & 0x3F);
        }
        const std::uint32_t minimum = len == 1 ? 0 : len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const quillon::DictRef table = quillon::parseStringsTable(bytes);
    if (!table) return 0;
    // Whatever is accepted is a dictionary of valid UTF-8 strings in key order.
    const std::string* previous = nullptr;
    for (const auto& [key, value] : *table) {
        const std::string* text = value.ifString();
        if (!text || !isValidUtf8(key) || !isValidUtf8(*text)) std::abort();
        if (previous && !(*previous < key)) std::abort();
        previous = &key;
    }
    return 0;
}
