// The busy indicator's drawing with QPainter and its animation on a QTimer.
#include "adapters/qt/quillon_path_view.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace quillon {

namespace {

QColor qtColor(const Color& color) {
    return QColor::fromRgbF(static_cast<float>(color.red), static_cast<float>(color.green),
                            static_cast<float>(color.blue), static_cast<float>(color.alpha));
}

double degrees(double radians) {
    return radians * 180 / std::numbers::pi;
}

// Qt's own arcs place their ends by an approximate angle; the outline's arcs must end exactly
// on the tangent points, so each becomes cubic segments of at most a quarter turn.
void appendArc(QPainterPath& path, const PathElement& arc) {
    const int segments =
        std::max(1, static_cast<int>(std::ceil(std::abs(arc.sweepAngle) / (std::numbers::pi / 2))));
    const double step = arc.sweepAngle / segments;
    const double handle = 4.0 / 3.0 * std::tan(step / 4) * arc.radius;
    const auto onCircle = [&](double angle) {
        return QPointF(arc.centre.x + arc.radius * std::cos(angle),
                       arc.centre.y + arc.radius * std::sin(angle));
    };
    const auto tangent = [&](double angle) { return QPointF(-std::sin(angle), std::cos(angle)); };
    for (int i = 0; i < segments; ++i) {
        const double from = arc.startAngle + i * step, to = from + step;
        const QPointF end = i + 1 == segments ? QPointF(arc.end.x, arc.end.y) : onCircle(to);
        path.cubicTo(onCircle(from) + handle * tangent(from), end - handle * tangent(to), end);
    }
}

}  // namespace

QuillonPathView::QuillonPathView(QWidget* parent)
    : QWidget(parent), opacity_(new QGraphicsOpacityEffect(this)) {
    state_.setupWithFrame(width(), height());
    opacity_->setOpacity(state_.opacity());
    setGraphicsEffect(opacity_);
    // Hidden on the options page, it keeps its place, so the layout around it does not jump.
    QSizePolicy policy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);
}

QuillonPathView::~QuillonPathView() {
    setAnimated(false);
}

void QuillonPathView::setAnimated(bool animated) {
    if (animated == getAnimated()) return;
    if (!animated) {
        quillonTimer_.reset();
        return;
    }
    quillonTimer_ = std::make_unique<QTimer>();
    quillonTimer_->setInterval(static_cast<int>(QuillonPathViewState::kTimerInterval * 1000));
    QObject::connect(quillonTimer_.get(), &QTimer::timeout, this, [this] { qpTimer(); });
    quillonTimer_->start();
}

double QuillonPathView::opacity() const {
    return opacity_->opacity();
}

void QuillonPathView::qpTimer() {
    state_.qpTimer();
    opacity_->setOpacity(state_.opacity());
    update();
}

QPainterPath QuillonPathView::painterPath(const Path& path) {
    QPainterPath result;
    result.setFillRule(Qt::WindingFill);
    for (const PathElement& element : path) {
        const QPointF end(element.end.x, element.end.y);
        switch (element.kind) {
            case PathElement::Kind::moveTo:
                result.moveTo(end);
                break;
            case PathElement::Kind::lineTo:
                result.lineTo(end);
                break;
            case PathElement::Kind::arc:
                appendArc(result, element);
                break;
            case PathElement::Kind::close:
                result.closeSubpath();
                break;
        }
    }
    return result;
}

void QuillonPathView::paintEvent(QPaintEvent*) {
    if (!state_.hasPath()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    // With y turned up, a growing angle turns the outline counter-clockwise.
    painter.scale(1, -1);
    painter.rotate(degrees(state_.rotation));
    painter.setPen(QPen(qtColor(QuillonPathViewState::kOuter), QuillonPathViewState::kLineWidth));
    painter.setBrush(qtColor(QuillonPathViewState::kFill));
    painter.drawPath(painterPath(state_.quillonPath()));
}

void QuillonPathView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    state_.resize(event->size().width(), event->size().height());
}

}  // namespace quillon
