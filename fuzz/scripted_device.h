#pragma once
// A device whose every answer comes from the fuzz input, behind a real CCommandChannel, so a
// target drives the channel or a device protocol through any sequence of good, refused,
// lost, stale, garbled and short replies, failed writes and unplugs.
//
// The input is read front to back: a target takes bytes to choose its operations and their
// arguments, and each request the channel writes takes the bytes that decide its fate (see
// ScriptedConnection::write). A read with no reply queued times out at once, so no input
// makes a target wait. Once the input is used up the device answers every request well,
// with a zero payload, and targets stop choosing operations.
//
// Every request written is checked to be well formed (64 bytes, report id 4, checksum,
// length at most 56, byte 7 zero); a malformed one aborts.
//
// A new device protocol gets its target by one file `<name>_fuzz.cpp` beside this one that
// drives its operations on a ScriptedRig, and a seed corpus in corpus/<name>/; the build and
// scripts/fuzz find it by its file name.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/hid/command_channel.h"
#include "core/hid/hid_backend.h"
#include "fuzz/fuzz_support.h"

namespace tellune::fuzz {

// The fuzz input, consumed from the front.
class Script {
public:
    Script(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    // The next byte, 0 once the input is used up.
    uint8_t byte() { return empty() ? 0 : data_[pos_++]; }
    uint16_t word() {
        const uint16_t low = byte();
        return static_cast<uint16_t>(low | byte() << 8);
    }
    // Up to `n` bytes.
    std::span<const uint8_t> take(size_t n) {
        const size_t k = std::min(n, size_ - std::min(pos_, size_));
        std::span<const uint8_t> out(data_ + pos_, k);
        pos_ += k;
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// One request as the device received it.
struct Request {
    uint8_t command = 0;
    uint8_t length = 0;
    uint16_t offset = 0;
    std::array<uint8_t, 56> payload{};
};

class ScriptedConnection final : public hid::HidConnection {
public:
    ScriptedConnection(Script& script, std::vector<Request>& log);

    hid::HidAttributes attributes() const override { return {0x0C45, 0x7643, 0x0102}; }
    const hid::HidCollection& collection() const override { return collection_; }
    hid::IoResult read(std::span<uint8_t> buffer, int timeout_ms) override;
    // Takes one byte of the script for the fate of the request:
    //   0..3  a reply with the request's command byte and length; status 0 for 0..2, for 3 a
    //         status byte from the script; the payload (the request's length) from the script
    //   4     no reply
    //   5     the write fails (the next byte: even an error, odd the device is gone for good)
    //   6     a reply of up to 64 raw bytes from the script (any id, command, length)
    //   7     a reply with another command byte, then (next byte odd) the true one
    hid::IoResult write(std::span<const uint8_t> report, int timeout_ms) override;
    bool send_output_report(std::span<const uint8_t> report) override;
    void abort() override { aborted_ = true; }

private:
    std::vector<uint8_t> answer(const Request& request, uint8_t status);

    Script& script_;
    std::vector<Request>& log_;
    hid::HidCollection collection_;
    std::deque<std::vector<uint8_t>> replies_;
    bool gone_ = false;
    bool aborted_ = false;
};

class ScriptedBackend final : public hid::HidBackend {
public:
    static constexpr char kPath[] = "fuzz/device?vid_0c45&pid_7643&mi_01&col04";
    explicit ScriptedBackend(Script& script) : script_(script) {}
    std::vector<std::string> enumerate() override { return {kPath}; }
    std::unique_ptr<hid::HidConnection> open(const std::string& path, hid::OpenMode) override;

    std::vector<Request> requests;  // every request written, oldest first

private:
    Script& script_;
};

// A command channel open on a scripted device.
struct ScriptedRig {
    ScriptedRig(const uint8_t* data, size_t size) : script(data, size), backend(script) {
        FUZZ_CHECK(channel.Connect(ScriptedBackend::kPath));
    }
    Script script;
    ScriptedBackend backend;
    hid::CCommandChannel channel{backend};

    // The payloads of the requests with `command` from request `from` on, back to back.
    std::vector<uint8_t> sent_payload(uint8_t command, size_t from) const;
};

// One of the results a command or device operation may return.
bool is_channel_result(int result);

}  // namespace tellune::fuzz
