// The binary writer handing a file to a sink piece by piece: the same bytes as the whole file,
// nothing for a refused tree, the sink's refusals and exceptions reported, and its working
// memory fit for the next write however one ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "plist/property_list.h"
#include "testing/random.h"

namespace quillon {
namespace {

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

// Keeps the pieces a writer hands over; refuses a piece past refuseBeyond bytes and throws on
// the call numbered throwAt.
class PiecesSink final : public ByteSink {
public:
    bool write(std::string_view b) override {
        if (++calls == throwAt) throw std::runtime_error("sink failed");
        if (bytes.size() + b.size() > refuseBeyond) return false;
        bytes.append(b);
        largest = std::max(largest, b.size());
        return true;
    }

    std::string bytes;
    std::size_t largest = 0;
    int calls = 0;
    int throwAt = -1;
    std::size_t refuseBeyond = SIZE_MAX;
};

void expectSameBytes(const Value& v, const std::string& what) {
    PiecesSink sink;
    ASSERT_TRUE(writeBinaryPropertyList(v, sink)) << what;
    const auto whole = writeBinaryPropertyList(v);
    ASSERT_TRUE(whole.has_value()) << what;
    EXPECT_TRUE(*whole == sink.bytes)
        << what << ": " << whole->size() << " against " << sink.bytes.size() << " bytes in pieces";
    EXPECT_EQ(parseBinaryPropertyList(*whole), v) << what;
}

TEST(binary_writer_sink, gets_the_same_bytes_as_the_whole_file) {
    for (std::uint64_t seed = 1; seed <= 30; ++seed) {
        Random r(seed);
        auto root = Array::create();
        const int n = seed % 3 == 0 ? 1500 : static_cast<int>(seed) * 5;
        for (int i = 0; i < n; ++i)
            root->append(randomTree(r, 0));
        expectSameBytes(Value(root), "random tree " + std::to_string(seed));
    }
    for (int records : {1, 150, 4000})
        expectSameBytes(Value(recordsTree(records)), std::to_string(records) + " records");
    // Built piece by piece, the trees above have their containers after what they hold; one
    // read back from a file has them before.
    const Value readBack =
        parseBinaryPropertyList(writeBinaryPropertyList(Value(recordsTree(4000))).value_or(""));
    ASSERT_TRUE(readBack.dictionaryPtr());
    expectSameBytes(readBack, "4000 records read back");
    expectSameBytes(Value(42), "a lone leaf");
    expectSameBytes(Value(makeDictionary({})), "an empty dictionary");
}

TEST(binary_writer_sink, takes_a_large_file_in_pieces_of_about_a_megabyte) {
    const Value tree(recordsTree(4000));
    PiecesSink sink;
    ASSERT_TRUE(writeBinaryPropertyList(tree, sink));
    EXPECT_GT(sink.bytes.size(), 2u << 20);
    EXPECT_GE(sink.calls, 3);
    EXPECT_LE(sink.largest, 1u << 20);
    // An object larger than a piece goes in one piece of its own.
    Data big(3 << 20);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 31);
    expectSameBytes(Value(makeArray({"before", Value(big), "after"})), "3 MB of data");
}

TEST(binary_writer_sink, refuses_without_handing_anything_over_and_recovers) {
    const auto refused = [](const Value& v, const char* what) {
        EXPECT_FALSE(writeBinaryPropertyList(v)) << what;
        PiecesSink sink;
        EXPECT_FALSE(writeBinaryPropertyList(v, sink)) << what;
        EXPECT_EQ(sink.calls, 0) << what;
    };
    // Each flaw sits near the end of a large tree.
    {
        auto tree = recordsTree(4000);
        tree->dictionary("settings")->set("zz", std::string("bad \xC3 UTF-8"));
        refused(Value(tree), "invalid UTF-8");
    }
    {
        auto tree = recordsTree(4000);
        auto loop = Array::create();
        auto inner = makeArray({1, 2});
        loop->append(inner);
        inner->append(loop);
        tree->dictionary("settings")->set("zz", Value(loop));
        refused(Value(tree), "a container that holds itself");
        inner->clear();  // let the cycle go
    }
    {
        auto tree = recordsTree(4000);
        tree->dictionary("settings")->set("zz", makeArray({1, Value(), 2}));
        refused(Value(tree), "an absent element");
    }
    {
        Value deep = 1;
        for (int i = 0; i <= maxPropertyListDepth; ++i)
            deep = makeArray({deep});
        auto tree = recordsTree(4000);
        tree->dictionary("settings")->set("zz", deep);
        refused(Value(tree), "nesting beyond the limit");
    }
    // Nothing of the failed writes reaches the next one.
    expectSameBytes(Value(recordsTree(4000)), "after the failures");
}

TEST(binary_writer_sink, stops_when_the_sink_fails) {
    const Value tree(recordsTree(4000));
    const auto expected = writeBinaryPropertyList(tree);
    ASSERT_TRUE(expected.has_value());
    PiecesSink refusing;
    refusing.refuseBeyond = 1 << 20;  // the second piece
    EXPECT_FALSE(writeBinaryPropertyList(tree, refusing));
    EXPECT_EQ(refusing.calls, 2);
    PiecesSink throwing;
    throwing.throwAt = 3;
    EXPECT_THROW(writeBinaryPropertyList(tree, throwing), std::runtime_error);
    PiecesSink again;
    ASSERT_TRUE(writeBinaryPropertyList(tree, again));
    EXPECT_TRUE(again.bytes == *expected);
}

TEST(binary_writer, threads_writing_at_once_agree) {
    const Value tree(recordsTree(2500));
    const auto expected = writeBinaryPropertyList(tree);
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
