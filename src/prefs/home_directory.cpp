// Finding the user's home folder when the environment does not say.
#include "prefs/home_directory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace quillon {

namespace {

std::optional<std::string> passwordDatabaseHome() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0) size = 16384;
    std::vector<char> buffer(static_cast<std::size_t>(size));
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    if (!found->pw_dir || !*found->pw_dir) return std::nullopt;
    return std::string(found->pw_dir);
}

}  // namespace

std::optional<std::string> userHomeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return std::string(home);
    return passwordDatabaseHome();
}

std::optional<std::string> adoptUserHomeDirectory(std::string_view program) {
    auto home = userHomeDirectory();
    if (!home) {
        std::fprintf(stderr,
                     "%.*s: no home folder: HOME is not set and the password database has none "
                     "for this user\n",
                     static_cast<int>(program.size()), program.data());
        return std::nullopt;
    }
    ::setenv("HOME", home->c_str(), 1);
    return home;
}

}  // namespace quillon
