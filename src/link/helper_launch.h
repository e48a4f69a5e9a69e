// Starting the helper application when the pane loads, and keeping it among the login items.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/login_items.h"
#include "platform/workspace.h"

namespace quillon {

inline constexpr std::string_view kHelperBundleIdentifier = "com.quillonworks.mouse.helper";
inline constexpr std::string_view kHelperBundleFileName = "QuillonMouseHelper.app";

// The helper's location: the folder that holds the pane bundle, joined with the helper's file name.
std::string helperApplicationPath(std::string_view paneBundlePath);

// The last path component of path, without a trailing ".app".
std::string applicationNameOfPath(std::string_view path);

// A path as a file location that compares equal for equal files: absolute, without "." and ".."
// steps, repeated separators or a trailing separator. "" stays "".
std::string fileLocationOfPath(std::string_view path);

// The launch step at pane load: when no application with the helper's bundle identifier runs,
// launches the helper from beside the pane bundle (outcome ignored) and makes it a login item.
// When the helper runs, neither the workspace nor the login items are touched further.
void launchHelperApplication(Workspace& workspace, LoginItems& loginItems,
                             std::string_view paneBundlePath);

// Makes the application at path a login item, removing items of the same application name (or
// of otherName) that point elsewhere or nowhere. 0 when it appended an item, else the status of
// the scan: 0, or -1 when the list could not be read or a removal failed.
int addLoginItem(LoginItems& loginItems, const std::string& path,
                 const std::optional<std::string>& otherName);

// Counts, and optionally removes, the login items that resolve to path's location, those whose
// display name equals path's application name ignoring case, and those whose display name equals
// otherName (less a trailing ".app") ignoring case. Each given count starts at 0 and counts the
// matching items that are kept or were removed. An item resolving to path is never tested by
// name. Returns -1 when the list cannot be opened or read or any removal failed (the remaining
// items are still processed), else 0.
int scanLoginItems(LoginItems& loginItems, const std::optional<std::string>& path,
                   bool removeSameLocation, int* sameLocationCount, bool removeSameName,
                   int* sameNameCount, const std::optional<std::string>& otherName,
                   bool removeOtherName, int* otherNameCount);

}  // namespace quillon
