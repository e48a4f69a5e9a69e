// Finding the pane bundle from the program's own place.
#include "prefs/installed_layout.h"

#include <filesystem>
#include <system_error>

namespace quillon {

namespace {

namespace fs = std::filesystem;

std::string normalAbsolute(const fs::path& path) {
    std::error_code ec;
    fs::path p = path;
    if (p.is_relative()) {
        const fs::path absolute = fs::absolute(p, ec);
        if (!ec) p = absolute;
    }
    std::string normal = p.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    return normal;
}

// Folder and file compared as the file system names them, so that a build tree reached through
// a symbolic link still counts.
bool isInside(std::string_view file, std::string_view folder) {
    if (file.empty() || folder.empty()) return false;
    std::error_code ec;
    const fs::path root = fs::weakly_canonical(fs::path(folder), ec);
    if (ec) return false;
    const fs::path self = fs::weakly_canonical(fs::path(file), ec);
    if (ec) return false;
    const fs::path relative = self.lexically_relative(root);
    return !relative.empty() && *relative.begin() != "..";
}

}  // namespace

std::string currentExecutablePath() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.string();
}

std::string defaultPaneBundleDirectory(std::string_view executable, std::string_view buildTree,
                                       std::string_view buildBundle) {
    if (!buildBundle.empty() && isInside(executable, buildTree)) return normalAbsolute(buildBundle);
    const fs::path folder = fs::path(executable).parent_path();
    return normalAbsolute(folder / ".." / fs::path(kInstalledBundleSubpath));
}

std::string paneBundleDirectory(const std::optional<std::string>& given) {
    if (given) return normalAbsolute(given->empty() ? fs::path(".") : fs::path(*given));
    return defaultPaneBundleDirectory(currentExecutablePath(), QUILLON_BUILD_DIR,
                                      QUILLON_BUILD_BUNDLE_DIR);
}

}  // namespace quillon
