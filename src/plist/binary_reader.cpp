// Reads binary property lists (version 1.0), refusing anything malformed or out of proportion.
#include <algorithm>
#include <cstring>
#include <vector>

#include "plist/binary_format.h"
#include "plist/property_list.h"

namespace quillon {

namespace {

namespace bf = binary_format;

// What reading costs in memory, roughly: a container with its control block, each array slot
// and dictionary entry, each byte of a string or data (a UTF-16 unit takes up to three bytes
// of UTF-8). A tree read from one file is held to kMemoryBudget, whatever it shares.
constexpr std::uint64_t kContainerCost = 128;
constexpr std::uint64_t kItemCost = sizeof(Value);
constexpr std::uint64_t kEntryCost = sizeof(Dictionary::Entry);
constexpr std::uint64_t kUtf16Cost = 3;
constexpr std::uint64_t kMemoryBudget = std::uint64_t{384} << 20;

class BinaryReader {
public:
    explicit BinaryReader(std::string_view bytes)
        : data_(reinterpret_cast<const std::uint8_t*>(bytes.data())), size_(bytes.size()) {}

    Value read() {
        std::uint64_t top = 0;
        if (!readTrailer(top)) return {};
        top_ = top;
        // A file that repeats nothing reads into memory a small multiple of its size; only
        // containers referenced from many places go beyond, and then the whole expansion is
        // measured before more is built.
        budgetGiven_ =
            std::min<std::uint64_t>(256 * std::uint64_t{size_} + (1u << 20), kMemoryBudget);
        budgetLeft_ = budgetGiven_;
        Value root;
        if (!readObject(top, 0, root)) return {};
        return root;
    }

private:
    bool readTrailer(std::uint64_t& top) {
        // Header, at least one one-byte object, a one-entry offset table and the trailer.
        if (size_ < bf::kHeaderSize + 2 + bf::kTrailerSize) return false;
        if (std::memcmp(data_, bf::kMagic.data(), bf::kHeaderSize) != 0) return false;
        const std::uint8_t* t = data_ + size_ - bf::kTrailerSize;
        offsetSize_ = t[6];
        refSize_ = t[7];
        numObjects_ = bf::loadBig<std::uint64_t>(t + 8);
        top = bf::loadBig<std::uint64_t>(t + 16);
        const std::uint64_t tableOffset = bf::loadBig<std::uint64_t>(t + 24);
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8) return false;
        if (numObjects_ == 0 || top >= numObjects_) return false;
        const std::uint64_t tableLimit = size_ - bf::kTrailerSize;
        if (tableOffset <= bf::kHeaderSize || tableOffset > tableLimit) return false;
        if (numObjects_ > (tableLimit - tableOffset) / offsetSize_) return false;
        objectsEnd_ = tableOffset;
        offsetTable_ = data_ + tableOffset;
        return true;
    }

    // The offset of object ref, which must lie between the header and the offset table.
    bool objectOffset(std::uint64_t ref, std::uint64_t& offset) const {
        if (ref >= numObjects_) return false;
        offset = bf::loadBig(offsetTable_ + ref * offsetSize_, offsetSize_);
        return offset >= bf::kHeaderSize && offset < objectsEnd_;
    }

    // Reads the count in the low nibble of the marker at p, or the integer object after it.
    // `end` is the number of bytes from p to the end of the objects; sets `header` to the
    // bytes taken by marker and count.
    static bool readCount(const std::uint8_t* p, std::uint64_t end, std::uint64_t& count,
                          std::uint64_t& header) {
        const unsigned nibble = p[0] & 0x0F;
        if (nibble != bf::kLongCount) {
            count = nibble;
            header = 1;
            return true;
        }
        if (end < 2 || (p[1] & 0xF0) != bf::kInt || (p[1] & 0x0F) > 3) return false;
        const unsigned width = 1u << (p[1] & 0x0F);
        if (end < 2 + std::uint64_t{width}) return false;
        count = bf::loadBig(p + 2, width);
        header = 2 + width;
        return true;
    }

