// Application bundle folders: their Info.plist and the program inside Contents/MacOS.
#include "adapters/xdg/app_bundle.h"

#include <filesystem>

#include "plist/file_utils.h"
#include "plist/property_list.h"

namespace quillon {

namespace {

constexpr std::size_t kMaxInfoPlistBytes = std::size_t{4} << 20;
constexpr std::string_view kAppExtension = ".app";
constexpr std::string_view kExecutableFolder = "/Contents/MacOS/";

std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path;
}

std::string_view lastComponent(std::string_view path) {
    path = withoutTrailingSlashes(path);
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool isPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

}  // namespace

bool hasApplicationExtension(std::string_view path) {
    const std::string_view name = lastComponent(path);
    return name.size() > kAppExtension.size() && name.ends_with(kAppExtension);
}

DictRef applicationBundleInfo(const std::string& path) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_directory(path, ec)) return nullptr;
    const auto bytes = readFileBytes(path + "/Contents/Info.plist", kMaxInfoPlistBytes);
    if (!bytes) return nullptr;
    return parsePropertyList(*bytes).dictionary();
}

std::string applicationBundleExecutable(const std::string& path) {
    std::string name;
    if (const DictRef info = applicationBundleInfo(path))
        name = info->string("CFBundleExecutable");
    if (name.empty()) {
        name = std::string(lastComponent(path));
        if (name.ends_with(kAppExtension)) name.resize(name.size() - kAppExtension.size());
    }
    // The name comes from a file anyone could have written; it must stay inside the bundle.
    if (!isPlainFileName(name)) return {};
    return std::string(withoutTrailingSlashes(path)) + std::string(kExecutableFolder) + name;
}

std::optional<std::string> applicationBundleOfExecutable(std::string_view program) {
    const auto at = program.rfind(kExecutableFolder);
    if (at == std::string_view::npos) return std::nullopt;
    const std::string_view file = program.substr(at + kExecutableFolder.size());
    const std::string_view bundle = program.substr(0, at);
    if (!isPlainFileName(file) || !hasApplicationExtension(bundle)) return std::nullopt;
    return std::string(bundle);
}

}  // namespace quillon
