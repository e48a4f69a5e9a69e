// Small helpers the pane's files share: product ids of device records, text placeholders and
// flags raised for a scope.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "plist/value.h"

namespace quillon {

// The product id of a device record: the low 16 bits of its `pid`, 0 for no record.
inline std::uint16_t productIDOf(const Dictionary* device) {
    return device ? static_cast<std::uint16_t>(device->integer("pid") & 0xFFFF) : 0;
}

// Replaces every occurrence of what in text by with, left to right; text inserted is not
// searched again.
inline void replaceAll(std::string& text, std::string_view what, std::string_view with) {
    if (what.empty()) return;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

// Sets the flag for the length of a scope, so an early return cannot leave it raised.
class Raised {
public:
    explicit Raised(bool& flag) : flag_(flag) { flag_ = true; }
    ~Raised() { flag_ = false; }
    Raised(const Raised&) = delete;
    Raised& operator=(const Raised&) = delete;

private:
    bool& flag_;
};

}  // namespace quillon
