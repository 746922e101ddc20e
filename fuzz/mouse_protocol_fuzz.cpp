// The mouse protocol against a scripted device: any information block, key table, settings
// block and any failure on the way. Results stay within what each operation documents, the
// button map only names slots that hold the button, and what a successful write sent is
// exactly the block, table or image it was to send.

#include <algorithm>
#include <vector>

#include "core/device/macro_image.h"
#include "core/device/mouse_protocol.h"
#include "fuzz/scripted_device.h"

using namespace tellune;

using fuzz::is_channel_result;

namespace {

// A macro library and shoot files for the image writes, made once.
const std::string& data_folder() {
    static const std::string folder = [] {
        const std::string f = fuzz::scratch_subfolder("mouse");
        fuzz::write_text(f + "macro.config", R"({"MacroInfo": [{"Guid": "a"}, {"Guid": "b"}]})");
        fuzz::write_text(f + "a.mac", R"({"Events": [
            {"Action": "down", "Button": 4, "Type": 10, "Delay": "12"},
            {"Action": "up", "Button": 4, "Type": 10, "Delay": "30"}]})");
        fuzz::write_text(f + "b.mac", R"({"Events": [
            {"Action": "down", "Button": 1, "Type": 1, "Delay": "5"}]})");
        fuzz::write_text(f + "ShootData_0.Shoot", R"({"Events": [
            {"Action": "down", "Button": 1, "Type": 1, "Delay": 10},
            {"Action": "up", "Button": 1, "Type": 1, "Delay": 0}]})");
        return f;
    }();
    return folder;
}

void check_slot_map(const device::MouseProtocol& mouse) {
    const size_t slots = mouse.key_slots();
    FUZZ_CHECK(3 * slots <= device::kKeyTableCacheSize);
    const auto& cache = mouse.key_table_cache();
    for (size_t b = 0; b < device::kMouseButtons; ++b) {
        const uint8_t s = mouse.button_slot_map()[b];
        if (s == device::kNoKeySlot) continue;
        FUZZ_CHECK(s < slots);
        const auto& code = device::kMouseFactoryCodes[b];
        FUZZ_CHECK(std::equal(code.begin(), code.end(), cache.begin() + 3 * s));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& folder = data_folder();
    fuzz::ScriptedRig rig(data, size);
    fuzz::Script& script = rig.script;
    rig.channel.SetWireless(script.byte() & 1);
    device::MouseProtocol mouse(rig.channel);

    while (!script.empty()) {
        const uint8_t op = script.byte() % 8;
        const size_t before = rig.backend.requests.size();
        switch (op) {
            case 0: {
                const device::ConnectResult r = mouse.connect_device();
                FUZZ_CHECK(is_channel_result(r.result));
                check_slot_map(mouse);
                break;
            }
            case 1: {
                const int r = mouse.read_settings_block();
                FUZZ_CHECK(is_channel_result(r));
                // A speed byte read from the device is kept within the light engine's tables.
                if (r == 1) FUZZ_CHECK(mouse.settings().light.speed() <= 4);
                break;
            }
            case 2: {
                const int index = script.byte() % 4 == 0 ? int(script.word()) - 0x8000 : 0;
                const int r = mouse.write_settings(index);
                FUZZ_CHECK(is_channel_result(r));
                if (r == 1) {
                    const device::SettingsBlock block =
                        device::build_settings_block(mouse.settings(), rig.channel.IsWireless());
                    const std::vector<uint8_t> expected(block.begin(),
                                                        block.begin() + device::kSettingsWriteSize);
                    FUZZ_CHECK(rig.sent_payload(0x06, before) == expected);
                }
                break;
            }
            case 3: {
                std::vector<KeyAssignmentRecord> keys(script.byte() % 16);
                for (KeyAssignmentRecord& k : keys) {
                    k.type = script.byte();
                    k.param1 = script.byte();
                    k.param2 = script.byte();
                }
                const bool had_table = mouse.has_key_table();
                const int r = mouse.write_key_table(0, keys);
                FUZZ_CHECK(is_channel_result(r));
                if (!had_table) FUZZ_CHECK(r == 0 && rig.backend.requests.size() == before);
                if (r == 1)
                    FUZZ_CHECK(rig.sent_payload(0x09, before).size() == rig.channel.BlockSize());
                break;
            }
            case 4: {
                const int r = mouse.write_macros(folder);
                // 0 sent, -1 failed, or the excess over the macro area in events plus one.
                FUZZ_CHECK(r >= -1);
                break;
            }
            case 5: {
                const int r = mouse.write_shoot_data(folder);
                FUZZ_CHECK(is_channel_result(r));
                if (r == 1) {
                    std::vector<uint8_t> image =
                        device::build_macro_image(device::load_shoot_slots(folder));
                    image.resize(56, 0);
                    FUZZ_CHECK(rig.sent_payload(0x17, before) == image);
                }
                break;
            }
            case 6: {
                // Profile settings of any shape: up to 12 stages (8 are sent), any values.
                device::MouseSettings& s = mouse.settings();
                s.stages.resize(script.byte() % 13);
                for (DpiStageRecord& st : s.stages) {
                    st.dpi_x = script.word();
                    st.red = script.byte();
                    st.green = script.byte();
                    st.blue = script.byte();
                }
                s.active_stage = static_cast<int8_t>(script.byte());
                s.light = LightSettings::make(script.byte(), script.byte(), script.byte(),
                                              script.byte(), script.byte(), script.byte(),
                                              script.byte(), script.byte(), script.byte());
                s.system.word[2] = uint32_t(script.word()) << 16;
                s.system.word[3] = script.word();
                s.keys.resize(script.byte() % 16);
                for (KeyAssignmentRecord& k : s.keys) {
                    k.type = script.byte() & 1 ? 0x70 : script.byte();
                    k.param1 = script.byte();
                    k.default_type = script.byte() & 1 ? 0x71 : script.byte();
                    k.default_param1 = script.byte();
                }
                break;
            }
            case 7: {
                const uint8_t macros = script.byte();
                mouse.check_macro_keys(macros);
                // A key left on a macro the library lacks is one whose default is that too.
                for (const KeyAssignmentRecord& k : mouse.settings().keys) {
                    if ((k.type == 0x70 || k.type == 0x71) && k.param1 >= macros)
                        FUZZ_CHECK(k.type == k.default_type && k.param1 == k.default_param1 &&
                                   k.param2 == k.default_param2);
                }
                break;
            }
        }
        FUZZ_CHECK(!rig.channel.IsBusy());
    }
    return 0;
}
