// The keyboard protocol against a scripted device: any information block, key table, LED
// index table, settings block and any failure on the way. Results stay within what each
// operation documents, the slot and LED maps only name slots and LEDs that exist, and what a
// successful write sent is exactly the block, table or frame it was to send.

#include <algorithm>
#include <vector>

#include "core/device/keyboard_protocol.h"
#include "fuzz/scripted_device.h"

using namespace tellune;

using fuzz::is_channel_result;

namespace {

// A macro library for the image write, made once.
const std::string& data_folder() {
    static const std::string folder = [] {
        const std::string f = fuzz::scratch_subfolder("keyboard");
        fuzz::write_text(f + "macro.config", R"({"MacroInfo": [{"Guid": "a"}]})");
        fuzz::write_text(f + "a.mac", R"({"Events": [
            {"Action": "down", "Button": 4, "Type": 10, "Delay": "12"},
            {"Action": "up", "Button": 4, "Type": 10, "Delay": "30"}]})");
        return f;
    }();
    return folder;
}

void check_maps(const device::KeyboardProtocol& kb) {
    const size_t slots = kb.key_slots();
    FUZZ_CHECK(3 * slots <= device::kKeyboardTableCache);
    const device::KeySlotMap slot_map = kb.key_slot_map();
    const device::LedMap led_map = kb.led_map();
    const auto& cache = kb.key_table_cache();
    for (size_t key = 0; key < device::kKeyboardKeys; ++key) {
        const uint8_t s = slot_map[key];
        if (s == device::kNoSlot) {
            FUZZ_CHECK(led_map[key] == device::kNoLed);
            FUZZ_CHECK(!device::keyboard_key_assignable(slot_map, int(key)));
            continue;
        }
        FUZZ_CHECK(s < slots);
        const auto& code = device::kKeyboardFactoryCodes[key];
        FUZZ_CHECK(!device::names_no_key(code));
        FUZZ_CHECK(std::equal(code.begin(), code.end(), cache.begin() + 3 * s));
        // The first slot holding the code, so a key found by its slot is this key or one
        // that shares its code.
        const int back = device::key_of_slot(slot_map, s);
        FUZZ_CHECK(back >= 0 && back <= int(key));
        FUZZ_CHECK(led_map[key] == kb.led_index_cache()[s]);
    }
}

