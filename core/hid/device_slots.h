#pragma once
// Device slots, the HID match table and the scan pass that binds present interfaces to
// slots and notices their removal.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/hid/hid_backend.h"
#include "core/hid/hid_device.h"

namespace tellune::hid {

enum DeviceKind : uint16_t {
    kKindKeyboard = 1,
    kKindMouse = 2,
    kKindMousePad = 3,
    kKindWirelessMouse = 6,  // a mouse reached through its wireless receiver
    kKindHeadset = 7,
};

enum SlotRole : uint16_t {
    kRoleConfiguration = 0,  // the interface the command channel is opened on
    kRoleSecondary = 0xFF,   // the interface the input-report thread listens on
};

struct DeviceSlot {
    uint16_t vendor_id = 0;
    uint16_t product_id = 0;
    uint16_t interface_number = 0;  // "&mi_"
    uint16_t collection = 0;        // "&col"
    uint16_t kind = 0;
    uint16_t role = 0;
    uint16_t present = 0;  // 1 while a device is bound
    uint16_t usage_page = 0;
    uint16_t usage = 0;
    uint16_t reserved[2] = {0, 0};
    std::string path;  // of the bound interface; empty when none
};

// The same slot: everything but presence and path is equal.
bool same_slot(const DeviceSlot& a, const DeviceSlot& b);

// The seven supported interfaces, in slot order.
const std::array<DeviceSlot, 7>& hid_match_table();

// Runs the scan pass, on its own thread every 100 ms or directly with ScanOnce().
// The callbacks run on the scanning thread, synchronously, with no lock held, so they may
// call Slots(). Stop() must not be called from a callback.
class DeviceScanner {
public:
    struct Callbacks {
        std::function<void(int slot)> arrival;
        std::function<void(int slot)> removal;
        std::function<void()> first_pass;  // once, after the first complete pass
        // The device nodes of supported interfaces that this user may not open, each refused
        // for longer than the settle time (udev sets the rights of a new node shortly after
        // it appears); called whenever that list changes, empty when all is well again.
        std::function<void(const std::vector<std::string>& nodes)> access_denied;
    };

    static constexpr std::chrono::milliseconds kAccessSettle{2000};

    DeviceScanner(HidBackend& backend, Callbacks callbacks);
    ~DeviceScanner();
    DeviceScanner(const DeviceScanner&) = delete;
    DeviceScanner& operator=(const DeviceScanner&) = delete;

    void Start(int period_ms = 100);
    // Wakes the thread and waits for it to end (at most one pass).
    void Stop();
    bool Running() const { return thread_.joinable(); }

    // One pass: discovery (when some slot is free), then the removal check. Skipped while
    // the backend reports no change since the last pass and nothing needs another try.
    void ScanOnce();
    // A copy of the slot list.
    std::vector<DeviceSlot> Slots() const;
    // Nodes refused in the last pass, settled or not. Scanning thread only.
    std::vector<std::string> DeniedNodes() const;
    // How long a node must stay refused before it is reported (tests shorten it).
    void SetAccessSettle(std::chrono::milliseconds settle) { access_settle_ = settle; }

private:
    void run(int period_ms);
    void scan_pass();
    void discover();
    void check_removal();
    void update_denied(const std::vector<std::string>& refused);

    HidBackend& backend_;
    Callbacks callbacks_;
    CHidDevice probe_;
    bool first_pass_told_ = false;  // scanning thread only, as the three below
    bool looked_ = false;
    bool retry_ = false;
    uint64_t seen_changes_ = 0;
    std::chrono::milliseconds access_settle_ = kAccessSettle;
    std::map<std::string, std::chrono::steady_clock::time_point> denied_;  // node -> first refusal
    std::vector<std::string> denied_told_;

    mutable std::mutex slots_mutex_;
    std::vector<DeviceSlot> slots_;

    std::mutex stop_mutex_;
    std::condition_variable stop_cv_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace tellune::hid
