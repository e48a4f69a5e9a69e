// Writes values as binary property lists (version 1.0): flattened depth-first, leaves shared.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <span>
#include <string_view>
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

inline std::uint64_t load64(const char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline std::uint32_t load32(const char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Kinds of written objects. Leaves of different kinds never share an object even when their
// bits agree (integer 1, real 1.0 and true stay apart).
enum class Kind { False, True, Int, BigUint, Real, Date, Uid, Data, Ascii, Utf16, Array, Dict };

struct Object {
    Kind kind;
    const char* bytes;  // payload of strings and data
    std::uint64_t num;  // bits of scalars, byte length of strings and data, count of containers
    std::uint64_t aux;  // UTF-16 units of a string, first slot in refs_ of a container
};

// Leaves already written, keyed on kind and exact bits or bytes. A slot holds 32 bits of the
// hash and the object number, and the object itself is compared, which keeps the table small
// enough to stay in cache.
class LeafTable {
public:
    static constexpr std::uint32_t kNone = ~std::uint32_t{0};

    // The object number of an equal leaf, or kNone after noting that `next` will be it.
    // Strings are looked up under Kind::Ascii whichever way they are written.
    std::uint32_t findOrInsert(const std::vector<Object>& objects, Kind kind, const char* bytes,
                               std::uint64_t num, std::uint32_t next) {
        // Grown at three quarters full: with the tags, probe runs stay short there, and a table
        // half the size stays in a nearer cache once a file has many distinct leaves.
        if (4 * (used_ + 1) > 3 * slots_.size()) grow();
        const auto tag = static_cast<std::uint32_t>(hash(kind, bytes, num) >> 32);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = tag & mask;; i = (i + 1) & mask) {
            Slot& s = slots_[i];
            if (s.index == kNone) {
                s = Slot{tag, next};
                ++used_;
                return kNone;
            }
            if (s.tag != tag) continue;
            const Object& o = objects[s.index];
            const Kind k = o.kind == Kind::Utf16 ? Kind::Ascii : o.kind;
            if (k == kind && o.num == num && (!bytes || std::memcmp(o.bytes, bytes, num) == 0))
                return s.index;
        }
    }

    // Empties the table for the next write; a table much larger than this write needed is
    // released rather than cleared.
    void reset() {
        if (used_ == 0) return;
        if (slots_.size() > 8 * std::max<std::size_t>(1024, 2 * used_))
            std::vector<Slot>().swap(slots_);
        else
            std::fill(slots_.begin(), slots_.end(), Slot{});
        used_ = 0;
    }

private:
    struct Slot {
        std::uint32_t tag = 0;
        std::uint32_t index = kNone;
    };

    static std::uint64_t hash(Kind kind, const char* bytes, std::uint64_t num) {
        return bytes ? mix(std::hash<std::string_view>()(std::string_view(bytes, num)) +
                           static_cast<std::uint64_t>(kind))
                     : mix(num ^ (static_cast<std::uint64_t>(kind) << 56));
    }

    void grow() {
        std::vector<Slot> old(std::max<std::size_t>(1024, slots_.size() * 2));
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& s : old) {
            if (s.index == kNone) continue;
            std::size_t i = s.tag & mask;
            while (slots_[i].index != kNone)
                i = (i + 1) & mask;
            slots_[i] = s;
        }
    }

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

// Exact short forms of leaves for RecentLeaves: a string of at most 16 bytes is its length and
// two words that, given the length, hold every byte; a scalar is its bits.
struct ShortLeaf {
    std::uint64_t a;
    std::uint64_t b;
    std::uint32_t meta;  // kind and length; never 0
};

inline ShortLeaf shortScalar(Kind kind, std::uint64_t bits) {
    return ShortLeaf{bits, 0, (static_cast<std::uint32_t>(kind) + 1) << 8};
}

// Only for n <= 16.
inline ShortLeaf shortString(const char* p, std::size_t n) {
    std::uint64_t a, b = 0;
    if (n >= 8) {
        a = load64(p);
        b = load64(p + n - 8);
    } else if (n >= 4) {
        a = load32(p) | static_cast<std::uint64_t>(load32(p + n - 4)) << 32;
    } else {
        a = n ? static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[n / 2]) << 8 |
                    static_cast<std::uint64_t>(static_cast<unsigned char>(p[n - 1])) << 16
              : 0;
    }
    return ShortLeaf{
        a, b, (static_cast<std::uint32_t>(Kind::Ascii) + 1) << 8 | static_cast<std::uint32_t>(n)};
}

