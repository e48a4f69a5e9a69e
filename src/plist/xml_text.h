// Pieces shared by the XML property-list reader and writer: the characters XML can carry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon::xml_text {

inline constexpr bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Length of the UTF-8 sequence at p (p < end, *p >= 0x80) when it encodes a character XML 1.0
// can carry, else 0. Refuses overlong forms, surrogates, values above U+10FFFF, U+FFFE and U+FFFF.
inline std::size_t xmlSequenceLength(const unsigned char* p, const unsigned char* end) {
    const unsigned char c = p[0];
    const auto avail = static_cast<std::size_t>(end - p);
    const auto cont = [](unsigned char b) { return (b & 0xC0) == 0x80; };
    if (c >= 0xC2 && c <= 0xDF) return avail >= 2 && cont(p[1]) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (avail < 3 || !cont(p[1]) || !cont(p[2])) return 0;
        if (c == 0xE0 && p[1] < 0xA0) return 0;  // overlong
        if (c == 0xED && p[1] >= 0xA0) return 0;  // surrogate
        if (c == 0xEF && p[1] == 0xBF && (p[2] == 0xBE || p[2] == 0xBF)) return 0;  // U+FFFE, U+FFFF
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (avail < 4 || !cont(p[1]) || !cont(p[2]) || !cont(p[3])) return 0;
        if (c == 0xF0 && p[1] < 0x90) return 0;  // overlong
        if (c == 0xF4 && p[1] >= 0x90) return 0;  // above U+10FFFF
        return 4;
    }
    return 0;
}

// An ASCII byte XML 1.0 can carry: tab, LF, CR, or a printable character (DEL included).
inline constexpr bool isXmlAscii(unsigned char c) { return c >= 0x20 || c == '\t' || c == '\n' || c == '\r'; }

// True when the code point is a character XML 1.0 can carry.
inline constexpr bool isXmlChar(std::uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// True when the bytes are UTF-8 made only of characters XML 1.0 can carry.
inline bool isXmlText(const char* data, std::size_t size) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const auto* end = p + size;
#if !defined(__SSE2__)
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    constexpr std::uint64_t kSpace = 0x2020202020202020ULL;
#endif
    while (p < end) {
#if defined(__SSE2__)
        // Sixteen ASCII bytes at a time, printable or tab, LF, CR: the bulk of any property list.
        if (end - p >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            // Signed compare: bytes from 0x80 up count as below 0x20 too and fall to the slow path.
            const __m128i low = _mm_cmplt_epi8(v, _mm_set1_epi8(0x20));
            const __m128i allowed = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')),
                                                              _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
                                                 _mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
            if (_mm_movemask_epi8(_mm_andnot_si128(allowed, low)) == 0) {
                p += 16;
                continue;
            }
        }
#else
        // Eight plain printable ASCII bytes at a time: no high bit and none below 0x20.
        if (end - p >= 8) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            if (((w | ((w - kSpace) & ~w)) & kHigh) == 0) {
                p += 8;
                continue;
            }
        }
#endif
        const unsigned char c = *p;
        if (c < 0x80) {
            if (!isXmlAscii(c)) return false;
            ++p;
            continue;
        }
        const std::size_t n = xmlSequenceLength(p, end);
        if (n == 0) return false;
        p += n;
    }
    return true;
}

}  // namespace quillon::xml_text
