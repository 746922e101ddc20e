#include "ui/controls/device_key_button.h"

#include <QDir>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPixmapCache>
#include <QRadialGradient>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOptionButton>
#include <map>
#include <tuple>
#include <unordered_map>

#include "core/platform/platform.h"

namespace tellune::ui {
namespace {

QString& folder_setting() {
    static QString folder = QString::fromStdString(program_data_folder()) + "skin/images/";
    return folder;
}

QPixmap load_image(const QString& name) {
    if (name.isEmpty()) return {};
    const QString path = QDir::isAbsolutePath(name) ? name : folder_setting() + name;
    QPixmap pixmap;
    if (!QPixmapCache::find(path, &pixmap)) {
        if (pixmap.load(path)) QPixmapCache::insert(path, pixmap);
    }
    return pixmap;
}

QColor colour_of(uint32_t rgb) {
    return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

}  // namespace

CDeviceKeyButtonUI::CDeviceKeyButtonUI(QWidget* parent) : QPushButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setProperty("devicekey", true);  // style sheets select the key buttons by it
    // Checking changes the look without an event the panel would see.
    connect(this, &QAbstractButton::toggled, this, [this] {
        if (drawn_by_panel_) refresh();
    });
    // The spare values and colours are kept for layouts that set them; nothing reads them.
    (void)colour_a_;
    (void)colour_b_;
    (void)spare_a_;
    (void)spare_b_;
}

void CDeviceKeyButtonUI::set_image_folder(const QString& folder) {
    folder_setting() = folder.endsWith('/') ? folder : folder + '/';
}

QString CDeviceKeyButtonUI::image_folder() {
    return folder_setting();
}

void CDeviceKeyButtonUI::set_light_image(const QString& image) {
    light_image_ = image;
    refresh();
}

void CDeviceKeyButtonUI::set_keyset_image(const QString& image) {
    keyset_image_ = image;
    refresh();
}

void CDeviceKeyButtonUI::set_drawn_by_panel(bool drawn) {
    if (drawn == drawn_by_panel_) return;
    drawn_by_panel_ = drawn;
    // Qt skips a child whose updates are off when it repaints the parent, and clicks,
    // hover and tool tips still reach it.
    setUpdatesEnabled(!drawn);
    refresh();
}

void CDeviceKeyButtonUI::refresh() {
    if (drawn_by_panel_ && parentWidget())
        parentWidget()->update(geometry());
    else
        update();
}

bool CDeviceKeyButtonUI::event(QEvent* e) {
    const bool handled = QPushButton::event(e);
    if (drawn_by_panel_) {
        // What Qt would repaint the button for itself.
        switch (e->type()) {
            case QEvent::HoverEnter:
            case QEvent::HoverLeave:
            case QEvent::Enter:
            case QEvent::Leave:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::FocusIn:
            case QEvent::FocusOut:
            case QEvent::EnabledChange:
            case QEvent::StyleChange:
            case QEvent::PaletteChange:
            case QEvent::FontChange:
            case QEvent::WindowActivate:
            case QEvent::WindowDeactivate:
            case QEvent::Show:
            case QEvent::Hide:
                refresh();
                break;
            case QEvent::Move:
                // The place it left shows the picture again.
                if (parentWidget())
                    parentWidget()->update(QRect(static_cast<QMoveEvent*>(e)->oldPos(), size()));
                refresh();
                break;
            case QEvent::Resize:
                if (parentWidget())
                    parentWidget()->update(QRect(pos(), static_cast<QResizeEvent*>(e)->oldSize()));
                refresh();
                break;
            default:
                break;
        }
    }
    return handled;
}

void CDeviceKeyButtonUI::set_edge_glow(bool edge) {
    if (edge == edge_glow_) return;
    edge_glow_ = edge;
    glow_mask_ = QImage();  // drawn again in the new shape
    refresh();
}

void CDeviceKeyButtonUI::set_name_text_colour(const QString& colour) {
    QString hex = colour.startsWith('#') ? colour.mid(1) : colour;
    bool ok = false;
    const uint value = hex.toUInt(&ok, 16);
    if (ok) colour_b_ = value;
    name_text_colour_ = colour;
}

void CDeviceKeyButtonUI::SetLightOverlay(uint32_t colour, int level, bool shown) {
    if (change_light_overlay(colour, level, shown)) refresh();
}

bool CDeviceKeyButtonUI::change_light_overlay(uint32_t colour, int level, bool shown) {
    if (colour == light_colour_ && level == light_level_ && shown == light_shown_) return false;
    light_colour_ = colour;
    light_level_ = level;
    light_shown_ = shown;
    return true;
}

void CDeviceKeyButtonUI::SetKeysetImageHidden(bool hidden) {
    if (hidden == keyset_hidden_) return;
    keyset_hidden_ = hidden;
    refresh();
}

void CDeviceKeyButtonUI::SetPanelSelected(bool selected) {
    if (selected == panel_selected_) return;
    panel_selected_ = selected;
    // The style sheet marks selected keys.
    setProperty("panelselected", selected);
    style()->unpolish(this);
    style()->polish(this);
    refresh();
}

const QImage& CDeviceKeyButtonUI::base() {
    // What the style's look depends on, read without building a style option: that costs
    // more than the cached copy when LEDs repaint many times a second.
    const int state = (isEnabled() ? 1 : 0) | (hasFocus() ? 2 : 0) |
                      (underMouse() && testAttribute(Qt::WA_Hover) ? 4 : 0) | (isDown() ? 8 : 0) |
                      (isChecked() ? 16 : 0) | (isActiveWindow() ? 32 : 0);
    const qreal ratio = devicePixelRatioF();
    const BaseKey key{state, size(), ratio, panel_selected_, text()};
    if (key != base_key_ || base_.isNull()) {
        QStyleOptionButton option;
        initStyleOption(&option);
        base_ = QImage((QSizeF(size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        base_.setDevicePixelRatio(ratio);
        base_.fill(Qt::transparent);
        QPainter target(&base_);
        style()->drawControl(QStyle::CE_PushButton, &option, &target, this);
        base_key_ = key;
    }
    return base_;
}

namespace {

// x * a / 255 for x, a in 0..255, without a division per pixel.
inline uint32_t times(uint32_t x, uint32_t a) {
    const uint32_t t = x * a + 128;
    return (t + (t >> 8)) >> 8;
}

// A premultiplied pixel over an opaque one.
inline QRgb over_opaque(QRgb top, QRgb below) {
    const uint32_t keep = 255 - uint32_t(qAlpha(top));
    return qRgb(int(uint32_t(qRed(top)) + times(uint32_t(qRed(below)), keep)),
                int(uint32_t(qGreen(top)) + times(uint32_t(qGreen(below)), keep)),
                int(uint32_t(qBlue(top)) + times(uint32_t(qBlue(below)), keep)));
}

// Every channel of a pixel times a / 255, two channels per multiplication; rounds as
// times() does.
inline QRgb byte_mul(QRgb x, uint32_t a) {
    uint32_t even = (x & 0xFF00FF) * a + 0x800080;
    even = ((even + ((even >> 8) & 0xFF00FF)) >> 8) & 0xFF00FF;
    uint32_t odd = ((x >> 8) & 0xFF00FF) * a + 0x800080;
    odd = (odd + ((odd >> 8) & 0xFF00FF)) & 0xFF00FF00;
    return even | odd;
}

// The glow of one colour at one level, laid over pixels: glow + pixel * (1 - glow alpha).
struct Glow {
    Glow(const QColor& colour, int level)
        : scale(uint32_t(qBound(0, level, 255))),
          colour(qRgb(colour.red(), colour.green(), colour.blue())) {}
    QRgb over(uchar mask, QRgb below) const {
        const uint32_t a = times(mask, scale);
        // Premultiplied, so no channel can carry into the next.
        return byte_mul(colour, a) + byte_mul(below, 255 - a);
    }
    uint32_t scale;
    QRgb colour;
};

// One image per size and format shared by every key, drawn at once and then free again: a
// keyboard of keys each writing its own image per frame spilled out of the cache.
// The interface thread alone paints.
QImage& scratch_image(QSize pixels, qreal ratio, QImage::Format format) {
    static std::map<std::tuple<int, int, int>, QImage> scratch;
    QImage& out = scratch[{pixels.width(), pixels.height(), int(format)}];
    if (out.isNull()) out = QImage(pixels, format);
    out.setDevicePixelRatio(ratio);
    return out;
}

}  // namespace

const QImage& CDeviceKeyButtonUI::glow_mask(QSize pixels, qreal ratio) {
    if (glow_mask_.size() == pixels) return glow_mask_;
    // The glow's shape is drawn once per size; the colours are blended over it.
    glow_mask_ = QImage(pixels, QImage::Format_Alpha8);
    below_source_ = BelowSource{};
    glow_mask_.fill(0);
    QPainter painter(&glow_mask_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(ratio, ratio);
    const QRectF area(rect());
    painter.setPen(Qt::NoPen);
    if (edge_glow_) {
        // A faint middle that brightens towards the rim, where the light of a keycap
        // shows; the legend in the middle stays readable.
        const QRectF inner = area.adjusted(1, 1, -1, -1);
        painter.setBrush(QColor(0, 0, 0, 70));
        painter.drawRoundedRect(inner, 3, 3);
        const qreal rim = qBound<qreal>(2.0, qMin(area.width(), area.height()) / 6.0, 6.0);
        QPainterPath ring;
        ring.addRoundedRect(inner, 3, 3);
        ring.addRoundedRect(inner.adjusted(rim, rim, -rim, -rim), 2, 2);
        painter.setBrush(QColor(0, 0, 0, 255));
        painter.drawPath(ring);  // odd-even fill: the rim alone
    } else {
        QRadialGradient gradient(area.center(), qMax(area.width(), area.height()) / 1.4);
        gradient.setColorAt(0.0, QColor(0, 0, 0, 255));
        gradient.setColorAt(0.55, QColor(0, 0, 0, 255));
        gradient.setColorAt(1.0, QColor(0, 0, 0, 0));
        painter.setBrush(gradient);
        painter.drawRoundedRect(area.adjusted(1, 1, -1, -1), 3, 3);
    }
    return glow_mask_;
}

const QImage& CDeviceKeyButtonUI::glowing(const QImage& look, const QImage* picture, QPoint at,
                                          const QColor& colour, int level) {
    glow_mask(look.size(), look.devicePixelRatio());
    make_below(look, picture, at);
    QImage& out =
        scratch_image(look.size(), look.devicePixelRatio(),
                      picture ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    write_glow(out, colour, level);
    return out;
}

const QImage* CDeviceKeyButtonUI::opaque_look(const QImage& picture, QPoint at) {
    if (light_shown_ && !load_image(light_image_).isNull()) return nullptr;
    if (!keyset_hidden_ && !load_image(keyset_image_).isNull()) return nullptr;
    const QImage& look = base();
    if (picture.depth() != 32 || !picture.rect().contains(QRect(at, look.size()))) return nullptr;
    return &glowing(look, &picture, at, colour_of(light_colour_), light_shown_ ? light_level_ : 0);
}

void CDeviceKeyButtonUI::write_glow(QImage& target, const QColor& colour, int level) const {
    const Glow glow(colour, level);
    const int width = below_.width(), height = below_.height();
    // bits() once: scanLine() checks for sharing on every row.
    uchar* bits = target.bits();
    const qsizetype stride = target.bytesPerLine();
    if (!pairs_.empty()) {
        QRgb shade[256];
        for (size_t i = 0; i < pairs_.size(); ++i)
            shade[i] = glow.over(pairs_[i].mask, pairs_[i].below);
        const uchar* index = pair_index_.data();
        for (int y = 0; y < height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
            for (int x = 0; x < width; ++x) line[x] = shade[index[x]];
            index += width;
        }
        return;
    }
    for (int y = 0; y < height; ++y) {
        const uchar* mask = glow_mask_.constScanLine(y);
        const auto* below = reinterpret_cast<const QRgb*>(below_.constScanLine(y));
        auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
        for (int x = 0; x < width; ++x) line[x] = glow.over(mask[x], below[x]);
    }
}

void CDeviceKeyButtonUI::make_below(const QImage& look, const QImage* picture, QPoint at) {
    const BelowSource source{look.cacheKey(), picture ? picture->cacheKey() : 0, at};
    if (source == below_source_) return;
    below_source_ = source;
    const int width = look.width(), height = look.height();
    if (!picture) {
        below_ = look;  // shared, not copied
    } else {
        below_ = QImage(look.size(), QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < height; ++y) {
            const auto* top = reinterpret_cast<const QRgb*>(look.constScanLine(y));
            const auto* under =
                reinterpret_cast<const QRgb*>(picture->constScanLine(at.y() + y)) + at.x();
            auto* line = reinterpret_cast<QRgb*>(below_.scanLine(y));
            for (int x = 0; x < width; ++x) line[x] = over_opaque(top[x], under[x]);
        }
    }
    pairs_.clear();
    pair_index_.resize(size_t(width) * size_t(height));
    std::unordered_map<uint64_t, uchar> known;
    uchar* index = pair_index_.data();
    for (int y = 0; y < height; ++y) {
        const uchar* mask = glow_mask_.constScanLine(y);
        const auto* below = reinterpret_cast<const QRgb*>(below_.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const auto [it, added] =
                known.try_emplace(uint64_t(mask[x]) << 32 | below[x], uchar(pairs_.size()));
            if (added) {
                if (pairs_.size() == 256) {  // too varied a look: blend each pixel instead
                    pairs_.clear();
                    return;
                }
                pairs_.push_back({mask[x], below[x]});
            }
            *index++ = it->second;
        }
    }
}

void CDeviceKeyButtonUI::changeEvent(QEvent* e) {
    // A new style sheet, palette or font changes the look without changing the key.
    if (e->type() == QEvent::StyleChange || e->type() == QEvent::PaletteChange ||
        e->type() == QEvent::FontChange)
        base_key_ = BaseKey{};
    QPushButton::changeEvent(e);
}

void CDeviceKeyButtonUI::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint_look(painter);
}

void CDeviceKeyButtonUI::paint_look(QPainter& painter) {
    const QRect area = rect();
    const QPixmap light = light_shown_ ? load_image(light_image_) : QPixmap();
    if (light_shown_ && light.isNull()) {
        painter.drawImage(0, 0,
                          glowing(base(), nullptr, {}, colour_of(light_colour_), light_level_));
    } else {
        painter.drawImage(0, 0, base());
    }
    painter.setRenderHint(QPainter::Antialiasing);
    if (light_shown_ && !light.isNull()) {
        // Tint the light image: its shape, filled with the LED colour.
        QPixmap tinted(light.size());
        tinted.fill(Qt::transparent);
        QPainter tint(&tinted);
        tint.drawPixmap(0, 0, light);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(tinted.rect(), colour_of(light_colour_));
        tint.end();
        painter.setOpacity(qBound(0, light_level_, 255) / 255.0);
        painter.drawPixmap(area, tinted);
        painter.setOpacity(1.0);
    }
    if (!keyset_hidden_) {
        const QPixmap keyset = load_image(keyset_image_);
        if (!keyset.isNull()) painter.drawPixmap(area, keyset);
    }
}

void CDeviceKeyButtonUI::mouseDoubleClickEvent(QMouseEvent* e) {
    if (!isEnabled() || !rect().contains(e->position().toPoint())) {
        QPushButton::mouseDoubleClickEvent(e);
        return;
    }
    setDown(true);
    emit controlNotify(QStringLiteral("dbclick"));
    refresh();
    e->accept();
}

}  // namespace tellune::ui
