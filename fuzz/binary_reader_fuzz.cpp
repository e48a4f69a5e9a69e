// Fuzz target: hostile bytes through the binary reader; whatever parses must write back and read back equal.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "plist/property_list.h"

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "binary reader: %s\n", what);
        std::abort();
    }
}

// Bytes the reader charges to its output budget for this tree (strings at their UTF-16 worst).
std::uint64_t payloadBytes(const quillon::Value& v) {
    if (const std::string* s = v.ifString()) return 2 * s->size();
    if (const quillon::Data* d = v.ifData()) return d->size();
    std::uint64_t total = 0;
    if (const quillon::Array* a = v.arrayPtr())
        for (const quillon::Value& item : *a) total += payloadBytes(item);
    if (const quillon::Dictionary* d = v.dictionaryPtr())
        for (const auto& [key, item] : *d) total += 2 * key.size() + payloadBytes(item);
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillon;
    const Value value = parseBinaryPropertyList(std::string_view(reinterpret_cast<const char*>(data), size));
    if (value.isAbsent()) return 0;
    // A parsed tree has no cycles, no absent elements and only valid text, so it always writes.
    const auto written = writeBinaryPropertyList(value);
    check(written.has_value(), "a parsed value could not be written");
    // A rewritten file can be smaller than the input, so only a tree within the fixed part of
    // the output budget is sure to read back.
    if (payloadBytes(value) <= (std::uint64_t{1} << 20)) {
        const Value again = parseBinaryPropertyList(*written);
        check(again == value, "written output reads back different");
        check(writeBinaryPropertyList(again) == written, "written output is not a fixpoint");
    }
    return 0;
}