// A frame or colour table as it must be: 3 bytes per LED; an LED no key maps to is dark,
// any other shows the colour of the last key mapped to it.
template <typename Colour, typename Scale>
std::vector<uint8_t> expected_led_table(const std::vector<Colour>& keys, const device::LedMap& map,
                                        size_t slots, Scale scale) {
    std::vector<uint8_t> out(3 * slots, 0);
    for (size_t led = 0; led < slots; ++led) {
        for (size_t key = keys.size(); key-- > 0;) {
            if (key >= map.size() || map[key] != led) continue;
            const std::array<uint8_t, 3> rgb = scale(keys[key]);
            std::copy(rgb.begin(), rgb.end(), out.begin() + ptrdiff_t(3 * led));
            break;
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& folder = data_folder();
    fuzz::ScriptedRig rig(data, size);
    fuzz::Script& script = rig.script;
    device::KeyboardProtocol kb(rig.channel);

    while (!script.empty()) {
        const uint8_t op = script.byte() % 9;
        const size_t before = rig.backend.requests.size();
        switch (op) {
            case 0: {
                const bool was_connected = kb.connected();
                const int r = kb.connect_device();
                FUZZ_CHECK(is_channel_result(r));
                if (r == 1) FUZZ_CHECK(kb.connected());
                if (!was_connected && r != 1) FUZZ_CHECK(!kb.connected());
                check_maps(kb);
                break;
            }
            case 1: {
                const int r = kb.read_settings_block();
                FUZZ_CHECK(is_channel_result(r));
                // The light engine indexes its tables by speed.
                if (r == 1) FUZZ_CHECK(kb.settings().light.speed() <= 4);
                break;
            }
            case 2: {
                const int index = script.byte() % 4 == 0 ? int(script.word()) - 0x8000 : 0;
                const int r = kb.write_settings(index);
                FUZZ_CHECK(is_channel_result(r));
                if (index < 0 || index > 255) FUZZ_CHECK(rig.backend.requests.size() == before);
                if (r == 1) {
                    const device::KeyboardBlock block = device::build_keyboard_block(kb.settings());
                    FUZZ_CHECK(rig.sent_payload(0x06, before) ==
                               std::vector<uint8_t>(block.begin(), block.end()));
                }
                break;
            }
            case 3: {
                std::vector<KeyAssignmentRecord> keys(script.byte() % 140);
                for (KeyAssignmentRecord& k : keys) {
                    k.type = script.byte();
                    k.param1 = script.byte();
                    k.param2 = script.byte();
                }
                const bool connected = kb.connected();
                const int r = kb.write_key_table(0, keys);
                FUZZ_CHECK(is_channel_result(r));
                if (!connected) FUZZ_CHECK(r == 0 && rig.backend.requests.size() == before);
                if (r == 1) {
                    // Exactly the table read at connection with these keys put in, nothing
                    // past its slots: zeros there would wipe keys of the board.
                    const std::vector<uint8_t> expected = device::build_keyboard_key_table(
                        kb.key_table_cache(), kb.key_slots(), kb.key_slot_map(), keys);
                    FUZZ_CHECK(expected.size() == 3u * kb.key_slots());
                    FUZZ_CHECK(rig.sent_payload(0x09, before) == expected);
                }
                break;
            }
            case 4: {
                const int r = kb.write_macros(folder);
                // 0 sent, -1 failed, or the excess over the macro area in events plus one.
                FUZZ_CHECK(r >= -1);
                if (r > 0) FUZZ_CHECK(rig.sent_payload(0x15, before).empty());
                break;
            }
            case 5: {
                const int group = script.byte() % 8 == 0 ? int(int8_t(script.byte())) : 1;
                std::vector<CustomColour> colours(script.byte() % 140);
                for (CustomColour& c : colours) {
                    c.red = script.byte();
                    c.green = script.byte();
                    c.blue = script.byte();
                }
                const bool sendable = kb.connected() && !rig.channel.IsWireless();
                const int r = kb.write_custom_colours(group, colours);
                FUZZ_CHECK(is_channel_result(r));
                if (!sendable || group < 0 || group >= device::kCustomLightGroups)
                    FUZZ_CHECK(r <= 0 && rig.backend.requests.size() == before);
                if (r == 1) {
                    const std::vector<uint8_t> expected = expected_led_table(
                        colours, kb.led_map(), kb.key_slots(), [](const CustomColour& c) {
                            return std::array<uint8_t, 3>{c.red, c.green, c.blue};
                        });
                    FUZZ_CHECK(rig.sent_payload(0x0B, before) == expected);
                    for (size_t i = before; i < rig.backend.requests.size(); ++i)
                        FUZZ_CHECK(size_t{rig.backend.requests[i].offset} >=
                                   size_t(group) * 3 * kb.key_slots());
                }
                break;
            }
            case 6: {
                // The frame the sender hands to the channel.
                std::vector<device::LedColour> keys(script.byte() % 140);
                for (device::LedColour& c : keys) {
                    c.r = script.byte();
                    c.g = script.byte();
                    c.b = script.byte();
                    c.level = script.byte();
                }
                const std::vector<uint8_t> frame =
                    device::build_light_frame(keys, kb.led_map(), kb.key_slots());
                const std::vector<uint8_t> expected = expected_led_table(
                    keys, kb.led_map(), kb.key_slots(), [](const device::LedColour& c) {
                        return std::array<uint8_t, 3>{uint8_t(c.r * c.level / 256),
                                                      uint8_t(c.g * c.level / 256),
                                                      uint8_t(c.b * c.level / 256)};
                    });
                FUZZ_CHECK(frame == expected);
                const int r = rig.channel.WriteLightFrame(frame);
                FUZZ_CHECK(is_channel_result(r));
                if (r == 1 && !rig.channel.IsWireless())
                    FUZZ_CHECK(rig.sent_payload(0x12, before) == frame);
                break;
            }
            case 7: {
                const uint16_t usage = script.word();
                const device::KeySlotMap map = kb.key_slot_map();
                const bool known = kb.on_key_usage(usage);
                const uint16_t kind = usage & 0xFF00;
                if (known) {
                    FUZZ_CHECK(kind == device::kUsageKeyDown || kind == device::kUsageKeyUp);
                    const std::optional<device::KeyReport> report = device::key_report(usage, map);
                    FUZZ_CHECK(report && report->key >= 0 &&
                               size_t(report->key) < device::kKeyboardKeys);
                    FUZZ_CHECK(map[size_t(report->key)] == (usage & 0xFF));
                }
                FUZZ_CHECK(rig.backend.requests.size() == before);
                break;
            }
            case 8: {
                // Profile settings of any shape, and the wireless flag.
                device::KeyboardSettings& s = kb.settings();
                s.light = LightSettings::make(script.byte(), script.byte(), script.byte(),
                                              script.byte(), script.byte(), script.byte(),
                                              script.byte(), script.byte(), script.byte());
                for (uint32_t& w : s.system.word) w = uint32_t(script.word()) << 16 | script.word();
                s.keys.resize(script.byte() % 140);
                for (KeyAssignmentRecord& k : s.keys) k.type = script.byte();
                rig.channel.SetWireless(script.byte() % 4 == 0);
                break;
            }
        }
        FUZZ_CHECK(!rig.channel.IsBusy());
    }
    return 0;
}
