// The workspace on Linux: desktop entries and bundle folders as applications, xdg-open for the rest.
#include "adapters/xdg/xdg_workspace.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "adapters/xdg/app_bundle.h"
#include "adapters/xdg/desktop_entry.h"
#include "adapters/xdg/detached_process.h"
#include "link/helper_launch.h"
#include "plist/bundle.h"
#include "plist/file_utils.h"
#include "plist/strings_table.h"

namespace quillon {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDesktopExtension = ".desktop";
constexpr std::size_t kMaxStringsBytes = std::size_t{1} << 20;
// Application folders nest a level or two ("kde4/"); deeper trees are not searched.
constexpr int kMaxSearchDepth = 4;
// Bounds the work a lookup does in a folder filled with junk.
constexpr std::size_t kMaxSearchEntries = 100000;

bool isDesktopFile(const std::string& path) {
    std::error_code ec;
    return path.size() > kDesktopExtension.size() && path.ends_with(kDesktopExtension) &&
           fs::is_regular_file(path, ec);
}

// A desktop entry that describes an application which has not been marked deleted.
std::optional<DesktopEntry> readApplicationEntry(const std::string& path) {
    auto entry = readDesktopEntry(path);
    if (!entry || entry->isTrue("Hidden")) return std::nullopt;
    const std::string* type = entry->get("Type");
    if (type && *type != "Application") return std::nullopt;
    return entry;
}

std::string fileName(std::string_view path) {
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// The program named by an entry's Exec: a bare name is looked up in PATH, a path must be
// absolute (a relative one would depend on whichever folder we happen to run in).
std::optional<std::string> programPath(const std::string& program) {
    if (program.find('/') == std::string::npos) return findExecutableOnPath(program);
    if (program.front() == '/' && isExecutableFile(program)) return program;
    return std::nullopt;
}

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

std::optional<std::string> xdgOpen() { return findExecutableOnPath("xdg-open"); }

}  // namespace

XdgWorkspace::XdgWorkspace(RunningCount runningCount, std::vector<std::string> applicationFolders,
                           std::vector<std::string> languages)
    : runningCount_(std::move(runningCount)),
      applicationFolders_(std::move(applicationFolders)),
      languages_(std::move(languages)) {}

std::vector<std::string> XdgWorkspace::defaultApplicationFolders() {
    std::vector<std::string> folders;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome && dataHome[0] == '/')
        folders.push_back(std::string(dataHome) + "/applications");
    else if (home && home[0] == '/')
        folders.push_back(std::string(home) + "/.local/share/applications");
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::string_view dirs = dataDirs && dataDirs[0] ? dataDirs : "/usr/local/share:/usr/share";
    for (;;) {
        const auto colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        if (!dir.empty() && dir.front() == '/') folders.push_back(std::string(dir) + "/applications");
        if (colon == std::string_view::npos) break;
        dirs.remove_prefix(colon + 1);
    }
    return folders;
}

std::vector<std::string> XdgWorkspace::defaultLanguages() {
    return Bundle::languagesFromEnvironment();
}

int XdgWorkspace::runningApplicationCount(const std::string& bundleId) {
    return runningCount_ ? runningCount_(bundleId) : 0;
}

std::string XdgWorkspace::desktopFileId(const std::string& path) const {
    const fs::path file = fs::path(path).lexically_normal();
    std::string id;
    for (const std::string& folder : applicationFolders_) {
        const fs::path relative = file.lexically_relative(fs::path(folder).lexically_normal());
        const std::string text = relative.string();
        if (text.empty() || text == "." || text.starts_with("..")) continue;
        id = text;
        for (char& c : id)
            if (c == '/') c = '-';
        break;
    }
    if (id.empty()) id = fileName(path);
    if (id.ends_with(kDesktopExtension)) id.resize(id.size() - kDesktopExtension.size());
    return id;
}

bool XdgWorkspace::launchApplication(const std::string& path) {
    if (isDirectory(path)) {
        if (!applicationBundleInfo(path)) return false;
        const std::string program = applicationBundleExecutable(path);
        return isExecutableFile(program) && spawnDetached({program});
    }
    if (isDesktopFile(path)) {
        const auto entry = readApplicationEntry(path);
        auto arguments = entry ? entry->execArguments() : std::nullopt;
        if (!arguments) return false;
        const auto program = programPath(arguments->front());
        if (!program) return false;
        arguments->front() = *program;
        const std::string* folder = entry->get("Path");
        return spawnDetached(*arguments, folder ? *folder : std::string());
    }
    return isExecutableFile(path) && spawnDetached({path});
}

