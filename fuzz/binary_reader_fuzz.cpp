// Fuzz target: hostile bytes through the binary reader; whatever parses must write back and read back equal.
#include <cstdint>
#include <string_view>

#include "round_trip_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const quillon::Value value =
        quillon::parseBinaryPropertyList(std::string_view(reinterpret_cast<const char*>(data), size));
    if (value.isPresent()) quillon::fuzz::checkBinaryRoundTrip(value);
    return 0;
}
