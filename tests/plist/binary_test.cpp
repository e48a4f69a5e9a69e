// Binary property lists: round trips, the writer's exact bytes, hand-built files and hostile input.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "plist/property_list.h"
#include "testing/run_process.h"
#include "testing/temp_dir.h"

namespace quillon {
namespace {

// v as `width` big-endian bytes.
std::string be(std::uint64_t v, unsigned width) {
    std::string s(width, '\0');
    for (unsigned i = 0; i < width && i < 8; ++i)
        s[width - 1 - i] = static_cast<char>(v >> (8 * i));
    return s;
}

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list)
        s += static_cast<char>(b);
    return s;
}

std::string intObject(std::uint64_t v, unsigned width) {
    const int nibble = width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : width == 8 ? 3 : 4;
    return static_cast<char>(0x10 | nibble) + be(v, width);
}

// A marker with its count, in the low nibble or as a following integer object.
std::string counted(int marker, std::uint64_t n) {
    if (n < 15) return std::string(1, static_cast<char>(marker | static_cast<int>(n)));
    const unsigned width = n <= 0xFF ? 1 : n <= 0xFFFF ? 2 : n <= 0xFFFFFFFF ? 4 : 8;
    return static_cast<char>(marker | 0x0F) + intObject(n, width);
}

std::string ascii(std::string_view s) {
    return counted(0x50, s.size()) + std::string(s);
}

std::string realObject(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return "\x23" + be(bits, 8);
}

// Lays out a binary file from raw objects, with chosen reference and offset widths.
struct FileBuilder {
    unsigned refSize = 1;
    unsigned offsetSize = 1;
    std::uint64_t top = 0;
    std::vector<std::string> objects;

    std::uint64_t add(std::string object) {
        objects.push_back(std::move(object));
        return objects.size() - 1;
    }
    std::string refs(const std::vector<std::uint64_t>& r) const {
        std::string s;
        for (std::uint64_t x : r)
            s += be(x, refSize);
        return s;
    }
    std::string array(const std::vector<std::uint64_t>& r, int marker = 0xA0) const {
        return counted(marker, r.size()) + refs(r);
    }
    std::string dict(const std::vector<std::uint64_t>& keys,
                     const std::vector<std::uint64_t>& values) const {
        return counted(0xD0, keys.size()) + refs(keys) + refs(values);
    }
    std::string build() const {
        std::string out = "bplist00";
        std::vector<std::uint64_t> offsets;
        for (const std::string& o : objects) {
            offsets.push_back(out.size());
            out += o;
        }
        const std::uint64_t table = out.size();
        for (std::uint64_t off : offsets)
            out += be(off, offsetSize);
        out += std::string(6, '\0');
        out += static_cast<char>(offsetSize);
        out += static_cast<char>(refSize);
        out += be(objects.size(), 8) + be(top, 8) + be(table, 8);
        return out;
    }
};

// Trailer fields, as offsets from the start of the trailer.
constexpr std::size_t kOffsetSizeField = 6, kRefSizeField = 7, kNumObjectsField = 8, kTopField = 16,
                      kTableField = 24;

std::string patched(std::string file, std::size_t pos, std::string_view with) {
    file.replace(pos, with.size(), with);
    return file;
}

std::string withTrailerField(const std::string& file, std::size_t field, std::uint64_t v) {
    const unsigned width = field < kNumObjectsField ? 1 : 8;
    return patched(file, file.size() - 32 + field, be(v, width));
}

std::uint64_t trailerField(const std::string& file, std::size_t field) {
    const unsigned width = field < kNumObjectsField ? 1 : 8;
    std::uint64_t v = 0;
    for (unsigned i = 0; i < width; ++i)
        v = (v << 8) | static_cast<unsigned char>(file[file.size() - 32 + field + i]);
    return v;
}

Value roundTrip(const Value& v) {
    const auto written = writeBinaryPropertyList(v);
    if (!written) return {};
    return parseBinaryPropertyList(*written);
}

Value parse(const std::string& s) {
    return parseBinaryPropertyList(s);
}

// Parsing must refuse quickly; a slow refusal means work out of proportion to the file.
void expectRefusedQuickly(const std::string& file, const char* what) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(parse(file).isAbsent()) << what;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << what;
}

