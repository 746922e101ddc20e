#include "ui/controls/device_key_button.h"

#include <QDir>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QRadialGradient>
#include <QStyle>
#include <QStyleOptionButton>

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
    update();
}

void CDeviceKeyButtonUI::set_keyset_image(const QString& image) {
    keyset_image_ = image;
    update();
}

void CDeviceKeyButtonUI::set_name_text_colour(const QString& colour) {
    QString hex = colour.startsWith('#') ? colour.mid(1) : colour;
    bool ok = false;
    const uint value = hex.toUInt(&ok, 16);
    if (ok) colour_b_ = value;
    name_text_colour_ = colour;
}

void CDeviceKeyButtonUI::SetLightOverlay(uint32_t colour, int level, bool shown) {
    if (colour == light_colour_ && level == light_level_ && shown == light_shown_) return;
    light_colour_ = colour;
    light_level_ = level;
    light_shown_ = shown;
    update();
}

void CDeviceKeyButtonUI::SetKeysetImageHidden(bool hidden) {
    if (hidden == keyset_hidden_) return;
    keyset_hidden_ = hidden;
    update();
}

void CDeviceKeyButtonUI::SetPanelSelected(bool selected) {
    if (selected == panel_selected_) return;
    panel_selected_ = selected;
    // The style sheet marks selected keys.
    setProperty("panelselected", selected);
    style()->unpolish(this);
    style()->polish(this);
    update();
}

void CDeviceKeyButtonUI::draw_base(QPainter& painter) {
    QStyleOptionButton option;
    initStyleOption(&option);
    const qreal ratio = devicePixelRatioF();
    const BaseKey key{int(option.state), size(), ratio, panel_selected_, option.text};
    if (key != base_key_ || base_.isNull()) {
        base_ = QPixmap((QSizeF(size()) * ratio).toSize());
        base_.setDevicePixelRatio(ratio);
        base_.fill(Qt::transparent);
        QPainter target(&base_);
        style()->drawControl(QStyle::CE_PushButton, &option, &target, this);
        base_key_ = key;
    }
    painter.drawPixmap(0, 0, base_);
}

QImage CDeviceKeyButtonUI::glow(const QColor& colour, int level) {
    // The glow's shape is drawn once per size; each new colour only scales its alpha, which
    // is cheap enough for every frame of an animated effect.
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (glow_mask_.size() != pixels) {
        glow_mask_ = QImage(pixels, QImage::Format_Alpha8);
        glow_mask_.fill(0);
        QPainter painter(&glow_mask_);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(ratio, ratio);
        const QRectF area(rect());
        QRadialGradient gradient(area.center(), qMax(area.width(), area.height()) / 1.4);
        gradient.setColorAt(0.0, QColor(0, 0, 0, 255));
        gradient.setColorAt(0.55, QColor(0, 0, 0, 255));
        gradient.setColorAt(1.0, QColor(0, 0, 0, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(gradient);
        painter.drawRoundedRect(area.adjusted(1, 1, -1, -1), 3, 3);
    }
    QImage out(pixels, QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(ratio);
    const uint32_t scale = uint32_t(qBound(0, level, 255));
    for (int y = 0; y < pixels.height(); ++y) {
        const uchar* alpha = glow_mask_.constScanLine(y);
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            const uint32_t a = alpha[x] * scale / 255;
            line[x] = qRgba(int(uint32_t(colour.red()) * a / 255),
                            int(uint32_t(colour.green()) * a / 255),
                            int(uint32_t(colour.blue()) * a / 255), int(a));
        }
    }
    return out;
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
    draw_base(painter);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect area = rect();
    if (light_shown_) {
        const QColor colour = colour_of(light_colour_);
        const qreal opacity = qBound(0, light_level_, 255) / 255.0;
        const QPixmap light = load_image(light_image_);
        if (!light.isNull()) {
            // Tint the light image: its shape, filled with the LED colour.
            QPixmap tinted(light.size());
            tinted.fill(Qt::transparent);
            QPainter tint(&tinted);
            tint.drawPixmap(0, 0, light);
            tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
            tint.fillRect(tinted.rect(), colour);
            tint.end();
            painter.setOpacity(opacity);
            painter.drawPixmap(area, tinted);
        } else {
            painter.drawImage(0, 0, glow(colour, light_level_));
        }
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
    update();
    e->accept();
}

}  // namespace tellune::ui
