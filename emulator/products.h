#pragma once
// The four emulated products. Each comes with its real report descriptor, its factory key
// table and a plausible factory memory image; `index` only changes the node part of the
// paths ("emu/mouse0", "emu/mouse1", ...) so several of one product can be plugged.
//
// Interface 1 of the mouse, the mouse pad and the keyboard has four top-level collections:
// 1 pointer or boot keyboard, 2 system control, 3 consumer (notifications: input report 3,
// one 16-bit usage 0..0x7FF), 4 vendor page 0xFF1C usage 0x92 (64-byte reports with id 4).
// The headset's interface 3 has a single consumer collection (so its path has no "&col")
// carrying the command reports (id 4) and the 17-byte light output reports (id 0xFF).

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "core/device/factory_codes.h"
#include "emulator/emulated_device.h"

namespace tellune::emulator {

using device::KeyCode;
using device::kKeyboardFactoryCodes;
using device::kMouseFactoryCodes;

inline constexpr uint16_t kMouseVendor = 0x0C45;
inline constexpr uint16_t kMouseProduct = 0x7643;
inline constexpr uint16_t kMousePadVendor = 0x320F;
inline constexpr uint16_t kMousePadProduct = 0x1004;
// Above 0x0100, so the program does not offer a firmware update.
inline constexpr uint16_t kEmulatedVersion = 0x0102;

inline constexpr uint8_t kMouseKeySlots = 16;              // slots 11..15 hold no factory code
inline constexpr uint8_t kKeyboardKeySlots = 126;          // slot k holds the factory code of key k
inline constexpr uint8_t kMacroUnits = 16;                 // macro area of 16 · 128 = 2048 bytes
// Whole 56-byte chunks, room for four guns of 30 bullets (2920 bytes).
inline constexpr size_t kShootAreaSize = 64 * kChunkSize;
inline constexpr size_t kCustomColourGroups = 8;

std::span<const uint8_t> mouse_report_descriptor();
std::span<const uint8_t> keyboard_report_descriptor();  // also the mouse pad's
std::span<const uint8_t> headset_report_descriptor();

DeviceConfig mouse_config(int index = 0);
DeviceConfig mouse_pad_config(int index = 0);
DeviceConfig keyboard_config(int index = 0);
DeviceConfig headset_config(int index = 0);

std::shared_ptr<EmulatedDevice> make_mouse(int index = 0);
std::shared_ptr<EmulatedDevice> make_mouse_pad(int index = 0);
std::shared_ptr<EmulatedDevice> make_keyboard(int index = 0);
std::shared_ptr<EmulatedDevice> make_headset(int index = 0);

}  // namespace tellune::emulator
