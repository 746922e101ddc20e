#include "ui/shoot/shoot_control_ui.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QSvgRenderer>
#include <QValidator>
#include <algorithm>

#include "core/platform/platform.h"
#include "ui/app/text_table.h"

namespace tellune::ui {
namespace {

using shoot::Bullet;
using shoot::kBullets;
using shoot::kGuns;

// Decimal digits up to `top`, or nothing (an empty edit saves 0).
class DigitsValidator : public QValidator {
public:
    DigitsValidator(int top, QObject* parent) : QValidator(parent), top_(top) {}
    State validate(QString& input, int&) const override {
        if (input.isEmpty()) return Intermediate;
        for (QChar c : input)
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) return Invalid;
        bool ok = false;
        const int value = input.toInt(&ok);
        return ok && value <= top_ ? Acceptable : Invalid;
    }

private:
    int top_;
};

QString number_text(int value) {
    return QString::number(value);
}

int edit_value(const QLineEdit* edit, int max) {
    return edit ? shoot::edit_number(edit->text().toStdString(), max) : 0;
}

}  // namespace

// --- the path ---

CShootPathUI::CShootPathUI(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("shoot_path_view"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
}

void CShootPathUI::set_path(std::vector<shoot::PathPoint> points, int marked) {
    if (points == points_ && marked == marked_) return;
    points_ = std::move(points);
    marked_ = marked;
    update();
}

void CShootPathUI::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QColor(0x2a, 0x2e, 0x34));
    p.setBrush(QColor(0x1b, 0x1e, 0x23));
    p.drawRoundedRect(frame, 4, 4);
    if (points_.empty()) return;

    // Fit the points into the frame at one scale for both axes, so the shape is true.
    int left = 0, right = 0, top = 0, bottom = 0;
    for (const shoot::PathPoint& pt : points_) {
        left = std::min(left, pt.x);
        right = std::max(right, pt.x);
        top = std::min(top, pt.y);
        bottom = std::max(bottom, pt.y);
    }
    const QRectF area = frame.adjusted(12, 12, -12, -12);
    const double span_x = std::max(1, right - left), span_y = std::max(1, bottom - top);
    const double scale = std::min(area.width() / span_x, area.height() / span_y);
    const QPointF origin(area.center().x() - (left + right) / 2.0 * scale,
                         area.center().y() - (top + bottom) / 2.0 * scale);
    auto at = [&](const shoot::PathPoint& pt) {
        return QPointF(origin.x() + pt.x * scale, origin.y() + pt.y * scale);
    };

    // Where the aim starts: a cross.
    p.setPen(QPen(QColor(0x5f, 0x67, 0x72), 1));
    const QPointF start = at(points_.front());
    p.drawLine(start - QPointF(6, 0), start + QPointF(6, 0));
    p.drawLine(start - QPointF(0, 6), start + QPointF(0, 6));

    QPainterPath line(start);
    for (size_t i = 1; i < points_.size(); ++i) line.lineTo(at(points_[i]));
    p.setPen(QPen(QColor(0x3f, 0xb8, 0xac), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(line);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x9f, 0xd9, 0xd2));
    for (size_t i = 1; i < points_.size(); ++i) p.drawEllipse(at(points_[i]), 2, 2);
    if (marked_ >= 0 && size_t(marked_) < points_.size()) {
        p.setBrush(QColor(0xd9, 0xa4, 0x41));
        p.drawEllipse(at(points_[size_t(marked_)]), 4.5, 4.5);
    }
}

// --- the page ---

CShootControlUI::CShootControlUI(QWidget* parent) : QWidget(parent) {}

CShootControlUI* find_shoot_control(QWidget* page) {
    return page ? page->findChild<CShootControlUI*>() : nullptr;
}

template <class T>
T* CShootControlUI::child(const QString& name) const {
    return findChild<T*>(name);
}

