#include "ui/device/hs6533_device.h"

#include <QAbstractButton>

#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "core/profile/profile_data.h"
#include "ui/app/app_options.h"
#include "ui/app/device_option.h"
#include "ui/app/main_wnd.h"
#include "ui/app/msg_wnd.h"
#include "ui/editors/voice_controls_ui.h"
#include "ui/macro/macro_names.h"

namespace tellune::ui {

namespace {

CTarvexHS6533Device* headset_page(CMainWnd& wnd) {
    return qobject_cast<CTarvexHS6533Device*>(wnd.current_page());
}

std::string library_path() {
    const std::string& chosen = app_options().audio_library;
    if (chosen.empty()) return audio::sdk_library_path(audio::kAlsaLibraryName);
    if (chosen.find('/') != std::string::npos) return chosen;
    return audio::sdk_library_path(chosen);
}

}  // namespace

CTarvexHS6533Device::CTarvexHS6533Device(std::shared_ptr<hid::HidBackend> backend, QWidget* parent)
    : CTarvexUSBDevice(std::move(backend), parent),
      audio_(std::make_unique<audio::HeadsetAudio>(library_,
                                                   [this](const std::string& text) {
                                                       if (message_)
                                                           message_(QString::fromStdString(text),
                                                                    false);
                                                   })),
      message_([this](const QString& text, bool text_id) {
          ShowMessage(window(), QString(), text, 96, text_id, 0);
      }),
      protocol_(std::make_unique<device::HeadsetProtocol>(Config())) {
    SetKind(kDeviceHeadset);
    SetProfileData(std::make_unique<CHs6533Profiledata>());
    SetStatusPoll(true);
}

CTarvexHS6533Device::~CTarvexHS6533Device() {
    StopThreads();
    protocol_->stop_lights();
}

CHs6533Profiledata* CTarvexHS6533Device::HeadsetProfile() const {
    return static_cast<CHs6533Profiledata*>(ProfileData());
}

CVoice6533ControlUI* CTarvexHS6533Device::VoicePage() const {
    return voice_;
}

CMagicControlUI* CTarvexHS6533Device::MagicPage() const {
    return magic_;
}

void CTarvexHS6533Device::load_library() {
    const std::string path = library_path();
    if (!library_.load(path)) debug_printf("耳机音频库不可用：%s", path.c_str());
}

// --- device operations ---

void CTarvexHS6533Device::BindPageControls() {
    CTarvexUSBDevice::BindPageControls();
    load_light_names();
    if (bound_) return;
    bound_ = true;
    voice_ = findChild<CVoice6533ControlUI*>();
    magic_ = findChild<CMagicControlUI*>();
    load_library();
    refresh_voice_pages();
}

void CTarvexHS6533Device::load_light_names() {
    macro_names_ = read_macro_names(UserDataFolder() + macro::kPadLibraryFileName);
}

void CTarvexHS6533Device::connect_device() {
    if (!Config().IsOpen()) return;
    protocol_->stop_lights();
    protocol_->light().set_led_count(size_t(LedCount()));
    protocol_->sender().set_output_enabled(IsLightOutputEnabled());
    reload_profile();
    // What the library holds now counts over the profile.
    audio_->start_up();
    audio_pending_ = false;
    refresh_page();
    protocol_->start_lights();
    poll_device_status();
}

void CTarvexHS6533Device::reload_from_device() {
    int index = 0;
    protocol_->read_light_record(index);
    if (CMainWnd* wnd = MainWindow()) wnd->post_message(kMsgLightIndex, index);
}

void CTarvexHS6533Device::poll_device_status() {
    std::array<uint8_t, device::kPowerSize> power{};
    if (protocol_->read_power(power) != 1) return;
    if (CMpDevicePowerUI* widget = PowerWidget()) widget->ShowStatus(power.data(), power.size());
    if (CMainWnd* wnd = MainWindow()) wnd->post_message(kMsgPower, power[4]);
}

int CTarvexHS6533Device::apply_light_settings() {
    CBasicProfiledata* profile = ProfileData();
    if (!profile) return 0;
    protocol_->apply_light_settings(profile->light_settings());
    return 1;
}

void CTarvexHS6533Device::refresh_light_preview() {
    // The light engine renders; while the lighting is synchronised across devices the sync
    // thread sets the colours instead. Either way they go to the headset from here, one
    // frame per preview period, through the sender (never blocking this thread).
    if (Config().Pause() == 0) ShowLightFrame(protocol_->light().current_frame());
    protocol_->sender().post(ShownLightFrame());
    CTarvexUSBDevice::refresh_light_preview();
}

void CTarvexHS6533Device::reload_profile() {
    CHs6533Profiledata* profile = HeadsetProfile();
    if (!profile) return;
    CTarvexUSBDevice::reload_profile();
    profile->read_light_settings();
    apply_light_settings();
    audio_->take_profile(profile);
    // Another profile while connected: its audio settings go to the library with the next
    // write of the settings.
    audio_pending_ = Config().IsOpen();
}

void CTarvexHS6533Device::refresh_page() {
    CTarvexUSBDevice::refresh_page();
    refresh_voice_pages();
}

void CTarvexHS6533Device::restore_default_profile() {
    CHs6533Profiledata* profile = HeadsetProfile();
    if (!profile) return;
    profile->load_profile(profile->default_profile_path());
    profile->read_light_settings();
    apply_light_settings();
    audio_->take_profile(profile);
    audio_->apply_state_to_library();
    profile->save_profile();
    refresh_page();
}

int CTarvexHS6533Device::write_settings(int record, int, int, int, int) {
    const int result = protocol_->write_light_record(record);
    if (audio_pending_) {
        audio_pending_ = false;
        audio_->apply_state_to_library();
    }
    return result;
}

void CTarvexHS6533Device::key_heat_mark() {
    const std::array<uint8_t, kHeatHistory> history = HeatHistory();
    for (int k = 0; k < kHeatHistory; ++k)
        if (history[size_t(k)]) SetKeyHeat(k, 255);
}

void CTarvexHS6533Device::set_light_settings(uint32_t a, uint32_t b, uint32_t c) {
    CTarvexUSBDevice::set_light_settings(a, b, c);
    apply_light_settings();
}

void CTarvexHS6533Device::SetLightOutput(bool on) {
    CTarvexUSBDevice::SetLightOutput(on);
    protocol_->sender().set_output_enabled(on);
}

// --- the voice pages ---

void CTarvexHS6533Device::show_bands() {
    if (!voice_) return;
    const audio::Bands& bands = audio_->bands();
    for (int i = 0; i < CVoice6533ControlUI::kBands; ++i) voice_->SetBand(i, bands[size_t(i)]);
}

void CTarvexHS6533Device::refresh_voice_pages() {
    const HeadsetState& s = audio_->state();
    // Usable once the library is started on the headset's sound card.
    const bool usable = audio_->started();
    if (voice_) {
        voice_->ShowAudioUnavailable(!usable);
        voice_->ShowEqualiserNotApplied(usable && !audio_->equaliser_applied());
        voice_->SetMicOn(s.mic_in_select != 0);
        voice_->SetMicLevel(s.mic_in_value);
        voice_->SetMonitorOn(s.monitor_select != 0);
        voice_->SetMonitorLevel(s.monitor_value);
        voice_->EnableMonitoring(audio_->monitoring_available());
        voice_->SelectEqualiser(s.eq_type);
        voice_->ClearUserEqualisers();
        for (const std::string& name : audio_->user_names())
            voice_->AddUserEqualiserName(QString::fromStdString(name));
        voice_->SelectUserEqualiser(audio_->selected_user());
        voice_->EnableUserEqualiser(s.eq_type == audio::kUserEqualiserType);
        show_bands();
    }
    if (magic_) {
        magic_->SetMagicOn(s.magic_enable != 0);
        magic_->SelectVoice(s.magic_type);
        magic_->ShowUnavailable(!usable || !audio_->magic_available());
    }
}

void CTarvexHS6533Device::on_equaliser_option(int n) {
    if (!voice_) return;
    auto* option = voice_->findChild<QAbstractButton*>(QStringLiteral("6533_eq_option_%1").arg(n));
    if (option && !option->isChecked()) {
        // Clicking the chosen type again keeps it chosen.
        voice_->SelectEqualiser(voice_->SelectedEqualiser());
        return;
    }
    if (!audio_->select_equaliser(n)) {
        voice_->SelectEqualiser(voice_->SelectedEqualiser());
        return;
    }
    voice_->SelectEqualiser(n);
    voice_->EnableUserEqualiser(n == audio::kUserEqualiserType);
    if (n == audio::kUserEqualiserType) voice_->SelectUserEqualiser(audio_->selected_user());
    show_bands();
}

void CTarvexHS6533Device::on_band_slider(int i) {
    if (!voice_ || i < 0 || i >= CVoice6533ControlUI::kBands) return;
    const bool was_user = audio_->state().eq_type == audio::kUserEqualiserType;
    audio_->move_band(i, voice_->GetBand(i));
    if (was_user) return;
    voice_->SelectEqualiser(audio::kUserEqualiserType);
    voice_->EnableUserEqualiser(true);
    voice_->SelectUserEqualiser(-1);
}

void CTarvexHS6533Device::on_user_equaliser_selected() {
    if (!voice_) return;
    const int index = voice_->SelectedUserEqualiser();
    if (index < 0 || !audio_->apply_user_equaliser(index)) return;
    voice_->SetNewName(QString());
    voice_->SelectEqualiser(audio::kUserEqualiserType);
    show_bands();
}

void CTarvexHS6533Device::on_save_user_equaliser() {
    if (!voice_) return;
    const QString name = voice_->GetNewName();
    audio::Bands sliders{};
    for (int i = 0; i < CVoice6533ControlUI::kBands; ++i) sliders[size_t(i)] = voice_->GetBand(i);
    switch (audio_->save_user_equaliser(name.toStdString(), sliders)) {
        case audio::HeadsetAudio::SaveResult::Saved:
            voice_->AddUserEqualiserName(name);
            voice_->SelectUserEqualiser(voice_->UserEqualiserCount() - 1);
            break;
        case audio::HeadsetAudio::SaveResult::Duplicate:
            if (message_) message_(QStringLiteral("message_text_5"), true);
            break;
        default:
            break;
    }
}

void CTarvexHS6533Device::on_delete_user_equaliser() {
    if (audio_->delete_user_equaliser()) refresh_voice_pages();
}

void CTarvexHS6533Device::on_mic_slider() {
    if (!voice_) return;
    // A refused write leaves the slider where the headset is.
    if (!audio_->set_mic_level(voice_->GetMicLevel()))
        voice_->SetMicLevel(audio_->state().mic_in_value);
}

void CTarvexHS6533Device::on_mic_option() {
    if (!voice_) return;
    if (voice_->MicOn() != (audio_->state().mic_in_select != 0)) audio_->toggle_mic();
    voice_->SetMicOn(audio_->state().mic_in_select != 0);
}

void CTarvexHS6533Device::on_monitor_slider() {
    if (!voice_) return;
    if (!audio_->set_monitor_level(voice_->GetMonitorLevel()))
        voice_->SetMonitorLevel(audio_->state().monitor_value);
}

void CTarvexHS6533Device::on_monitor_option() {
    if (!voice_) return;
    if (voice_->MonitorOn() != (audio_->state().monitor_select != 0)) audio_->toggle_monitor();
    voice_->SetMonitorOn(audio_->state().monitor_select != 0);
}

void CTarvexHS6533Device::on_magic_option() {
    if (!magic_) return;
    const bool wanted = magic_->IsMagicOn();
    if (wanted != (audio_->state().magic_enable != 0)) audio_->set_magic(wanted);
    magic_->SetMagicOn(audio_->state().magic_enable != 0);
}

void CTarvexHS6533Device::on_voice_option(int n) {
    if (!magic_) return;
    auto* option = magic_->findChild<QAbstractButton*>(QStringLiteral("magic_option_%1").arg(n));
    if (option && option->isChecked()) audio_->select_voice(n);
    // Clicking the chosen voice again keeps it chosen; a refused one leaves the old.
    magic_->SelectVoice(audio_->state().magic_type);
}

// --- routes ---

void register_headset_page_routes(CMainWnd& wnd) {
    CMainWnd* w = &wnd;
    auto on_page = [w](auto action) {
        return [w, action](const Notification&, int index) {
            if (CTarvexHS6533Device* page = headset_page(*w)) action(*page, index);
        };
    };
    RouteTable& select = wnd.routes("selectchanged");
    select.add("6533_eq_option_", Match::Prefix,
               on_page([](CTarvexHS6533Device& p, int n) { p.on_equaliser_option(n); }));
    select.add("6533_MicIn_option", Match::NoCase,
               on_page([](CTarvexHS6533Device& p, int) { p.on_mic_option(); }));
    select.add("6533_MicMoniter_option", Match::NoCase,
               on_page([](CTarvexHS6533Device& p, int) { p.on_monitor_option(); }));
    select.add("magic_enable_option", Match::NoCase,
               on_page([](CTarvexHS6533Device& p, int) { p.on_magic_option(); }));
    select.add("magic_option_", Match::Prefix,
               on_page([](CTarvexHS6533Device& p, int n) { p.on_voice_option(n); }));

    RouteTable& slider = wnd.routes("valuechanged");
    slider.add("6533_eq_hz_slider_", Match::Prefix,
               on_page([](CTarvexHS6533Device& p, int i) { p.on_band_slider(i); }));
    slider.add("6533_MicIn_slider", Match::NoCase,
               on_page([](CTarvexHS6533Device& p, int) { p.on_mic_slider(); }));
    slider.add("6533_MicMoniter_slider", Match::NoCase,
               on_page([](CTarvexHS6533Device& p, int) { p.on_monitor_slider(); }));

    wnd.routes("itemselect")
        .add("custom_eq_name_combo", Match::NoCase,
             on_page([](CTarvexHS6533Device& p, int) { p.on_user_equaliser_selected(); }));

    RouteTable& click = wnd.routes("click");
    click.add("hs_EQ_btn_save", Match::NoCase,
              on_page([](CTarvexHS6533Device& p, int) { p.on_save_user_equaliser(); }));
    click.add("hs_EQ_btn_delete", Match::NoCase,
              on_page([](CTarvexHS6533Device& p, int) { p.on_delete_user_equaliser(); }));

    wnd.set_message_handler(CTarvexHS6533Device::kMsgLightIndex,
                            [](qintptr index, qintptr, const QString&) {
                                debug_printf("耳机灯效索引 %d", int(index));
                            });
    wnd.set_message_handler(CTarvexHS6533Device::kMsgPower,
                            [](qintptr value, qintptr, const QString&) {
                                debug_printf("耳机电源状态 %d", int(value));
                            });
}

}  // namespace tellune::ui
