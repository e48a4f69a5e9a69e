// The settings window: layout, outlets, bindings and life cycle.
#include "app/quillon-settings/settings_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "adapters/qt/qt_bindings.h"
#include "adapters/qt/quillon_path_view.h"
#include "adapters/qt/qt_outlets.h"
#include "adapters/qt/qt_pane_host.h"
#include "pane/quillon_mouse_pane.h"

namespace quillon {

namespace {

// The maker's web site, shown as the title of the link button.
constexpr char kWebSiteTitle[] = "www.quillonworks.com";

QLabel* secondaryLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    label->setPalette(palette);
    return label;
}

void makeBold(QLabel* label, double scale = 1.0) {
    QFont font = label->font();
    font.setBold(true);
    if (scale != 1.0) font.setPointSizeF(font.pointSizeF() * scale);
    label->setFont(font);
}

}  // namespace

SettingsWindow::SettingsWindow(QuillonMousePane& pane, QtPaneHost& host)
    : QWidget(nullptr), pane_(pane), host_(host) {
    std::string name = host_.bundle()->objectForInfoDictionaryKey("CFBundleName").asString();
    setWindowTitle(QString::fromStdString(name.empty() ? "Quillon Mouse" : name));
    setMinimumSize(640, 480);
    resize(720, 540);

    pages_ = new QStackedWidget(this);
    pages_->addWidget(buildSettingsPage());
    pages_->addWidget(buildDriverStatusPage());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addWidget(pages_, 1);
    layout->addWidget(buildFooter());
    buildMessagePanel();

    host_.setMainView(this);
    connectOutlets();
    bindControls();
}

SettingsWindow::~SettingsWindow() {
    if (selected_) pane_.willUnselect();
    selected_ = false;
    // The pane outlives the window; it must not reach the outlets once they are gone.
    pane_.iboPaneTabs = nullptr;
    pane_.iboMainTabs = nullptr;
    pane_.iboOptionsMenuTarget = nullptr;
    pane_.iboOptionsMenuDevices = nullptr;
    if (pane_.iboOptionsListControls) {
        pane_.iboOptionsListControls->setDataSource(nullptr);
        pane_.iboOptionsListControls->setDelegate(nullptr);
    }
    pane_.iboOptionsListControls = nullptr;
    pane_.iboOptionsFieldKeystroke = nullptr;
    pane_.iboOptionsViewMacroFrame = nullptr;
    pane_.iboInfoButtonManual = nullptr;
    pane_.iboInfoButtonURL = nullptr;
    pane_.iboModalPanel = nullptr;
    pane_.iboPathView = nullptr;
    bindings_.reset();
    host_.setMainView(nullptr);
}

QString SettingsWindow::text(const std::string& english) const {
    return QString::fromStdString(host_.bundle()->localizedString(english, "Localizable"));
}

QWidget* SettingsWindow::buildSettingsPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    // Which device: its status line, and a menu when more than one is connected.
    deviceInfo_ = new QLabel(page);
    makeBold(deviceInfo_, 1.15);
    deviceInfo_->setWordWrap(true);
    layout->addWidget(deviceInfo_);

    // Two rows of a label and a menu, labels of one width so the menus line up.
    auto menuRow = [page](const QString& title, QComboBox*& menu, QLabel*& label) {
        auto* row = new QWidget(page);
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        rowLayout->setSpacing(8);
        label = new QLabel(title, row);
        menu = new QComboBox(row);
        menu->setMinimumWidth(260);
        menu->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        rowLayout->addWidget(label);
        rowLayout->addWidget(menu);
        rowLayout->addStretch(1);
        return row;
    };
    QLabel* deviceLabel = nullptr;
    QLabel* targetLabel = nullptr;
    deviceRow_ = menuRow(text("Device:"), deviceMenu_, deviceLabel);
    QWidget* targetRow = menuRow(text("Settings for:"), targetMenu_, targetLabel);
    const int labelWidth = std::max(deviceLabel->sizeHint().width(), targetLabel->sizeHint().width());
    deviceLabel->setFixedWidth(labelWidth);
    targetLabel->setFixedWidth(labelWidth);
    layout->addWidget(deviceRow_);
    layout->addWidget(targetRow);

    mainTabs_ = new QTabWidget(page);
    mainTabs_->addTab(buildButtonsTab(), text("Buttons"));
    mainTabs_->addTab(buildAboutTab(), text("About"));
    layout->addWidget(mainTabs_, 1);
    return page;
}

