// The application chooser: which desktop entries it lists, typing to filter, and the host's
// open chooser answering an application request with the chosen entry's path.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <cstdlib>

#include "adapters/qt/qt_application_chooser.h"
#include "adapters/qt/qt_pane_host.h"
#include "testing/scoped_environment.h"
#include "testing/temp_dir.h"
#include "widgets_test_support.h"

namespace quillon {
namespace {

using testing::ensureWidgetsApplication;
using testing::runEventsUntil;

// The open application chooser under parent (it has no meta-object of its own, so findChild
// cannot tell it from other dialogs).
QtApplicationChooser* findChooser(const QWidget& parent) {
    for (QDialog* dialog : parent.findChildren<QDialog*>())
        if (auto* chooser = dynamic_cast<QtApplicationChooser*>(dialog)) return chooser;
    return nullptr;
}

class ApplicationChooserTest : public ::testing::Test {
protected:
    ApplicationChooserTest() {
        ensureWidgetsApplication();
        entry(user, "org.example.Mail.desktop", "Name=Mail\nName[de]=Post\nIcon=mail\n");
        entry(user, "hidden-by-user.desktop", "Name=Shadowed\nHidden=true\n");
        entry(system, "hidden-by-user.desktop", "Name=Shadowed\n");
        entry(system, "org.example.Mail.desktop", "Name=Old Mail\n");
        entry(system, "kde4/editor.desktop", "Name=zed editor\nKeywords=text;code;\n");
        entry(system, "settings-helper.desktop", "Name=Helper\nNoDisplay=true\n");
        entry(system, "link.desktop", "Name=Home page\nType=Link\nURL=https://example.com\n");
        entry(system, "gone.desktop", "Name=Gone\nTryExec=/nonexistent/program\n");
        entry(system, "nameless.desktop", "Exec=true\n");
        entry(system, "Archive.desktop", "Name=Archive Manager\nIcon=/nonexistent/icon.png\n");
        root.write("home/applications/notes.txt", "[Desktop Entry]\nName=Not an entry\n");
    }
    void entry(const std::string& folder, const std::string& name, const std::string& fields) {
        const std::filesystem::path file = std::filesystem::path(folder) / name;
        std::filesystem::create_directories(file.parent_path());
        root.write(std::filesystem::relative(file, root.path()).string(),
                   std::string("[Desktop Entry]\nExec=true\n") +
                       (fields.find("Type=") == std::string::npos ? "Type=Application\n" : "") +
                       fields);
    }
    std::vector<std::string> folders() const { return {user, system}; }
    static QStringList shownNames(QListWidget* list) {
        QStringList names;
        for (int row = 0; row < list->count(); ++row)
            if (!list->item(row)->isHidden()) names << list->item(row)->text();
        return names;
    }

