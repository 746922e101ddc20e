#include "emulator/products.h"

#include <string>

namespace tellune::emulator {

// clang-format off
namespace {

// Collection 2: system control (power, sleep, wake), report id 2.
#define TELLUNE_SYSTEM_CONTROL_COLLECTION                                                      \
    0x05, 0x01, 0x09, 0x80, 0xA1, 0x01, 0x85, 0x02,                                            \
    0x19, 0x81, 0x29, 0x83, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02,        \
    0x95, 0x05, 0x81, 0x01,                                                                    \
    0xC0

// Collection 3: consumer, report id 3 = one 16-bit usage 0..0x7FF (media keys, the sync
// requests 0x0401/0x0404 and the key events 0x0500..0x06FF).
#define TELLUNE_CONSUMER_COLLECTION                                                            \
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03,                                            \
    0x15, 0x00, 0x26, 0xFF, 0x07, 0x19, 0x00, 0x2A, 0xFF, 0x07, 0x75, 0x10, 0x95, 0x01,        \
    0x81, 0x00,                                                                                \
    0xC0

// Collection 4: vendor page 0xFF1C usage 0x92, report id 4, 63 data bytes each way.
#define TELLUNE_VENDOR_COLLECTION                                                              \
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04,                                      \
    0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F, 0x81, 0x02,              \
    0x09, 0x02, 0x91, 0x02,                                                                    \
    0xC0

const uint8_t kMouseDescriptor[] = {
    // Collection 1: pointer, report id 1: 5 buttons, X and Y (16 bits), wheel.
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x01, 0xA1, 0x00,
    0x05, 0x09, 0x19, 0x01, 0x29, 0x05, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x05, 0x81, 0x02,
    0x75, 0x03, 0x95, 0x01, 0x81, 0x01,
    0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x16, 0x01, 0x80, 0x26, 0xFF, 0x7F, 0x75, 0x10, 0x95, 0x02,
    0x81, 0x06,
    0x09, 0x38, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x01, 0x81, 0x06,
    0xC0, 0xC0,
    TELLUNE_SYSTEM_CONTROL_COLLECTION,
    TELLUNE_CONSUMER_COLLECTION,
    TELLUNE_VENDOR_COLLECTION,
};

const uint8_t kKeyboardDescriptor[] = {
    // Collection 1: boot keyboard, report id 1: modifiers, reserved byte, six key codes;
    // output: five LEDs.
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01,
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x95, 0x05, 0x75, 0x01, 0x91, 0x02,
    0x95, 0x01, 0x75, 0x03, 0x91, 0x01,
    0x05, 0x07, 0x19, 0x00, 0x2A, 0xFF, 0x00, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x95, 0x06, 0x75, 0x08,
    0x81, 0x00,
    0xC0,
    TELLUNE_SYSTEM_CONTROL_COLLECTION,
    TELLUNE_CONSUMER_COLLECTION,
    TELLUNE_VENDOR_COLLECTION,
};

const uint8_t kHeadsetDescriptor[] = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,
    // Report id 1: volume up, volume down, mute.
    0x85, 0x01, 0x15, 0x00, 0x25, 0x01, 0x09, 0xE9, 0x09, 0xEA, 0x09, 0xE2, 0x75, 0x01, 0x95, 0x03,
    0x81, 0x02, 0x95, 0x05, 0x81, 0x01,
    // Report id 4: the command reports, 63 data bytes each way.
    0x85, 0x04, 0x06, 0x1C, 0xFF, 0x09, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F,
    0x81, 0x02, 0x09, 0x02, 0x91, 0x02,
    // Report id 0xFF: light output, 16 data bytes.
    0x85, 0xFF, 0x09, 0x03, 0x95, 0x10, 0x91, 0x02,
    0xC0,
};
// clang-format on

#undef TELLUNE_SYSTEM_CONTROL_COLLECTION
#undef TELLUNE_CONSUMER_COLLECTION
#undef TELLUNE_VENDOR_COLLECTION

std::vector<CollectionSpec> four_collections(bool keyboard_leds) {
    std::vector<CollectionSpec> collections(4);
    collections[0] = {1,     0x0001, static_cast<uint16_t>(keyboard_leds ? 0x0006 : 0x0002),
                      false, 0,      {}};
    if (keyboard_leds) collections[0].outputs = {{1, 2}};
    collections[1] = {2, 0x0001, 0x0080, false, 0, {}};
    collections[2] = {3, 0x000C, 0x0001, false, 3, {}};
    collections[3] = {4, 0xFF1C, 0x0092, true, 0, {{kCommandReportId, kCommandReportSize}}};
    return collections;
}

// Info block: bytes 0-1 firmware version (little-endian), 2-3 product id, byte 5 key slots,
// byte 6 macro area in 128-byte units; the rest is zero.
std::array<uint8_t, kInfoBlockSize> info_block(uint16_t product, uint8_t slots, uint8_t units) {
    std::array<uint8_t, kInfoBlockSize> info{};
    info[0] = 0x05;
    info[1] = 0x01;
    info[2] = static_cast<uint8_t>(product & 0xFF);
    info[3] = static_cast<uint8_t>(product >> 8);
    info[5] = slots;
    info[6] = units;
    return info;
}

void fill_key_table(DeviceConfig& config, std::span<const KeyCode> codes) {
    const size_t slots = config.key_slots();
    config.key_table.assign(3 * slots, 0);
    for (size_t i = 0; i < codes.size() && i < slots; ++i)
        std::copy(codes[i].begin(), codes[i].end(), config.key_table.begin() + 3 * i);
    config.light_frame_size = 3 * slots;
    config.custom_colour_size = kCustomColourGroups * 3 * slots;
}

// The same settings block in every profile, `stride` bytes apart; byte 0 of the memory is the
// active profile index 0.
std::vector<uint8_t> profile_memory(size_t size, size_t stride, std::span<const uint8_t> block) {
    std::vector<uint8_t> memory(size, 0);
    for (size_t base = 0; base + block.size() <= size; base += stride)
        std::copy(block.begin(), block.end(), memory.begin() + static_cast<ptrdiff_t>(base));
    return memory;
}

std::vector<uint8_t> default_status() {
    // Battery 100 %, not charging, wired.
    std::vector<uint8_t> status(16, 0);
    status[0] = 100;
    return status;
}

std::string node(const char* kind, int index) {
    return "emu/" + std::string(kind) + std::to_string(index);
}

}  // namespace

