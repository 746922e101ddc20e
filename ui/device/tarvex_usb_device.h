#pragma once
// CTarvexUSBDevice: the common base of the four device controls. A device control is at
// once the device's page (built from its layout), the owner of its two command channels,
// the holder of its key and light buttons and LED frame, and the owner of its threads.
//
// Its 40 device operations are virtual, in a fixed order; the main window, the selector
// entry's timers and the editors call them without knowing the kind. Every operation on a
// closed channel does nothing (the channel answers 0), so a disconnected page is harmless.

#include <json/json.h>

#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/device/light_engine.h"
#include "core/hid/command_channel.h"
#include "core/hid/device_slots.h"
#include "core/profile/light_presets.h"
#include "ui/device/device_thread.h"

class QStackedWidget;

namespace tellune {
class CBasicProfiledata;
}

namespace tellune::ui {

class CDeviceKeyButtonUI;
class CDeviceOptionUI;
class CMpDevicePowerUI;
class CMainWnd;

// 4 bytes per LED: red | green << 8 | blue << 16 | level << 24.
inline constexpr uint32_t pack_led(uint8_t r, uint8_t g, uint8_t b, uint8_t level) {
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16 | uint32_t(level) << 24;
}

// The effects' counter, shared with the light engine.
using device::Step;

// The light settings the effects read.
struct LightParams {
    uint8_t level_index = 0;  // brightness level 0..4
    uint8_t direction = 0;
    uint8_t multi_colour = 0;
    uint8_t red = 0, green = 0, blue = 0;
    uint8_t spare[5] = {};
};
static_assert(sizeof(LightParams) == 11);

class CTarvexUSBDevice : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeatKeys = 126;
    static constexpr int kHeatHistory = 23;
    static constexpr int kHeatMarkKeys = 9;
    static constexpr int kInfoSize = 34;
    static constexpr int kNoLedPosition = 126;
    // The lighting panel's slider maxima: five brightness levels, five speeds.
    static constexpr int kLightLevelMax = 4;
    static constexpr int kLightSpeedMax = 4;

    CTarvexUSBDevice(std::shared_ptr<hid::HidBackend> backend, QWidget* parent = nullptr);
    ~CTarvexUSBDevice() override;

    virtual QString GetClass() const { return QStringLiteral("TarvexUSBDevice"); }

    // --- the device operations, in slot order ---
    virtual void BindPageControls();                                // 1
    virtual int apply_light_settings();                             // 2
    virtual void light_effect_blink();                              // 3
    virtual void light_effect_breathing();                          // 4
    virtual void light_effect_spectrum();                           // 5
    virtual void light_effect_static();                             // 6
    virtual void light_effect_wave();                               // 7
    virtual void light_effect_flow();                               // 8
    virtual void AllLedsOff();                                      // 9
    virtual void refresh_light_preview();                           // 10
    virtual void SetLedColour(int index, uint32_t colour);          // 11
    virtual uint32_t GetLedColour(int index) const;                 // 12
    virtual void connect_device();                                  // 13
    virtual void reload_from_device();                              // 14
    virtual void device_operation_15();                             // 15
    virtual void device_operation_16();                             // 16
    virtual void poll_device_status();                              // 17
    virtual void reload_profile();                                  // 18
    virtual void refresh_page();                                    // 19
    virtual void check_macro_keys();                                // 20
    virtual void restore_default_profile();                         // 21
    virtual int write_key_table();                                  // 22
    virtual int write_current_keys();                               // 23
    virtual int write_macros();                                     // 24
    virtual int write_settings(int a, int b, int c, int d, int e);  // 25
    virtual void load_light_names();                                // 26
    virtual void replace_map(const std::map<int, int>& map);        // 27
    virtual void key_heat_decay(int key, bool fast);                // 28
    virtual void key_heat_mark();                                   // 29
    virtual void key_heat_shift(bool forward);                      // 30
    virtual void key_heat_clear();                                  // 31
    virtual void show_device_status(int state);                     // 32
    virtual int GetDeviceStatus() const;                            // 33
    virtual void set_profile_paths();                               // 34
    virtual std::string profile_file_name() const;                  // 35
    virtual void save();                                            // 36
    virtual void SetDeviceIndex(int index);                         // 37
    virtual int GetDeviceIndex() const;                             // 38
    // Stores the light settings, also in the profile, which is saved.
    virtual void set_light_settings(uint32_t a, uint32_t b, uint32_t c);  // 39
    virtual void select_key(int index);                                   // 40

