#pragma once
// The lighting panel of a device page (layout XML/CustomControlXML/LightControl.ui): mode
// list, brightness and speed, colour edits, palette and preset colours, seven-colour cycle,
// direction and the button that copies the effect to every device. It keeps no light
// settings of its own: it shows what the device control holds, and the light editor
// (light_editor.h) turns its notifications into changes of the device's settings.
//
// Setting a value from the program never sends a notification: every setter blocks the
// signals of the control it changes.

#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "core/profile/light_presets.h"

class QAbstractButton;
class QAbstractSlider;
class QComboBox;
class QLineEdit;

namespace tellune::ui {

class CColourPaletteUI;

class CLightControlUI : public QWidget {
    Q_OBJECT
public:
    static constexpr char kClassName[] = "LightControl";
    static constexpr int kItemHeight = 30;
    static constexpr char kPresetPrefix[] = "color_option_";
    // The preset buttons name their colour in this property ("#RRGGBB").
    static constexpr char kPresetColourProperty[] = "bkcolor";

    enum Channel { kRed, kGreen, kBlue };

    explicit CLightControlUI(QWidget* parent = nullptr);

    void set_light_type(int type) { type_ = type; }
    int light_type() const { return type_; }

    // Rebuilds the mode list (text = translated id, data = the id, hidden when not visible)
    // and sets the maxima of the brightness and speed sliders.
    void fill_modes(const std::vector<BuiltInLightName>& names, int brightness_max, int speed_max);
    // The keyboard's custom effects.
    void fill_custom_modes(const std::vector<std::string>& names);
    // The keyboard's zone schemes (ZZCCLedMode), as shown.
    void fill_zzcc_modes(const QStringList& names);
    // Translates the mode items again (after a language change).
    void retranslate_modes();

    // Shows the three words of a device's light settings and applies the group table.
    void show_light_settings(uint32_t w0, uint32_t w1, uint32_t w2);

    // Selecting also applies the group table. current_*: -1 when nothing is selected or the
    // list is missing.
    void select_mode(int index);
    int current_mode() const;
    void select_custom_mode(int index);
    int current_custom_mode() const;
    void select_zzcc_mode(int index);
    int current_zzcc_mode() const;

    void set_brightness(int value);
    int brightness() const;
    void set_speed(int value);
    int speed() const;

    void set_colour_text(Channel channel, const QString& text);
    QString colour_text(Channel channel) const;

    // 0xAARRGGBB; also paints "deng_colordp_btn". 0xFF000000 when the palette is missing.
    void set_palette_colour(uint32_t argb);
    uint32_t palette_colour() const;

    // Background colour of "color_option_" + n as 0xAARRGGBB; 0 when there is no such
    // button or it names no colour.
    uint32_t preset_colour(int n) const;

    void set_seven_colour(bool on);
    bool seven_colour() const;

    // Nonzero checks "deng_FXL_check" and clears "deng_FXR_check"; zero the reverse.
    void set_fx(int fx);
    int fx() const;

    void allow_same_mode(bool allowed);
    bool same_mode_allowed() const { return same_allowed_; }

    // Enables, disables, shows and hides the groups for the light type and current mode.
    void apply_enable_table();

protected:
    void showEvent(QShowEvent* event) override;

private:
    template <class T>
    T* child(const char* name) const;
    QLineEdit* edit(Channel channel) const;
    // Once the layout's children exist: preset backgrounds and the hidden copy button.
    void bind();

    int type_ = 0;
    bool same_allowed_ = false;
    bool bound_ = false;
};

// The lighting panel of a device page, or nullptr.
CLightControlUI* find_light_control(QWidget* page);

}  // namespace tellune::ui
