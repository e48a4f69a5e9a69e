// The desktop's applications on Linux: desktop entries and X.app bundle folders, launched
// detached, files and URLs opened through xdg-open.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/login_items.h"
#include "platform/workspace.h"

namespace quillon {

// Applications are desktop entries and "X.app" bundle folders in the application folders.
// A desktop entry's information entries: CFBundleIdentifier = its desktop-file id without
// ".desktop" (path below the application folder, '/' turned into '-'; the file name for an entry
// elsewhere), CFBundleName = Name, CFBundleExecutable = the file name of the program of Exec;
// localized, CFBundleName = Name[language]. A bundle's come from Contents/Info.plist, localized
// from Contents/Resources/<language>.lproj/InfoPlist.strings.
class XdgWorkspace : public Workspace {
public:
    using RunningCount = std::function<int(const std::string& bundleId)>;

    // runningCount answers runningApplicationCount (0 when empty). applicationFolders are
    // searched in order by pathForApplication; languages, most preferred first, choose the
    // localized entries.
    explicit XdgWorkspace(RunningCount runningCount,
                          std::vector<std::string> applicationFolders = defaultApplicationFolders(),
                          std::vector<std::string> languages = defaultLanguages());

    // $XDG_DATA_HOME/applications (default ~/.local/share/applications), then "applications"
    // in each folder of $XDG_DATA_DIRS (default /usr/local/share:/usr/share).
    static std::vector<std::string> defaultApplicationFolders();
    // The user's languages from the locale environment.
    static std::vector<std::string> defaultLanguages();

    // On Linux the driver is the helper daemon, so the security-settings address, where the user
    // allows the driver, is answered by starting the helper from beside the pane bundle at
    // paneBundlePath and keeping its login item. Until this is called the address opens nothing.
    void answerSecuritySettings(LoginItems& loginItems, std::string paneBundlePath);

    int runningApplicationCount(const std::string& bundleId) override;
    bool launchApplication(const std::string& path) override;
    std::string pathForApplication(const std::string& bundleId) override;
    bool openFile(const std::string& path) override;
    bool openURL(const std::string& url) override;
    DictRef infoDictionary(const std::string& path) override;
    DictRef localizedInfoDictionary(const std::string& path) override;

private:
    // The desktop-file id of an entry at path (without ".desktop").
    std::string desktopFileId(const std::string& path) const;
    bool letDriverRun();

    RunningCount runningCount_;
    std::vector<std::string> applicationFolders_;
    std::vector<std::string> languages_;
    LoginItems* helperLoginItems_ = nullptr;
    std::string paneBundlePath_;
};

}  // namespace quillon
