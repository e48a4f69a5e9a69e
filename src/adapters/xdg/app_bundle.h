// Application bundle folders ("X.app" with Contents/Info.plist) as the Linux adapters see them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "plist/value.h"

namespace quillon {

// The dictionary in path/Contents/Info.plist, or nullptr when path is not such a bundle.
DictRef applicationBundleInfo(const std::string& path);

// The program a bundle starts: path/Contents/MacOS/ followed by CFBundleExecutable, or by the
// bundle's name without ".app" when Info.plist is missing or names none. "" when the name is
// not a plain file name.
std::string applicationBundleExecutable(const std::string& path);

// The bundle folder that a program inside "X.app/Contents/MacOS/" belongs to; nothing for any
// other program.
std::optional<std::string> applicationBundleOfExecutable(std::string_view program);

// True when the last component of path (less trailing '/') ends in ".app".
bool hasApplicationExtension(std::string_view path);

}  // namespace quillon
