#include "ui/device/tarvex_devices.h"

#include <QAbstractSlider>
#include <QFileInfo>
#include <QMetaObject>
#include <QProcess>
#include <QThread>

#include "core/device/macro_image.h"
#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "core/profile/profile_data.h"
#include "ui/app/control_factory.h"
#include "ui/app/device_option.h"
#include "ui/app/main_wnd.h"
#include "ui/app/msg_wnd.h"
#include "ui/controls/custom_controls.h"
#include "ui/editors/voice_controls_ui.h"
#include "ui/profile/device_profile_ui.h"
#include "ui/profile/profile_bar.h"

namespace tellune::ui {

CTarvexKeyboardDevice::CTarvexKeyboardDevice(std::shared_ptr<hid::HidBackend> backend,
                                             QWidget* parent)
    : CTarvexUSBDevice(std::move(backend), parent) {
    SetKind(kDeviceKeyboard);
    SetProfileData(std::make_unique<CKeyboardProfiledata>());
}

CTarvexKeyboardDevice::~CTarvexKeyboardDevice() {
    StopThreads();
}

CKeyboardProfiledata* CTarvexKeyboardDevice::KeyboardProfile() const {
    return static_cast<CKeyboardProfiledata*>(ProfileData());
}

void register_device_controls(std::shared_ptr<hid::HidBackend> backend) {
    register_custom_controls();
    register_voice_controls();
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
    unregister_voice_controls();
    for (const char* tag :
         {CDeviceOptionUI::kClassName, CMpDevicePowerUI::kClassName, "TarvexMouseDevice",
          "TarvexKeyboardDevice", "TarvexMousePadDevice", "TarvexHS6533Device"})
        ControlFactory::unregister_tag(QString::fromLatin1(tag));
}

}  // namespace tellune::ui
