// The binary writer's two ways of running, the direct pass and the pipeline with its second
// thread, must give the same bytes for every tree and refuse the same trees.
#include "plist/binary_writer_modes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "plist/property_list.h"
#include "testing/random.h"

namespace quillon {
namespace {

using detail::BinaryWriteMode;

using testing::Random;

// Strings around the short-form limit of 16 bytes, non-ASCII ones among them, drawn from a
// small pool so that many repeat.
std::string randomString(Random& r) {
    static const char* const pool[] = {"",
                                       "a",
                                       "ab",
                                       "abc",
                                       "abcd",
                                       "command",
                                       "keyCode",
                                       "exactly 8",
                                       "sixteen bytes!!!",
                                       "seventeen bytes!!",
                                       "Grüße",
                                       "日本語のテキスト",
                                       "😀 emoji",
                                       "a much longer string that repeats"};
    if (r.below(4) == 0) return "unique " + std::to_string(r.next() % 100000);
    return pool[r.below(static_cast<int>(std::size(pool)))];
}

Value randomLeaf(Random& r) {
    switch (r.below(9)) {
        case 0:
            return Value(r.below(2) == 1);
        case 1:
            return Value(static_cast<long long>(r.below(300)) - 100);
        case 2:
            return Value(Integer::fromUnsigned(r.next()));
        case 3:
            return Value(static_cast<double>(r.below(1000)) / 8);
        case 4:
            return Value(Date{static_cast<double>(r.below(5000))});
        case 5:
            return Value(Uid{static_cast<std::uint64_t>(r.below(70000))});
        case 6: {
            Data d;
            for (int i = r.below(40); i > 0; --i)
                d.push_back(static_cast<std::uint8_t>(r.below(256)));
            return Value(std::move(d));
        }
        default:
            return Value(randomString(r));
    }
}

Value randomTree(Random& r, int depth) {
    // Containers grow rarer with depth, so trees stay a few hundred values on average.
    const int pick = depth > 4 ? 0 : r.below(6 + 4 * depth);
    if (pick < 3 || pick > 5) return randomLeaf(r);
    const int n = r.below(pick == 5 && depth == 0 ? 40 : 6);
    if (pick == 3) {
        auto a = Array::create();
        for (int i = 0; i < n; ++i)
            a->append(randomTree(r, depth + 1));
        return a;
    }
    std::vector<Dictionary::Entry> entries;
    for (int i = 0; i < n; ++i)
        entries.emplace_back(randomString(r), randomTree(r, depth + 1));
    return Dictionary::fromEntries(std::move(entries));
}

// Thousands of dictionaries that share their keys, as settings records do, with a few that
// differ in one key, have a key over 16 bytes, or hold more keys than a remembered run.
DictRef recordsTree(int records) {
    auto settings = Dictionary::create();
    for (int i = 0; i < records; ++i) {
        auto actions = Dictionary::create();
        for (int b = 0; b < 12; ++b) {
            auto action =
                makeDictionary({{"command", b % 7}, {"keyCode", (i + b) % 128}, {"modifiers", 0}});
            if (b == 3) action->set(i % 2 ? "text" : "macro", "typed text " + std::to_string(i));
            if (b == 5 && i % 9 == 0) action->set("a key longer than sixteen bytes", true);
            if (b == 6 && i % 11 == 0)
                for (int k = 0; k < 20; ++k)
                    action->set("extra" + std::to_string(k), k);
            actions->set(std::to_string(100 + b), action);
        }
        settings->set(
            std::to_string(10000 + i),
            makeDictionary({{"settingsUID", std::to_string(i)},
                            {"displayName", "Record " + std::to_string(i) + " — Büro"},
                            {"actions", actions},
                            {"options", makeArray({1.5, i, makeArray({}), makeDictionary({})})}}));
    }
    return makeDictionary({{"settings", settings}, {"version", 3}});
}

void expectSameBytes(const Value& v, const std::string& what) {
    // The pipeline writes first: the writer keeps its working memory between writes, and a slot
    // it failed to fill must not be found holding the direct write's answer.
    const auto pipelined = detail::writeBinaryPropertyList(v, BinaryWriteMode::Pipelined);
    const auto direct = detail::writeBinaryPropertyList(v, BinaryWriteMode::Direct);
    ASSERT_TRUE(direct.has_value()) << what;
    ASSERT_TRUE(pipelined.has_value()) << what;
    EXPECT_TRUE(*direct == *pipelined)
        << what << ": " << direct->size() << " against " << pipelined->size() << " bytes";
    EXPECT_EQ(parseBinaryPropertyList(*pipelined), v) << what;
}

TEST(binary_writer_modes, give_the_same_bytes) {
    for (std::uint64_t seed = 1; seed <= 30; ++seed) {
        Random r(seed);
        auto root = Array::create();
        // From a single chunk of tokens up to many, so the numbering also runs on its thread.
        const int n = seed % 3 == 0 ? 1500 : static_cast<int>(seed) * 5;
        for (int i = 0; i < n; ++i)
            root->append(randomTree(r, 0));
        expectSameBytes(Value(root), "random tree " + std::to_string(seed));
    }
    for (int records : {1, 150, 1200})
        expectSameBytes(Value(recordsTree(records)), std::to_string(records) + " records");
    expectSameBytes(Value(42), "a lone leaf");
    expectSameBytes(Value(makeDictionary({})), "an empty dictionary");
}

TEST(binary_writer_modes, the_automatic_choice_gives_the_same_bytes_for_large_trees) {
    const Value tree(recordsTree(2500));  // large enough for the pipeline
    const auto automatic = writeBinaryPropertyList(tree);
    const auto direct = detail::writeBinaryPropertyList(tree, BinaryWriteMode::Direct);
    ASSERT_TRUE(automatic.has_value());
    EXPECT_TRUE(automatic == direct);
}

TEST(binary_writer_modes, refuse_the_same_trees_and_recover) {
    const auto refusedBoth = [](const Value& v, const char* what) {
        EXPECT_FALSE(detail::writeBinaryPropertyList(v, BinaryWriteMode::Direct)) << what;
        EXPECT_FALSE(detail::writeBinaryPropertyList(v, BinaryWriteMode::Pipelined)) << what;
    };
    // Each flaw sits near the end of a large tree, after the numbering has moved to its thread.
    {
        auto tree = recordsTree(2000);
        tree->dictionary("settings")->set("zz", std::string("bad \xC3 UTF-8"));
        refusedBoth(Value(tree), "invalid UTF-8, found by the numbering");
    }
    {
        auto tree = recordsTree(2000);
        auto loop = Array::create();
        auto inner = makeArray({1, 2});
        loop->append(inner);
        inner->append(loop);
        tree->dictionary("settings")->set("zz", Value(loop));
        refusedBoth(Value(tree), "a container that holds itself, found by the walk");
        inner->clear();  // let the cycle go
    }
    {
        auto tree = recordsTree(2000);
        tree->dictionary("settings")->set("zz", makeArray({1, Value(), 2}));
        refusedBoth(Value(tree), "an absent element");
    }
    {
        Value deep = 1;
        for (int i = 0; i <= maxPropertyListDepth; ++i)
            deep = makeArray({deep});
        auto tree = recordsTree(2000);
        tree->dictionary("settings")->set("zz", deep);
        refusedBoth(Value(tree), "nesting beyond the limit");
    }
    // Nothing of the failed writes reaches the next one.
    expectSameBytes(Value(recordsTree(2000)), "after the failures");
}

TEST(binary_writer_modes, threads_writing_at_once_agree) {
    const Value tree(recordsTree(2500));
    const auto expected = detail::writeBinaryPropertyList(tree, BinaryWriteMode::Direct);
    ASSERT_TRUE(expected.has_value());
    std::vector<std::optional<std::string>> got(3);
    std::vector<std::thread> writers;
    for (auto& g : got)
        writers.emplace_back([&tree, &g] { g = writeBinaryPropertyList(tree); });
    for (auto& w : writers)
        w.join();
    for (const auto& g : got)
        EXPECT_TRUE(g == expected);
}

}  // namespace
}  // namespace quillon
