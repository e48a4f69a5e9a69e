// The settings window: layouts, outlets, bindings and life cycle.
#include "app/quillon-settings/settings_window.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>

#include "adapters/qt/qt_binder.h"
#include "adapters/qt/qt_localization.h"
#include "adapters/qt/qt_outlets.h"
#include "adapters/qt/qt_pane_host.h"
#include "adapters/qt/quillon_path_view.h"
#include "pane/quillon_mouse_pane.h"
#include "ui_MessagePanel.h"
#include "ui_NewSettingsPanel.h"
#include "ui_QuillonMouse.h"
#include "ui_RenamePanel.h"
#include "ui_SpeedOptionsPanel.h"

namespace quillon {

namespace {

// The panels of the pane, each a Designer file of its own.
template <class Form>
QDialog* makePanel(QWidget* window) {
    auto* dialog = new QDialog(window);
    Form form;
    form.setupUi(dialog);
    dialog->setWindowModality(Qt::WindowModal);
    return dialog;
}

}  // namespace

SettingsWindow::SettingsWindow(QuillonMousePane& pane, QtPaneHost& host)
    : QWidget(nullptr), pane_(pane), host_(host) {
    Ui::QuillonMouseWindow form;
    form.setupUi(this);
    loadPanels();

    const Bundle& bundle = *host_.bundle();
    const Localize localize = [&bundle](const QString& english) {
        return QString::fromStdString(bundle.localizedString(english.toStdString(), "Localizable"));
    };
    // The panels are the window's children, so one walk covers them too.
    localizeTree(this, localize);
    const std::string name = bundle.objectForInfoDictionaryKey("CFBundleName").asString();
    if (!name.empty()) setWindowTitle(QString::fromStdString(name));
    styleTexts();

    host_.setMainView(this);
    connectOutlets();

    const auto& actions = QuillonMousePane::actions();
    binder_ = std::make_unique<Binder>(
        pane_.properties(),
        // The pane, not this: UBSan's type check misreads a window captured in its constructor.
        [&pane = pane_, &actions](const std::string& operation, const Sender& sender) {
            auto it = actions.find(operation);
            if (it == actions.end()) return false;
            (pane.*(it->second))(sender);
            return true;
        },
        [&actions](const std::string& operation) { return actions.count(operation) > 0; });
    binder_->bindTree(this);
}

SettingsWindow::~SettingsWindow() {
    if (selected_) pane_.willUnselect();
    selected_ = false;
    // The pane outlives the window; it must not reach the outlets once they are gone.
    for (auto& detach : detachOutlets_)
        detach();
    binder_.reset();
    host_.setMainView(nullptr);
}

QObject* SettingsWindow::findObject(const char* name) const {
    return findChild<QObject*>(name);
}

void SettingsWindow::loadPanels() {
    panels_.push_back(makePanel<Ui::MessagePanel>(this));
    panels_.push_back(makePanel<Ui::NewSettingsPanel>(this));
    panels_.push_back(makePanel<Ui::RenamePanel>(this));
    panels_.push_back(makePanel<Ui::SpeedOptionsPanel>(this));
}

void SettingsWindow::styleTexts() {
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label->property("secondary").toBool()) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
            label->setPalette(palette);
        }
        if (const double scale = label->property("fontScale").toDouble(); scale > 0) {
            QFont font = label->font();
            font.setBold(true);
            font.setPointSizeF(font.pointSizeF() * scale);
            label->setFont(font);
        }
    }
    // The menus' labels share one width, so that the menus line up in the user's language too.
    int width = 0;
    const auto menuLabels = findChildren<QLabel*>();
    for (QLabel* label : menuLabels)
        if (label->property("menuLabel").toBool())
            width = std::max(width, label->sizeHint().width());
    for (QLabel* label : menuLabels)
        if (label->property("menuLabel").toBool()) label->setFixedWidth(width);
}

void SettingsWindow::connectOutlets() {
    // Each outlet wraps the widget of its name; a name the layout lacks leaves the field empty,
    // which the pane copes with.
    auto connect = [this]<class Outlet, class Widget, class Field>(const char* name,
                                                                   Field*& field) {
        Widget* widget = find<Widget>(name);
        if (!widget) return;
        auto outlet = std::make_shared<Outlet>(widget);
        field = outlet.get();
        outlets_.push_back(outlet);
        detachOutlets_.push_back([&field] { field = nullptr; });
    };
    QuillonMousePane& p = pane_;
    connect.operator()<QtTabView, QStackedWidget>("iboPaneTabs", p.iboPaneTabs);
    connect.operator()<QtTabView, QTabWidget>("iboMainTabs", p.iboMainTabs);
    connect.operator()<QtPopUpButton, QComboBox>("iboOptionsMenuTarget", p.iboOptionsMenuTarget);
    connect.operator()<QtPopUpButton, QComboBox>("iboOptionsMenuDevices", p.iboOptionsMenuDevices);
    connect.operator()<QtOutlineView, QTreeWidget>("iboOptionsListControls",
                                                   p.iboOptionsListControls);
    connect.operator()<QtTextField, QLineEdit>("iboOptionsFieldKeystroke",
                                               p.iboOptionsFieldKeystroke);
    connect.operator()<QtView, QWidget>("iboOptionsViewMacroFrame", p.iboOptionsViewMacroFrame);
    connect.operator()<QtButton, QPushButton>("iboInfoButtonManual", p.iboInfoButtonManual);
    connect.operator()<QtButton, QPushButton>("iboInfoButtonURL", p.iboInfoButtonURL);
    connect.operator()<QtPanel, QDialog>("iboModalPanel", p.iboModalPanel);
    connect.operator()<QtPanel, QDialog>("iboNewSettingsPanel", p.iboNewSettingsPanel);
    connect.operator()<QtPanel, QDialog>("iboRenamePanel", p.iboRenamePanel);
    connect.operator()<QtTextField, QLineEdit>("iboRenameTextName", p.iboRenameTextName);
    connect.operator()<QtTextField, QLineEdit>("iboRenameFieldName", p.iboRenameFieldName);
    connect.operator()<QtPanel, QDialog>("iboSpeedOptionsPanel", p.iboSpeedOptionsPanel);
    connect.operator()<QtIndicatorView, QuillonPathView>("iboPathView", p.iboPathView);
    // The list's data source and delegate go with the window.
    detachOutlets_.insert(detachOutlets_.begin(), [&p] {
        if (p.iboOptionsListControls) {
            p.iboOptionsListControls->setDataSource(nullptr);
            p.iboOptionsListControls->setDelegate(nullptr);
        }
    });
}

void SettingsWindow::load() {
    if (loaded_) return;
    loaded_ = true;
    pane_.mainViewDidLoad();
}

void SettingsWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (loaded_ && !selected_) {
        selected_ = true;
        pane_.didSelect();
    }
}

void SettingsWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (selected_) {
        selected_ = false;
        pane_.willUnselect();
    }
}

}  // namespace quillon