    // --- connection ---
    // Copies the slot; a slot of the configuration role also sets the kind.
    void Connect(const hid::DeviceSlot& slot);
    const hid::DeviceSlot& ConnectedSlot() const { return slot_; }
    // The secondary interface arrived: open the secondary channel on it and start the
    // input-report thread. False when it could not be opened.
    virtual bool AttachSecondary(const hid::DeviceSlot& slot);
    // It went away: stop the input-report thread, then close the channel.
    virtual void DetachSecondary();
    // Stops both threads; every subclass destructor calls it before its parts go away.
    void StopThreads();

    hid::CCommandChannel& Config() { return config_; }
    hid::CCommandChannel& Secondary() { return secondary_; }
    const hid::CCommandChannel& Config() const { return config_; }

    // --- settings from the page tables ---
    int Kind() const { return kind_; }
    int Role() const { return role_; }
    void SetKeyCount(int n);
    int KeyCount() const { return key_count_; }
    // Resizes the LED frame and lists and clears them.
    void SetLedCount(int n);
    int LedCount() const;
    void SetPageNumbers(int third, int fourth) {
        third_number_ = third;
        fourth_number_ = fourth;
    }
    int ThirdNumber() const { return third_number_; }
    int FourthNumber() const { return fourth_number_; }
    void SetLayoutFile(const QString& file) { layout_file_ = file; }
    QString LayoutFile() const { return layout_file_; }
    void SetKindName(const QString& name) { kind_name_ = name; }
    QString KindName() const { return kind_name_; }
    void SetModelText(const QString& text) { model_text_ = text; }
    void SetLightName(const QString& name) { light_name_ = name; }
    QString LightName() const { return light_name_; }
    void SetMainWindow(CMainWnd* wnd) { main_wnd_ = wnd; }
    CMainWnd* MainWindow() const { return main_wnd_; }
    void SetOptionEntry(CDeviceOptionUI* entry);
    CDeviceOptionUI* OptionEntry() const;
    void SetPowerWidget(CMpDevicePowerUI* widget);
    CMpDevicePowerUI* PowerWidget() const;

    virtual void SetLightOutput(bool on);
    bool IsLightOutputEnabled() const { return light_output_.load(); }
    bool SecondEnable() const { return second_enable_.load(); }
    void SetSecondEnable(bool on) { second_enable_ = on; }
    bool StatusPoll() const { return status_poll_.load(); }
    void SetStatusPoll(bool on) { status_poll_ = on; }
    int SelectedIndex() const { return selected_index_; }

    // --- buttons and frame ---
    CDeviceKeyButtonUI* KeyButton(int n) const;
    CDeviceKeyButtonUI* LightButton(int n) const;
    // The 3 device bytes per LED that refresh_light_preview computed last.
    std::vector<uint8_t> DeviceColourBytes() const;
    // The control repainted with every light frame (the device picture).
    QWidget* PreviewControl() const;
    // A position per LED; kNoLedPosition marks an LED slot the device lacks.
    void SetLedPositions(std::vector<int> positions);

    LightParams LightParameters() const;
    void SetLightParameters(const LightParams& params);
    uint8_t EffectStep() const;
    uint8_t EffectPhase() const;

    uint8_t KeyHeat(int key) const;
    void SetKeyHeat(int key, uint8_t value);
    std::array<uint8_t, kHeatHistory> HeatHistory() const;
    void SetHeatHistory(const std::array<uint8_t, kHeatHistory>& history);

    const std::map<int, int>& ThirdMap() const { return maps_[2]; }
    const std::array<uint32_t, 3>& LightSettingWords() const { return light_words_; }

