// The busy indicator's drawing and animation.
#include "adapters/qt/qt_busy_indicator.h"

#include <QPainter>
#include <QPalette>
#include <algorithm>

namespace quillon {

BusyIndicator::BusyIndicator(QWidget* parent) : QWidget(parent) {
    timer_.setInterval(kTickMs);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] {
        phase_ = (phase_ + 1) % kSpokes;
        update();
    });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void BusyIndicator::setAnimated(bool animated) {
    if (animated && !timer_.isActive()) timer_.start();
    if (!animated) timer_.stop();
    update();
}

void BusyIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    QColor ink = palette().color(QPalette::WindowText);
    QPen pen(ink, std::max(2.0, side / 12), Qt::SolidLine, Qt::RoundCap);
    // Still, every spoke is drawn faint; turning, the trail behind the leading spoke fades.
    for (int i = 0; i < kSpokes; ++i) {
        int age = (phase_ - i + kSpokes) % kSpokes;
        double alpha = timer_.isActive() ? 1.0 - age / static_cast<double>(kSpokes) : 0.35;
        ink.setAlphaF(std::max(0.12, alpha));
        pen.setColor(ink);
        painter.setPen(pen);
        painter.save();
        painter.rotate(360.0 * i / kSpokes);
        painter.drawLine(QPointF(0, -side * 0.22), QPointF(0, -side * 0.42));
        painter.restore();
    }
}

}  // namespace quillon
