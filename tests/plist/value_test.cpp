// The value model: lenient readings, ordering, sharing, listeners and deep copies.
#include "plist/value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "testing/random.h"

namespace quillon {
namespace {

TEST(value, absent_reads_as_empty_zero_false) {
    const Value v;
    EXPECT_TRUE(v.isAbsent());
    EXPECT_EQ(v.asString(), "");
    EXPECT_EQ(v.asInteger(), 0);
    EXPECT_FALSE(v.asBool());
    EXPECT_EQ(v.asReal(), 0.0);
    EXPECT_EQ(v.dictionary(), nullptr);
    auto d = Dictionary::create();
    EXPECT_TRUE(d->get("missing").isAbsent());
    EXPECT_EQ(d->string("missing"), "");
    EXPECT_EQ(d->integer("missing"), 0);
}

TEST(value, integer_reading_rule) {
    EXPECT_EQ(Value(42).asInteger(), 42);
    EXPECT_EQ(Value(-7.9).asInteger(), -7);
    EXPECT_EQ(Value(true).asInteger(), 1);
    EXPECT_EQ(Value("  -12abc").asInteger(), -12);
    EXPECT_EQ(Value("+0033").asInteger(), 33);
    EXPECT_EQ(Value("abc").asInteger(), 0);
    EXPECT_EQ(Value(Data{1, 2}).asInteger(), 0);
    // Out-of-range text and reals saturate instead of overflowing.
    EXPECT_EQ(Value("99999999999999999999").asInteger(), INT64_MAX);
    EXPECT_EQ(Value("-99999999999999999999").asInteger(), INT64_MIN);
    EXPECT_EQ(Value("-9223372036854775808").asInteger(), INT64_MIN);
    EXPECT_EQ(Value(1e300).asInteger(), INT64_MAX);
    EXPECT_EQ(Value(std::nan("")).asInteger(), 0);
    EXPECT_EQ(Value(std::numeric_limits<std::uint64_t>::max()).asInteger(), INT64_MAX);
}

TEST(value, boolean_and_real_reading_rules) {
    for (const char* yes : {"YES", "yes", " true", "T", "1", "9x"}) EXPECT_TRUE(Value(yes).asBool()) << yes;
    for (const char* no : {"NO", "false", "0", "", "  ", "-1", "x"}) EXPECT_FALSE(Value(no).asBool()) << no;
    EXPECT_TRUE(Value(0.5).asBool());
    EXPECT_FALSE(Value(0).asBool());
    EXPECT_TRUE(Value(std::numeric_limits<std::uint64_t>::max()).asBool());
    EXPECT_DOUBLE_EQ(Value(" 2.5e1").asReal(), 25.0);
    EXPECT_EQ(Value("nan").asReal(), 0.0);
    EXPECT_EQ(Value("0x10").asReal(), 0.0);
    EXPECT_EQ(Value(3).asReal(), 3.0);
}

TEST(value, big_unsigned_integers_stay_distinct_from_signed) {
    const Integer big = Integer::fromUnsigned(std::numeric_limits<std::uint64_t>::max());
    EXPECT_TRUE(big.isBigUnsigned());
    EXPECT_NE(Value(big), Value(-1));
    EXPECT_EQ(Value(Integer::fromUnsigned(5)), Value(5));
    EXPECT_FALSE(Integer::fromUnsigned(INT64_MAX).isBigUnsigned());
}

TEST(dictionary, keys_iterate_in_code_unit_order_and_last_duplicate_wins) {
    auto d = Dictionary::fromEntries({{"b", 1}, {"a", 2}, {"B", 3}, {"a", 4}, {"é", 5}});
    std::vector<std::string> keys = d->keys();
    EXPECT_EQ(keys, (std::vector<std::string>{"B", "a", "b", "é"}));
    EXPECT_EQ(d->integer("a"), 4);
    d->set("0", 0);
    d->set("c", Value());  // storing absent removes
    EXPECT_EQ(d->keys().front(), "0");
    EXPECT_FALSE(d->contains("c"));
}

// Entries live in the dictionary's own block until they outgrow it; every way of making one
// must keep stores, removals and growth in step with an ordinary ordered map.
TEST(dictionary, stores_and_removals_match_an_ordered_map_however_it_was_made) {
    std::vector<DictRef> made = {Dictionary::create(), Dictionary::create(3),
                                 Dictionary::fromEntries({{"k05", 5}, {"k01", 1}, {"k09", 9}}),
                                 std::make_shared<Dictionary>()};
    testing::Random random(7);
    for (DictRef& d : made) {
        std::map<std::string, std::int64_t> expected;
        for (const auto& [key, value] : *d)
            expected[key] = value.asInteger();
        for (int step = 0; step < 400; ++step) {
            const std::string key = "k" + std::to_string(10 + random.below(40));
            const int what = random.below(10);
            if (what < 6) {
                // Long values make each entry own heap memory that a bad move would leak or free
                // twice.
                d->set(key, Value(std::string(20, 'v') + std::to_string(step)));
                expected[key] = step;
            } else if (what < 9) {
                d->remove(key);
                expected.erase(key);
            } else if (random.below(8) == 0) {
                d->clear();
                expected.clear();
            }
            ASSERT_EQ(d->size(), expected.size());
            auto e = expected.begin();
            for (const auto& [k, v] : *d) {
                ASSERT_EQ(k, e->first);
                if (v.ifString()) {
                    ASSERT_EQ(v.asString(), std::string(20, 'v') + std::to_string(e->second));
                }
                ++e;
            }
        }
    }
}

TEST(array, index_operations_out_of_range_change_nothing) {
    auto a = makeArray({1, 2});
    EXPECT_FALSE(a->set(2, 3));
    EXPECT_FALSE(a->insert(3, 3));
    EXPECT_FALSE(a->removeAt(2));
    EXPECT_TRUE(a->at(5).isAbsent());
    EXPECT_TRUE(a->insert(2, 3));  // at the end is an append
    EXPECT_TRUE(a->removeAt(0));
    EXPECT_EQ(Value(a), Value(makeArray({2, 3})));
}

TEST(dictionary, containers_are_shared_by_reference) {
    auto inner = Dictionary::create();
    auto outer = makeDictionary({{"inner", inner}});
    inner->set("k", "v");
    EXPECT_EQ(outer->dictionary("inner")->string("k"), "v");
    EXPECT_EQ(outer->dictionary("inner"), inner);
}

TEST(dictionary, listeners_see_every_store_and_removal_synchronously) {
    auto d = Dictionary::create();
    std::vector<std::pair<std::string, Value>> seen;
    const auto id = d->addListener([&](const std::string& k, const Value& v) { seen.emplace_back(k, v); });
    d->set("a", 1);
    d->set("a", 1);  // unchanged values are reported too
    d->remove("a");
    d->remove("never-there");
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[1].second, Value(1));
    EXPECT_TRUE(seen[2].second.isAbsent());
    EXPECT_EQ(seen[3].first, "never-there");
    d->removeListener(id);
    d->set("b", 2);
    EXPECT_EQ(seen.size(), 4u);
}

TEST(dictionary, listener_may_store_into_the_same_dictionary_and_remove_listeners) {
    auto d = Dictionary::create();
    Dictionary::ListenerId second = 0;
    int secondCalls = 0;
    d->addListener([&](const std::string& k, const Value&) {
        if (k == "x") {
            d->set("a-mirror", d->get("x"));  // moves entries while "x" is being reported
            d->removeListener(second);
        }
    });
    second = d->addListener([&](const std::string&, const Value&) { ++secondCalls; });
    d->set("x", "value");
    EXPECT_EQ(d->string("a-mirror"), "value");
    EXPECT_EQ(secondCalls, 1);  // saw the nested store, then was removed before "x" reached it
}

TEST(deep_copy, shares_no_container_and_keeps_types) {
    auto nested = makeDictionary({{"n", 1.5}, {"list", makeArray({1, "two", true})}});
    auto src = makeDictionary({{"nested", nested}, {"date", Date{12.5}}, {"data", Data{0, 255}}});
    DictRef copy = deepCopy(*src);
    ASSERT_TRUE(copy);
    EXPECT_EQ(Value(copy), Value(src));
    EXPECT_NE(copy->dictionary("nested"), nested);
    copy->dictionary("nested")->array("list")->append(4);
    EXPECT_EQ(nested->array("list")->size(), 3u);
    EXPECT_EQ(copy->dictionary("nested")->get("n").type(), Value::Type::Real);
}

TEST(deep_copy, refuses_what_is_not_a_property_list) {
    auto self = Dictionary::create();
    self->set("me", self);
    EXPECT_EQ(deepCopy(*self), nullptr);
    self->remove("me");  // break the cycle so the test does not leak

    auto a = Array::create();
    auto holder = makeDictionary({{"a", a}});
    a->append(makeDictionary({{"back", a}}));
    EXPECT_EQ(deepCopy(*holder), nullptr);
    a->clear();

    auto withHole = makeDictionary({{"a", Array::create({Value(1), Value()})}});
    EXPECT_EQ(deepCopy(*withHole), nullptr);

    // The same container twice, not inside itself, is a property list.
    auto shared = makeArray({1});
    EXPECT_NE(deepCopy(*makeDictionary({{"x", shared}, {"y", shared}})), nullptr);
}

TEST(deep_copy, accepts_nesting_up_to_the_limit_and_no_deeper) {
    // levels containers, each inside the one before; the outermost is level 1.
    const auto nested = [](int levels) {
        auto root = Array::create();
        ArrayRef cur = root;
        for (int i = 1; i < levels; ++i) {
            auto next = Array::create();
            cur->append(next);
            cur = next;
        }
        return root;
    };
    EXPECT_TRUE(isPropertyList(nested(maxPropertyListDepth)));
    EXPECT_FALSE(isPropertyList(nested(maxPropertyListDepth + 1)));
    auto holder = Dictionary::create();
    holder->set("a", nested(maxPropertyListDepth - 1));
    EXPECT_TRUE(deepCopy(*holder));
    holder->set("a", nested(maxPropertyListDepth));
    EXPECT_FALSE(deepCopy(*holder));
}

}  // namespace
}  // namespace quillon
