// Building application bundles, desktop entries and scripts in a temporary folder for the XDG
// tests.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "plist/file_utils.h"
#include "testing/scoped_environment.h"
#include "testing/temp_dir.h"

namespace quillon::testing {

// Writes an executable file.
inline std::string writeScript(const TempDir& dir, const std::string& name,
                               const std::string& text) {
    const std::string path = dir.write(name, text);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

// dir/<relative>.app with an Info.plist naming executable and a shell script as that executable.
inline std::string makeAppBundle(const TempDir& dir, const std::string& relative,
                                 const std::string& identifier, const std::string& executable,
                                 const std::string& script = "#!/bin/sh\nexit 0\n") {
    const std::string bundle = dir.file(relative + ".app");
    auto info = makeDictionary({{"CFBundleIdentifier", identifier},
                                {"CFBundleName", "Bundle Name"},
                                {"CFBundleExecutable", executable}});
    std::filesystem::create_directories(bundle + "/Contents/MacOS");
    writeToFile(*info, bundle + "/Contents/Info.plist", false);
    writeScript(dir, relative + ".app/Contents/MacOS/" + executable, script);
    return bundle;
}

// Waits up to timeout for path to exist and returns its contents; nothing on time-out.
inline std::optional<std::string> waitForFile(
    const std::string& path, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code ec;
        // The writer renames the file into place, so it is whole once it exists.
        if (std::filesystem::exists(path, ec)) return readAll(path);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
}

}  // namespace quillon::testing
