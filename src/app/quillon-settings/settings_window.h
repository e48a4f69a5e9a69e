// The settings window: the pane's layout built in code, its outlets and bindings, and the pane's
// life cycle driven by the window being shown and hidden.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QTreeWidget;

namespace quillon {

class Bindings;
class QuillonPathView;
class QtButton;
class QtIndicatorView;
class QtOutlineView;
class QtPaneHost;
class QtPanel;
class QtPopUpButton;
class QtTabView;
class QtTextField;
class QtView;
class QuillonMousePane;

// Made after the pane and the host and destroyed before them. The window connects the pane's
// outlets and becomes the host's main view; load() runs mainViewDidLoad once, and showing and
// hiding the window run didSelect and willUnselect, alternately.
class SettingsWindow final : public QWidget {
public:
    // The identifiers of the settings page's tabs, in tab order (the values of ui.tabID).
    static constexpr const char* kTabIdentifiers[] = {"options", "about"};

    SettingsWindow(QuillonMousePane& pane, QtPaneHost& host);
    ~SettingsWindow() override;

    void load();
    bool isPaneSelected() const { return selected_; }

    // The widgets tests and tools look at.
    QStackedWidget* pages() const { return pages_; }
    QComboBox* deviceMenu() const { return deviceMenu_; }
    QWidget* deviceRow() const { return deviceRow_; }
    QLabel* deviceInfo() const { return deviceInfo_; }
    QComboBox* targetMenu() const { return targetMenu_; }
    QTreeWidget* controlsList() const { return controlsList_; }
    QTabWidget* mainTabs() const { return mainTabs_; }
    QLineEdit* keystrokeField() const { return keystrokeField_; }
    QLabel* versionText() const { return versionText_; }
    QDialog* messagePanel() const { return messagePanel_; }
    QLabel* messageText() const { return messageText_; }
    QCheckBox* messageCheck() const { return messageCheck_; }
    QPushButton* messageButton(int code) const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QString text(const std::string& english) const;
    QWidget* buildSettingsPage();
    QWidget* buildButtonsTab();
    QWidget* buildAboutTab();
    QWidget* buildDriverStatusPage();
    QWidget* buildFooter();
    void buildMessagePanel();
    void connectOutlets();
    void bindControls();

    QuillonMousePane& pane_;
    QtPaneHost& host_;
    bool loaded_ = false;
    bool selected_ = false;

    QStackedWidget* pages_ = nullptr;
    QWidget* deviceRow_ = nullptr;
    QComboBox* deviceMenu_ = nullptr;
    QLabel* deviceInfo_ = nullptr;
    QComboBox* targetMenu_ = nullptr;
    QTabWidget* mainTabs_ = nullptr;
    QTreeWidget* controlsList_ = nullptr;
    QLineEdit* keystrokeField_ = nullptr;
    QGroupBox* actionBox_ = nullptr;
    QLabel* selectHint_ = nullptr;
    QLabel* actionTab_ = nullptr;
    QWidget* macroFrame_ = nullptr;
    QuillonPathView* indicator_ = nullptr;
    QLabel* versionText_ = nullptr;
    QPushButton* manualButton_ = nullptr;
    QPushButton* urlButton_ = nullptr;
    QDialog* messagePanel_ = nullptr;
    QLabel* messageText_ = nullptr;
    QCheckBox* messageCheck_ = nullptr;
    QPushButton* messageOK_ = nullptr;
    QPushButton* messageCancel_ = nullptr;
    QPushButton* messageOther_ = nullptr;

    std::unique_ptr<QtTabView> paneTabsOutlet_, mainTabsOutlet_;
    std::unique_ptr<QtPopUpButton> targetOutlet_, devicesOutlet_;
    std::unique_ptr<QtOutlineView> controlsOutlet_;
    std::unique_ptr<QtTextField> keystrokeOutlet_;
    std::unique_ptr<QtView> macroFrameOutlet_;
    std::unique_ptr<QtButton> manualOutlet_, urlOutlet_;
    std::unique_ptr<QtPanel> messagePanelOutlet_;
    std::unique_ptr<QtButton> okOutlet_, cancelOutlet_, otherOutlet_;
    std::unique_ptr<QtIndicatorView> indicatorOutlet_;
    std::unique_ptr<Bindings> bindings_;
};

}  // namespace quillon
