// The preferences store at scale: open (read, merge with the shipped defaults, cleanup), save and
// match over generated preferences files of 30, 300 and 10,000 settings records, and a whole
// save against a plain write and rename of the same bytes.
//
// Every case reports items per second (settings records), so linear growth shows as a flat rate.
// The write cases run on the temporary folder's file system; their flush to disk dominates and
// varies with the machine.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "plist/file_utils.h"
#include "plist/property_list.h"
#include "prefs/prefs_cleanup.h"
#include "prefs/preferences_file.h"
#include "prefs/settings_matching.h"
#include "testing/preferences_fixture.h"
#include "testing/temp_dir.h"

namespace quillon::bench {
namespace {

const std::string kDefaults = std::string(QUILLON_RESOURCES_DIR) + "/QuillonMouseDefaults.plist";

// One generated preferences file: on disk in a home folder, in memory as the pane holds it after
// loading it, and as the binary bytes a save of that writes. The generated tree itself is kept
// too: built piece by piece, its memory is laid out differently from a loaded one.
struct Corpus {
    int records = 0;
    DictRef generated;
    DictRef prefs;
    std::string bytes;
    testing::TempDir home;
    std::string path;
};

Corpus& corpus(int records) {
    static std::map<int, std::unique_ptr<Corpus>> made;
    auto& slot = made[records];
    if (!slot) {
        slot = std::make_unique<Corpus>();
        slot->records = records;
        slot->generated = testing::makePreferences(records);
        cleanupQuillonMousePrefs(*slot->generated);
        slot->path = quillonMousePrefsPath(slot->home.path().string());
        saveQuillonMousePrefs(*slot->generated, slot->path);
        slot->prefs = readQuillonMousePrefs(slot->path, kDefaults);
        cleanupQuillonMousePrefs(*slot->prefs);
        slot->bytes = writeBinaryPropertyList(Value(slot->prefs)).value_or("");
        saveQuillonMousePrefs(*slot->prefs, slot->path);
    }
    return *slot;
}

void report(benchmark::State& state, const Corpus& c) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * c.records);
    state.counters["file_bytes"] = static_cast<double>(c.bytes.size());
}

void BM_Load(benchmark::State& state) {
    Corpus& c = corpus(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        DictRef prefs = readQuillonMousePrefs(c.path, kDefaults);
        if (!prefs) {
            state.SkipWithError("the file did not load");
            return;
        }
        cleanupQuillonMousePrefs(*prefs);
        benchmark::DoNotOptimize(prefs);
    }
    report(state, c);
}

void save(benchmark::State& state, bool generated) {
    Corpus& c = corpus(static_cast<int>(state.range(0)));
    const Dictionary& prefs = generated ? *c.generated : *c.prefs;
    for (auto _ : state)
        if (!saveQuillonMousePrefs(prefs, c.path)) {
            state.SkipWithError("the save failed");
            return;
        }
    report(state, c);
}
// What the pane does: save the preferences it loaded (and changed).
void BM_Save(benchmark::State& state) {
    save(state, false);
}
// The same settings saved straight from the generator's tree, for comparison.
void BM_SaveGenerated(benchmark::State& state) {
    save(state, true);
}

// The same bytes written to a new file and renamed over the preferences: the floor of any save
// that never shows a reader a partial file. With flush adds fsync, as a save that survives a
// power cut must.
bool plainWrite(const Corpus& c, bool flush) {
    const std::string tmp = c.path + ".plain";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const bool ok =
        fd >= 0 &&
        ::write(fd, c.bytes.data(), c.bytes.size()) == static_cast<ssize_t>(c.bytes.size()) &&
        (!flush || ::fsync(fd) == 0);
    if (fd >= 0) ::close(fd);
    return ok && ::rename(tmp.c_str(), c.path.c_str()) == 0;
}

void writeAndRename(benchmark::State& state, bool flush) {
    Corpus& c = corpus(static_cast<int>(state.range(0)));
    for (auto _ : state)
        if (!plainWrite(c, flush)) {
            state.SkipWithError("the plain write failed");
            return;
        }
    report(state, c);
}
void BM_WriteRename(benchmark::State& state) {
    writeAndRename(state, false);
}
void BM_WriteFsyncRename(benchmark::State& state) {
    writeAndRename(state, true);
}

// A save and a plain write and rename of the same bytes, taken in turns so that both see the
// machine in the same state; the time shown is the save's. This machine's speed drifts by a
// third from one minute to the next, which skews a ratio of two cases run minutes apart.
void BM_SaveAgainstPlainWrite(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const auto ms = [](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    Corpus& c = corpus(static_cast<int>(state.range(0)));
    double saves = 0, plains = 0, bestSave = 1e300, bestPlain = 1e300;
    std::vector<double> pairs;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const bool saved = saveQuillonMousePrefs(*c.prefs, c.path);
        const auto t1 = Clock::now();
        const bool written = plainWrite(c, false);
        const auto t2 = Clock::now();
        if (!saved || !written) {
            state.SkipWithError("a write failed");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        saves += ms(t1 - t0);
        plains += ms(t2 - t1);
        bestSave = std::min(bestSave, ms(t1 - t0));
        bestPlain = std::min(bestPlain, ms(t2 - t1));
        pairs.push_back(ms(t1 - t0) / ms(t2 - t1));
    }
    report(state, c);
    state.counters["plain_ms"] = plains / static_cast<double>(state.iterations());
    state.counters["ratio"] = saves / plains;
    state.counters["best_ratio"] = bestSave / bestPlain;
    // A flush of the disk's queue now and then makes one write of either kind take several
    // times as long; the median pair is not moved by it.
    std::nth_element(pairs.begin(), pairs.begin() + pairs.size() / 2, pairs.end());
    state.counters["median_ratio"] = pairs.empty() ? 0 : pairs[pairs.size() / 2];
}

void BM_Serialize(benchmark::State& state) {
    Corpus& c = corpus(static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(writeBinaryPropertyList(Value(c.prefs)));
    report(state, c);
}

void BM_Match(benchmark::State& state) {
    Corpus& c = corpus(static_cast<int>(state.range(0)));
    const DictRef app =
        makeDictionary({{"bundleID", "com.example.app5"}, {"execName", "exampleapp5"}});
    const DictRef device = makeDictionary({{"type", "tamber"}});
    for (auto _ : state)
        benchmark::DoNotOptimize(matchQuillonMouseSettings(*c.prefs, app.get(), device.get()));
    report(state, c);
}

void counts(benchmark::internal::Benchmark* b) {
    for (int n : {30, 300, 10000}) b->Arg(n);
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Load)->Apply(counts);
BENCHMARK(BM_Save)->Apply(counts);
BENCHMARK(BM_SaveGenerated)->Apply(counts);
BENCHMARK(BM_Serialize)->Apply(counts);
BENCHMARK(BM_WriteRename)->Apply(counts);
BENCHMARK(BM_WriteFsyncRename)->Apply(counts);
BENCHMARK(BM_SaveAgainstPlainWrite)->Apply(counts)->UseManualTime()->MinTime(3.0);
BENCHMARK(BM_Match)->Apply(counts);

}  // namespace
}  // namespace quillon::bench

BENCHMARK_MAIN();
