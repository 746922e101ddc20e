#include "core/hid/device_id_rules.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "core/hid/device_slots.h"

namespace tellune::hid {
namespace {

std::vector<std::string> rule_lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') out.push_back(line);
    return out;
}

TEST(DeviceIdRules, OneSeatRulePerProductWithIdsAndNoneForTheOthers) {
    const std::string text = udev_rule_text();
    const std::vector<std::string> rules = rule_lines(text);
    // The mouse and the mouse pad; each product once although it has two match rows.
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0],
              "KERNEL==\"hidraw*\", SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"0c45\", "
              "ATTRS{idProduct}==\"7643\", TAG+=\"uaccess\"");
    EXPECT_EQ(rules[1],
              "KERNEL==\"hidraw*\", SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"320f\", "
              "ATTRS{idProduct}==\"1004\", TAG+=\"uaccess\"");
    // Every product of the match table that has ids is covered.
    for (const DeviceSlot& row : hid_match_table()) {
        if (row.vendor_id == 0 && row.product_id == 0) continue;
        char ids[64];
        std::snprintf(ids, sizeof ids, "ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\"",
                      row.vendor_id, row.product_id);
        EXPECT_NE(text.find(ids), std::string::npos) << ids;
    }
    EXPECT_EQ(text.find("\"0000\""), std::string::npos);
    EXPECT_EQ(text.find("MODE"), std::string::npos);  // never a world-writable node
    EXPECT_EQ(text.find("0666"), std::string::npos);
    // The products without ids are named in a comment instead.
    EXPECT_NE(text.find("# The keyboard has no vendor or product id"), std::string::npos);
    EXPECT_NE(text.find("# The headset has no vendor or product id"), std::string::npos);
}

TEST(DeviceIdRules, AppStreamModaliasesOfTheSameProducts) {
    EXPECT_EQ(appstream_modaliases("  "),
              "  <modalias>usb:v0C45p7643d*</modalias>\n"
              "  <modalias>usb:v320Fp1004d*</modalias>\n");
}

}  // namespace
}  // namespace tellune::hid