TEST(binary_round_trip, keeps_every_leaf_exactly) {
    const std::vector<Value> leaves = {
        true,
        false,
        0,
        1,
        255,
        256,
        65535,
        65536,
        std::int64_t{1} << 32,
        -1,
        std::numeric_limits<std::int64_t>::min(),
        std::numeric_limits<std::int64_t>::max(),
        std::numeric_limits<std::uint64_t>::max(),
        std::uint64_t{1} << 63,
        0.0,
        -0.0,
        1.5,
        -1e300,
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::denorm_min(),
        Date{0},
        Date{-978307200.5},
        Date{1e9},
        "",
        "plain",
        std::string("nul\0inside", 10),
        "caf\xc3\xa9",
        "\xe6\x97\xa5\xe6\x9c\xac",
        "mouse \xf0\x9f\x96\xb1 and \xf0\x9f\x98\x80",
        std::string(20, 'x'),
        Data{},
        Data{0, 1, 0xFF},
        Uid{0},
        Uid{255},
        Uid{256},
        Uid{std::uint64_t{1} << 32},
        Uid{std::numeric_limits<std::uint64_t>::max()},
    };
    for (const Value& leaf : leaves) {
        const Value back = roundTrip(leaf);
        EXPECT_EQ(back, leaf) << static_cast<int>(leaf.type());
        if (leaf.ifInteger()) {
            ASSERT_TRUE(back.ifInteger());
            EXPECT_EQ(back.ifInteger()->isBigUnsigned(), leaf.ifInteger()->isBigUnsigned());
        }
        if (const double* d = leaf.ifReal()) {
            ASSERT_TRUE(back.ifReal());
            EXPECT_EQ(std::signbit(*back.ifReal()), std::signbit(*d));
        }
    }
    // All of them in one container, with equal leaves shared.
    const Value all = Array::create(leaves);
    EXPECT_EQ(roundTrip(Array::create({all, all, makeDictionary({{"plain", all}})})),
              Array::create({all, all, makeDictionary({{"plain", all}})}));
}

TEST(binary_round_trip, keeps_large_data_and_containers) {
    Data big(1 << 20);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 7);
    EXPECT_EQ(roundTrip(Value(big)), Value(big));
    EXPECT_EQ(roundTrip(Array::create()), Value(Array::create()));
    EXPECT_EQ(roundTrip(Dictionary::create()), Value(Dictionary::create()));
    // Long counts of every width.
    for (std::size_t n : {14, 15, 255, 256, 65536}) {
        std::vector<Value> items(n, Value("same"));
        EXPECT_EQ(roundTrip(Array::create(items)), Value(Array::create(items))) << n;
        EXPECT_EQ(roundTrip(std::string(n, 'a')), Value(std::string(n, 'a'))) << n;
        std::string wide;
        for (std::size_t i = 0; i < n; ++i)
            wide += "\xc3\xa9";
        EXPECT_EQ(roundTrip(wide), Value(wide)) << n;
    }
}

TEST(binary_round_trip, uses_wider_references_as_objects_grow) {
    const auto keyed = [](int n) {
        std::vector<Dictionary::Entry> entries;
        for (int i = 0; i < n; ++i)
            entries.emplace_back("key" + std::to_string(i), i);
        return Value(Dictionary::fromEntries(std::move(entries)));
    };
    // 1 + 1000 keys + 1000 integers: two-byte references.
    const Value medium = keyed(1000);
    const auto mediumFile = writeBinaryPropertyList(medium);
    ASSERT_TRUE(mediumFile);
    EXPECT_EQ(trailerField(*mediumFile, kRefSizeField), 2u);
    EXPECT_EQ(trailerField(*mediumFile, kOffsetSizeField), 2u);
    EXPECT_EQ(parse(*mediumFile), medium);
    // 140,001 objects in a file of about a megabyte: four-byte references and offsets.
    const Value large = keyed(70000);
    const auto largeFile = writeBinaryPropertyList(large);
    ASSERT_TRUE(largeFile);
    EXPECT_EQ(trailerField(*largeFile, kRefSizeField), 4u);
    EXPECT_EQ(trailerField(*largeFile, kOffsetSizeField), 4u);
    EXPECT_EQ(trailerField(*largeFile, kNumObjectsField), 140001u);
    EXPECT_EQ(parse(*largeFile), large);
}

TEST(binary_round_trip, nests_up_to_the_depth_limit) {
    // maxPropertyListDepth containers, the innermost holding a leaf: the deepest allowed.
    Value deepest = makeArray({"leaf"});
    for (int i = 1; i < maxPropertyListDepth; ++i)
        deepest = i % 2 ? Value(makeDictionary({{"k", deepest}})) : Value(makeArray({deepest}));
    EXPECT_TRUE(isPropertyList(deepest));
    EXPECT_EQ(roundTrip(deepest), deepest);
    for (const Value& tooDeep :
         {Value(makeArray({deepest})), Value(makeDictionary({{"k", deepest}}))}) {
        EXPECT_FALSE(isPropertyList(tooDeep));
        EXPECT_FALSE(writeBinaryPropertyList(tooDeep));
    }
}