std::span<const uint8_t> mouse_report_descriptor() {
    return kMouseDescriptor;
}
std::span<const uint8_t> keyboard_report_descriptor() {
    return kKeyboardDescriptor;
}
std::span<const uint8_t> headset_report_descriptor() {
    return kHeadsetDescriptor;
}

DeviceConfig mouse_config(int index) {
    DeviceConfig c;
    c.node = node("mouse", index);
    c.vendor_id = kMouseVendor;
    c.product_id = kMouseProduct;
    c.version = kEmulatedVersion;
    c.interface_number = 1;
    c.report_descriptor.assign(std::begin(kMouseDescriptor), std::end(kMouseDescriptor));
    c.collections = four_collections(false);
    c.info = info_block(kMouseProduct, kMouseKeySlots, kMacroUnits);
    fill_key_table(c, kMouseFactoryCodes);
    c.led_index_table.assign(kMouseKeySlots, 0);
    // Settings block: spectrum at brightness 3, speed 2, multi-colour red; report rate 3;
    // DPI steps 4, 9, 15, 19 (stage 1 active), 29, 39, 0, 0; a colour per stage; lift 1.
    const uint8_t block[59] = {
        0x00, 0x01, 0x03, 0x02, 0x00, 0x01, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03,
        0x04, 0x00, 0x09, 0x00, 0x0F, 0x00, 0x13, 0x00, 0x01, 0x1D, 0x00, 0x27, 0x00, 0x00, 0x00,
        0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
        0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0x00, 0x01, 0x00, 0x00};
    c.memory = profile_memory(8 * 128, 128, block);
    c.status = default_status();
    c.shoot_size = kShootAreaSize;
    return c;
}