void CShootControlUI::find_controls() {
    if (found_) return;
    found_ = true;
    bool all = true;
    auto need = [&all](QObject* o) {
        if (!o) all = false;
        return o;
    };
    pictures_ = child<QStackedWidget>(QStringLiteral("shoot_image_display_switch"));
    index_ = child<QLabel>(QStringLiteral("bullet_select_index"));
    x_check_ = child<QAbstractButton>(QStringLiteral("bullet_x_check"));
    y_check_ = child<QAbstractButton>(QStringLiteral("bullet_y_check"));
    x_edit_ = child<QLineEdit>(QStringLiteral("bullet_x_eidt"));
    y_edit_ = child<QLineEdit>(QStringLiteral("bullet_y_eidt"));
    delay_edit_ = child<QLineEdit>(QStringLiteral("bullet_delay_eidt"));
    for (QObject* o : std::initializer_list<QObject*>{pictures_, index_, x_check_, y_check_,
                                                      x_edit_, y_edit_, delay_edit_})
        need(o);
    for (int g = 0; g < kGuns; ++g)
        need(child<QAbstractButton>(QStringLiteral("shoot_gun_op_%1").arg(g)));
    for (int b = 0; b < kBullets; ++b)
        need(child<QAbstractButton>(QStringLiteral("bullet_op_%1").arg(b)));
    complete_ = all;
    if (!all) debug_line("压枪控件不全");

    const std::pair<QLineEdit*, int> edits[] = {{x_edit_, shoot::kMaxCorrection},
                                                {y_edit_, shoot::kMaxCorrection},
                                                {delay_edit_, shoot::kMaxPause}};
    for (const auto& [edit, top] : edits) {
        if (!edit) continue;
        edit->setValidator(new DigitsValidator(top, edit));
        edit->setMaxLength(int(number_text(top).size()));
        // Enter commits the number the way leaving the edit does.
        connect(edit, &QLineEdit::returnPressed, edit, [edit] { edit->clearFocus(); });
        // The path follows what is typed before it is saved.
        connect(edit, &QLineEdit::textEdited, this, [this] {
            set_changed(true);
            update_path();
        });
    }
    for (QAbstractButton* check : {x_check_.data(), y_check_.data()})
        if (check)
            connect(check, &QAbstractButton::toggled, this, [this] {
                set_changed(true);
                update_path();
            });

    if (pictures_) {
        const QString skin = QString::fromStdString(program_data_folder()) + "skin/";
        for (int g = 0; g < pictures_->count(); ++g) {
            auto* label = qobject_cast<QLabel*>(pictures_->widget(g));
            const QString file = label ? label->property("picture").toString() : QString();
            if (file.isEmpty()) continue;
            QSvgRenderer svg(skin + file);
            if (!svg.isValid()) continue;
            const qreal ratio = label->devicePixelRatioF();
            const QSize size = svg.defaultSize().scaled(QSize(200, 46), Qt::KeepAspectRatio);
            QPixmap picture(size * ratio);
            picture.fill(Qt::transparent);
            QPainter painter(&picture);
            svg.render(&painter);
            painter.end();
            picture.setDevicePixelRatio(ratio);
            label->setPixmap(picture);
        }
    }
    if (QWidget* area = child<QWidget>(QStringLiteral("shoot_path_area")); area && area->layout()) {
        path_ = new CShootPathUI(area);
        area->layout()->addWidget(path_);
    }
}

void CShootControlUI::set_folders(const std::string& folder, const std::string& default_folder) {
    data_.emplace(folder, default_folder);
    const int reset = data_->install_defaults();
    if (reset > 0) debug_printf("压枪文件从默认恢复：%d", reset);
    select_gun(gun_);
}

std::string CShootControlUI::gun_file() const {
    return data_ ? data_->gun_file(gun_) : std::string();
}

void CShootControlUI::select_gun(int n) {
    gun_ = std::clamp(n, 0, kGuns - 1);
    for (int g = 0; g < kGuns; ++g)
        if (auto* option = child<QAbstractButton>(QStringLiteral("shoot_gun_op_%1").arg(g))) {
            const QSignalBlocker quiet(option);
            option->setChecked(g == gun_);
        }
    show_gun_picture();
    if (data_) pattern_ = data_->load_pattern(gun_);
    select_bullet(bullet_);
}

