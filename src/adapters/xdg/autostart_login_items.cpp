// XDG autostart entries as the user's login items.
#include "adapters/xdg/autostart_login_items.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "adapters/xdg/app_bundle.h"
#include "adapters/xdg/desktop_entry.h"
#include "adapters/xdg/detached_process.h"
#include "plist/file_utils.h"

namespace quillon {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDesktopExtension = ".desktop";
// More entries than anyone keeps; a folder filled by something hostile is cut off here.
constexpr std::size_t kMaxEntries = 10000;
constexpr int kMaxNameAttempts = 1000;

// The program an Exec starts, as an absolute path, or nothing when it is not there.
std::optional<std::string> resolveProgram(const std::string& program) {
    std::optional<std::string> path;
    if (program.find('/') == std::string::npos)
        path = findExecutableOnPath(program);
    else if (program.front() == '/' && isExecutableFile(program))
        path = fs::path(program).lexically_normal().string();
    if (!path) return std::nullopt;
    if (auto bundle = applicationBundleOfExecutable(*path)) return bundle;
    return path;
}

class AutostartItem : public LoginItem {
public:
    AutostartItem(std::string file, std::optional<std::string> name,
                  std::optional<std::string> program)
        : file_(std::move(file)), name_(std::move(name)), program_(std::move(program)) {}

    std::optional<std::string> resolve() override {
        return program_ ? resolveProgram(*program_) : std::nullopt;
    }
    std::optional<std::string> displayName() override { return name_; }
    const std::string& file() const { return file_; }

private:
    std::string file_;
    std::optional<std::string> name_;
    std::optional<std::string> program_;
};

// The user's "do not start this at login", as the desktops' startup settings write it: Hidden
// (the autostart rules' "removed") or GNOME's switch.
bool isTurnedOff(const DesktopEntry& entry) {
    if (entry.isTrue("Hidden")) return true;
    const std::string* enabled = entry.get("X-GNOME-Autostart-enabled");
    return enabled && *enabled == "false";
}

std::shared_ptr<AutostartItem> itemForFile(const std::string& file) {
    std::optional<std::string> name;
    std::optional<std::string> program;
    if (const auto entry = readDesktopEntry(file)) {
        if (isTurnedOff(*entry)) return nullptr;
        if (const std::string* n = entry->get("Name")) name = *n;
        if (const auto arguments = entry->execArguments()) program = arguments->front();
    }
    return std::make_shared<AutostartItem>(file, std::move(name), std::move(program));
}

// A file name made from the application name: lower case, only characters safe everywhere.
std::string fileStemFor(std::string_view name) {
    std::string stem;
    for (char c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-')
            stem += c;
    }
    while (!stem.empty() && stem.front() == '.')
        stem.erase(stem.begin());
    return stem.empty() ? std::string("login-item") : stem;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    const auto fold = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return fold(x) == fold(y); });
}

