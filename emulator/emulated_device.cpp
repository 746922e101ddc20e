#include "emulator/emulated_device.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/platform/files.h"
#include "core/platform/platform.h"

namespace tellune::emulator {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kLightReportId = 0xFF;

void store_checksum(std::span<uint8_t> report) {
    const uint16_t sum = command_checksum(report);
    report[1] = static_cast<uint8_t>(sum & 0xFF);
    report[2] = static_cast<uint8_t>(sum >> 8);
}

}  // namespace

uint16_t command_checksum(std::span<const uint8_t> report) {
    uint16_t sum = 0;
    for (size_t i = 3; i < report.size() && i < kCommandReportSize; ++i) sum += report[i];
    return sum;
}

EmulatedDevice::EmulatedDevice(DeviceConfig config)
    : config_(std::move(config)),
      log_(config_.vendor_id, config_.product_id, config_.interface_number),
      info_(config_.info.begin(), config_.info.end()),
      key_table_(config_.key_table),
      led_index_(config_.led_index_table),
      memory_(config_.memory),
      macro_(config_.macro_size(), 0),
      shoot_(config_.shoot_size, 0),
      custom_(config_.custom_colour_size, 0),
      status_(config_.status),
      frame_(config_.light_frame_size, 0) {}

hid::HidAttributes EmulatedDevice::attributes() const {
    return {config_.vendor_id, config_.product_id, config_.version};
}

int EmulatedDevice::collection_index(uint8_t number) const {
    for (size_t i = 0; i < config_.collections.size(); ++i)
        if (config_.collections[i].number == number) return static_cast<int>(i);
    return -1;
}

std::string EmulatedDevice::log_tag(uint8_t collection_number) const {
    std::string line =
        format_log_line(config_.vendor_id, config_.product_id, config_.interface_number,
                        collection_number, Direction::received, {});
    return line.substr(0, line.size() - 2);  // without " >"
}

// --- plugging ---

void EmulatedDevice::plug() {
    std::lock_guard lock(mutex_);
    if (!plugged_) ++plug_changes_;
    plugged_ = true;
}

void EmulatedDevice::unplug() {
    std::lock_guard lock(mutex_);
    unplug_locked();
}

void EmulatedDevice::unplug_locked() {
    if (!plugged_) return;
    plugged_ = false;
    ++plug_changes_;
    // Connections remember the generation they were opened in: bumping it leaves every one
    // of them gone for good, even after a re-plug.
    ++generation_;
    for (auto& queue : queues_) {
        queue->reports.clear();
        queue->wake.notify_all();
    }
    runs_ = {};
    std::fill(frame_.begin(), frame_.end(), 0);
}

bool EmulatedDevice::plugged() const {
    std::lock_guard lock(mutex_);
    return plugged_;
}

uint64_t EmulatedDevice::plug_changes() const {
    std::lock_guard lock(mutex_);
    return plug_changes_;
}

// --- host side ---

std::shared_ptr<InputQueue> EmulatedDevice::attach(size_t collection_index) {
    auto queue = std::make_shared<InputQueue>();
    queue->collection_index = collection_index;
    std::lock_guard lock(mutex_);
    queue->generation = generation_;
    queues_.push_back(queue);
    return queue;
}

void EmulatedDevice::detach(const std::shared_ptr<InputQueue>& queue) {
    std::lock_guard lock(mutex_);
    std::erase(queues_, queue);
}

bool EmulatedDevice::gone(const InputQueue& queue) const {
    return !plugged_ || queue.generation != generation_;
}

hid::IoStatus EmulatedDevice::receive(const std::shared_ptr<InputQueue>& queue,
                                      std::span<const uint8_t> report) {
    std::lock_guard lock(mutex_);
    if (gone(*queue)) return hid::IoStatus::gone;
    if (report.empty()) return hid::IoStatus::error;
    const CollectionSpec& collection = config_.collections[queue->collection_index];
    const bool known = std::any_of(collection.outputs.begin(), collection.outputs.end(),
                                   [&](const OutputReportSpec& o) {
                                       return o.report_id == report[0] && o.length == report.size();
                                   });
    if (!known) return hid::IoStatus::error;  // as the kernel refuses a report of wrong size
    log_.record(collection.number, Direction::received, report);
    if (collection.commands && report[0] == kCommandReportId)
        handle_command_locked(report);
    else if (report[0] == kLightReportId)
        handle_light_report_locked(report);
    return hid::IoStatus::ok;
}