DeviceConfig mouse_pad_config(int index) {
    DeviceConfig c;
    c.node = node("mousepad", index);
    c.vendor_id = kMousePadVendor;
    c.product_id = kMousePadProduct;
    c.version = kEmulatedVersion;
    c.interface_number = 1;
    c.report_descriptor.assign(std::begin(kKeyboardDescriptor), std::end(kKeyboardDescriptor));
    c.collections = four_collections(true);
    c.info = info_block(kMousePadProduct, 0, 0);  // no keys, no macros
    // Wave, brightness 4, device speed 2, multi-colour, magenta. Reads step 25, writes 64.
    const uint8_t block[25] = {0x00, 0x00, 0x04, 0x02, 0x00, 0x01, 0xFF, 0x00, 0xFF};
    c.memory = profile_memory(256, 64, block);
    // Wired, with a phone charging on it (byte 5: 1 iPhone, 2 Samsung, 3 other, 0 none).
    c.status = default_status();
    c.status[5] = 1;
    return c;
}

DeviceConfig keyboard_config(int index) {
    DeviceConfig c;
    c.node = node("keyboard", index);
    c.version = kEmulatedVersion;
    c.interface_number = 1;
    c.report_descriptor.assign(std::begin(kKeyboardDescriptor), std::end(kKeyboardDescriptor));
    c.collections = four_collections(true);
    c.info = info_block(0, kKeyboardKeySlots, kMacroUnits);
    fill_key_table(c, kKeyboardFactoryCodes);
    // The LEDs are chained in the opposite order of the key slots, so a host that confuses a
    // slot with its LED shows it at once.
    c.led_index_table.resize(kKeyboardKeySlots);
    for (size_t k = 0; k < kKeyboardKeySlots; ++k)
        c.led_index_table[k] = static_cast<uint8_t>(kKeyboardKeySlots - 1 - k);
    // Spectrum, brightness 4, device speed 2, multi-colour white, polling rate index 3.
    const uint8_t block[25] = {0x00, 0x01, 0x04, 0x02, 0x00, 0x01, 0xFF, 0xFF, 0xFF,
                               0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                               0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00};
    c.memory = profile_memory(8 * 25, 25, block);
    c.status = default_status();
    c.shoot_size = kShootAreaSize;
    return c;
}

DeviceConfig headset_config(int index) {
    DeviceConfig c;
    c.node = node("headset", index);
    c.version = kEmulatedVersion;
    c.interface_number = 3;
    c.report_descriptor.assign(std::begin(kHeadsetDescriptor), std::end(kHeadsetDescriptor));
    c.collections = {
        {0, 0x000C, 0x0001, true, 0, {{kCommandReportId, kCommandReportSize}, {0xFF, 17}}}};
    c.info = info_block(0, 0, 0);
    // Spectrum, brightness 4, device speed 2, blue. Reads step 25, writes 64.
    const uint8_t block[21] = {0x00, 0x01, 0x04, 0x02, 0x00, 0x00, 0x00, 0x00, 0xFF};
    c.memory = profile_memory(256, 64, block);
    // A wireless headset's power block: battery 80 %, charging; byte 4 its link quality.
    c.status = default_status();
    c.status[0] = 80;
    c.status[1] = 1;
    c.status[4] = 3;
    return c;
}

std::shared_ptr<EmulatedDevice> make_mouse(int index) {
    return std::make_shared<EmulatedDevice>(mouse_config(index));
}
std::shared_ptr<EmulatedDevice> make_mouse_pad(int index) {
    return std::make_shared<EmulatedDevice>(mouse_pad_config(index));
}
std::shared_ptr<EmulatedDevice> make_keyboard(int index) {
    return std::make_shared<EmulatedDevice>(keyboard_config(index));
}
std::shared_ptr<EmulatedDevice> make_headset(int index) {
    return std::make_shared<EmulatedDevice>(headset_config(index));
}

}  // namespace tellune::emulator
