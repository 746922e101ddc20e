#include "core/hid/command_channel.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "core/platform/platform.h"

namespace tellune::hid {

namespace {

constexpr size_t kMaxStrayReplies = 4;
constexpr int kRefusedArgument = -201;

void log_report(const char* label, const uint8_t* b) {
    debug_printf(
        "%s%02x %02x %02x %02x   %02x %02x %02x %02x   %02x %02x %02x %02x   %02x %02x %02x "
        "%02x  %02x %02x %02x %02x  %02x %02x %02x %02x  %02x %02x %02x %02x  %02x %02x %02x "
        "%02x",
        label, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12],
        b[13], b[14], b[15], b[16], b[17], b[18], b[19], b[20], b[21], b[22], b[23], b[24], b[25],
        b[26], b[27], b[28], b[29], b[30], b[31]);
}

// A result of 1 becomes the device's refusal when the status byte says so.
int check_status(int result, const uint8_t* reply) {
    if (result != 1) return result;
    if (reply[7] == 0xFF) return -102;
    if (reply[7] == 0xFE) return -103;
    return 1;
}

}  // namespace

std::array<uint8_t, 64> build_command_request(uint8_t command, uint8_t length, uint16_t offset,
                                              std::span<const uint8_t> payload) {
    std::array<uint8_t, 64> r{};
    r[0] = CCommandChannel::kReportId;
    r[3] = command;
    r[4] = length;
    r[5] = static_cast<uint8_t>(offset & 0xFF);
    r[6] = static_cast<uint8_t>(offset >> 8);
    r[7] = 0;
    std::copy_n(payload.begin(), std::min(payload.size(), CCommandChannel::kChunkSize),
                r.begin() + 8);
    uint16_t sum = 0;
    for (size_t i = 3; i < r.size(); ++i) sum = static_cast<uint16_t>(sum + r[i]);
    r[1] = static_cast<uint8_t>(sum & 0xFF);
    r[2] = static_cast<uint8_t>(sum >> 8);
    return r;
}

CCommandChannel::CCommandChannel(HidBackend& backend) : hid_(backend) {}

CCommandChannel::~CCommandChannel() {
    Disconnect();
}

bool CCommandChannel::Connect(const std::string& path) {
    if (!hid_.Open(path, true, true, true, false)) return false;
    open_ = true;
    return true;
}

void CCommandChannel::Disconnect() {
    open_ = false;
    hid_.Close();
}

int CCommandChannel::SetBlockSize(uint16_t size) {
    if (size > kMaxBlockSize) return 0;
    block_size_ = size;
    return 1;
}

bool CCommandChannel::read_reply(uint8_t command, Report& reply, int timeout) {
    // Light traffic runs on its own lock, so a reply to the other exchange can arrive
    // first. It is kept for that exchange instead of leaving it to time out.
    for (auto it = stray_replies_.begin(); it != stray_replies_.end(); ++it) {
        if ((*it)[3] == command) {
            reply = *it;
            stray_replies_.erase(it);
            return true;
        }
    }
    for (int read = 0; read < 2; ++read) {
        reply.fill(0);
        if (!hid_.ReadReport(reply, timeout).ok()) return false;
        // After the second read the reply is taken whatever its command byte.
        if (reply[3] == command || read == 1) return true;
        if (stray_replies_.size() >= kMaxStrayReplies) stray_replies_.pop_front();
        stray_replies_.push_back(reply);
    }
    return true;
}

int CCommandChannel::Transact(const uint8_t* request, size_t request_length, uint8_t* reply,
                              size_t reply_length) {
    if (!open_ || refused_) return 0;
    ++busy_;
    Report out{};
    if (request) std::memcpy(out.data(), request, std::min(request_length, kReportSize));
    log_report("命令", out.data());
    const int timeout = timeout_ms();
    bool written;
    {
        std::lock_guard lock(transport_lock_);
        written = hid_.WriteReport(out, timeout).ok();
    }
    int result = -1;
    if (written) {
        Report in{};
        bool got;
        {
            std::lock_guard lock(transport_lock_);
            got = read_reply(out[3], in, timeout);
        }
        result = got ? 1 : 0;
        if (reply) std::memcpy(reply, in.data(), std::min(reply_length, kReportSize));
        log_report("返回", in.data());
    }
    --busy_;
    return result;
}

int CCommandChannel::single_read_exchange(const Report& request, Report& reply) {
    if (!open_ || refused_) return 0;
    bool written;
    {
        std::lock_guard lock(transport_lock_);
        written = hid_.WriteReport(request, kTimeoutMs).ok();
    }
    if (!written) return -1;
    std::lock_guard lock(transport_lock_);
    return read_reply(request[3], reply, kTimeoutMs) ? 1 : 0;
}

template <typename OffsetOf>
int CCommandChannel::chunked(uint8_t command, size_t total, const uint8_t* in, uint8_t* out,
                             OffsetOf offset_of, Exchange exchange) {
    for (size_t pos = 0; pos < total; pos += kChunkSize) {
        size_t n = std::min(kChunkSize, total - pos);
        std::span<const uint8_t> payload;
        if (in) payload = {in + pos, n};
        Report request = build_command_request(command, static_cast<uint8_t>(n),
                                               static_cast<uint16_t>(offset_of(pos)), payload);
        Report reply{};
        int result;
        if (exchange == Exchange::single_read) {
            if (IsBusy()) {
                debug_line("放弃灯光数据");
                continue;
            }
            if (wireless_) continue;
            result = single_read_exchange(request, reply);
        } else {
            result = Transact(request.data(), request.size(), reply.data(), reply.size());
        }
        result = check_status(result, reply.data());
        if (result != 1) return result;
        if (out) std::memcpy(out + pos, reply.data() + 8, n);
    }
    return 1;
}