    testing::TempDir root;
    std::string user = root.file("home/applications");
    std::string system = root.file("sys/applications");
};

TEST_F(ApplicationChooserTest, lists_the_entries_a_user_would_see_once_each_by_name) {
    auto applications = installedApplications(folders(), {"de_DE", "de"});
    QStringList names;
    for (const auto& application : applications)
        names << application.name;
    EXPECT_EQ(names, (QStringList{"Archive Manager", "Post", "zed editor"}));
    EXPECT_EQ(applications[1].path.toStdString(), user + "/org.example.Mail.desktop");
    EXPECT_EQ(applications[1].icon, "mail");
    EXPECT_EQ(applications[2].path.toStdString(), system + "/kde4/editor.desktop");

    EXPECT_EQ(installedApplications(folders(), {"fr"})[1].name, "Mail");
    EXPECT_TRUE(installedApplications({"/nonexistent"}, {}).empty());
}

TEST_F(ApplicationChooserTest, typing_filters_by_name_and_keyword_and_return_chooses) {
    QtApplicationChooser chooser(nullptr, installedApplications(folders(), {}), QString());
    chooser.show();
    chooser.filterField()->setText("MAI");
    EXPECT_EQ(shownNames(chooser.list()), QStringList{"Mail"});
    chooser.filterField()->setText("code");
    EXPECT_EQ(shownNames(chooser.list()), QStringList{"zed editor"});
    chooser.filterField()->setText("nothing like it");
    EXPECT_TRUE(shownNames(chooser.list()).isEmpty());
    EXPECT_FALSE(chooser.chooseButton()->isEnabled());
    chooser.accept();  // nothing to choose: the chooser stays open
    EXPECT_TRUE(chooser.isVisible());

    chooser.filterField()->setText("e");
    EXPECT_EQ(shownNames(chooser.list()), (QStringList{"Archive Manager", "zed editor"}));
    chooser.filterField()->setFocus();
    testing::typeKey(chooser.filterField(), Qt::Key_Down);
    testing::typeKey(chooser.filterField(), Qt::Key_Return);
    EXPECT_EQ(chooser.result(), QDialog::Accepted);
    EXPECT_EQ(chooser.chosenPath().toStdString(), system + "/kde4/editor.desktop");
}

TEST_F(ApplicationChooserTest, the_host_answers_an_application_request_with_the_chosen_entry) {
    testing::ScopedEnvironment dataHome("XDG_DATA_HOME", root.file("nobody"));
    testing::ScopedEnvironment dataDirs("XDG_DATA_DIRS", root.file("sys"));

    testing::TempDir bundleDir;
    QtPaneHost host{std::make_shared<Bundle>(bundleDir.path()), [] { return std::uint16_t{5}; }};
    QWidget window;
    host.setMainView(&window);
    window.show();

    std::vector<std::pair<bool, std::vector<std::string>>> answers;
    auto record = [&](bool ok, const std::vector<std::string>& paths) {
        answers.emplace_back(ok, paths);
    };
    OpenPanelOptions options;
    options.directory = "/usr/share/applications";
    options.allowedTypes = {"app", "desktop"};
    host.runOpenPanel(options, record);
    auto* chooser = findChooser(window);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->windowModality(), Qt::WindowModal);
    EXPECT_EQ(shownNames(chooser->list()),
              (QStringList{"Archive Manager", "Old Mail", "Shadowed", "zed editor"}));
    EXPECT_TRUE(answers.empty()) << "never inside the call";
    chooser->chooseButton()->click();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_TRUE(answers[0].first);
    EXPECT_EQ(answers[0].second, std::vector<std::string>{system + "/Archive.desktop"});
    ASSERT_TRUE(runEventsUntil([&] { return !findChooser(window); }));

    // Cancelled: no path.
    host.runOpenPanel(options, record);
    findChooser(window)->reject();
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_FALSE(answers[1].first);
    EXPECT_TRUE(answers[1].second.empty());

    // "Choose a File..." ends the chooser with the file picked there.
    host.runOpenPanel(options, record);
    chooser = findChooser(window);
    chooser->chooseFileButton()->click();
    auto* files = chooser->findChild<QFileDialog*>();
    ASSERT_NE(files, nullptr);
    const std::string other = bundleDir.write("tool.desktop", "[Desktop Entry]\nName=Tool\n");
    files->selectFile(QString::fromStdString(other));
    static_cast<QDialog*>(files)->accept();  // as its Open button does
    ASSERT_TRUE(runEventsUntil([&] { return answers.size() == 3; }));
    EXPECT_EQ(answers[2].second, std::vector<std::string>{other});
}

TEST(qt_pane_host, a_file_or_folder_chooser_takes_a_selected_folder) {
    ensureWidgetsApplication();
    testing::TempDir dir;
    std::filesystem::create_directories(dir.file("Projects"));
    QtPaneHost host{std::make_shared<Bundle>(dir.path()), [] { return std::uint16_t{5}; }};
    QWidget window;
    host.setMainView(&window);
    window.show();
    std::vector<std::string> chosen;
    OpenPanelOptions options;
    options.directory = dir.path().string();
    options.canChooseDirectories = true;
    host.runOpenPanel(options, [&](bool ok, const std::vector<std::string>& paths) {
        if (ok) chosen = paths;
    });
    auto* dialog = window.findChild<QFileDialog*>();
    ASSERT_NE(dialog, nullptr);
    dialog->selectFile(QString::fromStdString(dir.file("Projects")));
    static_cast<QDialog*>(dialog)->accept();
    ASSERT_TRUE(runEventsUntil([&] { return !chosen.empty(); }));
    EXPECT_EQ(chosen, std::vector<std::string>{dir.file("Projects")});
}

}  // namespace
}  // namespace quillon
