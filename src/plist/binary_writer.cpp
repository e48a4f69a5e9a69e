// Writes values as binary property lists (version 1.0): flattened depth-first, leaves shared.
#include <algorithm>
#include <cstring>
#include <vector>

#include "plist/binary_format.h"
#include "plist/property_list.h"

namespace quillon {

namespace {

namespace bf = binary_format;

// A 64-bit mix with good avalanche, for hashing words and pointers.
inline std::uint64_t mix(std::uint64_t x) {
    x ^= x >> 32;
    x *= 0xD6E8FEB86659FD93u;
    x ^= x >> 32;
    x *= 0xD6E8FEB86659FD93u;
    x ^= x >> 32;
    return x;
}

std::uint64_t hashBytes(const char* p, std::size_t n) {
    std::uint64_t h = 0x9E3779B97F4A7C15u ^ n;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        h = (h ^ w) * 0x9FB21C651E98DF25u;
        h ^= h >> 29;
    }
    if (i < n) {
        std::uint64_t w = 0;
        std::memcpy(&w, p + i, n - i);
        h = (h ^ w) * 0x9FB21C651E98DF25u;
    }
    return mix(h);
}

// Kinds of written objects. Leaves of different kinds never share an object even when their
// bits agree (integer 1, real 1.0 and true stay apart).
enum class Kind : std::uint8_t { False, True, Int, BigUint, Real, Date, Uid, Data, Ascii, Utf16, Array, Dict };

struct Object {
    Kind kind;
    const char* bytes;  // payload of strings and data
    std::uint64_t num;  // bits of scalars, byte length of strings and data, count of containers
    std::uint64_t aux;  // UTF-16 units of a string, first slot in refs_ of a container
};

// Leaves already written, keyed on kind and exact bits or bytes; values are object numbers.
class LeafTable {
public:
    // The object number stored for the key, or inserts `next` and returns it.
    std::uint64_t findOrInsert(Kind kind, const char* bytes, std::uint64_t num, std::uint64_t next) {
        if (2 * (used_ + 1) > slots_.size()) grow();
        const std::uint64_t h = bytes ? hashBytes(bytes, num) ^ static_cast<std::uint64_t>(kind)
                                      : mix(num * 31 + static_cast<std::uint64_t>(kind) + 1);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = h & mask;; i = (i + 1) & mask) {
            Slot& s = slots_[i];
            if (s.index == kEmpty) {
                s = Slot{h, bytes, num, next, kind};
                ++used_;
                return next;
            }
            if (s.hash == h && s.kind == kind && s.num == num &&
                (!bytes || std::memcmp(s.bytes, bytes, num) == 0))
                return s.index;
        }
    }

private:
    static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};
    struct Slot {
        std::uint64_t hash = 0;
        const char* bytes = nullptr;
        std::uint64_t num = 0;
        std::uint64_t index = kEmpty;
        Kind kind = Kind::False;
    };

    void grow() {
        std::vector<Slot> old(std::max<std::size_t>(256, slots_.size() * 2));
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& s : old) {
            if (s.index == kEmpty) continue;
            std::size_t i = s.hash & mask;
            while (slots_[i].index != kEmpty) i = (i + 1) & mask;
            slots_[i] = s;
        }
    }

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

// The containers on the path from the root, to catch a container that holds itself. The path is
// at most maxPropertyListDepth + 1 long, so a fixed table stays sparse.
class PathSet {
public:
    bool insert(const void* p) {
        if (slots_.empty()) slots_.assign(kSize, nullptr);
        std::size_t i = home(p);
        for (; slots_[i]; i = (i + 1) & kMask)
            if (slots_[i] == p) return false;
        slots_[i] = p;
        return true;
    }
    // Removes p, shifting later members of its probe run back so lookups need no tombstones.
    void erase(const void* p) {
        std::size_t i = home(p);
        while (slots_[i] != p) i = (i + 1) & kMask;
        for (std::size_t j = (i + 1) & kMask; slots_[j]; j = (j + 1) & kMask) {
            const std::size_t k = home(slots_[j]);
            // Move slots_[j] into the hole at i unless its home lies cyclically in (i, j].
            const bool stays = i <= j ? (i < k && k <= j) : (i < k || k <= j);
            if (!stays) {
                slots_[i] = slots_[j];
                i = j;
            }
        }
        slots_[i] = nullptr;
    }

private:
    static constexpr std::size_t kSize = 2048;
    static constexpr std::size_t kMask = kSize - 1;
    static std::size_t home(const void* p) { return mix(reinterpret_cast<std::uintptr_t>(p)) & kMask; }
    std::vector<const void*> slots_;
};

