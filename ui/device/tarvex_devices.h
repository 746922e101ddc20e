#pragma once
// The four device controls. Each sets its kind and builds its profile data object on the
// default profile of its kind; the product behaviour (settings pages, protocol calls,
// light threads) overrides the base operations in the product's own files.

#include <atomic>
#include <memory>

#include "ui/device/hs6533_device.h"
#include "ui/device/mouse_device.h"
#include "ui/device/mouse_pad_device.h"
#include "ui/device/tarvex_usb_device.h"

namespace tellune {
class CKeyboardProfiledata;
}  // namespace tellune

namespace tellune::ui {

class CTarvexKeyboardDevice : public CTarvexUSBDevice {
    Q_OBJECT
public:
    explicit CTarvexKeyboardDevice(std::shared_ptr<hid::HidBackend> backend,
                                   QWidget* parent = nullptr);
    ~CTarvexKeyboardDevice() override;
    QString GetClass() const override { return QStringLiteral("TarvexKeyboardDevice"); }
    // The shared status poll: battery and link bytes to the power widget.
    void poll_device_status() override { PollStatusBytes(); }
    CKeyboardProfiledata* KeyboardProfile() const;

protected:
    std::string InputThreadExitLine() const override { return "KB设备同步线程设定退出"; }
};

// Registers the four device control tags (and the selector's two controls) with the control
// factory; the controls they create talk to `backend`.
void register_device_controls(std::shared_ptr<hid::HidBackend> backend);
void unregister_device_controls();

}  // namespace tellune::ui
