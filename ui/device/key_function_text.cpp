#include "ui/device/key_function_text.h"

#include "core/device/key_functions.h"
#include "ui/app/text_table.h"

namespace tellune::ui {
namespace {

using namespace device;

QString text(const char* id) {
    return texts().text(QString::fromLatin1(id));
}

QString row_name(int row) {
    const std::string_view id = kKeyCodeTable[size_t(row)].name;
    return texts().text(QString::fromUtf8(id.data(), int(id.size())));
}

QString hex_code(const KeyAssignmentRecord& key) {
    return text("kf_function")
        .arg(QStringLiteral("%1").arg(key.assignment(), 6, 16, QLatin1Char('0')).toUpper());
}

// The key code table's name of a code, or nothing.
QString table_text(const KeyAssignmentRecord& key) {
    for (int i = 0; i < kKeyCodeRows; ++i) {
        const KeyCodeRow& r = kKeyCodeTable[size_t(i)];
        if (r.type == key.type && r.param1 == key.param1 && r.param2 == key.param2)
            return row_name(i);
    }
    return {};
}

// "Left Ctrl+A": every modifier bit by its key's name, then the key.
QString keyboard_text(uint8_t modifiers, uint8_t usage) {
    QStringList parts;
    for (int bit = 0; bit < kModifierRows; ++bit)
        if (modifiers & (1u << bit)) parts << row_name(bit);
    if (usage) {
        const int row = key_row_for_usage(usage);
        parts << (row >= 0 ? row_name(row)
                           : text("kf_key_usage").arg(usage, 2, 16, QLatin1Char('0')).toUpper());
    }
    return parts.join(QLatin1Char('+'));
}

}  // namespace

QString key_function_text(const KeyAssignmentRecord& key, const QStringList& macro_names) {
    switch (key.type) {
        case kFnMouseButton:
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
        case kFnSwing:
            return text("kf_swing").arg(key.param2 & 0x7F);
        case kFnWheel:
            return text("kf_wheel").arg(key.param2 & 0x80 ? 128 - (key.param2 & 0x7F) : key.param2);
        case kFnSensitivity:
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
        case kFnFire:
            return text("kf_fire").arg(key.param1).arg(key.param2);
        case kFnKeyboard: {
            const QString keys = keyboard_text(key.param1, key.param2);
            return keys.isEmpty() ? text("kf_no_key") : keys;
        }
        case kFnMedia: {
            const QString name = table_text(key);
            return name.isEmpty()
                       ? text("kf_media")
                             .arg(uint16_t(key.param1 | key.param2 << 8), 4, 16, QLatin1Char('0'))
                       : name;
        }
        case kFnMacro:
        case kFnMacroRepeat:
            return text("kf_macro")
                .arg(key.param1 < macro_names.size() ? macro_names[key.param1]
                                                     : QString::number(key.param1 + 1));
        case kFnShootKey:
            return text("kf_shoot").arg(key.param1 + 1);
        case kFnFixed:
            if (key.param1 == 0 && key.param2 == 0) return text("kf_disabled");
            if (key.param1 == 2 && key.param2 == 0) return text("kf_fixed");
            [[fallthrough]];
        default: {
            // System keys, Fn and the memory keys are named by the key code table.
            const QString name = table_text(key);
            return name.isEmpty() ? hex_code(key) : name;
        }
    }
}

}  // namespace tellune::ui
