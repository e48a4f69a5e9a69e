// A host for the pane without a window.
#include "testing/fake_pane_host.h"

namespace quillon::testing {

PaneHost::ObserverId FakePaneHost::addWindowKeyObservers(std::function<void()> becameKey,
                                                         std::function<void()> resignedKey) {
    ObserverId id = nextId_++;
    windowObservers_[id] = {std::move(becameKey), std::move(resignedKey)};
    return id;
}

int FakePaneHost::runModal(Panel& panel) {
    panelsRun.push_back(&panel);
    panel.setHidden(false);
    stopCode_.reset();
    int answer = panelResponder ? panelResponder(panel) : 0;
    panel.setHidden(true);
    return stopCode_ ? *stopCode_ : answer;
}

void FakePaneHost::runOpenPanel(const OpenPanelOptions& options, ChooserCompletion completion) {
    openPanels.push_back(options);
    if (holdOpenPanels)
        heldOpenPanels.push_back(std::move(completion));
    else if (completion)
        completion(chooserOK, chooserPaths);
}

void FakePaneHost::runSavePanel(const SavePanelOptions& options, ChooserCompletion completion) {
    savePanels.push_back(options);
    if (completion) completion(chooserOK, chooserPaths);
}

void FakePaneHost::windowBecameKey() {
    auto observers = windowObservers_;
    for (auto& [id, pair] : observers)
        pair.first();
}

void FakePaneHost::windowResignedKey() {
    auto observers = windowObservers_;
    for (auto& [id, pair] : observers)
        pair.second();
}

}  // namespace quillon::testing
