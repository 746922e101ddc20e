#include "ui/device/keyboard_device.h"

#include <QMetaObject>
#include <algorithm>

#include "core/device/macro_image.h"
#include "core/device/mouse_protocol.h"
#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "core/profile/profile_data.h"
#include "ui/app/device_option.h"
#include "ui/controls/device_key_button.h"
#include "ui/editors/key_set_control_ui.h"

namespace tellune::ui {

CTarvexKeyboardDevice::CTarvexKeyboardDevice(std::shared_ptr<hid::HidBackend> backend,
                                             QWidget* parent)
    : CKeyedUSBDevice(std::move(backend), parent),
      protocol_(std::make_unique<device::KeyboardProtocol>(Config())) {
    SetKind(kDeviceKeyboard);
    SetProfileData(std::make_unique<CKeyboardProfiledata>());
}

CTarvexKeyboardDevice::~CTarvexKeyboardDevice() {
    StopThreads();
    protocol_->sender().stop();
    protocol_->light().stop_light_thread();
}

CKeyboardProfiledata* CTarvexKeyboardDevice::KeyboardProfile() const {
    return static_cast<CKeyboardProfiledata*>(ProfileData());
}

void CTarvexKeyboardDevice::connect_device() {
    if (!Config().IsOpen()) return;
    protocol_->light().stop_light_thread();
    const int result = protocol_->connect_device();
    if (result != 1) {
        debug_printf("键盘连接失败：%d", result);
        return;
    }
    protocol_->light().set_led_count(size_t(LedCount()));
    // The preview takes the frames when it paints and streams them on: the thread itself
    // need not wake for every frame.
    protocol_->light().set_min_frame_ms(device::LightThread::kMaxCatchUpTicks);
    reload_profile();
    refresh_page();
    protocol_->light().start_light_thread();
}

void CTarvexKeyboardDevice::reload_from_device() {
    protocol_->read_settings_block(KeyboardProfile());
    refresh_page();
}

int CTarvexKeyboardDevice::apply_light_settings() {
    if (CKeyboardProfiledata* profile = KeyboardProfile())
        protocol_->apply_light_settings(*profile);
    return 1;
}

void CTarvexKeyboardDevice::refresh_light_preview() {
    // The light engine renders; while the lighting is synchronised across devices the sync
    // thread sets the colours instead, and they go to the keyboard the same way.
    if (Config().Pause() == 0) {
        frame_ = protocol_->light().current_frame();
        ShowLightFrame(frame_);
    } else {
        frame_ = ShownLightFrame();
    }
    CTarvexUSBDevice::refresh_light_preview();
    // Another program drives the lights, or the computer sleeps: the keyboard is left alone.
    if (IsLightOutputEnabled()) protocol_->stream_frame(frame_);
}

void CTarvexKeyboardDevice::reload_profile() {
    CKeyboardProfiledata* profile = KeyboardProfile();
    if (!profile) return;
    CTarvexUSBDevice::reload_profile();
    protocol_->take_profile(*profile);
    apply_light_settings();
    // Key changes that were not saved are gone with the reload: the rows and the panel show
    // the keys as the profile holds them.
    update_key_list();
    show_selected_key();
    if (CKeySetControlUI* control = find_key_set_control(this)) control->enable_buttons(false);
}

void CTarvexKeyboardDevice::restore_default_profile() {
    CKeyboardProfiledata* profile = KeyboardProfile();
    if (!profile) return;
    profile->load_profile(profile->default_profile_path());
    protocol_->take_profile(*profile);
    apply_light_settings();
    profile->save_profile();
    refresh_page();
}

int CTarvexKeyboardDevice::write_key_table() {
    return protocol_->write_current_keys(0);
}

int CTarvexKeyboardDevice::write_current_keys() {
    return protocol_->write_current_keys(0);
}

int CTarvexKeyboardDevice::write_macros() {
    return protocol_->write_macros(UserDataFolder());
}

int CTarvexKeyboardDevice::write_settings(int, int, int, int, int) {
    // Every caller writes profile 0.
    return protocol_->write_settings(0);
}

void CTarvexKeyboardDevice::set_light_settings(uint32_t a, uint32_t b, uint32_t c) {
    CTarvexUSBDevice::set_light_settings(a, b, c);
    apply_light_settings();
    update_custom_hint();
}

void CTarvexKeyboardDevice::show_device_status(int state) {
    CTarvexUSBDevice::show_device_status(state);
    // Fn stays Fn: it cannot be reassigned on the key panel.
    if (CDeviceKeyButtonUI* fn = KeyButton(kFnKey); fn && (state == 1 || state == 2))
        fn->setEnabled(state == 1);
}

void CTarvexKeyboardDevice::OnInputValue(int value) {
    // Input-report thread. The timer belongs to the interface thread, so it is started there.
    if (value == kSyncRequest) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (CDeviceOptionUI* entry = OptionEntry())
                    entry->StartTimer(kTimerReload, kReloadDelayMs);
            },
            Qt::QueuedConnection);
        return;
    }
    // Key reports reach the light engine from here, without the interface thread.
    protocol_->on_key_usage(uint16_t(value));
}

// --- custom key colours ---

int CTarvexKeyboardDevice::custom_group() const {
    CKeyboardProfiledata* profile = KeyboardProfile();
    if (!profile) return 0;
    return std::clamp(profile->read_custom_group(), 0, device::kCustomLightGroups - 1);
}

bool CTarvexKeyboardDevice::store_custom_colours(const std::vector<int>& keys) {
    CKeyboardProfiledata* profile = KeyboardProfile();
    const LightSettings& light = protocol_->settings().light;
    if (!profile || light.select_item() != device::kKbCustom) return false;
    const int group = custom_group();
    std::vector<CustomColour> colours = profile->read_custom_colours(group, device::kKeyboardKeys);
    for (int key : keys)
        if (key >= 0 && size_t(key) < colours.size())
            colours[size_t(key)] = {light.red(), light.green(), light.blue(), 255};
    protocol_->show_custom_colours(colours);
    protocol_->write_custom_colours(group, colours);
    profile->write_custom_colours(group, colours);
    profile->save_profile();
    return true;
}

void CTarvexKeyboardDevice::select_custom_group(int group) {
    CKeyboardProfiledata* profile = KeyboardProfile();
    if (!profile) return;
    group = std::clamp(group, 0, device::kCustomLightGroups - 1);
    const std::vector<CustomColour> colours =
        profile->read_custom_colours(group, device::kKeyboardKeys);
    profile->write_custom_colours(group, colours);
    profile->save_profile();
    protocol_->show_custom_colours(colours);
    protocol_->write_custom_colours(group, colours);
}

}  // namespace tellune::ui
