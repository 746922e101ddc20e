#pragma once
// CTarvexHS6533Device: the headset's device control and page. Its lights go out as output
// reports of its own (core/device/headset_protocol.h); its audio settings go through the audio
// library (core/audio/headset_audio.h) and are shown on the voice and magic voice pages.
//
// The audio library is loaded when the page is bound; it is started (initialised, its devices
// chosen, every feature given a value) at the first connection that finds the headset's
// sound card, and the state is read from it at every connection.

#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

#include "core/audio/audio_library.h"
#include "core/audio/headset_audio.h"
#include "core/device/headset_protocol.h"
#include "ui/device/tarvex_usb_device.h"

namespace tellune {
class CHs6533Profiledata;
}

namespace tellune::ui {

class CMainWnd;
class CMagicControlUI;
class CVoice6533ControlUI;

class CTarvexHS6533Device : public CTarvexUSBDevice {
    Q_OBJECT
public:
    // Window messages to the main window: the light record index read, the power bytes read
    // (first parameter: byte 4).
    static constexpr int kMsgLightIndex = 3328;
    static constexpr int kMsgPower = 3329;

    // A message box: (text, whether it is a text id).
    using MessageHandler = std::function<void(const QString& text, bool text_id)>;

    explicit CTarvexHS6533Device(std::shared_ptr<hid::HidBackend> backend,
                                 QWidget* parent = nullptr);
    ~CTarvexHS6533Device() override;
    QString GetClass() const override { return QStringLiteral("TarvexHS6533Device"); }

    // --- device operations ---
    void BindPageControls() override;
    int apply_light_settings() override;
    void refresh_light_preview() override;
    void connect_device() override;
    void reload_from_device() override;
    void poll_device_status() override;
    void reload_profile() override;
    void refresh_page() override;
    void restore_default_profile() override;
    // The light record at record index `record`; after a change of profile also the audio
    // settings the profile holds.
    int write_settings(int record, int b, int c, int d, int e) override;
    void key_heat_mark() override;
    void set_light_settings(uint32_t a, uint32_t b, uint32_t c) override;
    void SetLightOutput(bool on) override;
    // The names of "pomex_macro.config" in the device's folder, in order (normally none).
    void load_light_names() override;
    const QStringList& MacroNames() const { return macro_names_; }

    CHs6533Profiledata* HeadsetProfile() const;
    device::HeadsetProtocol& Protocol() { return *protocol_; }
    audio::HeadsetAudio& Audio() { return *audio_; }
    audio::AudioLibrary& Library() { return library_; }
    CVoice6533ControlUI* VoicePage() const;
    CMagicControlUI* MagicPage() const;
    void set_message_handler(MessageHandler handler) { message_ = std::move(handler); }

    // --- what the main window's routes call ---
    void on_equaliser_option(int n);
    void on_band_slider(int i);
    void on_user_equaliser_selected();
    void on_save_user_equaliser();
    void on_delete_user_equaliser();
    void on_mic_slider();
    void on_mic_option();
    void on_monitor_slider();
    void on_monitor_option();
    void on_magic_option();
    void on_voice_option(int n);

    // Shows the audio state on the voice and magic voice pages.
    void refresh_voice_pages();

private:
    void load_library();
    void show_bands();

    audio::AudioLibrary library_;
    std::unique_ptr<audio::HeadsetAudio> audio_;
    MessageHandler message_;
    QStringList macro_names_;
    QPointer<CVoice6533ControlUI> voice_;
    QPointer<CMagicControlUI> magic_;
    bool bound_ = false;
    bool audio_pending_ = false;  // a profile was loaded whose audio settings are not applied
    // After the channels (base members): stopped and destroyed before them.
    std::unique_ptr<device::HeadsetProtocol> protocol_;
};

// Adds the voice and magic voice pages' routes to the main window: each acts on the current
// page when it is a headset page. Also the main window's handlers of 3328 and 3329.
void register_headset_page_routes(CMainWnd& wnd);

}  // namespace tellune::ui
