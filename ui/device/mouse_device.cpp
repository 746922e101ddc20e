#include "ui/device/mouse_device.h"

#include <QAbstractSlider>
#include <QFileInfo>
#include <QMetaObject>
#include <QProcess>
#include <QThread>

#include "core/device/macro_image.h"
#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "core/profile/profile_data.h"
#include "ui/app/device_option.h"
#include "ui/app/main_wnd.h"
#include "ui/app/msg_wnd.h"
#include "ui/editors/key_set_control_ui.h"
#include "ui/profile/device_profile_ui.h"
#include "ui/profile/profile_bar.h"

namespace tellune::ui {

CTarvexMouseDevice::CTarvexMouseDevice(std::shared_ptr<hid::HidBackend> backend, QWidget* parent)
    : CKeyedUSBDevice(std::move(backend), parent),
      protocol_(std::make_unique<device::MouseProtocol>(Config())) {
    SetKind(kDeviceMouse);
    SetProfileData(std::make_unique<CMouseProfiledata>());
}

CTarvexMouseDevice::~CTarvexMouseDevice() {
    StopThreads();
    protocol_->light().stop_light_thread();
}

CMouseProfiledata* CTarvexMouseDevice::MouseProfile() const {
    return static_cast<CMouseProfiledata*>(ProfileData());
}

bool CTarvexMouseDevice::confirm_firmware_update() {
    if (ShowMessage(window(), QString(), QStringLiteral("message_text_24"), 96, true, 1) != 1) {
        debug_line("固件需要升级，用户取消，程序退出");
        if (CMainWnd* wnd = MainWindow()) wnd->exit_program();
        return false;
    }
    // The updater is optional: a build without one just carries on with the old firmware.
    const QString folder = QString::fromStdString(default_data_folder());
    const QString updater = folder + QStringLiteral("tellune-firmware-updater");
    if (QFileInfo(updater).isExecutable()) {
        QThread::msleep(10);
        QProcess::startDetached(updater, {QStringLiteral("Upgrading")}, folder);
    }
    return true;
}

void CTarvexMouseDevice::connect_device() {
    if (!Config().IsOpen()) return;
    protocol_->light().stop_light_thread();
    const device::ConnectResult connected = protocol_->connect_device();
    if (connected.result != 1) {
        debug_printf("鼠标连接失败：%d", connected.result);
        return;
    }
    if (connected.firmware_update_needed && !confirm_firmware_update()) return;
    for (int n = 0; n < kDpiStages; ++n)
        if (auto* slider = findChild<QAbstractSlider*>(QStringLiteral("DPI_slider_%1").arg(n)))
            slider->setRange(0, kDpiSliderMax);
    protocol_->light().set_led_count(size_t(LedCount()));
    // The mouse lights itself; its frames here only feed the picture, which takes them
    // when it repaints: the thread itself need not wake for every frame.
    protocol_->light().set_min_frame_ms(device::LightThread::kMaxCatchUpTicks);
    reload_profile();
    refresh_page();
    protocol_->light().start_light_thread();
}

void CTarvexMouseDevice::show_device_status(int state) {
    CTarvexUSBDevice::show_device_status(state);
    // Every panel but the key panel shows what the profile file holds.
    if (state != 2) reload_profile();
    if (QWidget* status = findChild<QWidget*>(QStringLiteral("device_tishi_info"))) status->hide();
}

void CTarvexMouseDevice::reload_from_device() {
    protocol_->read_settings_block(MouseProfile());
    refresh_page();
}

int CTarvexMouseDevice::apply_light_settings() {
    if (CMouseProfiledata* profile = MouseProfile()) protocol_->apply_light_settings(*profile);
    return 1;
}

void CTarvexMouseDevice::refresh_light_preview() {
    // The light engine renders; the page shows its frame as of now. While the lighting is
    // synchronised across devices the sync thread sets the colours instead.
    if (Config().Pause() == 0) ShowLightFrame(protocol_->light().current_frame());
    CTarvexUSBDevice::refresh_light_preview();
}

void CTarvexMouseDevice::reload_profile() {
    CMouseProfiledata* profile = MouseProfile();
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

void CTarvexMouseDevice::restore_default_profile() {
    CMouseProfiledata* profile = MouseProfile();
    if (!profile) return;
    profile->load_profile(profile->default_profile_path());
    protocol_->take_profile(*profile);
    apply_light_settings();
    profile->save_profile();
    refresh_page();
}

int CTarvexMouseDevice::write_key_table() {
    return protocol_->write_current_keys(0);
}

int CTarvexMouseDevice::write_current_keys() {
    return protocol_->write_current_keys(0);
}

int CTarvexMouseDevice::write_macros() {
    return protocol_->write_macros(UserDataFolder());
}

int CTarvexMouseDevice::write_shoot_data() {
    return protocol_->write_shoot_data(UserDataFolder());
}

int CTarvexMouseDevice::write_settings(int, int, int, int, int) {
    // Every caller writes profile 0.
    return protocol_->write_settings(0);
}

void CTarvexMouseDevice::set_light_settings(uint32_t a, uint32_t b, uint32_t c) {
    CTarvexUSBDevice::set_light_settings(a, b, c);
    apply_light_settings();
    update_logo_tip();
}

void CTarvexMouseDevice::OnInputValue(int value) {
    // Input-report thread. The timer belongs to the interface thread, so it is started there.
    if (value == kSyncRequest) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (CDeviceOptionUI* entry = OptionEntry())
                    entry->StartTimer(kTimerReload, kReloadDelayMs);
            },
            Qt::QueuedConnection);
    } else if (value == kSyncCounterUsage) {
        int current = sync_counter_.load();
        while (!sync_counter_.compare_exchange_weak(current, (current + 1) % 4)) {
        }
    }
}

}  // namespace tellune::ui
