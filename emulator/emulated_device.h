#pragma once
// The device side of one emulated product: its collections, its memory (information block,
// key table, LED index table, settings areas, macro and shoot areas, light frames, status
// bytes), the answers to every command of the 64-byte report-id-4 protocol, the input reports
// of its notification collection, fault injection and the report log.
//
// Requests are answered at once on the writer's thread; a reply is queued (after the
// configured latency) on every open connection of the command collection, as hidraw hands
// each open file its own copy of every input report.
//
// Status bytes of a reply: 0 accepted; kStatusRejected (0xFF) for a request that is itself
// bad (checksum, length byte above 56, unknown command); kStatusOutOfRange (0xFE) when the
// addressed bytes do not lie inside the area. A refused request changes nothing and a refused
// read returns a zero payload.
//
// Key tables: command 0x07 reads the key layout the device was built with (the factory codes
// by which a host finds each key's slot), command 0x09 writes the active table, which
// key_table() returns. A host that reassigns a key therefore still finds it after reconnecting.
//
// Thread-safe: every member may be called from any thread.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/hid/hid_backend.h"
#include "emulator/report_log.h"

namespace tellune::emulator {

inline constexpr uint8_t kCommandReportId = 4;
inline constexpr size_t kCommandReportSize = 64;
inline constexpr size_t kChunkSize = 56;
inline constexpr size_t kInfoBlockSize = 34;
inline constexpr uint8_t kStatusOk = 0x00;
inline constexpr uint8_t kStatusRejected = 0xFF;
inline constexpr uint8_t kStatusOutOfRange = 0xFE;
inline constexpr size_t kMaxQueuedInputReports = 64;
inline constexpr size_t kMaxKeptLightFrames = 64;
inline constexpr size_t kMaxKeptOutputReports = 64;
inline constexpr size_t kHeadsetLedCount = 13;

// Commands of the protocol.
enum Command : uint8_t {
    kCmdBegin = 1,
    kCmdEnd = 2,
    kCmdReadInfo = 3,
    kCmdReadAt = 5,
    kCmdWriteAt = 6,
    kCmdReadBlock = 7,
    kCmdWriteBlock = 9,
    kCmdWriteIndexed = 11,
    kCmdLightFrame = 18,
    kCmdWriteMacros = 21,
    kCmdWriteShoot = 23,
    kCmdReadRange = 26,
    kCmdReadThirdBlock = 27,
    kCmdLightOutput = 28,
    kCmdProbe = 0xAA,
};

// One output report a collection accepts, with its full length (report id included).
struct OutputReportSpec {
    uint8_t report_id = 0;
    uint16_t length = 0;
};

// One top-level collection, in descriptor order; `number` is what "&col" says (0: none).
struct CollectionSpec {
    uint8_t number = 0;
    uint16_t usage_page = 0;
    uint16_t usage = 0;
    bool commands = false;         // takes the 64-byte requests with report id 4
    uint8_t notify_report_id = 0;  // nonzero: input report [id, usage low, usage high]
    std::vector<OutputReportSpec> outputs;
};

struct DeviceConfig {
    std::string node;  // node part of the paths, e.g. "emu/mouse0"
    uint16_t vendor_id = 0;
    uint16_t product_id = 0;
    uint16_t version = 0;
    uint8_t interface_number = 0;
    std::vector<uint8_t> report_descriptor;   // the interface's real descriptor bytes
    std::vector<CollectionSpec> collections;  // one per top-level collection of the descriptor

    std::array<uint8_t, kInfoBlockSize> info{};  // byte 5: key slots K, byte 6: macro area / 128
    std::vector<uint8_t> key_table;              // 3·K bytes
    std::vector<uint8_t> led_index_table;        // K bytes
    std::vector<uint8_t> memory;                 // settings areas (commands 5 and 6)
    std::vector<uint8_t> status;                 // command 26
    size_t custom_colour_size = 0;               // command 11
    size_t shoot_size = 0;                       // command 23
    size_t light_frame_size = 0;                 // command 18

