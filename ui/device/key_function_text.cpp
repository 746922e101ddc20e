#include "ui/device/key_function_text.h"

#include "ui/app/text_table.h"

namespace tellune::ui {
namespace {

QString text(const char* id) {
    return texts().text(QString::fromLatin1(id));
}

QString hex_code(const KeyAssignmentRecord& key) {
    return text("kf_function")
        .arg(QStringLiteral("%1").arg(key.assignment(), 6, 16, QLatin1Char('0')).toUpper());
}

// Names of the keyboard usages a mouse button is commonly given; others show their number.
QString usage_name(uint8_t usage) {
    if (usage >= 0x04 && usage <= 0x1D) return QString(QChar(u'A' + (usage - 0x04)));
    if (usage >= 0x1E && usage <= 0x26) return QString::number(usage - 0x1D);
    if (usage == 0x27) return QStringLiteral("0");
    if (usage >= 0x3A && usage <= 0x45) return QStringLiteral("F%1").arg(usage - 0x39);
    switch (usage) {
        case 0x28:
            return text("kf_key_enter");
        case 0x29:
            return text("kf_key_esc");
        case 0x2A:
            return text("kf_key_backspace");
        case 0x2B:
            return text("kf_key_tab");
        case 0x2C:
            return text("kf_key_space");
        case 0x2D:
            return QStringLiteral("-");
        case 0x2E:
            return QStringLiteral("=");
        default:
            return text("kf_key_usage").arg(usage, 2, 16, QLatin1Char('0'));
    }
}

QString keyboard_text(uint8_t modifiers, uint8_t usage) {
    QStringList parts;
    if (modifiers & 0x11) parts << text("kf_mod_ctrl");
    if (modifiers & 0x22) parts << text("kf_mod_shift");
    if (modifiers & 0x44) parts << text("kf_mod_alt");
    if (modifiers & 0x88) parts << text("kf_mod_win");
    if (usage) parts << usage_name(usage);
    return parts.join(QLatin1Char('+'));
}

QString media_text(uint16_t usage) {
    switch (usage) {
        case 0x00E9:
            return text("kf_media_volume_up");
        case 0x00EA:
            return text("kf_media_volume_down");
        case 0x00E2:
            return text("kf_media_mute");
        case 0x00CD:
            return text("kf_media_play");
        case 0x00B5:
            return text("kf_media_next");
        case 0x00B6:
            return text("kf_media_previous");
        case 0x00B7:
            return text("kf_media_stop");
        default:
            return text("kf_media").arg(usage, 4, 16, QLatin1Char('0'));
    }
}

}  // namespace

QString key_function_text(const KeyAssignmentRecord& key, const QStringList& macro_names) {
    switch (key.type) {
        case 0x10:
            switch (key.param1) {
                case 0x01:
                    return text("kf_mouse_left");
                case 0x02:
                    return text("kf_mouse_right");
                case 0x04:
                    return text("kf_mouse_middle");
                case 0x08:
                    return text("kf_mouse_back");
                case 0x10:
                    return text("kf_mouse_forward");
                default:
                    return hex_code(key);
            }
        case 0x11:
            return text("kf_swing").arg(key.param2 & 0x7F);
        case 0x12:
            return text("kf_wheel").arg(key.param2 & 0x80 ? 128 - (key.param2 & 0x7F) : key.param2);
        case 0x13:
            switch (key.param1) {
                case 1:
                    return text("kf_dpi_up");
                case 2:
                    return text("kf_dpi_down");
                case 3:
                    return text("kf_dpi_cycle");
                default:
                    return hex_code(key);
            }
        case 0x14:
            return text("kf_fire").arg(key.param1).arg(key.param2);
        case 0x20:
            return keyboard_text(key.param1, key.param2);
        case 0x30:
            return media_text(uint16_t(key.param1 | key.param2 << 8));
        case 0x40:
            switch (key.param1) {
                case 1:
                    return text("kf_system_power");
                case 2:
                    return text("kf_system_sleep");
                case 4:
                    return text("kf_system_wake");
                default:
                    return hex_code(key);
            }
        case 0x70:
        case 0x71:
            return text("kf_macro")
                .arg(key.param1 < macro_names.size() ? macro_names[key.param1]
                                                     : QString::number(key.param1 + 1));
        case 0x72:
            return text("kf_shoot").arg(key.param1 + 1);
        case 0xA0:
            if (key.param1 == 0) return text("kf_disabled");
            if (key.param1 == 2) return text("kf_fixed");
            return hex_code(key);
        default:
            return hex_code(key);
    }
}

}  // namespace tellune::ui
