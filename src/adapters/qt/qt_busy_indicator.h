// The busy indicator: a ring of spokes that turns while animated.
#pragma once

#include <QTimer>
#include <QWidget>

namespace quillon {

class BusyIndicator final : public QWidget {
public:
    explicit BusyIndicator(QWidget* parent = nullptr);
    void setAnimated(bool animated);
    bool isAnimated() const { return timer_.isActive(); }
    // The spoke drawn darkest, 0 to kSpokes - 1; it moves on at every tick.
    int phase() const { return phase_; }
    QSize sizeHint() const override { return {32, 32}; }

    static constexpr int kSpokes = 12;
    static constexpr int kTickMs = 40;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer timer_;
    int phase_ = 0;
};

}  // namespace quillon
