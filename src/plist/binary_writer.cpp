// Writes values as binary property lists (version 1.0): flattened depth-first, leaves shared.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "plist/binary_format.h"
#include "plist/binary_writer_modes.h"
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

// Most strings are short keys: read them as two overlapping words instead of calling into the
// library, both for hashing and for comparing.
std::uint64_t hashBytes(const char* p, std::size_t n) {
    constexpr std::uint64_t k = 0x9FB21C651E98DF25u;
    std::uint64_t a, b;
    if (n >= 8) {
        std::uint64_t h = n * k;
        for (std::size_t i = 0; i + 16 < n; i += 8)
            h = (h ^ load64(p + i)) * k;
        a = h ^ load64(p + (n > 16 ? n - 16 : 0));
        b = load64(p + n - 8);
    } else if (n >= 4) {
        a = load32(p);
        b = load32(p + n - 4);
    } else {
        a = n ? static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[n / 2]) << 8 |
                    static_cast<std::uint64_t>(static_cast<unsigned char>(p[n - 1])) << 16
              : 0;
        b = 0;
    }
    return mix((a * k) ^ (b + n) ^ ((b * k) >> 29));
}

bool sameBytes(const char* x, const char* y, std::size_t n) {
    if (n > 16) return std::memcmp(x, y, n) == 0;
    if (n >= 8) return load64(x) == load64(y) && load64(x + n - 8) == load64(y + n - 8);
    if (n >= 4) return load32(x) == load32(y) && load32(x + n - 4) == load32(y + n - 4);
    for (std::size_t i = 0; i < n; ++i)
        if (x[i] != y[i]) return false;
    return true;
}

// Kinds of written objects. Leaves of different kinds never share an object even when their
// bits agree (integer 1, real 1.0 and true stay apart).
enum class Kind : std::uint8_t {
    False,
    True,
    Int,
    BigUint,
    Real,
    Date,
    Uid,
    Data,
    Ascii,
    Utf16,
    Array,
    Dict
};

struct Object {
    Kind kind;
    // Its size apart from references, which the layout asks for of every object; kLarge when
    // that does not fit here.
    std::uint32_t fixed;
    static constexpr std::uint32_t kLarge = ~std::uint32_t{0};
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
                               std::uint64_t num, std::uint32_t next, std::uint64_t hash) {
        // Grown at three quarters full: with the tags, probe runs stay short there, and a table
        // half the size stays in a nearer cache once a file has many distinct leaves.
        if (4 * (used_ + 1) > 3 * slots_.size()) grow();
        const auto tag = static_cast<std::uint32_t>(hash >> 32);
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
            if (k == kind && o.num == num && (!bytes || sameBytes(o.bytes, bytes, num)))
                return s.index;
        }
    }

    // Asks for the slot where a lookup of hash starts.
    void prefetch(std::uint64_t hash) const {
        if (!slots_.empty()) __builtin_prefetch(&slots_[(hash >> 32) & (slots_.size() - 1)]);
    }

    static std::uint64_t hash(Kind kind, const char* bytes, std::uint64_t num) {
        return bytes ? hashBytes(bytes, num) + static_cast<std::uint64_t>(kind)
                     : mix(num ^ (static_cast<std::uint64_t>(kind) << 56));
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
    static constexpr unsigned kBits = 10;

    // Where k is kept.
    static std::size_t home(const ShortLeaf& k) {
        // Multiply-shift: the top bits of each product depend on every bit of its word.
        const std::uint64_t h =
            ((k.a ^ k.meta) * 0x9E3779B97F4A7C15u) ^ (k.b * 0xD6E8FEB86659FD93u);
        return static_cast<std::size_t>(h >> (64 - kBits));
    }

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
    std::array<Entry, std::size_t{1} << kBits> entries_{};
    std::uint32_t generation_ = 1;
};

// The containers on the path from the root, to catch a container that holds itself. The path is
// at most maxPropertyListDepth + 1 long, so a fixed table stays sparse.
//
// Only containers from kTrackedDepth down are kept: a container that holds itself repeats on
// the path without end, so it still repeats within the kept part, a few levels later. Shallow
// trees, nearly all that are written, pay nothing for the check.
constexpr int kTrackedDepth = 8;
class PathSet {
public:
    // Takes a container at `depth` (the containers around it) onto the path; false when it would
    // nest too deep or is on the path already.
    bool enter(const void* container, int depth) {
        if (depth >= maxPropertyListDepth) return false;
        return depth < kTrackedDepth || insert(container);
    }
    void leave(const void* container, int depth) {
        if (depth >= kTrackedDepth) erase(container);
    }

