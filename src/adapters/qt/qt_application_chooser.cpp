// The application chooser: desktop entries read once when it opens, a list with a filter field.
#include "adapters/qt/qt_application_chooser.h"

#include <QCollator>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "adapters/xdg/desktop_entry.h"
#include "adapters/xdg/detached_process.h"

namespace quillon {

namespace {

namespace fs = std::filesystem;

// Application folders nest a level or two ("kde4/"); deeper trees and folders filled with junk
// are not searched further.
constexpr int kMaxDepth = 4;
constexpr std::size_t kMaxEntries = 20000;
constexpr int kPathRole = Qt::UserRole + 1;
// A key of the other program's desktop entry, localized by the entry itself, not by our tables.
constexpr std::string_view kNameKey = "Name";

QString text(const std::string* value) {
    return value ? QString::fromStdString(*value) : QString();
}

// The desktop-file id: the path below its folder with '/' turned into '-'.
std::string desktopFileId(const fs::path& file, const fs::path& folder) {
    std::string id = file.lexically_relative(folder).string();
    std::replace(id.begin(), id.end(), '/', '-');
    return id;
}

bool tryExecFound(const DesktopEntry& entry) {
    const std::string* program = entry.get("TryExec");
    if (!program || program->empty()) return true;
    if (program->front() == '/') return isExecutableFile(*program);
    return findExecutableOnPath(*program).has_value();
}

}  // namespace

std::vector<InstalledApplication> installedApplications(const std::vector<std::string>& folders,
                                                        const std::vector<std::string>& languages) {
    std::vector<InstalledApplication> applications;
    std::set<std::string> seen;
    std::size_t visited = 0;
    for (const std::string& folderName : folders) {
        const fs::path folder = fs::path(folderName).lexically_normal();
        std::error_code ec;
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                            ec);
        for (; !ec && it != fs::recursive_directory_iterator() && ++visited < kMaxEntries;
             it.increment(ec)) {
            if (it.depth() >= kMaxDepth) it.disable_recursion_pending();
            const fs::path file = it->path();
            std::error_code typeError;
            if (file.extension() != ".desktop" || !fs::is_regular_file(file, typeError)) continue;
            if (!seen.insert(desktopFileId(file, folder)).second) continue;
            const auto entry = readDesktopEntry(file.string());
            if (!entry || entry->isTrue("Hidden") || entry->isTrue("NoDisplay")) continue;
            const std::string* type = entry->get("Type");
            if ((type && *type != "Application") || !tryExecFound(*entry)) continue;
            const std::string* name = entry->localized(kNameKey, languages);
            if (!name) name = entry->get(kNameKey);
            if (!name || name->empty()) continue;
            QString keywords;
            for (const char* key : {"GenericName", "Keywords", "Comment"}) {
                const std::string* value = entry->localized(key, languages);
                if (!value) value = entry->get(key);
                keywords += text(value) + ' ';
            }
            applications.push_back(InstalledApplication{QString::fromStdString(*name),
                                                        QString::fromStdString(file.string()),
                                                        text(entry->get("Icon")), keywords});
        }
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(applications.begin(), applications.end(),
                     [&](const InstalledApplication& a, const InstalledApplication& b) {
                         return collator.compare(a.name, b.name) < 0;
                     });
    return applications;
}

QtApplicationChooser::QtApplicationChooser(QWidget* parent,
                                           std::vector<InstalledApplication> applications,
                                           QString fileFolder, Localize localize)
    : QDialog(parent),
      applications_(std::move(applications)),
      fileFolder_(std::move(fileFolder)),
      localize_(std::move(localize)) {
    auto tr = [this](const char* english) {
        return localize_ ? localize_(QString::fromUtf8(english)) : QString::fromUtf8(english);
    };
    setObjectName("QuillonApplicationChooser");
    setWindowTitle(tr("Choose an Application"));
    resize(420, 480);

    auto* label = new QLabel(tr("Search:"), this);
    filter_ = new QLineEdit(this);
    filter_->setObjectName("applicationFilter");
    filter_->setPlaceholderText(tr("Name or keyword"));
    filter_->setClearButtonEnabled(true);
    label->setBuddy(filter_);
    filter_->setAccessibleName(tr("Search applications"));

    list_ = new QListWidget(this);
    list_->setObjectName("applicationList");
    list_->setAccessibleName(tr("Applications"));
    list_->setIconSize(QSize(24, 24));
    list_->setUniformItemSizes(true);
    const QIcon fallback = QIcon::fromTheme("application-x-executable");
    for (const InstalledApplication& application : applications_) {
        QIcon icon = application.icon.startsWith('/')
                         ? QIcon(application.icon)
                         : QIcon::fromTheme(application.icon, fallback);
        auto* item = new QListWidgetItem(icon, application.name, list_);
        item->setData(kPathRole, application.path);
        item->setToolTip(application.path);
    }
    empty_ = new QLabel(tr("No application matches."), this);
    empty_->setObjectName("applicationListEmpty");
    empty_->setAlignment(Qt::AlignCenter);

    auto* buttons = new QDialogButtonBox(this);
    chooseFile_ = buttons->addButton(tr("Choose a File..."), QDialogButtonBox::ResetRole);
    chooseFile_->setObjectName("chooseFile");
    choose_ = buttons->addButton(tr("Choose"), QDialogButtonBox::AcceptRole);
    choose_->setObjectName("choose");
    choose_->setDefault(true);
    QPushButton* cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName("cancel");

    auto* layout = new QVBoxLayout(this);
    auto* search = new QHBoxLayout;
    search->addWidget(label);
    search->addWidget(filter_, 1);
    layout->addLayout(search);
    layout->addWidget(list_, 1);
    layout->addWidget(empty_);
    layout->addWidget(buttons);
    setTabOrder(filter_, list_);

    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& t) { applyFilter(t); });
    connect(list_, &QListWidget::currentItemChanged, this, [this] { updateChooseButton(); });
    connect(list_, &QListWidget::itemActivated, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QtApplicationChooser::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(chooseFile_, &QPushButton::clicked, this, [this] { chooseFile(); });
    applyFilter(QString());
    filter_->setFocus();
}

