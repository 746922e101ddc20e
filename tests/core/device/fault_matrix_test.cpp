// Every device operation that talks to a device, with each fault the emulator can inject at
// each of its commands: the documented result, exactly the requests the device should see
// up to and after the failing one, and no operation waits longer than one exchange time-out.
//
// What each fault gives (the result an operation returns; write_macros reports every
// failure as -1 and success as 0):
//
//   fault                                  result   waits
//   no reply                               0        one time-out
//   status 0xFF at chunk N                 -102     no
//   status 0xFE at chunk N                 -103     no
//   another command byte, nothing else     0        one time-out (the second read finds none)
//   a stale reply, then the true one       1        no (the operation completes)
//   unplugged after the request            0        no (the read ends at once)
//   wireless probe failing in any way      0        as above
//
// The mouse and the keyboard end an operation at the failing request. The mouse pad sends every
// command of its sequences whatever the one before answered, and the headset closes a write it
// began: those steps are marked as sent after a failure (unless the device is gone). The operation
// still returns the first failure.
//
// A new device adds its kind to Rig and its rows to the table in rows(); the faults and
// checks apply unchanged.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/device/headset_protocol.h"
#include "core/device/keyboard_protocol.h"
#include "core/device/pad_protocol.h"
#include "emulator/fault_spec.h"
#include "mouse_test_util.h"
#include "test_support/temp_dir.h"

namespace tellune::device {
namespace {

using namespace std::chrono_literals;
using emulator::FaultKind;
using emulator::FaultRule;
using test::MouseRig;
using test::write_text;
using Clock = std::chrono::steady_clock;

enum class Kind { mouse, keyboard, pad, headset };

const char* kind_name(Kind kind) {
    switch (kind) {
        case Kind::mouse:
            return "mouse";
        case Kind::keyboard:
            return "keyboard";
        case Kind::pad:
            return "pad";
        case Kind::headset:
            return "headset";
    }
    return "?";
}

// One emulated device, a command channel open on its command collection and the protocol
// object of its kind.
struct Rig {
    Rig(Kind kind, bool wireless) {
        emulator::DeviceConfig config = kind == Kind::mouse      ? emulator::mouse_config()
                                        : kind == Kind::keyboard ? emulator::keyboard_config()
                                        : kind == Kind::pad      ? emulator::mouse_pad_config()
                                                                 : emulator::headset_config();
        const size_t command_path = kind == Kind::headset ? 0 : 3;
        device = std::make_shared<emulator::EmulatedDevice>(std::move(config));
        backend.plug(device);
        const std::vector<std::string> paths = emulator::interface_paths(*device);
        command_collection = device->config().collections[command_path].number;
        opened = this->config.Connect(paths[command_path]);
        this->config.SetWireless(wireless);
        if (kind == Kind::mouse) mouse = std::make_unique<MouseProtocol>(this->config);
        if (kind == Kind::keyboard) keyboard = std::make_unique<KeyboardProtocol>(this->config);
        if (kind == Kind::pad) pad = std::make_unique<PadProtocol>(this->config);
        if (kind == Kind::headset) headset = std::make_unique<HeadsetProtocol>(this->config);
    }
    // The command bytes of the requests the command collection received, oldest first.
    std::vector<uint8_t> commands() const {
        std::vector<uint8_t> out;
        for (const emulator::LogEntry& e : device->log().entries())
            if (e.direction == emulator::Direction::received &&
                e.collection == command_collection && e.bytes.size() == 64 && e.bytes[0] == 4)
                out.push_back(e.bytes[3]);
        return out;
    }
    void clear_log() { device->log().clear(); }

