// The user's home folder, which holds the preferences file and the autostart folder.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// HOME when it is set and not empty, else the home folder the password database gives the user;
// nothing when neither names one. Nothing else is tried: a made-up home such as "/" would put
// the preferences where the helper does not look and where the user cannot clean them up.
std::optional<std::string> userHomeDirectory();

// At a program's start: puts userHomeDirectory() into HOME, so that every part of the program
// and every program it starts (the helper among them) sees the same home, and returns it. When
// there is none, tells why on standard error, prefixed with program, and returns nothing.
std::optional<std::string> adoptUserHomeDirectory(std::string_view program);

}  // namespace quillon
