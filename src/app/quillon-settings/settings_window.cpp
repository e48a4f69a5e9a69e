// The settings window: layouts, outlets, bindings and life cycle.
#include "app/quillon-settings/settings_window.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>

#include "adapters/qt/qt_binder.h"
#include "adapters/qt/qt_localization.h"
#include "adapters/qt/qt_outlets.h"
#include "adapters/qt/qt_pane_host.h"
#include "adapters/qt/quillon_path_view.h"
#include "pane/quillon_mouse_pane.h"
#include "ui_ActionEditor.h"
#include "ui_ButtonsTab.h"
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

    localize(this);
    const std::string name =
        host_.bundle()->objectForInfoDictionaryKey("CFBundleName").asString();
    if (!name.empty()) setWindowTitle(QString::fromStdString(name));
    styleTexts(this);

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

    if (auto* tabs = find<QTabWidget>("iboMainTabs"))
        QObject::connect(tabs, &QTabWidget::currentChanged, this,
                         [this] { loadButtonsTabIfShown(); });
    loadButtonsTabIfShown();
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

// The panels are made when the pane first needs one, not before the window shows.
void SettingsWindow::loadPanels() {
    if (!panels_.empty()) return;
    panels_.push_back(makePanel<Ui::MessagePanel>(this));
    panels_.push_back(makePanel<Ui::NewSettingsPanel>(this));
    panels_.push_back(makePanel<Ui::RenamePanel>(this));
    panels_.push_back(makePanel<Ui::SpeedOptionsPanel>(this));
    for (QDialog* panel : panels_) {
        localize(panel);
        styleTexts(panel);
        binder_->bindTree(panel);
    }
}

const std::vector<QDialog*>& SettingsWindow::panels() {
    loadPanels();
    return panels_;
}

void SettingsWindow::localize(QWidget* root) {
    const Bundle& bundle = *host_.bundle();
    localizeTree(root, [&bundle](const QString& english) {
        return QString::fromStdString(bundle.localizedString(english.toStdString(), "Localizable"));
    });
}