TEST(binary_writer, refuses_what_is_not_a_property_list) {
    const Value small = makeDictionary({{"a", makeArray({1, "b"})}});
    const auto before = writeBinaryPropertyList(small);
    ASSERT_TRUE(before);
    EXPECT_FALSE(writeBinaryPropertyList(Value()));
    EXPECT_FALSE(writeBinaryPropertyList(makeArray({1, Value(), 2})));
    EXPECT_FALSE(writeBinaryPropertyList(Value("bad \xff utf-8")));
    EXPECT_FALSE(writeBinaryPropertyList(Value("overlong \xc0\xaf")));
    EXPECT_FALSE(writeBinaryPropertyList(Value("surrogate \xed\xa0\x80")));
    EXPECT_FALSE(writeBinaryPropertyList(Value("beyond \xf4\x90\x80\x80")));
    EXPECT_FALSE(writeBinaryPropertyList(Value("cut \xe6\x97")));
    EXPECT_FALSE(writeBinaryPropertyList(makeDictionary({{"key \xfe", 1}})));

    auto selfArray = Array::create();
    selfArray->append(1);
    selfArray->append(selfArray);
    EXPECT_FALSE(writeBinaryPropertyList(selfArray));
    auto outer = Dictionary::create();
    auto inner = Array::create();
    inner->append(outer);
    outer->set("inner", inner);
    EXPECT_FALSE(writeBinaryPropertyList(outer));
    // Break the cycles so the containers are freed.
    selfArray->clear();
    outer->clear();
    // Nothing of a failed write lingers into the next one.
    EXPECT_EQ(writeBinaryPropertyList(small), before);

    // Sharing without a cycle is fine: each occurrence is written out.
    auto shared = makeArray({1, 2});
    EXPECT_EQ(roundTrip(makeArray({shared, makeDictionary({{"a", shared}}), shared})),
              Value(makeArray({shared, makeDictionary({{"a", shared}}), shared})));
}

TEST(binary_writer, emits_the_exact_layout) {
    // {"a": 1} spelled out byte by byte.
    const std::string expected = "bplist00" + bytes({0xD1, 0x01, 0x02, 0x51, 'a', 0x10, 0x01}) +
                                 bytes({0x08, 0x0B, 0x0D}) + std::string(6, '\0') + bytes({1, 1}) +
                                 be(3, 8) + be(0, 8) + be(0x0F, 8);
    EXPECT_EQ(writeBinaryPropertyList(makeDictionary({{"a", 1}})), expected);

    // Keys of a dictionary come first, in order, then its values depth-first; equal leaves are
    // written once, even a key and a value; integer 1, real 1.0 and true stay apart.
    {
        FileBuilder f;
        f.add(f.dict({1, 2}, {3, 4}));
        f.add(ascii("a"));
        f.add(ascii("b"));
        f.add(ascii("x"));
        f.add(f.array({5, 3, 3, 6, 7, 8, 9}));
        f.add(f.dict({3}, {3}));
        f.add(intObject(1, 1));
        f.add(realObject(1.0));
        f.add(bytes({0x09}));
        f.add(f.array({}));
        const Value v = makeDictionary({{"b", makeArray({makeDictionary({{"x", "x"}}), "x", "x", 1,
                                                         1.0, true, Array::create()})},
                                        {"a", "x"}});
        EXPECT_EQ(writeBinaryPropertyList(v), f.build());
    }

    // Containers are never shared, even the very same one.
    {
        auto same = Array::create();
        FileBuilder f;
        f.add(f.array({1, 2}));
        f.add(f.array({}));
        f.add(f.array({}));
        EXPECT_EQ(writeBinaryPropertyList(makeArray({same, same})), f.build());
    }

    // Smallest widths of integers, UIDs and counts; negative integers in 8 bytes, the largest
    // unsigned in 16; text outside ASCII as UTF-16, a non-BMP character as a surrogate pair.
    {
        FileBuilder f;
        const std::vector<std::string> leaves = {
            intObject(0, 1),
            intObject(255, 1),
            intObject(256, 2),
            intObject(65535, 2),
            intObject(65536, 4),
            intObject(0xFFFFFFFF, 4),
            intObject(std::uint64_t{1} << 32, 8),
            intObject(~std::uint64_t{0}, 8),
            intObject(std::uint64_t{1} << 63, 8),
            "\x14" + be(0, 8) + be(~std::uint64_t{0}, 8),
            bytes({0x80, 0xFF}),
            "\x81" + be(256, 2),
            "\x87" + be(std::uint64_t{1} << 32, 8),
            "\x33" + realObject(-0.5).substr(1),
            realObject(-0.0),
            bytes({0x62, 0x00, 'e', 0x00, 0xE9}),
            bytes({0x62, 0xD8, 0x3D, 0xDE, 0x00}),
            ascii("fifteen chars!!"),
            bytes({0x43, 1, 2, 3}),
        };
        std::vector<std::uint64_t> refs;
        f.add("");
        for (const std::string& leaf : leaves)
            refs.push_back(f.add(leaf));
        f.objects[0] = f.array(refs);
        const Value v = makeArray({
            0,
            255,
            256,
            65535,
            65536,
            std::int64_t{0xFFFFFFFF},
            std::int64_t{1} << 32,
            -1,
            std::numeric_limits<std::int64_t>::min(),
            std::numeric_limits<std::uint64_t>::max(),
            Uid{255},
            Uid{256},
            Uid{std::uint64_t{1} << 32},
            Date{-0.5},
            -0.0,
            "e\xc3\xa9",
            "\xf0\x9f\x98\x80",
            "fifteen chars!!",
            Data{1, 2, 3},
        });
        EXPECT_EQ(writeBinaryPropertyList(v), f.build());
    }
}

