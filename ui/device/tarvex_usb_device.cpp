#include "ui/device/tarvex_usb_device.h"

#include <QStackedWidget>
#include <algorithm>
#include <optional>

#include "core/device/light_engine.h"
#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "core/profile/json_file.h"
#include "core/profile/light_presets.h"
#include "core/profile/profile_data.h"
#include "ui/app/device_option.h"
#include "ui/controls/device_key_button.h"
#include "ui/controls/select_panel.h"
#include "ui/editors/light_control_ui.h"
#include "ui/profile/device_profile_ui.h"
#include "ui/profile/profile_bar.h"

namespace tellune::ui {
namespace {

using device::Step;
namespace tables = device::light_tables;

void wheel(uint8_t index, uint8_t& r, uint8_t& g, uint8_t& b) {
    const device::Rgb& c = tables::kWheel[index % tables::kWheel.size()];
    r = c.r, g = c.g, b = c.b;
}

uint8_t breathing_curve(uint8_t step) {
    return tables::kBreathing[step % tables::kBreathing.size()];
}

std::optional<int> index_after(const QString& name, QLatin1String prefix) {
    if (!name.startsWith(prefix)) return std::nullopt;
    const QString rest = name.mid(prefix.size());
    if (rest.isEmpty() || rest.size() > 6) return std::nullopt;
    for (QChar c : rest)
        if (!c.isDigit()) return std::nullopt;
    return rest.toInt();
}

}  // namespace

CTarvexUSBDevice::CTarvexUSBDevice(std::shared_ptr<hid::HidBackend> backend, QWidget* parent)
    : QWidget(parent), backend_(std::move(backend)), config_(*backend_), secondary_(*backend_) {
    setAttribute(Qt::WA_StyledBackground);
}

CTarvexUSBDevice::~CTarvexUSBDevice() {
    StopThreads();
}

void CTarvexUSBDevice::StopThreads() {
    light_thread_.Stop();
    input_thread_.Stop([this] { secondary_.Disconnect(); });
}

// --- 1: binding the page ---

void CTarvexUSBDevice::BindPageControls() {
    std::fill(keys_.begin(), keys_.end(), nullptr);
    std::fill(lights_.begin(), lights_.end(), nullptr);
    for (CSelectPanelUI* panel : findChildren<CSelectPanelUI*>()) {
        for (CDeviceKeyButtonUI* button : panel->findChildren<CDeviceKeyButtonUI*>()) {
            const QString name = button->objectName();
            if (auto n = index_after(name, QLatin1String("key_"))) {
                if (*n < int(keys_.size())) keys_[size_t(*n)] = button;
            } else if (auto m = index_after(name, QLatin1String("light_"))) {
                if (*m < int(lights_.size())) {
                    lights_[size_t(*m)] = button;
                    button->SetLightOverlay(0, 0, false);
                }
            }
        }
    }
}

void CTarvexUSBDevice::BindLightButton(int n, CDeviceKeyButtonUI* button) {
    if (n < 0 || size_t(n) >= lights_.size()) return;
    lights_[size_t(n)] = button;
    if (button) button->SetLightOverlay(0, 0, false);
}

int CTarvexUSBDevice::apply_light_settings() {
    return 0;
}

// --- 3..9: the base light effects. Each renders the next frame of its effect. ---

uint8_t CTarvexUSBDevice::level_value() const {
    return tables::kBrightness[std::min<size_t>(light_params_.level_index,
                                                tables::kBrightness.size() - 1)];
}

void CTarvexUSBDevice::fill_all(uint32_t colour) {
    std::fill(frame_.begin(), frame_.end(), colour);
}

void CTarvexUSBDevice::light_effect_blink() {
    std::lock_guard lock(frame_mutex_);
    effect_step_ = Step(true, 2, effect_step_, 1);
    if (effect_step_ == 0) {
        fill_all(0);
        return;
    }
    uint8_t r = light_params_.red, g = light_params_.green, b = light_params_.blue;
    if (light_params_.multi_colour) {
        effect_phase_ = Step(true, 192, effect_phase_, 14);
        wheel(effect_phase_, r, g, b);
    }
    fill_all(pack_led(r, g, b, level_value()));
}

void CTarvexUSBDevice::light_effect_breathing() {
    std::lock_guard lock(frame_mutex_);
    effect_step_ = Step(light_params_.direction == 0, 128, effect_step_, 1);
    uint8_t r = light_params_.red, g = light_params_.green, b = light_params_.blue;
    if (light_params_.multi_colour) {
        if (effect_step_ < 2) effect_phase_ = Step(true, 192, effect_phase_, 16);
        wheel(effect_phase_, r, g, b);
    }
    const uint8_t level = uint8_t(level_value() * breathing_curve(effect_step_) >> 8);
    fill_all(pack_led(r, g, b, level));
}

void CTarvexUSBDevice::light_effect_spectrum() {
    std::lock_guard lock(frame_mutex_);
    effect_phase_ = Step(light_params_.direction == 0, 192, effect_phase_, 1);
    uint8_t r, g, b;
    wheel(effect_phase_, r, g, b);
    fill_all(pack_led(r, g, b, level_value()));
}

void CTarvexUSBDevice::light_effect_static() {
    std::lock_guard lock(frame_mutex_);
    fill_all(pack_led(light_params_.red, light_params_.green, light_params_.blue, level_value()));
}

void CTarvexUSBDevice::light_effect_wave() {
    std::lock_guard lock(frame_mutex_);
    effect_phase_ = Step(light_params_.direction == 0, 192, effect_phase_, 2);
    for (size_t i = 0; i < frame_.size(); ++i) {
        uint8_t r, g, b;
        wheel(uint8_t((effect_phase_ + i * 12) % 192), r, g, b);
        frame_[i] = pack_led(r, g, b, level_value());
    }
}

void CTarvexUSBDevice::light_effect_flow() {
    std::lock_guard lock(frame_mutex_);
    if (frame_.empty()) return;
    effect_step_ = Step(light_params_.direction == 0, int(std::min<size_t>(frame_.size(), 255)),
                        effect_step_, 1);
    const uint32_t lit =
        pack_led(light_params_.red, light_params_.green, light_params_.blue, level_value());
    for (size_t i = 0; i < frame_.size(); ++i) frame_[i] = i == effect_step_ ? lit : 0;
}

void CTarvexUSBDevice::AllLedsOff() {
    std::lock_guard lock(frame_mutex_);
    fill_all(0);
}

// --- 10..12: the frame ---

void CTarvexUSBDevice::refresh_light_preview() {
    // A member, so the copy reuses its storage: this runs 20 times a second.
    std::vector<uint32_t>& frame = preview_frame_;
    {
        std::lock_guard lock(frame_mutex_);
        frame.assign(frame_.begin(), frame_.end());
        device_bytes_.assign(frame.size() * 3, 0);
        for (size_t i = 0; i < frame.size(); ++i) {
            if (i < led_positions_.size() && led_positions_[i] == kNoLedPosition) continue;
            const uint32_t c = frame[i];
            const uint32_t level = c >> 24;
            for (int k = 0; k < 3; ++k)
                device_bytes_[i * 3 + size_t(k)] = uint8_t(((c >> (8 * k)) & 0xFF) * level >> 8);
        }
    }
    // A page not on screen (another page shown, the window in the tray) has nothing to paint.
    if (!isVisible()) return;
    // LEDs the picture draws itself: one repaint of one rectangle for the whole frame.
    QWidget* picture = nullptr;
    QRect changed;
    for (size_t i = 0; i < frame.size() && i < lights_.size(); ++i) {
        CDeviceKeyButtonUI* button = lights_[i];
        if (!button || !button->isVisible()) continue;
        if (!button->change_light_overlay(frame[i] & 0xFFFFFF, int(frame[i] >> 24), true)) continue;
        QWidget* parent = button->parentWidget();
        if (!button->drawn_by_panel() || !parent) {
            button->update();
            continue;
        }
        if (picture && parent != picture) {
            picture->update(changed);
            changed = QRect();
        }
        picture = parent;
        changed |= button->geometry();
    }
    if (picture) picture->update(changed);
}

void CTarvexUSBDevice::SetLedColour(int index, uint32_t colour) {
    std::lock_guard lock(frame_mutex_);
    if (index < 0 || size_t(index) >= frame_.size()) return;
    frame_[size_t(index)] = colour;
}

uint32_t CTarvexUSBDevice::GetLedColour(int index) const {
    std::lock_guard lock(frame_mutex_);
    if (index < 0 || size_t(index) >= frame_.size()) return 0;
    return frame_[size_t(index)];
}

std::vector<uint8_t> CTarvexUSBDevice::DeviceColourBytes() const {
    std::lock_guard lock(frame_mutex_);
    return device_bytes_;
}

void CTarvexUSBDevice::SetLedPositions(std::vector<int> positions) {
    std::lock_guard lock(frame_mutex_);
    led_positions_ = std::move(positions);
}

LightParams CTarvexUSBDevice::LightParameters() const {
    std::lock_guard lock(frame_mutex_);
    return light_params_;
}

void CTarvexUSBDevice::SetLightParameters(const LightParams& params) {
    std::lock_guard lock(frame_mutex_);
    light_params_ = params;
}

uint8_t CTarvexUSBDevice::EffectStep() const {
    std::lock_guard lock(frame_mutex_);
    return effect_step_;
}

uint8_t CTarvexUSBDevice::EffectPhase() const {
    std::lock_guard lock(frame_mutex_);
    return effect_phase_;
}

// --- 13..26: the device Parts fill these in ---

void CTarvexUSBDevice::connect_device() {
    // Until a kind talks to its device, first contact shows the profile on the page.
    if (!config_.IsOpen()) return;
    reload_profile();
    refresh_page();
}
void CTarvexUSBDevice::reload_from_device() {}
void CTarvexUSBDevice::device_operation_15() {}
void CTarvexUSBDevice::device_operation_16() {}
void CTarvexUSBDevice::poll_device_status() {}
void CTarvexUSBDevice::reload_profile() {
    if (!profile_) return;
    set_profile_paths();
    profile_->load_profile(profile_->profile_path());
    profile_->load_light_list(profile_->light_list_path());
    // The lighting panel shows and edits these; unread they are all zero, and the first
    // edit would store those zeros over the user's values.
    const LightSettings light = profile_->read_light_settings();
    light_words_ = {light.word[0], light.word[1], light.word[2]};
}
void CTarvexUSBDevice::refresh_page() {
    refresh_light_control(
        read_built_in_light_names(read_json(default_light_names_file()), light_model_index(kind_)),
        kLightLevelMax, kLightSpeedMax);
}
void CTarvexUSBDevice::check_macro_keys() {}
void CTarvexUSBDevice::restore_default_profile() {}
int CTarvexUSBDevice::write_key_table() {
    return 0;
}
int CTarvexUSBDevice::write_current_keys() {
    return 0;
}
int CTarvexUSBDevice::write_macros() {
    return 0;
}
int CTarvexUSBDevice::write_settings(int, int, int, int, int) {
    return 0;
}
void CTarvexUSBDevice::load_light_names() {}

void CTarvexUSBDevice::replace_map(const std::map<int, int>& map) {
    maps_[2] = map;
}

// --- 28..31: key heat for the reactive effects ---

void CTarvexUSBDevice::key_heat_decay(int key, bool fast) {
    std::lock_guard lock(heat_mutex_);
    if (key < 0 || key >= kHeatKeys) return;
    // The same steps as the light engine's decay; its slow tail is the key's non-fast one.
    uint8_t& h = heat_[size_t(key)];
    h = device::decay_level(h, !fast);
}

void CTarvexUSBDevice::key_heat_mark() {
    std::lock_guard lock(heat_mutex_);
    for (int k = 0; k < kHeatMarkKeys; ++k)
        if (heat_history_[size_t(k)]) heat_[size_t(k)] = 255;
}

void CTarvexUSBDevice::key_heat_shift(bool forward) {
    std::lock_guard lock(heat_mutex_);
    // The byte that falls out at one end is kept and comes back in when the direction turns.
    if (forward) {
        const uint8_t out = heat_history_.back();
        std::copy_backward(heat_history_.begin(), heat_history_.end() - 1, heat_history_.end());
        heat_history_.front() = heat_spare_;
        heat_spare_ = out;
    } else {
        const uint8_t out = heat_history_.front();
        std::copy(heat_history_.begin() + 1, heat_history_.end(), heat_history_.begin());
        heat_history_.back() = heat_spare_;
        heat_spare_ = out;
    }
}

void CTarvexUSBDevice::key_heat_clear() {
    std::lock_guard lock(heat_mutex_);
    heat_.fill(0);
    heat_history_.fill(0);
    heat_spare_ = 0;
}

uint8_t CTarvexUSBDevice::KeyHeat(int key) const {
    std::lock_guard lock(heat_mutex_);
    return key >= 0 && key < kHeatKeys ? heat_[size_t(key)] : 0;
}

void CTarvexUSBDevice::SetKeyHeat(int key, uint8_t value) {
    std::lock_guard lock(heat_mutex_);
    if (key >= 0 && key < kHeatKeys) heat_[size_t(key)] = value;
}

std::array<uint8_t, CTarvexUSBDevice::kHeatHistory> CTarvexUSBDevice::HeatHistory() const {
    std::lock_guard lock(heat_mutex_);
    return heat_history_;
}

void CTarvexUSBDevice::SetHeatHistory(const std::array<uint8_t, kHeatHistory>& history) {
    std::lock_guard lock(heat_mutex_);
    heat_history_ = history;
}

// --- 32..40 ---

QStackedWidget* CTarvexUSBDevice::function_switch() {
    if (!function_switch_)
        function_switch_ = findChild<QStackedWidget*>(QStringLiteral("device_function_switch"));
    return function_switch_;
}

QStackedWidget* CTarvexUSBDevice::key_function_switch() {
    if (!key_function_switch_)
        key_function_switch_ =
            findChild<QStackedWidget*>(QStringLiteral("device_key_function_switch"));
    return key_function_switch_;
}

void CTarvexUSBDevice::show_device_status(int state) {
    device_status_ = state;
    int key_panel = -1, function_panel = -1;
    // The system tab is a function panel of the keyboard and the mouse (by its receiver
    // too); the other kinds show their own second key panel there.
    const bool has_system_panel =
        kind_ == hid::kKindKeyboard || kind_ == hid::kKindMouse || kind_ == hid::kKindWirelessMouse;
    switch (state) {
        case 2:
        case 6:
            key_panel = 1;
            break;
        case 3:
        case 8:
            function_panel = 1;
            break;
        case 4:
            if (has_system_panel)
                function_panel = 3;
            else
                key_panel = 2;
            break;
        case 7:
            key_panel = 2;
            break;
        case 5:
            function_panel = 2;
            break;
        default:
            key_panel = 0;
            break;
    }
    QStackedWidget* functions = function_switch();
    if (key_panel >= 0) {
        if (QStackedWidget* keys = key_function_switch()) keys->setCurrentIndex(key_panel);
        if (functions) functions->setCurrentIndex(0);
    } else if (functions) {
        functions->setCurrentIndex(function_panel);
    }
}

int CTarvexUSBDevice::GetDeviceStatus() const {
    return device_status_;
}

void CTarvexUSBDevice::set_profile_paths() {
    if (!profile_) return;
    // The profile bar names the selected profile (its list is made on first use); a page
    // without a bar keeps the current path.
    std::string uuid = property("profileUUID").toString().toStdString();
    CDeviceProfileUI* bar = find_profile_bar(this);
    if (bar && !ProfileBar::start_bar(bar)) bar = nullptr;
    if (uuid.empty() && bar) uuid = bar->selected_uuid().toStdString();
    if (const std::string path = user_profile_file(kind_, uuid); !path.empty()) {
        profile_->set_profile_path(path);
        // A profile file rewritten from the defaults keeps the name the list shows.
        profile_->set_profile_name(bar ? bar->list().name_of(uuid)
                                       : property("profilename").toString().toStdString());
    }
    profile_->set_light_list_path(UserDataFolder() + light_name_.toStdString() + ".config");
}

std::string CTarvexUSBDevice::profile_file_name() const {
    return profile_ ? profile_->profile_path() : std::string();
}

void CTarvexUSBDevice::save() {
    if (profile_) profile_->save_profile();
}

void CTarvexUSBDevice::SetDeviceIndex(int index) {
    device_index_ = index;
}

int CTarvexUSBDevice::GetDeviceIndex() const {
    return device_index_;
}

void CTarvexUSBDevice::set_light_settings(uint32_t a, uint32_t b, uint32_t c) {
    light_words_ = {a, b, c};
    if (!profile_) return;
    LightSettings settings;
    settings.word[0] = a;
    settings.word[1] = b;
    settings.word[2] = c;
    profile_->write_light_settings(settings);
    profile_->save_profile();
}

void CTarvexUSBDevice::refresh_light_control(const std::vector<BuiltInLightName>& names,
                                             int brightness_max, int speed_max) {
    CLightControlUI* control = find_light_control(this);
    if (!control || !profile_) return;
    control->set_light_type(kind_);
    control->fill_modes(names, brightness_max, speed_max);
    const LightSettings& s = profile_->light_settings();
    control->show_light_settings(s.word[0], s.word[1], s.word[2]);
}

void CTarvexUSBDevice::select_key(int index) {
    selected_index_ = index;
}

// --- connection and threads ---

void CTarvexUSBDevice::Connect(const hid::DeviceSlot& slot) {
    slot_ = slot;
    if (slot.role == hid::kRoleConfiguration) kind_ = slot.kind;
    role_ = slot.role;
}

bool CTarvexUSBDevice::AttachSecondary(const hid::DeviceSlot& slot) {
    input_thread_.Stop([this] { secondary_.Disconnect(); });
    if (slot.path.empty() || !secondary_.Connect(slot.path)) {
        debug_printf("secondary interface not opened: %s", slot.path.c_str());
        return false;
    }
    input_thread_.Start(InputThreadExitLine(), [this](DeviceThread& t) { InputThreadPass(t); });
    return true;
}

void CTarvexUSBDevice::DetachSecondary() {
    // Closing the channel ends the blocked read; only then can the thread see its stop.
    input_thread_.Stop([this] { secondary_.Disconnect(); });
}

void CTarvexUSBDevice::InputThreadPass(DeviceThread& thread) {
    if (!secondary_.IsOpen()) {
        thread.WaitFor(std::chrono::milliseconds(100));
        return;
    }
    hid::CHidDevice& hid = secondary_.Hid();
    const size_t length = std::max<size_t>(hid.Capabilities().input_report_byte_length, 1);
    std::vector<uint8_t> report(length, 0);
    const hid::IoResult result = hid.ReadReport(report, -1);
    if (!result.ok()) {
        // Closed, aborted or gone: the next pass sees the stop or the closed channel.
        thread.WaitFor(std::chrono::milliseconds(10));
        return;
    }
    if (!hid.DecodeInputReport(report)) return;
    const std::vector<hid::HidUsageEntry> usages = hid.InputUsages();
    if (usages.empty()) return;
    const hid::HidUsageEntry& first = usages.front();
    if (first.is_button)
        OnInputValue(first.pressed.empty() ? 0 : first.pressed.front());
    else
        OnInputValue(first.raw_value);
}

std::string CTarvexUSBDevice::InputThreadExitLine() const {
    return "设备同步线程设定退出";
}

void CTarvexUSBDevice::OnInputValue(int) {}

void CTarvexUSBDevice::PollStatusBytes() {
    if (!config_.IsOpen()) return;
    std::array<uint8_t, 6> status{};
    if (config_.ReadRange(status, 0) != 1) return;
    if (CMpDevicePowerUI* power = power_) power->ShowStatus(status.data(), status.size());
}

// --- settings ---

void CTarvexUSBDevice::SetKeyCount(int n) {
    key_count_ = std::max(0, n);
    keys_.assign(size_t(key_count_), nullptr);
}

void CTarvexUSBDevice::SetLedCount(int n) {
    const size_t count = size_t(std::max(0, n));
    lights_.assign(count, nullptr);
    std::lock_guard lock(frame_mutex_);
    frame_.assign(count, 0);
    led_states_.assign(count, 0);
    device_bytes_.assign(count * 3, 0);
}

int CTarvexUSBDevice::LedCount() const {
    std::lock_guard lock(frame_mutex_);
    return int(frame_.size());
}

CDeviceKeyButtonUI* CTarvexUSBDevice::KeyButton(int n) const {
    return n >= 0 && size_t(n) < keys_.size() ? keys_[size_t(n)].data() : nullptr;
}

CDeviceKeyButtonUI* CTarvexUSBDevice::LightButton(int n) const {
    return n >= 0 && size_t(n) < lights_.size() ? lights_[size_t(n)].data() : nullptr;
}

QWidget* CTarvexUSBDevice::PreviewControl() const {
    if (auto* panel = findChild<CSelectPanelUI*>()) return panel;
    return const_cast<CTarvexUSBDevice*>(this);
}

void CTarvexUSBDevice::SetOptionEntry(CDeviceOptionUI* entry) {
    entry_ = entry;
}

CDeviceOptionUI* CTarvexUSBDevice::OptionEntry() const {
    return entry_;
}

void CTarvexUSBDevice::SetPowerWidget(CMpDevicePowerUI* widget) {
    power_ = widget;
}

CMpDevicePowerUI* CTarvexUSBDevice::PowerWidget() const {
    return power_;
}

void CTarvexUSBDevice::SetLightOutput(bool on) {
    light_output_ = on;
    if (on && kind_ == hid::kKindKeyboard) config_.SimpleCommand28();
}

std::string CTarvexUSBDevice::DefaultProfilePath() const {
    return default_data_folder() + kind_name_.toStdString() + ".Json";
}

std::string CTarvexUSBDevice::UserDataFolder() const {
    return user_data_folder(kind_name_.toStdString());
}

void CTarvexUSBDevice::ShowLightFrame(const std::vector<device::LedColour>& leds) {
    for (size_t i = 0; i < leds.size(); ++i)
        SetLedColour(int(i), pack_led(leds[i].r, leds[i].g, leds[i].b, leds[i].level));
}

std::vector<device::LedColour> CTarvexUSBDevice::ShownLightFrame() const {
    std::vector<device::LedColour> frame(static_cast<size_t>(LedCount()));
    for (size_t i = 0; i < frame.size(); ++i) {
        const uint32_t c = GetLedColour(int(i));
        frame[i] = {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), uint8_t(c >> 24)};
    }
    return frame;
}

void CTarvexUSBDevice::SetProfileData(std::unique_ptr<CBasicProfiledata> profile) {
    profile_ = std::move(profile);
    if (profile_) profile_->set_default_profile_path(default_profile_file(kind_));
}

}  // namespace tellune::ui