    // Takes n bytes of memory from the budget. The first time the small budget runs out, the
    // whole expansion of the file is measured: beyond kMemoryBudget it is refused at once, having
    // built little; within, the read goes on with the rest of kMemoryBudget.
    bool spend(std::uint64_t n) {
        if (n <= budgetLeft_) {
            budgetLeft_ -= n;
            return true;
        }
        if (measured_) return false;
        measured_ = true;
        const std::uint64_t spent = budgetGiven_ - budgetLeft_;
        if (expansion(top_, 0) > kMemoryBudget || n > kMemoryBudget - spent) return false;
        budgetGiven_ = kMemoryBudget;
        budgetLeft_ = kMemoryBudget - spent - n;
        return true;
    }

    // What a string or data object costs when read; 0 for other leaves and for anything
    // malformed, which the read itself refuses.
    std::uint64_t leafCost(std::uint64_t ref) const {
        std::uint64_t offset = 0, count = 0, header = 0;
        if (!objectOffset(ref, offset)) return 0;
        const std::uint8_t* p = data_ + offset;
        const unsigned kind = p[0] >> 4;
        if (kind < 0x4 || kind > 0x6 || !readCount(p, objectsEnd_ - offset, count, header))
            return 0;
        // Bounded by the file, so that sums cannot overflow; a longer count is refused anyway.
        count = std::min(count, objectsEnd_);
        return kind == 0x6 ? kUtf16Cost * count : count;
    }

    // The memory that reading object ref at depth costs with everything it holds, each object
    // counted as often as it is referenced, and above kMemoryBudget for an object that holds
    // itself or nests too deep. Each object is measured once.
    std::uint64_t expansion(std::uint64_t ref, int depth) {
        constexpr std::uint64_t kTooMuch = kMemoryBudget + 1;
        constexpr std::uint64_t kUnmeasured = ~std::uint64_t{0}, kMeasuring = kUnmeasured - 1;
        if (measures_.empty()) measures_.assign(numObjects_, kUnmeasured);
        std::uint64_t offset = 0;
        if (!objectOffset(ref, offset)) return 0;
        std::uint64_t& measure = measures_[ref];
        if (measure == kMeasuring) return kTooMuch;
        if (measure != kUnmeasured) return measure;
        const std::uint8_t* p = data_ + offset;
        const unsigned kind = p[0] >> 4;
        std::uint64_t count = 0, header = 0;
        if (kind != 0xA && kind != 0xC && kind != 0xD) return measure = leafCost(ref);
        if (depth >= maxPropertyListDepth) return measure = kTooMuch;
        const std::uint64_t slots = kind == 0xD ? 2 : 1;
        if (!readCount(p, objectsEnd_ - offset, count, header) ||
            count > (objectsEnd_ - offset - header) / (slots * refSize_))
            return measure = 0;
        measure = kMeasuring;
        std::uint64_t total = kContainerCost + count * (kind == 0xD ? kEntryCost : kItemCost);
        const std::uint8_t* refs = p + header;
        for (std::uint64_t i = 0; i < count && total <= kMemoryBudget; ++i) {
            if (kind == 0xD) total += leafCost(refAt(refs, i));
            total += expansion(refAt(refs, (slots - 1) * count + i), depth + 1);
        }
        return measure = std::min(total, kTooMuch);
    }

