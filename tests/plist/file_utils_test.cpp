// Reading and writing files: limits, atomic replacement and modes.
#include "plist/file_utils.h"

#include <gtest/gtest.h>
#include <csignal>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>

#include "testing/preferences_fixture.h"
#include "testing/temp_dir.h"

namespace quillon {
namespace {

using testing::readAll;
using testing::TempDir;

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

std::size_t entriesIn(const TempDir& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++n;
    return n;
}

// Keeps the pieces a writer hands over; refuses the one numbered refuseAt and any after it.
class PiecesSink final : public ByteSink {
public:
    explicit PiecesSink(std::size_t refuseAt = SIZE_MAX) : refuseAt_(refuseAt) {}
    bool write(std::string_view bytes) override {
        if (pieces.size() + refused >= refuseAt_) {
            ++refused;
            return false;
        }
        pieces.emplace_back(bytes);
        return true;
    }
    std::string joined() const {
        std::string all;
        for (const auto& piece : pieces)
            all += piece;
        return all;
    }

    std::vector<std::string> pieces;
    std::size_t refused = 0;

private:
    std::size_t refuseAt_;
};

TEST(file_bytes, read_missing_folder_or_oversized_file_gives_nothing) {
    TempDir dir;
    EXPECT_FALSE(readFileBytes(dir.file("missing")));
    EXPECT_FALSE(readFileBytes(dir.path().string()));
    const std::string p = dir.write("f", "0123456789");
    EXPECT_EQ(readFileBytes(p), "0123456789");
    EXPECT_FALSE(readFileBytes(p, 9));
    // A file that says it is empty yet has content, as /proc's do, is read to its end, within
    // the limit.
    const auto limits = readFileBytes("/proc/self/limits");
    ASSERT_TRUE(limits);
    EXPECT_NE(limits->find("Max open files"), std::string::npos);
    EXPECT_EQ(readFileBytes("/proc/self/limits", 700), limits->substr(0, 700));
}

TEST(file_bytes, atomic_write_replaces_whole_file_and_keeps_its_mode) {
    TempDir dir;
    const std::string p = dir.write("prefs", "old contents that are longer");
    ::chmod(p.c_str(), 0600);
    ASSERT_TRUE(writeFileBytes(p, "new", true));
    EXPECT_EQ(readAll(p), "new");
    EXPECT_EQ(modeOf(p), 0600u);
    // No temporary file is left beside it.
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST(file_bytes, new_file_gets_requested_mode) {
    TempDir dir;
    const mode_t old = ::umask(022);
    ASSERT_TRUE(writeFileBytes(dir.file("a"), "x", true, 0600));
    ASSERT_TRUE(writeFileBytes(dir.file("b"), "x", false, 0600));
    ::umask(old);
    EXPECT_EQ(modeOf(dir.file("a")), 0600u);
    EXPECT_EQ(modeOf(dir.file("b")), 0600u);
}

TEST(file_bytes, failed_atomic_write_leaves_existing_file_untouched) {
    TempDir dir;
    const std::string p = dir.write("prefs", "keep me");
    // A file-size limit stands in for a full disk: the write fails part way.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 4;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool ok = writeFileBytes(p, "a much longer replacement", true);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(readAll(p), "keep me");
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST(file_bytes, streamed_write_keeps_the_pieces_in_order_and_the_mode) {
    TempDir dir;
    const std::string p = dir.write("prefs", "old");
    ::chmod(p.c_str(), 0640);
    // Pieces of an odd size, together several writeback ranges long, crossing their bounds.
    std::string expected;
    for (char c = 'a'; c < 'f'; ++c)
        expected += std::string(777'777, c);
    const auto produce = [&](ByteSink& sink) {
        for (std::size_t at = 0; at < expected.size(); at += 777'777)
            if (!sink.write(std::string_view(expected).substr(at, 777'777))) return false;
        return true;
    };
    ASSERT_TRUE(writeFileWith(p, true, 0600, produce));
    EXPECT_EQ(readAll(p), expected);
    EXPECT_EQ(modeOf(p), 0640u);
    ASSERT_TRUE(writeFileWith(dir.file("in-place"), false, 0600, produce));
    EXPECT_EQ(readAll(dir.file("in-place")), expected);
    // Nothing produced is an empty file.
    ASSERT_TRUE(writeFileWith(dir.file("empty"), true, 0600, [](ByteSink&) { return true; }));
    EXPECT_TRUE(std::filesystem::exists(dir.file("empty")));
    EXPECT_EQ(readAll(dir.file("empty")), "");
    EXPECT_EQ(entriesIn(dir), 3u);
}

TEST(file_bytes, producer_that_fails_or_throws_leaves_the_old_file_and_no_temporary) {
    TempDir dir;
    const std::string p = dir.write("prefs", "keep me");
    const std::string part(3 << 19, 'x');  // past the first writeback range
    EXPECT_FALSE(writeFileWith(p, true, 0644, [&](ByteSink& sink) {
        EXPECT_TRUE(sink.write(part));
        return false;
    }));
    EXPECT_THROW(writeFileWith(p, true, 0644,
                               [&](ByteSink& sink) -> bool {
                                   EXPECT_TRUE(sink.write(part));
                                   throw std::runtime_error("producer failed");
                               }),
                 std::runtime_error);
    // Even in place: giving up before the first byte neither truncates nor creates a file.
    EXPECT_FALSE(writeFileWith(p, false, 0644, [](ByteSink&) { return false; }));
    EXPECT_FALSE(writeFileWith(dir.file("new"), false, 0644, [](ByteSink&) { return false; }));
    EXPECT_EQ(readAll(p), "keep me");
    EXPECT_EQ(entriesIn(dir), 1u);
}

TEST(file_bytes, write_into_missing_folder_fails) {
    TempDir dir;
    EXPECT_FALSE(writeFileBytes(dir.file("no/such/file"), "x", true));
    EXPECT_FALSE(writeFileBytes(dir.file("no/such/file"), "x", false));
}

TEST(dictionary_files, read_either_format_into_mutable_containers) {
    TempDir dir;
    auto dict = makeDictionary({{"settings", makeDictionary({{"0001", makeDictionary({{"n", 1}})}})},
                                {"list", makeArray({"a", 2.5})}});
    ASSERT_TRUE(writeToBinaryFile(*dict, dir.file("b.plist"), true));
    ASSERT_TRUE(writeToFile(*dict, dir.file("x.plist"), false));
    EXPECT_EQ(readAll(dir.file("b.plist")).substr(0, 8), "bplist00");
    EXPECT_EQ(readAll(dir.file("x.plist")).substr(0, 5), "<?xml");
    for (const char* name : {"b.plist", "x.plist"}) {
        DictRef read = mutableDictionaryWithContentsOfFile(dir.file(name));
        ASSERT_TRUE(read) << name;
        EXPECT_EQ(Value(read), Value(dict)) << name;
        // Nested containers can be changed in place.
        read->dictionary("settings")->dictionary("0001")->set("n", 2);
        read->array("list")->append(true);
        EXPECT_EQ(read->dictionary("settings")->dictionary("0001")->integer("n"), 2);
    }
}

TEST(dictionary_files, binary_file_is_streamed_with_the_bytes_of_the_string_writer) {
    TempDir dir;
    Data big(3 << 20);  // one object larger than the pieces the writer hands over
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 7);
    const DictRef trees[] = {makeDictionary({{"k", "v"}, {"list", makeArray({1, 2.5, "k"})}}),
                             makeDictionary({{"big", big}, {"after", "x"}}),
                             testing::makePreferences(3000)};
    for (const DictRef& tree : trees) {
        const std::string bytes = writeBinaryPropertyList(Value(tree)).value();
        ASSERT_TRUE(writeToBinaryFile(*tree, dir.file("b.plist"), true));
        EXPECT_EQ(readAll(dir.file("b.plist")), bytes);
        PiecesSink sink;
        ASSERT_TRUE(writeBinaryPropertyList(Value(tree), sink));
        EXPECT_EQ(sink.joined(), bytes);
    }
    // A large tree goes out in several pieces, and a refused piece ends the write.
    PiecesSink sink;
    ASSERT_TRUE(writeBinaryPropertyList(Value(trees[2]), sink));
    EXPECT_GT(sink.pieces.size(), 2u);
    PiecesSink refusing(1);
    EXPECT_FALSE(writeBinaryPropertyList(Value(trees[2]), refusing));
    EXPECT_EQ(refusing.pieces.size(), 1u);
    EXPECT_EQ(refusing.refused, 1u);
    // What the sink throws reaches the caller, whichever thread handed the piece over.
    struct Throwing final : ByteSink {
        bool write(std::string_view) override { throw std::runtime_error("sink failed"); }
    } throwing;
    EXPECT_THROW(writeBinaryPropertyList(Value(trees[0]), throwing), std::runtime_error);
    EXPECT_THROW(writeBinaryPropertyList(Value(trees[2]), throwing), std::runtime_error);
    // The writer is whole again after the failures.
    PiecesSink again;
    ASSERT_TRUE(writeBinaryPropertyList(Value(trees[2]), again));
    EXPECT_EQ(again.joined(), writeBinaryPropertyList(Value(trees[2])).value());
}

TEST(dictionary_files, unreadable_or_non_dictionary_files_give_nothing) {
    TempDir dir;
    EXPECT_FALSE(mutableDictionaryWithContentsOfFile(dir.file("missing")));
    EXPECT_FALSE(mutableDictionaryWithContentsOfFile(dir.write("garbage", "not a plist")));
    EXPECT_FALSE(mutableDictionaryWithContentsOfFile(dir.write("empty", "")));
    const std::string truncated = *writeBinaryPropertyList(makeDictionary({{"k", "v"}}));
    EXPECT_FALSE(mutableDictionaryWithContentsOfFile(dir.write("cut", truncated.substr(0, truncated.size() - 1))));
    // Any top level parses, but only a dictionary is a dictionary.
    const std::string array = *writeBinaryPropertyList(makeArray({1, 2}));
    EXPECT_TRUE(propertyListWithContentsOfFile(dir.write("array", array)).array());
    EXPECT_FALSE(mutableDictionaryWithContentsOfFile(dir.file("array")));
}

TEST(dictionary_files, write_refuses_what_is_not_a_property_list_without_touching_the_file) {
    TempDir dir;
    const std::string p = dir.write("prefs", "previous");
    auto self = Dictionary::create();
    self->set("me", self);
    EXPECT_FALSE(writeToBinaryFile(*self, p, false));
    EXPECT_FALSE(writeToFile(*self, p, true));
    self->remove("me");
    auto withHole = makeDictionary({{"a", Array::create({Value(1), Value()})}});
    EXPECT_FALSE(writeToBinaryFile(*withHole, p, false));
    EXPECT_FALSE(mutableDeepAutoreleasedCopy(*withHole));
    // Refused while it is numbered, before any byte exists.
    auto badText = makeDictionary({{"name", "bad \xff utf-8"}});
    EXPECT_FALSE(writeToBinaryFile(*badText, p, true));
    EXPECT_FALSE(writeToBinaryFile(*badText, p, false));
    // A large file is mostly written to its temporary file by the time its last record is
    // refused; in place, it is not laid out before it is all numbered.
    auto large = testing::makePreferences(3000);
    large->dictionary("settings")->set("zzzz", "bad \xff utf-8");
    EXPECT_FALSE(writeToBinaryFile(*large, p, true));
    EXPECT_FALSE(writeToBinaryFile(*large, p, false));
    EXPECT_EQ(readAll(p), "previous");
    EXPECT_EQ(entriesIn(dir), 1u);
}

TEST(dictionary_files, deep_copy_keeps_number_types) {
    auto src = makeDictionary({{"i", 1}, {"r", 1.0}, {"b", true}, {"u", Uid{3}}});
    DictRef copy = mutableDeepAutoreleasedCopy(*src);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->get("i").type(), Value::Type::Integer);
    EXPECT_EQ(copy->get("r").type(), Value::Type::Real);
    EXPECT_EQ(copy->get("b").type(), Value::Type::Boolean);
    EXPECT_EQ(Value(copy), Value(src));
}

}  // namespace
}  // namespace quillon