// A small direct-mapped memory of leaves met recently, in front of LeafTable. Keys, small
// integers and flags repeat in nearly every container; this answers them from a table that
// stays in the nearest cache, without hashing whole strings or reading the objects back.
// Entries of earlier writes are told apart by a generation, so a write starts without clearing.
class RecentLeaves {
public:
    static constexpr std::uint32_t kNone = LeafTable::kNone;

    std::uint32_t find(const ShortLeaf& k) const {
        const Entry& e = entries_[home(k)];
        return e.generation == generation_ && e.meta == k.meta && e.a == k.a && e.b == k.b ? e.index
                                                                                           : kNone;
    }
    void remember(const ShortLeaf& k, std::uint32_t index) {
        entries_[home(k)] = Entry{k.a, k.b, k.meta, index, generation_};
    }
    // Forgets every entry, for the next write.
    void reset() {
        if (++generation_ == 0) {
            entries_.fill(Entry{});
            generation_ = 1;
        }
    }

private:
    struct Entry {
        std::uint64_t a = 0;
        std::uint64_t b = 0;
        std::uint32_t meta = 0;
        std::uint32_t index = 0;
        std::uint32_t generation = 0;
    };
    static constexpr unsigned kBits = 10;
    static std::size_t home(const ShortLeaf& k) {
        // Multiply-shift: the top bits of each product depend on every bit of its word.
        const std::uint64_t h =
            ((k.a ^ k.meta) * 0x9E3779B97F4A7C15u) ^ (k.b * 0xD6E8FEB86659FD93u);
        return static_cast<std::size_t>(h >> (64 - kBits));
    }
    std::array<Entry, std::size_t{1} << kBits> entries_{};
    std::uint32_t generation_ = 1;
};

// The containers on the path from the root from kTrackedDepth down, to catch one that holds
// itself: such a container repeats on the path without end, so also within the kept part.
// Shallow trees, nearly all that are written, pay nothing for the check.
constexpr int kTrackedDepth = 8;
class PathSet {
public:
    bool insert(const void* p) {
        if (std::find(path_.begin(), path_.end(), p) != path_.end()) return false;
        path_.push_back(p);
        return true;
    }
    void erase() { path_.pop_back(); }
    // Forgets what a failed write left on the path.
    void clear() { path_.clear(); }

private:
    std::vector<const void*> path_;
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

// The flattening is bound by memory latency: every container and long string is a separate
// allocation. While one element is flattened, the memory of later ones is asked for in two
// stages, the second relying on the first having arrived: the objects of containers (and the
// bytes of long strings and data) kObjectsAhead elements on, the first element lines of
// containers kElementsAhead on (distances found by measuring the preferences benchmark).
constexpr std::size_t kObjectsAhead = 16;
constexpr std::size_t kElementsAhead = 8;

inline void prefetchValue(const Value& v) {
    switch (v.type()) {
        case Value::Type::Dictionary:
            __builtin_prefetch(v.dictionaryPtr());
            return;
        case Value::Type::Array:
            __builtin_prefetch(v.arrayPtr());
            return;
        case Value::Type::String: {
            const std::string& s = *v.ifString();
            if (s.size() > 15)
                __builtin_prefetch(s.data());  // beyond what fits in the string itself
            return;
        }
        case Value::Type::Data:
            __builtin_prefetch(v.ifData()->data());
            return;
        default:
            return;
    }
}

template <typename T>
inline void prefetchLines(std::span<const T> items) {
    const char* p = reinterpret_cast<const char*>(items.data());
    const std::size_t bytes = std::min<std::size_t>(items.size() * sizeof(T), 640);
    for (std::size_t o = 0; o < bytes; o += 64)
        __builtin_prefetch(p + o);
}

inline void prefetchElements(const Value& v) {
    if (v.type() == Value::Type::Dictionary)
        prefetchLines(v.dictionaryPtr()->entries());
    else if (v.type() == Value::Type::Array)
        prefetchLines(std::span<const Value>(v.arrayPtr()->items()));
}

// Most strings are short: copied as overlapping words rather than through a library call.
inline void copyBytes(std::uint8_t* to, const char* from, std::size_t n) {
    if (n >= 8 && n <= 16) {
        const std::uint64_t a = load64(from), b = load64(from + n - 8);
        std::memcpy(to, &a, 8);
        std::memcpy(to + n - 8, &b, 8);
    } else if (n >= 4 && n < 8) {
        const std::uint32_t a = load32(from), b = load32(from + n - 4);
        std::memcpy(to, &a, 4);
        std::memcpy(to + n - 4, &b, 4);
    } else if (n) {
        std::memcpy(to, from, n);
    }
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
    *o++ = static_cast<std::uint8_t>(bf::kInt | (width == 1   ? 0
                                                 : width == 2 ? 1
                                                 : width == 4 ? 2
                                                              : 3));
    bf::storeBig(o, count, width);
    return o + width;
}

std::uint8_t widthNibble(unsigned width) {
    return static_cast<std::uint8_t>(width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3);
}

// A sink takes the file in pieces of this size, so that a large file is never held whole in
// memory beside its tree.
constexpr std::size_t kPieceSize = std::size_t{1} << 20;

// Where the objects are laid out: straight into the whole file, or into a piece that is handed
// to a sink whenever the next object does not fit.
struct Layout {
    std::string& buffer;
    ByteSink* sink = nullptr;
    std::uint8_t* at = reinterpret_cast<std::uint8_t*>(buffer.data());

