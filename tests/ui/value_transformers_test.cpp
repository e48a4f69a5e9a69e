// The transformers the layouts name, over every kind of value a record may hold, and the
// length-prefixed byte strings.
#include "ui/value_transformers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace quillon {
namespace {

std::int64_t via(const char* name, const Value& value) {
    ValueTransformer transformer = valueTransformerForName(name);
    EXPECT_NE(transformer, nullptr) << name;
    return transformer ? transformer(value).asInteger() : -99;
}

TEST(value_transformers, read_every_kind_of_value_as_the_bindings_expect) {
    EXPECT_EQ(via("QUNotEmpty", Value()), 0);
    EXPECT_EQ(via("QUNotEmpty", Value("")), 0);
    EXPECT_EQ(via("QUNotEmpty", Value(" ")), 1);
    EXPECT_EQ(via("QUNotEmpty", Value(Integer(5))), 0) << "a number is not a text";
    EXPECT_EQ(via("QUNotEmpty", Value(Array::create())), 0);

    EXPECT_EQ(via("QUGreaterThanOrEqualToZero", Value()), 1);
    EXPECT_EQ(via("QUGreaterThanOrEqualToZero", Value(Integer(-1))), 0);
    EXPECT_EQ(via("QUEqualsOne", Value("1")), 1);
    EXPECT_EQ(via("QUEqualsOne", Value(1.0)), 1);
    EXPECT_EQ(via("QUEqualsOne", Value(Integer(2))), 0);
    EXPECT_EQ(via("QUNotEqualsOne", Value("1")), 0);
    EXPECT_EQ(via("QUNotEqualsOne", Value(Integer(2))), 1);
    EXPECT_EQ(via("QUIntegerValue", Value(2.7)), 2);
    EXPECT_EQ(via("QUIntegerValue", Value("12ab")), 12);
    EXPECT_EQ(via("QUIntegerValue", Value(true)), 1);
    EXPECT_EQ(valueTransformerForName("QUNoSuchThing"), nullptr);
}

TEST(value_transformers, hold_huge_and_non_finite_numbers_within_32_bits) {
    // A number far past 32 bits must not wrap round to 1 (and read as "equals one").
    EXPECT_EQ(via("QUIntegerValue", Value(Integer((std::int64_t{1} << 32) + 1))),
              std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(via("QUEqualsOne", Value(Integer((std::int64_t{1} << 32) + 1))), 0);
    EXPECT_EQ(via("QUIntegerValue", Value(Integer(std::numeric_limits<std::int64_t>::min()))),
              std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(via("QUIntegerValue", Value(std::nan(""))), 0);
    EXPECT_EQ(via("QUIntegerValue", Value(INFINITY)), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(via("QUGreaterThanOrEqualToZero", Value(-INFINITY)), 0);
    EXPECT_EQ(via("QUIntegerValue", Value("99999999999999999999999")),
              std::numeric_limits<std::int32_t>::max());
}

TEST(value_transformers, toolkit_transformers_negate_and_test_presence) {
    EXPECT_TRUE(valueTransformerForName("NSNegateBoolean")(Value()).asBool());
    EXPECT_FALSE(valueTransformerForName("NSNegateBoolean")(Value("Yes")).asBool());
    EXPECT_TRUE(valueTransformerForName("NSIsNil")(Value()).asBool());
    EXPECT_FALSE(valueTransformerForName("NSIsNil")(Value("")).asBool());
    EXPECT_TRUE(valueTransformerForName("NSIsNotNil")(Value("")).asBool());
}

TEST(pascal_strings, read_only_the_bytes_given) {
    using Bytes = std::vector<std::uint8_t>;
    auto read = [](const Bytes& bytes) { return stringWithPascalString(bytes); };
    EXPECT_EQ(read(Bytes{0}), "");
    EXPECT_EQ(read(Bytes{3, 'a', 'b', 'c', 'd'}), "abc");
    EXPECT_EQ(read(Bytes{4, 'a', 0, 'c', 'd'}), "a") << "a zero byte ends the text";
    EXPECT_EQ(read(Bytes{2, 0xC3, 0xA4}), "\xC3\xA4");
    EXPECT_EQ(read(Bytes{1, 0xFF}), std::nullopt) << "not UTF-8";
    EXPECT_EQ(read(Bytes{5, 'a', 'b'}), std::nullopt) << "the length claims more than is there";
    EXPECT_EQ(read(Bytes{}), std::nullopt);
    Bytes longest(256, 'x');
    longest[0] = 255;
    EXPECT_EQ(read(longest)->size(), 255u);
}

}  // namespace
}  // namespace quillon