// Validates UTF-8 and counts UTF-16 units; false for malformed, overlong, surrogate or
// out-of-range sequences.
bool utf16Length(const unsigned char* s, std::size_t n, std::uint64_t& units) {
    std::uint64_t count = 0;
    std::size_t i = 0;
    while (i < n) {
        const unsigned c = s[i];
        if (c < 0x80) {
            ++i;
            ++count;
            continue;
        }
        const auto cont = [&](std::size_t k) { return i + k < n && (s[i + k] & 0xC0) == 0x80; };
        if (c >= 0xC2 && c <= 0xDF) {
            if (!cont(1)) return false;
            i += 2;
            ++count;
        } else if (c >= 0xE0 && c <= 0xEF) {
            if (!cont(1) || !cont(2)) return false;
            const unsigned c1 = s[i + 1];
            if (c == 0xE0 && c1 < 0xA0) return false;   // overlong
            if (c == 0xED && c1 >= 0xA0) return false;  // surrogate
            i += 3;
            ++count;
        } else if (c >= 0xF0 && c <= 0xF4) {
            if (!cont(1) || !cont(2) || !cont(3)) return false;
            const unsigned c1 = s[i + 1];
            if (c == 0xF0 && c1 < 0x90) return false;   // overlong
            if (c == 0xF4 && c1 >= 0x90) return false;  // above U+10FFFF
            i += 4;
            count += 2;
        } else {
            return false;
        }
    }
    units = count;
    return true;
}

