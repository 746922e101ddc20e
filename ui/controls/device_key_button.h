#pragma once
// CDeviceKeyButtonUI: one key or LED on a device picture. Over its own look it paints the
// light overlay (the LED colour the light preview hands it) and the key-assignment overlay.

#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QPushButton>
#include <QString>
#include <cstdint>
#include <vector>

class QPainter;

namespace tellune::ui {

class CDeviceKeyButtonUI : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QString lightimage READ light_image WRITE set_light_image)
    Q_PROPERTY(QString keysetimage READ keyset_image WRITE set_keyset_image)
    Q_PROPERTY(QString gmnametextcolor READ name_text_colour WRITE set_name_text_colour)
    Q_PROPERTY(bool edgeglow READ edge_glow WRITE set_edge_glow)
public:
    static constexpr const char* kClassName = "DeviceKeyButton";

    explicit CDeviceKeyButtonUI(QWidget* parent = nullptr);

    QString GetClass() const { return QString::fromLatin1(kClassName); }

    // Image of the light overlay, relative to the skin folder (or absolute). Empty: a glow
    // is drawn in the LED colour instead.
    void set_light_image(const QString& image);
    QString light_image() const { return light_image_; }
    void set_keyset_image(const QString& image);
    QString keyset_image() const { return keyset_image_; }
    // The glow lights the button's edge strongly and its middle faintly, so that a key's
    // legend stays readable under its LED colour (keyboard keys); off: one solid glow.
    void set_edge_glow(bool edge);
    bool edge_glow() const { return edge_glow_; }
    // Accepted for the layouts' sake; nothing draws it.
    void set_name_text_colour(const QString& colour);
    QString name_text_colour() const { return name_text_colour_; }

    // `colour` is red | green << 8 | blue << 16; `level` 0..255 is the overlay's opacity.
    void SetLightOverlay(uint32_t colour, int level, bool shown);
    // The same without asking for a repaint, for a caller that repaints a whole frame of
    // LEDs at once. True when the overlay changed.
    bool change_light_overlay(uint32_t colour, int level, bool shown);

    uint32_t LightColour() const { return light_colour_; }
    int LightLevel() const { return light_level_; }
    bool IsLightShown() const { return light_shown_; }

    void SetKeysetImageHidden(bool hidden);
    bool IsKeysetImageHidden() const { return keyset_hidden_; }

    void SetPanelSelected(bool selected);
    bool IsPanelSelected() const { return panel_selected_; }

    // Where relative image names are looked up (the skin folder).
    static void set_image_folder(const QString& folder);
    static QString image_folder();

    // The picture panel draws the buttons that overlap no other button itself: one paint
    // for a whole LED frame instead of one per LED. The button then asks the panel for
    // every repaint.
    void set_drawn_by_panel(bool drawn);
    bool drawn_by_panel() const { return drawn_by_panel_; }
    // The whole look, at the painter's origin.
    void paint_look(QPainter& painter);
    // For a panel with an opaque picture: the whole look laid over the `picture` at `at`
    // (device pixels), opaque, so that drawing it is a copy and the picture under the key
    // needs no drawing. Valid until the next call for a key of the same size. Null when the
    // look needs a painter (a light image, the keyset image) or leaves the picture.
    const QImage* opaque_look(const QImage& picture, QPoint at);

signals:
    void controlNotify(const QString& type);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    // The button as the style draws it, kept while its look stays the same: the light
    // overlay changes many times a second, the button under it rarely.
    const QImage& base();
    void refresh();
    // The look with the LED's light over it when there is no light image: a soft glow of
    // the colour at the level, laid over the look alone or, with a `picture`, over the look
    // over the picture at `at` (opaque). Valid until the next call for a key of the same
    // size.
    const QImage& glowing(const QImage& look, const QImage* picture, QPoint at,
                          const QColor& colour, int level);
    const QImage& glow_mask(QSize pixels, qreal ratio);
    // What the glow is laid over: the look itself, or for a panel's frame the look over
    // the picture at its place. Made again only for a new look or place, not per colour.
    void make_below(const QImage& look, const QImage* picture, QPoint at);
    // The glow of `colour` at `level` over `below_`, into `target` of the look's size.
    void write_glow(QImage& target, const QColor& colour, int level) const;
    QImage glow_mask_;
    QImage below_;
    // Each pixel as an index into the few (glow mask, pixel below) pairs a key has: a new
    // colour then costs one blend per pair, not per pixel. Empty when a look has more
    // pairs than an index holds; each pixel is blended then.
    struct GlowPair {
        uchar mask;
        QRgb below;
    };
    std::vector<GlowPair> pairs_;
    std::vector<uchar> pair_index_;
    struct BelowSource {
        qint64 look = 0;
        qint64 picture = 0;
        QPoint at;
        bool operator==(const BelowSource&) const = default;
    };
    BelowSource below_source_;
    struct BaseKey {
        int state = -1;
        QSize size;
        qreal ratio = 0;
        bool selected = false;
        QString text;
        bool operator==(const BaseKey&) const = default;
    };
    QImage base_;
    BaseKey base_key_;
    QString light_image_;
    QString keyset_image_;
    QString name_text_colour_;
    uint32_t colour_a_ = 0xFF000000;
    uint32_t colour_b_ = 0xFF0099FF;
    int spare_a_ = -1;
    int spare_b_ = 0;
    bool keyset_hidden_ = true;
    bool edge_glow_ = false;
    bool drawn_by_panel_ = false;
    bool light_shown_ = false;
    uint32_t light_colour_ = 255;
    int light_level_ = 200;
    bool panel_selected_ = false;
};

}  // namespace tellune::ui