hid::IoResult EmulatedDevice::read(const std::shared_ptr<InputQueue>& queue,
                                   std::span<uint8_t> buffer, int timeout_ms) {
    std::unique_lock lock(mutex_);
    const bool forever = timeout_ms < 0;
    const Clock::time_point deadline =
        forever ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (gone(*queue)) return {hid::IoStatus::gone, 0};
        if (queue->pending_aborts > 0) {
            queue->pending_aborts = 0;
            return {hid::IoStatus::aborted, 0};
        }
        const Clock::time_point now = Clock::now();
        if (!queue->reports.empty() && queue->reports.front().ready <= now) {
            const std::vector<uint8_t>& bytes = queue->reports.front().bytes;
            const size_t n = std::min(bytes.size(), buffer.size());  // cut, as hidraw does
            std::copy_n(bytes.begin(), n, buffer.begin());
            queue->reports.pop_front();
            return {hid::IoStatus::ok, n};
        }
        if (!forever && now >= deadline) return {hid::IoStatus::timeout, 0};
        Clock::time_point wake = deadline;
        if (!queue->reports.empty()) wake = std::min(wake, queue->reports.front().ready);
        if (wake == Clock::time_point::max())
            queue->wake.wait(lock);
        else
            queue->wake.wait_until(lock, wake);
    }
}

void EmulatedDevice::abort(const std::shared_ptr<InputQueue>& queue) {
    std::lock_guard lock(mutex_);
    // Like an auto-reset event: an abort with no read waiting ends the next read, so a
    // listener that checks its stop flag just before blocking is still woken.
    queue->pending_aborts = 1;
    queue->wake.notify_all();
}

void EmulatedDevice::send_locked(size_t collection_index, std::span<const uint8_t> report,
                                 Clock::time_point ready) {
    log_.record(config_.collections[collection_index].number, Direction::sent, report);
    for (auto& queue : queues_) {
        if (queue->collection_index != collection_index || queue->generation != generation_)
            continue;
        if (queue->reports.size() >= kMaxQueuedInputReports) queue->reports.pop_front();
        queue->reports.push_back({{report.begin(), report.end()}, ready});
        queue->wake.notify_all();
    }
}

bool EmulatedDevice::inject_input(uint8_t collection_number, std::span<const uint8_t> report) {
    const int index = collection_index(collection_number);
    std::lock_guard lock(mutex_);
    if (index < 0 || !plugged_ || report.empty()) return false;
    send_locked(static_cast<size_t>(index), report, Clock::now());
    return true;
}

bool EmulatedDevice::inject_usage(uint16_t usage) {
    for (const CollectionSpec& c : config_.collections) {
        if (c.notify_report_id == 0) continue;
        const uint8_t report[3] = {c.notify_report_id, static_cast<uint8_t>(usage & 0xFF),
                                   static_cast<uint8_t>(usage >> 8)};
        return inject_input(c.number, report);
    }
    return false;
}

bool EmulatedDevice::press_key(const std::array<uint8_t, 3>& code, bool down) {
    // The layout the device was built with; it never changes, so no lock is needed.
    const std::vector<uint8_t>& layout = config_.key_table;
    const size_t slots = std::min<size_t>(config_.key_slots(), layout.size() / 3);
    for (size_t s = 0; s < slots; ++s)
        if (std::equal(code.begin(), code.end(), layout.begin() + ptrdiff_t(3 * s)))
            return inject_key(static_cast<uint8_t>(s), down);
    return false;
}

// --- commands ---

