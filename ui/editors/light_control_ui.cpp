#include "ui/editors/light_control_ui.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QSignalBlocker>
#include <QStandardItemModel>

#include "core/device/light_modes.h"
#include "core/profile/profile_records.h"
#include "ui/app/text_table.h"
#include "ui/controls/colour_palette.h"
#include "ui/controls/quiet_setters.h"

namespace tellune::ui {
namespace {

constexpr char kModeCombo[] = "light_combo_modeSelect";
constexpr char kCustomCombo[] = "light_combo_custommodeSelect";
constexpr char kZzccCombo[] = "light_combo_ZZCCmodeSelect";
constexpr char kBrightnessSlider[] = "deng_light_slider";
constexpr char kSpeedSlider[] = "deng_speed_slider";
constexpr char kPalette[] = "deng_Color_Pallet";
constexpr char kColourButton[] = "deng_colordp_btn";
constexpr char kSevenColour[] = "deng_7color_check";
constexpr char kFxLeft[] = "deng_FXL_check";
constexpr char kFxRight[] = "deng_FXR_check";
constexpr char kSameMode[] = "deng_same_mode";
constexpr const char* kEdits[] = {"deng_edit_R", "deng_edit_G", "deng_edit_B"};

int combo_index(const QComboBox* combo) {
    return combo ? combo->currentIndex() : -1;
}

void apply_state(QWidget* w, device::GroupState state, bool visibility) {
    if (!w || state == device::GroupState::Keep) return;
    const bool on = state == device::GroupState::On;
    if (visibility)
        w->setVisible(on);
    else
        w->setEnabled(on);
}

QString rgb_style(uint32_t argb) {
    return QStringLiteral("background: %1;").arg(QColor::fromRgb(QRgb(argb)).name());
}

}  // namespace

CLightControlUI::CLightControlUI(QWidget* parent) : QWidget(parent) {}

template <class T>
T* CLightControlUI::child(const char* name) const {
    return findChild<T*>(QLatin1String(name));
}

QLineEdit* CLightControlUI::edit(Channel channel) const {
    return child<QLineEdit>(kEdits[channel]);
}

void CLightControlUI::bind() {
    if (bound_ || !child<QComboBox>(kModeCombo)) return;
    bound_ = true;
    for (QAbstractButton* b : findChildren<QAbstractButton*>()) {
        if (!b->objectName().startsWith(QLatin1String(kPresetPrefix))) continue;
        const QColor c(b->property(kPresetColourProperty).toString());
        if (c.isValid()) b->setStyleSheet(rgb_style(c.rgba()));
    }
    // Only the keyboard has these rows; its table shows them when its mode needs them.
    for (const char* name : {kSameMode, "lightcustom_layout", "light_combo_ZZCCmodeSelectLayout"})
        if (auto* w = child<QWidget>(name)) w->setVisible(false);
    if (auto* button = child<QWidget>(kColourButton)) {
        // A sample of the colour, not something to press.
        button->setAttribute(Qt::WA_TransparentForMouseEvents);
        button->setFocusPolicy(Qt::NoFocus);
        if (auto* palette = child<CColourPaletteUI>(kPalette))
            button->setStyleSheet(rgb_style(palette->colour()));
    }
}

void CLightControlUI::showEvent(QShowEvent* event) {
    bind();
    QWidget::showEvent(event);
}

void CLightControlUI::fill_modes(const std::vector<BuiltInLightName>& names, int brightness_max,
                                 int speed_max) {
    bind();
    if (auto* combo = child<QComboBox>(kModeCombo)) {
        const QSignalBlocker block(combo);
        combo->clear();
        for (const BuiltInLightName& name : names) {
            const QString id = QString::fromStdString(name.name);
            combo->addItem(texts().text(id), id);
            combo->setItemData(combo->count() - 1, QSize(0, kItemHeight), Qt::SizeHintRole);
        }
        if (auto* view = qobject_cast<QListView*>(combo->view()))
            for (size_t i = 0; i < names.size(); ++i) view->setRowHidden(int(i), !names[i].visible);
    }
    for (auto [name, max] :
         {std::pair{kBrightnessSlider, brightness_max}, std::pair{kSpeedSlider, speed_max}})
        if (auto* slider = child<QAbstractSlider>(name)) {
            const QSignalBlocker block(slider);
            slider->setRange(0, std::max(0, max));
        }
}

void CLightControlUI::fill_custom_modes(const std::vector<std::string>& names) {
    if (auto* combo = child<QComboBox>(kCustomCombo)) {
        const QSignalBlocker block(combo);
        combo->clear();
        for (const std::string& name : names) {
            combo->addItem(QString::fromStdString(name));
            combo->setItemData(combo->count() - 1, QSize(0, kItemHeight), Qt::SizeHintRole);
        }
    }
}

void CLightControlUI::fill_zzcc_modes(const QStringList& names) {
    if (auto* combo = child<QComboBox>(kZzccCombo)) {
        const QSignalBlocker block(combo);
        const int current = combo->currentIndex();
        combo->clear();
        for (const QString& name : names) {
            combo->addItem(name);
            combo->setItemData(combo->count() - 1, QSize(0, kItemHeight), Qt::SizeHintRole);
        }
        combo->setCurrentIndex(current < combo->count() ? current : -1);
    }
}

void CLightControlUI::retranslate_modes() {
    if (auto* combo = child<QComboBox>(kModeCombo))
        for (int i = 0; i < combo->count(); ++i) {
            const QString id = combo->itemData(i).toString();
            if (!id.isEmpty()) combo->setItemText(i, texts().text(id));
        }
}

void CLightControlUI::show_light_settings(uint32_t w0, uint32_t w1, uint32_t w2) {
    bind();
    LightSettings s;
    s.word[0] = w0;
    s.word[1] = w1;
    s.word[2] = w2;
    set_index_quietly(child<QComboBox>(kModeCombo), s.select_item());
    set_brightness(s.light());
    set_speed(s.speed());
    set_colour_text(kRed, QString::number(s.red()));
    set_colour_text(kGreen, QString::number(s.green()));
    set_colour_text(kBlue, QString::number(s.blue()));
    set_palette_colour(0xFF000000u | uint32_t(s.red()) << 16 | uint32_t(s.green()) << 8 | s.blue());
    set_seven_colour(s.multi_color() != 0);
    set_fx(s.fx());
    apply_enable_table();
}

void CLightControlUI::select_mode(int index) {
    set_index_quietly(child<QComboBox>(kModeCombo), index);
    apply_enable_table();
}

int CLightControlUI::current_mode() const {
    return combo_index(child<QComboBox>(kModeCombo));
}

void CLightControlUI::select_custom_mode(int index) {
    set_index_quietly(child<QComboBox>(kCustomCombo), index);
}

int CLightControlUI::current_custom_mode() const {
    return combo_index(child<QComboBox>(kCustomCombo));
}

void CLightControlUI::select_zzcc_mode(int index) {
    set_index_quietly(child<QComboBox>(kZzccCombo), index);
}

int CLightControlUI::current_zzcc_mode() const {
    return combo_index(child<QComboBox>(kZzccCombo));
}

void CLightControlUI::set_brightness(int value) {
    set_value_quietly(child<QAbstractSlider>(kBrightnessSlider), value);
}

int CLightControlUI::brightness() const {
    auto* slider = child<QAbstractSlider>(kBrightnessSlider);
    return slider ? slider->value() : 0;
}

void CLightControlUI::set_speed(int value) {
    set_value_quietly(child<QAbstractSlider>(kSpeedSlider), value);
}

int CLightControlUI::speed() const {
    auto* slider = child<QAbstractSlider>(kSpeedSlider);
    return slider ? slider->value() : 0;
}

void CLightControlUI::set_colour_text(Channel channel, const QString& text) {
    if (QLineEdit* e = edit(channel)) {
        const QSignalBlocker block(e);
        e->setText(text);
    }
}

QString CLightControlUI::colour_text(Channel channel) const {
    const QLineEdit* e = edit(channel);
    return e ? e->text() : QString();
}

void CLightControlUI::set_palette_colour(uint32_t argb) {
    if (auto* palette = child<CColourPaletteUI>(kPalette)) {
        const QSignalBlocker block(palette);
        palette->set_colour(argb);
    }
    if (auto* button = child<QWidget>(kColourButton)) button->setStyleSheet(rgb_style(argb));
}

uint32_t CLightControlUI::palette_colour() const {
    const auto* palette = child<CColourPaletteUI>(kPalette);
    return palette ? palette->colour() : 0xFF000000u;
}

uint32_t CLightControlUI::preset_colour(int n) const {
    const QString name = QLatin1String(kPresetPrefix) + QString::number(n);
    const auto* button = findChild<QAbstractButton*>(name);
    if (!button) return 0;
    const QColor c(button->property(kPresetColourProperty).toString());
    return c.isValid() ? uint32_t(c.rgba()) : 0;
}

void CLightControlUI::set_seven_colour(bool on) {
    set_checked_quietly(child<QAbstractButton>(kSevenColour), on);
}

bool CLightControlUI::seven_colour() const {
    const auto* check = child<QAbstractButton>(kSevenColour);
    return check && check->isChecked();
}

void CLightControlUI::set_fx(int fx) {
    set_checked_quietly(child<QAbstractButton>(kFxLeft), fx != 0);
    set_checked_quietly(child<QAbstractButton>(kFxRight), fx == 0);
}

int CLightControlUI::fx() const {
    const auto* left = child<QAbstractButton>(kFxLeft);
    return left && left->isChecked() ? 1 : 0;
}

void CLightControlUI::allow_same_mode(bool allowed) {
    same_allowed_ = allowed;
    apply_enable_table();
}

void CLightControlUI::apply_enable_table() {
    bind();
    const device::LightGroupStates s = device::light_group_states(type_, current_mode());
    const std::pair<const char*, device::GroupState> enabled[] = {
        {"lighteffect_layout", s.effect},
        {kSevenColour, s.seven_colour},
        {"deng_color_layout", s.colour},
        {"colorpallet_layout", s.palette},
        {"deng_light_layout", s.brightness},
        {"deng_speed_layout", s.speed},
        {"deng_fx_layout", s.fx},
        {"light_color_layout", s.light_colour},
    };
    for (const auto& [name, state] : enabled) apply_state(child<QWidget>(name), state, false);
    apply_state(child<QWidget>("lightcustom_layout"), s.custom_row, true);
    apply_state(child<QWidget>("deng_speed_layout"), s.speed_row, true);
    apply_state(child<QWidget>("light_combo_ZZCCmodeSelectLayout"), s.zzcc_row, true);
    if (s.same != device::GroupState::Keep)
        if (auto* same = child<QWidget>(kSameMode))
            same->setVisible(same_allowed_ && s.same == device::GroupState::On);
}

CLightControlUI* find_light_control(QWidget* page) {
    return page ? page->findChild<CLightControlUI*>() : nullptr;
}

}  // namespace tellune::ui
