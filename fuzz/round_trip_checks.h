// Checks shared by the fuzz targets: whatever a reader accepts must write back and stay put.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "plist/property_list.h"

namespace quillon::fuzz {

inline void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "round trip broken: %s\n", what);
        std::abort();
    }
}

// Bytes the binary reader charges to its output budget for this tree (strings at their UTF-16
// worst).
inline std::uint64_t payloadBytes(const Value& v) {
    if (const std::string* s = v.ifString()) return 2 * s->size();
    if (const Data* d = v.ifData()) return d->size();
    std::uint64_t total = 0;
    if (const Array* a = v.arrayPtr())
        for (const Value& item : *a)
            total += payloadBytes(item);
    if (const Dictionary* d = v.dictionaryPtr())
        for (const auto& [key, item] : *d)
            total += 2 * key.size() + payloadBytes(item);
    return total;
}

// Whether the tree holds at most limit values. A small file that shares its containers may read
// into millions of values within the reader's budget (the reader's tests cover those); walking
// such a tree several times over under the sanitizers takes longer than the fuzzer waits.
inline bool holdsAtMost(const Value& v, std::uint64_t& limit) {
    if (limit == 0) return false;
    --limit;
    if (const Array* a = v.arrayPtr())
        for (const Value& item : *a)
            if (!holdsAtMost(item, limit)) return false;
    if (const Dictionary* d = v.dictionaryPtr())
        for (const auto& [key, item] : *d)
            if (!holdsAtMost(item, limit)) return false;
    return true;
}

inline bool isSmallTree(const Value& v) {
    std::uint64_t limit = 100'000;
    return holdsAtMost(v, limit);
}

// A parsed value holds no cycle, no absent element and only valid text, so binary always takes
// it, and reads back exactly.
inline void checkBinaryRoundTrip(const Value& value) {
    const auto written = writeBinaryPropertyList(value);
    check(written.has_value(), "a parsed value could not be written as binary");
    // A rewritten file can be smaller than the input, so only a tree within the fixed part of
    // the reader's output budget is sure to read back.
    if (payloadBytes(value) > (std::uint64_t{1} << 20)) return;
    const Value again = parseBinaryPropertyList(*written);
    check(again == value, "binary output reads back different");
    check(writeBinaryPropertyList(again) == written, "binary output is not a fixpoint");
}

// XML cannot hold UIDs or every string, so it may refuse (unless mustWrite); what it writes must
// read back and then stay put (dates lose their fractions of a second once).
inline void checkXmlRoundTrip(const Value& value, bool mustWrite) {
    const auto xml = writeXmlPropertyList(value);
    check(xml.has_value() || !mustWrite, "a value read from XML could not be written as XML");
    if (!xml) return;
    const Value again = parseXmlPropertyList(*xml);
    check(again.isPresent(), "XML output does not read back");
    check(writeXmlPropertyList(again) == xml, "XML output is not a fixpoint");
}

}  // namespace quillon::fuzz
