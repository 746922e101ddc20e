#pragma once
// CTarvexKeyboardDevice: the keyboard's device control and its settings page. The protocol
// half (keyboard_device.cpp) connects, loads profiles, writes the keyboard, streams the light
// frames and takes the keyboard's key reports; the page half (keyboard_page.cpp) fills the
// page's controls from the settings and turns the user's changes into stored, saved and
// written settings, custom key colours included.
//
// The key buttons "key_N" on the picture double as the LED preview of key N. Every page
// setter and getter does nothing (getters return 0) when the layout lacks its control, and
// setters never raise notifications, so filling the page writes nothing.

#include <QHash>
#include <QPointer>
#include <QStringList>
#include <atomic>
#include <memory>
#include <vector>

#include "core/device/keyboard_protocol.h"
#include "core/profile/light_presets.h"
#include "ui/device/keyed_device.h"

namespace tellune {
class CKeyboardProfiledata;
}

namespace tellune::ui {

class CMainWnd;

class CTarvexKeyboardDevice : public CKeyedUSBDevice {
    Q_OBJECT
public:
    // Usages the keyboard sends on its notification interface besides the key reports.
    static constexpr int kSyncRequest = 0x0401;  // reload the settings
    static constexpr int kSyncIgnored = 0x0404;
    static constexpr int kReloadDelayMs = 100;
    static constexpr int kReportRates = 4;
    static constexpr int kRepeatDelays = 4;
    static constexpr int kRepeatDelayStepMs = 250;
    static constexpr int kFnKey = device::kKeyboardFnKey;  // disabled on the key panel

    explicit CTarvexKeyboardDevice(std::shared_ptr<hid::HidBackend> backend,
                                   QWidget* parent = nullptr);
    ~CTarvexKeyboardDevice() override;
    QString GetClass() const override { return QStringLiteral("TarvexKeyboardDevice"); }

    // --- device operations ---
    void BindPageControls() override;
    int apply_light_settings() override;
    // Paints the key buttons from the light engine's frame (or the synchronised light) and
    // hands the frame to the keyboard.
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
    int write_settings(int a, int b, int c, int d, int e) override;
    void load_light_names() override;
    void show_device_status(int state) override;
    void set_light_settings(uint32_t a, uint32_t b, uint32_t c) override;
    // Shows key `index` in the key panel and marks it on the picture; the Fn key and keys the
    // keyboard lacks hide the panel.
    void select_key(int index) override;

    CKeyboardProfiledata* KeyboardProfile() const;
    device::KeyboardProtocol& Protocol() { return *protocol_; }

    // --- custom key colours (light mode 8 only; false otherwise) ---
    // Gives `keys` the chosen colour (Red, Green, Blue of the light settings), sends the
    // selected group's table to the keyboard and stores the colours in the profile.
    bool store_custom_colours(const std::vector<int>& keys);
    bool store_custom_colour(int key) { return store_custom_colours({key}); }
    // Shows and sends the colours of `group` and makes it the selected group.
    void select_custom_group(int group);
    int custom_group() const;

    // --- page setters and getters ---
    // Out of 0..3 selects option 0.
    void select_report_rate(int n);
    int report_rate();
    void set_win_lock(bool on);
    bool win_lock();
    void set_wflag(bool on);
    bool wflag();
    void set_key6_flag(bool on);
    bool key6_flag();
    void set_repeat_rate(int position);
    int repeat_rate();
    // Out of 0..3 selects option 0; the label shows 250·(n + 1) ms.
    void select_repeat_delay(int n);
    int repeat_delay();
    void clear_typing_test();
    // Whether the key panel may change key `index`: a key the keyboard has, other than Fn.
    bool key_assignable(int index) const override;
    // The keys the picture shows (the board's keys), by key index.
    bool key_on_picture(int key) const;

    // --- what the main window's routes call ---
    void on_report_rate(int n);
    void on_win_lock();
    void on_wflag();
    void on_key6_flag();
    void on_repeat_delay(int n);
    void on_repeat_rate();
    void on_reset_repeat();
    // A key button clicked: in mode 8, on the lighting panel, it takes the colour. False
    // when the click is not for the lighting (the key assignment then has it).
    bool on_key_clicked(int key);
    // The rectangle selection on the picture ended: the selected keys take the colour.
    bool on_selection_end();

protected:
    std::string InputThreadExitLine() const override { return "KB设备同步线程设定退出"; }
    std::vector<KeyAssignmentRecord>& Keys() override { return protocol_->settings().keys; }
    // A key exists when the board has it and, once connected, the keyboard found it.
    bool key_listed(int index) const override;
    QString key_name(int index) const override;
    void OnInputValue(int value) override;

private:
    template <class T>
    T* named(const QString& name);
    template <class T>
    T* indexed(const char* prefix, int n);
    void store_system_words();
    void save_and_write(bool write);
    bool picking_colours() const;
    void fill_light_lists();
    // The hint on picking key colours shows in the custom-colour mode only.
    void update_custom_hint();

    std::vector<BuiltInLightName> built_in_names_;
    QHash<QString, QPointer<QWidget>> controls_;
    std::vector<device::LedColour> frame_;  // interface thread only
    bool page_bound_ = false;
    // After the channels (base members): stopped and destroyed before them.
    std::unique_ptr<device::KeyboardProtocol> protocol_;
};

// Adds the keyboard page's routes to the main window: each acts on the current page when it
// is a keyboard page.
void register_keyboard_page_routes(CMainWnd& wnd);

}  // namespace tellune::ui
