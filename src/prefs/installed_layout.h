// Where a program finds the pane bundle: in the build tree while it runs from there, else in
// the installed layout beside the program.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// The bundle folder below an installation prefix: <prefix>/share/quillon-mouse.
inline constexpr std::string_view kInstalledBundleSubpath = "share/quillon-mouse";

// The running program's own file (the target of /proc/self/exe); "" when it cannot be read.
std::string currentExecutablePath();

// The pane bundle a program uses when not told: buildBundle when executable lies inside
// buildTree (a program run from where it was built), else the installed bundle of the prefix
// that holds the program's folder (<dir>/../share/quillon-mouse for <dir>/program). An installed
// program never looks into a build tree, even when one is still there.
std::string defaultPaneBundleDirectory(std::string_view executable, std::string_view buildTree,
                                       std::string_view buildBundle);

// The bundle folder as the pane needs it: given (or, when absent, the default for this program)
// made absolute against the current folder and normal, without "." or ".." steps or a trailing
// separator. The helper is looked for beside the bundle, so "." must not stay ".".
std::string paneBundleDirectory(const std::optional<std::string>& given);

}  // namespace quillon
