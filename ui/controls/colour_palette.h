#pragma once
// The colour palette of the lighting panel: a hue (across) by saturation (down) field and a
// value strip beside it. Any 24-bit colour can be picked with the mouse; colorChanged is sent
// once per pick, when the button is released, and never for a colour set by the program.

#include <QColor>
#include <QImage>
#include <QWidget>
#include <cstdint>

namespace tellune::ui {

class CColourPaletteUI : public QWidget {
    Q_OBJECT
public:
    static constexpr char kClassName[] = "ColourPalette";
    static constexpr int kStripWidth = 18;
    static constexpr int kGap = 8;

    explicit CColourPaletteUI(QWidget* parent = nullptr);

    // 0xAARRGGBB; the alpha byte is kept as given.
    void set_colour(uint32_t argb);
    uint32_t colour() const;

    QSize sizeHint() const override { return {260, 150}; }
    QSize minimumSizeHint() const override { return {120, 80}; }

    // Field and strip, in widget coordinates.
    QRect field_rect() const;
    QRect strip_rect() const;

signals:
    void colorChanged(QColor colour);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class Drag { None, Field, Strip };
    void pick(const QPoint& pos);
    void update_colour();
    void build_field();

    // Hue 0..359, saturation and value 0..255; hue survives a grey or black colour.
    int hue_ = 0;
    int saturation_ = 255;
    int value_ = 255;
    uint32_t alpha_ = 0xFF000000u;
    uint32_t rgb_ = 0xFF0000;
    Drag drag_ = Drag::None;
    QImage field_;
};

}  // namespace tellune::ui
