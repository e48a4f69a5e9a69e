// The two ways a binary write can run, chosen by the size of the tree; tests hold them to the
// same bytes.
#pragma once

#include <optional>
#include <string>

#include "plist/value.h"

namespace quillon::detail {

enum class BinaryWriteMode {
    Automatic,  // what writeBinaryPropertyList does
    Direct,     // one pass on the calling thread
    Pipelined,  // a walk and a numbering, the numbering on a second thread where there is one
};

std::optional<std::string> writeBinaryPropertyList(const Value& value, BinaryWriteMode mode);

}  // namespace quillon::detail