    // depth is the number of containers around this object.
    bool readObject(std::uint64_t ref, int depth, Value& out) {
        std::uint64_t offset = 0;
        if (!objectOffset(ref, offset)) return false;
        const std::uint8_t* p = data_ + offset;
        const std::uint64_t end = objectsEnd_ - offset;  // >= 1
        const std::uint8_t marker = p[0];
        switch (marker >> 4) {
            case 0x0:
                if (marker == bf::kNull) return true;  // absent; the container leaves it out
                if (marker == bf::kFalse || marker == bf::kTrue) {
                    out = Value(marker == bf::kTrue);
                    return true;
                }
                return false;
            case 0x1: {
                const unsigned nibble = marker & 0x0F;
                if (nibble > 4) return false;
                const unsigned width = 1u << nibble;
                if (end < 1 + std::uint64_t{width}) return false;
                if (width == 16) {
                    const std::uint64_t high = bf::loadBig<std::uint64_t>(p + 1);
                    const std::uint64_t low = bf::loadBig<std::uint64_t>(p + 9);
                    if (high == 0) {
                        out = Value(Integer::fromUnsigned(low));
                    } else if (high == ~std::uint64_t{0} && (low >> 63) != 0) {
                        out = Value(Integer(static_cast<std::int64_t>(low)));
                    } else {
                        return false;
                    }
                    return true;
                }
                // 1, 2 and 4 bytes are unsigned, 8 bytes two's complement.
                out = Value(Integer(static_cast<std::int64_t>(bf::loadBig(p + 1, width))));
                return true;
            }
            case 0x2:
                if (marker == bf::kReal64 && end >= 9) {
                    const std::uint64_t bits = bf::loadBig<std::uint64_t>(p + 1);
                    double d;
                    std::memcpy(&d, &bits, sizeof d);
                    out = Value(d);
                    return true;
                }
                if (marker == bf::kReal32 && end >= 5) {
                    const std::uint32_t bits = bf::loadBig<std::uint32_t>(p + 1);
                    float f;
                    std::memcpy(&f, &bits, sizeof f);
                    out = Value(static_cast<double>(f));
                    return true;
                }
                return false;
            case 0x3: {
                if (marker != bf::kDate || end < 9) return false;
                const std::uint64_t bits = bf::loadBig<std::uint64_t>(p + 1);
                Date date;
                std::memcpy(&date.seconds, &bits, sizeof date.seconds);
                out = Value(date);
                return true;
            }
            case 0x4: {
                std::uint64_t count = 0, header = 0;
                if (!readCount(p, end, count, header)) return false;
                if (count > end - header || !spend(count)) return false;
                const std::uint8_t* first = p + header;
                out = Value(Data(first, first + count));
                return true;
            }
            case 0x5:
            case 0x6: {
                std::string s;
                if (!readString(p, end, s)) return false;
                out = Value(std::move(s));
                return true;
            }
            case 0x8: {
                const unsigned width = (marker & 0x0F) + 1u;
                if (end < 1 + std::uint64_t{width}) return false;
                // Wider than 8 bytes only as leading zeros.
                const unsigned skip = width > 8 ? width - 8 : 0;
                for (unsigned i = 0; i < skip; ++i)
                    if (p[1 + i] != 0) return false;
                out = Value(Uid{bf::loadBig(p + 1 + skip, width - skip)});
                return true;
            }
            case 0xA:
            case 0xC:  // sets read as arrays
                return readArray(ref, p, end, depth, out);
            case 0xD:
                return readDictionary(ref, p, end, depth, out);
            default:
                return false;
        }
    }

    // An ASCII or UTF-16 string object at p; anything else fails (dictionary keys use this).
    bool readString(const std::uint8_t* p, std::uint64_t end, std::string& out) {
        const std::uint8_t kind = p[0] & 0xF0;
        if (kind != bf::kAscii && kind != bf::kUtf16) return false;
        std::uint64_t count = 0, header = 0;
        if (!readCount(p, end, count, header)) return false;
        const std::uint64_t room = end - header;
        const std::uint8_t* s = p + header;
        if (kind == bf::kAscii) {
            if (count > room || !spend(count)) return false;
            const auto* text = reinterpret_cast<const char*>(s);
            if (!bf::isAscii(text, count)) return false;
            out.assign(text, count);
            return true;
        }
        if (count > room / 2 || !spend(kUtf16Cost * count)) return false;
        return utf16ToUtf8(s, count, out);
    }

