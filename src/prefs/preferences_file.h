// The preferences file: where it lives, loading it merged with the shipped defaults, saving it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "plist/value.h"

namespace quillon {

// The file's place below a home folder; the helper reads it exactly there.
inline constexpr std::string_view kQuillonMousePrefsSubpath =
    "Library/Preferences/com.quillonworks.mouse.plist";

// The preferences file of the user whose home folder is home ("/home/a" and "/home/a/" both
// give "/home/a/Library/Preferences/com.quillonworks.mouse.plist").
std::string quillonMousePrefsPath(std::string_view home);

// The preferences file under the user's home folder (userHomeDirectory()); nothing when the
// user has none.
std::optional<std::string> userQuillonMousePrefsPath();

// The merge of a loaded user dictionary with loaded defaults, in memory: user with every settings
// record of defaults that it lacks added (nothing added when either has no settings table); the
// defaults when there is no user dictionary; user when there are no defaults.
DictRef mergeQuillonMousePrefs(DictRef user, DictRef defaults);

// The preferences of path merged with the defaults file: the user's dictionary with every
// settings record of the defaults that it lacks added (records present in both stay as the
// user's); the user's alone when defaultsPath is empty or unreadable. When the user's file is
// missing or unreadable and the defaults are readable, the defaults are returned and copied to
// path as an XML property list (atomically, the folder made when missing). A file at path that
// exists but is not a property-list dictionary is moved aside to "<path>.corrupt" (or
// "<path>.corrupt.N") with its bytes intact, with or without defaults, so that no write loses it.
// Either path may be empty. Nothing when neither file gives a dictionary.
DictRef readQuillonMousePrefs(const std::string& path, const std::string& defaultsPath);

// Writes prefs to path as a binary property list, atomically: a temporary file in the same
// folder renamed over the old one. A new file gets mode 0600 (the file can hold typed texts and
// passwords), an existing one keeps its mode, a missing folder is made with mode 0700. A symbolic
// link at path is followed, so the file it points to is replaced. False when serialising or
// writing fails; the old file is then left as it was.
bool saveQuillonMousePrefs(const Dictionary& prefs, const std::string& path);

}  // namespace quillon
