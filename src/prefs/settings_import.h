// Settings files: what an export holds, writing one, reading one, and merging its sets into
// the preferences.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "plist/value.h"

namespace quillon {

// The file name extension of settings files.
inline constexpr char kSettingsFileExtension[] = "quillonMouseSettings";
// Larger files are refused unread: a settings file of every set is a few hundred KiB.
inline constexpr std::size_t kMaxSettingsFileBytes = std::size_t{16} << 20;

// The content of a settings file: {settings: the whole table (uid empty) or the one set filed
// under uid, version: the preferences' version}; nothing when prefs has no such set.
DictRef makeQuillonMouseSettingsFile(const Dictionary& prefs, const std::string& uid = {});

// Writes content as a binary property list, atomically (a failed write leaves no part of a
// file behind and an existing file as it was); a new file gets mode 0600, as it can hold typed
// texts. False on failure.
bool writeQuillonMouseSettingsFile(const Dictionary& content, const std::string& path);

// The dictionary in a settings file; nothing, and why in *reason, when the file cannot be read,
// is larger than kMaxSettingsFileBytes, is not a property list or its top level is not a
// dictionary.
DictRef readQuillonMouseSettingsFile(const std::string& path, std::string* reason = nullptr);

// A set of the file whose family and application a set of the table has already.
struct SettingsClash {
    const std::string& fileKey;
    const std::string& existingKey;
    const Dictionary& existing;
    const Dictionary& incoming;
    bool hasApplication;  // the incoming set names an application (else: a global set)
};

struct ClashAnswer {
    bool replace = false;     // false: skip the file's set
    bool applyToAll = false;  // give the same answer to every later clash of this import
};

using ClashAnswerer = std::function<ClashAnswer(const SettingsClash&)>;

struct SettingsImport {
    bool versionMismatch = false;       // nothing was imported
    std::vector<std::string> added;     // table keys of new sets
    std::vector<std::string> replaced;  // table keys whose set the file's replaced
    std::vector<std::string> skipped;   // table keys of sets kept in a clash
    std::vector<std::string> ignored;   // file keys never considered: generic, malformed
    bool importedAny() const { return !added.empty() || !replaced.empty(); }
};

// Merges the sets of file (a settings file's dictionary) into the settings table of prefs, in
// the file's key order. A file whose version differs from the preferences' imports nothing.
// Entries whose key is not a decimal number from 0 to 2^31-1, whose value is not a dictionary
// or whose device type is "generic" are ignored; a file's `settings` that is not a dictionary
// holds none. Each imported set is a copy of the file's, cleaned as a load cleans it, and one
// for an application is of category "User" and not a preset. A set without a clash goes under
// the first free UID from max(its file key, 1000); in a clash, answer decides, and its
// applyToAll answer stands for the rest of the import.
SettingsImport importQuillonMouseSettings(Dictionary& prefs, const Dictionary& file,
                                          const ClashAnswerer& answer);

}  // namespace quillon
