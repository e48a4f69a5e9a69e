// Layout of binary property lists (version 1.0): markers, sizes and big-endian field access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quillon::binary_format {

inline constexpr std::string_view kMagic = "bplist00";
inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::size_t kTrailerSize = 32;

// Object markers; the low nibble of a sized marker holds the count, 0xF meaning "an integer
// object with the count follows".
inline constexpr std::uint8_t kNull = 0x00;
inline constexpr std::uint8_t kFalse = 0x08;
inline constexpr std::uint8_t kTrue = 0x09;
inline constexpr std::uint8_t kFill = 0x0F;
inline constexpr std::uint8_t kInt = 0x10;
inline constexpr std::uint8_t kReal = 0x20;
inline constexpr std::uint8_t kReal32 = 0x22;
inline constexpr std::uint8_t kReal64 = 0x23;
inline constexpr std::uint8_t kDate = 0x33;
inline constexpr std::uint8_t kData = 0x40;
inline constexpr std::uint8_t kAscii = 0x50;
inline constexpr std::uint8_t kUtf16 = 0x60;
inline constexpr std::uint8_t kUid = 0x80;
inline constexpr std::uint8_t kArray = 0xA0;
inline constexpr std::uint8_t kSet = 0xC0;
inline constexpr std::uint8_t kDict = 0xD0;
inline constexpr std::uint8_t kLongCount = 0x0F;

inline std::uint16_t byteSwap(std::uint16_t v) { return __builtin_bswap16(v); }
inline std::uint32_t byteSwap(std::uint32_t v) { return __builtin_bswap32(v); }
inline std::uint64_t byteSwap(std::uint64_t v) { return __builtin_bswap64(v); }

template <typename T>
inline T loadBig(const std::uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return byteSwap(v);
}

// An unsigned big-endian field of 1 to 8 bytes.
inline std::uint64_t loadBig(const std::uint8_t* p, unsigned width) {
    switch (width) {
    case 1: return p[0];
    case 2: return loadBig<std::uint16_t>(p);
    case 4: return loadBig<std::uint32_t>(p);
    case 8: return loadBig<std::uint64_t>(p);
    default: {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < width; ++i) v = (v << 8) | p[i];
        return v;
    }
    }
}

// Stores the low `width` (1, 2, 4 or 8) bytes of v big-endian.
inline void storeBig(std::uint8_t* p, std::uint64_t v, unsigned width) {
    switch (width) {
    case 1: p[0] = static_cast<std::uint8_t>(v); return;
    case 2: {
        const std::uint16_t b = byteSwap(static_cast<std::uint16_t>(v));
        std::memcpy(p, &b, 2);
        return;
    }
    case 4: {
        const std::uint32_t b = byteSwap(static_cast<std::uint32_t>(v));
        std::memcpy(p, &b, 4);
        return;
    }
    default: {
        const std::uint64_t b = byteSwap(v);
        std::memcpy(p, &b, 8);
        return;
    }
    }
}

// The smallest of 1, 2, 4 and 8 bytes that holds v unsigned.
inline unsigned unsignedWidth(std::uint64_t v) {
    if (v <= 0xFF) return 1;
    if (v <= 0xFFFF) return 2;
    if (v <= 0xFFFFFFFF) return 4;
    return 8;
}

// True when every byte is below 0x80, the test for the format's one-byte strings.
inline bool isAscii(const char* s, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, s + i, 8);
        if (w & 0x8080808080808080u) return false;
    }
    for (; i < n; ++i)
        if (static_cast<unsigned char>(s[i]) & 0x80) return false;
    return true;
}

}  // namespace quillon::binary_format
