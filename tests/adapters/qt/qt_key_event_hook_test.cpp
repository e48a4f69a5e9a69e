// The key-event filter on a pane with doubles: key events with native scan codes are recorded
// instead of acting while a keystroke is recorded, and pass untouched otherwise.
#include "adapters/qt/qt_key_event_hook.h"

#include <QApplication>
#include <QDialog>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "keyboard/key_names.h"
#include "pane_fixture.h"
#include "widgets_test_support.h"

namespace quillon::testing {
namespace {

// X key codes (evdev + 8) of the keys used here.
constexpr quint32 kScanA = 38, kScanW = 25, kScanTab = 23, kScanReturn = 36, kScanEscape = 9,
                  kScanLeftShift = 50;
constexpr quint32 kNativeLock = 0x2;

class KeyEventHookTest : public PaneTest {
protected:
    void SetUp() override {
        load();
        receiveDevices({deviceRecord(0x1056)});
        pane->ui()->set("actionIndex", Integer(1));
        action = pane->action();
        ASSERT_TRUE(action);
        action->set("command", Integer(7));
        action->set("keyCode", Integer(255));
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(field);
        layout->addWidget(other);
        layout->addWidget(okButton);
        okButton->setDefault(true);
        qtHook.exchangeKeyEventMethods();
        keystrokeField.editing = true;
    }

    // Sends the shortcut check and the press of one key to field, as the window system does;
    // returns whether the check was taken (which keeps shortcuts from acting).
    bool press(Qt::Key key, Qt::KeyboardModifiers modifiers, quint32 scanCode,
               const QString& text = {}, quint32 nativeModifiers = 0, bool autoRepeat = false) {
        QKeyEvent check(QEvent::ShortcutOverride, key, modifiers, scanCode, 0, nativeModifiers,
                        text, autoRepeat);
        QApplication::sendEvent(field, &check);
        QKeyEvent down(QEvent::KeyPress, key, modifiers, scanCode, 0, nativeModifiers, text,
                       autoRepeat);
        QApplication::sendEvent(field, &down);
        QKeyEvent up(QEvent::KeyRelease, key, modifiers, scanCode, 0, nativeModifiers, text);
        QApplication::sendEvent(field, &up);
        return check.isAccepted();
    }
    std::pair<std::int64_t, std::int64_t> recorded() const {
        return {action->integer("keyCode"), action->integer("modifiers")};
    }

    struct Application {
        Application() { ensureWidgetsApplication(); }
    } application;
    QtKeyEventHook qtHook;
    DictRef action;
    QDialog dialog;
    QLineEdit* field = new QLineEdit;
    QLineEdit* other = new QLineEdit;
    QPushButton* okButton = new QPushButton("OK");
};

TEST_F(KeyEventHookTest, tab_return_escape_and_shortcuts_are_recorded_instead_of_acting) {
    bool ended = false;
    QObject::connect(&dialog, &QDialog::finished, [&] { ended = true; });
    dialog.show();
    field->setFocus();

    press(Qt::Key_Tab, Qt::NoModifier, kScanTab, "\t");
    EXPECT_EQ(recorded(), (std::pair<std::int64_t, std::int64_t>{0x30, 0}));
    press(Qt::Key_Return, Qt::NoModifier, kScanReturn, "\r");
    EXPECT_EQ(recorded(), (std::pair<std::int64_t, std::int64_t>{0x24, 0}));
    press(Qt::Key_Escape, Qt::NoModifier, kScanEscape);
    EXPECT_EQ(recorded(), (std::pair<std::int64_t, std::int64_t>{0x35, 0}));
    EXPECT_TRUE(press(Qt::Key_W, Qt::ControlModifier, kScanW)) << "the shortcut stands down";
    EXPECT_EQ(recorded(), (std::pair<std::int64_t, std::int64_t>{0x0D, 0x1000}));
    press(Qt::Key_A, Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier, kScanA, "A",
          kNativeLock);
    EXPECT_EQ(recorded(), (std::pair<std::int64_t, std::int64_t>{0x00, 0x0F00}));
    EXPECT_EQ(pane->ui()->string("keystroke"), keystrokeString(0x00, 0x0F00));

    EXPECT_FALSE(ended) << "neither the default button nor Escape ended the dialog";
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(dialog.focusWidget(), field) << "Tab did not move on";

    // Input methods are off while recording, so dead keys arrive as presses.
    QInputMethodQueryEvent query(Qt::ImEnabled | Qt::ImHints);
    QApplication::sendEvent(field, &query);
    EXPECT_FALSE(query.value(Qt::ImEnabled).toBool());
}

TEST_F(KeyEventHookTest, keys_pass_untouched_unless_a_keystroke_is_recorded_in_the_key_window) {
    host->windowKey = false;
    EXPECT_FALSE(press(Qt::Key_W, Qt::ControlModifier, kScanW));
    press(Qt::Key_A, Qt::NoModifier, kScanA, "a");
    EXPECT_EQ(field->text(), "a");
    EXPECT_EQ(recorded().first, 255);

    host->windowKey = true;
    // A modifier key alone, a repeated key and keys without a key code record nothing.
    press(Qt::Key_Shift, Qt::ShiftModifier, kScanLeftShift);
    press(Qt::Key_B, Qt::NoModifier, 56, "b", 0, true);
    press(Qt::Key_C, Qt::NoModifier, 0, "c");  // synthetic: no scan code
    press(Qt::Key_unknown, Qt::NoModifier, 0x10000 + 9, "e");
    EXPECT_EQ(recorded().first, 255);
    EXPECT_EQ(field->text(), "a") << "consumed all the same";
}

}  // namespace
}  // namespace quillon::testing
