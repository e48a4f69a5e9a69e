// The key-event hook as an application-wide Qt event filter.
#include "adapters/qt/qt_key_event_hook.h"

#include <QCoreApplication>
#include <QEvent>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <QObject>

#include "adapters/xkb/virtual_key_codes.h"
#include "pane/quillon_mouse_pane.h"
#include "platform/keyboard_layout.h"

namespace quillon {
namespace {

// X key codes are evdev key codes plus 8, on X11 and Wayland alike.
constexpr quint32 kEvdevOffset = 8;
// The Lock bit of the X modifier state.
constexpr quint32 kNativeLockMask = 0x2;
// Virtual key codes of the modifier keys (Command right to Function).
constexpr std::uint8_t kFirstModifierKeyCode = 0x36;
constexpr std::uint8_t kLastModifierKeyCode = 0x3F;

std::optional<std::uint8_t> virtualKeyCodeOf(const QKeyEvent& event) {
    const quint32 scanCode = event.nativeScanCode();
    // Synthetic events carry no scan code; they name no key.
    if (scanCode < kEvdevOffset || scanCode - kEvdevOffset > 0xFFFF) return std::nullopt;
    return virtualKeyCode(static_cast<std::uint16_t>(scanCode - kEvdevOffset));
}

// Answers the input method that the focus widget takes no input, so that dead keys and compose
// sequences reach the filter as plain presses; the widget answers every other question.
bool refuseInputMethod(QObject* receiver, QInputMethodQueryEvent* query) {
    if (!(query->queries() & Qt::ImEnabled)) return false;
    receiver->event(query);
    query->setValue(Qt::ImEnabled, false);
    query->accept();
    return true;
}

}  // namespace

std::optional<std::pair<std::uint8_t, std::uint16_t>> keystrokeOfKeyEvent(const QKeyEvent& event) {
    std::optional<std::uint8_t> keyCode = virtualKeyCodeOf(event);
    if (!keyCode) return std::nullopt;
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    std::uint16_t mask = 0;
    if (modifiers & Qt::MetaModifier) mask |= commandKeyMask;
    if (modifiers & Qt::ShiftModifier) mask |= shiftKeyMask;
    if (modifiers & Qt::AltModifier) mask |= optionKeyMask;
    if (modifiers & Qt::ControlModifier) mask |= controlKeyMask;
    // Qt has no modifier for Caps Lock; the window system's state has it.
    if (event.nativeModifiers() & kNativeLockMask) mask |= capsLockKeyMask;
    return std::pair{*keyCode, mask};
}

bool isModifierKeyEvent(const QKeyEvent& event) {
    switch (event.key()) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Meta:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_CapsLock:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
        case Qt::Key_Mode_switch:
            return true;
        default:
            break;
    }
    std::optional<std::uint8_t> keyCode = virtualKeyCodeOf(event);
    return keyCode && *keyCode >= kFirstModifierKeyCode && *keyCode <= kLastModifierKeyCode;
}

class QtKeyEventHook::Filter final : public QObject {
public:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride &&
            type != QEvent::KeyRelease && type != QEvent::InputMethodQuery)
            return false;
        if (type != QEvent::InputMethodQuery) ++seen;
        if (type == QEvent::KeyRelease) return false;
        QuillonMousePane* pane = QuillonMousePane::sharedPane();
        if (!pane || !pane->overrideKeysIsActive()) return false;
        if (type == QEvent::InputMethodQuery)
            return refuseInputMethod(receiver, static_cast<QInputMethodQueryEvent*>(event));

        auto* key = static_cast<QKeyEvent*>(event);
        if (isModifierKeyEvent(*key)) return false;
        // An accepted override keeps shortcuts, mnemonics and the default button from acting;
        // the press that follows it is the one recorded.
        key->accept();
        if (type == QEvent::ShortcutOverride || key->isAutoRepeat()) return true;
        if (auto keystroke = keystrokeOfKeyEvent(*key))
            pane->receiveKeystroke(keystroke->first, keystroke->second);
        return true;
    }
    int seen = 0;
};

QtKeyEventHook::QtKeyEventHook() = default;

QtKeyEventHook::~QtKeyEventHook() {
    if (filter_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(filter_.get());
}

void QtKeyEventHook::exchangeKeyEventMethods() {
    QCoreApplication* app = QCoreApplication::instance();
    if (filter_) {
        seenBefore_ += filter_->seen;
        if (app) app->removeEventFilter(filter_.get());
        filter_.reset();
        return;
    }
    filter_ = std::make_unique<Filter>();
    if (app) app->installEventFilter(filter_.get());
}

int QtKeyEventHook::keyEventsSeen() const {
    return seenBefore_ + (filter_ ? filter_->seen : 0);
}

}  // namespace quillon
