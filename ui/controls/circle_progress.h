#pragma once
// A progress ring: an arc for 0..100 %, or a turning arc while busy (no value known).

#include <QColor>
#include <QWidget>

class QTimer;

namespace tellune::ui {

class CCircleProgressUI : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kClassName = "CircleProgress";

    explicit CCircleProgressUI(QWidget* parent = nullptr);

    // 0..100; clamped.
    void set_value(int percent);
    int value() const { return value_; }
    // Busy: the arc turns while the ring is visible; the value is not drawn.
    void set_busy(bool busy);
    bool busy() const { return busy_; }
    void set_colour(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void update_timer();

    int value_ = 0;
    bool busy_ = false;
    int angle_ = 0;
    QColor colour_{0x3f, 0xb8, 0xac};
    QTimer* timer_ = nullptr;
};

}  // namespace tellune::ui