    emulator::EmulatedBackend backend;
    std::shared_ptr<emulator::EmulatedDevice> device;
    uint8_t command_collection = 0;
    hid::CCommandChannel config{backend};
    bool opened = false;
    // Made last, gone first: each stops its threads while the channel still exists.
    std::unique_ptr<MouseProtocol> mouse;
    std::unique_ptr<KeyboardProtocol> keyboard;
    std::unique_ptr<PadProtocol> pad;
    std::unique_ptr<HeadsetProtocol> headset;
};

// Requests of one command in the order sent: `chunks` of them, numbered from `first` (the
// device counts the requests of a command by rising offsets).
struct Step {
    uint8_t command;
    int chunks = 1;
    int first = 1;
    // Sent even when the request before it failed (a failure before an unmarked step ends
    // the operation there).
    bool after_failure = false;
};

// One operation of one device.
struct Row {
    Kind kind;
    std::string operation;
    bool wireless = false;
    std::vector<Step> steps;
    // The commands whose faults the row checks; empty: all of them.
    std::vector<uint8_t> faulted;
    int ok_result = 1;
    // Set when the operation reports every failure as this one value.
    std::optional<int> failure_result;
    std::function<bool(Rig&)> prepare;  // before the fault is armed (connection, ...)
    std::function<int(Rig&)> run;
};

// Data files the macro and shoot rows send: a macro image of 70 bytes (two chunks) and a
// shoot image of 80 bytes (two chunks).
struct Files {
    TempDir dir;
    Files() {
        write_text(dir.file("macro.config"), R"({"MacroInfo": [{"Guid": "m"}]})");
        std::string events;
        for (int i = 0; i < 12; ++i)
            events +=
                std::string(i ? "," : "") + R"({"Action":"down","Button":4,"Type":10,"Delay":"1"})";
        write_text(dir.file("m.mac"), "{\"Events\": [" + events + "]}");
        std::string shots;
        for (int i = 0; i < 10; ++i)
            shots +=
                std::string(i ? "," : "") + R"({"Action":"down","Button":1,"Type":1,"Delay":3})";
        write_text(dir.file("ShootData_0.Shoot"), "{\"Events\": [" + shots + "]}");
    }
    std::string folder() const { return dir.path().string(); }
};

std::vector<Row> rows(const Files& files) {
    const std::string folder = files.folder();
    auto connect = [](Rig& r) { return r.mouse->connect_device().result == 1; };
    auto keyboard_connect = [](Rig& r) {
        r.keyboard->settings().keys.resize(kKeyboardKeys);
        return r.keyboard->connect_device() == 1;
    };
    // The record index 1 puts the second read at offset 25, so it counts as chunk 2.
    auto index_one = [](Rig& r) { return r.device->poke_memory(0, std::vector<uint8_t>{1}); };
    const std::vector<KeyAssignmentRecord> keys(kMouseButtons);
    std::vector<Row> table = {
        {Kind::mouse,
         "connect_device",
         false,
         {{0x01, 1}, {0x03, 1}, {0x07, 1}, {0x02, 1}},
         {},
         1,
         {},
         nullptr,
         [](Rig& r) { return r.mouse->connect_device().result; }},
        {Kind::mouse,
         "read_settings_block",
         false,
         {{0x05, 1}, {0x05, 2}},
         {},
         1,
         {},
         nullptr,
         [](Rig& r) { return r.mouse->read_settings_block(); }},
        {Kind::mouse,
         "write_settings",
         false,
         {{0x01, 1}, {0x06, 2}, {0x02, 1}},
         {},
         1,
         {},
         nullptr,
         [](Rig& r) { return r.mouse->write_settings(0); }},
        {Kind::mouse,
         "write_key_table",
         false,
         {{0x03, 1}, {0x01, 1}, {0x09, 1}, {0x02, 1}},
         {},
         1,
         {},
         connect,
         [keys](Rig& r) { return r.mouse->write_key_table(0, keys); }},
        {Kind::mouse,
         "write_macros",
         false,
         {{0x03, 1}, {0x01, 1}, {0x15, 2}, {0x02, 1}},
         {},
         0,
         -1,
         nullptr,
         [folder](Rig& r) { return r.mouse->write_macros(folder); }},
        {Kind::mouse,
         "write_shoot_data",
         false,
         {{0x03, 1}, {0x01, 1}, {0x17, 2}, {0x02, 1}},
         {},
         1,
         {},
         nullptr,
         [folder](Rig& r) { return r.mouse->write_shoot_data(folder); }},
        // The power and connection poll every device control makes.
        {Kind::mouse,
         "status bytes",
         false,
         {{0x1A, 1}},
         {},
         1,
         {},
         nullptr,
         [](Rig& r) {
             std::array<uint8_t, 6> status{};
             return r.config.ReadRange(status, 0);
         }},
        // Over the wireless receiver every operation starts with the probe; a probe that
        // fails in any way ends it before anything else is sent.
        {Kind::mouse,
         "connect_device (wireless)",
         true,
         {{0xAA, 1}, {0x01, 1}, {0x03, 1}, {0x07, 1}, {0x02, 1}},
         {0xAA},
         1,
         0,
         nullptr,
         [](Rig& r) { return r.mouse->connect_device().result; }},
        {Kind::mouse,
         "write_settings (wireless)",
         true,
         {{0xAA, 1}, {0x01, 1}, {0xAA, 1}, {0x06, 2}, {0xAA, 1}, {0x02, 1}},
         {0xAA},
         1,
         0,
         nullptr,
         [](Rig& r) { return r.mouse->write_settings(0); }},
        {Kind::mouse,
         "write_macros (wireless)",
         true,
         {{0xAA, 1}, {0x03, 1}, {0xAA, 1}, {0x01, 1}, {0xAA, 1}, {0x15, 2}, {0xAA, 1}, {0x02, 1}},
         {0xAA},
         0,
         -1,
         nullptr,
         [folder](Rig& r) { return r.mouse->write_macros(folder); }},

        // The keyboard: 126 key slots, so its key table and every LED table (custom colours,
        // light frames) take 7 chunks, its LED index table 3.
        {Kind::keyboard,
         "connect_device",
         false,
         {{0x01}, {0x03}, {0x07, 7}, {0x1B, 3}, {0x02}},
         {},
         1,
         {},
         nullptr,
         [](Rig& r) { return r.keyboard->connect_device(); }},
        {Kind::keyboard,
         "reload_from_device",
         false,
         {{0x05}, {.command = 0x05, .first = 2}},
         {},
         1,
         {},
         index_one,
         [](Rig& r) { return r.keyboard->read_settings_block(); }},
        {Kind::keyboard,
         "write_settings",
         false,
         {{0x01}, {0x06}, {0x02}},
         {},
         1,
         {},
         nullptr,
         [](Rig& r) { return r.keyboard->write_settings(0); }},
        {Kind::keyboard,
         "write_key_table",
         false,
         {{0x03}, {0x01}, {0x09, 7}, {0x02}},
         {},
         1,
         {},
         keyboard_connect,
         [](Rig& r) { return r.keyboard->write_current_keys(0); }},
        {Kind::keyboard,
         "write_macros",
         false,
         {{0x03}, {0x01}, {0x15, 2}, {0x02}},
         {},
         0,
         -1,
         nullptr,
         [folder](Rig& r) { return r.keyboard->write_macros(folder); }},
        {Kind::keyboard,
         "write_custom_colours",
         false,
         {{0x0B, 7}},
         {},
         1,
         {},
         keyboard_connect,
         [](Rig& r) {
             const std::vector<CustomColour> colours(kKeyboardKeys, CustomColour{10, 20, 30});
             return r.keyboard->write_custom_colours(1, colours);
         }},
        // The sender thread sends frames this way; its result only decides whether the next
        // frame goes out, so the channel call is what a fault must reach.
        {Kind::keyboard,
         "light frame",
         false,
         {{0x12, 7}},
         {},
         1,
         {},
         keyboard_connect,
         [](Rig& r) {
             const std::vector<LedColour> colours(kKeyboardKeys, LedColour{200, 100, 50, 255});
             return r.config.WriteLightFrame(
                 build_light_frame(colours, r.keyboard->led_map(), r.keyboard->key_slots()));
         }},

        {Kind::pad,
         "connect_device",
         false,
         {{0x01},
          {.command = 0x03, .after_failure = true},
          {.command = 0x02, .after_failure = true}},
         {},
         1,
         {},
         nullptr,
         [](Rig& r) { return r.pad->connect_device(); }},
        {Kind::pad,
         "read_settings_block",
         false,
         {{0x05}, {.command = 0x05, .first = 2}},
         {},
         1,
         {},
         index_one,
         [](Rig& r) { return r.pad->read_settings_block(); }},
        {Kind::pad,
         "write_settings",
         false,
         {{0x01},
          {.command = 0x06, .after_failure = true},
          {.command = 0x02, .after_failure = true}},
         {},
         1,
         {},
         nullptr,
         [](Rig& r) { return r.pad->write_settings(0); }},

        {Kind::headset,
         "read_light_record",
         false,
         {{0x05}, {.command = 0x05, .first = 2}},
         {},
         1,
         {},
         index_one,
         [](Rig& r) {
             int index = 0;
             return r.headset->read_light_record(index);
         }},
        {Kind::headset,
         "write_light_record",
         false,
         {{0x01}, {0x06}, {.command = 0x02, .after_failure = true}},
         {},
         1,
         {},
         nullptr,
         [](Rig& r) { return r.headset->write_light_record(1); }},
        {Kind::headset,
         "read_power",
         false,
         {{0x1A}},
         {},
         1,
         {},
         nullptr,
         [](Rig& r) {
             std::array<uint8_t, kPowerSize> power{};
             return r.headset->read_power(power);
         }},
    };
    return table;
}

struct Fault {
    const char* name;
    FaultKind kind;
    uint8_t status = 0;
};

const Fault kFaults[] = {
    {"noreply", FaultKind::no_reply},         {"status=0xFF", FaultKind::status, 0xFF},
    {"status=0xFE", FaultKind::status, 0xFE}, {"wrongcmd", FaultKind::wrong_command},
    {"stale", FaultKind::stale_reply},        {"unplug", FaultKind::unplug},
};

int expected_result(const Row& row, const Fault& fault) {
    if (fault.kind == FaultKind::stale_reply) return row.ok_result;
    if (row.failure_result) return *row.failure_result;
    if (fault.kind == FaultKind::status) return fault.status == 0xFF ? -102 : -103;
    return 0;
}

bool waits_for_time_out(const Fault& fault) {
    return fault.kind == FaultKind::no_reply || fault.kind == FaultKind::wrong_command;
}

struct Case {
    const Row* row = nullptr;
    const Fault* fault = nullptr;
    uint8_t command = 0;
    int chunk = 0;
    // Filled by run_case.
    int result = 0;
    Clock::duration took{};
    std::vector<uint8_t> sent;  // command bytes received by the device during the operation
    std::string setup_failure;
};

std::string name(const Case& c) {
    std::ostringstream out;
    out << kind_name(c.row->kind) << " " << c.row->operation << ", " << c.fault->name << " at 0x"
        << std::hex << int(c.command) << std::dec << " chunk " << c.chunk;
    return out.str();
}

// One request of an operation.
struct Sent {
    uint8_t command;
    int chunk;
    bool after_failure;
};

// The requests of the whole operation, in order.
std::vector<Sent> expand(const Row& row) {
    std::vector<Sent> out;
    for (const Step& s : row.steps)
        for (int chunk = s.first; chunk < s.first + s.chunks; ++chunk)
            out.push_back({s.command, chunk, s.after_failure});
    return out;
}

std::vector<Case> cases(const std::vector<Row>& table) {
    std::vector<Case> out;
    for (const Row& row : table) {
        for (const Step& step : row.steps) {
            if (!row.faulted.empty() && std::find(row.faulted.begin(), row.faulted.end(),
                                                  step.command) == row.faulted.end())
                continue;
            for (const Fault& fault : kFaults) {
                // The first and the last request of each command.
                for (int chunk : {step.first, step.first + step.chunks - 1}) {
                    const bool seen = std::any_of(out.begin(), out.end(), [&](const Case& c) {
                        return c.row == &row && c.fault == &fault && c.command == step.command &&
                               c.chunk == chunk;
                    });
                    if (seen) continue;
                    Case c;
                    c.row = &row;
                    c.fault = &fault;
                    c.command = step.command;
                    c.chunk = chunk;
                    out.push_back(std::move(c));
                }
            }
        }
    }
    return out;
}

void run_case(Case& c) {
    Rig rig(c.row->kind, c.row->wireless);
    if (!rig.opened) {
        c.setup_failure = "channel not opened";
        return;
    }
    if (c.row->prepare && !c.row->prepare(rig)) {
        c.setup_failure = "preparation failed";
        return;
    }
    rig.clear_log();
    FaultRule rule;
    rule.kind = c.fault->kind;
    rule.command = c.command;
    rule.chunk = c.chunk;
    rule.status = c.fault->status;
    rig.device->add_fault_rule(rule);
    const Clock::time_point start = Clock::now();
    c.result = c.row->run(rig);
    c.took = Clock::now() - start;
    c.sent = rig.commands();
}

// The rows of all devices run side by side, so the time-outs overlap: the whole matrix
// takes a few seconds instead of one time-out per case.
std::vector<Case> run_all(std::vector<Case> all) {
    constexpr size_t kBatch = 48;
    for (size_t from = 0; from < all.size(); from += kBatch) {
        std::vector<std::thread> threads;
        for (size_t i = from; i < std::min(all.size(), from + kBatch); ++i)
            threads.emplace_back([&c = all[i]] { run_case(c); });
        for (std::thread& t : threads) t.join();
    }
    return all;
}

TEST(FaultMatrix, EveryCommandOfEveryDeviceUnderEveryFault) {
    const Files files;
    const std::vector<Row> table = rows(files);
    const std::vector<Case> results = run_all(cases(table));
    ASSERT_GT(results.size(), 200u);
    for (const Case& c : results) {
        SCOPED_TRACE(name(c));
        ASSERT_EQ(c.setup_failure, "");
        EXPECT_EQ(c.result, expected_result(*c.row, *c.fault));

        // What the device received: the operation up to the struck request, then what is
        // sent after a failure (nothing once the device is gone), or all of it when the
        // fault is survived.
        const std::vector<Sent> all = expand(*c.row);
        const auto struck = std::find_if(all.begin(), all.end(), [&](const Sent& s) {
            return s.command == c.command && s.chunk == c.chunk;
        });
        ASSERT_NE(struck, all.end());
        std::vector<uint8_t> expected_sent;
        for (auto it = all.begin(); it != all.end(); ++it) {
            if (it > struck && c.fault->kind != FaultKind::stale_reply &&
                (!it->after_failure || c.fault->kind == FaultKind::unplug))
                break;
            expected_sent.push_back(it->command);
        }
        EXPECT_EQ(c.sent, expected_sent);

        // Never longer than one exchange time-out, plus room for a loaded machine.
        const auto time_out =
            std::chrono::milliseconds(c.row->wireless ? hid::CCommandChannel::kWirelessTimeoutMs
                                                      : hid::CCommandChannel::kTimeoutMs);
        const auto bound = (waits_for_time_out(*c.fault) ? time_out : 0ms) + 3s;
        EXPECT_LT(c.took, bound);
        if (waits_for_time_out(*c.fault)) {
            EXPECT_GE(c.took, time_out);
        }
    }
}

// The same faults given as text, as a user sets TELLUNE_EMULATOR_FAULTS for the program.
TEST(FaultMatrix, RulesFromTextReachTheOperations) {
    const emulator::FaultSpec spec =
        emulator::parse_fault_spec("mouse:0x06:status=0xFE@chunk=2@times=1;mouse:0x09:unplug");
    ASSERT_TRUE(spec.errors.empty());
    MouseRig rig;
    EXPECT_TRUE(emulator::apply_faults(rig.backend, spec.faults).empty());
    EXPECT_EQ(rig.mouse.write_settings(0), -103);
    EXPECT_EQ(rig.mouse.write_settings(0), 1);  // struck once
    ASSERT_EQ(rig.mouse.connect_device().result, 1);
    EXPECT_EQ(rig.mouse.write_key_table(0, {}), 0);
    EXPECT_FALSE(rig.device->plugged());
}

}  // namespace
}  // namespace tellune::device
