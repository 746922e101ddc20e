#pragma once
// CTarvexMouseDevice: the mouse's device control and its settings page. The protocol half
// (mouse_device.cpp) connects, loads profiles and writes the mouse; the page half
// (mouse_page.cpp) fills the page's controls from the settings and turns the user's changes
// into stored, saved and written settings.
//
// Every page setter and getter does nothing (getters return 0) when the layout lacks its
// control, and setters never raise notifications, so filling the page writes nothing.

#include <QPointer>
#include <QStringList>
#include <array>
#include <atomic>
#include <memory>
#include <vector>

#include "core/device/mouse_protocol.h"
#include "core/profile/light_presets.h"
#include "ui/device/keyed_device.h"

class QAbstractButton;
class QAbstractSlider;
class QComboBox;
class QLineEdit;
class QListWidget;
class QStackedWidget;

namespace tellune {
class CMouseProfiledata;
}

namespace tellune::ui {

class CMainWnd;

class CTarvexMouseDevice : public CKeyedUSBDevice {
    Q_OBJECT
public:
    // Usages the mouse sends on its notification interface.
    static constexpr int kSyncRequest = 0x0401;  // add and synchronise: reload the settings
    static constexpr int kSyncCounterUsage = 0x0404;
    static constexpr int kReloadDelayMs = 500;
    static constexpr int kDpiStages = 8;
    static constexpr int kDpiSliderMax = 139;
    static constexpr int kReportRates = 5;

    explicit CTarvexMouseDevice(std::shared_ptr<hid::HidBackend> backend,
                                QWidget* parent = nullptr);
    ~CTarvexMouseDevice() override;
    QString GetClass() const override { return QStringLiteral("TarvexMouseDevice"); }

    // --- device operations ---
    void BindPageControls() override;
    int apply_light_settings() override;
    void refresh_light_preview() override;
    void connect_device() override;
    void reload_from_device() override;
    // The shared status poll: battery and link bytes to the power widget.
    void poll_device_status() override { PollStatusBytes(); }
    void reload_profile() override;
    void refresh_page() override;
    void restore_default_profile() override;
    int write_key_table() override;
    int write_current_keys() override;
    int write_macros() override;
    // The four recoil patterns of the data folder; 1 when the mouse took them.
    int write_shoot_data();
    int write_settings(int a, int b, int c, int d, int e) override;
    void load_light_names() override;
    void show_device_status(int state) override;
    void set_light_settings(uint32_t a, uint32_t b, uint32_t c) override;
    // Shows key `index` (a button of the key list) in the key panel and marks it on the picture.
    void select_key(int index) override;

    CMouseProfiledata* MouseProfile() const;
    device::MouseProtocol& Protocol() { return *protocol_; }
    int SyncCounter() const { return sync_counter_.load(); }

    // --- page setters and getters ---
    // Slider of stage n at `step`, its edit showing the DPI, the slider images by activity.
    void set_dpi_slider(int n, int step);
    int dpi_slider(int n);
    // Only the edit text (live while dragging).
    void show_dpi_value(int n, int step);
    // The typed DPI of stage n, clamped to 100..16000 (empty counts as 0, so 100).
    int dpi_edit_value(int n);
    void enable_stage_row(int n, bool on);
    bool stage_check(int n);
    void select_stage(int n);
    // Out of 0..4 selects option 0.
    void select_report_rate(int n);
    int report_rate();
    void set_pointer_speed(int position);
    int pointer_speed();
    void set_pointer_precision(bool on);
    bool pointer_precision();
    // Also shows the lines per notch beside the slider ("scroll_lines_value").
    void set_scroll(bool whole_page, int lines_position);
    // The value beside the lines slider: position + 1 lines, or none for a whole page.
    void show_scroll_lines();
    bool scroll_page();
    int scroll_speed();
    // Returns the double-click time in milliseconds for `position`.
    int set_double_click(int position);
    int double_click();
    void set_lift(int index);
    int lift();
    void select_sub_page(int n);
    // Key list rows and the logo's tool tip, from the current settings.
    void update_logo_tip();
    // The lists load_light_names fills (and the macro names).
    const std::vector<BuiltInLightName>& BuiltInLightNames() const { return built_in_names_; }
    const QStringList& AreaLightNames() const { return area_names_; }
    const QStringList& CustomLightNames() const { return custom_names_; }

    // --- what the main window's routes call: store, save and (for the device's settings)
    // write. `n` is the index of the control that notified. ---
    void on_dpi_slider(int n);
    void on_dpi_edit(int n);
    void on_stage_check(int n);
    void on_stage_model(int n);
    void on_report_rate(int n);
    void on_lift();
    void on_pointer_speed();
    void on_pointer_precision();
    void on_scroll_page();
    void on_scroll_speed();
    void on_double_click();

protected:
    std::string InputThreadExitLine() const override { return "MS设备同步线程设定退出"; }
    std::vector<KeyAssignmentRecord>& Keys() override { return protocol_->settings().keys; }
    QString key_name(int index) const override;
    void OnInputValue(int value) override;

private:
    // Asks about old firmware; false when the user declined (the program then ends).
    bool confirm_firmware_update();
    // The control named prefix + n below the page, found once.
    template <class T>
    T* indexed(const char* prefix, int n);
    template <class T>
    T* named(const char* name);
    void set_slider_images(int n, bool active);
    // Stage n exists in the settings, growing the list when `grow`.
    DpiStageRecord* stage(int n, bool grow);
    void store_stages();
    void store_system_words();
    void save_and_write(bool write);

    std::atomic<int> sync_counter_{0};
    std::vector<BuiltInLightName> built_in_names_;
    QStringList area_names_;
    QStringList custom_names_;
    QHash<QString, QPointer<QWidget>> controls_;
    QPointer<CDeviceKeyButtonUI> logo_;
    bool page_bound_ = false;
    // After the channels (base members): stopped and destroyed before them.
    std::unique_ptr<device::MouseProtocol> protocol_;
};

// Adds the mouse page's routes to the main window: each acts on the current page when it
// is a mouse page.
void register_mouse_page_routes(CMainWnd& wnd);

}  // namespace tellune::ui
