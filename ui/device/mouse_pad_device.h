#pragma once
// CTarvexMousePadDevice: the lit mouse pad's device control and page. The pad lights itself
// from its settings block; the page's picture ("mousepad_device_key_light") follows the
// block's mode through the light engine. Lighting only: no keys, macros or DPI.

#include <QStringList>
#include <memory>

#include "core/device/pad_protocol.h"
#include "ui/device/tarvex_usb_device.h"

namespace tellune::ui {

class CTarvexMousePadDevice : public CTarvexUSBDevice {
    Q_OBJECT
public:
    // The pad's request for synchronisation on its notification interface.
    static constexpr int kSyncRequest = 0x0401;
    static constexpr int kReloadDelayMs = 500;

    explicit CTarvexMousePadDevice(std::shared_ptr<hid::HidBackend> backend,
                                   QWidget* parent = nullptr);
    ~CTarvexMousePadDevice() override;
    QString GetClass() const override { return QStringLiteral("TarvexMousePadDevice"); }

    void BindPageControls() override;
    // The names of "pomex_macro.config" in the device's folder, in order (normally none).
    void load_light_names() override;
    const QStringList& MacroNames() const { return macro_names_; }

    int apply_light_settings() override;
    void refresh_light_preview() override;
    void connect_device() override;
    void reload_from_device() override;
    // The shared status poll: battery, link and the phone on the pad to the power widget.
    void poll_device_status() override { PollStatusBytes(); }
    void reload_profile() override;
    void restore_default_profile() override;
    int write_settings(int a, int b, int c, int d, int e) override;
    void key_heat_mark() override;
    void set_light_settings(uint32_t a, uint32_t b, uint32_t c) override;

    device::PadProtocol& Protocol() { return *protocol_; }

protected:
    std::string InputThreadExitLine() const override { return "MP设备同步线程设定退出"; }
    void OnInputValue(int value) override;

private:
    QStringList macro_names_;
    // After the channels (base members): stopped and destroyed before them.
    std::unique_ptr<device::PadProtocol> protocol_;
};

}  // namespace tellune::ui
