// Detached start by double fork: the intermediate child exits at once, so the program is
// re-parented to init (or the session's subreaper) and we never have to reap it.
#include "adapters/xdg/detached_process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quillon {

namespace {

constexpr std::string_view kDefaultPath = "/usr/local/bin:/usr/bin:/bin";

// Reports errno to the parent through the pipe and ends the child; async-signal-safe only.
[[noreturn]] void failChild(int fd, int error) {
    [[maybe_unused]] const auto written = ::write(fd, &error, sizeof error);
    ::_exit(127);
}

}  // namespace

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> findExecutableOnPath(std::string_view name) {
    if (name.empty() || name.find('/') != std::string_view::npos) return std::nullopt;
    const char* variable = std::getenv("PATH");
    std::string_view folders = variable ? std::string_view(variable) : kDefaultPath;
    for (;;) {
        const auto colon = folders.find(':');
        std::string_view folder = folders.substr(0, colon);
        // An empty entry means the current folder, which a launcher must not search.
        if (!folder.empty() && folder.front() == '/') {
            std::string candidate(folder);
            if (candidate.back() != '/') candidate += '/';
            candidate += name;
            if (isExecutableFile(candidate)) return candidate;
        }
        if (colon == std::string_view::npos) break;
        folders.remove_prefix(colon + 1);
    }
    return std::nullopt;
}

bool spawnDetached(const std::vector<std::string>& argv, const std::string& workingDirectory) {
    if (argv.empty() || argv.front().empty()) return false;
    // Everything the children need is prepared here: after fork only async-signal-safe calls.
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const char* program = argv.front().c_str();
    const char* folder = workingDirectory.empty() ? nullptr : workingDirectory.c_str();

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (child == 0) {
        ::close(fds[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild < 0) failChild(fds[1], errno);
        if (grandchild > 0) ::_exit(0);
        // The program starts with default signal handling and nothing blocked, as from a shell.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig = 1; sig < NSIG; ++sig) {
            if (sig != SIGKILL && sig != SIGSTOP) ::signal(sig, SIG_DFL);
        }
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0) {
            ::dup2(devNull, STDIN_FILENO);
            if (devNull != STDIN_FILENO) ::close(devNull);
        }
        if (folder && ::chdir(folder) != 0) failChild(fds[1], errno);
        ::execve(program, args.data(), environ);
        failChild(fds[1], errno);
    }
    ::close(fds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // The pipe closes without data when exec succeeded (close-on-exec), or carries errno.
    int error = 0;
    ssize_t n;
    while ((n = ::read(fds[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(fds[0]);
    return n == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace quillon
