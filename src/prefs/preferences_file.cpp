// The preferences file: where it lives, loading it merged with the shipped defaults, saving it.
#include "prefs/preferences_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <utility>

#include "plist/file_utils.h"
#include "plist/property_list.h"
#include "prefs/home_directory.h"

namespace quillon {

namespace {

// The file may hold texts and macros that a button types, passwords among them.
constexpr mode_t kNewFileMode = 0600;
constexpr mode_t kNewFolderMode = 0700;

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes folder and every missing folder above it; true when it exists as a folder afterwards.
bool makeFolders(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    if (errno != ENOENT) return false;
    const std::string parent = folderOf(folder);
    if (parent != folder && !makeFolders(parent)) return false;
    return ::mkdir(folder.c_str(), kNewFolderMode) == 0 || errno == EEXIST;
}

// The file a write to path replaces: the target of a symbolic link, so that a linked
// preferences file stays linked.
std::string writeTarget(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec)) return path;
    const auto target = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : target.string();
}

// Serialises dict and replaces the file at path (a linked file's target) with it, atomically.
bool writePrefs(const Dictionary& dict, const std::string& path, PropertyListFormat format) {
    const std::string target = writeTarget(path);
    return makeFolders(folderOf(target)) &&
           writeDictionaryToFile(dict, target, format, true, kNewFileMode);
}

// Moves a file that exists but did not read as a dictionary to "<path>.corrupt" (".corrupt.N"
// when taken), so that writing the defaults does not destroy what the user had. True when
// there was nothing to move or it was moved.
bool moveAsideUnreadable(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return false;
    const std::string base = path + ".corrupt";
    for (int n = 0; n < 1000; ++n) {
        const std::string aside = n == 0 ? base : base + "." + std::to_string(n);
        struct stat taken {};
        if (::lstat(aside.c_str(), &taken) == 0) continue;
        if (errno != ENOENT) return false;
        return ::rename(path.c_str(), aside.c_str()) == 0;
    }
    return false;
}

// Adds to user's settings every record of the defaults that it lacks.
void addMissingRecords(Dictionary& user, const Dictionary& defaults) {
    Dictionary* userSettings = user.get("settings").dictionaryPtr();
    const Dictionary* defaultSettings = defaults.get("settings").dictionaryPtr();
    if (!userSettings || !defaultSettings) return;
    for (const auto& [uid, record] : *defaultSettings)
        if (!userSettings->contains(uid)) userSettings->set(uid, record);
}

}  // namespace

std::string quillonMousePrefsPath(std::string_view home) {
    while (!home.empty() && home.back() == '/') home.remove_suffix(1);
    std::string path(home);
    path += '/';
    path += kQuillonMousePrefsSubpath;
    return path;
}

std::optional<std::string> userQuillonMousePrefsPath() {
    const auto home = userHomeDirectory();
    if (!home) return std::nullopt;
    return quillonMousePrefsPath(*home);
}

DictRef mergeQuillonMousePrefs(DictRef user, DictRef defaults) {
    if (!user) return defaults;
    if (defaults) addMissingRecords(*user, *defaults);
    return user;
}

DictRef readQuillonMousePrefs(const std::string& path, const std::string& defaultsPath) {
    DictRef user = path.empty() ? nullptr : mutableDictionaryWithContentsOfFile(path);
    // A file that did not read is moved aside even when no defaults replace it now: the next
    // save would overwrite it.
    const bool placeFree = user || path.empty() || moveAsideUnreadable(path);
    DictRef defaults =
        defaultsPath.empty() ? nullptr : mutableDictionaryWithContentsOfFile(defaultsPath);
    if (user || !defaults) return mergeQuillonMousePrefs(std::move(user), std::move(defaults));
    // The first run, or a file that did not read: the defaults become the user's file. A failed
    // copy is not an error; the next save tries again.
    if (!path.empty() && placeFree)
        static_cast<void>(writePrefs(*defaults, path, PropertyListFormat::Xml));
    return defaults;
}

bool saveQuillonMousePrefs(const Dictionary& prefs, const std::string& path) {
    return writePrefs(prefs, path, PropertyListFormat::Binary);
}

}  // namespace quillon
