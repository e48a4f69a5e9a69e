// Settings sets from the pane: new, delete, rename, restore defaults, export and import.
#include <fstream>

#include "pane_fixture.h"
#include "prefs/settings_import.h"

namespace quillon::testing {
namespace {

class SettingsSetsTest : public PaneTest {
protected:
    void SetUp() override {
        std::filesystem::create_directories(bundleDir.path() / "en.lproj");
        std::ofstream(bundleDir.path() / "en.lproj" / "Localizable.strings")
            << "\"tamber\" = \"Tamber\";\n"
               "\"Global Settings\" = \"All applications\";\n";
        workspace.infoDictionaries["/apps/notes.desktop"] =
            makeDictionary({{"CFBundleIdentifier", "notes"},
                            {"CFBundleName", "Notes"},
                            {"CFBundleExecutable", "notes-bin"}});
        workspace.localizedInfoDictionaries["/apps/notes.desktop"] =
            makeDictionary({{"CFBundleName", "Notizen"}});
        load();
        pane->iboNewSettingsPanel = &newPanel;
        pane->iboRenamePanel = &renamePanel;
        pane->iboRenameTextName = &renameLabel;
        pane->iboRenameFieldName = &renameField;
        renameLabel.placeholder = "Rename \"@\" to:";
        receiveDevices({deviceRecord(0x1056)});
    }

    // Answers the new-set panel with mode and OK, the chooser with path.
    void newSetFor(const std::string& path, int mode) {
        host->panelResponder = [this, mode](Panel& panel) {
            EXPECT_EQ(&panel, &newPanel);
            pane->state()->set("newSettingsMode", Integer(mode));
            return 1;
        };
        host->chooserOK = true;
        host->chooserPaths = {path};
        pane->ibaOptionsItemNew(Sender{});
    }
    void select(const std::string& uid) { pane->ui()->set("settingsUID", Integer(std::stoi(uid))); }
    DictRef set(const std::string& uid) { return pane->fSettingsTable->dictionary(uid); }

