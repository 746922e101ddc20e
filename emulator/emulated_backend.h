#pragma once
// A HidBackend whose devices are emulated in-process. Devices can be plugged and unplugged
// while the program runs, from any thread.
//
// Paths are synthesized like the hidraw backend's, one per top-level collection, e.g.
// "emu/mouse0?vid_0c45&pid_7643&mi_01&col04"; a re-plugged device keeps its paths, but
// connections opened before the unplug stay gone (open the path again). Every open
// connection of a collection gets its own copy of each input report of that collection, at
// most 64 queued (the oldest is dropped). Exclusive opens are not enforced.

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/hid/hid_backend.h"
#include "emulator/emulated_device.h"

namespace tellune::emulator {

class EmulatedBackend : public hid::HidBackend {
public:
    EmulatedBackend() = default;
    EmulatedBackend(const EmulatedBackend&) = delete;
    EmulatedBackend& operator=(const EmulatedBackend&) = delete;

    // Adds the device (the first time) and plugs it in.
    void plug(std::shared_ptr<EmulatedDevice> device);
    // Unplugs it: waiting reads end with `gone`, enumerate() no longer lists it.
    void unplug(const std::shared_ptr<EmulatedDevice>& device);
    std::vector<std::shared_ptr<EmulatedDevice>> devices() const;
    // By the node part of its paths ("emu/mouse0"); nullptr when unknown.
    std::shared_ptr<EmulatedDevice> find(std::string_view node) const;

    std::vector<std::string> enumerate() override;
    uint64_t change_count() override;
    std::unique_ptr<hid::HidConnection> open(const std::string& path, hid::OpenMode mode) override;

private:
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<EmulatedDevice>> devices_;  // in plugging order
};

// The path of each top-level collection of the device, in descriptor order.
std::vector<std::string> interface_paths(const EmulatedDevice& device);

// One of each product plugged in: the program's demo mode and the command line use it.
std::unique_ptr<EmulatedBackend> make_demo_backend();

// Each device of `backend` keeps its state in `folder` (which must exist), in a file named
// after its node ("emu/mouse0" -> "emu_mouse0.state"), as real devices keep what was written
// to them from one run of the program to the next.
void keep_states(EmulatedBackend& backend, const std::string& folder);

}  // namespace tellune::emulator
