// The desktop's applications: which run, where they are, launching them, opening files and URLs.
#pragma once

#include <string>
#include <string_view>

#include "plist/value.h"

namespace quillon {

// The page of the system's security settings where the user allows the driver to run. The
// desktop's workspace decides what opening it means.
inline constexpr std::string_view kSecuritySettingsURL =
    "x-apple.systempreferences:com.apple.preference.security?General";

class Workspace {
public:
    virtual ~Workspace() = default;
    // Number of running applications whose bundle identifier is bundleId.
    virtual int runningApplicationCount(const std::string& bundleId) = 0;
    // Starts the application at path (a bundle folder or desktop entry), detached; false when it
    // could not be started.
    virtual bool launchApplication(const std::string& path) = 0;
    // Path of an installed application with that bundle identifier, or "" when there is none.
    virtual std::string pathForApplication(const std::string& bundleId) = 0;
    // Opens a file or folder path with its default application; false when nothing could open it.
    virtual bool openFile(const std::string& path) = 0;
    // Opens a URL ("https://…", "mailto:…") with its default handler; false on failure.
    virtual bool openURL(const std::string& url) = 0;
    // Information entries of the application at path (CFBundleIdentifier, CFBundleName,
    // CFBundleExecutable, ...), or nullptr when path is not an application.
    virtual DictRef infoDictionary(const std::string& path) = 0;
    // The same entries localized for the user's languages where the application has them.
    virtual DictRef localizedInfoDictionary(const std::string& path) = 0;
};

}  // namespace quillon