    std::uint8_t* base() { return reinterpret_cast<std::uint8_t*>(buffer.data()); }
    // Room for n more bytes at `at`: the piece is handed over, and grown for an object larger
    // than it.
    bool reserve(std::size_t n) {
        if (static_cast<std::size_t>(base() + buffer.size() - at) >= n) return true;
        if (!flush()) return false;
        if (n > buffer.size()) {
            buffer.resize(n);
            at = base();
        }
        return true;
    }
    bool flush() {
        const auto n = static_cast<std::size_t>(at - base());
        at = base();
        return n == 0 || sink->write(std::string_view(buffer.data(), n));
    }
};

// Numbers a tree's objects depth-first, then lays them out. One writer is kept per thread: its
// working memory, fresh for each write, would cost more in page faults than the numbering.
class BinaryWriter {
public:
    // Numbers root's objects; false when root is not a property list.
    bool number(const Value& root) {
        std::uint32_t top = 0;
        return flatten(root, 0, top);
    }

    std::optional<std::string> serialise() {
        std::string out(fileSize(), '\0');
        Layout layout{out};
        lay(layout);
        return out;
    }

    bool serialise(ByteSink& sink) {
        piece_.resize(std::max(piece_.size(), kPieceSize));
        Layout layout{piece_, &sink};
        return lay(layout);
    }

    // Readies the writer for the next write, however this one ended.
    void reset(bool failed) {
        // Keep what is in proportion to this write; let go of what an earlier, larger one left.
        const auto trim = [](auto& v, std::size_t used) {
            if (v.capacity() > 4 * used + 65536) std::remove_reference_t<decltype(v)>().swap(v);
            v.clear();
        };
        trim(objects_, objects_.size());
        if (refs_.size() > 4 * refsUsed_ + 65536) std::vector<std::uint32_t>().swap(refs_);
        trim(table_, table_.size());
        if (piece_.capacity() > 2 * kPieceSize) std::string().swap(piece_);
        refsUsed_ = 0;
        unreferencedBytes_ = 0;
        leaves_.reset();
        recent_.reset();
        if (failed) path_.clear();
    }

private:
    // Appends an object, counting the bytes it takes apart from references, whose width is only
    // known at the end.
    void add(const Object& o) {
        objects_.push_back(o);
        unreferencedBytes_ += objectSize(o, 0);
    }

