#pragma once
// A sysfs tree of hidraw nodes, laid out as the kernel does, for the hidraw backend.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "test_support/temp_dir.h"

namespace tellune::hid {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Consumer collection (report 3) and the configuration collection (report 4).
inline const Bytes kTwoCollections = {
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x15, 0x00, 0x26, 0xFF, 0x03, 0x19,
    0x00, 0x2A, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0,  //
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x09, 0x01, 0x15, 0x00, 0x26,
    0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0};
// One consumer collection without report ids.
inline const Bytes kPlainConsumer = {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x25,
                                     0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0xC0};

inline void write_file(const fs::path& p, const std::string& content) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
}

// A sysfs tree laid out as the kernel does: class/hidraw/hidrawN/device links to the HID
// device inside its USB interface folder.
class FakeSysfs {
public:
    FakeSysfs() { fs::create_directories(root() / "class/hidraw"); }
    fs::path root() const { return dir_.path(); }
    std::string class_root() const { return (root() / "class/hidraw").string(); }
    std::string dev() const { return (root() / "dev").string(); }

    void Add(int number, const std::string& hid_id, int interface_number, const Bytes& descriptor) {
        fs::path usb = root() / "devices/usb1" / ("1-" + std::to_string(number));
        fs::path intf =
            usb / ("1-" + std::to_string(number) + ":1." + std::to_string(interface_number));
        fs::path hid = intf / (hid_id.substr(0, 4) + ":" + std::to_string(number));
        write_file(usb / "bcdDevice", "0210\n");
        char num[8];
        std::snprintf(num, sizeof num, "%02x\n", interface_number);
        write_file(intf / "bInterfaceNumber", num);
        write_file(hid / "uevent", "DRIVER=hid-generic\nHID_ID=" + hid_id + "\nHID_NAME=Test\n");
        write_file(hid / "report_descriptor", std::string(descriptor.begin(), descriptor.end()));
        fs::path node = root() / "class/hidraw" / ("hidraw" + std::to_string(number));
        fs::create_directories(node);
        fs::create_directory_symlink(hid, node / "device");
    }

private:
    TempDir dir_;
};

}  // namespace tellune::hid