void EmulatedDevice::handle_command_locked(std::span<const uint8_t> request) {
    const uint8_t command = request[3];
    ++command_counts_[command];
    // Every request received counts as a chunk of its command, answered or not.
    const int chunk = count_chunk_locked(request);
    const std::optional<FaultRule> rule = strike_rule_locked(command, chunk);
    if ((unplug_on_request_ && (unplug_on_command_ < 0 || unplug_on_command_ == command)) ||
        (rule && rule->kind == FaultKind::unplug)) {
        unplug_on_request_ = false;
        unplug_locked();
        return;
    }
    if (no_reply_ != 0) {
        if (no_reply_ > 0) --no_reply_;
        return;
    }
    if (rule && rule->kind == FaultKind::no_reply) return;
    const size_t index =
        static_cast<size_t>(std::find_if(config_.collections.begin(), config_.collections.end(),
                                         [](const CollectionSpec& c) { return c.commands; }) -
                            config_.collections.begin());
    std::optional<uint8_t> forced;
    if (rule && rule->kind == FaultKind::status) forced = rule->status;
    std::array<uint8_t, kCommandReportSize> reply = answer_locked(request, chunk, forced);
    const Clock::time_point ready = Clock::now() + latency_;
    bool wrong = false, then_right = false;
    if (wrong_command_ > 0) {
        --wrong_command_;
        wrong = true;
        then_right = wrong_then_right_;
    } else if (rule &&
               (rule->kind == FaultKind::wrong_command || rule->kind == FaultKind::stale_reply)) {
        wrong = true;
        then_right = rule->kind == FaultKind::stale_reply;
    }
    if (wrong) {
        std::array<uint8_t, kCommandReportSize> other = reply;
        other[3] ^= 0x80;
        store_checksum(other);
        send_locked(index, other, ready);
        if (!then_right) return;
    }
    send_locked(index, reply, ready);
}

int EmulatedDevice::count_chunk_locked(std::span<const uint8_t> request) {
    // A command streams its chunks at rising offsets; an offset that does not rise starts
    // the next command of that byte. Tracked per byte so light frames slipping in between
    // the chunks of another command do not disturb the count.
    const uint32_t offset = request[5] | (uint32_t{request[6]} << 8);
    Run& run = runs_[request[3]];
    if (!run.started || offset <= run.last_offset) run.chunks = 0;
    run.started = true;
    run.last_offset = offset;
    return ++run.chunks;
}

std::optional<FaultRule> EmulatedDevice::strike_rule_locked(uint8_t command, int chunk) {
    for (FaultRule& rule : rules_) {
        if (rule.times == 0 || rule.chunk != chunk) continue;
        if (rule.command >= 0 && rule.command != command) continue;
        if (rule.times > 0) --rule.times;
        return rule;
    }
    return std::nullopt;
}

std::array<uint8_t, kCommandReportSize> EmulatedDevice::answer_locked(
    std::span<const uint8_t> request, int chunk, std::optional<uint8_t> forced_status) {
    const uint8_t command = request[3];
    const uint8_t length = request[4];
    const uint32_t offset = request[5] | (uint32_t{request[6]} << 8);

    std::array<uint8_t, kCommandReportSize> reply{};
    reply[0] = kCommandReportId;
    reply[3] = command;
    reply[4] = length;
    reply[5] = request[5];
    reply[6] = request[6];

    auto read_area = [&](const std::vector<uint8_t>& area) -> uint8_t {
        if (size_t{offset} + length > area.size()) return kStatusOutOfRange;
        std::copy_n(area.begin() + offset, length, reply.begin() + 8);
        return kStatusOk;
    };
    auto write_area = [&](std::vector<uint8_t>& area) -> uint8_t {
        if (size_t{offset} + length > area.size()) return kStatusOutOfRange;
        std::copy_n(request.begin() + 8, length, area.begin() + offset);
        return kStatusOk;
    };

    uint8_t status = kStatusOk;
    const uint16_t sum = request[1] | (uint16_t{request[2]} << 8);
    if (sum != command_checksum(request) || length > kChunkSize) {
        status = kStatusRejected;
    } else if (forced_status) {
        status = *forced_status;
    } else if (chunk_fault_ && (chunk_fault_->command < 0 || chunk_fault_->command == command) &&
               chunk == chunk_fault_->chunk) {
        status = chunk_fault_->status;
        chunk_fault_.reset();
    } else {
        switch (command) {
            case kCmdBegin:
            case kCmdEnd:
            case kCmdLightOutput:
                break;
            case kCmdProbe:
                reply[8] = probe_present_ ? 0xFF : 0x00;
                break;
            case kCmdReadInfo:
                status = read_area(info_);
                break;
            case kCmdReadAt:
                status = read_area(memory_);
                break;
            case kCmdWriteAt:
                status = write_area(memory_);
                break;
            case kCmdReadBlock:
                status = read_area(config_.key_table);
                break;
            case kCmdWriteBlock:
                status = write_area(key_table_);
                break;
            case kCmdReadThirdBlock:
                status = read_area(led_index_);
                break;
            case kCmdWriteIndexed:
                status = write_area(custom_);
                break;
            case kCmdWriteMacros:
                status = write_area(macro_);
                break;
            case kCmdWriteShoot:
                status = write_area(shoot_);
                break;
            case kCmdReadRange:
                status = read_area(status_);
                break;
            case kCmdLightFrame:
                status = write_area(frame_);
                // The chunk that reaches the end of the frame completes it.
                if (status == kStatusOk && length > 0 && offset + length == frame_.size()) {
                    if (frames_.size() >= kMaxKeptLightFrames) frames_.pop_front();
                    frames_.push_back(frame_);
                    ++frame_count_;
                }
                break;
            default:
                status = kStatusRejected;
                break;
        }
    }
    if (status == kStatusOk &&
        (command == kCmdWriteAt || command == kCmdWriteBlock || command == kCmdWriteIndexed ||
         command == kCmdWriteMacros || command == kCmdWriteShoot))
        dirty_ = true;
    if (command == kCmdEnd && dirty_ && !state_file_.empty()) {
        dirty_ = false;
        if (!write_file_atomic(state_file_, state_locked()))
            debug_printf("emulated device state not saved: %s", state_file_.c_str());
    }
    reply[7] = status;
    store_checksum(reply);
    return reply;
}

