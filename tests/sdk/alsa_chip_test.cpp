// The ALSA library's chip on a fake sound card: what reaches the mixer controls, what is
// only kept, and what the feature list says about it. The built library is loaded too.

#include "sdk/alsa/alsa_chip.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/audio/audio_library.h"
#include "core/audio/headset_audio.h"
#include "test_support/temp_dir.h"

namespace tellune::osconf {
namespace {

// A mixer element: raw 0..100 over -12..+24 dB, with or without a switch.
struct FakeVolume final : VolumeControl {
    long raw = 50;
    bool on = true;
    bool with_switch = true;
    bool with_db = true;
    int writes = 0;

    bool range(long& min, long& max) override {
        min = 0;
        max = 100;
        return true;
    }
    bool db_range(long& min, long& max) override {
        min = -1200;
        max = 2400;
        return with_db;
    }
    bool volume(long& v) override {
        v = raw;
        return true;
    }
    bool set_volume(long v) override {
        ++writes;
        raw = v;
        return true;
    }
    bool db(long& hundredths) override {
        hundredths = -1200 + raw * 36;
        return with_db;
    }
    bool has_switch() override { return with_switch; }
    bool switch_on(bool& v) override {
        v = on;
        return true;
    }
    bool set_switch(bool v) override {
        ++writes;
        on = v;
        return true;
    }
};

struct FakeCard final : SoundCard {
    FakeVolume mic;
    FakeVolume sidetone;
    bool has_sidetone = true;
    VolumeControl* microphone() override { return &mic; }
    VolumeControl* monitoring() override { return has_sidetone ? &sidetone : nullptr; }
};

struct Rig {
    explicit Rig(std::string state = "") : chip([this] { return take_card(); }, std::move(state)) {
        chip.init();
        chip.create_device_list();
        playback = device(OSCONF_FLOW_PLAYBACK);
        recording = device(OSCONF_FLOW_RECORDING);
    }
    std::unique_ptr<SoundCard> take_card() {
        if (!next) return nullptr;
        auto c = std::make_unique<FakeCard>();
        card = c.get();
        card->has_sidetone = sidetone;
        return c;
    }
    OsConfDevice device(int flow) {
        OsConfDevice d{};
        EXPECT_EQ(chip.device_by_id(flow, 0, &d), 0);
        return d;
    }
    // A read: the answer's text, or "fail".
    std::wstring get(const OsConfDevice& d, const wchar_t* name, int32_t channel = 0) {
        std::fill(std::begin(value), std::end(value), 0xEE);  // no NUL unless written
        std::memset(param, 0, sizeof param);
        std::memcpy(param, &channel, sizeof channel);
        void* v = value;
        void* p = param;
        if (chip.property(d, name, &v, &p, 0) != 0) return L"fail";
        return std::wstring(reinterpret_cast<const wchar_t*>(value));
    }
    int set_int(const OsConfDevice& d, const wchar_t* name, int32_t x, int32_t channel = 0) {
        std::memset(value, 0, sizeof value);
        std::memcpy(value, &x, sizeof x);
        std::memcpy(param, &channel, sizeof channel);
        void* v = value;
        void* p = param;
        return chip.property(d, name, &v, &p, 1);
    }
    int set_float(const OsConfDevice& d, const wchar_t* name, float x, int32_t channel = 0) {
        std::memset(value, 0, sizeof value);
        std::memcpy(value, &x, sizeof x);
        std::memcpy(param, &channel, sizeof channel);
        void* v = value;
        void* p = param;
        return chip.property(d, name, &v, &p, 1);
    }

