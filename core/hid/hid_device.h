#pragma once
// CHidDevice: one open HID interface (one top-level collection) over a HidBackend.
//
// Threads: one reader and one writer may wait at the same time while a third thread calls
// Close(), which ends both waits. Everything else may be called from any thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/hid/hid_backend.h"

namespace tellune::hid {

// What the platform reports about an open collection's reports.
struct HidCaps {
    uint16_t usage = 0;
    uint16_t usage_page = 0;
    uint16_t input_report_byte_length = 0;  // longest report + 1 for the id byte
    uint16_t output_report_byte_length = 0;
    uint16_t feature_report_byte_length = 0;
    uint16_t number_input_button_caps = 0;
    uint16_t number_input_value_caps = 0;
};

// Outcome of the last decode of one usage entry.
enum class DecodeStatus { not_decoded, ok, bad_report_length, value_out_of_range, bad_range };

// One entry of the input usage table: a button capability, or one usage of a value
// capability.
struct HidUsageEntry {
    bool is_button = false;
    uint8_t report_id = 0;
    uint16_t usage_page = 0;
    uint16_t link_collection = 0;
    uint16_t usage_min = 0;  // the usage of a value entry
    uint16_t usage_max = 0;
    DecodeStatus status = DecodeStatus::not_decoded;
    int32_t raw_value = 0;     // value entries; sign-extended when the logical minimum < 0
    int32_t scaled_value = 0;  // value entries: raw value mapped to the physical range
    bool updated = false;
    std::vector<uint16_t> pressed;  // button entries: pressed usages, in report order
    HidInputCapability capability;  // where the entry sits in the report
};

class CHidDevice {
public:
    explicit CHidDevice(HidBackend& backend);
    ~CHidDevice();
    CHidDevice(const CHidDevice&) = delete;
    CHidDevice& operator=(const CHidDevice&) = delete;

    // Replaces the path list with the present interfaces; the cursor restarts at 0.
    bool Enumerate();
    // The next path of the list, or nothing at its end.
    std::optional<std::string> NextPath();
    void FreePaths();

    // Closes any open interface first. `overlapped` is kept for callers that ask for it;
    // every transfer here waits with a time-out and can be aborted.
    bool Open(const std::string& path, bool read, bool write, bool overlapped, bool exclusive);
    // Ends a waiting read or write (it returns `aborted`), then drops the interface. A
    // transfer stuck in the platform (a hidraw write can block for seconds) finishes on
    // its own; the connection lives until then.
    void Close();
    bool IsOpen() const;

    // One input report in the Windows shape: byte 0 is the report id (0 when the
    // collection uses none), so `buffer` should hold input_report_byte_length bytes.
    // Time-out in ms, -1 for no limit.
    IoResult ReadReport(std::span<uint8_t> buffer, int timeout_ms);
    // One output report, byte 0 the report id.
    IoResult WriteReport(std::span<const uint8_t> report, int timeout_ms);
    // An output report over the control pipe, synchronously.
    bool SendOutputReportSync(std::span<const uint8_t> report);

    // Decodes every input usage entry of the report's id (byte 0); false when a value
    // cannot be extracted from the report, which ends the decoding.
    bool DecodeInputReport(std::span<const uint8_t> report);

    std::string Path() const;
    HidAttributes Attributes() const;
    HidCaps Capabilities() const;
    HidCollection Collection() const;
    std::vector<HidUsageEntry> InputUsages() const;
    // Only input capabilities are parsed; output and feature tables stay empty.
    std::vector<HidUsageEntry> OutputUsages() const { return {}; }
    std::vector<HidUsageEntry> FeatureUsages() const { return {}; }
    uint16_t InterfaceNumber() const;
    uint16_t CollectionNumber() const;
    bool IsReading() const { return reading_.load() > 0; }
    bool IsWriting() const { return writing_.load() > 0; }

private:
    // The connection with a count of the transfers that still use it.
    struct Link {
        std::shared_ptr<HidConnection> connection;
        std::atomic<int> in_flight{0};
    };
    std::shared_ptr<Link> acquire() const;

    HidBackend& backend_;

    mutable std::mutex paths_mutex_;
    std::vector<std::string> paths_;
    size_t cursor_ = 0;

    mutable std::mutex mutex_;  // everything below but the counters
    std::shared_ptr<Link> link_;
    std::string path_;
    bool open_read_ = false, open_write_ = false, overlapped_ = false, exclusive_ = false;
    HidAttributes attributes_;
    HidCaps caps_;
    HidCollection collection_;
    std::vector<HidUsageEntry> input_usages_;
    uint16_t interface_number_ = 0;
    uint16_t collection_number_ = 0;

    std::atomic<int> reading_{0};
    std::atomic<int> writing_{0};
};

}  // namespace tellune::hid
