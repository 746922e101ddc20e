#pragma once
// The seam between CHidDevice and whatever carries the reports: hidraw on Linux, or the
// emulator. Both backends present one "interface path" per top-level collection.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/hid/report_descriptor.h"

namespace tellune::hid {

struct HidAttributes {
    uint16_t vendor_id = 0;
    uint16_t product_id = 0;
    uint16_t version = 0;
};

// Outcome of one report transfer.
enum class IoStatus {
    ok,       // `bytes` transferred
    timeout,  // nothing arrived / could be sent in time
    aborted,  // abort() woke the wait
    gone,     // device unplugged (EIO, ENODEV, POLLHUP, POLLERR)
    error,    // any other failure
};

struct IoResult {
    IoStatus status = IoStatus::error;
    size_t bytes = 0;
    bool ok() const { return status == IoStatus::ok; }
};

// Access requested at open; "none" is the presence check of the scan pass.
struct OpenMode {
    bool read = false;
    bool write = false;
    bool exclusive = false;  // other openers may read but not write
};

// One open top-level collection. Reads return only the input reports of this collection
// (byte 0 = report id, or the bare report when the collection uses no report ids).
// abort() may be called from any thread; it ends a waiting read or write with `aborted`.
// Like an auto-reset event, an abort with nothing waiting should end the next wait instead.
class HidConnection {
public:
    virtual ~HidConnection() = default;
    virtual HidAttributes attributes() const = 0;
    virtual const HidCollection& collection() const = 0;
    virtual IoResult read(std::span<uint8_t> buffer, int timeout_ms) = 0;  // -1: no limit
    virtual IoResult write(std::span<const uint8_t> report, int timeout_ms) = 0;
    // Output report over the control pipe, synchronously.
    virtual bool send_output_report(std::span<const uint8_t> report) = 0;
    virtual void abort() = 0;
};

class HidBackend {
public:
    virtual ~HidBackend() = default;
    // The paths of all present collections, in a stable order.
    virtual std::vector<std::string> enumerate() = 0;
    // nullptr when the path cannot be opened (gone, access denied, not ours).
    virtual std::unique_ptr<HidConnection> open(const std::string& path, OpenMode mode) = 0;
    // A number that stays the same while no interface has come, gone or changed its
    // access rights, so a scan may skip a pass that would find nothing new. A backend
    // that cannot tell returns a new number on every call.
    virtual uint64_t change_count() { return ++calls_; }
    // The device node behind `path` when the interface is there but this user may not open
    // it for reading and writing (its rights, not its state); empty otherwise. Called after
    // an open failed, to tell the user why. Backends without access rights return empty.
    virtual std::string access_denied(const std::string& /*path*/) { return {}; }

private:
    uint64_t calls_ = 0;
};

}  // namespace tellune::hid
