// The reactions to edits: check boxes and bit fields in step, derived ui values, saves.
#include <map>
#include <tuple>

#include "keyboard/key_names.h"
#include "pane_fixture.h"
#include "prefs/command_table.h"

namespace quillon::testing {
namespace {

class ChangeHandlerTest : public PaneTest {
protected:
    void SetUp() override {
        load();
        receiveDevices({deviceRecord(0x1056)});
        ui()->set("actionIndex", Integer(1));
        ASSERT_TRUE(pane->action());
    }
    DictRef ui() { return pane->ui(); }
    DictRef action() { return pane->action(); }
    // How often path is reported from now on.
    std::shared_ptr<int> countReports(const std::string& path) {
        auto count = std::make_shared<int>(0);
        pane->properties().addObserver(path,
                                       [count](const std::string&, const Value&) { ++*count; });
        return count;
    }
    std::vector<std::int64_t> boxes(std::initializer_list<const char*> keys) {
        std::vector<std::int64_t> values;
        for (const char* key : keys)
            values.push_back(ui()->integer(key));
        return values;
    }
};

TEST_F(ChangeHandlerTest, modifier_check_boxes_and_modifiers_follow_each_other) {
    action()->set("command", Integer(7));
    action()->set("keyCode", Integer(0));
    action()->set("modifiers", Integer(0x1000));
    ui()->set("modShift", Integer(1));
    EXPECT_EQ(action()->integer("modifiers"), 0x1200);
    ui()->set("modControl", Integer(0));
    EXPECT_EQ(action()->integer("modifiers"), 0x0200);
    EXPECT_EQ(ui()->string("keystroke"), keystrokeString(0, 0x0200));

    auto stores = countReports("action.modifiers");
    action()->set("modifiers", Integer(0x0900));
    EXPECT_EQ(boxes({"modControl", "modOption", "modCmd", "modShift", "modCaps"}),
              (std::vector<std::int64_t>{0, 1, 1, 0, 0}));
    EXPECT_EQ(*stores, 1);  // the check boxes written back do not write the modifiers again
    EXPECT_EQ(ui()->string("keystroke"), keystrokeString(0, 0x0900));
    EXPECT_FALSE(pane->fDontObserve);
}

TEST_F(ChangeHandlerTest, axis_check_boxes_and_axis_options_follow_each_other) {
    action()->set("xyOptions", Integer(0x0014));
    EXPECT_EQ(boxes({"xyDoubleX", "xyDoubleY", "xyInvertX", "xyInvertY", "xySwapXY", "xyDisableX",
                     "xyDisableY"}),
              (std::vector<std::int64_t>{0, 0, 1, 0, 1, 0, 0}));
    ui()->set("xyDisableY", true);
    EXPECT_EQ(action()->integer("xyOptions"), 0x0054);
    ui()->set("xyInvertX", Integer(0));
    EXPECT_EQ(action()->integer("xyOptions"), 0x0050);
    // A key that is no check box changes nothing.
    ui()->set("xyBogus", Integer(1));
    ui()->set("modBogus", Integer(1));
    EXPECT_EQ(action()->integer("xyOptions"), 0x0050);
    EXPECT_FALSE(action()->contains("modifiers"));
}

TEST_F(ChangeHandlerTest, scroll_direction_sets_speed_visibility_and_count) {
    action()->set("command", Integer(16));
    action()->set("count", Integer(7));
    action()->set("direction", Integer(2));
    EXPECT_TRUE(ui()->boolean("hasScrollSpeed"));
    EXPECT_EQ(action()->integer("count"), 7);
    action()->set("direction", Integer(5));
    EXPECT_FALSE(ui()->boolean("hasScrollSpeed"));
    EXPECT_EQ(action()->integer("count"), 0);

    action()->set("command", Integer(7));
    action()->set("count", Integer(3));
    action()->set("direction", Integer(6));
    EXPECT_EQ(action()->integer("count"), 3);
}

TEST_F(ChangeHandlerTest, selected_control_sets_edit_and_scroll_frequency_flags) {
    for (auto [index, canEdit, freq] :
         {std::tuple{13, 1, 0}, std::tuple{12, 1, 0}, std::tuple{15, 1, 0}, std::tuple{11, 1, 1},
          std::tuple{16, 1, 1}, std::tuple{-1, 0, 1}}) {
        ui()->set("actionIndex", Integer(index));
        EXPECT_EQ(ui()->integer("canEdit"), canEdit) << index;
        EXPECT_EQ(ui()->integer("showScrollFreq"), freq) << index;
    }
    EXPECT_EQ(action(), nullptr);
    EXPECT_TRUE(pane->settings());
    EXPECT_TRUE(pane->options());
}

TEST_F(ChangeHandlerTest, a_control_without_an_action_gets_an_empty_one_in_the_settings) {
    DictRef actions = pane->settings()->dictionary("actions");
    ASSERT_FALSE(actions->contains("13"));
    ui()->set("actionIndex", Integer(13));
    ASSERT_TRUE(actions->contains("13"));
    EXPECT_EQ(action(), actions->dictionary("13"));
    EXPECT_TRUE(action()->empty());
    EXPECT_EQ(ui()->string("actionTab"), "empty");
}

TEST_F(ChangeHandlerTest, command_chooses_the_tab_the_macro_editor_and_the_application_path) {
    workspace.applications["org.example.mail"] = "/usr/share/applications/mail.desktop";
    action()->set("command", Integer(12));
    EXPECT_EQ(ui()->string("actionTab"), std::string(commandTab(12)));
    ASSERT_TRUE(macroEditor);
    EXPECT_EQ(macroEditor->actions.back(), action());
    action()->set("command", Integer(7));
    EXPECT_EQ(macroEditor->actions.back(), nullptr);

    action()->set("app", std::string("org.example.mail"));
    EXPECT_FALSE(ui()->contains("path"));  // not an "app" action yet
    action()->set("command", Integer(19));
    EXPECT_EQ(ui()->string("path"), "/usr/share/applications/mail.desktop");
    action()->set("app", std::string("org.example.missing"));
    EXPECT_EQ(ui()->string("path"), "");
    for (std::int64_t empty : {-3, 0, 5, 13, 14, 15, 17, 25, 29, 1000})
        EXPECT_EQ(commandTab(empty), "empty") << empty;
}

TEST_F(ChangeHandlerTest,
       option_edits_save_global_settings_at_once_and_application_settings_later) {
    bus.clearPosted();
    pane->options()->set("speed", Integer(70));
    EXPECT_EQ(requestsSent(), std::vector<std::string>{"updatePrefs"});
    EXPECT_EQ(readPrefsBack()
                  ->dictionary("settings")
                  ->dictionary("0010")
                  ->dictionary("options")
                  ->integer("speed"),
              70);

    bus.clearPosted();
    ui()->set("settingsUID", Integer(11));  // the Mail settings: switching itself saves nothing
    EXPECT_EQ(pane->settings(), pane->fSettingsTable->dictionary("0011"));
    pane->options()->set("speed", Integer(20));
    EXPECT_TRUE(requestsSent().empty());
    host->windowResignedKey();  // not shown: no save either
    EXPECT_TRUE(requestsSent().empty());
}

TEST_F(ChangeHandlerTest, tab_choice_shows_the_indicator_off_the_options_tab) {
    ui()->set("tabID", std::string("buttons"));
    EXPECT_FALSE(pathView.hidden);
    EXPECT_TRUE(pathView.animated);
    EXPECT_FALSE(ui()->boolean("canRestore"));
    ui()->set("tabID", std::string("options"));
    EXPECT_TRUE(pathView.hidden);
    EXPECT_FALSE(pathView.animated);
}

TEST_F(ChangeHandlerTest, every_store_is_reported_and_a_new_action_reports_each_path_once) {
    auto index = countReports("ui.actionIndex");
    ui()->set("actionIndex", Integer(0));
    ui()->set("actionIndex", Integer(0));
    EXPECT_EQ(*index, 2);

    std::map<std::string, int> reports;
    for (const char* path : {"action.command", "action.keyCode", "action.modifiers", "action.app",
                             "action.direction", "action.xyOptions"})
        pane->properties().addObserver(
            path, [&reports](const std::string& p, const Value&) { ++reports[p]; });
    pane->setAction(makeDictionary({{"command", Integer(7)}}));
    EXPECT_EQ(reports.size(), 6u);
    for (const auto& [path, count] : reports)
        EXPECT_EQ(count, 1) << path;
}

}  // namespace
}  // namespace quillon::testing
