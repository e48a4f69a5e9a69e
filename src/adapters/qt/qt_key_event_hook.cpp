// The key-event hook as an application-wide Qt event filter.
#include "adapters/qt/qt_key_event_hook.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace quillon {

class QtKeyEventHook::Filter final : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride: ++seen; break;
            default: break;
        }
        return false;
    }
    int seen = 0;
};

QtKeyEventHook::QtKeyEventHook() = default;

QtKeyEventHook::~QtKeyEventHook() {
    if (filter_ && QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(filter_.get());
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

int QtKeyEventHook::keyEventsSeen() const { return seenBefore_ + (filter_ ? filter_->seen : 0); }

}  // namespace quillon