void SettingsWindow::styleTexts(QWidget* root) {
    for (QLabel* label : root->findChildren<QLabel*>()) {
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
    const auto menuLabels = root->findChildren<QLabel*>();
    for (QLabel* label : menuLabels)
        if (label->property("menuLabel").toBool())
            width = std::max(width, label->sizeHint().width());
    for (QLabel* label : menuLabels)
        if (label->property("menuLabel").toBool()) label->setFixedWidth(width);
    // A button that opens its menu at once draws the menu's arrow in its corner without making
    // room for it; the room is added, so that the arrow does not cover the title's last letter.
    for (QToolButton* button : root->findChildren<QToolButton*>())
        if (button->popupMode() == QToolButton::InstantPopup && !button->actions().isEmpty())
            button->setMinimumWidth(
                button->sizeHint().width() +
                2 * button->style()->pixelMetric(QStyle::PM_MenuButtonIndicator, nullptr, button));
}

// Each outlet wraps the widget of its name; a name the layout lacks leaves the field empty, which
// the pane copes with.
template <class Outlet, class Widget, class Field>
void SettingsWindow::connectOutlet(const char* name, Field*& field) {
    if (Widget* widget = find<Widget>(name)) keepOutlet(std::make_shared<Outlet>(widget), field);
}

// An outlet in a panel makes the panels when the pane first reaches for it.
template <class Outlet, class Widget, class Field>
void SettingsWindow::connectPanelOutlet(const char* name, Field*& field) {
    keepOutlet(std::make_shared<Outlet>(MadeWhenNeeded<Widget>(std::function<Widget*()>(
                   [this, name] {
                       loadPanels();
                       return find<Widget>(name);
                   }))),
               field);
}

template <class Outlet, class Field>
void SettingsWindow::keepOutlet(std::shared_ptr<Outlet> outlet, Field*& field) {
    field = outlet.get();
    outlets_.push_back(std::move(outlet));
    detachOutlets_.push_back([&field] { field = nullptr; });
}

void SettingsWindow::connectOutlets() {
    QuillonMousePane& p = pane_;
    connectOutlet<QtTabView, QStackedWidget>("iboPaneTabs", p.iboPaneTabs);
    connectOutlet<QtTabView, QTabWidget>("iboMainTabs", p.iboMainTabs);
    connectOutlet<QtPopUpButton, QComboBox>("iboOptionsMenuTarget", p.iboOptionsMenuTarget);
    connectOutlet<QtPopUpButton, QComboBox>("iboOptionsMenuDevices", p.iboOptionsMenuDevices);
    // The list is the Buttons tab's; until the tab is made the outlet keeps the rows itself.
    auto controls = std::make_shared<QtOutlineView>();
    controlsList_ = controls.get();
    keepOutlet(std::move(controls), p.iboOptionsListControls);
    connectOutlet<QtButton, QPushButton>("iboInfoButtonManual", p.iboInfoButtonManual);
    connectOutlet<QtButton, QPushButton>("iboInfoButtonURL", p.iboInfoButtonURL);
    connectPanelOutlet<QtPanel, QDialog>("iboModalPanel", p.iboModalPanel);
    connectPanelOutlet<QtPanel, QDialog>("iboNewSettingsPanel", p.iboNewSettingsPanel);
    connectPanelOutlet<QtPanel, QDialog>("iboRenamePanel", p.iboRenamePanel);
    connectPanelOutlet<QtTextField, QLineEdit>("iboRenameTextName", p.iboRenameTextName);
    connectPanelOutlet<QtTextField, QLineEdit>("iboRenameFieldName", p.iboRenameFieldName);
    connectPanelOutlet<QtPanel, QDialog>("iboSpeedOptionsPanel", p.iboSpeedOptionsPanel);
    connectOutlet<QtIndicatorView, QuillonPathView>("iboPathView", p.iboPathView);
    // The list's data source and delegate go with the window.
    detachOutlets_.insert(detachOutlets_.begin(), [&p] {
        if (p.iboOptionsListControls) {
            p.iboOptionsListControls->setDataSource(nullptr);
            p.iboOptionsListControls->setDelegate(nullptr);
        }
    });
}

void SettingsWindow::loadButtonsTabIfShown() {
    auto* tabs = find<QTabWidget>("iboMainTabs");
    if (tabs && tabs->currentWidget() && tabs->currentWidget()->objectName() == "buttonsTab")
        loadButtonsTab();
}

void SettingsWindow::loadButtonsTab() {
    auto* page = find<QWidget>("buttonsTab");
    if (buttonsTabLoaded_ || !page || !page->layout()) return;
    buttonsTabLoaded_ = true;
    auto* content = new QWidget(page);
    Ui::ButtonsTab buttons;
    buttons.setupUi(content);
    if (auto* holder = content->findChild<QWidget*>("actionEditor"); holder && holder->layout()) {
        auto* editor = new QWidget(holder);
        Ui::ActionEditor form;
        form.setupUi(editor);
        holder->layout()->addWidget(editor);
    }
    localize(content);
    styleTexts(content);
    page->layout()->addWidget(content);
    // Shown now rather than when the layout gets round to it, so that it is whole at once.
    content->show();

    // Tab goes from the options tab's last control through the list and the editor's fields, in
    // the order of their layouts, to the footer. A compound control (a spin box and its field)
    // moves as one.
    QWidget* previous = nullptr;
    if (auto* options = find<QWidget>("optionsTab"))
        for (QWidget* w = nextInFocusChain(); w != this; w = w->nextInFocusChain())
            if (options->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus)) previous = w;
    std::vector<QWidget*> stops;
    for (QWidget* w = content->nextInFocusChain(); w != content && content->isAncestorOf(w);
         w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) &&
            std::none_of(stops.begin(), stops.end(),
                         [w](QWidget* stop) { return stop->isAncestorOf(w); }))
            stops.push_back(w);
    // The footer's place in the chain is no longer right after the tabs: it follows again.
    for (const char* name : {"iboInfoButtonManual", "iboInfoButtonURL"})
        if (QWidget* w = find<QWidget>(name)) stops.push_back(w);
    for (QWidget* w : stops) {
        if (previous) QWidget::setTabOrder(previous, w);
        previous = w;
    }

    QuillonMousePane& p = pane_;
    controlsList_->attach(find<QTreeWidget>("iboOptionsListControls"));
    connectOutlet<QtTextField, QLineEdit>("iboOptionsFieldKeystroke", p.iboOptionsFieldKeystroke);
    connectOutlet<QtView, QWidget>("iboOptionsViewMacroFrame", p.iboOptionsViewMacroFrame);
    binder_->bindTree(content);
    if (loaded_) pane_.placeMacroEditor();
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

void SettingsWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (firstFramePainted_) return;
    firstFramePainted_ = true;
    QTimer::singleShot(0, this, [this] { afterFirstFrame(); });
}

// What the first frame need not wait for, once it is on the screen.
void SettingsWindow::afterFirstFrame() {
    // A menu marked so grows with its longest title from now on. Until the first frame it takes
    // the titles it has then, which comes to the same, since letting it grow makes its pop-up
    // list at once.
    for (QComboBox* box : findChildren<QComboBox*>())
        if (box->property("growsWithTitles").toBool())
            box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
}

void SettingsWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (selected_) {
        selected_ = false;
        pane_.willUnselect();
    }
}

}  // namespace quillon
