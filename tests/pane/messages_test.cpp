// The message box and the rule that every settings set keeps a main click.
#include <fstream>

#include "pane_fixture.h"

namespace quillon::testing {
namespace {

class MessagesTest : public PaneTest {
protected:
    void SetUp() override {
        std::filesystem::create_directories(bundleDir.path() / "en.lproj");
        std::ofstream(bundleDir.path() / "en.lproj" / "Localizable.strings")
            << "\"Delete settings named [0]?\" = \"Really delete [0]?\";\n"
               "\"Replace\" = \"Overwrite\";\n";
        load();
    }
    Value ui(const char* key) { return pane->ui()->get(key); }
};

TEST_F(MessagesTest, message_box_localizes_fills_placeholders_and_shows_given_buttons) {
    host->panelResponder = [this](Panel& panel) {
        EXPECT_EQ(&panel, &modalPanel);
        EXPECT_FALSE(modalPanel.hidden);
        pane->ibaModalButtonPressed(Sender{QuillonMousePane::kModalCancel, -1, {}});
        return 1;
    };
    int code = pane->modalMessage("Delete settings named [0]?", {"Mail"}, std::nullopt, false,
                                  std::string(), std::string(), std::nullopt);
    EXPECT_EQ(code, 0);  // the pressed button's tag decides
    EXPECT_TRUE(modalPanel.hidden);
    EXPECT_EQ(ui("modalMessage").asString(), "Really delete Mail?");
    EXPECT_EQ(ui("modalOK").asString(), "OK");
    EXPECT_EQ(ui("modalCancel").asString(), "Cancel");
    EXPECT_TRUE(ui("modalCheck").isAbsent());
    EXPECT_TRUE(ui("modalOther").isAbsent());

    host->panelResponder = [](Panel&) { return 1; };
    code = pane->modalMessage("[0] settings for [1] devices already exist", {"Mail", "tamber"},
                              std::string("Apply to All"), false, std::string("Replace"),
                              std::string("Skip"), std::nullopt);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(ui("modalMessage").asString(), "Mail settings for tamber devices already exist");
    EXPECT_EQ(ui("modalCheck").asString(), "Apply to All");
    EXPECT_FALSE(ui("modalCheckState").asBool());
    EXPECT_EQ(ui("modalOK").asString(), "Overwrite");
    EXPECT_EQ(ui("modalCancel").asString(), "Skip");

    pane->modalMessage("File version mismatch", {}, std::nullopt, false, std::nullopt, std::nullopt,
                       std::string("More"));
    EXPECT_TRUE(ui("modalCancel").isAbsent());
    EXPECT_TRUE(ui("modalCheck").isAbsent());
    EXPECT_EQ(ui("modalOK").asString(), "OK");
    EXPECT_EQ(ui("modalOther").asString(), "More");
}

TEST_F(MessagesTest, parameters_are_inserted_in_order_and_later_ones_act_on_earlier_text) {
    pane->modalMessage("[0] and [1]", {"[1]", "x"}, std::nullopt, false, std::nullopt, std::nullopt,
                       std::nullopt);
    EXPECT_EQ(ui("modalMessage").asString(), "x and x");
}

TEST_F(MessagesTest, without_its_panel_a_question_is_answered_cancel) {
    pane->iboModalPanel = nullptr;
    EXPECT_EQ(pane->modalMessage("Restore default settings for [0]?", {"Mail"}, std::nullopt, false,
                                 std::string(), std::string(), std::nullopt),
              QuillonMousePane::kModalCancel);
}

TEST_F(MessagesTest, every_set_but_keyboards_keeps_a_main_click_with_one_message) {
    DictRef table = pane->fSettingsTable;
    auto actionsOf = [&](const char* uid) { return table->dictionary(uid)->dictionary("actions"); };
    // Only a click in slot "10": slots 8 to 15 are not examined, so "00" is repaired.
    actionsOf("0011")->set("00", makeDictionary({{"command", Integer(7)},
                                                 {"keyCode", Integer(3)},
                                                 {"modifiers", Integer(0x100)}}));
    actionsOf("0011")->remove("01");
    actionsOf("0011")->set("10", makeDictionary({{"command", Integer(6)}, {"button", Integer(0)}}));
    // A click in "05", modifiers and all, is a main click.
    actionsOf("0012")->set("00", makeDictionary({{"command", Integer(9)}}));
    actionsOf("0012")->set(
        "05", makeDictionary({{"command", Integer(6)}, {"modifiers", Integer(0x200)}}));
    // No actions at all.
    table->dictionary("0013")->remove("actions");
    // A keyboard with no click is left alone.
    DictRef keyboard = settingsRecord("kbd", "Keyboard");
    keyboard->dictionary("actions")->clear();
    table->set("0040", keyboard);

    int messages = 0;
    host->panelResponder = [&](Panel&) {
        ++messages;
        EXPECT_EQ(pane->ui()->string("modalMessage"), "Main button reassigned to Mouse Click");
        EXPECT_FALSE(pane->ui()->contains("modalCancel"));
        return 1;
    };
    pane->savePrefsToFile();
    EXPECT_EQ(messages, 1);
    DictRef saved = readPrefsBack()->dictionary("settings");
    auto slot = [&](const char* uid, const char* key) {
        return saved->dictionary(uid)->dictionary("actions")->dictionary(key);
    };
    EXPECT_EQ(slot("0011", "00")->entries().size(), 2u);
    EXPECT_EQ(slot("0011", "00")->integer("command"), 6);
    EXPECT_EQ(slot("0011", "00")->integer("button"), 0);
    EXPECT_EQ(slot("0012", "00")->integer("command"), 9);
    EXPECT_EQ(slot("0013", "00")->integer("command"), 6);
    EXPECT_TRUE(saved->dictionary("0040")->dictionary("actions")->empty());

    pane->savePrefsToFile();  // nothing left to repair: no message
    EXPECT_EQ(messages, 1);
}

}  // namespace
}  // namespace quillon::testing
