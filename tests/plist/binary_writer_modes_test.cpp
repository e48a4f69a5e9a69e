// The binary writer's ways of running, the direct pass, the pipeline with its second thread,
// and the pipeline laying a large file out into a sink while it numbers, must give the same
// bytes for every tree and refuse the same trees.
#include "plist/binary_writer_modes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
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

// Keeps what a writer hands over and lets it write parts again, as a temporary file does.
// Refuses a write or rewrite past the limits given, and throws on the one numbered throwAt.
class RewritableSink final : public ByteSink {
public:
    bool write(std::string_view b) override {
        if (++calls == throwAt) throw std::runtime_error("sink failed");
        if (bytes.size() + b.size() > refuseBeyond) return false;
        bytes.append(b);
        ++writes;
        return true;
    }
    bool takesRewrites() const override { return true; }
    bool rewrite(std::uint64_t offset, std::string_view b) override {
        if (refuseRewrites) return false;
        if (offset + b.size() > bytes.size()) return false;  // only over bytes already taken
        bytes.replace(offset, b.size(), b);
        ++rewrites;
        return true;
    }

    std::string bytes;
    int writes = 0;
    int rewrites = 0;
    int calls = 0;
    int throwAt = -1;
    std::size_t refuseBeyond = SIZE_MAX;
    bool refuseRewrites = false;
};

// The pipeline's bytes laid out while numbering, or nothing when refused.
std::optional<std::string> streamed(const Value& v, RewritableSink& sink) {
    if (!detail::writeBinaryPropertyList(v, BinaryWriteMode::Pipelined, sink)) return std::nullopt;
    return sink.bytes;
}

void expectSameBytes(const Value& v, const std::string& what) {
    // The pipeline writes first: the writer keeps its working memory between writes, and a slot
    // it failed to fill must not be found holding the direct write's answer.
    RewritableSink sink;
    const auto laidOut = streamed(v, sink);
    const auto pipelined = detail::writeBinaryPropertyList(v, BinaryWriteMode::Pipelined);
    const auto direct = detail::writeBinaryPropertyList(v, BinaryWriteMode::Direct);
    ASSERT_TRUE(direct.has_value()) << what;
    ASSERT_TRUE(pipelined.has_value()) << what;
    ASSERT_TRUE(laidOut.has_value()) << what;
    EXPECT_TRUE(*direct == *pipelined)
        << what << ": " << direct->size() << " against " << pipelined->size() << " bytes";
    EXPECT_TRUE(*direct == *laidOut)
        << what << ": " << direct->size() << " against " << laidOut->size() << " bytes streamed";
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
    for (int records : {1, 150, 1200, 4000})
        expectSameBytes(Value(recordsTree(records)), std::to_string(records) + " records");
    // Built piece by piece, the trees above have their containers after what they hold; one
    // read back from a file has them before, and is walked without asking for memory ahead.
    const Value readBack = parseBinaryPropertyList(
        detail::writeBinaryPropertyList(Value(recordsTree(4000)), BinaryWriteMode::Direct)
            .value_or(""));
    ASSERT_TRUE(readBack.dictionaryPtr());
    expectSameBytes(readBack, "4000 records read back");
    expectSameBytes(Value(42), "a lone leaf");
    expectSameBytes(Value(makeDictionary({})), "an empty dictionary");
}

// Leaves the walk has sent before, and small dictionaries of them, travel many to a token.
// Runs of them end inside containers, span the end of one container and the start of the next
// at another depth, fill a token exactly, change dictionary size mid-run and meet keys.
TEST(binary_writer_modes, runs_of_repeated_leaves_and_small_dictionaries_give_the_same_bytes) {
    Random r(7);
    const auto small = [&r](int size) {
        static const char* const keys[] = {"a", "b", "c", "d", "e", "f", "g",
                                           "h", "i", "j", "k", "l", "m"};
        std::vector<Dictionary::Entry> entries;
        for (int k = 0; k < size; ++k)
            entries.emplace_back(keys[k], Value(r.below(3)));
        return Dictionary::fromEntries(std::move(entries));
    };
    auto table = Dictionary::create();
    for (int i = 0; i < 4000; ++i) {
        auto row = Array::create();
        for (int j = r.below(14); j > 0; --j) {
            switch (r.below(5)) {
                case 0:  // a run of one size, long enough to fill several tokens
                    for (int k = r.below(30), size = 1 + r.below(13); k > 0; --k)
                        row->append(small(size));
                    break;
                case 1: {  // repeated leaves ending inside a nested container
                    auto inner = Array::create();
                    for (int k = r.below(15); k > 0; --k)
                        inner->append(Value(r.below(2)));
                    row->append(inner);
                    break;
                }
                case 2:
                    row->append(makeArray({small(1), makeArray({small(1), small(2)}), small(1)}));
                    break;
                case 3:  // keys sent as repeats, not as a known run
                    row->append(makeDictionary({{"a", 1}, {"b", makeDictionary({{"a", 0}})}}));
                    break;
                default:
                    row->append(Value(r.below(2) == 1));
            }
        }
        table->set(std::to_string(i), row);
    }
    expectSameBytes(Value(makeDictionary({{"table", table}, {"end", 0}})), "runs");
}

