#pragma once
// The Linux HID backend: hidraw nodes found through sysfs, one interface path per top-level
// collection of each node ("/dev/hidraw3?vid_0c45&pid_7643&mi_01&col04").

#include <functional>
#include <mutex>
#include <string>

#include "core/hid/hid_backend.h"

namespace tellune::hid {

struct HidrawOptions {
    std::string sysfs_root = "/sys/class/hidraw";
    std::string device_folder = "/dev";
    // Opens a device node; returns an fd or -1 with errno set. Tests hand in one end of a
    // socketpair here. Empty: ::open.
    std::function<int(const std::string& node, int flags)> open_node;
};

// Exclusive opens take an advisory flock(LOCK_EX) and shared writers a LOCK_SH, so an
// exclusive opener keeps other writers out while readers still get in.
class HidrawBackend : public HidBackend {
public:
    explicit HidrawBackend(HidrawOptions options = {});
    std::vector<std::string> enumerate() override;
    std::unique_ptr<HidConnection> open(const std::string& path, OpenMode mode) override;
    // Watches the device folder: nodes come and go there, and udev sets their rights there.
    uint64_t change_count() override;
    std::string access_denied(const std::string& path) override;
    ~HidrawBackend() override;

private:
    HidrawOptions options_;
    std::mutex watch_mutex_;
    int watch_fd_ = -1;  // inotify; -1 until first asked, or when it cannot be had
    bool watch_failed_ = false;
    uint64_t changes_ = 0;
};

}  // namespace tellune::hid