TEST(binary_writer, picks_reference_and_offset_widths_from_the_object_count_and_size) {
    const auto distinct = [](int n) {
        std::vector<Value> items;
        for (int i = 0; i < n; ++i)
            items.emplace_back(i);
        return Value(Array::create(std::move(items)));
    };
    // 256 objects are numbered 0 to 255: one byte each.
    const auto small = writeBinaryPropertyList(distinct(255));
    ASSERT_TRUE(small);
    EXPECT_EQ(trailerField(*small, kRefSizeField), 1u);
    const auto larger = writeBinaryPropertyList(distinct(256));
    ASSERT_TRUE(larger);
    EXPECT_EQ(trailerField(*larger, kRefSizeField), 2u);
    // Offsets take as many bytes as the last object's offset needs.
    EXPECT_EQ(trailerField(*small, kOffsetSizeField), 2u);
    EXPECT_EQ(trailerField(*writeBinaryPropertyList(distinct(10)), kOffsetSizeField), 1u);
    EXPECT_EQ(trailerField(*small, kTopField), 0u);
}

TEST(binary_reader, reads_what_only_other_writers_produce) {
    FileBuilder f;
    f.add("");
    const std::uint64_t gone = f.add(ascii("gone")), kept = f.add(ascii("kept"));
    const std::uint64_t uint32 = f.add(intObject(0xFFFFFFFF, 4)),
                        uint16 = f.add(intObject(0xFFFF, 2));
    const std::uint64_t null = f.add(bytes({0x00}));
    const std::vector<std::uint64_t> refs = {
        f.add(bytes({0x22, 0x3F, 0xC0, 0x00, 0x00})),         // 4-byte real
        f.add("\x14" + be(0, 8) + be(~std::uint64_t{0}, 8)),  // 16-byte unsigned
        f.add("\x14" + be(~std::uint64_t{0}, 8) + be(std::uint64_t{1} << 63, 8)),  // INT64_MIN
        f.add("\x14" + be(0, 8) + be(5, 8)),
        uint32,
        uint16,
        f.add(f.array({uint32, uint16}, 0xC0)),  // a set
        null,                                    // left out
        f.add(bytes({0x80, 0x05})),
        f.add("\x8F" + be(0, 8) + be(std::uint64_t{1} << 40, 8)),
        f.add("\x82" + be(0x010203, 3)),
        f.add(f.dict({gone, kept}, {null, uint32})),  // the null value's key is left out
        f.add(bytes({0x6F, 0x10, 0x02, 0xD8, 0x3D, 0xDE, 0x00})),  // long-count UTF-16
        f.add(bytes({0x5F, 0x13}) + be(3, 8) + "abc"),             // 8-byte count
        f.add("\x33" + realObject(945999555.0).substr(1)),
    };
    f.objects[0] = f.array(refs);
    const Value expected = makeArray({
        1.5,
        std::numeric_limits<std::uint64_t>::max(),
        std::numeric_limits<std::int64_t>::min(),
        5,
        std::int64_t{0xFFFFFFFF},
        0xFFFF,
        makeArray({std::int64_t{0xFFFFFFFF}, 0xFFFF}),
        Uid{5},
        Uid{std::uint64_t{1} << 40},
        Uid{0x010203},
        makeDictionary({{"kept", std::int64_t{0xFFFFFFFF}}}),
        "\xf0\x9f\x98\x80",
        "abc",
        Date{945999555.0},
    });
    EXPECT_EQ(parse(f.build()), expected);
    // A null root reads as absent.
    FileBuilder nullRoot;
    nullRoot.add(bytes({0x00}));
    EXPECT_TRUE(parse(nullRoot.build()).isAbsent());
}

