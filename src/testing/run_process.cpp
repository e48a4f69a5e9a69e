// Running another program from a test: argv straight to exec, no shell, output captured.
#include "testing/run_process.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quillon::testing {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Output goes to anonymous temporary files rather than pipes, so a program that writes much to
// both streams cannot block while the test waits for it.
File temporaryFile() {
    File f(std::tmpfile());
    if (!f) throw std::runtime_error("tmpfile failed");
    return f;
}

std::string contents(std::FILE* f) {
    std::string bytes;
    std::rewind(f);
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
    return bytes;
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& stdinPath) {
    if (argv.empty()) throw std::runtime_error("runProcess: empty argv");
    File out = temporaryFile();
    File err = temporaryFile();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, stdinPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fileno(out.get()), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fileno(err.get()), STDERR_FILENO);

    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    pid_t pid = 0;
    const int spawnError = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0)
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(spawnError));

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    }
    ProcessResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = contents(out.get());
    result.err = contents(err.get());
    return result;
}

}  // namespace quillon::testing