    RecordingPanel newPanel, renamePanel;
    RecordingTextField renameLabel, renameField;
};

TEST_F(SettingsSetsTest, new_set_for_an_application_is_added_once_and_selected) {
    newSetFor("/apps/notes.desktop", 0);
    ASSERT_EQ(host->openPanels.size(), 1u);
    EXPECT_EQ(host->openPanels[0].allowedTypes, std::vector<std::string>{"app"});
    EXPECT_FALSE(host->openPanels[0].allowsMultipleSelection);
    const DictRef added = set("1000");
    ASSERT_TRUE(added);
    EXPECT_EQ(pane->ui()->string("settingsUID"), "1000");
    EXPECT_EQ(pane->settings(), added);
    EXPECT_TRUE(pane->ui()->boolean("isAppSettings"));
    EXPECT_EQ(added->string("displayName"), "Notizen");
    EXPECT_EQ(added->dictionary("app")->string("bundleID"), "notes");
    EXPECT_EQ(added->dictionary("app")->string("execName"), "notes-bin");
    EXPECT_EQ(added->string("category"), "User");
    // Started from the family's global set: its options, not the same record.
    EXPECT_EQ(Value(added->dictionary("options")), Value(set("0010")->dictionary("options")));
    EXPECT_NE(added->dictionary("options"), set("0010")->dictionary("options"));
    EXPECT_EQ(targetMenu.titles(),
              (std::vector<std::string>{"Zeta Global", "archive", "Browser", "mail", "Notizen"}));

    // The same application again, starting from a copy of Mail: the existing set is selected.
    select("0011");
    const std::size_t sets = pane->fSettingsTable->size();
    newSetFor("/apps/notes.desktop", 2);
    EXPECT_EQ(pane->fSettingsTable->size(), sets);
    EXPECT_EQ(pane->settings(), added);

    // Cancelled panel or chooser: nothing happens.
    host->panelResponder = [](Panel&) { return 0; };
    pane->ibaOptionsItemNew(Sender{});
    host->panelResponder = [](Panel&) { return 1; };
    host->chooserOK = false;
    pane->ibaOptionsItemNew(Sender{});
    EXPECT_EQ(pane->fSettingsTable->size(), sets);
}

TEST_F(SettingsSetsTest, rename_changes_record_and_menu_only_for_a_new_non_empty_name) {
    select("0012");
    host->panelResponder = [this](Panel& panel) {
        EXPECT_EQ(&panel, &renamePanel);
        EXPECT_EQ(pane->ui()->string("editString"), "Browser");
        EXPECT_EQ(renameLabel.text, "Rename \"Browser\" to:");
        pane->ui()->set("editString", "");
        return 1;
    };
    pane->ibaOptionsItemRename(Sender{});
    EXPECT_EQ(set("0012")->string("displayName"), "Browser");

    host->panelResponder = [this](Panel&) {
        pane->ui()->set("editString", "Web");
        return 1;
    };
    pane->ibaOptionsItemRename(Sender{});
    EXPECT_EQ(set("0012")->string("displayName"), "Web");
    EXPECT_EQ(targetMenu.titles(),
              (std::vector<std::string>{"Zeta Global", "archive", "mail", "Web"}));
    EXPECT_EQ(targetMenu.selectedTag(), 12);
    EXPECT_EQ(pane->settings(), set("0012"));

    // The global set's name shows as "Global Settings" when it has none.
    select("0010");
    set("0010")->set("displayName", "");
    host->panelResponder = [](Panel&) { return 0; };
    pane->ibaOptionsItemRename(Sender{});
    EXPECT_EQ(renameLabel.text, "Rename \"All applications\" to:");
    EXPECT_FALSE(pane->ui()->boolean("isAppSettings"));
}

TEST_F(SettingsSetsTest, delete_asks_then_selects_the_first_set_of_the_rebuilt_menu) {
    select("0012");
    host->panelResponder = [](Panel&) { return 0; };
    pane->ibaOptionsItemDelete(Sender{});
    EXPECT_EQ(pane->ui()->string("modalMessage"), "Delete settings named Browser?");
    EXPECT_TRUE(set("0012"));

    host->panelResponder = [](Panel&) { return 1; };
    pane->ibaOptionsItemDelete(Sender{});
    EXPECT_FALSE(set("0012"));
    EXPECT_EQ(targetMenu.titles(), (std::vector<std::string>{"Zeta Global", "archive", "mail"}));
    EXPECT_EQ(pane->ui()->integer("settingsUID"), 10);
    EXPECT_EQ(pane->settings(), set("0010"));
}

TEST_F(SettingsSetsTest, restore_defaults_puts_back_the_shipped_actions_and_options_only) {
    select("0011");
    pane->settings()->set("displayName", "My mail");
    pane->settings()->set("actions", makeDictionary({{"00", makeDictionary({{"command", 3}})}}));
    pane->options()->set("speed", Integer(170));
    pane->ibaOptionsButtonDefaults(Sender{});
    EXPECT_EQ(pane->ui()->string("modalMessage"), "Restore default settings for My mail?");
    const DictRef shipped = defaults->dictionary("settings")->dictionary("0010");
    EXPECT_EQ(Value(set("0011")->dictionary("actions")), Value(shipped->dictionary("actions")));
    EXPECT_EQ(set("0011")->dictionary("options")->integer("speed"), 50);
    EXPECT_EQ(set("0011")->dictionary("options")->integer("scrollDPI"), 400);
    EXPECT_EQ(pane->options(), set("0011")->dictionary("options"));
    EXPECT_EQ(set("0011")->string("displayName"), "My mail");
    EXPECT_EQ(set("0011")->dictionary("app")->string("execName"), "Mail");
}

TEST_F(SettingsSetsTest, export_then_import_asks_about_the_clash_after_the_chooser_is_gone) {
    select("0010");
    host->chooserOK = true;
    host->chooserPaths = {home.file("global.quillonMouseSettings")};
    pane->ibaOptionsItemExport(Sender{});
    ASSERT_EQ(host->savePanels.size(), 1u);
    EXPECT_EQ(host->savePanels[0].nameFieldString, "Zeta Global");
    EXPECT_EQ(host->savePanels[0].allowedTypes, std::vector<std::string>{"quillonMouseSettings"});

    set("0010")->set("displayName", "Changed");
    std::vector<std::string> questions;
    host->panelResponder = [&](Panel&) {
        questions.push_back(pane->ui()->string("modalMessage"));
        return 1;  // Replace
    };
    pane->ibaOptionsItemImport(Sender{});
    EXPECT_TRUE(questions.empty());
    loop.runUntilIdle();
    EXPECT_EQ(questions,
              std::vector<std::string>{"Global settings for Tamber devices already exist"});
    EXPECT_EQ(set("0010")->string("displayName"), "Zeta Global");
    // The device view was rebuilt from the table: the global set is current again.
    EXPECT_EQ(targetMenu.itemTitle(0), "Zeta Global");
    EXPECT_EQ(pane->settings(), set("0010"));
}

TEST_F(SettingsSetsTest, import_of_another_version_says_so_and_a_failed_export_is_reported) {
    DictRef file = makeQuillonMouseSettingsFile(*pane->fPrefs);
    file->set("version", Integer(2));
    const std::string path = home.file("other.quillonMouseSettings");
    ASSERT_TRUE(writeQuillonMouseSettingsFile(*file, path));
    const DictRef before = deepCopy(*pane->fSettingsTable);
    pane->importSettingsFile(path);
    EXPECT_EQ(pane->ui()->string("modalMessage"), "File version mismatch");
    EXPECT_EQ(Value(pane->fSettingsTable), Value(before));

    host->chooserOK = true;
    host->chooserPaths = {home.file("no/such/folder/all.quillonMouseSettings")};
    pane->ibaOptionsItemExportAll(Sender{});
    EXPECT_EQ(host->savePanels.back().nameFieldString, "Quillon Mouse Settings");
    EXPECT_EQ(pane->ui()->string("modalMessage"),
              "The settings could not be saved to " + host->chooserPaths[0] + ".");
    EXPECT_FALSE(std::filesystem::exists(home.path() / "no"));
}

}  // namespace
}  // namespace quillon::testing
