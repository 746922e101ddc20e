#include "core/device/keyboard_protocol.h"

#include <algorithm>
#include <memory>

#include "core/device/macro_image.h"

namespace tellune::device {

namespace {

constexpr int kRefusedArgument = -201;

void set_half(uint32_t& word, bool high, uint16_t value) {
    word = high ? (word & 0xFFFFu) | uint32_t(value) << 16 : (word & 0xFFFF0000u) | value;
}

}  // namespace

void set_repeat(KeyboardSystemWords& w, uint16_t v) {
    set_half(w.word[0], false, v);
}
void set_repeat_delay(KeyboardSystemWords& w, uint16_t v) {
    set_half(w.word[0], true, v);
}
void set_key6_flag(KeyboardSystemWords& w, uint16_t v) {
    set_half(w.word[1], false, v);
}
void set_polling_rate(KeyboardSystemWords& w, uint16_t v) {
    set_half(w.word[1], true, v);
}
void set_wflag(KeyboardSystemWords& w, uint16_t v) {
    set_half(w.word[2], false, v);
}
void set_win_flag(KeyboardSystemWords& w, uint16_t v) {
    set_half(w.word[2], true, v);
}

KeyboardBlock build_keyboard_block(const KeyboardSettings& s) {
    KeyboardBlock b{};
    const LightSettings& l = s.light;
    b[0] = 0;
    b[1] = l.select_item() > kHighestDeviceMode ? 0 : l.select_item();
    b[2] = l.light();
    b[3] = uint8_t(4 - std::min<uint8_t>(l.speed(), 4));
    b[4] = l.fx();
    // Bytes 5..8 (multi-colour flag and colour) go as zeros.
    b[18] = l.led_mode();
    b[19] = uint8_t(wflag_of(s.system));
    b[20] = uint8_t(key6_flag_of(s.system));
    b[21] = uint8_t(win_flag_of(s.system));
    b[22] = uint8_t(polling_rate_of(s.system));
    return b;
}

bool take_keyboard_block(KeyboardSettings& s, std::span<const uint8_t> b) {
    if (b.size() < kKeyboardBlockSize) return false;
    const LightSettings old = s.light;
    // A speed byte above 4 would index past the engine's tables.
    const uint8_t speed = uint8_t(4 - std::min<uint8_t>(b[3], 4));
    // We write the colour as zeros, so zeros read back are ours, not the keyboard's: taking
    // them would wipe the colour of the profile at every reload after a write.
    const bool colour = b[5] || b[6] || b[7] || b[8];
    s.light = LightSettings::make(b[1], b[2], speed, old.fx(), colour ? b[5] : old.multi_color(),
                                  colour ? b[6] : old.red(), colour ? b[7] : old.green(),
                                  colour ? b[8] : old.blue(), b[18]);
    set_key6_flag(s.system, b[20]);
    set_wflag(s.system, b[19]);
    set_win_flag(s.system, b[21]);
    return b[1] != old.select_item();
}

KeySlotMap build_key_slot_map(std::span<const uint8_t> table, size_t slots) {
    KeySlotMap map;
    map.fill(kNoSlot);
    // Slot numbers travel as one byte and kNoSlot must stay free.
    slots = std::min({slots, table.size() / 3, size_t(kNoSlot)});
    for (size_t key = 0; key < kKeyboardKeys; ++key) {
        const KeyCode& code = kKeyboardFactoryCodes[key];
        if (names_no_key(code)) continue;
        for (size_t s = 0; s < slots; ++s) {
            if (std::equal(code.begin(), code.end(), table.begin() + ptrdiff_t(3 * s))) {
                map[key] = uint8_t(s);
                break;
            }
        }
    }
    return map;
}

LedMap build_led_map(const KeySlotMap& slots, std::span<const uint8_t> led_indices) {
    LedMap map;
    map.fill(kNoLed);
    for (size_t key = 0; key < kKeyboardKeys; ++key)
        if (slots[key] != kNoSlot && slots[key] < led_indices.size())
            map[key] = led_indices[slots[key]];
    return map;
}

bool keyboard_key_assignable(const KeySlotMap& slots, int key) {
    return key >= 0 && size_t(key) < slots.size() && key != kKeyboardFnKey &&
           slots[size_t(key)] != kNoSlot;
}

int key_of_slot(const KeySlotMap& slots, int slot) {
    if (slot < 0 || slot >= kNoSlot) return -1;
    for (size_t key = 0; key < kKeyboardKeys; ++key)
        if (slots[key] == slot) return int(key);
    return -1;
}

std::vector<uint8_t> build_keyboard_key_table(std::span<const uint8_t> cache, size_t slots,
                                              const KeySlotMap& map,
                                              const std::vector<KeyAssignmentRecord>& keys) {
    const size_t size = std::min(3 * slots, cache.size());
    std::vector<uint8_t> table(cache.begin(), cache.begin() + ptrdiff_t(size));
    for (size_t i = 0; i < keys.size() && i < map.size(); ++i) {
        const size_t s = map[i];
        if (s == kNoSlot || 3 * s + 3 > table.size()) continue;
        table[3 * s] = keys[i].type;
        table[3 * s + 1] = keys[i].param1;
        table[3 * s + 2] = keys[i].param2;
    }
    return table;
}

std::vector<uint8_t> build_light_frame(std::span<const LedColour> keys, const LedMap& map,
                                       size_t slots) {
    std::vector<uint8_t> frame(3 * slots, 0);
    for (size_t key = 0; key < keys.size() && key < map.size(); ++key) {
        const size_t led = map[key];
        if (led >= slots) continue;
        const LedColour& c = keys[key];
        frame[3 * led] = uint8_t(unsigned{c.r} * c.level / 256);
        frame[3 * led + 1] = uint8_t(unsigned{c.g} * c.level / 256);
        frame[3 * led + 2] = uint8_t(unsigned{c.b} * c.level / 256);
    }
    return frame;
}

std::vector<uint8_t> build_custom_colour_table(std::span<const CustomColour> keys,
                                               const LedMap& map, size_t slots) {
    std::vector<uint8_t> table(3 * slots, 0);
    for (size_t key = 0; key < keys.size() && key < map.size(); ++key) {
        const size_t led = map[key];
        if (led >= slots) continue;
        table[3 * led] = keys[key].red;
        table[3 * led + 1] = keys[key].green;
        table[3 * led + 2] = keys[key].blue;
    }
    return table;
}

std::optional<KeyReport> key_report(uint16_t usage, const KeySlotMap& slots) {
    const uint16_t kind = usage & 0xFF00;
    if (kind != kUsageKeyDown && kind != kUsageKeyUp) return std::nullopt;
    const int key = key_of_slot(slots, usage & 0xFF);
    if (key < 0) return std::nullopt;
    return KeyReport{key, kind == kUsageKeyDown ? KeyAction::down : KeyAction::up};
}

// --- the protocol object ---

namespace {

std::unique_ptr<KeyboardLightEngine> make_engine(KeyboardLightEngine*& raw) {
    auto engine = std::make_unique<KeyboardLightEngine>(kKeyboardKeys);
    raw = engine.get();
    return engine;
}

}  // namespace

KeyboardProtocol::KeyboardProtocol(hid::CCommandChannel& config)
    : config_(config),
      light_(&config, make_engine(engine_)),
      sender_([this](std::span<const uint8_t> frame) { return config_.WriteLightFrame(frame); },
              "KB灯光发送线程设定退出") {
    slot_map_.fill(kNoSlot);
    led_map_.fill(kNoLed);
    light_.set_exit_line("KB灯光线程设定退出");
}

KeyboardProtocol::~KeyboardProtocol() {
    sender_.stop();
    light_.clear_leds();
    light_.stop_light_thread();
}

KeySlotMap KeyboardProtocol::key_slot_map() const {
    std::lock_guard lock(map_mutex_);
    return slot_map_;
}

LedMap KeyboardProtocol::led_map() const {
    std::lock_guard lock(map_mutex_);
    return led_map_;
}

int KeyboardProtocol::read_info() {
    std::array<uint8_t, 32> area{};
    uint16_t word = 0;
    const int r = config_.ReadInfo(area, word);
    if (r != 1) return r;
    std::copy(area.begin(), area.end(), info_.begin());
    info_[32] = uint8_t(word & 0xFF);
    info_[33] = uint8_t(word >> 8);
    return 1;
}

int KeyboardProtocol::connect_device() {
    if (!config_.IsOpen()) return 0;
    int r = config_.SimpleCommand1();
    if (r != 1) return r;
    if ((r = read_info()) != 1) return r;
    const uint8_t slots = info_[5];
    if (config_.SetBlockSize(uint16_t(3 * slots)) != 1) {
        // Our buffers hold 512 bytes; the sequence is still closed so the keyboard is not
        // left waiting for data.
        config_.SimpleCommand2();
        return kRefusedArgument;
    }
    std::array<uint8_t, kKeyboardTableCache> table{};
    if ((r = config_.ReadBlock(table)) != 1) return r;
    std::array<uint8_t, kKeyboardTableCache> leds{};
    if ((r = config_.ReadThirdBlock(leds)) != 1) return r;
    if ((r = config_.SimpleCommand2()) != 1) return r;
    key_cache_ = table;
    led_cache_ = leds;
    {
        std::lock_guard lock(map_mutex_);
        slots_ = slots;
        slot_map_ = build_key_slot_map(key_cache_, slots_);
        led_map_ = build_led_map(slot_map_, {led_cache_.data(), slots_});
        connected_ = true;
    }
    sender_.start();
    return 1;
}

int KeyboardProtocol::read_settings_block(CKeyboardProfiledata* profile) {
    config_.SetPause(0);
    if (!config_.IsOpen()) return 0;
    uint8_t active = 0;
    int r = config_.ReadAt({&active, 1}, 0);
    if (r != 1) return r;
    KeyboardBlock b{};
    r = config_.ReadAt(b, int(active * kKeyboardBlockSize));
    if (r != 1) return r;
    previous_block_ = block_;
    block_ = b;
    take_keyboard_block(settings_, b);
    // The engine restarts the effect when the mode is a new one.
    if (profile)
        light_.apply_light_settings(settings_.light, profile->led_zones(),
                                    profile->light_effects());
    else
        light_.apply_light_settings(settings_.light);
    if (profile) {
        profile->write_system_words(settings_.system);
        profile->write_light_settings(settings_.light);
        profile->save_profile();
    }
    return 1;
}

int KeyboardProtocol::write_settings(int profile_index) {
    if (!config_.IsOpen()) return 0;
    if (profile_index < 0 || profile_index > 255) return kRefusedArgument;
    const KeyboardBlock block = build_keyboard_block(settings_);
    int r = config_.SimpleCommand1();
    if (r != 1) return r;
    r = config_.WriteAt(block, profile_index * int(kKeyboardBlockSize));
    if (r != 1) return r;
    return config_.SimpleCommand2();
}

int KeyboardProtocol::write_key_table(int profile_index,
                                      const std::vector<KeyAssignmentRecord>& keys) {
    // Without the table read at connection there is nothing to put the keys into; sending
    // zeros would wipe every key of the keyboard.
    if (!config_.IsOpen() || !connected_) return 0;
    int r = read_info();
    if (r != 1) return r;
    std::array<uint8_t, kKeyboardTableCache> out{};
    const std::vector<uint8_t> table =
        build_keyboard_key_table(key_cache_, slots_, key_slot_map(), keys);
    std::copy(table.begin(), table.end(), out.begin());
    // The channel sends its block size; a connection that failed after setting it for
    // another table would otherwise send that many bytes, zeros past our table.
    if ((r = config_.SetBlockSize(uint16_t(table.size()))) != 1) return r;
    if ((r = config_.SimpleCommand1()) != 1) return r;
    if ((r = config_.WriteBlock(out, profile_index)) != 1) return r;
    if ((r = config_.SimpleCommand2()) != 1) return r;
    return 1;
}

int KeyboardProtocol::write_macros(const std::string& folder) {
    if (!config_.IsOpen()) return 0;
    // Every failure shows as the one write failure the caller knows (-1).
    if (read_info() != 1) return -1;
    const auto macros = load_macro_library(folder);
    if (!macros) return 0;
    const size_t size = macro_image_size(*macros);
    const size_t area = size_t{info_[6]} * 128;
    if (size > area) {
        const size_t excess = (size - area) / 4 + 1;
        return int(std::min<size_t>(excess, INT32_MAX));
    }
    const std::vector<uint8_t> image = build_macro_image(*macros);
    if (image.empty()) return -1;
    if (config_.SimpleCommand1() != 1) return -1;
    if (config_.WriteBuffer(image) != 1) return -1;
    if (config_.SimpleCommand2() != 1) return -1;
    return 0;
}

int KeyboardProtocol::write_custom_colours(int group, std::span<const CustomColour> colours) {
    if (!config_.IsOpen() || config_.IsWireless() || !connected_) return 0;
    if (group < 0 || group >= kCustomLightGroups) return kRefusedArgument;
    const std::vector<uint8_t> table = build_custom_colour_table(colours, led_map(), slots_);
    if (table.empty()) return 0;
    return config_.WriteIndexed(table, group, int(table.size()));
}

void KeyboardProtocol::take_profile(CKeyboardProfiledata& profile) {
    settings_.keys = profile.read_key_assignments();
    settings_.system = profile.read_system_words();
    settings_.light = profile.read_light_settings();
}

void KeyboardProtocol::apply_light_settings(CKeyboardProfiledata& profile) {
    settings_.light = profile.read_light_settings();
    show_custom_colours(profile.read_custom_colours(profile.read_custom_group(), kKeyboardKeys));
    light_.apply_light_settings(settings_.light, profile.read_led_zones(),
                                profile.read_light_effects());
}

void KeyboardProtocol::show_custom_colours(const std::vector<CustomColour>& colours) {
    light_.update([this, &colours](LightRenderer&) { engine_->set_custom_colours(colours); });
}

bool KeyboardProtocol::on_key_usage(uint16_t usage) {
    const std::optional<KeyReport> report = key_report(usage, key_slot_map());
    if (!report) return false;
    light_.update([this, &report](LightRenderer&) {
        engine_->key_event(size_t(report->key), report->action);
    });
    return true;
}

void KeyboardProtocol::stream_frame(std::span<const LedColour> keys) {
    if (!config_.IsOpen() || config_.IsWireless() || !connected_) return;
    sender_.submit(build_light_frame(keys, led_map(), slots_));
}

}  // namespace tellune::device