    uint8_t key_slots() const { return info[5]; }
    size_t macro_size() const { return size_t{info[6]} * 128; }
};

// A fault that stays armed for the commands it matches, as TELLUNE_EMULATOR_FAULTS sets them.
enum class FaultKind {
    no_reply,       // the request is neither applied nor answered
    status,         // answered with `status` and not applied
    wrong_command,  // answered with another command byte only
    stale_reply,    // a reply with another command byte, then the true reply
    unplug,         // the request is received, then the device vanishes
};

struct FaultRule {
    FaultKind kind = FaultKind::no_reply;
    int command = -1;  // command byte, -1: every command
    int chunk = 1;     // which request of the command it strikes, 1-based
    uint8_t status = 0xFF;
    int times = -1;  // commands it strikes before it disarms; -1: every one
    bool operator==(const FaultRule&) const = default;
};

// Input reports waiting for one open connection. Guarded by the device's mutex.
struct InputQueue {
    struct Entry {
        std::vector<uint8_t> bytes;
        std::chrono::steady_clock::time_point ready;
    };
    size_t collection_index = 0;
    uint64_t generation = 0;  // plug generation the connection was opened in
    std::deque<Entry> reports;
    int pending_aborts = 0;
    // Waited on under the device's lock. One per reader, so a reply on the command
    // interface does not wake the listener blocked on the other one.
    std::condition_variable wake;
};

class EmulatedDevice {
public:
    static constexpr int kForever = -1;

    explicit EmulatedDevice(DeviceConfig config);
    EmulatedDevice(const EmulatedDevice&) = delete;
    EmulatedDevice& operator=(const EmulatedDevice&) = delete;

    const DeviceConfig& config() const { return config_; }  // immutable after construction
    hid::HidAttributes attributes() const;
    // Index of the collection with this "&col" number, or -1.
    int collection_index(uint8_t number) const;

    // --- plugging (an unplug wakes every waiting read with `gone`; connections opened before
    // it stay gone after a re-plug, which keeps the same paths) ---
    void plug();
    void unplug();
    bool plugged() const;
    // How often it was plugged in or out.
    uint64_t plug_changes() const;

    // --- the host side, used by the connections ---
    std::shared_ptr<InputQueue> attach(size_t collection_index);
    void detach(const std::shared_ptr<InputQueue>& queue);
    // A report the host sends on a collection (interrupt write or control-pipe output report).
    hid::IoStatus receive(const std::shared_ptr<InputQueue>& queue,
                          std::span<const uint8_t> report);
    hid::IoResult read(const std::shared_ptr<InputQueue>& queue, std::span<uint8_t> buffer,
                       int timeout_ms);
    void abort(const std::shared_ptr<InputQueue>& queue);
    bool gone(const InputQueue& queue) const;

    // --- input reports the device sends by itself ---
    // Fans `report` out to every open connection of the collection; false when there is no
    // such collection or the device is unplugged.
    bool inject_input(uint8_t collection_number, std::span<const uint8_t> report);
    // A usage on the notification collection (0x0401 sync request, 0x0404, 0x05xx/0x06xx keys).
    bool inject_usage(uint16_t usage);
    bool inject_key(uint8_t slot, bool down) {
        return inject_usage(static_cast<uint16_t>((down ? 0x0500 : 0x0600) | slot));
    }
    // The key whose factory code (type, parameter 1, parameter 2) is `code` went down or up:
    // the key report of the first slot of the device's own layout that holds the code.
    // False when no slot does.
    bool press_key(const std::array<uint8_t, 3>& code, bool down);

    // --- fault injection ---
    void set_no_reply(int exchanges);  // ignore the next N requests (neither applied nor answered)
    // The `chunk`-th request (1-based) of the next command (of command byte `command`, or of
    // any command when -1) is answered with `status` and not applied. Stays armed until it
    // fires; a new call replaces it.
    void fail_chunk(uint8_t status, int chunk, int command = -1);
    // The next `count` replies carry another command byte; with `then_right` the true reply
    // follows each wrong one, as when a stale reply was still queued.
    void set_wrong_command_replies(int count, bool then_right);
    // The next request is received, then the device vanishes without applying or answering.
    // With `command`, only a request of that command byte (the ones before it are answered).
    void unplug_on_next_request(int command = -1);
    void set_latency(std::chrono::microseconds latency);
    // Arms a lasting fault; rules are checked in the order they were added and the first
    // armed one that matches the command and the chunk strikes.
    void add_fault_rule(const FaultRule& rule);
    std::vector<FaultRule> fault_rules() const;  // with what is left of their counts
    void clear_faults();                         // every fault, the lasting rules too
    void set_probe_answer(bool present);  // reply byte 8 of the probe: 0xFF present, 0 absent