TEST(binary_reader, reads_every_reference_and_offset_width) {
    for (unsigned refSize = 1; refSize <= 8; ++refSize) {
        for (unsigned offsetSize = 1; offsetSize <= 8; ++offsetSize) {
            FileBuilder f;
            f.refSize = refSize;
            f.offsetSize = offsetSize;
            f.add(f.dict({1, 2}, {3, 4}));
            f.add(ascii("k"));
            f.add(ascii("list"));
            f.add(intObject(7, 1));
            f.add(f.array({3, 1, 5}));
            f.add(bytes({0x09}));
            EXPECT_EQ(parse(f.build()),
                      Value(makeDictionary({{"k", 7}, {"list", makeArray({7, "k", true})}})))
                << refSize << " " << offsetSize;
        }
    }
    // The root need not be object 0.
    FileBuilder f;
    f.add(ascii("unused"));
    f.add(ascii("root"));
    f.top = 1;
    EXPECT_EQ(parse(f.build()), Value("root"));
}

// A small valid file to vary one field at a time: {"a": [1, "xyz"], "b": true}.
std::string baseFile() {
    const auto file =
        writeBinaryPropertyList(makeDictionary({{"a", makeArray({1, "xyz"})}, {"b", true}}));
    return file ? *file : std::string();
}

TEST(binary_reader, refuses_truncated_files) {
    const std::string file = baseFile();
    ASSERT_TRUE(parse(file).isPresent());
    for (std::size_t n = 0; n < file.size(); ++n)
        EXPECT_TRUE(parse(file.substr(0, n)).isAbsent()) << n;
    EXPECT_TRUE(parse(patched(file, 0, "bplist01")).isAbsent());
    EXPECT_TRUE(parse(patched(file, 0, "xplist00")).isAbsent());
}

TEST(binary_reader, refuses_trailer_fields_out_of_range) {
    const std::string file = baseFile();
    const std::uint64_t numObjects = trailerField(file, kNumObjectsField);
    const std::uint64_t table = trailerField(file, kTableField);
    const std::uint64_t maxU64 = ~std::uint64_t{0};
    const std::vector<std::pair<std::size_t, std::uint64_t>> cases = {
        {kOffsetSizeField, 0},
        {kOffsetSizeField, 9},
        {kOffsetSizeField, 255},
        {kRefSizeField, 0},
        {kRefSizeField, 9},
        {kNumObjectsField, 0},
        {kNumObjectsField, numObjects + 1},
        {kNumObjectsField, maxU64},
        {kNumObjectsField, std::uint64_t{1} << 63},
        {kTopField, numObjects},
        {kTopField, maxU64},
        {kTableField, 0},
        {kTableField, 8},
        {kTableField, file.size() - 32 + 1},
        {kTableField, file.size()},
        {kTableField, maxU64},
        {kTableField, maxU64 - 2},
    };
    for (const auto& [field, v] : cases)
        EXPECT_TRUE(parse(withTrailerField(file, field, v)).isAbsent()) << field << " " << v;
    // A wider offset size makes the table run into the trailer.
    EXPECT_TRUE(parse(withTrailerField(file, kOffsetSizeField, 2)).isAbsent());
    // Control: the unused bytes and the sort version are not checked.
    EXPECT_TRUE(parse(patched(file, file.size() - 32, std::string(6, '\x7f'))).isPresent());
    EXPECT_EQ(trailerField(file, kTableField), table);
}

TEST(binary_reader, refuses_offsets_and_references_out_of_range) {
    const std::string file = baseFile();
    const std::uint64_t table = trailerField(file, kTableField);
    ASSERT_EQ(trailerField(file, kOffsetSizeField), 1u);
    const std::uint64_t numObjects = trailerField(file, kNumObjectsField);
    // Every object's offset pointed into the header, the offset table, the trailer or beyond.
    for (std::uint64_t object = 0; object < numObjects; ++object) {
        for (std::uint64_t bad : {std::uint64_t{0}, std::uint64_t{7}, table, table + numObjects - 1,
                                  file.size() - 32, file.size() - 1, std::uint64_t{255}}) {
            EXPECT_TRUE(parse(patched(file, table + object, be(bad, 1))).isAbsent())
                << object << " " << bad;
        }
    }
    // A reference to an object that does not exist, in an array and as a dictionary key.
    FileBuilder f;
    f.add(f.array({1, 2}));
    f.add(intObject(1, 1));
    EXPECT_TRUE(parse(f.build()).isAbsent());
    FileBuilder d;
    d.add(d.dict({2}, {1}));
    d.add(intObject(1, 1));
    EXPECT_TRUE(parse(d.build()).isAbsent());
    // Wide references are compared whole, not truncated.
    FileBuilder w;
    w.refSize = 8;
    w.add(w.array({(std::uint64_t{1} << 63) + 1}));
    w.add(intObject(1, 1));
    EXPECT_TRUE(parse(w.build()).isAbsent());
}

