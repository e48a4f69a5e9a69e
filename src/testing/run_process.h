// Running another program from a test: argv straight to exec, no shell, output captured.
#pragma once

#include <string>
#include <vector>

namespace quillon::testing {

struct ProcessResult {
    // The exit status, or 128 + the signal number when a signal ended the program.
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs argv[0] (a path, not looked up in PATH) with the arguments argv, standard input read
// from stdinPath. Throws std::runtime_error when the program cannot be started.
ProcessResult runProcess(const std::vector<std::string>& argv,
                         const std::string& stdinPath = "/dev/null");

}  // namespace quillon::testing