    // --- keeping state across runs (the demo devices) ---
    // Keeps the writable areas (settings memory, key table, macro, shoot and custom colour
    // areas) in the file at `path`: takes them from it now when it holds areas of exactly this
    // device's sizes, and saves them whenever a write sequence ends (command 0x02). False when
    // nothing was taken (no file, or a file of another layout, which is then left alone until
    // the next save replaces it).
    bool keep_state(const std::string& path);

    // --- state, for tests and tools ---
    std::vector<uint8_t> info_block() const;
    std::vector<uint8_t> key_table() const;
    std::vector<uint8_t> led_index_table() const;
    std::vector<uint8_t> memory() const;
    std::vector<uint8_t> macro_area() const;
    std::vector<uint8_t> shoot_area() const;
    std::vector<uint8_t> custom_colours() const;
    std::vector<uint8_t> status_bytes() const;
    void set_status_bytes(std::span<const uint8_t> bytes);  // cut or zero-filled to size
    bool poke_memory(size_t offset, std::span<const uint8_t> bytes);
    std::vector<std::vector<uint8_t>> light_frames() const;  // complete frames, oldest first
    uint64_t light_frame_count() const;
    std::vector<std::vector<uint8_t>> output_reports() const;  // headset light reports
    // The 13 headset LEDs as the light reports set them: R, G, B each.
    std::array<std::array<uint8_t, 3>, kHeadsetLedCount> headset_leds() const;
    uint64_t command_count(uint8_t command) const;
    ReportLog& log() { return log_; }
    std::string log_tag(uint8_t collection_number) const;

private:
    struct Run {  // chunks of the command currently streaming with one command byte
        bool started = false;
        uint32_t last_offset = 0;
        int chunks = 0;
    };
    void send_locked(size_t collection_index, std::span<const uint8_t> report,
                     std::chrono::steady_clock::time_point ready);
    void unplug_locked();
    void handle_command_locked(std::span<const uint8_t> request);
    // Counts the request as the next chunk of its command; returns that chunk number.
    int count_chunk_locked(std::span<const uint8_t> request);
    // The armed rule that strikes this chunk of this command (its count taken), or nothing.
    std::optional<FaultRule> strike_rule_locked(uint8_t command, int chunk);
    std::array<uint8_t, kCommandReportSize> answer_locked(std::span<const uint8_t> request,
                                                          int chunk,
                                                          std::optional<uint8_t> forced_status);
    void handle_light_report_locked(std::span<const uint8_t> report);
    std::vector<std::vector<uint8_t>*> kept_areas_locked();
    std::string state_locked();

    const DeviceConfig config_;
    ReportLog log_;

    mutable std::mutex mutex_;
    bool plugged_ = false;
    uint64_t plug_changes_ = 0;
    uint64_t generation_ = 0;
    std::vector<std::shared_ptr<InputQueue>> queues_;

    std::vector<uint8_t> info_;
    std::vector<uint8_t> key_table_;
    std::vector<uint8_t> led_index_;
    std::vector<uint8_t> memory_;
    std::vector<uint8_t> macro_;
    std::vector<uint8_t> shoot_;
    std::vector<uint8_t> custom_;
    std::vector<uint8_t> status_;
    std::vector<uint8_t> frame_;
    std::deque<std::vector<uint8_t>> frames_;
    uint64_t frame_count_ = 0;
    std::deque<std::vector<uint8_t>> output_reports_;
    std::array<std::array<uint8_t, 3>, kHeadsetLedCount> headset_leds_{};
    std::array<uint64_t, 256> command_counts_{};
    std::array<Run, 256> runs_{};
    bool probe_present_ = true;
    std::string state_file_;
    bool dirty_ = false;  // a writable area changed since the last save

    int no_reply_ = 0;
    struct ChunkFault {
        uint8_t status = 0;
        int chunk = 0;
        int command = -1;
    };
    std::optional<ChunkFault> chunk_fault_;
    int wrong_command_ = 0;
    bool wrong_then_right_ = false;
    bool unplug_on_request_ = false;
    int unplug_on_command_ = -1;
    std::chrono::microseconds latency_{0};
    std::vector<FaultRule> rules_;
};

// The 16-bit sum of bytes 3..63 of a command report.
uint16_t command_checksum(std::span<const uint8_t> report);

}  // namespace tellune::emulator
