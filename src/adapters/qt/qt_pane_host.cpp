// The pane's host on Qt Widgets.
#include "adapters/qt/qt_pane_host.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStringList>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "adapters/qt/qt_application_chooser.h"
#include "adapters/xdg/xdg_workspace.h"

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

// A chooser of a file or a folder: the Open button takes a selected folder instead of going
// into it (double-clicking still goes in). Qt's own dialog, since a native one ignores accept().
class FileOrFolderDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    void accept() override {
        const QStringList files = selectedFiles();
        if (files.size() == 1 && QFileInfo(files.front()).isDir()) {
            QDialog::accept();
            return;
        }
        QFileDialog::accept();
    }
};

bool asksForApplication(const OpenPanelOptions& options) {
    return std::find(options.allowedTypes.begin(), options.allowedTypes.end(), "app") !=
           options.allowedTypes.end();
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
    // An application on this desktop is a desktop entry: the user picks it by name and icon.
    if (asksForApplication(options)) {
        runApplicationChooser(options, std::move(completion));
        return;
    }
    const bool fileOrFolder = options.canChooseDirectories && options.canChooseFiles;
    QFileDialog* dialog =
        fileOrFolder ? new FileOrFolderDialog(window()) : new QFileDialog(window());
    dialog->setWindowTitle(QString::fromStdString(options.message));
    if (!options.directory.empty()) dialog->setDirectory(QString::fromStdString(options.directory));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    if (fileOrFolder) {
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setLabelText(QFileDialog::Accept, localized("Choose"));
    } else if (options.canChooseDirectories)
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

namespace quillon {

QString QtPaneHost::localized(const QString& english) const {
    if (!bundle_) return english;
    return QString::fromStdString(bundle_->localizedString(english.toStdString(), "Localizable"));
}

void QtPaneHost::runApplicationChooser(const OpenPanelOptions& options,
                                       ChooserCompletion completion) {
    auto* chooser =
        new QtApplicationChooser(window(),
                                 installedApplications(XdgWorkspace::defaultApplicationFolders(),
                                                       XdgWorkspace::defaultLanguages()),
                                 QString::fromStdString(options.directory),
                                 [this](const QString& english) { return localized(english); });
    if (!options.message.empty()) chooser->setWindowTitle(QString::fromStdString(options.message));
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->setWindowModality(Qt::WindowModal);
    QObject::connect(chooser, &QDialog::finished, chooser, [chooser, completion](int result) {
        const std::string path = chooser->chosenPath().toStdString();
        const bool chosen = result == QDialog::Accepted && !path.empty();
        if (completion)
            completion(chosen,
                       chosen ? std::vector<std::string>{path} : std::vector<std::string>{});
    });
    chooser->open();
}

}  // namespace quillon
