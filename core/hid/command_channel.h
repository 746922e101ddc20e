#pragma once
// CCommandChannel: the configuration protocol of every product, in 64-byte reports with
// report id 4. A request is [4, checksum lo, checksum hi, command, length, offset lo,
// offset hi, 0, payload 56]; the checksum is the 16-bit sum of bytes 3..63. The reply
// repeats the command in byte 3, carries the status in byte 7 and data from byte 8.
//
// Results: 1 success; 0 not open, refused or no reply; -1 the request could not be written;
// -102 status 0xFF; -103 status 0xFE; -201 a refused argument (nothing sent).

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string>

#include "core/hid/hid_device.h"

namespace tellune::hid {

class CCommandChannel {
public:
    static constexpr size_t kReportSize = 64;
    static constexpr size_t kChunkSize = 56;
    static constexpr uint16_t kMaxBlockSize = 512;
    static constexpr uint8_t kReportId = 4;
    static constexpr int kTimeoutMs = 1000;
    static constexpr int kWirelessTimeoutMs = 5000;

    explicit CCommandChannel(HidBackend& backend);
    ~CCommandChannel();
    CCommandChannel(const CCommandChannel&) = delete;
    CCommandChannel& operator=(const CCommandChannel&) = delete;

    CHidDevice& Hid() { return hid_; }
    // Opens the interface for reading and writing, shared, and marks the channel open.
    bool Connect(const std::string& path);
    // Clears the open flag, then closes the interface (a waiting exchange ends with 0).
    void Disconnect();

    void SetOpen(bool open) { open_ = open; }
    bool IsOpen() const { return open_; }
    void SetRefused(bool refused) { refused_ = refused; }
    bool IsRefused() const { return refused_; }
    void SetPause(int pause) { pause_ = pause; }
    int Pause() const { return pause_; }
    void SetWireless(bool wireless) { wireless_ = wireless; }
    bool IsWireless() const { return wireless_; }
    bool IsBusy() const { return busy_.load() > 0; }
    // Refused (returns 0, size unchanged) above 512; otherwise 1.
    int SetBlockSize(uint16_t size);
    uint16_t BlockSize() const { return block_size_; }

    // One request/response exchange; the reply is copied to `reply` (up to 64 bytes).
    int Transact(const uint8_t* request, size_t request_length, uint8_t* reply,
                 size_t reply_length);

    int SimpleCommand1();   // 1: start of a write sequence
    int SimpleCommand2();   // 2: end of a write sequence (after a 10 ms pause)
    int SimpleCommand28();  // 28
    // 3: the 34-byte information area, as 32 bytes and a little-endian word.
    int ReadInfo(std::span<uint8_t, 32> info, uint16_t& word);
    // 9: block-size bytes of `data` (which must hold them); only index 0 is accepted.
    int WriteBlock(std::span<const uint8_t> data, int index);
    int WriteBuffer(std::span<const uint8_t> data);          // 21
    int WriteBufferUnlocked(std::span<const uint8_t> data);  // 23, takes no command lock
    int ReadBlock(std::span<uint8_t> out);       // 7: block-size bytes (out must hold them)
    int ReadThirdBlock(std::span<uint8_t> out);  // 27: block-size / 3 bytes
    // 11: offset = record * record_size + position.
    int WriteIndexed(std::span<const uint8_t> data, int record, int record_size);
    // 18: dropped chunk by chunk (as success) while another exchange is in progress, and
    // not sent at all over a wireless receiver.
    int WriteLightFrame(std::span<const uint8_t> data);
    int WriteAt(std::span<const uint8_t> data, int base);  // 6: offset = base + position
    int ReadAt(std::span<uint8_t> out, int base);          // 5
    int ReadRange(std::span<uint8_t> out, int offset);     // 26: one report, at most 56 bytes
    bool Probe();                                          // 0xAA: reply byte 8 = 0xFF

private:
    using Report = std::array<uint8_t, kReportSize>;
    enum class Exchange { full, single_read };

    int timeout_ms() const { return wireless_ ? kWirelessTimeoutMs : kTimeoutMs; }
    // Sends `total` bytes (or requests them when `out` is set) in 56-byte chunks at
    // offset_of(position); stops at the first failure or refusing status.
    template <typename OffsetOf>
    int chunked(uint8_t command, size_t total, const uint8_t* in, uint8_t* out, OffsetOf offset_of,
                Exchange exchange = Exchange::full);
    int simple(uint8_t command);
    int single_read_exchange(const Report& request, Report& reply);
    // Reads the reply to `command` under the transport lock; see the .cpp.
    bool read_reply(uint8_t command, Report& reply, int timeout);

    CHidDevice hid_;
    std::atomic<uint16_t> block_size_{kMaxBlockSize};
    std::atomic<int> busy_{0};
    std::atomic<bool> refused_{false};
    std::atomic<bool> open_{false};
    std::atomic<int> pause_{0};
    std::atomic<bool> wireless_{false};

    std::recursive_mutex transport_lock_;
    std::recursive_mutex command_lock_;
    std::recursive_mutex light_lock_;
    // Replies read by one exchange but meant for another running on the other lock;
    // guarded by the transport lock.
    std::deque<Report> stray_replies_;
};

// Builds one request report (checksum included).
std::array<uint8_t, 64> build_command_request(uint8_t command, uint8_t length, uint16_t offset,
                                              std::span<const uint8_t> payload);

}  // namespace tellune::hid
