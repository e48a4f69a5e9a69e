// Decoding and encoding preferences files: our codec against libplist on the same bytes, with
// memcpy of those bytes as the physical limit.
//
// Every case reports bytes per second (of our encoding of the file, so the rates of one case
// compare like its times) and items per second (settings records). libplist's binary encoder
// takes time quadratic in the file: at 10,000 records one run takes about 20 s, so that case
// runs only when QUILLON_BENCH_SLOW=1, once.
#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "plist/property_list.h"
#include "testing/preferences_fixture.h"

namespace quillon::bench {
namespace {

constexpr int kRecordCounts[] = {10, 300, 10000};

enum class Format { Binary, Xml };

// One preferences file as a value and in both encodings, made once per record count.
struct Corpus {
    int records = 0;
    Value value;
    std::string binary;
    std::string xml;
    const std::string& bytes(Format f) const { return f == Format::Binary ? binary : xml; }
};

const Corpus* corpus(int records) {
    static std::map<int, std::unique_ptr<Corpus>> made;
    auto& slot = made[records];
    if (!slot) {
        auto c = std::make_unique<Corpus>();
        c->records = records;
        c->value = testing::makePreferences(records);
        c->binary = writeBinaryPropertyList(c->value).value_or("");
        c->xml = writeXmlPropertyList(c->value).value_or("");
        slot = std::move(c);
    }
    return slot.get();
}

// The corpus, or nothing after marking the run as failed when our writer could not make it.
const Corpus* corpusFor(benchmark::State& state, int records, Format f) {
    const Corpus* c = corpus(records);
    if (c->bytes(f).empty()) {
        state.SkipWithError("our writer did not produce the file");
        return nullptr;
    }
    return c;
}

void report(benchmark::State& state, const Corpus& c, Format f) {
    const auto runs = static_cast<std::int64_t>(state.iterations());
    state.SetBytesProcessed(runs * static_cast<std::int64_t>(c.bytes(f).size()));
    state.SetItemsProcessed(runs * c.records);
    state.counters["file_bytes"] = static_cast<double>(c.bytes(f).size());
}

// libplist's tree of the corpus bytes, freed with the guard.
struct LibplistTree {
    plist_t root = nullptr;
    LibplistTree(const std::string& bytes, Format f) {
        const auto size = static_cast<std::uint32_t>(bytes.size());
        if (f == Format::Binary) plist_from_bin(bytes.data(), size, &root);
        else plist_from_xml(bytes.data(), size, &root);
    }
    ~LibplistTree() {
        if (root) plist_free(root);
    }
    LibplistTree(const LibplistTree&) = delete;
    LibplistTree& operator=(const LibplistTree&) = delete;
};

void decodeOurs(benchmark::State& state, int records, Format f) {
    const Corpus* c = corpusFor(state, records, f);
    if (!c) return;
    const std::string& bytes = c->bytes(f);
    if (parsePropertyList(bytes).isAbsent()) {
        state.SkipWithError("our reader refused the file");
        return;
    }
    for (auto _ : state) {
        Value v = f == Format::Binary ? parseBinaryPropertyList(bytes) : parseXmlPropertyList(bytes);
        benchmark::DoNotOptimize(v);
    }
    report(state, *c, f);
}

void decodeLibplist(benchmark::State& state, int records, Format f) {
    const Corpus* c = corpusFor(state, records, f);
    if (!c) return;
    const std::string& bytes = c->bytes(f);
    if (!LibplistTree(bytes, f).root) {
        state.SkipWithError("libplist refused the file");
        return;
    }
    const auto size = static_cast<std::uint32_t>(bytes.size());
    for (auto _ : state) {
        plist_t root = nullptr;
        if (f == Format::Binary) plist_from_bin(bytes.data(), size, &root);
        else plist_from_xml(bytes.data(), size, &root);
        benchmark::DoNotOptimize(root);
        plist_free(root);
    }
    report(state, *c, f);
}

void encodeOurs(benchmark::State& state, int records, Format f) {
    const Corpus* c = corpusFor(state, records, f);
    if (!c) return;
    for (auto _ : state) {
        auto out = f == Format::Binary ? writeBinaryPropertyList(c->value) : writeXmlPropertyList(c->value);
        benchmark::DoNotOptimize(out);
    }
    report(state, *c, f);
}

// libplist encodes its own tree, parsed from the same bytes before timing starts.
void encodeLibplist(benchmark::State& state, int records, Format f) {
    const Corpus* c = corpusFor(state, records, f);
    if (!c) return;
    const LibplistTree tree(c->bytes(f), f);
    if (!tree.root) {
        state.SkipWithError("libplist refused the file");
        return;
    }
    for (auto _ : state) {
        char* out = nullptr;
        std::uint32_t length = 0;
        if (f == Format::Binary) {
            plist_to_bin(tree.root, &out, &length);
            benchmark::DoNotOptimize(out);
            plist_to_bin_free(out);
        } else {
            plist_to_xml(tree.root, &out, &length);
            benchmark::DoNotOptimize(out);
            plist_to_xml_free(out);
        }
    }
    report(state, *c, f);
}

void copyBytes(benchmark::State& state, int records, Format f) {
    const Corpus* c = corpusFor(state, records, f);
    if (!c) return;
    const std::string& bytes = c->bytes(f);
    std::string copy(bytes.size(), '\0');
    for (auto _ : state) {
        std::memcpy(copy.data(), bytes.data(), bytes.size());
        benchmark::ClobberMemory();
    }
    report(state, *c, f);
}

bool slowCasesWanted() {
    const char* slow = std::getenv("QUILLON_BENCH_SLOW");
    return slow && std::strcmp(slow, "1") == 0;
}

void registerAll() {
    using Case = void (*)(benchmark::State&, int, Format);
    struct Named {
        const char* name;
        Case run;
    };
    const Named cases[] = {
        {"decode/ours", decodeOurs},     {"decode/libplist", decodeLibplist},
        {"encode/ours", encodeOurs},     {"encode/libplist", encodeLibplist},
        {"memcpy", copyBytes},
    };
    for (const Format f : {Format::Binary, Format::Xml}) {
        const std::string format = f == Format::Binary ? "binary_" : "xml_";
        for (const Named& named : cases) {
            for (const int records : kRecordCounts) {
                const bool quadratic = f == Format::Binary && named.run == encodeLibplist && records >= 10000;
                if (quadratic && !slowCasesWanted()) continue;
                const std::string name = (named.run == copyBytes ? "memcpy/" + format.substr(0, format.size() - 1)
                                                                : format + named.name) +
                                         "/" + std::to_string(records);
                auto* b = benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
                    named.run(state, records, f);
                });
                b->Unit(records >= 10000 ? benchmark::kMillisecond : benchmark::kMicrosecond);
                if (quadratic) b->Iterations(1)->Unit(benchmark::kSecond);
            }
        }
    }
}

}  // namespace
}  // namespace quillon::bench

int main(int argc, char** argv) {
    quillon::bench::registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
