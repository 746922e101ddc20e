#include "core/hid/hid_path.h"

#include <gtest/gtest.h>

namespace tellune::hid {
namespace {

TEST(HidPath, SynthesizedPaths) {
    EXPECT_EQ(make_interface_path("/dev/hidraw3", 0x0C45, 0x7643, 1, 4, 4),
              "/dev/hidraw3?vid_0c45&pid_7643&mi_01&col04");
    // One collection: no "&col" part.
    EXPECT_EQ(make_interface_path("/dev/hidraw1", 0x320F, 0x1004, 0, 1, 1),
              "/dev/hidraw1?vid_320f&pid_1004&mi_00");
    // Vendor and product 0: no ids at all.
    EXPECT_EQ(make_interface_path("/dev/hidraw5", 0, 0, 3, 1, 1), "/dev/hidraw5?&mi_03");
    EXPECT_EQ(make_interface_path("/dev/hidraw7", 0, 0x0001, 2, 11, 12),
              "/dev/hidraw7?vid_0000&pid_0001&mi_02&col0b");
    // Not a USB interface: no "&mi_".
    EXPECT_EQ(make_interface_path("/dev/hidraw9", 0x046D, 0xB023, -1, 2, 2),
              "/dev/hidraw9?vid_046d&pid_b023&col02");
}

TEST(HidPath, ParsesOwnAndWindowsPaths) {
    const std::string ours = "/dev/hidraw3?vid_0c45&pid_7643&mi_01&col04";
    EXPECT_EQ(parse_vendor_id(ours), 0x0C45);
    EXPECT_EQ(parse_product_id(ours), 0x7643);
    EXPECT_EQ(parse_interface_number(ours), 1);
    EXPECT_EQ(parse_collection_number(ours), 4);
    EXPECT_EQ(interface_path_node(ours), "/dev/hidraw3");

    const std::string windows =
        "\\\\?\\HID#VID_320F&PID_1004&MI_01&COL03#8&2d5b0e1&0&0002#{4d1e55b2-f16f-11cf-88cb-"
        "001111000030}";
    EXPECT_EQ(parse_vendor_id(windows), 0x320F);
    EXPECT_EQ(parse_product_id(windows), 0x1004);
    EXPECT_EQ(parse_interface_number(windows), 1);
    EXPECT_EQ(parse_collection_number(windows), 3);
}

TEST(HidPath, AbsentKeysAndOddNumbers) {
    // Without "&col" the collection is 0; without ids vendor and product are 0.
    EXPECT_EQ(parse_collection_number("/dev/hidraw1?vid_320f&pid_1004&mi_00"), 0);
    EXPECT_EQ(parse_vendor_id("/dev/hidraw5?&mi_03"), 0);
    EXPECT_EQ(parse_product_id("/dev/hidraw5?&mi_03"), 0);
    EXPECT_EQ(parse_interface_number("/dev/hidraw5?&mi_03"), 3);
    // Truncated to 16 bits; no digits reads as 0; mixed case keys.
    EXPECT_EQ(parse_vendor_id("x?VID_123456"), 0x3456);
    EXPECT_EQ(parse_product_id("x?vid_1&pId_&mi_01"), 0);
    EXPECT_EQ(parse_collection_number("x?&CoL0A"), 0x0A);
    // A folder name that looks like a key does not count.
    EXPECT_EQ(parse_vendor_id("/tmp/vid_1234/hidraw0?&mi_00"), 0);
    EXPECT_EQ(parse_vendor_id(""), 0);
    EXPECT_EQ(parse_collection_number("&co"), 0);
}

}  // namespace
}  // namespace tellune::hid
