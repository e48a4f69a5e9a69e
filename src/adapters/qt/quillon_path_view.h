// The busy indicator on Qt Widgets: draws the outline of its state, turning and pulsing while
// animated. Layouts place it as a custom widget.
#pragma once

#include <QPainterPath>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "ui/quillon_path.h"

class QGraphicsOpacityEffect;

namespace quillon {

class QuillonPathView : public QWidget {
public:
    explicit QuillonPathView(QWidget* parent = nullptr);
    ~QuillonPathView() override;

    // Starts or stops the 0.04-second animation steps; angle and opacity keep their values in
    // between.
    void setAnimated(bool animated);
    bool getAnimated() const { return quillonTimer_ != nullptr; }
    const QuillonPathViewState& state() const { return state_; }
    // The view's opacity as drawn, the animation's alpha.
    double opacity() const;

    QSize sizeHint() const override { return {48, 48}; }

    // The outline as a Qt path in the outline's own coordinates (y up).
    static QPainterPath painterPath(const Path& path);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void qpTimer();

    QuillonPathViewState state_;
    std::unique_ptr<QTimer> quillonTimer_;
    QGraphicsOpacityEffect* opacity_;  // owned by the widget once set as its effect
};

}  // namespace quillon
