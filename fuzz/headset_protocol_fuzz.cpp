// The headset protocol against a scripted device: any record index, light record and power
// bytes read back, any failure on the way, and light frames of any colours. A failed read
// keeps what was there, a write sends exactly the record where it was asked to, the light
// reports never exceed the channel cap, and whatever the headset reported drives the light
// engine without leaving its tables.

#include <algorithm>
#include <vector>

#include "core/device/headset_protocol.h"
#include "core/device/light_engine.h"
#include "fuzz/scripted_device.h"

using namespace tellune;

using fuzz::is_channel_result;

namespace {

std::vector<fuzz::Request> requests_of(const fuzz::ScriptedRig& rig, uint8_t command, size_t from) {
    std::vector<fuzz::Request> out;
    for (size_t i = from; i < rig.backend.requests.size(); ++i)
        if (rig.backend.requests[i].command == command) out.push_back(rig.backend.requests[i]);
    return out;
}

void run_engine(const device::HeadsetRecord& record, fuzz::Script& script) {
    device::LightEngine engine(device::kHeadsetLeds, device::LightModel::headset);
    engine.apply_light_settings(device::record_light_settings(record), {}, {}, 0);
    uint32_t now = 0;
    for (int i = 0; i < 4; ++i) {
        now += script.word();
        engine.tick(now);
    }
    FUZZ_CHECK(engine.leds().size() == device::kHeadsetLeds);
}

void check_light_reports(fuzz::Script& script) {
    std::vector<device::LedColour> leds(script.byte() % 20);
    for (device::LedColour& c : leds) {
        c.r = script.byte();
        c.g = script.byte();
        c.b = script.byte();
        c.level = script.byte();
    }
    const device::HeadsetColourBytes bytes = device::headset_colour_bytes(leds);
    const device::LightReports reports = device::build_light_reports(bytes);
    for (size_t n = 0; n < reports.size(); ++n) {
        const device::LightReport& r = reports[n];
        FUZZ_CHECK(r[0] == device::kLightReportId);
        FUZZ_CHECK(r[1] == (n % 4 < 2 ? 0x22 : 0x44));
        const size_t channel = n / 4;
        const bool first_half = n % 2 == 0;
        FUZZ_CHECK(r[2] == (first_half ? 0xAA : 0xAD) + channel);
        const size_t first = first_half ? 0 : 7;
        const size_t count = first_half ? 7 : device::kHeadsetLeds - 7;
        for (size_t i = 0; i < count; ++i) {
            const size_t led = first + i;
            FUZZ_CHECK(r[4 + i] <= device::kLightChannelCap);
            if (led >= leds.size()) {
                FUZZ_CHECK(r[4 + i] == 0);
            } else {
                const uint8_t v[3] = {leds[led].r, leds[led].g, leds[led].b};
                FUZZ_CHECK(r[4 + i] == std::min<unsigned>(v[channel] * leds[led].level >> 8,
                                                          device::kLightChannelCap));
            }
        }
        // Byte 3 and the bytes past the LEDs stay zero.
        FUZZ_CHECK(r[3] == 0);
        FUZZ_CHECK(
            std::all_of(r.begin() + 4 + long(count), r.end(), [](uint8_t b) { return b == 0; }));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ScriptedRig rig(data, size);
    fuzz::Script& script = rig.script;
    rig.channel.SetWireless(script.byte() & 1);
    device::HeadsetProtocol headset(rig.channel);

    while (!script.empty()) {
        const uint8_t op = script.byte() % 6;
        const size_t before = rig.backend.requests.size();
        const device::HeadsetRecord record = headset.record();
        switch (op) {
            case 0: {
                rig.channel.SetPause(1);
                int index = -1;
                const int r = headset.read_light_record(index);
                FUZZ_CHECK(is_channel_result(r));
                FUZZ_CHECK(rig.channel.Pause() == 0);
                if (r != 1) {
                    FUZZ_CHECK(headset.record() == record);
                    FUZZ_CHECK(index == record[0]);
                    break;
                }
                FUZZ_CHECK(index == headset.record()[0]);
                const std::vector<fuzz::Request> reads = requests_of(rig, 0x05, before);
                FUZZ_CHECK(reads.size() == 2);
                FUZZ_CHECK(reads[0].offset == 0 && reads[0].length == 1);
                FUZZ_CHECK(reads[1].length == device::kHeadsetReadSize);
                FUZZ_CHECK(reads[1].offset == index * device::kHeadsetReadStride);
                FUZZ_CHECK(headset.light().settings() ==
                           device::record_light_settings(headset.record()));
                run_engine(headset.record(), script);
                break;
            }
            case 1: {
                const int index = script.byte();
                const int r = headset.write_light_record(index);
                FUZZ_CHECK(is_channel_result(r));
                FUZZ_CHECK(headset.record() == record);
                if (r == 1) {
                    const std::vector<fuzz::Request> writes = requests_of(rig, 0x06, before);
                    FUZZ_CHECK(writes.size() == 1);
                    FUZZ_CHECK(writes[0].offset == index * device::kHeadsetWriteStride);
                    device::HeadsetRecord sent = record;
                    sent[3] = static_cast<uint8_t>(4 - record[3]);
                    FUZZ_CHECK(rig.sent_payload(0x06, before) ==
                               std::vector<uint8_t>(sent.begin(), sent.end()));
                }
                break;
            }
            case 2: {
                std::array<uint8_t, device::kPowerSize> power{};
                std::fill(power.begin(), power.end(), 0xEE);
                const int r = headset.read_power(power);
                FUZZ_CHECK(is_channel_result(r));
                if (r == 1)
                    FUZZ_CHECK(power[3] == (rig.channel.IsWireless() ? 1 : 0));
                else
                    FUZZ_CHECK(std::all_of(power.begin(), power.end(),
                                           [](uint8_t b) { return b == 0xEE; }));
                break;
            }
            case 3: {
                const LightSettings light = LightSettings::make(
                    script.byte(), script.byte(), script.byte(), script.byte(), script.byte(),
                    script.byte(), script.byte(), script.byte(), script.byte());
                headset.apply_light_settings(light);
                const device::HeadsetRecord& rec = headset.record();
                FUZZ_CHECK(device::record_light_settings(rec) ==
                           LightSettings::make(light.select_item(), light.light(), light.speed(),
                                               light.fx(), light.multi_color(), light.red(),
                                               light.green(), light.blue(), 0));
                FUZZ_CHECK(rec[0] == record[0] &&
                           std::equal(rec.begin() + 9, rec.end(), record.begin() + 9));
                run_engine(rec, script);
                break;
            }
            case 4:
                check_light_reports(script);
                break;
            case 5:
                rig.channel.SetWireless(script.byte() & 1);
                break;
        }
        FUZZ_CHECK(!rig.channel.IsBusy());
    }
    return 0;
}
