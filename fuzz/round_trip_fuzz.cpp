// Fuzz target: either format in; the value must survive both writers and come back the same.
#include <cstdint>
#include <string_view>

#include "round_trip_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillon;
    PropertyListFormat format{};
    const Value value =
        parsePropertyList(std::string_view(reinterpret_cast<const char*>(data), size), &format);
    if (value.isAbsent() || !fuzz::isSmallTree(value)) return 0;
    fuzz::checkBinaryRoundTrip(value);
    fuzz::checkXmlRoundTrip(value, format == PropertyListFormat::Xml);
    // Across formats: binary holds everything XML can, so XML's reading of binary-born text
    // converts back without loss.
    if (const auto xml = writeXmlPropertyList(value)) {
        const Value fromXml = parseXmlPropertyList(*xml);
        const auto binary = writeBinaryPropertyList(fromXml);
        fuzz::check(binary && parseBinaryPropertyList(*binary) == fromXml,
                    "XML-born value does not survive binary");
    }
    return 0;
}