QWidget* SettingsWindow::buildButtonsTab() {
    auto* tab = new QWidget;
    auto* layout = new QHBoxLayout(tab);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);

    auto* controls = new QGroupBox(text("Controls"), tab);
    auto* controlsLayout = new QVBoxLayout(controls);
    controlsList_ = new QTreeWidget(controls);
    controlsList_->setHeaderHidden(true);
    controlsList_->setColumnCount(1);
    controlsList_->setMinimumWidth(200);
    controlsList_->setUniformRowHeights(true);
    controlsList_->setAlternatingRowColors(true);
    controlsList_->setStyleSheet("QTreeWidget::item { padding: 3px 2px; }");
    controlsLayout->addWidget(controlsList_);
    layout->addWidget(controls, 2);

    // The action editor's place: for now the editor page's name and the keystroke.
    actionBox_ = new QGroupBox(text("Action"), tab);
    auto* actionLayout = new QVBoxLayout(actionBox_);
    actionLayout->setSpacing(8);
    actionTab_ = secondaryLabel(QString(), actionBox_);
    actionLayout->addWidget(actionTab_);
    auto* keystrokeRow = new QWidget(actionBox_);
    auto* keystrokeLayout = new QHBoxLayout(keystrokeRow);
    keystrokeLayout->setContentsMargins(0, 0, 0, 0);
    keystrokeLayout->addWidget(new QLabel(text("Keystroke:"), keystrokeRow));
    keystrokeField_ = new QLineEdit(keystrokeRow);
    keystrokeField_->setPlaceholderText(text("None"));
    keystrokeLayout->addWidget(keystrokeField_, 1);
    actionLayout->addWidget(keystrokeRow);
    macroFrame_ = new QWidget(actionBox_);
    macroFrame_->setMinimumHeight(120);
    actionLayout->addWidget(macroFrame_, 1);
    layout->addWidget(actionBox_, 3);

    selectHint_ = secondaryLabel(text("Select a control on the left to see what it does."), actionBox_);
    selectHint_->setAlignment(Qt::AlignCenter);
    selectHint_->setWordWrap(true);
    actionLayout->insertWidget(0, selectHint_, 1);
    return tab;
}

QWidget* SettingsWindow::buildAboutTab() {
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->addStretch(1);
    indicator_ = new QuillonPathView(tab);
    indicator_->setFixedSize(48, 48);
    layout->addWidget(indicator_, 0, Qt::AlignHCenter);
    auto* name = new QLabel(windowTitle(), tab);
    makeBold(name, 1.3);
    name->setAlignment(Qt::AlignCenter);
    layout->addWidget(name);
    auto* copyright = secondaryLabel(
        QString::fromStdString(host_.bundle()->objectForInfoDictionaryKey("NSHumanReadableCopyright").asString()),
        tab);
    copyright->setAlignment(Qt::AlignCenter);
    layout->addWidget(copyright);
    layout->addStretch(2);
    return tab;
}

QWidget* SettingsWindow::buildDriverStatusPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(48, 24, 48, 24);
    layout->addStretch(1);
    auto* title = new QLabel(text("The Quillon Mouse driver is not active"), page);
    makeBold(title, 1.3);
    title->setAlignment(Qt::AlignCenter);
    title->setWordWrap(true);
    layout->addWidget(title);
    auto* detail = secondaryLabel(
        text("No Quillon mouse device is connected and the driver is not active. Connect a device "
             "and make sure the Quillon Mouse helper is running; this window switches to the "
             "settings as soon as the driver reports a device."),
        page);
    detail->setAlignment(Qt::AlignCenter);
    detail->setWordWrap(true);
    detail->setMaximumWidth(460);
    layout->addSpacing(6);
    layout->addWidget(detail, 0, Qt::AlignHCenter);
    layout->addStretch(2);
    return page;
}

QWidget* SettingsWindow::buildFooter() {
    auto* footer = new QWidget(this);
    auto* layout = new QHBoxLayout(footer);
    layout->setContentsMargins(0, 4, 0, 0);
    versionText_ = secondaryLabel(QString(), footer);
    layout->addWidget(versionText_);
    layout->addStretch(1);
    manualButton_ = new QPushButton(text("Manual"), footer);
    urlButton_ = new QPushButton(QString::fromLatin1(kWebSiteTitle), footer);
    for (auto* button : {manualButton_, urlButton_}) {
        button->setFocusPolicy(Qt::TabFocus);
        layout->addWidget(button);
    }
    return footer;
}

void SettingsWindow::buildMessagePanel() {
    messagePanel_ = new QDialog(this);
    messagePanel_->setWindowTitle(windowTitle());
    messagePanel_->setWindowModality(Qt::WindowModal);
    messagePanel_->setMinimumWidth(380);
    auto* layout = new QVBoxLayout(messagePanel_);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(14);
    messageText_ = new QLabel(messagePanel_);
    messageText_->setWordWrap(true);
    messageText_->setTextFormat(Qt::PlainText);
    layout->addWidget(messageText_);
    messageCheck_ = new QCheckBox(messagePanel_);
    layout->addWidget(messageCheck_);
    auto* buttons = new QHBoxLayout;
    messageOther_ = new QPushButton(messagePanel_);
    messageCancel_ = new QPushButton(messagePanel_);
    messageOK_ = new QPushButton(messagePanel_);
    messageOK_->setDefault(true);
    buttons->addWidget(messageOther_);
    buttons->addStretch(1);
    buttons->addWidget(messageCancel_);
    buttons->addWidget(messageOK_);
    layout->addLayout(buttons);
}

