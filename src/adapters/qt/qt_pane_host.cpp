// The pane's host on Qt Widgets.
#include "adapters/qt/qt_pane_host.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QStringList>
#include <QWidget>
#include <QWindow>

namespace quillon {

namespace {

QStringList nameFilters(const std::vector<std::string>& types) {
    if (types.empty()) return {};
    QString patterns;
    for (const auto& type : types)
        patterns += (patterns.isEmpty() ? "*." : " *.") + QString::fromStdString(type);
    return {patterns};
}

// The dialog deletes itself when it closes; the completion runs from the loop, never inside the
// call that showed the dialog.
void showChooser(QFileDialog* dialog, PaneHost::ChooserCompletion completion) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, completion](int result) {
        std::vector<std::string> paths;
        if (result == QDialog::Accepted)
            for (const QString& file : dialog->selectedFiles())
                paths.push_back(file.toStdString());
        if (completion) completion(result == QDialog::Accepted && !paths.empty(), paths);
    });
    dialog->open();
}

}  // namespace

std::uint32_t modifierFlagsFromQt(Qt::KeyboardModifiers modifiers) {
    std::uint32_t flags = 0;
    if (modifiers & Qt::MetaModifier) flags |= 0x0100;
    if (modifiers & Qt::ShiftModifier) flags |= 0x0200;
    if (modifiers & Qt::AltModifier) flags |= 0x0800;
    if (modifiers & Qt::ControlModifier) flags |= 0x1000;
    return flags;
}

QtPaneHost::QtPaneHost(std::shared_ptr<const Bundle> bundle,
                       std::function<std::uint16_t()> extensionState)
    : bundle_(std::move(bundle)),
      extensionState_(std::move(extensionState)),
      focusWindow_(keyWindowOf(QGuiApplication::focusWindow())),
      context_(std::make_unique<QObject>()) {
    QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, context_.get(),
                     [this](QWindow* window) { focusWindowChanged(window); });
}

QtPaneHost::~QtPaneHost() = default;

void QtPaneHost::setMainView(QWidget* view) {
    viewWidget_ = view;
    view_ = std::make_unique<QtView>(view);
}

QWidget* QtPaneHost::window() const {
    return viewWidget_ ? viewWidget_->window() : nullptr;
}

bool QtPaneHost::isWindowKey() const {
    QWidget* w = window();
    return w && w->isActiveWindow();
}

PaneHost::ObserverId QtPaneHost::addWindowKeyObservers(std::function<void()> becameKey,
                                                       std::function<void()> resignedKey) {
    ObserverId id = nextId_++;
    windowObservers_[id] = {std::move(becameKey), std::move(resignedKey)};
    return id;
}

void QtPaneHost::removeWindowKeyObservers(ObserverId id) {
    windowObservers_.erase(id);
}

// The window whose key status a focus window stands for: a pop-up menu, tool tip or panel of a
// window is part of that window, not a window of its own.
QWindow* QtPaneHost::keyWindowOf(QWindow* window) {
    while (window && window->transientParent())
        window = window->transientParent();
    return window;
}

void QtPaneHost::focusWindowChanged(QWindow* focused) {
    // Pop-ups and tool tips of this application only ever open over one of its windows.
    if (focused && (focused->type() == Qt::Popup || focused->type() == Qt::ToolTip)) return;
    QWindow* window = keyWindowOf(focused);
    QWindow* previous = focusWindow_;
    focusWindow_ = window;
    if (previous == window) return;
    // An observer may remove itself (or others) while it runs.
    auto observers = windowObservers_;
    if (previous)
        for (auto& [id, pair] : observers)
            if (windowObservers_.count(id) && pair.second) pair.second();
    if (window)
        for (auto& [id, pair] : observers)
            if (windowObservers_.count(id) && pair.first) pair.first();
}

std::uint16_t QtPaneHost::systemExtensionState() const {
    return extensionState_ ? extensionState_() : 0;
}

int QtPaneHost::runModal(Panel& panel) {
    if (unattendedCode_) return *unattendedCode_;
    auto* qtPanel = dynamic_cast<QtPanel*>(&panel);
    QDialog* dialog = qtPanel ? qtPanel->dialog() : nullptr;
    if (!dialog) return 0;
    QWidget* owner = window();
    if (owner && dialog->parentWidget() != owner) dialog->setParent(owner, dialog->windowFlags());
    dialog->setWindowModality(Qt::WindowModal);
    runningPanels_.push_back(dialog);
    int code = dialog->exec();
    runningPanels_.pop_back();
    panel.setHidden(true);
    return code;
}

void QtPaneHost::stopModal(int code) {
    while (!runningPanels_.empty() && !runningPanels_.back())
        runningPanels_.pop_back();
    if (!runningPanels_.empty()) runningPanels_.back()->done(code);
}

std::uint32_t QtPaneHost::currentModifierFlags() const {
    return modifierFlagsFromQt(QGuiApplication::queryKeyboardModifiers());
}

void QtPaneHost::runOpenPanel(const OpenPanelOptions& options, ChooserCompletion completion) {
    auto* dialog = new QFileDialog(window(), QString::fromStdString(options.message),
                                   QString::fromStdString(options.directory));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    if (options.canChooseDirectories && !options.canChooseFiles)
        dialog->setFileMode(QFileDialog::Directory);
    else
        dialog->setFileMode(options.allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                            : QFileDialog::ExistingFile);
    if (!options.allowedTypes.empty()) dialog->setNameFilters(nameFilters(options.allowedTypes));
    showChooser(dialog, std::move(completion));
}

void QtPaneHost::runSavePanel(const SavePanelOptions& options, ChooserCompletion completion) {
    auto* dialog = new QFileDialog(window(), QString::fromStdString(options.message),
                                   QString::fromStdString(options.directory));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    if (!options.allowedTypes.empty()) {
        dialog->setNameFilters(nameFilters(options.allowedTypes));
        dialog->setDefaultSuffix(QString::fromStdString(options.allowedTypes.front()));
    }
    if (!options.nameFieldString.empty())
        dialog->selectFile(QString::fromStdString(options.nameFieldString));
    showChooser(dialog, std::move(completion));
}

}  // namespace quillon
