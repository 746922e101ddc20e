#include "ui/device/mouse_pad_device.h"

#include <QMetaObject>

#include "core/profile/device_folders.h"
#include "core/profile/profile_data.h"
#include "ui/app/device_option.h"
#include "ui/macro/macro_names.h"

namespace tellune::ui {

CTarvexMousePadDevice::CTarvexMousePadDevice(std::shared_ptr<hid::HidBackend> backend,
                                             QWidget* parent)
    : CTarvexUSBDevice(std::move(backend), parent),
      protocol_(std::make_unique<device::PadProtocol>(Config())) {
    SetKind(kDeviceMousePad);
    SetProfileData(std::make_unique<CBasicProfiledata>());
    // Battery, charging and the phone lying on the pad.
    SetStatusPoll(true);
}

CTarvexMousePadDevice::~CTarvexMousePadDevice() {
    StopThreads();
    protocol_->light().stop_light_thread();
}

void CTarvexMousePadDevice::BindPageControls() {
    CTarvexUSBDevice::BindPageControls();
    load_light_names();
}

void CTarvexMousePadDevice::load_light_names() {
    macro_names_ = read_macro_names(UserDataFolder() + macro::kPadLibraryFileName);
}

void CTarvexMousePadDevice::connect_device() {
    if (!Config().IsOpen()) return;
    protocol_->light().stop_light_thread();
    // The pad's results are not looked at: the next refresh or write tries again.
    protocol_->connect_device();
    protocol_->light().set_led_count(size_t(LedCount()));
    // The pad lights itself; the frames only feed the picture, which takes them when it
    // repaints.
    protocol_->light().set_min_frame_ms(device::LightThread::kMaxCatchUpTicks);
    reload_profile();
    refresh_page();
    protocol_->light().start_light_thread();
    poll_device_status();
}

void CTarvexMousePadDevice::reload_from_device() {
    protocol_->read_settings_block();
    refresh_page();
}

int CTarvexMousePadDevice::apply_light_settings() {
    CBasicProfiledata* profile = ProfileData();
    if (!profile) return 0;
    protocol_->apply_light_settings(profile->light_settings(), profile->led_zones(),
                                    profile->light_effects());
    return 1;
}

void CTarvexMousePadDevice::refresh_light_preview() {
    // While the lighting is synchronised across devices the sync thread sets the colours.
    if (Config().Pause() == 0) ShowLightFrame(protocol_->light().current_frame());
    CTarvexUSBDevice::refresh_light_preview();
}

void CTarvexMousePadDevice::reload_profile() {
    CBasicProfiledata* profile = ProfileData();
    if (!profile) return;
    CTarvexUSBDevice::reload_profile();
    profile->read_light_settings();
    profile->read_led_zones();
    profile->read_light_effects();
    apply_light_settings();
}

void CTarvexMousePadDevice::restore_default_profile() {
    CBasicProfiledata* profile = ProfileData();
    if (!profile) return;
    profile->load_profile(profile->default_profile_path());
    profile->read_light_settings();
    profile->read_led_zones();
    apply_light_settings();
    profile->save_profile();
    refresh_page();
}

int CTarvexMousePadDevice::write_settings(int, int, int, int, int) {
    // Only profile 0 is ever written.
    return protocol_->write_settings(0);
}

void CTarvexMousePadDevice::key_heat_mark() {
    // Every LED whose history byte is set, not only the first nine.
    const std::array<uint8_t, kHeatHistory> history = HeatHistory();
    for (int k = 0; k < kHeatHistory; ++k)
        if (history[size_t(k)]) SetKeyHeat(k, 255);
}

void CTarvexMousePadDevice::set_light_settings(uint32_t a, uint32_t b, uint32_t c) {
    CTarvexUSBDevice::set_light_settings(a, b, c);
    apply_light_settings();
}

void CTarvexMousePadDevice::OnInputValue(int value) {
    // Input-report thread; the timer belongs to the interface thread.
    if (value != kSyncRequest) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (CDeviceOptionUI* entry = OptionEntry())
                entry->StartTimer(kTimerReload, kReloadDelayMs);
        },
        Qt::QueuedConnection);
}

}  // namespace tellune::ui
