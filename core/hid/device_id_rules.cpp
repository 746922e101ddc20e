#include "core/hid/device_id_rules.h"

#include <cstdio>
#include <set>
#include <utility>
#include <vector>

#include "core/hid/device_slots.h"

namespace tellune::hid {
namespace {

const char* kind_name(uint16_t kind) {
    switch (kind) {
        case kKindKeyboard:
            return "keyboard";
        case kKindMouse:
            return "mouse";
        case kKindMousePad:
            return "mouse pad";
        case kKindWirelessMouse:
            return "mouse (wireless receiver)";
        case kKindHeadset:
            return "headset";
        default:
            return "device";
    }
}

// The products that have ids, each once, in match-table order.
std::vector<const DeviceSlot*> products_with_ids() {
    std::vector<const DeviceSlot*> out;
    std::set<std::pair<uint16_t, uint16_t>> done;
    for (const DeviceSlot& row : hid_match_table())
        if ((row.vendor_id != 0 || row.product_id != 0) &&
            done.insert({row.vendor_id, row.product_id}).second)
            out.push_back(&row);
    return out;
}

}  // namespace

std::string udev_rule_text() {
    std::string text =
        "# Tellune: read and write access to the hidraw nodes of the supported devices for the\n"
        "# user at the seat (TAG+=\"uaccess\": an ACL set by systemd-logind, no world-writable\n"
        "# mode). Made from the program's HID match table when it is built; edit that, not this.\n"
        "# The number keeps it before 73-seat-late.rules, which turns the tag into the ACL.\n";
    std::set<std::string> unmatched;
    for (const DeviceSlot& row : hid_match_table())
        if (row.vendor_id == 0 && row.product_id == 0) unmatched.insert(kind_name(row.kind));
    std::string rules;
    for (const DeviceSlot* row : products_with_ids()) {
        char line[256];
        std::snprintf(
            line, sizeof line,
            "\n# %s\nKERNEL==\"hidraw*\", SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"%04x\", "
            "ATTRS{idProduct}==\"%04x\", TAG+=\"uaccess\"\n",
            kind_name(row->kind), row->vendor_id, row->product_id);
        rules += line;
    }
    for (const std::string& kind : unmatched)
        text += "# The " + kind +
                " has no vendor or product id in the match table, so no rule can name it;\n"
                "# its hidraw node keeps the system's default rights.\n";
    return text + rules;
}

std::string appstream_modaliases(const std::string& indent) {
    std::string out;
    for (const DeviceSlot* row : products_with_ids()) {
        char line[64];
        std::snprintf(line, sizeof line, "<modalias>usb:v%04Xp%04Xd*</modalias>\n", row->vendor_id,
                      row->product_id);
        out += indent + line;
    }
    return out;
}

}  // namespace tellune::hid