    // Forgets what a failed write left on the path.
    void clear() { std::fill(slots_.begin(), slots_.end(), nullptr); }

private:
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
        while (slots_[i] != p)
            i = (i + 1) & kMask;
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
    static constexpr std::size_t kSize = 2048;
    static constexpr std::size_t kMask = kSize - 1;
    static std::size_t home(const void* p) {
        return mix(reinterpret_cast<std::uintptr_t>(p)) & kMask;
    }
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

// The short form of a leaf written by its bits alone, told apart by its kind and exact bits.
// Only for booleans, integers, reals, dates and UIDs.
inline ShortLeaf scalarLeaf(const Value& v) {
    switch (v.type()) {
        case Value::Type::Boolean:
            return shortScalar(*v.ifBoolean() ? Kind::True : Kind::False, 0);
        case Value::Type::Integer: {
            const Integer i = *v.ifInteger();
            return shortScalar(i.isBigUnsigned() ? Kind::BigUint : Kind::Int, i.bits());
        }
        case Value::Type::Real: {
            std::uint64_t bits;
            std::memcpy(&bits, v.ifReal(), sizeof bits);
            return shortScalar(Kind::Real, bits);
        }
        case Value::Type::Date: {
            std::uint64_t bits;
            std::memcpy(&bits, &v.ifDate()->seconds, sizeof bits);
            return shortScalar(Kind::Date, bits);
        }
        default:
            return shortScalar(Kind::Uid, v.ifUid()->value);
    }
}

// Most strings are short: copied as overlapping words rather than through a library call.
inline void copyBytes(std::uint8_t* to, const void* source, std::size_t n) {
    // Most copies are a short string or a few references: overlapping moves from both ends
    // cost less than a call.
    const auto* from = static_cast<const char*>(source);
    const auto move = [&](std::size_t at, auto word) {
        std::memcpy(&word, from + at, sizeof word);
        std::memcpy(to + at, &word, sizeof word);
    };
    using Block = std::array<char, 16>;
    if (n > 64) {
        std::memcpy(to, from, n);
    } else if (n > 32) {
        move(0, Block{});
        move(16, Block{});
        move(n - 32, Block{});
        move(n - 16, Block{});
    } else if (n > 16) {
        move(0, Block{});
        move(n - 16, Block{});
    } else if (n >= 8) {
        move(0, std::uint64_t{});
        move(n - 8, std::uint64_t{});
    } else if (n >= 4) {
        move(0, std::uint32_t{});
        move(n - 4, std::uint32_t{});
    } else if (n) {
        to[0] = static_cast<std::uint8_t>(from[0]);
        to[n / 2] = static_cast<std::uint8_t>(from[n / 2]);
        to[n - 1] = static_cast<std::uint8_t>(from[n - 1]);
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

// The trailer: five unused bytes and the sort version are zero; the root is object 0.
void putTrailer(std::uint8_t* t, unsigned offsetSize, unsigned refSize, std::uint64_t count,
                std::uint64_t tableOffset) {
    std::memset(t, 0, 6);
    t[6] = static_cast<std::uint8_t>(offsetSize);
    t[7] = static_cast<std::uint8_t>(refSize);
    bf::storeBig(t + 8, count, 8);
    bf::storeBig(t + 16, 0, 8);
    bf::storeBig(t + 24, tableOffset, 8);
}

// The bytes of a string of at most 16 bytes, rebuilt from its short form into out (16 bytes).
inline void shortStringBytes(const ShortLeaf& k, char* out) {
    const std::size_t n = k.meta & 0xFF;
    if (n >= 8) {
        std::memcpy(out, &k.a, 8);
        std::memcpy(out + n - 8, &k.b, 8);
    } else if (n >= 4) {
        const auto first = static_cast<std::uint32_t>(k.a);
        const auto last = static_cast<std::uint32_t>(k.a >> 32);
        std::memcpy(out, &first, 4);
        std::memcpy(out + n - 4, &last, 4);
    } else if (n) {
        out[0] = static_cast<char>(k.a);
        out[n / 2] = static_cast<char>(k.a >> 8);
        out[n - 1] = static_cast<char>(k.a >> 16);
    }
}

inline bool operator==(const ShortLeaf& x, const ShortLeaf& y) {
    return x.a == y.a && x.b == y.b && x.meta == y.meta;
}

// ---------------------------------------------------------------------------------------------
// A large tree is written in two stages joined by a stream of tokens. The walk reads the tree in
// the order objects are numbered (a container, then a dictionary's keys, then its values
// depth-first) and mostly waits on memory: every container is a separate allocation. The
// numbering shares equal leaves and records objects and references, working out of its own
// tables. The numbering runs on a second thread, so the two overlap. A small tree is written
// in one direct pass (DirectWriter), which a thread would not pay for.

enum class Op : std::uint16_t {
    Leaf,        // a scalar or a string of at most 16 bytes, in its short form, and its slot
    Repeats,     // meta (1 to kMaxPacked) leaves in a row, each the one sent last with its slot;
                 // the slots packed in a and b (packSlot)
    LongString,  // a: the bytes, b: their number
    Data,        // a: the bytes, b: their number
    Array,       // b: the number of elements
    Dict,        // b: the number of entries; the keys follow, then the values
    SameKeys,    // in place of the b keys of a dictionary: the keys of the last one of that size
    PackedDict,  // meta >> 8 dictionaries in a row, each of meta & 0xFF entries whose keys are
                 // the last ones of that size and whose values are leaves sent before; their
                 // slots packed as in Repeats, one dictionary after the other
};

struct Token {
    std::uint64_t a;
    std::uint64_t b;
    std::uint32_t meta;  // of a Leaf: its short form's
    std::uint16_t slot;  // of a Leaf
    Op op;
};

// Dictionaries of a file mostly share their keys with the one before of the same size; such a
// run of keys travels as one token. Runs up to this size are remembered, keys of at most 16
// bytes only.
constexpr std::size_t kMaxKeyRun = 16;
// Repeats and PackedDict hold up to this many slots of RecentLeaves::kBits bits, six in each
// of their two words.
constexpr std::size_t kSlotsPerWord = 6;
constexpr std::size_t kMaxPacked = 2 * kSlotsPerWord;

// Puts slot i (below kMaxPacked) into the words of a Repeats or PackedDict token. The words are
// separate variables, not an array: or-ing into an array and reading it back whole stalls.
inline void packSlot(std::uint64_t& low, std::uint64_t& high, std::size_t i, std::size_t slot) {
    if (i < kSlotsPerWord)
        low |= std::uint64_t{slot} << (RecentLeaves::kBits * i);
    else
        high |= std::uint64_t{slot} << (RecentLeaves::kBits * (i - kSlotsPerWord));
}
// Takes the slots of a Repeats or PackedDict token in order.
class PackedSlots {
public:
    explicit PackedSlots(const Token& t) : word_(t.a), high_(t.b) {}
    std::size_t next() {
        const auto slot = static_cast<std::size_t>(word_ & kMask);
        word_ >>= RecentLeaves::kBits;
        if (--left_ == 0) {
            word_ = high_;
            left_ = kSlotsPerWord;
        }
        return slot;
    }

private:
    static constexpr std::uint64_t kMask = (std::uint64_t{1} << RecentLeaves::kBits) - 1;
    std::uint64_t word_;
    std::uint64_t high_;
    std::size_t left_ = kSlotsPerWord;
};

// Copies of short strings met in this write, so their objects need not point into the tree.
class ShortStringArena {
public:
    const char* copy(const char* p, std::size_t n) {
        if (left_ < n) grow();
        char* at = next_;
        std::memcpy(at, p, n);
        next_ += n;
        left_ -= n;
        return at;
    }
    void reset() {
        if (blocks_.size() > 1) blocks_.resize(1);
        next_ = blocks_.empty() ? nullptr : blocks_.front().get();
        left_ = blocks_.empty() ? 0 : kBlock;
    }

private:
    static constexpr std::size_t kBlock = 64 * 1024;
    void grow() {
        blocks_.push_back(std::make_unique<char[]>(kBlock));
        next_ = blocks_.back().get();
        left_ = kBlock;
    }
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* next_ = nullptr;
    std::size_t left_ = 0;
};

// A reference to an object as a file whose references take 4 bytes holds it: the object's
// number, big-endian. Containers keep their references this way, so that laying them out is
// mostly a copy; most are copies of references to leaves met before, converted once.
enum class Ref : std::uint32_t {};

inline Ref toRef(std::uint32_t number) {
    std::uint32_t bytes;
    bf::storeBig(reinterpret_cast<std::uint8_t*>(&bytes), number, sizeof bytes);
    return Ref{bytes};
}
inline std::uint32_t numberOf(Ref r) {
    const auto bytes = static_cast<std::uint32_t>(r);
    return static_cast<std::uint32_t>(
        bf::loadBig(reinterpret_cast<const std::uint8_t*>(&bytes), sizeof bytes));
}

// Working memory of a write, kept per thread between writes: fresh buffers of this size would
// cost more in page faults than the flattening itself.
struct Scratch {
    std::vector<Object> objects;
    // Children of containers. Only the first refsUsed are this write's; the rest is room kept
    // from earlier writes, so that taking it costs no clearing.
    std::vector<Ref> refs;
    std::size_t refsUsed = 0;
    LeafTable leaves;
    RecentLeaves recent;
    ShortStringArena shortStrings;
    PathSet path;
    std::vector<Token> tokens;

    void reset(bool failed) {
        // Keep what is in proportion to this write; let go of what an earlier, larger one left.
        if (objects.capacity() > 4 * objects.size() + 65536)
            std::vector<Object>().swap(objects);
        else
            objects.clear();
        if (refs.size() > 4 * refsUsed + 65536) std::vector<Ref>().swap(refs);
        refsUsed = 0;
        leaves.reset();
        recent.reset();
        shortStrings.reset();
        if (failed) path.clear();
    }
};

// Objects in number order with the references of containers, equal leaves sharing one number;
// puts them out once all are known.
class ObjectTable {
public:
    explicit ObjectTable(Scratch& scratch)
        : objects_(scratch.objects),
          refs_(scratch.refs),
          refsUsed_(scratch.refsUsed),
          leaves_(scratch.leaves),
          recent_(scratch.recent),
          shortStrings_(scratch.shortStrings) {}

    // A new container of n elements (dictionary: n entries) numbered `index`; first is its first
    // reference slot.
    bool container(bool dict, std::uint64_t n, std::uint32_t& index, std::uint64_t& first) {
        if (!nextNumber(index)) return false;
        first = takeRefs(dict ? 2 * n : n);
        add(dict ? Kind::Dict : Kind::Array, nullptr, n, first);
        return true;
    }
    // `count` new dictionaries of n entries each (n below 15) numbered from `index` on, their
    // reference slots one after the other from `first` on.
    bool dictionaries(std::size_t n, std::size_t count, std::uint32_t& index,
                      std::uint64_t& first) {
        if (objects_.size() + count > LeafTable::kNone) return false;
        index = static_cast<std::uint32_t>(objects_.size());
        first = takeRefs(2 * n * count);
        for (std::size_t d = 0; d < count; ++d)
            objects_.push_back(Object{Kind::Dict, 1, nullptr, n, first + 2 * n * d});
        // Sized here rather than by add(): each takes a one-byte count header and references
        // only, and working that out per dictionary cost 1% of a large write's instructions.
        unreferencedBytes_ += count;
        return true;
    }
    void setRef(std::uint64_t slot, Ref ref) { refs_[slot] = ref; }
    // Slots from `slot` on, for the caller to fill within the container they belong to.
    Ref* refsAt(std::uint64_t slot) { return &refs_[slot]; }
    // The keys of a dictionary, a run remembered in from. All kMaxKeyRun references are
    // copied, as one fixed-size copy costs less than a call for a few bytes: the slots past
    // the run's are the dictionary's values or not taken yet, and are written later.
    void setKeys(std::uint64_t slot, const std::array<Ref, kMaxKeyRun>& from) {
        std::memcpy(&refs_[slot], from.data(), sizeof from);
    }

    // A scalar or short string by its short form. Most are met recently and answered here, in
    // line; the rest take the call.
    [[gnu::always_inline]] bool leaf(const ShortLeaf& key, std::uint32_t& index) {
        index = recent_.find(key);
        return index != RecentLeaves::kNone || newLeaf(key, index);
    }

    // The hash of a leaf token's lookup in the leaf table (0 for other tokens), worked out
    // ahead of its turn while the table's slot, usually far in memory, is asked for. Long
    // strings and data are hashed here, so their bytes should have been asked for before
    // (prefetchBytes).
    std::uint64_t prepare(const Token& t) const {
        std::uint64_t hash = 0;
        if (t.op == Op::Leaf)
            hash = leafHash(ShortLeaf{t.a, t.b, t.meta});
        else if (t.op == Op::LongString || t.op == Op::Data)
            hash = LeafTable::hash(t.op == Op::Data ? Kind::Data : Kind::Ascii,
                                   reinterpret_cast<const char*>(t.a), t.b);
        else
            return 0;  // most tokens: no lookup
        leaves_.prefetch(hash);
        return hash;
    }
    static void prefetchBytes(const Token& t) {
        if (t.op == Op::LongString || t.op == Op::Data) {
            const auto* p = reinterpret_cast<const char*>(t.a);
            __builtin_prefetch(p);
            if (t.b > 64) __builtin_prefetch(p + 64);
        }
    }

    [[gnu::noinline]] bool newLeaf(const ShortLeaf& key, std::uint32_t& index) {
        if (!numberLeaf(key, leafHash(key), index)) return false;
        recent_.remember(key, index);
        return true;
    }

    // A scalar or short string by its short form, looked up in the leaf table only.
    bool numberLeaf(const ShortLeaf& key, std::uint64_t hash, std::uint32_t& index) {
        const auto kind = static_cast<Kind>((key.meta >> 8) - 1);
        if (kind == Kind::Ascii) {
            char bytes[16];
            shortStringBytes(key, bytes);
            return newString(bytes, key.meta & 0xFF, index, hash, true);
        }
        bool fresh = false;
        if (!numberLeaf(kind, nullptr, key.a, hash, index, fresh)) return false;
        if (fresh) add(kind, nullptr, key.a, 0);
        return true;
    }

    // A string of the tree, whose bytes stay put while the write lasts.
    [[gnu::always_inline]] bool string(const std::string& s, std::uint32_t& index) {
        if (s.size() > 16) return newString(s.data(), s.size(), index);
        const ShortLeaf key = shortString(s.data(), s.size());
        index = recent_.find(key);
        if (index != RecentLeaves::kNone) return true;
        if (!newString(s.data(), s.size(), index)) return false;
        recent_.remember(key, index);
        return true;
    }

    // A string by its bytes; copied when they are not the tree's.
    bool newString(const char* bytes, std::uint64_t size, std::uint32_t& index) {
        return newString(bytes, size, index, LeafTable::hash(Kind::Ascii, bytes, size));
    }
    bool newString(const char* bytes, std::uint64_t size, std::uint32_t& index, std::uint64_t hash,
                   bool copy = false) {
        bool fresh = false;
        if (!numberLeaf(Kind::Ascii, bytes, size, hash, index, fresh)) return false;
        if (!fresh) return true;
        std::uint64_t units = size;
        Kind kind = Kind::Ascii;
        if (!bf::isAscii(bytes, size)) {
            if (!utf16Length(reinterpret_cast<const unsigned char*>(bytes), size, units))
                return false;
            kind = Kind::Utf16;
        }
        add(kind, copy ? shortStrings_.copy(bytes, size) : bytes, size, units);
        return true;
    }

    bool data(const char* bytes, std::uint64_t size, std::uint32_t& index) {
        return data(bytes, size, index, LeafTable::hash(Kind::Data, bytes, size));
    }
    bool data(const char* bytes, std::uint64_t size, std::uint32_t& index, std::uint64_t hash) {
        bool fresh = false;
        if (!numberLeaf(Kind::Data, bytes, size, hash, index, fresh)) return false;
        if (fresh) add(Kind::Data, bytes, size, 0);
        return true;
    }

    // Lays the file out into out (a StringOutput or a SinkOutput, below): the header, the
    // objects in number order, the offset table, the trailer. False when out refuses bytes.
    template <typename Output>
    bool serialise(Output& out) const {
        const std::uint64_t count = objects_.size();
        const unsigned refSize = bf::unsignedWidth(count - 1);
        // All sizes are known up front, so the output can be allocated once.
        const std::uint64_t tableOffset =
            bf::kHeaderSize + unreferencedBytes_ + refsUsed_ * refSize;
        const std::uint64_t lastOffset = tableOffset - objectSize(objects_.back(), refSize);
        const unsigned offsetSize = bf::unsignedWidth(lastOffset);
        std::uint8_t* table = out.start(tableOffset, count * offsetSize + bf::kTrailerSize);
        std::uint8_t* p = out.room(out.first(), bf::kHeaderSize);
        std::memcpy(p, bf::kMagic.data(), bf::kHeaderSize);
        p += bf::kHeaderSize;
        for (const Object& o : objects_) {
            p = out.room(p, objectSize(o, refSize));
            if (!p) return false;
            bf::storeBig(table, out.offset(p), offsetSize);
            table += offsetSize;
            p = putObject(p, o, refSize);
        }
        putTrailer(table, offsetSize, refSize, count, tableOffset);
        return out.finish(p);
    }

private:
    friend class StreamedLayout;

    // Appends an object, counting the bytes it takes apart from references, whose width is only
    // known at the end.
    void add(Kind kind, const char* bytes, std::uint64_t num, std::uint64_t aux) {
        Object& o = objects_.emplace_back(Object{kind, 0, bytes, num, aux});
        const std::uint64_t fixed = unreferencedSize(o);
        o.fixed = fixed < Object::kLarge ? static_cast<std::uint32_t>(fixed) : Object::kLarge;
        unreferencedBytes_ += fixed;
    }

    // The position of n reference slots, taken after those in use; the caller fills them.
    // There are always kMaxKeyRun slots past the last taken, for setKeys.
    std::uint64_t takeRefs(std::uint64_t n) {
        const std::size_t first = refsUsed_;
        if (refs_.size() - first < n + kMaxKeyRun)
            refs_.resize(std::max<std::size_t>(first + n + kMaxKeyRun, 2 * refs_.size()));
        refsUsed_ = first + n;
        return first;
    }

    // The hash of a leaf by its short form. A string of at most 16 bytes is only ever looked up
    // by its short form (and a longer one never is), so it need not hash as its bytes would,
    // and unpacking its bytes to hash them took most of a lookup's instructions.
    static std::uint64_t leafHash(const ShortLeaf& key) {
        return mix((key.a ^ key.meta) * 0x9E3779B97F4A7C15u ^ key.b * 0xC2B2AE3D27D4EB4Fu);
    }

    // The number of a leaf (whose hash is given): an equal one's, or (fresh) the next, for the
    // caller to add. Strings are looked up as Kind::Ascii. False once numbers would no longer
    // fit in 32 bits.
    bool numberLeaf(Kind kind, const char* bytes, std::uint64_t num, std::uint64_t hash,
                    std::uint32_t& index, bool& fresh) {
        std::uint32_t next = 0;
        if (!nextNumber(next)) return false;
        index = leaves_.findOrInsert(objects_, kind, bytes, num, next, hash);
        fresh = index == LeafTable::kNone;
        if (fresh) index = next;
        return true;
    }

    // The next object number; false once numbers would no longer fit in 32 bits.
    bool nextNumber(std::uint32_t& n) const {
        if (objects_.size() >= LeafTable::kNone) return false;
        n = static_cast<std::uint32_t>(objects_.size());
        return true;
    }

    std::uint64_t objectSize(const Object& o, unsigned refSize) const {
        const std::uint64_t refs = o.kind == Kind::Dict    ? 2 * o.num
                                   : o.kind == Kind::Array ? o.num
                                                           : 0;
        return (o.fixed != Object::kLarge ? o.fixed : unreferencedSize(o)) + refs * refSize;
    }

    static std::uint64_t unreferencedSize(const Object& o) {
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
            case Kind::Dict:
                return countHeaderSize(o.num);
        }
        return 0;
    }

    std::uint8_t* putObject(std::uint8_t* p, const Object& o, unsigned refSize) const {
        // Most objects of a large file: a container of fewer than 15 children.
        if ((o.kind == Kind::Dict || o.kind == Kind::Array) && o.num < 15 && refSize == sizeof(Ref))
            [[likely]] {
            const bool dict = o.kind == Kind::Dict;
            *p++ = static_cast<std::uint8_t>((dict ? bf::kDict : bf::kArray) | o.num);
            const std::size_t bytes = (dict ? 2 : 1) * o.num * sizeof(Ref);
            copyBytes(p, refs_.data() + o.aux, bytes);
            return p + bytes;
        }
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

    static std::uint8_t* putRefs(std::uint8_t* p, const Ref* refs, std::uint64_t n,
                                 unsigned width) {
        if (width == sizeof(Ref)) {
            copyBytes(p, refs, n * sizeof(Ref));
            return p + n * sizeof(Ref);
        }
        for (std::uint64_t i = 0; i < n; ++i, p += width)
            bf::storeBig(p, numberOf(refs[i]), width);
        return p;
    }

    std::vector<Object>& objects_;
    std::vector<Ref>& refs_;
    std::size_t& refsUsed_;
    std::uint64_t unreferencedBytes_ = 0;
    LeafTable& leaves_;
    RecentLeaves& recent_;
    ShortStringArena& shortStrings_;
};

// The output pass writing into one string of the file's size, the offset table in place.
class StringOutput {
public:
    std::uint8_t* start(std::uint64_t tableOffset, std::uint64_t tableSize) {
        out_.resize(tableOffset + tableSize);
        base_ = reinterpret_cast<std::uint8_t*>(out_.data());
        return base_ + tableOffset;
    }
    std::uint8_t* first() const { return base_; }
    std::uint8_t* room(std::uint8_t* p, std::uint64_t) const { return p; }
    std::uint64_t offset(const std::uint8_t* p) const {
        return static_cast<std::uint64_t>(p - base_);
    }
    bool finish(std::uint8_t*) const { return true; }
    std::string take() { return std::move(out_); }

private:
    std::string out_;
    std::uint8_t* base_ = nullptr;
};

// A buffer kept between writes; its old contents are never needed again.
class Buffer {
public:
    std::uint8_t* reserve(std::size_t n) {
        if (size_ < n) {
            bytes_.reset();  // let go of the old one before asking for the new
            size_ = 0;
            bytes_ = std::make_unique_for_overwrite<std::uint8_t[]>(n);
            size_ = n;
        }
        return bytes_.get();
    }
    std::uint8_t* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    // Lets go of the memory when it is more than `most`.
    void trim(std::size_t most) {
        if (size_ <= most) return;
        bytes_.reset();
        size_ = 0;
    }

private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_ = 0;
};

// Memory of streamed writes, kept per thread between them like Scratch: fresh buffers would
// cost page faults on every write.
struct StreamBuffers {
    std::array<Buffer, 2> chunks;
    Buffer table;
    std::vector<std::uint8_t> offsets;  // of a streamed layout
};

// Objects are handed to the sink in chunks of at most this size, larger objects in one chunk
// each.
constexpr std::size_t kChunkSize = std::size_t{1} << 20;
// Files whose objects take this much are handed over by a thread of their own.
constexpr std::uint64_t kSinkThreadFrom = 2 * kChunkSize;

// Hands chunks to a sink on a thread of its own, one at a time, so that the next chunk is laid
// out while the last is being written.
class SinkThread {
public:
    explicit SinkThread(ByteSink& sink) : sink_(sink), thread_([this] { run(); }) {}
    ~SinkThread() {
        state_.store(kStop, std::memory_order_release);
        state_.notify_one();
        thread_.join();
    }
    SinkThread(const SinkThread&) = delete;
    SinkThread& operator=(const SinkThread&) = delete;

    // Waits until the chunk handed over before is written, then hands over bytes, which stay
    // put until the next call. False once the sink has refused a chunk.
    bool hand(std::string_view bytes) {
        if (!idle()) return false;
        bytes_ = bytes;
        state_.store(kFull, std::memory_order_release);
        state_.notify_one();
        return true;
    }

    // Waits until every chunk handed over is written. False when the sink refused one;
    // rethrows what it threw.
    bool idle() {
        state_.wait(kFull, std::memory_order_acquire);
        if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
        return !failed_;
    }

private:
    enum State : int { kEmpty, kFull, kStop };

    void run() {
        for (;;) {
            state_.wait(kEmpty, std::memory_order_acquire);
            if (state_.load(std::memory_order_acquire) == kStop) return;
            try {
                if (!sink_.write(bytes_)) failed_ = true;
            } catch (...) {
                error_ = std::current_exception();
                failed_ = true;
            }
            // A stop that came meanwhile stays.
            int full = kFull;
            state_.compare_exchange_strong(full, kEmpty, std::memory_order_acq_rel);
            state_.notify_one();
        }
    }

    ByteSink& sink_;
    std::string_view bytes_;
    bool failed_ = false;
    std::exception_ptr error_;
    std::atomic<int> state_{kEmpty};
    std::thread thread_;
};

// The output pass handing the objects to a sink a chunk at a time, from a second thread when
// there are several chunks; the offset table, which follows them, is built in a buffer of its
// own and handed over last.
class SinkOutput {
public:
    SinkOutput(ByteSink& sink, StreamBuffers& buffers) : sink_(sink), buffers_(buffers) {}
    ~SinkOutput() {
        writer_.reset();  // first: it may still be reading a chunk
        // Let go of what a very large object or table took, as Scratch does.
        for (Buffer& chunk : buffers_.chunks)
            chunk.trim(kChunkSize);
        buffers_.table.trim(4 * tableSize_ + 65536);
        std::vector<std::uint8_t>& offsets = buffers_.offsets;
        if (offsets.capacity() > 4 * offsets.size() + 65536)
            std::vector<std::uint8_t>().swap(offsets);
    }
    SinkOutput(const SinkOutput&) = delete;
    SinkOutput& operator=(const SinkOutput&) = delete;

    ByteSink& sink() const { return sink_; }
    // Room for the offset table of a streamed layout, kept between writes.
    std::vector<std::uint8_t>& offsets() const { return buffers_.offsets; }

    std::uint8_t* start(std::uint64_t tableOffset, std::uint64_t tableSize) {
        tableSize_ = static_cast<std::size_t>(tableSize);
        std::uint8_t* table = buffers_.table.reserve(tableSize_);
        begin(tableOffset >= kSinkThreadFrom);
        return table;
    }
    // Starts laying out into the first chunk; with several chunks to come, they are handed over
    // from a second thread.
    void begin(bool severalChunks) {
        if (severalChunks && std::thread::hardware_concurrency() >= 2) {
            buffers_.chunks[1].reserve(kChunkSize);
            try {
                writer_.emplace(sink_);
            } catch (const std::system_error&) {
                // No thread to be had: the chunks are handed over from this one.
            }
        }
        useChunk(kChunkSize);
    }
    std::uint8_t* first() const { return base_; }
    // Where n bytes can go, p being the end of those laid out so far: p, or the start of an
    // empty chunk once the full one is handed over. Null when the sink refuses it.
    std::uint8_t* room(std::uint8_t* p, std::uint64_t n) {
        return static_cast<std::uint64_t>(end_ - p) >= n ? p : next(p, n);
    }
    std::uint64_t offset(const std::uint8_t* p) const {
        return handed_ + static_cast<std::uint64_t>(p - base_);
    }
    bool finish(std::uint8_t* p) {
        return finish(p, {reinterpret_cast<const char*>(buffers_.table.data()), tableSize_});
    }
    // Hands over the last chunk, then what follows the objects.
    bool finish(std::uint8_t* p, std::string_view tail) {
        if (!hand(p) || (writer_ && !writer_->idle())) return false;
        return sink_.write(tail);
    }

private:
    void useChunk(std::uint64_t n) {
        Buffer& chunk = buffers_.chunks[current_];
        base_ = chunk.reserve(static_cast<std::size_t>(std::max<std::uint64_t>(n, kChunkSize)));
        end_ = base_ + chunk.size();
    }

    bool hand(const std::uint8_t* p) {
        const auto n = static_cast<std::size_t>(p - base_);
        handed_ += n;
        if (n == 0) return true;
        const std::string_view bytes(reinterpret_cast<const char*>(base_), n);
        if (!writer_) return sink_.write(bytes);
        if (!writer_->hand(bytes)) return false;
        current_ ^= 1;  // the other chunk is free: its write ended before this one was handed
        return true;
    }

    [[gnu::noinline]] std::uint8_t* next(std::uint8_t* p, std::uint64_t n) {
        if (!hand(p)) return nullptr;
        useChunk(n);
        return base_;
    }

    ByteSink& sink_;
    StreamBuffers& buffers_;
    std::optional<SinkThread> writer_;
    std::size_t current_ = 0;       // the chunk being filled
    std::uint8_t* base_ = nullptr;  // its start
    std::uint8_t* end_ = nullptr;
    std::uint64_t handed_ = 0;  // bytes handed to the sink before base_
    std::size_t tableSize_ = 0;
};

// A container whose children are being numbered.
struct OpenContainer {
    std::uint64_t first;  // its first reference slot
    std::uint64_t count;  // elements or entries
    std::uint64_t next;   // the next key or value
    std::uint32_t number;
    bool dict;
    bool keys;  // a dictionary's keys are still to come
};

// Lays a large file out behind its numbering, on the numbering's thread, so that most of the
// file is written while the tree is still being walked rather than after. Once 65,536 objects
// are numbered, references are 4 bytes whatever follows, so an object's size and place are
// known as soon as it is numbered; a container's references are final once it closes. The
// layout waits behind a container opened a short while ago. One that has stayed open long (the
// root, a table of thousands of records) is laid out with the references it has so far and
// written again at the end, which only a sink that takes rewrites allows. The bytes are those
// ObjectTable::serialise gives.
class StreamedLayout {
public:
    StreamedLayout(const ObjectTable& table, SinkOutput& out)
        : table_(table), out_(out), offsets_(out.offsets()) {
        offsets_.clear();
    }

    // Lays out what is final, given the containers still open in number order. False when the
    // sink refuses bytes.
    bool advance(std::span<const OpenContainer> stillOpen) {
        const std::vector<Object>& objects = table_.objects_;
        if (!started_) {
            if (objects.size() < kFrom) return true;
            started_ = true;
            out_.begin(true);
            p_ = out_.first();
            std::memcpy(p_, bf::kMagic.data(), bf::kHeaderSize);
            p_ += bf::kHeaderSize;
        }
        const std::size_t count = objects.size();
        std::size_t f = 0;
        while (f < stillOpen.size() && stillOpen[f].number < next_)
            ++f;
        const auto openAt = [&] { return f < stillOpen.size() ? stillOpen[f].number : count; };
        std::size_t nextOpen = openAt();  // the next container still open, or count
        offsets_.resize(count * width_);
        // In locals: the bytes stored as the objects go out could be anything to the compiler,
        // which would otherwise read every member again after each.
        std::uint32_t next = next_;
        std::uint8_t* p = p_;
        unsigned width = width_;
        std::uint8_t* entry = offsets_.data() + next * width;
        const Object* const objectAt = objects.data();
        for (; next < count; ++next, entry += width) {
            const bool open = next == nextOpen;
            if (open) {
                if (count - next < kLongOpen) break;
                ++f;
                nextOpen = openAt();
            }
            const Object& o = objectAt[next];
            p = out_.room(p, table_.objectSize(o, kRefSize));
            if (!p) return false;
            const std::uint64_t at = out_.offset(p);
            if (width == 4 && at <= 0xFFFFFFFF) [[likely]] {
                bf::storeBig(entry, at, 4);
            } else {
                if (width == 4) {
                    widen();
                    width = width_;
                    entry = offsets_.data() + next * width;
                }
                bf::storeBig(entry, at, width);
            }
            if (open) rewrites_.push_back({next, at});
            p = table_.putObject(p, o, kRefSize);
        }
        next_ = next;
        p_ = p;
        return true;
    }

    // Once every object is numbered: the rest, the offset table and trailer, then the containers
    // laid out while open, now with all their references. A file too small to have started is
    // laid out whole here. False when the sink refuses bytes.
    bool finish() {
        if (table_.objects_.size() < kFrom) return table_.serialise(out_);
        if (!advance({})) return false;
        const std::uint64_t count = next_;
        const std::uint64_t tableOffset = out_.offset(p_);
        const std::size_t tableSize = offsets_.size();
        offsets_.resize(tableSize + bf::kTrailerSize);
        putTrailer(offsets_.data() + tableSize, width_, kRefSize, count, tableOffset);
        if (!out_.finish(p_, {reinterpret_cast<const char*>(offsets_.data()), offsets_.size()}))
            return false;
        std::vector<std::uint8_t> bytes;
        for (const Rewrite& r : rewrites_) {
            const Object& o = table_.objects_[r.number];
            bytes.resize(table_.objectSize(o, kRefSize));
            table_.putObject(bytes.data(), o, kRefSize);
            if (!out_.sink().rewrite(r.offset,
                                     {reinterpret_cast<const char*>(bytes.data()), bytes.size()}))
                return false;
        }
        return true;
    }

    // Starts once there are this many objects: from 65,537 on, the largest number takes more
    // than 2 bytes, and a write fails before numbers pass 32 bits, so references take 4.
    static constexpr std::size_t kFrom = 65537;

private:
    static constexpr unsigned kRefSize = 4;
    // A container is laid out before it closes once this many objects followed it; until then
    // it is likely to close soon.
    static constexpr std::size_t kLongOpen = 16384;

    struct Rewrite {
        std::uint32_t number;
        std::uint64_t offset;
    };

    // Offsets past 4 GiB take 8 bytes in the table, and so do all the others.
    void widen() {
        std::vector<std::uint8_t> wide(offsets_.size() / 4 * 8);
        for (std::size_t i = 0; i < offsets_.size() / 4; ++i)
            bf::storeBig(wide.data() + 8 * i, bf::loadBig(offsets_.data() + 4 * i, 4), 8);
        offsets_.swap(wide);
        width_ = 8;
    }

    const ObjectTable& table_;
    SinkOutput& out_;
    std::vector<std::uint8_t>& offsets_;  // the offset table so far
    unsigned width_ = 4;                  // of its entries
    bool started_ = false;
    std::uint32_t next_ = 0;  // the next object to lay out
    std::uint8_t* p_ = nullptr;
    std::vector<Rewrite> rewrites_;
};

// The numbering of a pipelined write: takes the walk's tokens in order and keeps track of the
// containers whose children are still arriving.
class Numbering {
public:
    // With a layout, the objects are laid out after each batch of tokens as far as they can be.
    Numbering(ObjectTable& table, StreamedLayout* layout) : table_(table), layout_(layout) {
        stack_.reserve(64);
        stack_.push_back(Frame{0, 1, 0, 0, false, false});  // the root's place
    }

    // False when the tokens describe something that cannot be written.
    //
    // Leaves that reach the numbering are mostly new to it, and most of its time went into
    // waiting for the leaf table and for the bytes of long strings, both far in memory: a
    // token's bytes are asked for 2 * kAhead tokens before its turn, its table slot kAhead
    // tokens before.
    bool take(const Token* t, std::size_t n) {
        const auto step = [&](std::size_t i) __attribute__((always_inline)) {
            if (i + kAhead < n) ObjectTable::prefetchBytes(t[i + kAhead]);
            if (i < n) ahead_[i % kRing] = table_.prepare(t[i]);
            return i < kAhead || edgeToken(t[i - kAhead], ahead_[(i - kAhead) % kRing]);
        };
        std::size_t i = 0;
        for (; i < kAhead; ++i)
            if (!step(i)) return false;
        // The middle of a batch, where every token is ahead of one and behind another.
        for (; i + kAhead < n; ++i) {
            ObjectTable::prefetchBytes(t[i + kAhead]);
            ahead_[i % kRing] = table_.prepare(t[i]);
            if (!token(t[i - kAhead], ahead_[(i - kAhead) % kRing])) return false;
        }
        for (; i < n + kAhead; ++i)
            if (!step(i)) return false;
        return !layout_ || layout_->advance(std::span(stack_).subspan(1));
    }

    // True once the root and everything in it has been numbered.
    bool complete() const { return stack_.size() == 1 && stack_.front().next == 1; }

private:
    using Frame = OpenContainer;

    // The tokens at either end of a batch, a few of each, take the call.
    [[gnu::noinline]] bool edgeToken(const Token& t, std::uint64_t hash) { return token(t, hash); }

    [[gnu::always_inline]] bool token(const Token& t, std::uint64_t hash) {
        if (t.op == Op::Repeats) return repeats(t);
        Frame& f = stack_.back();
        if (f.keys) return key(t, hash, f);
        std::uint32_t index = 0;
        switch (t.op) {
            case Op::Leaf:
            case Op::LongString:
                if (!string(t, hash, index)) return false;
                break;
            case Op::Data:
                if (!table_.data(reinterpret_cast<const char*>(t.a), t.b, index, hash))
                    return false;
                break;
            case Op::Array:
            case Op::Dict: {
                const bool dict = t.op == Op::Dict;
                std::uint64_t first = 0;
                if (!table_.container(dict, t.b, index, first)) return false;
                place(f, toRef(index));
                if (t.b) {
                    stack_.push_back(Frame{first, t.b, 0, index, dict, dict});
                    return true;
                }
                finishFrames();
                return true;
            }
            case Op::PackedDict:
                return packedDicts(t);
            case Op::SameKeys:
                return false;  // only ever in place of keys
            case Op::Repeats:
                break;  // taken above
        }
        place(f, toRef(index));
        finishFrames();
        return true;
    }

    // Puts a reference to a value in the next slot of the container on top.
    void place(Frame& f, Ref ref) {
        if (stack_.size() == 1) {
            ++f.next;  // the root, object 0
            return;
        }
        table_.setRef(f.first + (f.dict ? f.count : 0) + f.next++, ref);
    }

    // Drops the containers whose last value has been placed.
    void finishFrames() {
        while (stack_.size() > 1) {
            const Frame& top = stack_.back();
            if (top.keys || top.next != top.count) return;
            stack_.pop_back();
        }
    }

    // Whole dictionaries: the keys of each are the last run of its size, its values the leaves
    // last sent with the slots packed in the token.
    bool packedDicts(const Token& t) {
        const std::size_t n = t.meta & 0xFF;
        const std::size_t count = t.meta >> 8;
        if (n == 0 || count == 0 || n * count > kMaxPacked || n > kMaxKeyRun) return false;
        std::uint32_t index = 0;
        std::uint64_t first = 0;
        if (!table_.dictionaries(n, count, index, first)) return false;
        PackedSlots slots(t);
        for (std::size_t d = 0; d < count; ++d, first += 2 * n) {
            table_.setKeys(first, keyRuns_[n]);
            for (std::size_t i = 0; i < n; ++i)
                table_.setRef(first + n + i, sent_[slots.next()]);
        }
        return placeRun(
            count, [index](std::size_t d) { return toRef(index + static_cast<std::uint32_t>(d)); });
    }

    // Leaves sent before, each going where the next key or value goes.
    bool repeats(const Token& t) {
        const std::size_t n = t.meta;
        if (n == 0 || n > kMaxPacked) return false;
        PackedSlots slots(t);
        return placeRun(n, [&](std::size_t) { return sent_[slots.next()]; });
    }

    // Puts refAt(0) to refAt(n - 1), asked for in that order, where the next keys or values
    // go: as many values as the container on top still takes in one go, then on in the
    // container below once it is full.
    template <typename RefAt>
    bool placeRun(std::size_t n, RefAt refAt) {
        for (std::size_t i = 0; i < n;) {
            Frame& f = stack_.back();
            if (f.keys || stack_.size() == 1) {
                const Ref ref = refAt(i++);
                if (f.keys) {
                    addKey(f, ref);
                } else {
                    place(f, ref);
                    finishFrames();
                }
                continue;
            }
            const std::size_t take = std::min<std::uint64_t>(n - i, f.count - f.next);
            if (take == 0) return false;  // a full container is never left on top
            Ref* to = table_.refsAt(f.first + (f.dict ? f.count : 0) + f.next);
            for (std::size_t k = 0; k < take; ++k)
                to[k] = refAt(i + k);
            f.next += take;
            i += take;
            finishFrames();
        }
        return true;
    }

    // A leaf or long string token (a scalar is a leaf too).
    [[gnu::always_inline]] bool string(const Token& t, std::uint64_t hash, std::uint32_t& index) {
        switch (t.op) {
            case Op::Leaf:
                if (!table_.numberLeaf(ShortLeaf{t.a, t.b, t.meta}, hash, index)) return false;
                sent_[t.slot] = toRef(index);
                return true;
            case Op::LongString:
                return table_.newString(reinterpret_cast<const char*>(t.a), t.b, index, hash);
            default:
                return false;
        }
    }

    bool key(const Token& t, std::uint64_t hash, Frame& f) {
        if (t.op == Op::SameKeys) {
            if (t.b != f.count || f.count > kMaxKeyRun) return false;
            table_.setKeys(f.first, keyRuns_[f.count]);
            f.keys = false;
            f.next = 0;
            return true;
        }
        std::uint32_t index = 0;
        if (!string(t, hash, index)) return false;
        addKey(f, toRef(index));
        return true;
    }

    void addKey(Frame& f, Ref ref) {
        table_.setRef(f.first + f.next, ref);
        if (f.count <= kMaxKeyRun) keyRuns_[f.count][f.next] = ref;
        if (++f.next == f.count) {
            f.keys = false;
            f.next = 0;
        }
    }

    static constexpr std::size_t kAhead = 16;
    static constexpr std::size_t kRing = 32;  // a power of two above kAhead

    ObjectTable& table_;
    StreamedLayout* layout_;
    std::vector<Frame> stack_;
    std::array<std::uint64_t, kRing> ahead_;  // the hashes prepare() gave
    // The leaf the walk sent last with each slot.
    std::array<Ref, std::size_t{1} << RecentLeaves::kBits> sent_;
    // The last run of keys of each size.
    std::array<std::array<Ref, kMaxKeyRun>, kMaxKeyRun + 1> keyRuns_{};
};

// Waits until ready(value) holds: briefly spinning, as the other side usually answers within
// microseconds, then sleeping until the value changes.
template <typename Ready>
std::uint64_t waitUntil(const std::atomic<std::uint64_t>& value, Ready ready) {
    for (int spin = 0; spin < 2000; ++spin) {
        const std::uint64_t v = value.load(std::memory_order_acquire);
        if (ready(v)) return v;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
    for (;;) {
        const std::uint64_t v = value.load(std::memory_order_acquire);
        if (ready(v)) return v;
        value.wait(v, std::memory_order_acquire);
    }
}

// Carries tokens from the walk to the numbering in chunks. The first chunk is numbered on the
// calling thread; then the numbering moves to a thread of its own and the chunks go round a
// ring. Without a second thread the numbering stays, a chunk at a time.
class TokenPipe {
public:
    static constexpr std::size_t kChunk = 2048;  // tokens
    static constexpr std::size_t kChunks = 32;
    // A side that finds the ring full (or empty) sleeps until half of it is free (or filled),
    // so the two wake each other about once per half turn, not once per chunk.
    static constexpr std::size_t kHalf = kChunks / 2;

    TokenPipe(std::vector<Token>& tokens, Numbering& numbering)
        : tokens_(tokens), numbering_(numbering) {
        if (tokens_.size() < kChunk * kChunks) tokens_.resize(kChunk * kChunks);
        fill_ = tokens_.data();
        end_ = fill_ + kChunk;
    }
    TokenPipe(const TokenPipe&) = delete;
    TokenPipe& operator=(const TokenPipe&) = delete;
    ~TokenPipe() {
        if (thread_.joinable()) {
            stopThread();
            thread_.join();
        }
    }

    [[gnu::always_inline]] void put(const Token& t) {
        if (fill_ == end_) flush();
        *fill_++ = t;
    }
    // True once the numbering has failed: the walk may stop.
    bool stopped() const { return stopped_; }

    // Hands over what is left. True when the numbering took every token; rethrows what the
    // numbering's thread threw.
    bool finish() {
        if (!thread_.joinable()) return !stopped_ && numbering_.take(chunkStart(), count());
        if (!stopped_) {
            last_.store(produced_, std::memory_order_relaxed);
            publish();
        } else {
            stopThread();
        }
        thread_.join();
        if (error_) std::rethrow_exception(error_);
        return !failed_.load(std::memory_order_relaxed);
    }

    // Stops the numbering's thread without handing over the rest, when the walk failed.
    void abandon() {
        stopped_ = true;
        if (thread_.joinable()) {
            stopThread();
            thread_.join();
        }
    }

private:
    static constexpr std::uint64_t kStop = std::uint64_t{1} << 63;

    Token* chunkStart() const { return end_ - kChunk; }
    std::size_t count() const { return static_cast<std::size_t>(fill_ - chunkStart()); }

    [[gnu::noinline]] void flush() {
        if (stopped_) {
            fill_ = chunkStart();  // the walk is being stopped; what it sends is of no use
            return;
        }
        if (!thread_.joinable()) {
            if (!numbering_.take(chunkStart(), count())) {
                stopped_ = true;
                fill_ = chunkStart();
                return;
            }
            fill_ = chunkStart();
            if (!threadTried_) startThread();
            return;
        }
        publish();
        // The next chunk is free once the numbering has released the one kChunks before it.
        const std::uint64_t needed = produced_ + 1 > kChunks ? produced_ + 1 - kChunks : 0;
        std::uint64_t r = released_.load(std::memory_order_acquire);
        if (!(r & kStop) && r < needed) {
            r = waitUntil(released_, [needed](std::uint64_t v) {
                return (v & kStop) || v >= needed + kHalf - 1;
            });
        }
        if (r & kStop) stopped_ = true;
        Token* start = tokens_.data() + (produced_ % kChunks) * kChunk;
        fill_ = start;
        end_ = start + kChunk;
    }

    void publish() {
        counts_[produced_ % kChunks] = count();
        ++produced_;
        published_.store(produced_, std::memory_order_release);
        published_.notify_one();
    }

    void startThread() {
        threadTried_ = true;
        if (std::thread::hardware_concurrency() < 2) return;
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // No thread to be had: the numbering stays on this one.
        }
    }

    void stopThread() {
        published_.fetch_or(kStop, std::memory_order_acq_rel);
        published_.notify_one();
    }

    // The numbering's thread: takes the chunks in order and releases each for reuse.
    void run() {
        try {
            for (std::uint64_t k = 0;; ++k) {
                std::uint64_t p = published_.load(std::memory_order_acquire);
                if (!(p & kStop) && p <= k) {
                    p = waitUntil(published_, [this, k](std::uint64_t v) {
                        return (v & kStop) || v > k + kHalf - 1 ||
                               (v > k && last_.load(std::memory_order_relaxed) < v);
                    });
                }
                if (p & kStop) break;
                const Token* chunk = tokens_.data() + (k % kChunks) * kChunk;
                if (!numbering_.take(chunk, counts_[k % kChunks])) {
                    failed_.store(true, std::memory_order_relaxed);
                    break;
                }
                if (k == last_.load(std::memory_order_relaxed)) return;
                released_.store(k + 1, std::memory_order_release);
                released_.notify_one();
            }
        } catch (...) {
            error_ = std::current_exception();
        }
        released_.fetch_or(kStop, std::memory_order_acq_rel);
        released_.notify_one();
    }

    std::vector<Token>& tokens_;
    Numbering& numbering_;
    Token* fill_;
    Token* end_;
    bool stopped_ = false;
    bool threadTried_ = false;
    std::uint64_t produced_ = 0;  // chunks published
    std::array<std::size_t, kChunks> counts_{};
    std::atomic<std::uint64_t> published_{0};
    std::atomic<std::uint64_t> released_{0};
    std::atomic<std::uint64_t> last_{~std::uint64_t{0}};
    std::atomic<bool> failed_{false};
    std::exception_ptr error_;
    std::thread thread_;
};

// The memory of containers is asked for ahead of the walk in two stages, the second relying on
// the first having arrived: the objects of containers (and the bytes of long strings and data)
// kObjectsAhead elements on, the first element lines of containers kElementsAhead on
// (distances found by measuring the preferences benchmark).
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
    const std::size_t bytes = std::min<std::size_t>(items.size_bytes(), 640);
    for (std::size_t o = 0; o < bytes; o += 64)
        __builtin_prefetch(p + o);
}

inline void prefetchElements(const Value& v) {
    if (v.type() == Value::Type::Dictionary)
        prefetchLines(v.dictionaryPtr()->entries());
    else if (v.type() == Value::Type::Array)
        prefetchLines(std::span<const Value>(v.arrayPtr()->items()));
}

// Asks for the objects of a container's first elements, before its keys are read.
template <typename Child>
inline void prefetchFirst(std::size_t n, Child child) {
    for (std::size_t i = 0; i < n && i < kObjectsAhead; ++i)
        prefetchValue(child(i));
}

// Visits elements 0 to n - 1 in order (child(j) is element j) while the memory of later ones is
// asked for in the two stages; stops at the first visit that fails.
template <typename Child, typename Visit>
inline bool visitInOrder(std::size_t n, Child child, Visit visit, bool askAhead = true) {
    if (!askAhead) {
        for (std::size_t i = 0; i < n; ++i)
            if (!visit(i)) return false;
        return true;
    }
    for (std::size_t i = 0; i < n && i < kElementsAhead; ++i)
        prefetchElements(child(i));
    for (std::size_t i = 0; i < n; ++i) {
        if (i + kObjectsAhead < n) prefetchValue(child(i + kObjectsAhead));
        if (i + kElementsAhead < n) prefetchElements(child(i + kElementsAhead));
        if (!visit(i)) return false;
    }
    return true;
}

// The bytes of data: a non-null pointer even when empty keeps the leaf table from taking it as
// a scalar.
inline const char* dataBytes(const Data& d) {
    return d.data() ? reinterpret_cast<const char*>(d.data()) : "";
}

// The walk: reads the tree in numbering order and sends it as tokens. It refuses what cannot be
// written: nesting too deep, a container that holds itself, an absent value.
class Walker {
public:
    Walker(TokenPipe& pipe, PathSet& path) : pipe_(pipe), path_(path) {}

    bool walk(const Value& root) {
        const bool walked = element(root, 0);
        if (held_.slots) sendHeld();
        return walked;
    }

private:
    // depth is the number of containers around v. In line in the loops over containers: most
    // values are leaves, and a call costs more than sending one.
    [[gnu::always_inline]] bool element(const Value& v, int depth) {
        switch (v.type()) {
            case Value::Type::Array:
                return array(*v.arrayPtr(), depth);
            case Value::Type::Dictionary:
                return dictionary(*v.dictionaryPtr(), depth);
            case Value::Type::Boolean:
            case Value::Type::Integer:
            case Value::Type::Real:
            case Value::Type::Date:
            case Value::Type::Uid:
            case Value::Type::String: {
                ShortLeaf s;
                if (shortLeaf(v, s))
                    leaf(s);
                else
                    string(*v.ifString());  // longer than a short form holds
                return true;
            }
            case Value::Type::Data: {
                const Data& d = *v.ifData();
                send(Token{reinterpret_cast<std::uintptr_t>(dataBytes(d)), d.size(), 0, 0,
                           Op::Data});
                return true;
            }
            case Value::Type::Absent:
                return false;
        }
        return false;
    }

    // Sends a token, after those held back: they come before it.
    [[gnu::always_inline]] void send(const Token& t) {
        if (held_.slots) sendHeld();
        pipe_.put(t);
    }

    // Sends a leaf, or only its slot when it is the leaf sent last with that slot. The numbering
    // keeps the number of the leaf last sent with each slot, so a leaf that repeats costs it no
    // lookup, and the walk, which waits less, does the comparing. Repeated leaves mostly come
    // in runs (keys, an action's flags), and the slots of a run travel together.
    [[gnu::always_inline]] void leaf(const ShortLeaf& s) {
        const std::size_t home = RecentLeaves::home(s);
        ShortLeaf& sent = sent_[home];
        if (sent == s) {
            if (held_.op != Op::Repeats && held_.slots) sendHeld();
            held_.op = Op::Repeats;
            packSlot(held_.low, held_.high, held_.slots, home);
            if (++held_.slots == kMaxPacked) sendHeld();
            return;
        }
        // Field by field, as in sameKeys().
        sent.a = s.a;
        sent.b = s.b;
        sent.meta = s.meta;
        send(Token{s.a, s.b, s.meta, static_cast<std::uint16_t>(home), Op::Leaf});
    }

    [[gnu::noinline]] void sendHeld() {
        const std::size_t meta = held_.op == Op::Repeats
                                     ? held_.slots
                                     : held_.size | (held_.slots / held_.size) << 8;
        pipe_.put(Token{held_.low, held_.high, static_cast<std::uint32_t>(meta), 0, held_.op});
        held_ = Held{};
    }

    [[gnu::always_inline]] void string(const std::string& s) {
        if (s.size() > 16) {
            send(Token{reinterpret_cast<std::uintptr_t>(s.data()), s.size(), 0, 0, Op::LongString});
            return;
        }
        const ShortLeaf k = shortString(s.data(), s.size());
        leaf(k);
    }

    bool enter(const void* container, int depth) {
        return !pipe_.stopped() && path_.enter(container, depth);
    }
    void leave(const void* container, int depth) { path_.leave(container, depth); }

    // A tree read from a file lies in memory in the order the walk reads it, a container before
    // what it holds, and the processor's own prefetching follows it: asking for memory ahead
    // then only costs. A tree built piece by piece has its containers after what they hold and
    // needs it. Where the first container inside each container lies tells which.
    void meet(const void* container) {
        if (current_ && !firstSeen_) {
            const int step = container > current_ ? 1 : -1;
            parentFirst_ = std::clamp(parentFirst_ + step, -kEvidence, kEvidence);
        }
        firstSeen_ = true;
    }
    struct Inside {
        Inside(Walker& w, const void* container) : walker(w), outer(w.current_) {
            w.meet(container);
            w.current_ = container;
            w.firstSeen_ = false;
            askAhead = w.parentFirst_ <= 0;
        }
        ~Inside() {
            walker.current_ = outer;
            walker.firstSeen_ = true;  // the outer container has met its first container
        }
        Inside(const Inside&) = delete;
        Inside& operator=(const Inside&) = delete;

        Walker& walker;
        const void* outer;
        bool askAhead;
    };

    [[gnu::noinline]] bool array(const Array& a, int depth) {
        if (!enter(&a, depth)) return false;
        const auto& items = a.items();
        const std::size_t n = items.size();
        send(Token{0, n, 0, 0, Op::Array});
        const auto itemAt = [&items](std::size_t j) -> const Value& { return items[j]; };
        const Inside inside(*this, &a);
        if (inside.askAhead) prefetchFirst(n, itemAt);
        if (!visitInOrder(
                n, itemAt,
                [&](std::size_t i) __attribute__((always_inline)) {
                    return element(items[i], depth + 1);
                },
                inside.askAhead))
            return false;
        leave(&a, depth);
        return true;
    }

    [[gnu::noinline]] bool dictionary(const Dictionary& d, int depth) {
        const auto& entries = d.entries();
        const std::size_t n = entries.size();
        const bool same = sameKeys(entries);
        // A packed dictionary holds only leaves, so it cannot hold itself: of the path, only
        // its depth needs checking.
        if (same && depth < maxPropertyListDepth && sendPacked(entries)) {
            meet(&d);
            return true;
        }
        if (!enter(&d, depth)) return false;
        const auto valueAt = [&entries](std::size_t j) -> const Value& {
            return entries[j].second;
        };
        const Inside inside(*this, &d);
        if (inside.askAhead) prefetchFirst(n, valueAt);
        send(Token{0, n, 0, 0, Op::Dict});
        if (same)
            pipe_.put(Token{0, n, 0, 0, Op::SameKeys});
        else
            keys(entries);
        if (!visitInOrder(
                n, valueAt,
                [&](std::size_t i) __attribute__((always_inline)) {
                    return element(entries[i].second, depth + 1);
                },
                inside.askAhead))
            return false;
        leave(&d, depth);
        return true;
    }

    // Compares a dictionary's keys with the last run of its size, and remembers them as the
    // run: true when they are that run.
    bool sameKeys(std::span<const Dictionary::Entry> entries) {
        const std::size_t n = entries.size();
        if (n == 0 || n > kMaxKeyRun) return false;
        std::array<ShortLeaf, kMaxKeyRun>& run = keyRuns_[n];
        std::size_t i = 0;
        if (runKnown_[n]) {
            for (; i < n; ++i) {
                const std::string& k = entries[i].first;
                if (k.size() > 16 || !(shortString(k.data(), k.size()) == run[i])) break;
            }
            if (i == n) return true;
        }
        // From the first key that differs on, these keys become the run.
        for (; i < n && entries[i].first.size() <= 16; ++i) {
            const std::string& k = entries[i].first;
            const ShortLeaf s = shortString(k.data(), k.size());
            // Field by field: a whole copy goes through the stack with the padding, and reading
            // it back stalls on the narrower stores before it.
            run[i].a = s.a;
            run[i].b = s.b;
            run[i].meta = s.meta;
        }
        // A run with a long key is not remembered.
        runKnown_[n] = i == n;
        return false;
    }

    // Sends the keys of a dictionary that sameKeys() found to be no run.
    void keys(std::span<const Dictionary::Entry> entries) {
        const std::size_t n = entries.size();
        if (n >= 1 && n <= kMaxKeyRun && runKnown_[n]) {
            for (std::size_t j = 0; j < n; ++j)
                leaf(keyRuns_[n][j]);
            return;
        }
        for (const auto& e : entries)
            string(e.first);
    }

    // Most dictionaries of a preferences file are an action's few small numbers under the keys
    // of the one before: such a dictionary, when each value is the leaf last sent with its
    // slot, goes with the others in a row of its size as one token. False, sending nothing,
    // for any other.
    bool sendPacked(std::span<const Dictionary::Entry> entries) {
        const std::size_t n = entries.size();
        if (n == 0 || n > kMaxPacked) return false;
        std::array<std::size_t, kMaxPacked> slots;
        for (std::size_t i = 0; i < n; ++i) {
            ShortLeaf s;
            if (!shortLeaf(entries[i].second, s)) return false;
            slots[i] = RecentLeaves::home(s);
            if (!(sent_[slots[i]] == s)) return false;
        }
        if (held_.slots &&
            (held_.op != Op::PackedDict || held_.size != n || held_.slots + n > kMaxPacked))
            sendHeld();
        held_.op = Op::PackedDict;
        held_.size = n;
        for (std::size_t i = 0; i < n; ++i)
            packSlot(held_.low, held_.high, held_.slots++, slots[i]);
        return true;
    }

    // The short form of a scalar or a string of at most 16 bytes.
    static bool shortLeaf(const Value& v, ShortLeaf& s) {
        switch (v.type()) {
            case Value::Type::Boolean:
            case Value::Type::Integer:
            case Value::Type::Real:
            case Value::Type::Date:
            case Value::Type::Uid:
                s = scalarLeaf(v);
                return true;
            case Value::Type::String: {
                const std::string& str = *v.ifString();
                if (str.size() > 16) return false;
                s = shortString(str.data(), str.size());
                return true;
            }
            default:
                return false;
        }
    }

    TokenPipe& pipe_;
    PathSet& path_;
    std::array<std::array<ShortLeaf, kMaxKeyRun>, kMaxKeyRun + 1> keyRuns_;
    std::array<bool, kMaxKeyRun + 1> runKnown_{};
    // The leaf last sent with each slot; a short form's meta is never 0.
    std::array<ShortLeaf, std::size_t{1} << RecentLeaves::kBits> sent_{};
    // Repeated leaves, or packed dictionaries of one size, held back to go as one token.
    struct Held {
        Op op = Op::Repeats;
        std::size_t size = 0;   // entries of each dictionary
        std::size_t slots = 0;  // in use
        std::uint64_t low = 0;  // the slots, packed as in the token
        std::uint64_t high = 0;
    };
    Held held_;

    static constexpr int kEvidence = 8;
    const void* current_ = nullptr;  // the container being visited
    bool firstSeen_ = false;         // whether a container inside it has been met
    // Containers met first inside others that lay after them, less those that lay before.
    int parentFirst_ = 0;
};

// The direct write, for trees too small to be worth a second thread: one recursive pass that
// numbers as it walks.
class DirectWriter {
public:
    DirectWriter(ObjectTable& table, PathSet& path) : table_(table), path_(path) {}

    bool write(const Value& root) {
        std::uint32_t index = 0;
        return element(root, 0, index);
    }

private:
    bool element(const Value& v, int depth, std::uint32_t& index) {
        switch (v.type()) {
            case Value::Type::Array:
                return array(*v.arrayPtr(), depth, index);
            case Value::Type::Dictionary:
                return dictionary(*v.dictionaryPtr(), depth, index);
            case Value::Type::Boolean:
            case Value::Type::Integer:
            case Value::Type::Real:
            case Value::Type::Date:
            case Value::Type::Uid:
                return table_.leaf(scalarLeaf(v), index);
            case Value::Type::String:
                return table_.string(*v.ifString(), index);
            case Value::Type::Data: {
                const Data& d = *v.ifData();
                return table_.data(dataBytes(d), d.size(), index);
            }
            case Value::Type::Absent:
                return false;
        }
        return false;
    }

    bool enter(const void* container, int depth) { return path_.enter(container, depth); }
    void leave(const void* container, int depth) { path_.leave(container, depth); }

    bool array(const Array& a, int depth, std::uint32_t& index) {
        if (!enter(&a, depth)) return false;
        const auto& items = a.items();
        const std::size_t n = items.size();
        std::uint64_t first = 0;
        if (!table_.container(false, n, index, first)) return false;
        const auto itemAt = [&items](std::size_t j) -> const Value& { return items[j]; };
        prefetchFirst(n, itemAt);
        const bool written = visitInOrder(n, itemAt, [&](std::size_t i) {
            std::uint32_t child = 0;
            if (!element(items[i], depth + 1, child)) return false;
            table_.setRef(first + i, toRef(child));
            return true;
        });
        if (!written) return false;
        leave(&a, depth);
        return true;
    }

    // Keys first, all of them in order, then the values depth-first.
    bool dictionary(const Dictionary& d, int depth, std::uint32_t& index) {
        if (!enter(&d, depth)) return false;
        const auto& entries = d.entries();
        const std::size_t n = entries.size();
        std::uint64_t first = 0;
        if (!table_.container(true, n, index, first)) return false;
        const auto valueAt = [&entries](std::size_t j) -> const Value& {
            return entries[j].second;
        };
        prefetchFirst(n, valueAt);
        for (std::size_t i = 0; i < n; ++i) {
            std::uint32_t key = 0;
            if (!table_.string(entries[i].first, key)) return false;
            table_.setRef(first + i, toRef(key));
        }
        const bool written = visitInOrder(n, valueAt, [&](std::size_t i) {
            std::uint32_t value = 0;
            if (!element(entries[i].second, depth + 1, value)) return false;
            table_.setRef(first + n + i, toRef(value));
            return true;
        });
        if (!written) return false;
        leave(&d, depth);
        return true;
    }

    ObjectTable& table_;
    PathSet& path_;
};

// Values in the root and the containers directly in it: a cheap guess at the size of a tree,
// enough to tell a preferences file of thousands of settings sets from a small one.
std::size_t topLevelSize(const Value& root) {
    const auto sizeOf = [](const Value& v) -> std::size_t {
        if (const Dictionary* d = v.dictionaryPtr()) return d->size();
        if (const Array* a = v.arrayPtr()) return a->size();
        return 0;
    };
    std::size_t n = sizeOf(root);
    if (const Dictionary* d = root.dictionaryPtr())
        for (const auto& e : *d)
            n += sizeOf(e.second);
    else if (const Array* a = root.arrayPtr())
        for (const Value& v : *a)
            n += sizeOf(v);
    return n;
}

// Trees whose top levels hold at least this many values are written by the pipeline.
constexpr std::size_t kPipelineFrom = 2000;

bool numberPipelined(const Value& root, ObjectTable& table, Scratch& scratch,
                     StreamedLayout* layout) {
    Numbering numbering(table, layout);
    TokenPipe pipe(scratch.tokens, numbering);
    if (!Walker(pipe, scratch.path).walk(root)) {
        pipe.abandon();
        return false;
    }
    return pipe.finish() && numbering.complete();
}

// Numbers value's objects, then lays them out into out; false when value is refused or out
// refuses bytes.
template <typename Output>
bool writeBinary(const Value& value, detail::BinaryWriteMode mode, Output& out) {
    thread_local Scratch scratch;
    // Reset however the write ends, a thrown bad_alloc included, so no stale object numbers or
    // path entries reach the next write.
    struct Reset {
        Scratch& scratch;
        bool failed = true;
        ~Reset() { scratch.reset(failed); }
    } reset{scratch};
    ObjectTable table(scratch);
    const bool pipelined =
        mode == detail::BinaryWriteMode::Pipelined ||
        (mode == detail::BinaryWriteMode::Automatic && topLevelSize(value) >= kPipelineFrom);
    std::optional<StreamedLayout> layout;
    if constexpr (std::is_same_v<Output, SinkOutput>)
        if (pipelined && out.sink().takesRewrites()) layout.emplace(table, out);
    const bool numbered = pipelined
                              ? numberPipelined(value, table, scratch, layout ? &*layout : nullptr)
                              : DirectWriter(table, scratch.path).write(value);
    if (!numbered) return false;
    bool written = false;
    if constexpr (std::is_same_v<Output, SinkOutput>)
        written = layout ? layout->finish() : table.serialise(out);
    else
        written = table.serialise(out);
    reset.failed = false;
    return written;
}

}  // namespace

namespace detail {

std::optional<std::string> writeBinaryPropertyList(const Value& value, BinaryWriteMode mode) {
    StringOutput out;
    if (!writeBinary(value, mode, out)) return std::nullopt;
    return out.take();
}

bool writeBinaryPropertyList(const Value& value, BinaryWriteMode mode, ByteSink& sink) {
    thread_local StreamBuffers buffers;
    SinkOutput out(sink, buffers);
    return writeBinary(value, mode, out);
}

}  // namespace detail

std::optional<std::string> writeBinaryPropertyList(const Value& value) {
    return detail::writeBinaryPropertyList(value, detail::BinaryWriteMode::Automatic);
}

bool writeBinaryPropertyList(const Value& value, ByteSink& sink) {
    return detail::writeBinaryPropertyList(value, detail::BinaryWriteMode::Automatic, sink);
}

}  // namespace quillon
