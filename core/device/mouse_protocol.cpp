#include "core/device/mouse_protocol.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "core/platform/platform.h"

namespace tellune::device {

namespace {

constexpr uint8_t kMacroTypeA = 0x70;
constexpr uint8_t kMacroTypeB = 0x71;

void put16(SettingsBlock& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

SettingsBlock build_settings_block(const MouseSettings& s, bool wireless) {
    SettingsBlock b{};
    const LightSettings& l = s.light;
    b[0] = 0;
    // Modes above 7 exist only in the software preview.
    b[1] = l.select_item() > 7 ? 0 : l.select_item();
    b[2] = l.light();
    b[3] = wireless ? l.speed() : static_cast<uint8_t>(4 - std::min<uint8_t>(l.speed(), 4));
    b[4] = l.fx();
    b[5] = l.multi_color();
    b[6] = l.red();
    b[7] = l.green();
    b[8] = l.blue();
    b[9] = static_cast<uint8_t>(l.word[2] & 0xFF);
    b[14] = static_cast<uint8_t>(s.system.word[2] >> 16);
    const size_t count = std::min(s.stages.size(), kMaxDpiStages);
    static constexpr size_t kDpiAt[kMaxDpiStages] = {15, 17, 19, 21, 24, 26, 28, 30};
    for (size_t i = 0; i < count; ++i) {
        const DpiStageRecord& st = s.stages[i];
        put16(b, kDpiAt[i], st.dpi_x);
        b[32 + 3 * i] = st.red;
        b[33 + 3 * i] = st.green;
        b[34 + 3 * i] = st.blue;
    }
    b[23] = static_cast<uint8_t>(s.active_stage);
    b[56] = static_cast<uint8_t>(s.system.word[3] & 0xFF);
    return b;
}

void take_settings_block(MouseSettings& s, std::span<const uint8_t> b) {
    if (b.size() < kSettingsBlockSize) return;
    const LightSettings old = s.light;
    // A speed byte above 4 would index past the engine's tables.
    const uint8_t speed = static_cast<uint8_t>(4 - std::min<uint8_t>(b[3], 4));
    s.light =
        LightSettings::make(b[1], b[2], speed, old.fx(), b[5], b[6], b[7], b[8], old.led_mode());
    s.light.word[2] = (old.word[2] & ~0xFFu) | b[9];
    s.active_stage = b[23];
    s.system.word[2] = (s.system.word[2] & 0xFFFFu) | uint32_t{b[14]} << 16;
    s.system.word[3] = b[56];
}

ButtonSlotMap build_button_slot_map(std::span<const uint8_t> table, size_t slots) {
    ButtonSlotMap map;
    map.fill(kNoKeySlot);
    slots = std::min(slots, table.size() / 3);
    for (size_t button = 0; button < kMouseButtons; ++button) {
        for (size_t k = 0; k < slots; ++k) {
            if (std::equal(kMouseFactoryCodes[button].begin(), kMouseFactoryCodes[button].end(),
                           table.begin() + static_cast<ptrdiff_t>(3 * k))) {
                map[button] = static_cast<uint8_t>(k);
                break;
            }
        }
    }
    return map;
}

std::vector<uint8_t> build_key_table(std::span<const uint8_t> cache, size_t slots,
                                     const ButtonSlotMap& map,
                                     const std::vector<KeyAssignmentRecord>& keys) {
    const size_t size = std::min(3 * slots, cache.size());
    std::vector<uint8_t> table(cache.begin(), cache.begin() + static_cast<ptrdiff_t>(size));
    for (size_t i = 0; i < keys.size() && i < map.size(); ++i) {
        const size_t s = map[i];
        if (s == kNoKeySlot || 3 * s + 3 > table.size()) continue;
        table[3 * s] = keys[i].type;
        table[3 * s + 1] = keys[i].param1;
        table[3 * s + 2] = keys[i].param2;
    }
    return table;
}

bool firmware_update_needed(uint16_t hid_version) {
    return hid_version >= 1 && hid_version <= 0x0100;
}

bool check_macro_keys(std::vector<KeyAssignmentRecord>& keys, size_t macro_count) {
    bool changed = false;
    for (KeyAssignmentRecord& k : keys) {
        if ((k.type == kMacroTypeA || k.type == kMacroTypeB) && k.param1 >= macro_count) {
            k.key_index = k.default_key_index;
            k.type = k.default_type;
            k.param1 = k.default_param1;
            k.param2 = k.default_param2;
            k.spare = k.default_spare;
            changed = true;
        }
    }
    return changed;
}

MouseProtocol::MouseProtocol(hid::CCommandChannel& config) : config_(config), light_(&config) {
    slot_map_.fill(kNoKeySlot);
}

MouseProtocol::~MouseProtocol() {
    light_.clear_leds();
    light_.stop_light_thread();
}

bool MouseProtocol::probe() {
    return !config_.IsWireless() || config_.Probe();
}

int MouseProtocol::read_info() {
    std::array<uint8_t, 32> area{};
    uint16_t word = 0;
    const int r = config_.ReadInfo(area, word);
    if (r != 1) return r;
    std::copy(area.begin(), area.end(), info_.begin());
    info_[32] = static_cast<uint8_t>(word & 0xFF);
    info_[33] = static_cast<uint8_t>(word >> 8);
    return 1;
}

ConnectResult MouseProtocol::connect_device() {
    ConnectResult out;
    if (!config_.IsOpen() || !probe()) return out;
    if ((out.result = config_.SimpleCommand1()) != 1) return out;
    if ((out.result = read_info()) != 1) return out;
    out.firmware_update_needed = firmware_update_needed(config_.Hid().Attributes().version);
    const uint8_t slots = info_[5];
    if (config_.SetBlockSize(static_cast<uint16_t>(3 * slots)) != 1) {
        // Our buffers hold 512 bytes; the sequence is still closed so the device is not
        // left waiting for data.
        config_.SimpleCommand2();
        out.result = kRefusedArgument;
        return out;
    }
    std::array<uint8_t, kKeyTableCacheSize> table{};
    if ((out.result = config_.ReadBlock(table)) != 1) return out;
    // The table, its slot count and the button map change together, even when the closing
    // command fails: a map left from an earlier table would put assignments on other slots.
    key_cache_ = table;
    slots_ = slots;
    key_table_valid_ = true;
    slot_map_ = build_button_slot_map(key_cache_, slots_);
    out.result = config_.SimpleCommand2();
    return out;
}

int MouseProtocol::read_settings_block(CMouseProfiledata* profile) {
    config_.SetPause(0);
    if (!config_.IsOpen() || !probe()) return 0;
    uint8_t active = 0;
    int r = config_.ReadAt({&active, 1}, 0);
    if (r != 1) return r;
    std::array<uint8_t, kWirelessBlockRead> b{};
    const size_t size = config_.IsWireless() ? kWirelessBlockRead : kSettingsBlockSize;
    r = config_.ReadAt({b.data(), size}, static_cast<int>(active * kProfileStride));
    if (r != 1) return r;
    previous_block_ = block_;
    block_ = b;
    take_settings_block(settings_, b);
    if (profile) {
        profile->set_active_stage(settings_.active_stage);
        profile->write_light_settings(settings_.light);
        profile->save_profile();
    }
    return 1;
}

int MouseProtocol::write_settings(int profile_index) {
    if (!config_.IsOpen()) return 0;
    if (profile_index < 0 || profile_index > 255) return kRefusedArgument;
    const SettingsBlock block = build_settings_block(settings_, config_.IsWireless());
    if (!probe()) return 0;
    int r = config_.SimpleCommand1();
    if (r != 1) return r;
    if (!probe()) return 0;
    r = config_.WriteAt({block.data(), kSettingsWriteSize},
                        profile_index * static_cast<int>(kProfileStride));
    if (r != 1) return r;
    if (!probe()) return 0;
    return config_.SimpleCommand2();
}

int MouseProtocol::write_key_table(int profile_index,
                                   const std::vector<KeyAssignmentRecord>& keys) {
    // Without the table read at connection there is nothing to put the buttons into; sending
    // zeros would wipe every key of the mouse.
    if (!config_.IsOpen() || !key_table_valid_) return 0;
    if (!probe()) return 0;
    int r = read_info();
    if (r != 1) return r;
    std::array<uint8_t, kKeyTableCacheSize> out{};
    const std::vector<uint8_t> table = build_key_table(key_cache_, info_[5], slot_map_, keys);
    std::copy(table.begin(), table.end(), out.begin());
    if (!probe()) return 0;
    if ((r = config_.SimpleCommand1()) != 1) return r;
    if (!probe()) return 0;
    if ((r = config_.WriteBlock(out, profile_index)) != 1) return r;
    if (!probe()) return 0;
    if ((r = config_.SimpleCommand2()) != 1) return r;
    return 1;
}

int MouseProtocol::write_macros(const std::string& folder) {
    if (!config_.IsOpen()) return 0;
    // Every failure shows as the one write failure the caller knows (-1).
    if (!probe() || read_info() != 1) return -1;
    const auto macros = load_macro_library(folder);
    if (!macros) return 0;
    const size_t size = macro_image_size(*macros);
    const size_t area = size_t{info_[6]} * 128;
    if (size > area) {
        const size_t excess = (size - area) / 4 + 1;
        return static_cast<int>(std::min<size_t>(excess, INT32_MAX));
    }
    const std::vector<uint8_t> image = build_macro_image(*macros);
    if (image.empty()) return -1;
    if (!probe() || config_.SimpleCommand1() != 1) return -1;
    if (!probe() || config_.WriteBuffer(image) != 1) return -1;
    if (!probe() || config_.SimpleCommand2() != 1) return -1;
    return 0;
}

int MouseProtocol::write_shoot_data(const std::string& folder) {
    if (!config_.IsOpen() || !probe()) return 0;
    int r = read_info();
    if (r != 1) return r;
    std::vector<uint8_t> image = build_macro_image(load_shoot_slots(folder));
    if (image.empty()) return kRefusedArgument;
    // The device takes the shoot area in whole chunks.
    const size_t chunk = hid::CCommandChannel::kChunkSize;
    image.resize((image.size() + chunk - 1) / chunk * chunk, 0);
    if ((r = config_.SimpleCommand1()) != 1) return r;
    if ((r = config_.WriteBufferUnlocked(image)) != 1) return r;
    return config_.SimpleCommand2();
}

void MouseProtocol::take_profile(CMouseProfiledata& profile) {
    settings_.keys = profile.read_key_assignments();
    settings_.stages = profile.read_dpi_stages();
    settings_.active_stage = profile.active_stage();
    settings_.system = profile.read_system_words();
    settings_.light = profile.read_light_settings();
}

void MouseProtocol::apply_light_settings(CMouseProfiledata& profile) {
    settings_.light = profile.read_light_settings();
    light_.apply_light_settings(settings_.light, profile.read_led_zones(),
                                profile.read_light_effects());
}

}  // namespace tellune::device