QPushButton* SettingsWindow::messageButton(int code) const {
    switch (code) {
        case QuillonMousePane::kModalOK: return messageOK_;
        case QuillonMousePane::kModalCancel: return messageCancel_;
        case QuillonMousePane::kModalOther: return messageOther_;
        default: return nullptr;
    }
}

void SettingsWindow::connectOutlets() {
    paneTabsOutlet_ = std::make_unique<QtTabView>(pages_);
    mainTabsOutlet_ = std::make_unique<QtTabView>(mainTabs_);
    targetOutlet_ = std::make_unique<QtPopUpButton>(targetMenu_);
    devicesOutlet_ = std::make_unique<QtPopUpButton>(deviceMenu_);
    controlsOutlet_ = std::make_unique<QtOutlineView>(controlsList_);
    keystrokeOutlet_ = std::make_unique<QtTextField>(keystrokeField_);
    macroFrameOutlet_ = std::make_unique<QtView>(macroFrame_);
    manualOutlet_ = std::make_unique<QtButton>(manualButton_);
    urlOutlet_ = std::make_unique<QtButton>(urlButton_);
    messagePanelOutlet_ = std::make_unique<QtPanel>(messagePanel_);
    okOutlet_ = std::make_unique<QtButton>(messageOK_, QuillonMousePane::kModalOK);
    cancelOutlet_ = std::make_unique<QtButton>(messageCancel_, QuillonMousePane::kModalCancel);
    otherOutlet_ = std::make_unique<QtButton>(messageOther_, QuillonMousePane::kModalOther);
    indicatorOutlet_ = std::make_unique<QtIndicatorView>(indicator_);

    pane_.iboPaneTabs = paneTabsOutlet_.get();
    pane_.iboMainTabs = mainTabsOutlet_.get();
    pane_.iboOptionsMenuTarget = targetOutlet_.get();
    pane_.iboOptionsMenuDevices = devicesOutlet_.get();
    pane_.iboOptionsListControls = controlsOutlet_.get();
    pane_.iboOptionsFieldKeystroke = keystrokeOutlet_.get();
    pane_.iboOptionsViewMacroFrame = macroFrameOutlet_.get();
    pane_.iboInfoButtonManual = manualOutlet_.get();
    pane_.iboInfoButtonURL = urlOutlet_.get();
    pane_.iboModalPanel = messagePanelOutlet_.get();
    pane_.iboPathView = indicatorOutlet_.get();

    for (QtButton* outlet : {okOutlet_.get(), cancelOutlet_.get(), otherOutlet_.get()})
        QObject::connect(outlet->widget(), &QPushButton::clicked, this,
                         [this, outlet] { pane_.ibaModalButtonPressed(Sender{outlet->tag(), -1, {}}); });
}

void SettingsWindow::bindControls() {
    bindings_ = std::make_unique<Bindings>(pane_.properties());
    Bindings& b = *bindings_;
    b.bindText(deviceInfo_, "ui.deviceInfo");
    b.bindHidden(deviceRow_, "ui.hideDeviceMenu");
    b.bindSelectedTag(deviceMenu_, "ui.selectedDevice");
    b.bindSelectedTag(targetMenu_, "ui.settingsUID");
    b.bindTabIdentifier(mainTabs_, "ui.tabID", {std::begin(kTabIdentifiers), std::end(kTabIdentifiers)});
    b.bindText(keystrokeField_, "ui.keystroke", false);
    QLabel* actionTab = actionTab_;
    QString pageTitle = text("Editor page:");
    b.bind("ui.actionTab", [actionTab, pageTitle](const Value& value) {
        actionTab->setText(pageTitle + ' ' + QString::fromStdString(value.asString()));
    });
    // Without a selected control the action's place shows only how to choose one.
    QGroupBox* actionBox = actionBox_;
    QLabel* hint = selectHint_;
    QLabel* tabName = actionTab_;
    QLineEdit* keystroke = keystrokeField_;
    QWidget* frame = macroFrame_;
    b.bind("ui.canEdit", [actionBox, hint, tabName, keystroke, frame](const Value& value) {
        const bool editing = value.asBool();
        actionBox->setEnabled(editing);
        hint->setHidden(editing);
        tabName->setHidden(!editing);
        frame->setHidden(!editing);
        keystroke->parentWidget()->setHidden(!editing);
    });
    b.bindText(versionText_, "ui.driverVersion");

    b.bindText(messageText_, "ui.modalMessage");
    b.bindTitle(messageCheck_, "ui.modalCheck", true);
    b.bindChecked(messageCheck_, "ui.modalCheckState");
    b.bindTitle(messageOK_, "ui.modalOK", false);
    b.bindTitle(messageCancel_, "ui.modalCancel", true);
    b.bindTitle(messageOther_, "ui.modalOther", true);
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
