// Fuzz target: the XML reader on hostile bytes; whatever it reads must write back and stay put.
#include <cstdint>
#include <string_view>

#include "round_trip_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const quillon::Value value =
        quillon::parseXmlPropertyList(std::string_view(reinterpret_cast<const char*>(data), size));
    // Everything the reader produces is something XML can hold, so the writer must take it.
    if (value.isPresent()) quillon::fuzz::checkXmlRoundTrip(value, true);
    return 0;
}
