#pragma once
// CSelectPanelUI: the device picture. Its key and LED buttons sit at fixed places on it;
// dragging a rectangle over it marks the buttons under the rectangle and announces
// "click_select_end". A drag may start on a button as well: on a picture covered with keys
// there is hardly any room between them.

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QSize>
#include <QString>
#include <QWidget>
#include <algorithm>

namespace tellune::ui {

class CDeviceKeyButtonUI;

// Left/top inclusive, right/bottom exclusive, as the selection and the buttons compare.
struct SelectionRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool shares_area_with(const SelectionRect& o) const {
        return std::max(left, o.left) < std::min(right, o.right) &&
               std::max(top, o.top) < std::min(bottom, o.bottom);
    }
};

class CSelectPanelUI : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString picture READ picture WRITE set_picture)
    Q_PROPERTY(QSize designsize READ design_size WRITE set_design_size)
    Q_PROPERTY(QString fillcolor READ fill_colour WRITE set_fill_colour)
    Q_PROPERTY(bool keepaspect READ keep_aspect WRITE set_keep_aspect)
public:
    static constexpr const char* kClassName = "SelectPanel";

    explicit CSelectPanelUI(QWidget* parent = nullptr);
    QString GetClass() const { return QString::fromLatin1(kClassName); }

    // The device drawing behind the buttons, relative to the skin folder.
    void set_picture(const QString& image);
    QString picture() const { return picture_; }
    // The size the button places of the layout are drawn for; the buttons scale with the
    // panel from it. Empty: the buttons stay where the layout put them.
    void set_design_size(const QSize& size);
    QSize design_size() const { return design_size_; }

    // The colour of the page behind the panel. With one, the panel paints itself whole, so
    // an LED changing colour repaints the panel alone and not every widget behind it.
    void set_fill_colour(const QString& colour);
    QString fill_colour() const { return fill_.isValid() ? fill_.name() : QString(); }

    // With a design size: the panel asks for it, and keeps its shape when the layout gives
    // it less width (a wide picture in a narrow window).
    void set_keep_aspect(bool keep);
    bool keep_aspect() const { return keep_aspect_; }
    QSize sizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

    bool IsArmed() const { return armed_; }
    bool IsDragging() const { return dragging_; }
    SelectionRect Selection() const { return selection_; }

signals:
    void controlNotify(const QString& type);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void childEvent(QChildEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    // The rubber band, at panel coordinates, from the panel's own events and its buttons'.
    void press(QPoint at);
    void move(QPoint at);
    void release();
    void mark_children();
    void place_children();
    void choose_drawn_children();
    const QImage& rendered();
    // An opaque panel: the picture, then each key as an opaque copy with the picture under
    // it worked in, instead of blending every key over the picture every frame.
    void paint_opaque(QPainter& painter, const QRegion& region);
    // The rendered picture's part under `r` (panel coordinates).
    void draw_picture(QPainter& painter, const QRect& r);
    void paint_key(QPainter& painter, CDeviceKeyButtonUI* key);

    QString picture_;
    QColor fill_;
    // The picture rendered at the panel's size: the LEDs repaint over it many times a second.
    QImage rendered_;
    QSize design_size_;
    bool keep_aspect_ = false;
    bool armed_ = false;
    bool dragging_ = false;
    QPoint start_;
    QPoint current_;
    SelectionRect selection_;
};

}  // namespace tellune::ui
