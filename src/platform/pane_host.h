// What the settings pane needs from the application that shows it: its bundle, its window,
// window-focus news, the driver-extension state, modal panels, held modifiers and file choosers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/outlets.h"
#include "plist/bundle.h"

namespace quillon {

struct OpenPanelOptions {
    std::string message;
    std::string directory;                  // where the chooser starts; "" for its own choice
    std::vector<std::string> allowedTypes;  // file name extensions; empty for any file
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    bool allowsMultipleSelection = false;
};

struct SavePanelOptions {
    std::string message;
    std::string directory;
    std::string nameFieldString;  // the proposed file name
    std::vector<std::string> allowedTypes;
};

class PaneHost {
public:
    using ObserverId = std::uint64_t;
    // ok is false when the user cancelled; paths holds the chosen files otherwise.
    using ChooserCompletion = std::function<void(bool ok, const std::vector<std::string>& paths)>;

    virtual ~PaneHost() = default;
    // The pane's own resource bundle; its root folder lies beside the helper application.
    virtual std::shared_ptr<const Bundle> bundle() const = 0;
    // The view the pane draws in.
    virtual View* mainView() = 0;
    // True while the pane's window is the key window.
    virtual bool isWindowKey() const = 0;
    // Calls becameKey / resignedKey whenever any window of the host gains or loses key status.
    virtual ObserverId addWindowKeyObservers(std::function<void()> becameKey,
                                             std::function<void()> resignedKey) = 0;
    virtual void removeWindowKeyObservers(ObserverId id) = 0;
    // The driver extension's state as the host's application delegate reports it.
    virtual std::uint16_t systemExtensionState() const = 0;
    // Shows panel as a sheet on the pane's window and runs a nested loop until stopModal; returns
    // the code given to stopModal and hides the panel.
    virtual int runModal(Panel& panel) = 0;
    // Ends the innermost runModal with code.
    virtual void stopModal(int code) = 0;
    // Modifier keys held right now, in the key-code numbering of the records (Option 0x0800, ...).
    virtual std::uint32_t currentModifierFlags() const = 0;
    // Shows an open chooser attached to the pane's window; completion runs later, on the main loop.
    virtual void runOpenPanel(const OpenPanelOptions& options, ChooserCompletion completion) = 0;
    // Shows a save chooser; completion gets the one chosen path.
    virtual void runSavePanel(const SavePanelOptions& options, ChooserCompletion completion) = 0;
};

}  // namespace quillon
