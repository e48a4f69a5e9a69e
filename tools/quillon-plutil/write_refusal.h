// Why a property-list writer refuses a value, in words for a user.
#pragma once

#include <string>

#include "plist/property_list.h"

namespace quillon {

// The first reason found why writing value in format fails ("the value holds a UID, which
// only binary1 can store"), or a general reason when none of the known ones applies.
std::string whyWriterRefuses(const Value& value, PropertyListFormat format);

}  // namespace quillon