    // The position of n reference slots, taken after those in use; the caller fills them.
    std::uint64_t takeRefs(std::size_t n) {
        const std::size_t first = refsUsed_;
        if (refs_.size() - first < n) refs_.resize(std::max(first + n, 2 * refs_.size()));
        refsUsed_ = first + n;
        return first;
    }

    // The next object number; false once numbers would no longer fit in 32 bits.
    bool nextNumber(std::uint32_t& n) const {
        if (objects_.size() >= LeafTable::kNone) return false;
        n = static_cast<std::uint32_t>(objects_.size());
        return true;
    }

    bool leaf(Kind kind, std::uint64_t bits, std::uint32_t& index) {
        const ShortLeaf key = shortScalar(kind, bits);
        index = recent_.find(key);
        if (index != RecentLeaves::kNone) return true;
        std::uint32_t next = 0;
        if (!nextNumber(next)) return false;
        index = leaves_.findOrInsert(objects_, kind, nullptr, bits, next);
        if (index == LeafTable::kNone) {
            add(Object{kind, nullptr, bits, 0});
            index = next;
        }
        recent_.remember(key, index);
        return true;
    }

    bool string(const std::string& s, std::uint32_t& index) {
        if (s.size() > 16) return newBytes(Kind::Ascii, s.data(), s.size(), index);
        const ShortLeaf key = shortString(s.data(), s.size());
        index = recent_.find(key);
        if (index != RecentLeaves::kNone) return true;
        if (!newBytes(Kind::Ascii, s.data(), s.size(), index)) return false;
        recent_.remember(key, index);
        return true;
    }

    // A string (looked up as Kind::Ascii, written as UTF-16 unless ASCII) or data.
    bool newBytes(Kind kind, const char* bytes, std::size_t n, std::uint32_t& index) {
        std::uint32_t next = 0;
        if (!nextNumber(next)) return false;
        index = leaves_.findOrInsert(objects_, kind, bytes, n, next);
        if (index != LeafTable::kNone) return true;
        index = next;
        std::uint64_t units = n;
        if (kind == Kind::Ascii && !bf::isAscii(bytes, n)) {
            if (!utf16Length(reinterpret_cast<const unsigned char*>(bytes), n, units)) return false;
            kind = Kind::Utf16;
        }
        add(Object{kind, bytes, n, units});
        return true;
    }

    // The stages of prefetching while element i of n is flattened; child(j) is element j.
    template <typename Child>
    void prefetchAhead(std::size_t i, std::size_t n, Child child) const {
        if (i + kObjectsAhead < n) prefetchValue(child(i + kObjectsAhead));
        if (i + kElementsAhead < n) prefetchElements(child(i + kElementsAhead));
    }

    // depth is the number of containers around v.
    bool flatten(const Value& v, int depth, std::uint32_t& index) {
        switch (v.type()) {
            case Value::Type::Array:
                return array(*v.arrayPtr(), depth, index);
            case Value::Type::Dictionary:
                return dictionary(*v.dictionaryPtr(), depth, index);
            default:
                return leafValue(v, index);
        }
    }

    // Anything but a container.
    bool leafValue(const Value& v, std::uint32_t& index) {
        switch (v.type()) {
            case Value::Type::Boolean:
                return leaf(*v.ifBoolean() ? Kind::True : Kind::False, 0, index);
            case Value::Type::Integer: {
                const Integer i = *v.ifInteger();
                return leaf(i.isBigUnsigned() ? Kind::BigUint : Kind::Int, i.bits(), index);
            }
            case Value::Type::Real:
                return leaf(Kind::Real, std::bit_cast<std::uint64_t>(*v.ifReal()), index);
            case Value::Type::Date:
                return leaf(Kind::Date, std::bit_cast<std::uint64_t>(v.ifDate()->seconds), index);
            case Value::Type::Uid:
                return leaf(Kind::Uid, v.ifUid()->value, index);
            case Value::Type::String:
                return string(*v.ifString(), index);
            case Value::Type::Data: {
                // A non-null pointer even for empty data keeps the table from taking it as a
                // scalar.
                const Data& d = *v.ifData();
                return newBytes(Kind::Data,
                                d.empty() ? "" : reinterpret_cast<const char*>(d.data()), d.size(),
                                index);
            }
            default:
                return false;  // absent
        }
    }