std::string XdgWorkspace::pathForApplication(const std::string& bundleId) {
    std::string id = bundleId;
    if (id.ends_with(kDesktopExtension)) id.resize(id.size() - kDesktopExtension.size());
    if (id.empty()) return {};
    for (const std::string& folder : applicationFolders_) {
        // Desktop entries first, in and below the folder; then bundle folders directly in it.
        std::error_code ec;
        std::size_t seen = 0;
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
        for (; !ec && it != fs::recursive_directory_iterator() && ++seen < kMaxSearchEntries;
             it.increment(ec)) {
            if (it.depth() >= kMaxSearchDepth) it.disable_recursion_pending();
            const std::string candidate = it->path().string();
            if (!isDesktopFile(candidate) || desktopFileId(candidate) != id) continue;
            if (readApplicationEntry(candidate)) return candidate;
        }
        ec.clear();
        seen = 0;
        for (fs::directory_iterator entries(folder, ec);
             !ec && entries != fs::directory_iterator() && ++seen < kMaxSearchEntries;
             entries.increment(ec)) {
            const std::string candidate = entries->path().string();
            if (!hasApplicationExtension(candidate)) continue;
            const DictRef info = applicationBundleInfo(candidate);
            if (info && info->string("CFBundleIdentifier") == bundleId) return candidate;
        }
    }
    return {};
}

bool XdgWorkspace::openFile(const std::string& path) {
    std::error_code ec;
    if (path.empty() || !fs::exists(path, ec)) return false;
    const auto opener = xdgOpen();
    if (!opener) return false;
    // Absolute, so a file named like an option ("-x") is never taken for one.
    const std::string absolute = fs::absolute(path, ec).string();
    if (ec) return false;
    return spawnDetached({*opener, absolute});
}

void XdgWorkspace::answerSecuritySettings(LoginItems& loginItems, std::string paneBundlePath) {
    helperLoginItems_ = &loginItems;
    paneBundlePath_ = std::move(paneBundlePath);
}

bool XdgWorkspace::letDriverRun() {
    if (!helperLoginItems_) return false;
    const bool running = runningApplicationCount(std::string(kHelperBundleIdentifier)) > 0;
    launchHelperApplication(*this, *helperLoginItems_, paneBundlePath_);
    // The launch step leaves a running helper's login items alone; the user asked for the driver
    // to run from now on, so a removed item comes back here too.
    if (running)
        addLoginItem(*helperLoginItems_, helperApplicationPath(paneBundlePath_), std::nullopt);
    return true;
}

bool XdgWorkspace::openURL(const std::string& url) {
    if (url == kSecuritySettingsURL) return letDriverRun();
    if (url.empty() || url.front() == '-') return false;
    const auto opener = xdgOpen();
    return opener && spawnDetached({*opener, url});
}

DictRef XdgWorkspace::infoDictionary(const std::string& path) {
    if (isDirectory(path)) return applicationBundleInfo(path);
    if (!isDesktopFile(path)) return nullptr;
    const auto entry = readApplicationEntry(path);
    if (!entry) return nullptr;
    DictRef info = Dictionary::create();
    info->set("CFBundleIdentifier", desktopFileId(path));
    if (const std::string* name = entry->get("Name")) info->set("CFBundleName", *name);
    if (const auto arguments = entry->execArguments())
        info->set("CFBundleExecutable", fileName(arguments->front()));
    return info;
}

DictRef XdgWorkspace::localizedInfoDictionary(const std::string& path) {
    if (isDirectory(path)) {
        if (!applicationBundleInfo(path)) return nullptr;
        DictRef localized = Dictionary::create();
        const Bundle resources(fs::path(path) / "Contents" / "Resources", languages_);
        if (const auto table = resources.pathForResource("InfoPlist", "strings")) {
            if (const auto bytes = readFileBytes(table->string(), kMaxStringsBytes)) {
                if (const DictRef strings = parseStringsTable(*bytes)) localized = strings;
            }
        }
        return localized;
    }
    if (!isDesktopFile(path)) return nullptr;
    const auto entry = readApplicationEntry(path);
    if (!entry) return nullptr;
    DictRef localized = Dictionary::create();
    if (const std::string* name = entry->localized("Name", languages_))
        localized->set("CFBundleName", *name);
    return localized;
}

}  // namespace quillon