    // Big-endian UTF-16 to UTF-8; an unpaired surrogate fails.
    static bool utf16ToUtf8(const std::uint8_t* s, std::uint64_t units, std::string& out) {
        // Each unit yields at most 3 bytes; a pair (two units) yields 4.
        out.resize(3 * units);
        char* o = out.data();
        const auto put = [&o](std::uint32_t b) { *o++ = static_cast<char>(b); };
        for (std::uint64_t i = 0; i < units; ++i) {
            std::uint32_t c = bf::loadBig<std::uint16_t>(s + 2 * i);
            if (c < 0x80) {
                put(c);
            } else if (c < 0x800) {
                put(0xC0 | (c >> 6));
                put(0x80 | (c & 0x3F));
            } else if (c < 0xD800 || c > 0xDFFF) {
                put(0xE0 | (c >> 12));
                put(0x80 | ((c >> 6) & 0x3F));
                put(0x80 | (c & 0x3F));
            } else {
                if (c > 0xDBFF || i + 1 >= units) return false;
                const std::uint32_t low = bf::loadBig<std::uint16_t>(s + 2 * (i + 1));
                if (low < 0xDC00 || low > 0xDFFF) return false;
                ++i;
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                put(0xF0 | (c >> 18));
                put(0x80 | ((c >> 12) & 0x3F));
                put(0x80 | ((c >> 6) & 0x3F));
                put(0x80 | (c & 0x3F));
            }
        }
        out.resize(static_cast<std::size_t>(o - out.data()));
        return true;
    }

    // Marks a container as on the current path; false when it already is (it holds itself).
    bool enter(std::uint64_t ref) {
        if (onPath_.empty()) onPath_.assign(numObjects_, 0);
        if (onPath_[ref]) return false;
        onPath_[ref] = 1;
        return true;
    }
    void leave(std::uint64_t ref) { onPath_[ref] = 0; }

    std::uint64_t refAt(const std::uint8_t* refs, std::uint64_t i) const {
        return bf::loadBig(refs + i * refSize_, refSize_);
    }

    bool readArray(std::uint64_t ref, const std::uint8_t* p, std::uint64_t end, int depth,
                   Value& out) {
        if (depth >= maxPropertyListDepth) return false;  // it would nest one level too deep
        std::uint64_t count = 0, header = 0;
        if (!readCount(p, end, count, header)) return false;
        if (count > (end - header) / refSize_ || !spend(kContainerCost + count * kItemCost))
            return false;
        if (!enter(ref)) return false;
        const std::uint8_t* refs = p + header;
        // The container first, then what it holds: the order a walk of the tree reads memory.
        ArrayRef items = Array::create();
        items->reserve(count);
        for (std::uint64_t i = 0; i < count; ++i) {
            Value item;
            if (!readObject(refAt(refs, i), depth + 1, item)) return false;
            if (item.isPresent()) items->append(std::move(item));
        }
        leave(ref);
        out = Value(std::move(items));
        return true;
    }

    bool readDictionary(std::uint64_t ref, const std::uint8_t* p, std::uint64_t end, int depth,
                        Value& out) {
        if (depth >= maxPropertyListDepth) return false;
        std::uint64_t count = 0, header = 0;
        if (!readCount(p, end, count, header)) return false;
        if (count > (end - header) / (2 * refSize_) || !spend(kContainerCost + count * kEntryCost))
            return false;
        if (!enter(ref)) return false;
        const std::uint8_t* keys = p + header;
        const std::uint8_t* values = keys + count * refSize_;
        DictionaryBuilder entries(count);
        for (std::uint64_t i = 0; i < count; ++i) {
            std::string key;
            Value value;
            std::uint64_t keyOffset = 0;
            if (!objectOffset(refAt(keys, i), keyOffset)) return false;
            if (!readString(data_ + keyOffset, objectsEnd_ - keyOffset, key)) return false;
            if (!readObject(refAt(values, i), depth + 1, value)) return false;
            if (value.isPresent()) entries.add(std::move(key), std::move(value));
        }
        leave(ref);
        out = Value(entries.finish());
        return true;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    const std::uint8_t* offsetTable_ = nullptr;
    std::uint64_t objectsEnd_ = 0;  // the offset table starts here
    std::uint64_t numObjects_ = 0;
    unsigned offsetSize_ = 0;
    unsigned refSize_ = 0;
    std::uint64_t top_ = 0;
    std::uint64_t budgetGiven_ = 0;
    std::uint64_t budgetLeft_ = 0;
    bool measured_ = false;
    std::vector<std::uint8_t> onPath_;     // by object number, filled on the first container
    std::vector<std::uint64_t> measures_;  // by object number, filled when first measured
};

}  // namespace

Value parseBinaryPropertyList(std::string_view bytes) {
    return BinaryReader(bytes).read();
}

}  // namespace quillon