    bool array(const Array& a, int depth, std::uint32_t& index) {
        if (depth >= maxPropertyListDepth) return false;  // it would nest one level too deep
        std::uint32_t next = 0;
        const bool tracked = depth >= kTrackedDepth;
        if (!nextNumber(next) || (tracked && !path_.insert(&a))) return false;
        index = next;
        const std::size_t n = a.size();
        const std::uint64_t first = takeRefs(n);
        add(Object{Kind::Array, nullptr, n, first});
        const auto& items = a.items();
        for (std::size_t i = 0; i < n && i < kObjectsAhead; ++i)
            prefetchValue(items[i]);
        for (std::size_t i = 0; i < n && i < kElementsAhead; ++i)
            prefetchElements(items[i]);
        const auto itemAt = [&items](std::size_t j) -> const Value& { return items[j]; };
        for (std::size_t i = 0; i < n; ++i) {
            prefetchAhead(i, n, itemAt);
            std::uint32_t child = 0;
            if (!flatten(items[i], depth + 1, child)) return false;
            refs_[first + i] = child;
        }
        if (tracked) path_.erase();
        return true;
    }

    // Keys first, all of them in order, then the values depth-first.
    bool dictionary(const Dictionary& d, int depth, std::uint32_t& index) {
        if (depth >= maxPropertyListDepth) return false;
        std::uint32_t next = 0;
        const bool tracked = depth >= kTrackedDepth;
        if (!nextNumber(next) || (tracked && !path_.insert(&d))) return false;
        index = next;
        const std::size_t n = d.size();
        const std::uint64_t first = takeRefs(2 * n);
        add(Object{Kind::Dict, nullptr, n, first});
        const auto& entries = d.entries();
        for (std::size_t i = 0; i < n; ++i) {
            if (i < kObjectsAhead) prefetchValue(entries[i].second);
            std::uint32_t key = 0;
            if (!string(entries[i].first, key)) return false;
            refs_[first + i] = key;
        }
        for (std::size_t i = 0; i < n && i < kElementsAhead; ++i)
            prefetchElements(entries[i].second);
        const auto valueAt = [&entries](std::size_t j) -> const Value& {
            return entries[j].second;
        };
        for (std::size_t i = 0; i < n; ++i) {
            prefetchAhead(i, n, valueAt);
            std::uint32_t value = 0;
            if (!flatten(entries[i].second, depth + 1, value)) return false;
            refs_[first + n + i] = value;
        }
        if (tracked) path_.erase();
        return true;
    }

    std::uint64_t objectSize(const Object& o, unsigned refSize) const {
        switch (o.kind) {
            case Kind::False:
            case Kind::True:
                return 1;
            case Kind::Int:
                return 1 + integerWidth(o.num);
            case Kind::BigUint:
                return 17;
            case Kind::Real:
            case Kind::Date:
                return 9;
            case Kind::Uid:
                return 1 + bf::unsignedWidth(o.num);
            case Kind::Data:
            case Kind::Ascii:
                return countHeaderSize(o.num) + o.num;
            case Kind::Utf16:
                return countHeaderSize(o.aux) + 2 * o.aux;
            case Kind::Array:
                return countHeaderSize(o.num) + o.num * refSize;
            case Kind::Dict:
                return countHeaderSize(o.num) + 2 * o.num * refSize;
        }
        return 0;
    }

