#include "ui/device/tarvex_devices.h"

#include <QMetaObject>

#include "core/profile/device_folders.h"
#include "core/profile/profile_data.h"
#include "ui/app/control_factory.h"
#include "ui/app/device_option.h"
#include "ui/controls/custom_controls.h"

namespace tellune::ui {
namespace {

template <class Profile>
std::unique_ptr<CBasicProfiledata> make_profile(int kind) {
    auto profile = std::make_unique<Profile>();
    profile->set_default_profile_path(default_profile_file(kind));
    return profile;
}

}  // namespace

CTarvexMouseDevice::CTarvexMouseDevice(std::shared_ptr<hid::HidBackend> backend, QWidget* parent)
    : CTarvexUSBDevice(std::move(backend), parent) {
    SetKind(kDeviceMouse);
    SetProfileData(make_profile<CMouseProfiledata>(kDeviceMouse));
}

CTarvexMouseDevice::~CTarvexMouseDevice() {
    StopThreads();
}

CMouseProfiledata* CTarvexMouseDevice::MouseProfile() const {
    return static_cast<CMouseProfiledata*>(ProfileData());
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

CTarvexKeyboardDevice::CTarvexKeyboardDevice(std::shared_ptr<hid::HidBackend> backend,
                                             QWidget* parent)
    : CTarvexUSBDevice(std::move(backend), parent) {
    SetKind(kDeviceKeyboard);
    SetProfileData(make_profile<CKeyboardProfiledata>(kDeviceKeyboard));
}

CTarvexKeyboardDevice::~CTarvexKeyboardDevice() {
    StopThreads();
}

CKeyboardProfiledata* CTarvexKeyboardDevice::KeyboardProfile() const {
    return static_cast<CKeyboardProfiledata*>(ProfileData());
}

CTarvexMousePadDevice::CTarvexMousePadDevice(std::shared_ptr<hid::HidBackend> backend,
                                             QWidget* parent)
    : CTarvexUSBDevice(std::move(backend), parent) {
    SetKind(kDeviceMousePad);
    SetProfileData(make_profile<CBasicProfiledata>(kDeviceMousePad));
}

CTarvexMousePadDevice::~CTarvexMousePadDevice() {
    StopThreads();
}

CTarvexHS6533Device::CTarvexHS6533Device(std::shared_ptr<hid::HidBackend> backend, QWidget* parent)
    : CTarvexUSBDevice(std::move(backend), parent) {
    SetKind(kDeviceHeadset);
    SetProfileData(make_profile<CHs6533Profiledata>(kDeviceHeadset));
}

CTarvexHS6533Device::~CTarvexHS6533Device() {
    StopThreads();
}

CHs6533Profiledata* CTarvexHS6533Device::HeadsetProfile() const {
    return static_cast<CHs6533Profiledata*>(ProfileData());
}

void register_device_controls(std::shared_ptr<hid::HidBackend> backend) {
    register_custom_controls();
    ControlFactory::register_tag(CDeviceOptionUI::kClassName,
                                 [](QWidget* parent, const QString&, ControlFactory&) {
                                     return new CDeviceOptionUI(parent);
                                 });
    ControlFactory::register_tag(CMpDevicePowerUI::kClassName,
                                 [](QWidget* parent, const QString&, ControlFactory&) {
                                     return new CMpDevicePowerUI(parent);
                                 });
    ControlFactory::register_tag("TarvexMouseDevice",
                                 [backend](QWidget* parent, const QString&, ControlFactory&) {
                                     return new CTarvexMouseDevice(backend, parent);
                                 });
    ControlFactory::register_tag("TarvexKeyboardDevice",
                                 [backend](QWidget* parent, const QString&, ControlFactory&) {
                                     return new CTarvexKeyboardDevice(backend, parent);
                                 });
    ControlFactory::register_tag("TarvexMousePadDevice",
                                 [backend](QWidget* parent, const QString&, ControlFactory&) {
                                     return new CTarvexMousePadDevice(backend, parent);
                                 });
    ControlFactory::register_tag("TarvexHS6533Device",
                                 [backend](QWidget* parent, const QString&, ControlFactory&) {
                                     return new CTarvexHS6533Device(backend, parent);
                                 });
}

void unregister_device_controls() {
    unregister_custom_controls();
    for (const char* tag :
         {CDeviceOptionUI::kClassName, CMpDevicePowerUI::kClassName, "TarvexMouseDevice",
          "TarvexKeyboardDevice", "TarvexMousePadDevice", "TarvexHS6533Device"})
        ControlFactory::unregister_tag(QString::fromLatin1(tag));
}

}  // namespace tellune::ui