bool isAscii(const char* s, std::size_t n) {
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

// Encodes validated UTF-8 as big-endian UTF-16 at o; returns the end.
std::uint8_t* putUtf16(std::uint8_t* o, const unsigned char* s, std::size_t n) {
    const auto unit = [&o](std::uint32_t u) {
        *o++ = static_cast<std::uint8_t>(u >> 8);
        *o++ = static_cast<std::uint8_t>(u);
    };
    for (std::size_t i = 0; i < n;) {
        const std::uint32_t c = s[i];
        std::uint32_t cp;
        if (c < 0x80) {
            cp = c;
            i += 1;
        } else if (c < 0xE0) {
            cp = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
            i += 2;
        } else if (c < 0xF0) {
            cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3F);
            i += 3;
        } else {
            cp = ((c & 0x07) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) |
                 (s[i + 3] & 0x3F);
            i += 4;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 | (cp >> 10));
            unit(0xDC00 | (cp & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return o;
}

unsigned integerWidth(std::uint64_t bits) {
    return static_cast<std::int64_t>(bits) < 0 ? 8 : bf::unsignedWidth(bits);
}

// Marker plus, from 15 on, an integer object holding the count.
std::uint64_t countHeaderSize(std::uint64_t count) {
    return count < 15 ? 1 : 2 + bf::unsignedWidth(count);
}

std::uint8_t* putCountHeader(std::uint8_t* o, std::uint8_t marker, std::uint64_t count) {
    if (count < 15) {
        *o++ = static_cast<std::uint8_t>(marker | count);
        return o;
    }
    const unsigned width = bf::unsignedWidth(count);
    *o++ = marker | bf::kLongCount;
    *o++ = static_cast<std::uint8_t>(bf::kInt | (width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3));
    bf::storeBig(o, count, width);
    return o + width;
}

std::uint8_t widthNibble(unsigned width) {
    return static_cast<std::uint8_t>(width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3);
}

class BinaryWriter {
public:
    std::optional<std::string> write(const Value& root) {
        std::uint64_t top = 0;
        if (!flatten(root, 0, top)) return std::nullopt;
        return serialise();
    }

private:
    std::uint64_t leaf(Kind kind, std::uint64_t bits) {
        const std::uint64_t n = leaves_.findOrInsert(kind, nullptr, bits, objects_.size());
        if (n == objects_.size()) objects_.push_back(Object{kind, nullptr, bits, 0});
        return n;
    }

    bool string(const std::string& s, std::uint64_t& index) {
        index = leaves_.findOrInsert(Kind::Ascii, s.data(), s.size(), objects_.size());
        if (index != objects_.size()) return true;
        std::uint64_t units = s.size();
        Kind kind = Kind::Ascii;
        if (!isAscii(s.data(), s.size())) {
            if (!utf16Length(reinterpret_cast<const unsigned char*>(s.data()), s.size(), units))
                return false;
            kind = Kind::Utf16;
        }
        objects_.push_back(Object{kind, s.data(), s.size(), units});
        return true;
    }

    bool flatten(const Value& v, int depth, std::uint64_t& index) {
        if (depth > maxPropertyListDepth) return false;
        switch (v.type()) {
        case Value::Type::Absent: return false;
        case Value::Type::Boolean:
            index = leaf(*v.ifBoolean() ? Kind::True : Kind::False, 0);
            return true;
        case Value::Type::Integer: {
            const Integer i = *v.ifInteger();
            index = leaf(i.isBigUnsigned() ? Kind::BigUint : Kind::Int, i.bits());
            return true;
        }
        case Value::Type::Real: {
            std::uint64_t bits;
            std::memcpy(&bits, v.ifReal(), sizeof bits);
            index = leaf(Kind::Real, bits);
            return true;
        }
        case Value::Type::Date: {
            std::uint64_t bits;
            std::memcpy(&bits, &v.ifDate()->seconds, sizeof bits);
            index = leaf(Kind::Date, bits);
            return true;
        }
        case Value::Type::Uid: index = leaf(Kind::Uid, v.ifUid()->value); return true;
        case Value::Type::String: return string(*v.ifString(), index);
        case Value::Type::Data: {
            const Data& d = *v.ifData();
            const char* bytes = reinterpret_cast<const char*>(d.data());
            // A non-null pointer even for empty data keeps the table from hashing it as a scalar.
            if (!bytes) bytes = "";
            index = leaves_.findOrInsert(Kind::Data, bytes, d.size(), objects_.size());
            if (index == objects_.size()) objects_.push_back(Object{Kind::Data, bytes, d.size(), 0});
            return true;
        }
        case Value::Type::Array: return array(*v.arrayPtr(), depth, index);
        case Value::Type::Dictionary: return dictionary(*v.dictionaryPtr(), depth, index);
        }
        return false;
    }

    bool array(const Array& a, int depth, std::uint64_t& index) {
        if (!path_.insert(&a)) return false;
        index = objects_.size();
        const std::uint64_t first = refs_.size();
        objects_.push_back(Object{Kind::Array, nullptr, a.size(), first});
        refs_.resize(first + a.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
            std::uint64_t child = 0;
            if (!flatten(a.items()[i], depth + 1, child)) return false;
            refs_[first + i] = child;
        }
        path_.erase(&a);
        return true;
    }

    // Keys first, all of them in order, then the values depth-first.
    bool dictionary(const Dictionary& d, int depth, std::uint64_t& index) {
        if (!path_.insert(&d)) return false;
        index = objects_.size();
        const std::uint64_t first = refs_.size();
        const std::size_t n = d.size();
        objects_.push_back(Object{Kind::Dict, nullptr, n, first});
        refs_.resize(first + 2 * n);
        const auto& entries = d.entries();
        for (std::size_t i = 0; i < n; ++i) {
            std::uint64_t key = 0;
            if (!string(entries[i].first, key)) return false;
            refs_[first + i] = key;
        }
        for (std::size_t i = 0; i < n; ++i) {
            std::uint64_t value = 0;
            if (!flatten(entries[i].second, depth + 1, value)) return false;
            refs_[first + n + i] = value;
        }
        path_.erase(&d);
        return true;
    }

    std::uint64_t objectSize(const Object& o, unsigned refSize) const {
        switch (o.kind) {
        case Kind::False:
        case Kind::True: return 1;
        case Kind::Int: return 1 + integerWidth(o.num);
        case Kind::BigUint: return 17;
        case Kind::Real:
        case Kind::Date: return 9;
        case Kind::Uid: return 1 + bf::unsignedWidth(o.num);
        case Kind::Data:
        case Kind::Ascii: return countHeaderSize(o.num) + o.num;
        case Kind::Utf16: return countHeaderSize(o.aux) + 2 * o.aux;
        case Kind::Array: return countHeaderSize(o.num) + o.num * refSize;
        case Kind::Dict: return countHeaderSize(o.num) + 2 * o.num * refSize;
        }
        return 0;
    }

    std::uint8_t* putObject(std::uint8_t* p, const Object& o, unsigned refSize) const {
        switch (o.kind) {
        case Kind::False: *p++ = bf::kFalse; return p;
        case Kind::True: *p++ = bf::kTrue; return p;
        case Kind::Int: {
            const unsigned width = integerWidth(o.num);
            *p++ = bf::kInt | widthNibble(width);
            bf::storeBig(p, o.num, width);
            return p + width;
        }
        case Kind::BigUint:
            *p++ = bf::kInt | 4;
            bf::storeBig(p, 0, 8);
            bf::storeBig(p + 8, o.num, 8);
            return p + 16;
        case Kind::Real:
        case Kind::Date:
            *p++ = o.kind == Kind::Real ? bf::kReal64 : bf::kDate;
            bf::storeBig(p, o.num, 8);
            return p + 8;
        case Kind::Uid: {
            const unsigned width = bf::unsignedWidth(o.num);
            *p++ = static_cast<std::uint8_t>(bf::kUid | (width - 1));
            bf::storeBig(p, o.num, width);
            return p + width;
        }
        case Kind::Data:
        case Kind::Ascii:
            p = putCountHeader(p, o.kind == Kind::Data ? bf::kData : bf::kAscii, o.num);
            if (o.num) std::memcpy(p, o.bytes, o.num);
            return p + o.num;
        case Kind::Utf16:
            p = putCountHeader(p, bf::kUtf16, o.aux);
            return putUtf16(p, reinterpret_cast<const unsigned char*>(o.bytes), o.num);
        case Kind::Array:
        case Kind::Dict: {
            p = putCountHeader(p, o.kind == Kind::Array ? bf::kArray : bf::kDict, o.num);
            const std::uint64_t n = o.kind == Kind::Array ? o.num : 2 * o.num;
            return putRefs(p, refs_.data() + o.aux, n, refSize);
        }
        }
        return p;
    }

    static std::uint8_t* putRefs(std::uint8_t* p, const std::uint64_t* refs, std::uint64_t n, unsigned width) {
        switch (width) {
        case 1:
            for (std::uint64_t i = 0; i < n; ++i) *p++ = static_cast<std::uint8_t>(refs[i]);
            return p;
        case 2:
            for (std::uint64_t i = 0; i < n; ++i, p += 2) bf::storeBig(p, refs[i], 2);
            return p;
        case 4:
            for (std::uint64_t i = 0; i < n; ++i, p += 4) bf::storeBig(p, refs[i], 4);
            return p;
        default:
            for (std::uint64_t i = 0; i < n; ++i, p += 8) bf::storeBig(p, refs[i], 8);
            return p;
        }
    }

    std::string serialise() const {
        const std::uint64_t count = objects_.size();
        const unsigned refSize = bf::unsignedWidth(count - 1);
        // Sizes first, so the output is allocated once and every offset is known up front.
        std::uint64_t tableOffset = bf::kHeaderSize;
        std::uint64_t lastOffset = 0;
        for (const Object& o : objects_) {
            lastOffset = tableOffset;
            tableOffset += objectSize(o, refSize);
        }
        const unsigned offsetSize = bf::unsignedWidth(lastOffset);
        std::string out(tableOffset + count * offsetSize + bf::kTrailerSize, '\0');
        auto* base = reinterpret_cast<std::uint8_t*>(out.data());
        std::memcpy(base, bf::kMagic.data(), bf::kHeaderSize);
        std::uint8_t* p = base + bf::kHeaderSize;
        std::uint8_t* table = base + tableOffset;
        for (const Object& o : objects_) {
            bf::storeBig(table, static_cast<std::uint64_t>(p - base), offsetSize);
            table += offsetSize;
            p = putObject(p, o, refSize);
        }
        // Trailer: five unused bytes and the sort version stay zero; the root is object 0.
        std::uint8_t* t = table;
        t[6] = static_cast<std::uint8_t>(offsetSize);
        t[7] = static_cast<std::uint8_t>(refSize);
        bf::storeBig(t + 8, count, 8);
        bf::storeBig(t + 16, 0, 8);
        bf::storeBig(t + 24, tableOffset, 8);
        return out;
    }

    std::vector<Object> objects_;
    std::vector<std::uint64_t> refs_;  // children of containers, by object number
    LeafTable leaves_;
    PathSet path_;
};

}  // namespace

std::optional<std::string> writeBinaryPropertyList(const Value& value) {
    return BinaryWriter().write(value);
}

}  // namespace quillon