TEST(binary_reader, refuses_object_that_contains_itself) {
    FileBuilder direct;
    direct.add(direct.array({0}));
    expectRefusedQuickly(direct.build(), "array in itself");

    FileBuilder dict;
    dict.add(dict.dict({1}, {0}));
    dict.add(ascii("self"));
    expectRefusedQuickly(dict.build(), "dictionary in itself");

    FileBuilder indirect;
    indirect.add(indirect.array({1}));
    indirect.add(indirect.dict({2}, {3}));
    indirect.add(ascii("k"));
    indirect.add(indirect.array({4, 1}));
    indirect.add(intObject(1, 1));
    expectRefusedQuickly(indirect.build(), "dictionary through an array");

    // The cycle below the root: the root is not part of it.
    FileBuilder below;
    below.add(below.array({1}));
    below.add(below.array({2}));
    below.add(below.array({1}));
    expectRefusedQuickly(below.build(), "cycle below the root");

    // Control: a container shared without a cycle reads as separate copies.
    FileBuilder shared;
    shared.add(shared.array({1, 1}));
    shared.add(shared.array({2}));
    shared.add(intObject(3, 1));
    EXPECT_EQ(parse(shared.build()), Value(makeArray({makeArray({3}), makeArray({3})})));
}

TEST(binary_reader, refuses_counts_beyond_the_file) {
    const std::vector<std::string> objects = {
        bytes({0xAF, 0x13}) + be(~std::uint64_t{0}, 8),  // array of 2^64-1
        bytes({0xAF, 0x13}) + be(std::uint64_t{1} << 63, 8),
        bytes({0xAE, 0x00, 0x00}),                            // 14 references, 2 present
        bytes({0xDF, 0x10, 0x20}),                            // dictionary of 32
        bytes({0x4F, 0x11, 0x01, 0x00}),                      // 256 bytes of data
        bytes({0x5A, 'a', 'b', 'c'}),                         // 10 characters, 3 present
        bytes({0x6F, 0x13}) + be(std::uint64_t{1} << 63, 8),  // 2^64 bytes of UTF-16
        bytes({0x6F, 0x13}) + be(std::uint64_t{1} << 62, 8),
        bytes({0x62, 0x00, 'a', 0x00}),                 // half a unit short
        bytes({0xAF, 0x14}) + be(0, 16),                // count as a 16-byte integer
        bytes({0xAF, 0x23}) + realObject(1).substr(1),  // count as a real
        bytes({0xAF}),                                  // count missing
        bytes({0x13, 0x00, 0x00}),                      // integer cut short
        bytes({0x23, 0x00}),                            // real cut short
        bytes({0x33, 0x00}),                            // date cut short
        bytes({0x87, 0x00}),                            // UID cut short
    };
    for (const std::string& object : objects) {
        FileBuilder f;
        f.add(object);
        expectRefusedQuickly(f.build(), "count beyond the file");
    }
}

TEST(binary_reader, refuses_invalid_leaves) {
    const std::vector<std::string> objects = {
        bytes({0x61, 0xD8, 0x00}),                     // lone high surrogate
        bytes({0x61, 0xDC, 0x00}),                     // lone low surrogate
        bytes({0x62, 0xD8, 0x3D, 0x00, 'A'}),          // high surrogate before a letter
        bytes({0x62, 0xDE, 0x00, 0xD8, 0x3D}),         // pair in the wrong order
        bytes({0x52, 'a', 0x80}),                      // ASCII string with a high byte
        "\x14" + be(1, 8) + be(0, 8),                  // 16-byte integer beyond 64 bits
        "\x14" + be(~std::uint64_t{0}, 8) + be(1, 8),  // negative beyond 64 bits
        "\x88" + be(1, 1) + be(0, 8),                  // 9-byte UID beyond 64 bits
        bytes({0x0F}),                                 // fill
    };
    for (const std::string& object : objects) {
        FileBuilder f;
        f.add(f.array({1}));
        f.add(object + std::string(16, '\0'));
        EXPECT_TRUE(parse(f.build()).isAbsent()) << ::testing::PrintToString(object);
    }
    // Every marker this version does not define, with enough bytes after it for any length.
    for (int marker : {0x01, 0x02, 0x07, 0x0A, 0x0C, 0x0E, 0x15, 0x1F, 0x20, 0x21, 0x24, 0x2F,
                       0x30, 0x32, 0x34, 0x70, 0x75, 0x90, 0xB0, 0xB1, 0xE0, 0xE1, 0xF0, 0xFF}) {
        FileBuilder f;
        f.add(f.array({1}));
        f.add(std::string(1, static_cast<char>(marker)) + std::string(16, '\0'));
        EXPECT_TRUE(parse(f.build()).isAbsent()) << marker;
    }
}

