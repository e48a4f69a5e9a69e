// The pane's host on Qt Widgets: bundle, main view and its window, window focus, panels as
// window-modal dialogs, held modifier keys and file dialogs.
#pragma once

#include <QPointer>
#include <QString>
#include <Qt>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "adapters/qt/qt_outlets.h"
#include "platform/pane_host.h"

class QDialog;
class QObject;
class QWidget;
class QWindow;

namespace quillon {

// Made after the QApplication, on its thread.
class QtPaneHost final : public PaneHost {
public:
    // extensionState answers systemExtensionState (the driver's state, from whatever knows it).
    QtPaneHost(std::shared_ptr<const Bundle> bundle, std::function<std::uint16_t()> extensionState);
    ~QtPaneHost() override;
    QtPaneHost(const QtPaneHost&) = delete;
    QtPaneHost& operator=(const QtPaneHost&) = delete;

    // The widget the pane draws in; its window is the pane's window.
    void setMainView(QWidget* view);

    std::shared_ptr<const Bundle> bundle() const override { return bundle_; }
    View* mainView() override { return view_.get(); }
    bool isWindowKey() const override;
    ObserverId addWindowKeyObservers(std::function<void()> becameKey,
                                     std::function<void()> resignedKey) override;
    void removeWindowKeyObservers(ObserverId id) override;
    std::uint16_t systemExtensionState() const override;
    // The panel must be a QtPanel; it runs window-modal on the pane's window until stopModal.
    int runModal(Panel& panel) override;
    void stopModal(int code) override;
    std::uint32_t currentModifierFlags() const override;
    void runOpenPanel(const OpenPanelOptions& options, ChooserCompletion completion) override;
    void runSavePanel(const SavePanelOptions& options, ChooserCompletion completion) override;
    // From now on every panel is answered with code at once, unseen: for runs nobody watches,
    // where a message at close would otherwise wait forever.
    void answerPanelsUnattended(int code) { unattendedCode_ = code; }

private:
    static QWindow* keyWindowOf(QWindow* window);
    void focusWindowChanged(QWindow* focused);
    // A request for an application ("app" among the types) gets the application chooser.
    void runApplicationChooser(const OpenPanelOptions& options, ChooserCompletion completion);
    QString localized(const QString& english) const;
    QWidget* window() const;

    std::shared_ptr<const Bundle> bundle_;
    std::function<std::uint16_t()> extensionState_;
    QPointer<QWidget> viewWidget_;
    std::unique_ptr<QtView> view_;
    std::map<ObserverId, std::pair<std::function<void()>, std::function<void()>>> windowObservers_;
    ObserverId nextId_ = 1;
    std::optional<int> unattendedCode_;
    QPointer<QWindow> focusWindow_;
    std::vector<QPointer<QDialog>> runningPanels_;  // innermost last
    std::unique_ptr<QObject> context_;
};

// Qt's modifier keys in the records' numbering: Super (Meta) is Command 0x0100, Shift 0x0200,
// Alt is Option 0x0800, Ctrl is Control 0x1000.
std::uint32_t modifierFlagsFromQt(Qt::KeyboardModifiers modifiers);

}  // namespace quillon