void QtApplicationChooser::applyFilter(const QString& needle) {
    const QString wanted = needle.trimmed();
    QListWidgetItem* firstShown = nullptr;
    for (int row = 0; row < list_->count(); ++row) {
        QListWidgetItem* item = list_->item(row);
        const InstalledApplication& application = applications_[static_cast<std::size_t>(row)];
        const bool shown = wanted.isEmpty() ||
                           application.name.contains(wanted, Qt::CaseInsensitive) ||
                           application.keywords.contains(wanted, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && !firstShown) firstShown = item;
    }
    // The selection follows what is left, so Return chooses the best match at once.
    QListWidgetItem* current = list_->currentItem();
    if (!current || current->isHidden()) list_->setCurrentItem(firstShown);
    empty_->setVisible(!firstShown);
    updateChooseButton();
}

void QtApplicationChooser::updateChooseButton() {
    QListWidgetItem* current = list_->currentItem();
    choose_->setEnabled(current && !current->isHidden());
}

void QtApplicationChooser::accept() {
    QListWidgetItem* current = list_->currentItem();
    if (chosen_.isEmpty()) {
        if (!current || current->isHidden()) return;
        chosen_ = current->data(kPathRole).toString();
    }
    QDialog::accept();
}

void QtApplicationChooser::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    // Only what the list did not take itself arrives here (the filter field ignores these).
    if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
        key == Qt::Key_PageDown) {
        QKeyEvent copy(event->type(), key, event->modifiers(), event->text());
        QCoreApplication::sendEvent(list_, &copy);
        return;
    }
    QDialog::keyPressEvent(event);
}

void QtApplicationChooser::chooseFile() {
    auto* dialog = new QFileDialog(this, windowTitle(), fileFolder_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    const QString all = localize_ ? localize_("All Files") : QString("All Files");
    const QString entries = localize_ ? localize_("Applications") : QString("Applications");
    dialog->setNameFilters({entries + " (*.desktop)", all + " (*)"});
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& file) {
        if (file.isEmpty()) return;
        chosen_ = file;
        accept();
    });
    dialog->open();
}

}  // namespace quillon
