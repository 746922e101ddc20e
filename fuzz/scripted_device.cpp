#include "fuzz/scripted_device.h"

#include <algorithm>

namespace tellune::fuzz {

ScriptedConnection::ScriptedConnection(Script& script, std::vector<Request>& log)
    : script_(script), log_(log) {
    collection_.usage_page = 0xFF1C;
    collection_.usage = 0x92;
    collection_.report_ids = {4};
    collection_.input_report_ids = {4};
    collection_.input_report_length = 64;
    collection_.output_report_length = 64;
}

hid::IoResult ScriptedConnection::read(std::span<uint8_t> buffer, int) {
    if (aborted_) {
        aborted_ = false;
        return {hid::IoStatus::aborted, 0};
    }
    if (gone_) return {hid::IoStatus::gone, 0};
    if (replies_.empty()) return {hid::IoStatus::timeout, 0};
    const std::vector<uint8_t> reply = std::move(replies_.front());
    replies_.pop_front();
    const size_t n = std::min(reply.size(), buffer.size());
    std::copy_n(reply.begin(), n, buffer.begin());
    return {hid::IoStatus::ok, n};
}

std::vector<uint8_t> ScriptedConnection::answer(const Request& request, uint8_t status) {
    std::vector<uint8_t> reply(64, 0);
    reply[0] = 4;
    reply[3] = request.command;
    reply[4] = request.length;
    reply[5] = static_cast<uint8_t>(request.offset & 0xFF);
    reply[6] = static_cast<uint8_t>(request.offset >> 8);
    reply[7] = status;
    const std::span<const uint8_t> payload = script_.take(request.length);
    std::copy(payload.begin(), payload.end(), reply.begin() + 8);
    return reply;
}

hid::IoResult ScriptedConnection::write(std::span<const uint8_t> report, int) {
    FUZZ_CHECK(report.size() == 64);
    FUZZ_CHECK(report[0] == 4);
    uint16_t sum = 0;
    for (size_t i = 3; i < 64; ++i) sum = static_cast<uint16_t>(sum + report[i]);
    FUZZ_CHECK(report[1] == (sum & 0xFF) && report[2] == (sum >> 8));
    FUZZ_CHECK(report[4] <= 56);
    FUZZ_CHECK(report[7] == 0);
    // Payload bytes past the length are zero.
    FUZZ_CHECK(std::all_of(report.begin() + 8 + report[4], report.end(),
                           [](uint8_t b) { return b == 0; }));
    if (gone_) return {hid::IoStatus::gone, 0};

    Request request;
    request.command = report[3];
    request.length = report[4];
    request.offset = static_cast<uint16_t>(report[5] | report[6] << 8);
    std::copy_n(report.begin() + 8, 56, request.payload.begin());
    // No input can make a target loop for ever: the channel sends a bounded number of
    // requests per operation and the input bounds the operations.
    FUZZ_CHECK(log_.size() < 1'000'000);

    if (script_.empty()) {
        log_.push_back(request);
        replies_.push_back(answer(request, 0));
        return {hid::IoStatus::ok, report.size()};
    }
    const uint8_t action = script_.byte() % 8;
    if (action == 5) {
        if (script_.byte() & 1) gone_ = true;
        return {gone_ ? hid::IoStatus::gone : hid::IoStatus::error, 0};
    }
    log_.push_back(request);
    switch (action) {
        case 0:
        case 1:
        case 2:
            replies_.push_back(answer(request, 0));
            break;
        case 3: {
            const uint8_t status = script_.byte();
            replies_.push_back(answer(request, status));
            break;
        }
        case 4:
            break;
        case 6: {
            const std::span<const uint8_t> raw = script_.take(script_.byte() % 65);
            replies_.emplace_back(raw.begin(), raw.end());
            break;
        }
        case 7: {
            std::vector<uint8_t> other = answer(request, 0);
            other[3] ^= static_cast<uint8_t>(1 + script_.byte() % 255);
            replies_.push_back(std::move(other));
            if (script_.byte() & 1) replies_.push_back(answer(request, 0));
            break;
        }
    }
    // Replies nobody reads pile up no further than a real device's queue.
    while (replies_.size() > 64) replies_.pop_front();
    return {hid::IoStatus::ok, report.size()};
}

bool ScriptedConnection::send_output_report(std::span<const uint8_t>) {
    return !gone_;
}

std::unique_ptr<hid::HidConnection> ScriptedBackend::open(const std::string& path, hid::OpenMode) {
    if (path != kPath) return nullptr;
    return std::make_unique<ScriptedConnection>(script_, requests);
}

std::vector<uint8_t> ScriptedRig::sent_payload(uint8_t command, size_t from) const {
    std::vector<uint8_t> out;
    for (size_t i = from; i < backend.requests.size(); ++i) {
        const Request& r = backend.requests[i];
        if (r.command == command)
            out.insert(out.end(), r.payload.begin(), r.payload.begin() + r.length);
    }
    return out;
}

bool is_channel_result(int result) {
    return result == 1 || result == 0 || result == -1 || result == -102 || result == -103 ||
           result == -201;
}

}  // namespace tellune::fuzz