    bool next = true;
    bool sidetone = true;
    FakeCard* card = nullptr;
    AlsaChip chip;
    OsConfDevice playback{}, recording{};
    alignas(8) uint8_t value[OSCONF_BUFFER_SIZE];
    alignas(8) uint8_t param[OSCONF_BUFFER_SIZE];
};

TEST(AlsaChip, OneDeviceEachWayWhileTheCardIsThere) {
    Rig rig;
    int count = -1;
    ASSERT_EQ(rig.chip.device_count(OSCONF_FLOW_PLAYBACK, &count), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(rig.playback.word[1], 1);
    EXPECT_EQ(rig.playback.word[3], 1);
    EXPECT_EQ(rig.recording.word[1], 2);
    rig.next = false;
    rig.chip.create_device_list();
    ASSERT_EQ(rig.chip.device_count(OSCONF_FLOW_RECORDING, &count), 0);
    EXPECT_EQ(count, 0);
    OsConfDevice d{};
    EXPECT_NE(rig.chip.device_by_id(OSCONF_FLOW_RECORDING, 0, &d), 0);
    EXPECT_EQ(rig.get(rig.recording, L"MuteControl"), L"fail");
}

TEST(AlsaChip, MicrophoneScalarAndDbGoToTheCaptureControl) {
    Rig rig;
    EXPECT_EQ(rig.get(rig.recording, L"GetMaxVol"), L"24.000000");
    EXPECT_EQ(rig.get(rig.recording, L"GetMinVol"), L"-12.000000");
    EXPECT_EQ(rig.get(rig.recording, L"GetVolStep"), L"0.360000");
    ASSERT_EQ(rig.set_float(rig.recording, L"VolumeScalarControl", 0.25f, -1), 0);
    EXPECT_EQ(rig.card->mic.raw, 25);
    EXPECT_EQ(rig.get(rig.recording, L"VolumeScalarControl", -1), L"0.250000");
    EXPECT_EQ(rig.get(rig.recording, L"VolumeControl", -1), L"-3.000000");
    // dB written: the nearest step.
    ASSERT_EQ(rig.set_int(rig.recording, L"VolumeControl", 6, -1), 0);
    EXPECT_EQ(rig.card->mic.raw, 50);
    // Out of range scalars are refused and change nothing.
    EXPECT_NE(rig.set_float(rig.recording, L"VolumeScalarControl", 1.5f, -1), 0);
    EXPECT_EQ(rig.card->mic.raw, 50);
    EXPECT_EQ(rig.card->sidetone.writes, 0);
}

TEST(AlsaChip, MuteIsTheSwitchTurnedOver) {
    Rig rig;
    EXPECT_EQ(rig.get(rig.recording, L"MuteControl"), L"0");
    ASSERT_EQ(rig.set_int(rig.recording, L"MuteControl", 1), 0);
    EXPECT_FALSE(rig.card->mic.on);
    EXPECT_EQ(rig.get(rig.recording, L"MuteControl"), L"1");
    EXPECT_NE(rig.set_int(rig.recording, L"MuteControl", 2), 0);
    // Without a switch nothing can be muted; unmuting is a success that changes nothing.
    rig.card->mic.with_switch = false;
    EXPECT_EQ(rig.get(rig.recording, L"MuteControl"), L"0");
    EXPECT_NE(rig.set_int(rig.recording, L"MuteControl", 1), 0);
    EXPECT_EQ(rig.set_int(rig.recording, L"MuteControl", 0), 0);
}

TEST(AlsaChip, MonitoringIsTheSidetoneWhenThereIsOne) {
    Rig rig;
    ASSERT_EQ(rig.set_float(rig.recording, L"AAVolumeScalarControl", 0.8f, 0), 0);
    EXPECT_EQ(rig.card->sidetone.raw, 80);
    EXPECT_EQ(rig.card->mic.raw, 50);
    ASSERT_EQ(rig.set_int(rig.recording, L"AAMuteControl", 1), 0);
    EXPECT_FALSE(rig.card->sidetone.on);
    EXPECT_TRUE(rig.card->mic.on);
    EXPECT_EQ(rig.get(rig.recording, L"GetAAMaxVol"), L"24.000000");
    EXPECT_EQ(rig.get(rig.playback, L"GetSupportFeature"), L"0,0,0,0,10,0,1");

    Rig bare;
    bare.sidetone = false;
    bare.chip.create_device_list();
    EXPECT_EQ(bare.get(bare.recording, L"GetAAMaxVol"), L"fail");
    EXPECT_NE(bare.set_int(bare.recording, L"AAMuteControl", 0), 0);
    EXPECT_EQ(bare.get(bare.recording, L"GetSupportFeature"), L"0,0,0,0,10,0,0");
}

TEST(AlsaChip, EqualiserAndVoiceAreKeptAcrossRestartsButNotApplied) {
    TempDir tmp;
    {
        Rig rig(tmp.file("alsa.state"));
        // Nothing kept yet: the program writes zeros at start-up.
        EXPECT_EQ(rig.get(rig.playback, L"EQ_Slider3"), L"fail");
        ASSERT_EQ(rig.set_int(rig.playback, L"EQ_Slider3", -7), 0);
        ASSERT_EQ(rig.set_int(rig.recording, L"MagicVoice_Selection", 2), 0);
        EXPECT_EQ(rig.get(rig.playback, L"EQ_Slider3"), L"-7");
        EXPECT_EQ(rig.card->mic.writes + rig.card->sidetone.writes, 0);
        // Properties of the other device, and names nobody knows, are refused.
        EXPECT_NE(rig.set_int(rig.recording, L"EQ_Slider3", 1), 0);
        EXPECT_NE(rig.set_int(rig.playback, L"No_Such_Thing", 1), 0);
    }
    Rig again(tmp.file("alsa.state"));
    EXPECT_EQ(again.get(again.playback, L"EQ_Slider3"), L"-7");
    EXPECT_EQ(again.get(again.recording, L"MagicVoice_Selection"), L"2");
}

TEST(AlsaChip, AnswersAreTerminatedWithinTheBuffer) {
    Rig rig;
    const std::wstring text = rig.get(rig.playback, L"GetSupportFeature");
    EXPECT_LT(text.size() * sizeof(wchar_t), size_t(OSCONF_BUFFER_SIZE));
    const std::wstring long_text(2000, L'x');
    uint8_t buffer[OSCONF_BUFFER_SIZE + 16];
    std::memset(buffer, 0xAB, sizeof buffer);
    void* v = buffer;
    ASSERT_TRUE(answer(&v, long_text));
    wchar_t last;
    std::memcpy(&last, buffer + OSCONF_BUFFER_SIZE - sizeof(wchar_t), sizeof last);
    EXPECT_EQ(last, 0);
    EXPECT_EQ(buffer[OSCONF_BUFFER_SIZE], 0xAB);  // nothing past the buffer
}

TEST(AlsaLibrary, BuiltLibraryWithoutACardOffersNoDevice) {
    TempDir tmp;
    ScopedEnv state("TELLUNE_OSCONF_STATE", tmp.file("s"));
    ScopedEnv card("TELLUNE_OSCONF_ALSA_CARD", "tellune-no-such-card");
    audio::AudioLibrary library;
    ASSERT_TRUE(library.load(TELLUNE_ALSA_OSCONF)) << library.error();
    EXPECT_TRUE(library.complete());
    // Only the contract's names are visible.
    EXPECT_EQ(library.symbol("_ZN7tellune6osconf12library_chipEv"), nullptr);
    std::vector<std::string> messages;
    audio::HeadsetAudio headset(library, [&](const std::string& m) { messages.push_back(m); });
    headset.start_up();
    EXPECT_FALSE(headset.started());
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(headset.set_mic_level(10));
}

}  // namespace
}  // namespace tellune::osconf
