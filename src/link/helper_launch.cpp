// The helper launch step and the login-item scan that keeps exactly one item for the helper.
#include "link/helper_launch.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace quillon {

namespace {

constexpr std::string_view kAppExtension = ".app";

std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path;
}

std::string_view withoutAppExtension(std::string_view name) {
    if (name.size() >= kAppExtension.size() && name.ends_with(kAppExtension))
        name.remove_suffix(kAppExtension.size());
    return name;
}

// Names are compared the way file names are on a case-insensitive volume: ASCII letters fold,
// everything else compares byte for byte.
bool equalIgnoringCase(std::string_view a, std::string_view b) {
    const auto fold = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return fold(x) == fold(y); });
}

}  // namespace

std::string helperApplicationPath(std::string_view paneBundlePath) {
    const std::string_view pane = withoutTrailingSlashes(paneBundlePath);
    const auto slash = pane.rfind('/');
    std::string folder;
    if (slash == 0)
        folder = "/";
    else if (slash != std::string_view::npos)
        folder = std::string(pane.substr(0, slash));
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + std::string(kHelperBundleFileName);
}

std::string applicationNameOfPath(std::string_view path) {
    path = withoutTrailingSlashes(path);
    if (path.size() > 1) {
        if (const auto slash = path.rfind('/'); slash != std::string_view::npos)
            path.remove_prefix(slash + 1);
    }
    return std::string(withoutAppExtension(path));
}

std::string fileLocationOfPath(std::string_view path) {
    if (path.empty()) return {};
    std::error_code ec;
    std::filesystem::path p(path);
    if (p.is_relative()) {
        const auto absolute = std::filesystem::absolute(p, ec);
        if (!ec) p = absolute;
    }
    std::string location = p.lexically_normal().string();
    while (location.size() > 1 && location.back() == '/') location.pop_back();
    return location;
}

void launchHelperApplication(Workspace& workspace, LoginItems& loginItems,
                             std::string_view paneBundlePath) {
    if (workspace.runningApplicationCount(std::string(kHelperBundleIdentifier)) > 0) return;
    const std::string path = helperApplicationPath(paneBundlePath);
    if (!path.empty()) workspace.launchApplication(path);
    // Registered even when the launch failed: the next login may well succeed.
    addLoginItem(loginItems, path, std::nullopt);
}

int addLoginItem(LoginItems& loginItems, const std::string& path,
                 const std::optional<std::string>& otherName) {
    int sameLocationCount = 0;
    int status = scanLoginItems(loginItems, path, false, &sameLocationCount, true, nullptr,
                                otherName, true, nullptr);
    if (sameLocationCount == 0) {
        if (auto list = loginItems.open()) {
            if (list->appendLast(fileLocationOfPath(path))) status = 0;
        }
    }
    return status;
}

int scanLoginItems(LoginItems& loginItems, const std::optional<std::string>& path,
                   bool removeSameLocation, int* sameLocationCount, bool removeSameName,
                   int* sameNameCount, const std::optional<std::string>& otherName,
                   bool removeOtherName, int* otherNameCount) {
    for (int* count : {sameLocationCount, sameNameCount, otherNameCount})
        if (count) *count = 0;

    std::optional<std::string> location;
    std::optional<std::string> appName;
    if (path && !path->empty()) {
        location = fileLocationOfPath(*path);
        appName = applicationNameOfPath(*path);
    }
    std::optional<std::string> otherAppName;
    if (otherName) otherAppName = std::string(withoutAppExtension(*otherName));

    auto list = loginItems.open();
    if (!list) return -1;
    auto items = list->snapshot();
    if (!items) return -1;
    int status = 0;

    // Removes item when asked to and counts it when kept or removed; a failed removal is not
    // counted and fails the scan, but the remaining items are still looked at.
    const auto handle = [&](LoginItem& item, bool remove, int* count) {
        if (remove && !list->remove(item)) {
            status = -1;
            return;
        }
        if (count) ++*count;
    };

    for (const auto& item : *items) {
        if (!item) continue;
        if (location) {
            const auto resolved = item->resolve();
            if (resolved && fileLocationOfPath(*resolved) == *location) {
                handle(*item, removeSameLocation, sameLocationCount);
                continue;
            }
        }
        if (!appName && !otherAppName) continue;
        const auto displayName = item->displayName();
        if (!displayName) continue;
        if (appName && equalIgnoringCase(*appName, *displayName))
            handle(*item, removeSameName, sameNameCount);
        else if (otherAppName && equalIgnoringCase(*otherAppName, *displayName))
            handle(*item, removeOtherName, otherNameCount);
    }
    return status;
}

}  // namespace quillon