// --- state across runs ---

namespace {

constexpr std::string_view kStateHeader = "tellune emulated device state 1\n";

}  // namespace

std::vector<std::vector<uint8_t>*> EmulatedDevice::kept_areas_locked() {
    return {&memory_, &key_table_, &macro_, &shoot_, &custom_};
}

std::string EmulatedDevice::state_locked() {
    std::string out(kStateHeader);
    for (const std::vector<uint8_t>* area : kept_areas_locked()) {
        out += std::to_string(area->size()) + "\n";
        out.append(area->begin(), area->end());
    }
    return out;
}

bool EmulatedDevice::keep_state(const std::string& path) {
    const std::string text = read_whole_file(path);
    std::lock_guard lock(mutex_);
    state_file_ = path;
    if (text.compare(0, kStateHeader.size(), kStateHeader) != 0) return false;
    // Checked whole before anything is taken: a file of another layout changes nothing.
    std::vector<std::string_view> parts;
    std::string_view rest = std::string_view(text).substr(kStateHeader.size());
    for (const std::vector<uint8_t>* area : kept_areas_locked()) {
        const size_t line = rest.find('\n');
        if (line == std::string_view::npos || rest.substr(0, line) != std::to_string(area->size()))
            return false;
        rest.remove_prefix(line + 1);
        if (rest.size() < area->size()) return false;
        parts.push_back(rest.substr(0, area->size()));
        rest.remove_prefix(area->size());
    }
    if (!rest.empty()) return false;
    size_t i = 0;
    for (std::vector<uint8_t>* area : kept_areas_locked()) {
        std::copy(parts[i].begin(), parts[i].end(), area->begin());
        ++i;
    }
    return true;
}

void EmulatedDevice::handle_light_report_locked(std::span<const uint8_t> report) {
    if (output_reports_.size() >= kMaxKeptOutputReports) output_reports_.pop_front();
    output_reports_.emplace_back(report.begin(), report.end());
    // Byte 2: 0xAA..0xAC red/green/blue of LEDs 0-6 in bytes 4-10, 0xAD..0xAF of LEDs 7-12
    // in bytes 4-9.
    if (report.size() < 11 || report[2] < 0xAA || report[2] > 0xAF) return;
    const size_t channel = (report[2] - 0xAA) % 3;
    const bool high = report[2] >= 0xAD;
    const size_t first = high ? 7 : 0;
    const size_t count = high ? 6 : 7;
    for (size_t i = 0; i < count; ++i) headset_leds_[first + i][channel] = report[4 + i];
}