int CCommandChannel::simple(uint8_t command) {
    std::lock_guard lock(command_lock_);
    Report request = build_command_request(command, 0, 0, {});
    Report reply{};
    return check_status(Transact(request.data(), request.size(), reply.data(), reply.size()),
                        reply.data());
}

int CCommandChannel::SimpleCommand1() {
    return simple(1);
}

int CCommandChannel::SimpleCommand2() {
    // The device needs a moment after the last data chunk.
#ifndef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
#endif
    return simple(2);
}

int CCommandChannel::SimpleCommand28() {
    return simple(28);
}

int CCommandChannel::ReadInfo(std::span<uint8_t, 32> info, uint16_t& word) {
    std::lock_guard lock(command_lock_);
    uint8_t area[34] = {};
    int result = chunked(3, sizeof area, nullptr, area, [](size_t pos) { return pos; });
    if (result == 1) {
        std::memcpy(info.data(), area, 32);
        word = static_cast<uint16_t>(area[32] | area[33] << 8);
    }
    return result;
}

int CCommandChannel::WriteBlock(std::span<const uint8_t> data, int index) {
    const uint16_t size = block_size_;
    if (index != 0 || data.size() < size) return kRefusedArgument;
    std::lock_guard lock(command_lock_);
    return chunked(9, size, data.data(), nullptr, [index](size_t pos) {
        // The low byte is the position itself, the high byte that of the absolute offset.
        size_t absolute = static_cast<size_t>(index) * 512 + pos;
        return (pos & 0xFF) | (absolute & 0xFF00);
    });
}

int CCommandChannel::WriteBuffer(std::span<const uint8_t> data) {
    std::lock_guard lock(command_lock_);
    return chunked(21, data.size(), data.data(), nullptr, [](size_t pos) { return pos; });
}

int CCommandChannel::WriteBufferUnlocked(std::span<const uint8_t> data) {
    return chunked(23, data.size(), data.data(), nullptr, [](size_t pos) { return pos; });
}

int CCommandChannel::ReadBlock(std::span<uint8_t> out) {
    const uint16_t size = block_size_;
    if (out.size() < size) return kRefusedArgument;
    std::lock_guard lock(command_lock_);
    return chunked(7, size, nullptr, out.data(), [](size_t pos) { return pos; });
}

int CCommandChannel::ReadThirdBlock(std::span<uint8_t> out) {
    const size_t size = block_size_ / 3;
    if (out.size() < size) return kRefusedArgument;
    std::lock_guard lock(command_lock_);
    return chunked(27, size, nullptr, out.data(), [](size_t pos) { return pos; });
}

int CCommandChannel::WriteIndexed(std::span<const uint8_t> data, int record, int record_size) {
    std::lock_guard lock(light_lock_);
    const size_t base = static_cast<size_t>(record) * static_cast<size_t>(record_size);
    return chunked(11, data.size(), data.data(), nullptr,
                   [base](size_t pos) { return base + pos; });
}

int CCommandChannel::WriteLightFrame(std::span<const uint8_t> data) {
    std::lock_guard lock(light_lock_);
    return chunked(
        18, data.size(), data.data(), nullptr, [](size_t pos) { return pos; },
        Exchange::single_read);
}

int CCommandChannel::WriteAt(std::span<const uint8_t> data, int base) {
    std::lock_guard lock(command_lock_);
    return chunked(6, data.size(), data.data(), nullptr,
                   [base](size_t pos) { return static_cast<size_t>(base) + pos; });
}

int CCommandChannel::ReadAt(std::span<uint8_t> out, int base) {
    std::lock_guard lock(command_lock_);
    return chunked(5, out.size(), nullptr, out.data(),
                   [base](size_t pos) { return static_cast<size_t>(base) + pos; });
}

int CCommandChannel::ReadRange(std::span<uint8_t> out, int offset) {
    if (out.size() > kChunkSize) return kRefusedArgument;
    std::lock_guard lock(command_lock_);
    Report request = build_command_request(26, static_cast<uint8_t>(out.size()),
                                           static_cast<uint16_t>(offset), {});
    Report reply{};
    int result = check_status(Transact(request.data(), request.size(), reply.data(), reply.size()),
                              reply.data());
    // copy_n, not memcpy: an empty span may have no data pointer.
    if (result == 1) std::copy_n(reply.begin() + 8, out.size(), out.begin());
    return result;
}

bool CCommandChannel::Probe() {
    std::lock_guard lock(command_lock_);
    Report request = build_command_request(0xAA, 0, 0, {});
    Report reply{};
    int result = Transact(request.data(), request.size(), reply.data(), reply.size());
    return result == 1 && reply[7] != 0xFF && reply[7] != 0xFE && reply[8] == 0xFF;
}

}  // namespace tellune::hid
