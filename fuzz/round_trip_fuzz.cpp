// Fuzz target: whatever parses must write back, parse again to the same value and reach a fixpoint.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "plist/property_list.h"

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "round trip broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillon;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    PropertyListFormat format{};
    const Value first = parsePropertyList(bytes, &format);
    if (first.isAbsent()) return 0;

    // The binary format holds every value exactly.
    const auto binary = writeBinaryPropertyList(first);
    check(binary.has_value(), "a parsed value could not be written as binary");
    const Value fromBinary = parseBinaryPropertyList(*binary);
    check(fromBinary == first, "binary output reads back different");
    check(writeBinaryPropertyList(fromBinary) == binary, "binary output is not a fixpoint");

    // XML cannot hold UIDs or every string; what it writes must read back and then stay put
    // (dates lose their fractions of a second once).
    const auto xml = writeXmlPropertyList(first);
    check(format != PropertyListFormat::Xml || xml.has_value(), "parsed XML could not be written as XML");
    if (xml) {
        const Value fromXml = parseXmlPropertyList(*xml);
        check(fromXml.isPresent(), "XML output does not parse");
        check(writeXmlPropertyList(fromXml) == xml, "XML output is not a fixpoint");
    }
    return 0;
}
