// The two ways a binary write can run, chosen by the size of the tree; tests hold them to the
// same bytes.
#pragma once

#include <optional>
#include <string>

#include "plist/property_list.h"
#include "plist/value.h"

namespace quillon::detail {

enum class BinaryWriteMode {
    Automatic,  // what writeBinaryPropertyList does
    Direct,     // one pass on the calling thread
    Pipelined,  // a walk and a numbering, the numbering on a second thread where there is one
};

std::optional<std::string> writeBinaryPropertyList(const Value& value, BinaryWriteMode mode);
// The same handed to a sink: with the pipeline and a sink that takes rewrites, a large tree is
// laid out while it is being numbered.
bool writeBinaryPropertyList(const Value& value, BinaryWriteMode mode, ByteSink& sink);

}  // namespace quillon::detail