// --- faults ---

void EmulatedDevice::set_no_reply(int exchanges) {
    std::lock_guard lock(mutex_);
    no_reply_ = exchanges;
}

void EmulatedDevice::fail_chunk(uint8_t status, int chunk, int command) {
    std::lock_guard lock(mutex_);
    chunk_fault_ = ChunkFault{status, chunk, command};
}

void EmulatedDevice::set_wrong_command_replies(int count, bool then_right) {
    std::lock_guard lock(mutex_);
    wrong_command_ = count;
    wrong_then_right_ = then_right;
}

void EmulatedDevice::unplug_on_next_request(int command) {
    std::lock_guard lock(mutex_);
    unplug_on_request_ = true;
    unplug_on_command_ = command;
}

void EmulatedDevice::set_latency(std::chrono::microseconds latency) {
    std::lock_guard lock(mutex_);
    latency_ = std::max(latency, std::chrono::microseconds{0});
}

void EmulatedDevice::add_fault_rule(const FaultRule& rule) {
    std::lock_guard lock(mutex_);
    rules_.push_back(rule);
}

std::vector<FaultRule> EmulatedDevice::fault_rules() const {
    std::lock_guard lock(mutex_);
    return rules_;
}

void EmulatedDevice::clear_faults() {
    std::lock_guard lock(mutex_);
    rules_.clear();
    no_reply_ = 0;
    chunk_fault_.reset();
    wrong_command_ = 0;
    unplug_on_request_ = false;
    latency_ = std::chrono::microseconds{0};
}

void EmulatedDevice::set_probe_answer(bool present) {
    std::lock_guard lock(mutex_);
    probe_present_ = present;
}

// --- state ---

std::vector<uint8_t> EmulatedDevice::info_block() const {
    std::lock_guard lock(mutex_);
    return info_;
}
std::vector<uint8_t> EmulatedDevice::key_table() const {
    std::lock_guard lock(mutex_);
    return key_table_;
}
std::vector<uint8_t> EmulatedDevice::led_index_table() const {
    std::lock_guard lock(mutex_);
    return led_index_;
}
std::vector<uint8_t> EmulatedDevice::memory() const {
    std::lock_guard lock(mutex_);
    return memory_;
}
std::vector<uint8_t> EmulatedDevice::macro_area() const {
    std::lock_guard lock(mutex_);
    return macro_;
}
std::vector<uint8_t> EmulatedDevice::shoot_area() const {
    std::lock_guard lock(mutex_);
    return shoot_;
}
std::vector<uint8_t> EmulatedDevice::custom_colours() const {
    std::lock_guard lock(mutex_);
    return custom_;
}
std::vector<uint8_t> EmulatedDevice::status_bytes() const {
    std::lock_guard lock(mutex_);
    return status_;
}

void EmulatedDevice::set_status_bytes(std::span<const uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    std::fill(status_.begin(), status_.end(), 0);
    std::copy_n(bytes.begin(), std::min(bytes.size(), status_.size()), status_.begin());
}

bool EmulatedDevice::poke_memory(size_t offset, std::span<const uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    if (offset > memory_.size() || bytes.size() > memory_.size() - offset) return false;
    std::copy(bytes.begin(), bytes.end(), memory_.begin() + static_cast<ptrdiff_t>(offset));
    return true;
}

std::vector<std::vector<uint8_t>> EmulatedDevice::light_frames() const {
    std::lock_guard lock(mutex_);
    return {frames_.begin(), frames_.end()};
}

uint64_t EmulatedDevice::light_frame_count() const {
    std::lock_guard lock(mutex_);
    return frame_count_;
}

std::vector<std::vector<uint8_t>> EmulatedDevice::output_reports() const {
    std::lock_guard lock(mutex_);
    return {output_reports_.begin(), output_reports_.end()};
}

std::array<std::array<uint8_t, 3>, kHeadsetLedCount> EmulatedDevice::headset_leds() const {
    std::lock_guard lock(mutex_);
    return headset_leds_;
}

uint64_t EmulatedDevice::command_count(uint8_t command) const {
    std::lock_guard lock(mutex_);
    return command_counts_[command];
}

}  // namespace tellune::emulator
