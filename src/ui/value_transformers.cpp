// The bindings' value transformers and the length-prefixed byte string reading.
#include "ui/value_transformers.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "plist/unicode.h"

namespace quillon {

namespace {

Value flag(bool on) {
    return Value(Integer(on ? 1 : 0));
}

Value negateBoolean(const Value& value) {
    return Value(!value.asBool());
}
Value isNil(const Value& value) {
    return Value(value.isAbsent());
}
Value isNotNil(const Value& value) {
    return Value(value.isPresent());
}

}  // namespace

std::int32_t transformerInteger(const Value& value) {
    const std::int64_t wide = value.asInteger();
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        wide, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

Value QUNotEmpty(const Value& value) {
    return flag(value.type() == ValueType::String && !value.asString().empty());
}

Value QUGreaterThanOrEqualToZero(const Value& value) {
    return flag(transformerInteger(value) >= 0);
}

Value QUEqualsOne(const Value& value) {
    return flag(transformerInteger(value) == 1);
}

Value QUNotEqualsOne(const Value& value) {
    return flag(transformerInteger(value) != 1);
}

Value QUIntegerValue(const Value& value) {
    return Value(Integer(transformerInteger(value)));
}

ValueTransformer valueTransformerForName(std::string_view name) {
    struct Entry {
        std::string_view name;
        ValueTransformer transformer;
    };
    static constexpr Entry kTransformers[] = {
        {"QUNotEmpty", &QUNotEmpty},
        {"QUGreaterThanOrEqualToZero", &QUGreaterThanOrEqualToZero},
        {"QUEqualsOne", &QUEqualsOne},
        {"QUNotEqualsOne", &QUNotEqualsOne},
        {"QUIntegerValue", &QUIntegerValue},
        {"NSNegateBoolean", &negateBoolean},
        {"NSIsNil", &isNil},
        {"NSIsNotNil", &isNotNil},
    };
    for (const Entry& entry : kTransformers)
        if (entry.name == name) return entry.transformer;
    return nullptr;
}

std::optional<std::string> stringWithPascalString(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return std::nullopt;
    const std::size_t length = bytes[0];
    if (length > bytes.size() - 1) return std::nullopt;
    std::string text(reinterpret_cast<const char*>(bytes.data() + 1), length);
    // A zero byte inside the counted bytes ends the string there.
    text.resize(std::strlen(text.c_str()));
    if (!isValidUtf8(text)) return std::nullopt;
    return text;
}

}  // namespace quillon
