// Start-up of the settings window against a bare Qt window: the time from starting the process to
// the picture of its first shown frame, which each takes once it is shown (as an uncompressed BMP,
// so that the picture costs both alike). What a window does when it closes is not start-up and
// is left out of the time. Run on an X server and offscreen, inside a session bus with the helper
// (bench/startup.sh).
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "testing/temp_dir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr auto kSettle = std::chrono::milliseconds(100);

void runWindow(benchmark::State& state, const std::vector<std::string>& argv,
               const fs::path& picture) {
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    for (auto _ : state) {
        fs::remove(picture);
        pid_t pid = 0;
        if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
            state.SkipWithError("cannot start the window");
            break;
        }
        // Polled often enough that the wait adds well under a millisecond to either.
        while (!fs::exists(picture) && waitpid(pid, nullptr, WNOHANG) == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        state.PauseTiming();
        int status = 0;
        waitpid(pid, &status, 0);
        const bool shown = fs::exists(picture);
        // Each start finds the machine quiet, as a user's start does: the settings window's close
        // has the helper reload the preferences, which would otherwise overlap the next start.
        std::this_thread::sleep_for(kSettle);
        state.ResumeTiming();
        if (!shown || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the window did not show and close cleanly");
            break;
        }
    }
}

void BM_BareQtWindow(benchmark::State& state) {
    quillon::testing::TempDir dir;
    runWindow(state, {QUILLON_BARE_WINDOW, dir.file("bare.bmp")}, dir.file("bare.bmp"));
}

void BM_SettingsWindow(benchmark::State& state) {
    quillon::testing::TempDir dir;
    runWindow(state,
              {QUILLON_SETTINGS_WINDOW, "--bundle", QUILLON_RESOURCES_DIR, "--screenshot",
               dir.file("settings.bmp"), "--after", "0"},
              dir.file("settings.bmp"));
}

BENCHMARK(BM_BareQtWindow)->Unit(benchmark::kMillisecond)->Repetitions(10)->Iterations(10);
BENCHMARK(BM_SettingsWindow)->Unit(benchmark::kMillisecond)->Repetitions(10)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
