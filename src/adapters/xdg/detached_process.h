// Starting programs the way a desktop launcher does: no shell, own session, not our child.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// Starts the program at argv[0] (a path) with the arguments argv, standard input from
// /dev/null, in a new session and re-parented away from this process, so it outlives us and
// leaves no zombie. Runs in workingDirectory when not empty. True when the program was executed.
bool spawnDetached(const std::vector<std::string>& argv, const std::string& workingDirectory = {});

// The path of an executable file name found in the folders of PATH ("/usr/local/bin:/usr/bin:
// /bin" when PATH is unset), or nothing. A name holding '/' is not looked up.
std::optional<std::string> findExecutableOnPath(std::string_view name);

// True when path is a regular file we may execute.
bool isExecutableFile(const std::string& path);

}  // namespace quillon
