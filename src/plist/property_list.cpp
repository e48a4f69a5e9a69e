// Format detection and dispatch between the binary and XML codecs.
#include "plist/property_list.h"

namespace quillon {

namespace {
constexpr std::string_view kBinaryMagic = "bplist00";
}

Value parsePropertyList(std::string_view bytes, PropertyListFormat* format) {
    if (bytes.substr(0, kBinaryMagic.size()) == kBinaryMagic) {
        if (format) *format = PropertyListFormat::Binary;
        return parseBinaryPropertyList(bytes);
    }
    if (format) *format = PropertyListFormat::Xml;
    return parseXmlPropertyList(bytes);
}

std::optional<std::string> writePropertyList(const Value& value, PropertyListFormat format) {
    return format == PropertyListFormat::Binary ? writeBinaryPropertyList(value)
                                                : writeXmlPropertyList(value);
}

}  // namespace quillon
