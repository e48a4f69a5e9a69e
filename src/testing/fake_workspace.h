// A scripted desktop: running applications, installed ones and their information entries, and a
// record of every launch and open asked for.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/workspace.h"

namespace quillon::testing {

class FakeWorkspace : public Workspace {
public:
    int runningApplicationCount(const std::string& bundleId) override;
    bool launchApplication(const std::string& path) override;
    std::string pathForApplication(const std::string& bundleId) override;
    bool openFile(const std::string& path) override;
    bool openURL(const std::string& url) override;
    DictRef infoDictionary(const std::string& path) override;
    DictRef localizedInfoDictionary(const std::string& path) override;

    // Scripted state: running count by bundle identifier, application path by bundle
    // identifier, information dictionaries by application path (each read returns a copy).
    std::map<std::string, int> running;
    std::map<std::string, std::string> applications;
    std::map<std::string, DictRef> infoDictionaries;
    std::map<std::string, DictRef> localizedInfoDictionaries;
    // Outcomes of launches and opens; recorded either way.
    bool launchSucceeds = true;
    bool openSucceeds = true;

    // Every call, in order.
    std::vector<std::string> runningQueries;
    std::vector<std::string> launched;
    std::vector<std::string> openedFiles;
    std::vector<std::string> openedURLs;
};

}  // namespace quillon::testing