TEST(binary_reader, refuses_keys_that_are_not_strings) {
    for (const std::string& key :
         {intObject(1, 1), bytes({0x09}), bytes({0x00}), bytes({0x41, 'k'}), bytes({0xA0})}) {
        FileBuilder f;
        f.add(f.dict({1}, {2}));
        f.add(key);
        f.add(intObject(1, 1));
        EXPECT_TRUE(parse(f.build()).isAbsent()) << ::testing::PrintToString(key);
    }
    // A UTF-16 key is fine.
    FileBuilder f;
    f.add(f.dict({1}, {2}));
    f.add(bytes({0x61, 0x00, 0xE9}));
    f.add(intObject(1, 1));
    EXPECT_EQ(parse(f.build()), Value(makeDictionary({{"\xc3\xa9", 1}})));
}

TEST(binary_reader, refuses_nesting_beyond_the_limit) {
    const auto nested = [](int arrays) {
        FileBuilder f;
        f.refSize = 2;
        f.offsetSize = 2;
        for (int i = 0; i + 1 < arrays; ++i)
            f.add(f.array({static_cast<std::uint64_t>(i + 1)}));
        f.add(f.array({}));
        return f.build();
    };
    EXPECT_TRUE(parse(nested(maxPropertyListDepth)).isPresent());
    expectRefusedQuickly(nested(maxPropertyListDepth + 1), "depth 513");
}

TEST(binary_reader, refuses_exponential_expansion) {
    // Each level references the next one twice: 2^60 leaves from a few hundred bytes.
    FileBuilder arrays;
    for (std::uint64_t i = 0; i < 60; ++i)
        arrays.add(arrays.array({i + 1, i + 1}));
    arrays.add(intObject(1, 1));
    expectRefusedQuickly(arrays.build(), "arrays");

    FileBuilder dicts;
    dicts.refSize = 2;
    const std::uint64_t a = dicts.add(""), b = dicts.add("");
    dicts.objects[a] = ascii("a");
    dicts.objects[b] = ascii("b");
    for (std::uint64_t i = 0; i < 60; ++i)
        dicts.add(dicts.dict({a, b}, {i + 3, i + 3}));
    dicts.add(intObject(1, 1));
    dicts.top = 2;
    expectRefusedQuickly(dicts.build(), "dictionaries");

    // One 100 kB string referenced 20,000 times: 2 GB of text from a 120 kB file.
    FileBuilder text;
    text.offsetSize = 4;
    text.add(text.array(std::vector<std::uint64_t>(20000, 1)));
    text.add(counted(0x40, 100000) + std::string(100000, 'x'));
    expectRefusedQuickly(text.build(), "shared data");

    // Control: modest sharing is read in full.
    FileBuilder modest;
    modest.offsetSize = 2;
    modest.add(modest.array(std::vector<std::uint64_t>(1000, 1)));
    modest.add(ascii("shared"));
    const Value v = parse(modest.build());
    ASSERT_TRUE(v.arrayPtr());
    EXPECT_EQ(v.arrayPtr()->size(), 1000u);
}

// An array of `count` references to one dictionary of `entries` entries.
std::string sharedDictionaries(std::uint64_t count, std::uint64_t entries) {
    FileBuilder f;
    f.refSize = 2;
    f.offsetSize = 4;
    f.add(f.array(std::vector<std::uint64_t>(count, 1)));
    std::vector<std::uint64_t> keys, values;
    for (std::uint64_t i = 0; i < entries; ++i) {
        keys.push_back(2 + i);
        values.push_back(2 + entries);
    }
    f.add(f.dict(keys, values));
    for (std::uint64_t i = 0; i < entries; ++i)
        f.add(ascii("key" + std::to_string(i)));
    f.add(intObject(7, 1));
    return f.build();
}

