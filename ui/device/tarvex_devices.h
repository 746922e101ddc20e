#pragma once
// The four device controls. Each sets its kind and builds its profile data object on the
// default profile of its kind; the product behaviour (settings pages, protocol calls,
// light threads) overrides the base operations in the product's own files.

#include <QStringList>
#include <atomic>
#include <memory>

#include "ui/device/mouse_device.h"
#include "ui/device/tarvex_usb_device.h"

namespace tellune {
class CKeyboardProfiledata;
class CHs6533Profiledata;
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

class CTarvexMousePadDevice : public CTarvexUSBDevice {
    Q_OBJECT
public:
    explicit CTarvexMousePadDevice(std::shared_ptr<hid::HidBackend> backend,
                                   QWidget* parent = nullptr);
    ~CTarvexMousePadDevice() override;
    QString GetClass() const override { return QStringLiteral("TarvexMousePadDevice"); }
    void BindPageControls() override;
    // The names of "pomex_macro.config" in the device's folder, in order (normally none).
    void load_light_names() override;
    const QStringList& MacroNames() const { return macro_names_; }
    // The shared status poll: battery and link bytes to the power widget.
    void poll_device_status() override { PollStatusBytes(); }

protected:
    std::string InputThreadExitLine() const override { return "MP设备同步线程设定退出"; }

private:
    QStringList macro_names_;
};

class CTarvexHS6533Device : public CTarvexUSBDevice {
    Q_OBJECT
public:
    explicit CTarvexHS6533Device(std::shared_ptr<hid::HidBackend> backend,
                                 QWidget* parent = nullptr);
    ~CTarvexHS6533Device() override;
    QString GetClass() const override { return QStringLiteral("TarvexHS6533Device"); }
    void BindPageControls() override;
    // The names of "pomex_macro.config" in the device's folder, in order (normally none).
    void load_light_names() override;
    const QStringList& MacroNames() const { return macro_names_; }
    // The shared status poll: battery and link bytes to the power widget.
    void poll_device_status() override { PollStatusBytes(); }
    CHs6533Profiledata* HeadsetProfile() const;

protected:
    std::string InputThreadExitLine() const override { return "HD设备同步线程设定退出"; }

private:
    QStringList macro_names_;
};

// Registers the four device control tags (and the selector's two controls) with the control
// factory; the controls they create talk to `backend`.
void register_device_controls(std::shared_ptr<hid::HidBackend> backend);
void unregister_device_controls();

}  // namespace tellune::ui