// True for "<stem>.desktop" and "<stem>-N.desktop", the names appending gives an application.
bool isFileNameFor(std::string_view fileName, std::string_view stem) {
    if (!fileName.ends_with(kDesktopExtension)) return false;
    fileName.remove_suffix(kDesktopExtension.size());
    if (!fileName.starts_with(stem)) return false;
    fileName.remove_prefix(stem.size());
    if (fileName.empty()) return true;
    if (fileName.size() < 2 || fileName.front() != '-') return false;
    return std::all_of(fileName.begin() + 1, fileName.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

class AutostartList : public LoginItemList {
public:
    explicit AutostartList(std::string folder) : folder_(std::move(folder)) {}

    std::optional<std::vector<std::shared_ptr<LoginItem>>> snapshot() override {
        std::vector<std::shared_ptr<LoginItem>> items;
        std::error_code ec;
        if (!fs::exists(folder_, ec)) {
            if (ec) return std::nullopt;
            return items;  // no folder yet: no login items
        }
        std::vector<std::string> names;
        fs::directory_iterator it(folder_, ec);
        if (ec) return std::nullopt;
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (ec) return std::nullopt;
            std::string name = it->path().filename().string();
            if (name.size() <= kDesktopExtension.size() || !name.ends_with(kDesktopExtension))
                continue;
            std::error_code typeError;
            if (!it->is_regular_file(typeError)) continue;
            names.push_back(std::move(name));
            if (names.size() > kMaxEntries) break;
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            if (auto item = itemForFile(folder_ + "/" + name)) items.push_back(std::move(item));
        }
        return items;
    }

    bool remove(LoginItem& item) override {
        const auto* entry = dynamic_cast<AutostartItem*>(&item);
        return entry && ::unlink(entry->file().c_str()) == 0;
    }

    std::shared_ptr<LoginItem> appendLast(const std::string& path) override {
        if (path.empty() || !isValidUtf8Text(path)) return nullptr;
        std::string name(fs::path(path).lexically_normal().filename().string());
        if (name.empty())
            name = fs::path(path).lexically_normal().parent_path().filename().string();
        std::string exec;
        std::optional<std::string> program;
        if (hasApplicationExtension(path)) {
            name.resize(name.size() - 4);
            program = applicationBundleExecutable(path);
            if (program->empty()) return nullptr;
            exec = quoteExecArgument(*program);
        } else if (name.ends_with(kDesktopExtension)) {
            const auto entry = readDesktopEntry(path);
            const auto arguments = entry ? entry->execArguments() : std::nullopt;
            if (!arguments) return nullptr;
            if (const std::string* entryName = entry->get("Name")) name = *entryName;
            exec = *entry->get("Exec");
            program = arguments->front();
        } else {
            program = path;
            exec = quoteExecArgument(path);
        }
        // The user turned this application off at login: that is their answer, kept as it is.
        if (auto off = turnedOffEntryFor(name, program)) return off;

        const std::string contents =
            "[Desktop Entry]\nType=Application\nName=" + escapeDesktopValue(name) +
            "\nExec=" + escapeDesktopValue(exec) + "\nX-GNOME-Autostart-enabled=true\n";

        std::error_code ec;
        fs::create_directories(folder_, ec);
        const std::string stem = folder_ + "/" + fileStemFor(name);
        for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
            std::string file = stem;
            if (attempt > 1) file += "-" + std::to_string(attempt);
            file += kDesktopExtension;
            const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0) {
                if (errno == EEXIST) continue;
                return nullptr;
            }
            const bool written = writeAllToDescriptor(fd, contents);
            if (::close(fd) != 0 || !written) {
                ::unlink(file.c_str());
                return nullptr;
            }
            return std::make_shared<AutostartItem>(std::move(file), name, program);
        }
        return nullptr;
    }

private:
    // The entry that turned the application off: one appending would have written (by file
    // name), one of the same name, or one that starts the same program.
    std::shared_ptr<LoginItem> turnedOffEntryFor(const std::string& name,
                                                 const std::optional<std::string>& program) const {
        const std::string stem = fileStemFor(name);
        const auto location = program ? resolveProgram(*program) : std::nullopt;
        std::error_code ec;
        std::size_t seen = 0;
        for (fs::directory_iterator it(folder_, ec); !ec && it != fs::directory_iterator();
             it.increment(ec)) {
            if (++seen > kMaxEntries) break;
            const std::string fileName = it->path().filename().string();
            if (!fileName.ends_with(kDesktopExtension)) continue;
            std::error_code typeError;
            if (!it->is_regular_file(typeError)) continue;
            const std::string file = it->path().string();
            const auto entry = readDesktopEntry(file);
            if (!entry || !isTurnedOff(*entry)) continue;
            const std::string* entryName = entry->get("Name");
            std::optional<std::string> entryProgram;
            if (const auto arguments = entry->execArguments()) entryProgram = arguments->front();
            const bool sameProgram =
                location && entryProgram && resolveProgram(*entryProgram) == location;
            if (isFileNameFor(fileName, stem) ||
                (entryName && equalIgnoringCase(*entryName, name)) || sameProgram)
                return std::make_shared<AutostartItem>(
                    file, entryName ? std::optional(*entryName) : std::nullopt,
                    std::move(entryProgram));
        }
        return nullptr;
    }

    std::string folder_;
};

}  // namespace

AutostartLoginItems::AutostartLoginItems(std::string folder) : folder_(std::move(folder)) {}

std::string AutostartLoginItems::defaultFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/autostart";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config/autostart";
    return {};
}

std::unique_ptr<LoginItemList> AutostartLoginItems::open() {
    if (folder_.empty()) return nullptr;
    std::error_code ec;
    const auto status = fs::status(folder_, ec);
    if (fs::exists(status) && !fs::is_directory(status)) return nullptr;
    return std::make_unique<AutostartList>(folder_);
}

}  // namespace quillon