// From about 65,000 objects on, the file is laid out while the tree is numbered: containers
// that stay open long are written early with the references they have, and again at the end.
TEST(binary_writer_modes, a_large_file_laid_out_while_numbered_is_written_again_where_it_must) {
    const DictRef records = recordsTree(4000);
    // The root and the settings table stay open through the whole write; so do the three
    // containers around them here, and the large array after them opens late.
    auto late = Array::create();
    for (int i = 0; i < 40000; ++i)
        late->append(i % 3 == 0 ? Value("item " + std::to_string(i)) : Value(i));
    const Value nested(makeDictionary(
        {{"outer", makeArray({makeDictionary({{"inner", Value(records)}}), Value(late)})},
         {"version", 1}}));
    for (const Value& tree : {Value(records), nested}) {
        RewritableSink sink;
        const auto laidOut = streamed(tree, sink);
        const auto direct = detail::writeBinaryPropertyList(tree, BinaryWriteMode::Direct);
        ASSERT_TRUE(laidOut.has_value());
        EXPECT_TRUE(*laidOut == *direct);
        EXPECT_GE(sink.rewrites, 2);
        EXPECT_GT(sink.writes, 3);
    }
    // A sink that takes no rewrites gets the file laid out after the numbering, in order.
    struct Plain final : ByteSink {
        bool write(std::string_view b) override {
            bytes.append(b);
            return true;
        }
        std::string bytes;
    } plain;
    ASSERT_TRUE(detail::writeBinaryPropertyList(nested, BinaryWriteMode::Pipelined, plain));
    EXPECT_TRUE(plain.bytes == detail::writeBinaryPropertyList(nested, BinaryWriteMode::Direct));
}

// The sink's refusals and exceptions reach the caller from whichever thread laid the bytes out.
TEST(binary_writer_modes, a_file_laid_out_while_numbered_stops_when_the_sink_fails) {
    const Value tree(recordsTree(4000));
    const auto expected = detail::writeBinaryPropertyList(tree, BinaryWriteMode::Direct);
    ASSERT_TRUE(expected.has_value());
    RewritableSink refusing;
    refusing.refuseBeyond = 1 << 20;  // the second piece
    EXPECT_FALSE(streamed(tree, refusing));
    RewritableSink throwing;
    throwing.throwAt = 3;
    EXPECT_THROW(streamed(tree, throwing), std::runtime_error);
    RewritableSink noRewrites;
    noRewrites.refuseRewrites = true;  // every other piece taken, the containers left open fail
    EXPECT_FALSE(streamed(tree, noRewrites));
    RewritableSink again;
    EXPECT_TRUE(streamed(tree, again) == expected);
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
        // Also by the layout into a sink, which may have taken bytes by then.
        RewritableSink sink;
        EXPECT_FALSE(streamed(v, sink)) << what;
        return sink.bytes.size();
    };
    // Each flaw sits near the end of a large tree, after the numbering has moved to its thread
    // and the layout has started.
    {
        auto tree = recordsTree(4000);
        tree->dictionary("settings")->set("zz", std::string("bad \xC3 UTF-8"));
        // Found last, when a megabyte or more of the file has been handed over.
        EXPECT_GE(refusedBoth(Value(tree), "invalid UTF-8, found by the numbering"), 1u << 19);
    }
    {
        auto tree = recordsTree(4000);
        auto loop = Array::create();
        auto inner = makeArray({1, 2});
        loop->append(inner);
        inner->append(loop);
        tree->dictionary("settings")->set("zz", Value(loop));
        refusedBoth(Value(tree), "a container that holds itself, found by the walk");
        inner->clear();  // let the cycle go
    }
    {
        auto tree = recordsTree(4000);
        tree->dictionary("settings")->set("zz", makeArray({1, Value(), 2}));
        refusedBoth(Value(tree), "an absent element");
    }
    {
        Value deep = 1;
        for (int i = 0; i <= maxPropertyListDepth; ++i)
            deep = makeArray({deep});
        auto tree = recordsTree(4000);
        tree->dictionary("settings")->set("zz", deep);
        refusedBoth(Value(tree), "nesting beyond the limit");
    }
    // Nothing of the failed writes reaches the next one.
    expectSameBytes(Value(recordsTree(4000)), "after the failures");
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
