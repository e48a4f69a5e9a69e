// The settings window: the pane's layouts loaded from their Designer files, their outlets handed
// to the pane, their declared bindings applied, and the pane's life cycle driven by the window
// being shown and hidden.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QDialog;

namespace quillon {

class Binder;
class QtOutlineView;
class QtPaneHost;
class QuillonMousePane;

// Made after the pane and the host and destroyed before them. The window connects the pane's
// outlets and becomes the host's main view; load() runs mainViewDidLoad once, and showing and
// hiding the window run didSelect and willUnselect, alternately. The Buttons tab's list, action box
// and editor pages, most of the window's widgets, are made when the tab is first shown, and the
// panels when the pane first needs one, so that the window shows sooner.
class SettingsWindow final : public QWidget {
public:
    SettingsWindow(QuillonMousePane& pane, QtPaneHost& host);
    ~SettingsWindow() override;

    void load();
    bool isPaneSelected() const { return selected_; }

    // Makes the Buttons tab's list, action box and editor pages now, if they are not made yet
    // (the tab does it when it is first shown).
    void loadButtonsTab();
    bool isButtonsTabLoaded() const { return buttonsTabLoaded_; }

    // A widget or panel of the loaded layouts by object name, for tests and tools.
    template <class T>
    T* find(const char* name) const {
        return dynamic_cast<T*>(findObject(name));
    }
    QObject* findObject(const char* name) const;
    // The panels, made now if the pane has not needed one yet.
    const std::vector<QDialog*>& panels();
    Binder& binder() const { return *binder_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void loadPanels();
    void connectOutlets();
    template <class Outlet, class Widget, class Field>
    void connectOutlet(const char* name, Field*& field);
    template <class Outlet, class Widget, class Field>
    void connectPanelOutlet(const char* name, Field*& field);
    template <class Outlet, class Field>
    void keepOutlet(std::shared_ptr<Outlet> outlet, Field*& field);
    void localize(QWidget* root);
    void styleTexts(QWidget* root);
    void loadButtonsTabIfShown();
    void afterFirstFrame();

    QuillonMousePane& pane_;
    QtPaneHost& host_;
    bool loaded_ = false;
    bool selected_ = false;
    bool buttonsTabLoaded_ = false;
    bool firstFramePainted_ = false;
    std::vector<QDialog*> panels_;
    QtOutlineView* controlsList_ = nullptr;  // shows its rows once the Buttons tab is made
    std::vector<std::shared_ptr<void>> outlets_;
    std::vector<std::function<void()>> detachOutlets_;
    std::unique_ptr<Binder> binder_;
};

}  // namespace quillon
