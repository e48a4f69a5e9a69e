// The value transformers that the layouts' bindings name by class, and the length-prefixed byte
// string reading.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "plist/value.h"

namespace quillon {

// A one-way transformer: a bound value in, the value a control shows out.
using ValueTransformer = Value (*)(const Value& value);

// The integer a transformer reads from a value: the value model's integer reading, held within
// 32 bits (a larger magnitude gives the nearest 32-bit value, never a wrapped one).
std::int32_t transformerInteger(const Value& value);

// 1 when the value is a non-empty string, else 0.
Value QUNotEmpty(const Value& value);
// 1 when the integer reading is 0 or above, else 0.
Value QUGreaterThanOrEqualToZero(const Value& value);
// 1 when the integer reading is exactly 1, else 0.
Value QUEqualsOne(const Value& value);
// 1 when the integer reading is anything but 1, else 0.
Value QUNotEqualsOne(const Value& value);
// The integer reading itself.
Value QUIntegerValue(const Value& value);

// The transformer registered under a class name: the five above and the toolkit's own
// "NSNegateBoolean", "NSIsNil" and "NSIsNotNil" (booleans); nullptr for an unknown name.
ValueTransformer valueTransformerForName(std::string_view name);

// A length byte followed by that many bytes, read as UTF-8 up to the first zero byte. Absent when
// the bytes are not valid UTF-8, when the span is empty, or when the length byte claims more bytes
// than the span holds.
std::optional<std::string> stringWithPascalString(std::span<const std::uint8_t> bytes);

}  // namespace quillon
