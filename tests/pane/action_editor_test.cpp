// The action editor's operations on the doubles: command menu, choosers, extra keys, the
// single-character and address fields, Return and Tab, and the value lists behind the menus.
#include <set>

#include "keyboard/key_names.h"
#include "pane_fixture.h"
#include "prefs/action_choices.h"
#include "prefs/command_table.h"

namespace quillon::testing {
namespace {

class ActionEditorTest : public PaneTest {
protected:
    void SetUp() override {
        load();
        receiveDevices({deviceRecord(0x1056)});
        controls.selectRow(1);
        ASSERT_TRUE(pane->action());
    }
    DictRef ui() { return pane->ui(); }
    DictRef action() { return pane->action(); }
    // The user picks code in the command menu: the binding stores it, then the menu sends.
    void chooseCommand(std::int64_t code) {
        action()->set("command", Integer(code));
        pane->ibaOptionsMenuAction(Sender{0, code, {}});
    }
    void chooseFile(const std::string& path) {
        host->chooserOK = true;
        host->chooserPaths = {path};
    }
};

class RecordingFieldEditor : public FieldEditor {
public:
    void insertText(const std::string& text) override { inserted += text; }
    std::string inserted;
};

TEST_F(ActionEditorTest, choosing_a_command_drops_the_previous_parameters) {
    action()->set("keyCode", Integer(12));
    action()->set("modifiers", Integer(0x0100));
    action()->set("xyOptions", Integer(0x11));
    action()->set("text", "hello");
    EXPECT_EQ(ui()->integer("modCmd"), 1);

    chooseCommand(kCommandKey);
    EXPECT_EQ(action()->keys(), (std::vector<std::string>{"command", "keyCode"}));
    EXPECT_EQ(action()->integer("keyCode"), kNoKeyCode);
    EXPECT_EQ(ui()->integer("modCmd"), 0);
    EXPECT_EQ(ui()->integer("xyDoubleX"), 0);
    EXPECT_EQ(ui()->string("keystroke"), keystrokeString(0xFF, 0));
    EXPECT_EQ(ui()->string("actionTab"), "key");

    action()->set("modifiers", Integer(0x0200));
    chooseCommand(kCommandText);
    EXPECT_EQ(action()->keys(), std::vector<std::string>{"command"});
    EXPECT_EQ(ui()->string("actionTab"), "text");

    // A new scroll scrolls up by lines until told otherwise, so its line count shows.
    ui()->set("hasScrollSpeed", false);
    chooseCommand(kCommandScroll);
    EXPECT_TRUE(ui()->boolean("hasScrollSpeed"));

    // A window that sends before it stores, or a stored string code, ends the same way.
    action()->set("command", "7");
    pane->ibaOptionsMenuAction(Sender{0, kCommandScroll, {}});
    EXPECT_EQ(action()->get("command"), Value(Integer(kCommandScroll)));
    EXPECT_EQ(ui()->string("actionTab"), "scroll");
    // An item tag that is no command is not stored.
    pane->ibaOptionsMenuAction(Sender{0, 25, {}});
    EXPECT_EQ(action()->integer("command"), kCommandScroll);
}

TEST_F(ActionEditorTest, extra_keys_set_the_key_of_a_keystroke_only) {
    for (std::int64_t code : {kCommandChar, kCommandMacro, kCommandMods}) {
        chooseCommand(code);
        pane->ibaOptionsMenuExtraKeys(Sender{0, 0x7B, {}});
        EXPECT_FALSE(action()->contains("keyCode")) << code;
    }
    chooseCommand(kCommandKey);
    ui()->set("modShift", Integer(1));
    pane->ibaOptionsMenuExtraKeys(Sender{0, 0x7B, {}});
    EXPECT_EQ(action()->get("keyCode"), Value(Integer(0x7B)));
    EXPECT_EQ(ui()->string("keystroke"), "Shift+left");
    // Tags that are no key code leave the key alone.
    for (std::int64_t tag : {-1, 255, 70000})
        pane->ibaOptionsMenuExtraKeys(Sender{0, tag, {}});
    EXPECT_EQ(action()->integer("keyCode"), 0x7B);
}

TEST_F(ActionEditorTest, the_single_character_field_keeps_the_last_whole_character) {
    chooseCommand(kCommandChar);
    RecordingTextField field;
    field.tagValue = QuillonMousePane::kSingleCharacterFieldTag;
    auto type = [&](const std::string& text) {
        field.text = text;
        pane->controlTextDidChange(field);
    };
    type("a");
    EXPECT_EQ(action()->string("char"), "a");
    type("ab");
    EXPECT_EQ(field.text, "b");
    EXPECT_EQ(action()->string("char"), "b");
    type("");
    EXPECT_EQ(action()->get("char"), Value(std::string()));
    // Characters beyond one UTF-16 unit, or made of several code points, stay whole.
    const std::string grinning = "\xF0\x9F\x98\x80";
    const std::string eAcute = "e\xCC\x81";
    const std::string flag = "\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA";
    const std::string family = "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";
    for (const std::string& whole : {grinning, eAcute, flag, family}) {
        type("x" + whole);
        EXPECT_EQ(field.text, whole);
        EXPECT_EQ(action()->string("char"), whole);
    }
    // Broken bytes never split a character or crash; each counts as one.
    type("a\xE2\x82");
    EXPECT_EQ(action()->string("char"), "\x82");

    // Other fields are not the pane's to cut.
    RecordingTextField other;
    other.text = "two words";
    pane->controlTextDidChange(other);
    EXPECT_EQ(other.text, "two words");
    EXPECT_EQ(action()->string("char"), "\x82");
}

TEST_F(ActionEditorTest, a_bound_character_field_is_cut_but_a_loaded_record_is_not) {
    chooseCommand(kCommandChar);
    action()->set("char", "xy");  // what a field bound straight to action.char would store
    EXPECT_EQ(action()->string("char"), "y");

    // A record from the file is shown as it is until the user edits it.
    pane->settings()->dictionary("actions")->set(
        "00", makeDictionary({{"command", Integer(kCommandChar)}, {"char", "abc"}}));
    controls.selectRow(0);
    EXPECT_EQ(action()->string("char"), "abc");
    action()->set("char", "abcd");
    EXPECT_EQ(action()->string("char"), "d");
}

TEST_F(ActionEditorTest, return_and_tab_go_into_the_text) {
    RecordingFieldEditor editor;
    EXPECT_TRUE(pane->control(editor, "insertNewline:"));
    EXPECT_TRUE(pane->control(editor, "insertTab:"));
    EXPECT_FALSE(pane->control(editor, "moveUp:"));
    EXPECT_FALSE(pane->control(editor, "cancelOperation:"));
    EXPECT_EQ(editor.inserted, "\n\t");
}

TEST_F(ActionEditorTest, a_chosen_application_is_stored_by_identifier_while_still_wanted) {
    chooseCommand(kCommandApp);
    const std::string entry = "/usr/share/applications/org.example.Mail.desktop";
    workspace.infoDictionaries[entry] =
        makeDictionary({{"CFBundleIdentifier", "org.example.Mail"}});
    workspace.applications["org.example.Mail"] = entry;

    chooseFile(entry);
    pane->ibaOptionsButtonChooseApp(Sender{});
    ASSERT_EQ(host->openPanels.size(), 1u);
    const OpenPanelOptions& asked = host->openPanels.back();
    EXPECT_TRUE(asked.canChooseFiles);
    EXPECT_FALSE(asked.canChooseDirectories);
    EXPECT_FALSE(asked.allowsMultipleSelection);
    EXPECT_EQ(asked.directory, "/usr/share/applications");
    EXPECT_EQ(asked.allowedTypes.front(), "app");
    EXPECT_EQ(action()->string("app"), "org.example.Mail");
    EXPECT_EQ(ui()->string("path"), entry);

    // Cancelled, without an identifier, or not an application: nothing changes.
    host->chooserOK = false;
    pane->ibaOptionsButtonChooseApp(Sender{});
    const std::string noID = "/tmp/broken.desktop";
    workspace.infoDictionaries[noID] = makeDictionary({{"CFBundleName", "Broken"}});
    chooseFile(noID);
    pane->ibaOptionsButtonChooseApp(Sender{});
    workspace.infoDictionaries[noID] = makeDictionary({{"CFBundleIdentifier", makeArray({})}});
    pane->ibaOptionsButtonChooseApp(Sender{});
    chooseFile("/etc/passwd");
    pane->ibaOptionsButtonChooseApp(Sender{});
    EXPECT_EQ(action()->string("app"), "org.example.Mail");

    // The command changes while the chooser is open: the answer is dropped.
    host->holdOpenPanels = true;
    chooseFile(entry);
    pane->ibaOptionsButtonChooseApp(Sender{});
    chooseCommand(kCommandOpen);
    ASSERT_EQ(host->heldOpenPanels.size(), 1u);
    host->heldOpenPanels.front()(true, {entry});
    EXPECT_EQ(action()->keys(), std::vector<std::string>{"command"});

    // An answer after the pane is gone is harmless.
    pane->ibaOptionsButtonChooseApp(Sender{});
    auto late = host->heldOpenPanels.back();
    pane.reset();
    late(true, {entry});
}

TEST_F(ActionEditorTest, a_chosen_item_is_stored_with_the_home_folder_as_a_tilde) {
    chooseCommand(kCommandOpen);
    const std::string homeDir = home.path().string();
    auto choose = [&](const std::string& path) {
        chooseFile(path);
        pane->ibaOptionsButtonChooseItem(Sender{});
        return action()->string("path");
    };
    EXPECT_EQ(choose(homeDir + "/Documents/plan.txt"), "~/Documents/plan.txt");
    EXPECT_TRUE(host->openPanels.back().canChooseDirectories);
    EXPECT_TRUE(host->openPanels.back().canChooseFiles);
    EXPECT_TRUE(host->openPanels.back().allowedTypes.empty());
    EXPECT_EQ(choose(homeDir), "~");
    EXPECT_EQ(choose("/srv/shared folder"), "/srv/shared folder");
    // A sibling whose name starts like the home folder is outside it.
    EXPECT_EQ(choose(homeDir + "-old/notes"), homeDir + "-old/notes");
    EXPECT_EQ(choose(""), homeDir + "-old/notes");

    // A script goes the same way, into `script`, and only for a script action.
    chooseFile(homeDir + "/bin/backup.sh");
    pane->ibaOptionsButtonChooseScript(Sender{});
    EXPECT_FALSE(action()->contains("script"));
    chooseCommand(kCommandScript);
    pane->ibaOptionsButtonChooseScript(Sender{});
    EXPECT_EQ(action()->string("script"), "~/bin/backup.sh");
    pane->ibaOptionsButtonChooseItem(Sender{});
    EXPECT_FALSE(action()->contains("path"));
}

TEST_F(ActionEditorTest, the_address_field_stores_only_addresses) {
    chooseCommand(kCommandUrl);
    ui()->set("url", "https://example.com/a?b=c");
    EXPECT_EQ(action()->string("url"), "https://example.com/a?b=c");
    EXPECT_EQ(ui()->string("urlHint"), "");
    // Half-typed or other text shows a hint and keeps the stored address.
    for (const char* text : {"h", "https://", "example.com", "two words", "C:\\file"}) {
        ui()->set("url", text);
        EXPECT_EQ(action()->string("url"), "https://example.com/a?b=c") << text;
        EXPECT_NE(ui()->string("urlHint"), "") << text;
    }
    ui()->set("url", "mailto:name@example.com");
    EXPECT_EQ(action()->string("url"), "mailto:name@example.com");
    EXPECT_EQ(ui()->string("urlHint"), "");
    ui()->set("url", "");
    EXPECT_EQ(action()->get("url"), Value(std::string()));

    // Another action shows its own address; one of the wrong type shows as empty.
    pane->settings()->dictionary("actions")->set(
        "00", makeDictionary({{"command", Integer(kCommandUrl)}, {"url", "zoommtg://join"}}));
    controls.selectRow(0);
    EXPECT_EQ(ui()->string("url"), "zoommtg://join");
    pane->settings()->dictionary("actions")->set(
        "00", makeDictionary({{"command", Integer(kCommandUrl)}, {"url", makeArray({1})}}));
    controls.selectRow(1);
    controls.selectRow(0);
    EXPECT_EQ(ui()->get("url"), Value(std::string()));
    ui()->set("url", "https://example.org");
    EXPECT_EQ(action()->get("url"), Value(std::string("https://example.org")));
}

TEST(action_choices, addresses_need_a_scheme_and_a_target) {
    for (const char* good : {"https://example.com", "HTTP://example.com:8080/x", "mailto:a@b.c",
                             "file:///home/a/b.pdf", "steam://run/10", "x-scheme+v1.2:abc"})
        EXPECT_TRUE(isActionAddress(good)) << good;
    for (const char* bad :
         {"", "example.com", "https://", "http:/x", "https:///x", "a:b", "C:\\x", "1ab:c",
          "mailto:", "https://a b", "https://a\n", ":x", "ht tp://a", "file:x"})
        EXPECT_FALSE(isActionAddress(bad)) << bad;
    EXPECT_FALSE(isActionAddress("https://" + std::string(9000, 'a')));
}

TEST(action_choices, menus_cover_every_command_and_value_once) {
    std::set<std::int64_t> menuCodes;
    for (const auto& item : commandMenuItems()) {
        EXPECT_TRUE(commandInfo(item.code)) << item.code;
        EXPECT_TRUE(menuCodes.insert(item.code).second) << item.code;
        EXPECT_FALSE(item.title.empty());
    }
    EXPECT_EQ(menuCodes.size(), commandTable().size());
    for (auto list :
         {clickButtonChoices(), scrollDirectionChoices(), panAxesChoices(), swapModeChoices(),
          motionDurationChoices(), shortcutChoices(), specialItemChoices(), systemControlChoices(),
          playerControlChoices(), extraKeyChoices()}) {
        std::set<std::int64_t> values;
        std::set<std::string_view> names;
        for (const auto& choice : list) {
            EXPECT_TRUE(values.insert(choice.value).second) << choice.name;
            EXPECT_TRUE(names.insert(choice.name).second) << choice.name;
        }
    }
    EXPECT_EQ(clickButtonChoices()[0].value, 0);
    // Directions that scroll by lines come before those that do not.
    for (const auto& direction : scrollDirectionChoices())
        EXPECT_EQ(direction.value < 4, direction.name == "up" || direction.name == "down" ||
                                           direction.name == "left" || direction.name == "right");
}

TEST(action_choices, the_helper_protocol_names_every_value_the_editor_stores) {
    const std::string doc = readAll(sourceDir() / "docs" / "helper-protocol.md");
    ASSERT_FALSE(doc.empty());
    const std::string records = doc.substr(doc.find("## Action records"));
    for (const auto& item : commandMenuItems()) {
        EXPECT_NE(
            records.find("| " + std::to_string(item.code) + " | " + std::string(item.title) + " |"),
            std::string::npos)
            << item.title;
        for (std::string_view key : commandInfo(item.code)->keptKeys) {
            if (key.empty()) continue;
            EXPECT_NE(records.find("`" + std::string(key) + "`"), std::string::npos) << key;
        }
    }
    for (auto list :
         {clickButtonChoices(), scrollDirectionChoices(), panAxesChoices(), swapModeChoices(),
          motionDurationChoices(), shortcutChoices(), specialItemChoices(), systemControlChoices(),
          playerControlChoices(), extraKeyChoices()})
        for (const auto& choice : list)
            EXPECT_NE(records.find("| `" + std::string(choice.name) + "` | " +
                                   std::string(choice.title) + " |"),
                      std::string::npos)
                << choice.name;
}

TEST_F(ActionEditorTest, extra_keys_are_titled_as_the_keystroke_text_names_them) {
    for (const auto& key : extraKeyChoices()) {
        ASSERT_GE(key.value, 0);
        ASSERT_LT(key.value, 255);
        auto code = static_cast<std::uint8_t>(key.value);
        // Past F15 the key naming has no numbers; the menu still tells the keys apart.
        if (keyCodeString(code, false) == "F") {
            EXPECT_TRUE(key.title.starts_with("F1") || key.title.starts_with("F2")) << key.title;
            continue;
        }
        EXPECT_EQ(keyCodeString(code, false), key.title) << key.name;
    }
}

}  // namespace
}  // namespace quillon::testing