    std::uint8_t* putObject(std::uint8_t* p, const Object& o, unsigned refSize) const {
        switch (o.kind) {
            case Kind::False:
                *p++ = bf::kFalse;
                return p;
            case Kind::True:
                *p++ = bf::kTrue;
                return p;
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
                copyBytes(p, o.bytes, o.num);
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

    static std::uint8_t* putRefs(std::uint8_t* p, const std::uint32_t* refs, std::uint64_t n,
                                 unsigned width) {
        for (std::uint64_t i = 0; i < n; ++i, p += width)
            bf::storeBig(p, refs[i], width);
        return p;
    }

    unsigned refSize() const { return bf::unsignedWidth(objects_.size() - 1); }
    std::uint64_t tableOffset() const {
        return bf::kHeaderSize + unreferencedBytes_ + refsUsed_ * refSize();
    }
    unsigned offsetSize() const {
        return bf::unsignedWidth(tableOffset() - objectSize(objects_.back(), refSize()));
    }
    std::uint64_t fileSize() const {
        return tableOffset() + objects_.size() * offsetSize() + bf::kTrailerSize;
    }

    // Header, objects, offset table and trailer. Laid out whole, the table goes straight to its
    // place; for a sink, it is kept aside and handed over after the objects.
    bool lay(Layout& out) {
        const unsigned refWidth = refSize(), offsetWidth = offsetSize();
        const std::uint64_t count = objects_.size(), tableStart = tableOffset();
        const std::size_t tableSize = count * offsetWidth + bf::kTrailerSize;
        std::uint8_t* table = out.at + tableStart;
        if (out.sink) {
            table_.assign(tableSize, '\0');
            table = reinterpret_cast<std::uint8_t*>(table_.data());
        }
        std::uint8_t* const trailer = table + count * offsetWidth;
        std::memcpy(out.at, bf::kMagic.data(), bf::kHeaderSize);
        out.at += bf::kHeaderSize;
        std::uint64_t offset = bf::kHeaderSize;
        for (const Object& o : objects_) {
            if (out.sink && !out.reserve(objectSize(o, refWidth))) return false;
            bf::storeBig(table, offset, offsetWidth);
            table += offsetWidth;
            std::uint8_t* end = putObject(out.at, o, refWidth);
            offset += static_cast<std::uint64_t>(end - out.at);
            out.at = end;
        }
        // Trailer: five unused bytes and the sort version stay zero; the root is object 0.
        trailer[6] = static_cast<std::uint8_t>(offsetWidth);
        trailer[7] = static_cast<std::uint8_t>(refWidth);
        bf::storeBig(trailer + 8, count, 8);
        bf::storeBig(trailer + 24, tableStart, 8);
        if (!out.sink) return true;
        if (!out.flush()) return false;
        const std::string_view rest(table_);
        for (std::size_t i = 0; i < rest.size(); i += kPieceSize)
            if (!out.sink->write(rest.substr(i, kPieceSize))) return false;
        return true;
    }

    std::vector<Object> objects_;
    // Children of containers, by object number. Only the first refsUsed_ are this write's; the
    // rest is room kept from earlier writes, so that taking it costs no clearing.
    std::vector<std::uint32_t> refs_;
    std::size_t refsUsed_ = 0;
    std::uint64_t unreferencedBytes_ = 0;
    LeafTable leaves_;
    RecentLeaves recent_;
    PathSet path_;
    // The piece being laid out for a sink, and the offset table that follows the objects.
    std::string piece_;
    std::string table_;
};

// Numbers value's objects, then lays them out with serialise; nothing reaches a sink unless
// value is a property list.
template <typename Serialise>
auto writeBinary(const Value& value, Serialise serialise) {
    thread_local BinaryWriter writer;
    // Reset however the write ends, a thrown bad_alloc or what a sink throws included, so no
    // stale object numbers or path entries reach the next write.
    struct Reset {
        BinaryWriter& writer;
        bool failed = true;
        ~Reset() { writer.reset(failed); }
    } reset{writer};
    const bool numbered = writer.number(value);
    reset.failed = !numbered;
    return serialise(writer, numbered);
}

}  // namespace

std::optional<std::string> writeBinaryPropertyList(const Value& value) {
    return writeBinary(value, [](BinaryWriter& w, bool numbered) {
        return numbered ? w.serialise() : std::nullopt;
    });
}

bool writeBinaryPropertyList(const Value& value, ByteSink& sink) {
    return writeBinary(
        value, [&sink](BinaryWriter& w, bool numbered) { return numbered && w.serialise(sink); });
}

}  // namespace quillon
