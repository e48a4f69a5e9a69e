// The chooser of an installed application: the desktop entries of the application folders with
// their names and icons, filtered by typing, and a way to pick any file instead.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;
class QLabel;
class QKeyEvent;

namespace quillon {

// One application the chooser offers.
struct InstalledApplication {
    QString name;      // Name in the user's language
    QString path;      // the desktop entry's file
    QString icon;      // Icon: a theme name or an absolute file
    QString keywords;  // GenericName, Keywords and Comment, for the filter
};

// The applications of the desktop entries in folders (most important first, as the XDG data
// folders are): an entry shadows those of the same desktop-file id in later folders, also when
// it is itself hidden. Entries that are Hidden or NoDisplay, not of Type Application, without a
// Name, or whose TryExec program is missing are left out. Sorted by name, case ignored.
std::vector<InstalledApplication> installedApplications(const std::vector<std::string>& folders,
                                                        const std::vector<std::string>& languages);

class QtApplicationChooser final : public QDialog {
public:
    using Localize = std::function<QString(const QString& english)>;

    // fileFolder is where "Choose a File..." starts; localize gives the texts in the user's
    // language (identity when empty).
    QtApplicationChooser(QWidget* parent, std::vector<InstalledApplication> applications,
                         QString fileFolder, Localize localize = {});

    // The chosen desktop entry or file once the dialog is accepted; empty otherwise.
    QString chosenPath() const { return chosen_; }

    QLineEdit* filterField() const { return filter_; }
    QListWidget* list() const { return list_; }
    QPushButton* chooseButton() const { return choose_; }
    QPushButton* chooseFileButton() const { return chooseFile_; }

    void accept() override;

protected:
    // Up and Down in the filter field move through the list.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyFilter(const QString& text);
    void updateChooseButton();
    void chooseFile();

    std::vector<InstalledApplication> applications_;
    QString fileFolder_;
    Localize localize_;
    QString chosen_;
    QLineEdit* filter_ = nullptr;
    QListWidget* list_ = nullptr;
    QLabel* empty_ = nullptr;
    QPushButton* choose_ = nullptr;
    QPushButton* chooseFile_ = nullptr;
};

}  // namespace quillon
