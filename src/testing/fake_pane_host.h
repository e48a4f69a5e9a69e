// A host for the pane without a window: a bundle folder, scripted panels and choosers, and
// window-focus events and modifier keys that the test sets.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/key_event_hook.h"
#include "platform/macro_editor.h"
#include "platform/pane_host.h"
#include "testing/recording_outlets.h"

namespace quillon::testing {

class FakePaneHost : public PaneHost {
public:
    explicit FakePaneHost(std::filesystem::path bundleRoot)
        : bundle_(std::make_shared<Bundle>(std::move(bundleRoot), std::vector<std::string>{"en"})) {
    }

    std::shared_ptr<const Bundle> bundle() const override { return bundle_; }
    View* mainView() override { return &view; }
    bool isWindowKey() const override { return windowKey; }
    ObserverId addWindowKeyObservers(std::function<void()> becameKey,
                                     std::function<void()> resignedKey) override;
    void removeWindowKeyObservers(ObserverId id) override { windowObservers_.erase(id); }
    std::uint16_t systemExtensionState() const override { return extensionState; }
    // Runs the responder as if the user answered the panel; a responder that calls stopModal (or
    // the pane's ibaModalButtonPressed) decides the code, else its return value does.
    int runModal(Panel& panel) override;
    void stopModal(int code) override { stopCode_ = code; }
    std::uint32_t currentModifierFlags() const override { return modifierFlags; }
    void runOpenPanel(const OpenPanelOptions& options, ChooserCompletion completion) override;
    void runSavePanel(const SavePanelOptions& options, ChooserCompletion completion) override;

    // The window gains or loses key status: every registered observer hears of it.
    void windowBecameKey();
    void windowResignedKey();
    std::size_t windowObserverCount() const { return windowObservers_.size(); }

    RecordingView view;
    bool windowKey = true;
    std::uint16_t extensionState = 0;
    std::uint32_t modifierFlags = 0;
    std::function<int(Panel&)> panelResponder = [](Panel&) { return 1; };
    std::vector<Panel*> panelsRun;
    // The answers the choosers give: ok and paths; recorded options for the test to read.
    bool chooserOK = false;
    std::vector<std::string> chooserPaths;
    std::vector<OpenPanelOptions> openPanels;
    // While set, open choosers wait: their completions collect here for the test to run later.
    bool holdOpenPanels = false;
    std::vector<ChooserCompletion> heldOpenPanels;
    std::vector<SavePanelOptions> savePanels;

private:
    std::shared_ptr<Bundle> bundle_;
    std::map<ObserverId, std::pair<std::function<void()>, std::function<void()>>> windowObservers_;
    ObserverId nextId_ = 1;
    std::optional<int> stopCode_;
};

class CountingKeyEventHook : public KeyEventHook {
public:
    void exchangeKeyEventMethods() override {
        routed = !routed;
        ++exchanges;
    }
    bool routed = false;
    int exchanges = 0;
};

// A macro editor that remembers the action it was given and the keystrokes it received.
class RecordingMacroEditor : public MacroEditor {
public:
    View& view() override { return view_; }
    void setMacroAction(DictRef action) override { actions.push_back(std::move(action)); }
    bool overrideKeyEvents() override { return editingKeystrokeStep; }
    void receiveKeystroke(std::uint8_t keyCode, std::uint16_t modifiers) override {
        keystrokes.emplace_back(keyCode, modifiers);
    }
    std::vector<DictRef> actions;
    bool editingKeystrokeStep = false;
    std::vector<std::pair<std::uint8_t, std::uint16_t>> keystrokes;
    RecordingView view_;
};

}  // namespace quillon::testing
