// Keystroke capture on the pane: when key presses are recorded and where they are stored.
#include "keyboard/key_names.h"
#include "pane_fixture.h"

namespace quillon::testing {
namespace {

class KeystrokeCaptureTest : public PaneTest {
protected:
    void SetUp() override {
        load();
        receiveDevices({deviceRecord(0x1056)});
        pane->ui()->set("actionIndex", Integer(1));
        ASSERT_TRUE(pane->action());
    }
};

TEST_F(KeystrokeCaptureTest, records_only_while_the_window_is_key_and_a_keystroke_is_edited) {
    EXPECT_FALSE(pane->overrideKeysIsActive());
    keystrokeField.editing = true;
    EXPECT_TRUE(pane->overrideKeysIsActive());
    host->windowKey = false;
    EXPECT_FALSE(pane->overrideKeysIsActive()) << "another window has the keyboard";
    host->windowKey = true;
    keystrokeField.editing = false;
    ASSERT_TRUE(macroEditor);
    macroEditor->editingKeystrokeStep = true;
    EXPECT_TRUE(pane->overrideKeysIsActive());
}

TEST_F(KeystrokeCaptureTest, a_keystroke_lands_in_the_action_key_code_first_or_in_the_macro) {
    DictRef action = pane->action();
    action->set("command", Integer(7));
    action->set("keyCode", Integer(0));
    action->set("modifiers", Integer(0x0200));
    std::vector<std::pair<std::string, std::pair<std::int64_t, std::int64_t>>> reports;
    for (const char* path : {"action.keyCode", "action.modifiers"})
        pane->properties().addObserver(path, [&](const std::string& p, const Value&) {
            reports.push_back({p, {action->integer("keyCode"), action->integer("modifiers")}});
        });
    pane->receiveKeystroke(0x30, 0x1000);
    using Report = decltype(reports)::value_type;
    EXPECT_EQ(reports, (std::vector<Report>{{"action.keyCode", {0x30, 0x0200}},
                                            {"action.modifiers", {0x30, 0x1000}}}));
    EXPECT_EQ(pane->ui()->string("keystroke"), keystrokeString(0x30, 0x1000));
    EXPECT_EQ(pane->ui()->integer("modControl"), 1);

    action->set("command", Integer(12));
    pane->receiveKeystroke(0x24, 0);
    EXPECT_EQ(macroEditor->keystrokes,
              (std::vector<std::pair<std::uint8_t, std::uint16_t>>{{0x24, 0}}));
    EXPECT_EQ(action->integer("keyCode"), 0x30);

    // Any other action swallows the key and keeps what it had.
    action->set("command", Integer(11));
    reports.clear();
    pane->receiveKeystroke(0x35, 0);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(macroEditor->keystrokes.size(), 1u);
}

}  // namespace
}  // namespace quillon::testing
