// A temporary folder for a test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quillon::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // path()/name as a string.
    std::string file(std::string_view name) const;
    // Writes bytes to path()/name and returns that path.
    std::string write(std::string_view name, std::string_view bytes) const;

private:
    std::filesystem::path path_;
};

// The bytes of a file, or "" when it cannot be read.
std::string readAll(const std::filesystem::path& path);

// The checked-in source tree (QUILLON_SOURCE_DIR, set by CTest), for fixtures.
std::filesystem::path sourceDir();

}  // namespace quillon::testing
