#pragma once
// The four device controls. Each sets its kind and builds its profile data object on the
// default profile of its kind; the product behaviour (settings pages, protocol calls,
// light threads) overrides the base operations in the product's own files.

#include <atomic>
#include <memory>

#include "core/device/mouse_protocol.h"
#include "ui/device/tarvex_usb_device.h"

namespace tellune {
class CMouseProfiledata;
class CKeyboardProfiledata;
class CHs6533Profiledata;
}  // namespace tellune

namespace tellune::ui {

class CTarvexMouseDevice : public CTarvexUSBDevice {
    Q_OBJECT
public:
    // Usages the mouse sends on its notification interface.
    static constexpr int kSyncRequest = 0x0401;  // add and synchronise: reload the settings
    static constexpr int kSyncCounterUsage = 0x0404;
    static constexpr int kReloadDelayMs = 500;
    static constexpr int kDpiStages = 8;
    static constexpr int kDpiSliderMax = 139;

    explicit CTarvexMouseDevice(std::shared_ptr<hid::HidBackend> backend,
                                QWidget* parent = nullptr);
    ~CTarvexMouseDevice() override;
    QString GetClass() const override { return QStringLiteral("TarvexMouseDevice"); }

    int apply_light_settings() override;
    void refresh_light_preview() override;
    void connect_device() override;
    void reload_from_device() override;
    // The shared status poll: battery and link bytes to the power widget.
    void poll_device_status() override { PollStatusBytes(); }
    void reload_profile() override;
    void check_macro_keys() override;
    void restore_default_profile() override;
    int write_key_table() override;
    int write_current_keys() override;
    int write_macros() override;
    int write_settings(int a, int b, int c, int d, int e) override;
    void set_profile_paths() override;
    std::string profile_file_name() const override;
    void save() override;
    void set_light_settings(uint32_t a, uint32_t b, uint32_t c) override;

    CMouseProfiledata* MouseProfile() const;
    device::MouseProtocol& Protocol() { return *protocol_; }
    int SyncCounter() const { return sync_counter_.load(); }

protected:
    std::string InputThreadExitLine() const override { return "MS设备同步线程设定退出"; }
    void OnInputValue(int value) override;

private:
    // Asks about old firmware; false when the user declined (the program then ends).
    bool confirm_firmware_update();

    std::atomic<int> sync_counter_{0};
    // After the channels (base members): stopped and destroyed before them.
    std::unique_ptr<device::MouseProtocol> protocol_;
};

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
    // The shared status poll: battery and link bytes to the power widget.
    void poll_device_status() override { PollStatusBytes(); }

protected:
    std::string InputThreadExitLine() const override { return "MP设备同步线程设定退出"; }
};

class CTarvexHS6533Device : public CTarvexUSBDevice {
    Q_OBJECT
public:
    explicit CTarvexHS6533Device(std::shared_ptr<hid::HidBackend> backend,
                                 QWidget* parent = nullptr);
    ~CTarvexHS6533Device() override;
    QString GetClass() const override { return QStringLiteral("TarvexHS6533Device"); }
    // The shared status poll: battery and link bytes to the power widget.
    void poll_device_status() override { PollStatusBytes(); }
    CHs6533Profiledata* HeadsetProfile() const;

protected:
    std::string InputThreadExitLine() const override { return "HD设备同步线程设定退出"; }
};

// Registers the four device control tags (and the selector's two controls) with the control
// factory; the controls they create talk to `backend`.
void register_device_controls(std::shared_ptr<hid::HidBackend> backend);
void unregister_device_controls();

}  // namespace tellune::ui
