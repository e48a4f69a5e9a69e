// Fuzz target: the XML reader on hostile bytes; whatever it reads must write back and stay put.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "plist/property_list.h"

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "XML reader broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillon;
    const Value value = parseXmlPropertyList(std::string_view(reinterpret_cast<const char*>(data), size));
    if (value.isAbsent()) return 0;
    // Everything the reader produces is something XML can hold, so the writer must take it.
    const auto xml = writeXmlPropertyList(value);
    check(xml.has_value(), "a value read from XML could not be written");
    const Value again = parseXmlPropertyList(*xml);
    check(again.isPresent(), "written XML does not read back");
    // Dates lose their fractions of a second once; after that the text stays the same.
    check(writeXmlPropertyList(again) == xml, "written XML is not a fixpoint");
    return 0;
}