    // --- paths ---
    // default data folder + kind name + ".Json".
    std::string DefaultProfilePath() const;
    // The user's data folder of this kind (created when missing), with a trailing '/'.
    std::string UserDataFolder() const;
    CBasicProfiledata* ProfileData() const { return profile_.get(); }

protected:
    // The page's lighting panel: the kind's modes, the slider maxima and the profile's light
    // settings. Nothing without a panel.
    void refresh_light_control(const std::vector<BuiltInLightName>& names, int brightness_max,
                               int speed_max);
    // Subclass construction: the kind, then the profile object, which gets the kind's
    // default profile path.
    void SetKind(int kind) { kind_ = kind; }
    // Makes `button` light button n as well (a device whose key buttons show its LEDs).
    void BindLightButton(int n, CDeviceKeyButtonUI* button);
    void SetProfileData(std::unique_ptr<CBasicProfiledata> profile);
    // The light engine's frame into the LEDs the picture shows.
    void ShowLightFrame(const std::vector<device::LedColour>& leds);
    // The LEDs as the picture shows them (set by the sync thread while synchronised).
    std::vector<device::LedColour> ShownLightFrame() const;
    // The input-report thread: debug line on exit, and what the first usage value means.
    virtual std::string InputThreadExitLine() const;
    virtual void OnInputValue(int value);
    // One read of the secondary interface; blocks without time-out until a report comes,
    // the channel is closed or the device goes.
    void InputThreadPass(DeviceThread& thread);
    // The shared slot-17 version: 6 status bytes from offset 0 to the power widget.
    void PollStatusBytes();

    DeviceThread light_thread_;
    DeviceThread input_thread_;
    std::recursive_mutex device_lock_a_;
    std::recursive_mutex device_lock_b_;
    std::array<Json::Value, 3> documents_;

private:
    QStackedWidget* function_switch();
    QStackedWidget* key_function_switch();
    uint8_t level_value() const;
    void fill_all(uint32_t colour);

    std::shared_ptr<hid::HidBackend> backend_;
    hid::CCommandChannel config_;
    hid::CCommandChannel secondary_;
    std::array<uint8_t, kInfoSize> info_{};
    QString page_name_;
    QString layout_file_;
    QString kind_name_;
    QString model_text_;
    QString light_name_;
    int kind_ = 0;
    int role_ = 0;
    int key_count_ = 0;
    int selected_index_ = -1;
    int device_status_ = 1;
    int third_number_ = 0;
    int fourth_number_ = -1;
    std::vector<QPointer<CDeviceKeyButtonUI>> keys_;
    std::vector<QPointer<CDeviceKeyButtonUI>> lights_;
    std::array<std::map<int, int>, 3> maps_;

    // The light thread writes the frame and heat map, the interface thread reads them.
    mutable std::mutex frame_mutex_;
    std::vector<uint32_t> frame_;
    std::vector<uint8_t> led_states_;
    std::vector<int> led_positions_;
    std::vector<uint8_t> device_bytes_;
    std::vector<uint32_t> preview_frame_;  // interface thread only
    LightParams light_params_;
    std::array<uint32_t, 3> light_words_{};

    std::atomic<bool> light_output_{true};
    std::atomic<bool> second_enable_{true};
    uint8_t effect_step_ = 0;
    uint8_t effect_phase_ = 0;

    mutable std::mutex heat_mutex_;
    std::array<uint8_t, kHeatKeys> heat_{};
    std::array<uint8_t, kHeatHistory> heat_history_{};
    uint8_t heat_spare_ = 0;

    std::atomic<bool> status_poll_{false};
    hid::DeviceSlot slot_;
    int device_index_ = 0;
    CMainWnd* main_wnd_ = nullptr;
    QPointer<CDeviceOptionUI> entry_;
    QPointer<CMpDevicePowerUI> power_;
    QPointer<QStackedWidget> function_switch_;
    QPointer<QStackedWidget> key_function_switch_;
    std::unique_ptr<CBasicProfiledata> profile_;
};

}  // namespace tellune::ui
