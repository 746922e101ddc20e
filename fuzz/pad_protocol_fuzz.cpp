// The mouse pad protocol against a scripted device: any index and settings block read back,
// any failure on the way. Results stay within what the channel documents, a failed read
// leaves the block as it was, a write sends exactly the block it holds where it was asked to,
// and whatever the pad reported drives the light engine without leaving its tables.

#include <algorithm>
#include <vector>

#include "core/device/light_engine.h"
#include "core/device/pad_protocol.h"
#include "fuzz/scripted_device.h"

using namespace tellune;

using fuzz::is_channel_result;

namespace {

// The requests with `command` from request `from` on.
std::vector<fuzz::Request> requests_of(const fuzz::ScriptedRig& rig, uint8_t command, size_t from) {
    std::vector<fuzz::Request> out;
    for (size_t i = from; i < rig.backend.requests.size(); ++i)
        if (rig.backend.requests[i].command == command) out.push_back(rig.backend.requests[i]);
    return out;
}

// A few frames of the engine over the settings the pad object hands it.
void run_engine(const device::PadProtocol& pad, fuzz::Script& script) {
    device::LightEngine engine(device::kPadLedCount, device::LightModel::pad);
    engine.apply_light_settings(pad.engine_settings(), {}, {}, 0);
    uint32_t now = 0;
    for (int i = 0; i < 4; ++i) {
        now += script.word();
        engine.tick(now);
    }
    FUZZ_CHECK(engine.leds().size() == device::kPadLedCount);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ScriptedRig rig(data, size);
    fuzz::Script& script = rig.script;
    rig.channel.SetWireless(script.byte() & 1);
    device::PadProtocol pad(rig.channel);

    while (!script.empty()) {
        const uint8_t op = script.byte() % 5;
        const size_t before = rig.backend.requests.size();
        const device::PadBlock block = pad.block();
        switch (op) {
            case 0: {
                const int r = pad.connect_device();
                FUZZ_CHECK(is_channel_result(r));
                // The begin, the information block and the end, nothing else.
                for (size_t i = before; i < rig.backend.requests.size(); ++i) {
                    const uint8_t c = rig.backend.requests[i].command;
                    FUZZ_CHECK(c == 0x01 || c == 0x03 || c == 0x02 || c == 0xAA);
                }
                FUZZ_CHECK(pad.block() == block);
                break;
            }
            case 1: {
                rig.channel.SetPause(1);
                const int r = pad.read_settings_block();
                FUZZ_CHECK(is_channel_result(r));
                FUZZ_CHECK(rig.channel.Pause() == 0);
                FUZZ_CHECK(pad.previous_block() == block);
                if (r != 1) {
                    FUZZ_CHECK(pad.block() == block);
                    break;
                }
                // The index first, then the 25 bytes of the record it names.
                const std::vector<fuzz::Request> reads = requests_of(rig, 0x05, before);
                FUZZ_CHECK(reads.size() == 2);
                FUZZ_CHECK(reads[0].offset == 0 && reads[0].length == 1);
                FUZZ_CHECK(reads[1].length == device::kPadReadSize);
                FUZZ_CHECK(reads[1].offset % device::kPadReadStride == 0 &&
                           reads[1].offset <= 255 * device::kPadReadStride);
                // What the engine runs is the block's mode and speed.
                const LightSettings s = pad.engine_settings();
                FUZZ_CHECK(s.select_item() == pad.block()[1] && s.speed() == pad.block()[3]);
                run_engine(pad, script);
                break;
            }
            case 2: {
                const int index = script.byte();
                const int r = pad.write_settings(index);
                FUZZ_CHECK(is_channel_result(r));
                FUZZ_CHECK(pad.block() == block);
                if (r == 1) {
                    const std::vector<fuzz::Request> writes = requests_of(rig, 0x06, before);
                    FUZZ_CHECK(writes.size() == 1);
                    FUZZ_CHECK(writes[0].offset == index * device::kPadWriteStride);
                    const device::PadBlock sent = device::pad_block_to_device(block);
                    FUZZ_CHECK(rig.sent_payload(0x06, before) ==
                               std::vector<uint8_t>(sent.begin(), sent.end()));
                    // The mode sent is one the pad knows; the speed goes back as it came.
                    FUZZ_CHECK(sent[1] <= device::kPadMaxMode);
                    FUZZ_CHECK(device::pad_block_from_device(sent)[3] == block[3]);
                }
                break;
            }
            case 3: {
                const LightSettings light = LightSettings::make(
                    script.byte(), script.byte(), script.byte(), script.byte(), script.byte(),
                    script.byte(), script.byte(), script.byte(), script.byte());
                pad.apply_light_settings(light, {}, {});
                const device::PadBlock& b = pad.block();
                FUZZ_CHECK(b[1] == light.select_item() && b[2] == light.light() &&
                           b[3] == light.speed() && b[5] == light.multi_color() &&
                           b[6] == light.red() && b[7] == light.green() && b[8] == light.blue());
                // The bytes the profile does not own stay as read.
                FUZZ_CHECK(b[0] == block[0] && b[4] == block[4] &&
                           std::equal(b.begin() + 9, b.end(), block.begin() + 9));
                run_engine(pad, script);
                break;
            }
            case 4:
                rig.channel.SetWireless(script.byte() & 1);
                break;
        }
        FUZZ_CHECK(!rig.channel.IsBusy());
    }
    return 0;
}