void CShootControlUI::show_gun_picture() {
    if (pictures_ && gun_ < pictures_->count()) pictures_->setCurrentIndex(gun_);
}

void CShootControlUI::select_bullet(int n) {
    bullet_ = std::clamp(n, 0, kBullets - 1);
    for (int b = 0; b < kBullets; ++b)
        if (auto* option = child<QAbstractButton>(QStringLiteral("bullet_op_%1").arg(b))) {
            const QSignalBlocker quiet(option);
            option->setChecked(b == bullet_);
        }
    if (index_) index_->setText(number_text(bullet_ + 1));
    load_bullet();
}

void CShootControlUI::load_bullet() {
    if (bullet_ < 0) bullet_ = 0;
    const Bullet b = data_ ? data_->load(gun_, bullet_) : Bullet{};
    pattern_[size_t(bullet_)] = b;
    {
        const QSignalBlocker quiet_x(x_check_), quiet_y(y_check_);
        if (x_check_) x_check_->setChecked(b.left);
        if (y_check_) y_check_->setChecked(b.up);
    }
    show_direction_texts();
    const std::pair<QLineEdit*, int> values[] = {
        {x_edit_, b.x}, {y_edit_, b.y}, {delay_edit_, b.pause}};
    for (const auto& [edit, value] : values)
        if (edit) {
            const QSignalBlocker quiet(edit);
            edit->setText(number_text(value));
            edit->setModified(false);
        }
    set_changed(false);
    update_path();
}

Bullet CShootControlUI::edited_bullet() const {
    Bullet b;
    b.left = x_check_ && x_check_->isChecked();
    b.up = y_check_ && y_check_->isChecked();
    b.x = edit_value(x_edit_, shoot::kMaxCorrection);
    b.y = edit_value(y_edit_, shoot::kMaxCorrection);
    b.pause = edit_value(delay_edit_, shoot::kMaxPause);
    return b;
}

bool CShootControlUI::save_bullet() {
    if (!data_) return false;
    if (bullet_ < 0) bullet_ = 0;
    const Bullet b = edited_bullet();
    if (!data_->save(gun_, bullet_, b)) {
        debug_printf("压枪文件写入失败：%s", data_->gun_file(gun_).c_str());
        return false;
    }
    // The edits show what was stored: text that was no number shows as 0.
    load_bullet();
    return true;
}

bool CShootControlUI::save_pending() {
    return !changed_ || save_bullet();
}

void CShootControlUI::set_changed(bool changed) {
    changed_ = changed;
}

void CShootControlUI::direction_changed() {
    show_direction_texts();
}

void CShootControlUI::show_direction_texts() {
    const bool left = x_check_ && x_check_->isChecked();
    const bool up = y_check_ && y_check_->isChecked();
    set_text_id(x_check_, left ? QStringLiteral("mouse_move_to_left_text")
                               : QStringLiteral("mouse_move_to_right_text"));
    set_text_id(y_check_, up ? QStringLiteral("mouse_move_to_up_text")
                             : QStringLiteral("mouse_move_to_down_text"));
}

void CShootControlUI::update_path() {
    if (!path_) return;
    shoot::Pattern shown = pattern_;
    const int b = std::max(bullet_, 0);
    shown[size_t(b)] = edited_bullet();
    path_->set_path(shoot::correction_path(shown), b + 1);
}

bool CShootControlUI::reset_gun() {
    if (!data_) return false;
    const bool ok = data_->reset(gun_);
    pattern_ = data_->load_pattern(gun_);
    load_bullet();
    return ok;
}

shoot::ShootData::ImportResult CShootControlUI::import_file(const QString& path) {
    using Result = shoot::ShootData::ImportResult;
    if (!data_) return Result::kWriteFailed;
    const Result result = data_->import_file(gun_, path.toStdString());
    if (result == Result::kImported) {
        pattern_ = data_->load_pattern(gun_);
        load_bullet();
    }
    return result;
}

bool CShootControlUI::export_file(const QString& path) {
    return data_ && data_->export_file(gun_, path.toStdString());
}

void CShootControlUI::retranslate() {
    ui::retranslate(this);
    show_direction_texts();
}

}  // namespace tellune::ui
