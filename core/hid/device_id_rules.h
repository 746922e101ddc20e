#pragma once
// What the installed system learns about the supported products, made from the HID match
// table so the two never disagree: the udev rule that gives the user at the seat access to
// their hidraw nodes, and the hardware the AppStream metadata says the program supports.

#include <string>

namespace tellune::hid {

// The rule file's text: one line per product with a vendor and product id, tagged "uaccess"
// (an ACL for the seated user, never a world-writable mode). Products whose match rows carry
// no ids are named in a comment: no rule can match them by id.
std::string udev_rule_text();

// One AppStream <modalias> element a line ("usb:v0C45p7643d*"), for the products with ids.
std::string appstream_modaliases(const std::string& indent);

}  // namespace tellune::hid
