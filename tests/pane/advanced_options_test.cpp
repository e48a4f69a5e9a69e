// The Advanced button (secret controls, speed options panel, driver mode, reset), the
// firmware-update request and the buttons that open the manual, the web site and the settings.
#include <fstream>

#include "pane_fixture.h"
#include "platform/keyboard_layout.h"

namespace quillon::testing {
namespace {

class AdvancedOptionsTest : public PaneTest {
protected:
    void SetUp() override {
        load();
        receiveDevices({deviceRecord(0x1056)});
        pane->iboSpeedOptionsPanel = &speedPanel;
        ASSERT_TRUE(pane->options());
        // The user's own options, none at its reset value.
        for (const auto& [key, value] :
             std::initializer_list<std::pair<const char*, Value>>{{"doubleX", true},
                                                                  {"invertY", true},
                                                                  {"swapXY", true},
                                                                  {"scrollDPI", Integer(800)},
                                                                  {"scrollSpeed", Integer(130)},
                                                                  {"scrollMaxDelay", Integer(99)},
                                                                  {"speed", Integer(70)},
                                                                  {"acceleration", Integer(3)},
                                                                  {"accEnabled", true}})
            pane->options()->set(key, value);
        bus.clearPosted();
    }
    // Presses the panel's button with that tag, as the user would.
    void answerPanelWith(int tag) {
        host->panelResponder = [this, tag](Panel& panel) {
            EXPECT_EQ(&panel, &speedPanel);
            requestsWhilePanelOpen = requestsSent();
            pane->ibaModalButtonPressed(Sender{tag, -1, {}});
            return -7;  // the pressed button decides, not this
        };
    }
    std::vector<std::string> driverModeStates() const {
        std::vector<std::string> states;
        for (const auto& post : bus.postedUnder(std::string(kRequestNotificationName))) {
            DictRef request = decodeNotificationPayload(post.object);
            if (request && request->string("request") == "driverMode")
                states.push_back(request->get("state").asBool() ? "on" : "off");
        }
        return states;
    }

    RecordingPanel speedPanel;
    std::vector<std::string> requestsWhilePanelOpen;
};

TEST_F(AdvancedOptionsTest, command_click_toggles_the_secret_controls_and_opens_no_panel) {
    host->modifierFlags = commandKeyMask | optionKeyMask;
    pane->ibaOptionsButtonAdvanced({});
    EXPECT_EQ(pane->ui()->get("secretButtonHidden"), Value(Integer(0)));
    pane->ibaOptionsButtonAdvanced({});
    EXPECT_EQ(pane->ui()->get("secretButtonHidden"), Value(Integer(1)));
    EXPECT_TRUE(host->panelsRun.empty());
    EXPECT_TRUE(requestsSent().empty());
}

TEST_F(AdvancedOptionsTest, confirming_the_panel_keeps_the_edits_and_saves_nothing) {
    const auto before = std::filesystem::last_write_time(prefsPath());
    answerPanelWith(QuillonMousePane::kModalOK);
    pane->ibaOptionsButtonAdvanced({});
    ASSERT_EQ(host->panelsRun.size(), 1u);
    EXPECT_EQ(pane->options()->integer("scrollDPI"), 800);
    EXPECT_TRUE(pane->options()->get("doubleX").asBool());
    EXPECT_TRUE(requestsSent().empty());
    EXPECT_EQ(std::filesystem::last_write_time(prefsPath()), before);
}

TEST_F(AdvancedOptionsTest, any_other_code_resets_the_eleven_options_and_saves_once) {
    for (int code : {QuillonMousePane::kModalCancel, QuillonMousePane::kModalOther}) {
        pane->options()->set("scrollMinDelay", Integer(7));
        bus.clearPosted();
        answerPanelWith(code);
        pane->ibaOptionsButtonAdvanced({});
        EXPECT_EQ(requestsSent(), std::vector<std::string>{"updatePrefs"}) << "code " << code;
    }
    // What reached the file: the reset values with their types, the user's speed kept.
    DictRef saved = readPrefsBack();
    ASSERT_TRUE(saved);
    DictRef options = saved->dictionary("settings")->dictionary("0010")->dictionary("options");
    ASSERT_TRUE(options);
    for (const char* key : {"doubleX", "doubleY", "invertX", "invertY", "swapXY"})
        EXPECT_EQ(options->get(key), Value(false)) << key;
    for (const auto& [key, value] :
         std::initializer_list<std::pair<const char*, int>>{{"scrollDPI", 400},
                                                            {"scrollSpeed", 100},
                                                            {"scrollXYRatio", 50},
                                                            {"scrollMaxCount", 15000},
                                                            {"scrollMinDelay", 40},
                                                            {"scrollMaxDelay", 250}})
        EXPECT_EQ(options->get(key), Value(Integer(value))) << key;
    EXPECT_EQ(options->integer("speed"), 70);
    EXPECT_EQ(options->integer("acceleration"), 3);
    EXPECT_TRUE(options->get("accEnabled").asBool());
    EXPECT_EQ(pane->options()->integer("scrollDPI"), 400);  // the live record, shown in the window
}

TEST_F(AdvancedOptionsTest, option_turns_the_driver_off_while_the_panel_is_open) {
    host->modifierFlags = optionKeyMask;
    for (int code : {QuillonMousePane::kModalOK, QuillonMousePane::kModalCancel}) {
        bus.clearPosted();
        answerPanelWith(code);
        pane->ibaOptionsButtonAdvanced({});
        EXPECT_EQ(requestsWhilePanelOpen, std::vector<std::string>{"driverMode"});
        EXPECT_EQ(driverModeStates(), (std::vector<std::string>{"off", "on"})) << "code " << code;
    }
    host->modifierFlags = 0;
    bus.clearPosted();
    pane->ibaOptionsButtonAdvanced({});
    EXPECT_TRUE(driverModeStates().empty());
}

TEST_F(AdvancedOptionsTest, without_its_panel_advanced_changes_nothing) {
    pane->iboSpeedOptionsPanel = nullptr;
    host->modifierFlags = optionKeyMask;
    pane->ibaOptionsButtonAdvanced({});
    EXPECT_TRUE(requestsSent().empty());
    EXPECT_EQ(pane->options()->integer("scrollDPI"), 800);
}

TEST_F(AdvancedOptionsTest, firmware_update_asks_the_helper_without_a_question) {
    pane->ibaOptionsButtonDFU({});
    EXPECT_EQ(requestsSent(), std::vector<std::string>{"enterDFU"});
    EXPECT_TRUE(host->panelsRun.empty());
}

TEST_F(AdvancedOptionsTest, info_buttons_open_the_bundled_manual_the_web_site_and_the_settings) {
    pane->ibaInfoButtonManual({});
    EXPECT_TRUE(workspace.openedFiles.empty());  // no manual in this bundle: nothing opens
    std::ofstream(bundleDir.path() / "Quillon Mouse Manual.pdf") << "%PDF-1.4\n";
    pane->ibaInfoButtonManual({});
    ASSERT_EQ(workspace.openedFiles.size(), 1u);
    EXPECT_EQ(std::filesystem::path(workspace.openedFiles[0]),
              bundleDir.path() / "Quillon Mouse Manual.pdf");

    pane->ibaInfoButtonURL({});
    pane->ibaStatusButtonOpenSysPrefs({});
    EXPECT_EQ(workspace.openedURLs,
              (std::vector<std::string>{
                  "https://www.quillonworks.com",
                  "x-apple.systempreferences:com.apple.preference.security?General"}));
}

}  // namespace
}  // namespace quillon::testing
