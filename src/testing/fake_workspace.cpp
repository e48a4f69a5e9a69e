// The scripted desktop: answers from its maps and records what it was asked to do.
#include "testing/fake_workspace.h"

namespace quillon::testing {

namespace {

DictRef copyFrom(const std::map<std::string, DictRef>& dictionaries, const std::string& path) {
    const auto it = dictionaries.find(path);
    if (it == dictionaries.end() || !it->second) return nullptr;
    return deepCopy(*it->second);
}

}  // namespace

int FakeWorkspace::runningApplicationCount(const std::string& bundleId) {
    runningQueries.push_back(bundleId);
    const auto it = running.find(bundleId);
    return it == running.end() ? 0 : it->second;
}

bool FakeWorkspace::launchApplication(const std::string& path) {
    launched.push_back(path);
    return launchSucceeds;
}

std::string FakeWorkspace::pathForApplication(const std::string& bundleId) {
    const auto it = applications.find(bundleId);
    return it == applications.end() ? std::string() : it->second;
}

bool FakeWorkspace::openFile(const std::string& path) {
    openedFiles.push_back(path);
    return openSucceeds;
}

bool FakeWorkspace::openURL(const std::string& url) {
    openedURLs.push_back(url);
    return openSucceeds;
}

DictRef FakeWorkspace::infoDictionary(const std::string& path) {
    return copyFrom(infoDictionaries, path);
}

DictRef FakeWorkspace::localizedInfoDictionary(const std::string& path) {
    return copyFrom(localizedInfoDictionaries, path);
}

}  // namespace quillon::testing
