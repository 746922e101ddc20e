#pragma once
// Key and button events of the machine's keyboards and mice, read from their evdev nodes
// (/dev/input/event*) while another program's window has the focus. Read-only: a node is
// never grabbed, so every other program still gets all input.
//
// Only users the system lets read these nodes (usually members of the "input" group) get
// anything; where none is readable, recording sees the program's own windows only.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tellune {

// The event nodes in `folder` this user may read that report keyboard keys or mouse buttons,
// opened read-only, non-blocking and close-on-exec. The caller owns the descriptors.
std::vector<int> open_input_devices(const std::string& folder = "/dev/input");
// Whether open_input_devices would find any.
bool input_devices_readable(const std::string& folder = "/dev/input");

class EvdevReader {
public:
    // An EV_KEY event: `code` as in <linux/input-event-codes.h>; auto-repeats are left out.
    using Handler = std::function<void(uint16_t code, bool down)>;

    EvdevReader() = default;
    ~EvdevReader();
    EvdevReader(const EvdevReader&) = delete;
    EvdevReader& operator=(const EvdevReader&) = delete;

    // Reads `fds` (which it owns from now on, and closes at stop) on a thread of its own and
    // calls `handler` there for each key event. A running reader is stopped first. False,
    // with the descriptors closed, when there is nothing to read or the thread cannot start.
    bool start(std::vector<int> fds, Handler handler);
    // Wakes the thread, waits for it and closes the descriptors. Idempotent.
    void stop();
    bool running() const { return running_.load(); }
    // Descriptors still read (a device that went away, or a closed pipe, is dropped).
    int open_count() const { return open_count_.load(); }

private:
    void run(std::vector<int> fds, Handler handler);

    std::mutex mutex_;  // start and stop
    std::thread thread_;
    int wake_fd_ = -1;
    std::atomic<bool> running_{false};
    std::atomic<int> open_count_{0};
};

}  // namespace tellune