// The peak memory in MiB of a process of its own that parses file; fails unless it refuses it.
long peakMemoryOfRefusal(const std::string& file) {
    const testing::TempDir dir;
    dir.write("file.bplist", file);
    const auto result = testing::runProcess({QUILLON_PARSE_PROBE, dir.file("file.bplist")});
    char verdict[16] = {};
    long kib = -1;
    if (std::sscanf(result.out.c_str(), "%15s %ld", verdict, &kib) != 2) return -1;
    EXPECT_STREQ(verdict, "refused");
    return kib / 1024;
}

TEST(binary_reader, reads_shared_containers_each_into_its_own) {
    // 2,000 references to one dictionary of 100 entries: 200,000 values from 2.4 kB.
    const Value v = parse(sharedDictionaries(2000, 100));
    ASSERT_TRUE(v.arrayPtr());
    ASSERT_EQ(v.arrayPtr()->size(), 2000u);
    const DictRef first = v.arrayPtr()->at(0).dictionary(),
                  last = v.arrayPtr()->at(1999).dictionary();
    ASSERT_TRUE(first && last);
    EXPECT_EQ(last->size(), 100u);
    EXPECT_EQ(last->get("key99"), Value(7));
    first->set("key99", 8);
    EXPECT_EQ(last->get("key99"), Value(7));
}

TEST(binary_reader, refuses_reference_bombs_having_built_little) {
    // The whole expansion is measured before it is built: each is refused in a few MiB, not
    // the hundreds that building up to the budget would take.
    const auto fixtures = testing::sourceDir() / "tests/plist/fixtures/binary";
    for (const char* name :
         {"malformed-shared-dictionaries.bplist", "malformed-exponential-arrays.bplist"}) {
        const std::string file = testing::readAll(fixtures / name);
        const long peak = peakMemoryOfRefusal(file);
        EXPECT_GE(peak, 0) << name;
        EXPECT_LT(peak, 128) << name;
    }
    // Just beyond the budget: 60,000 references to a dictionary of 100 entries.
    const long peak = peakMemoryOfRefusal(sharedDictionaries(60000, 100));
    EXPECT_GE(peak, 0);
    EXPECT_LT(peak, 128);
}

TEST(binary_reader, reads_files_of_another_writer) {
    const auto file = testing::readAll(
        testing::sourceDir() / "tests/plist/fixtures/binary/valid-plistlib-preferences.bplist");
    const DictRef prefs = parse(file).dictionary();
    ASSERT_TRUE(prefs);
    EXPECT_EQ(prefs->string("Name"), "Pointer speed");
    EXPECT_EQ(prefs->get("Enabled"), Value(true));
    EXPECT_EQ(prefs->get("Tracking"), Value(0.6875));
    EXPECT_EQ(prefs->get("Negative"), Value(-123456789));
    EXPECT_EQ(prefs->get("Big"), Value(std::numeric_limits<std::uint64_t>::max()));
    EXPECT_EQ(prefs->get("Small"), Value(255));
    EXPECT_EQ(prefs->get("Unicode"),
              Value("M\xc3\xa4use \xe6\x97\xa5\xe6\x9c\xac \xf0\x9f\x96\xb1"));
    EXPECT_EQ(prefs->get("Archive"), Value(Uid{42}));
    // 2020-05-17 08:30:15 UTC.
    EXPECT_EQ(prefs->get("Modified"), Value(Date{611397015}));
    ASSERT_TRUE(prefs->get("Blob").ifData());
    EXPECT_EQ(prefs->get("Blob").ifData()->size(), 40u);
    ASSERT_TRUE(prefs->array("Buttons"));
    ASSERT_EQ(prefs->array("Buttons")->size(), 20u);
    EXPECT_EQ(prefs->array("Buttons")->at(3),
              Value(makeDictionary({{"Index", 3}, {"Action", "click"}})));
}

TEST(binary_reader, checked_in_fixtures) {
    const auto dir = testing::sourceDir() / "tests/plist/fixtures/binary";
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".bplist") continue;
        const std::string name = entry.path().filename().string();
        const Value v = parse(testing::readAll(entry.path()));
        if (name.starts_with("valid-")) {
            EXPECT_TRUE(v.isPresent()) << name;
            EXPECT_EQ(roundTrip(v), v) << name;
        } else {
            // Malformed files and fuzzer findings: refused, or at least read without harm.
            if (name.starts_with("malformed-")) {
                EXPECT_TRUE(v.isAbsent()) << name;
            }
            if (v.isPresent()) {
                EXPECT_EQ(roundTrip(v), v) << name;
            }
        }
        ++count;
    }
    EXPECT_GE(count, 8);
}

}  // namespace
}  // namespace quillon
