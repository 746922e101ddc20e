// Every device operation that talks to a device, with each fault the emulator can inject at
// each of its commands: the documented result, the operation ends at the failing request
// (nothing after it is sent), and no operation waits longer than one exchange time-out.
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
// A new device adds its rows to the table in rows(); the faults and checks apply unchanged.

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

// Commands of one operation, in the order sent, each with its number of requests.
struct Step {
    uint8_t command;
    int chunks;
};

// One operation of one device.
struct Row {
    std::string device;
    std::string operation;
    bool wireless = false;
    std::vector<Step> steps;
    // The commands whose faults the row checks; empty: all of them.
    std::vector<uint8_t> faulted;
    int ok_result = 1;
    // Set when the operation reports every failure as this one value.
    std::optional<int> failure_result;
    std::function<bool(MouseRig&)> prepare;  // before the fault is armed (connection, ...)
    std::function<int(MouseRig&)> run;
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
    auto connect = [](MouseRig& r) { return r.mouse.connect_device().result == 1; };
    const std::vector<KeyAssignmentRecord> keys(kMouseButtons);
    std::vector<Row> table = {
        {"mouse",
         "connect_device",
         false,
         {{0x01, 1}, {0x03, 1}, {0x07, 1}, {0x02, 1}},
         {},
         1,
         {},
         nullptr,
         [](MouseRig& r) { return r.mouse.connect_device().result; }},
        {"mouse",
         "read_settings_block",
         false,
         {{0x05, 1}, {0x05, 2}},
         {},
         1,
         {},
         nullptr,
         [](MouseRig& r) { return r.mouse.read_settings_block(); }},
        {"mouse",
         "write_settings",
         false,
         {{0x01, 1}, {0x06, 2}, {0x02, 1}},
         {},
         1,
         {},
         nullptr,
         [](MouseRig& r) { return r.mouse.write_settings(0); }},
        {"mouse",
         "write_key_table",
         false,
         {{0x03, 1}, {0x01, 1}, {0x09, 1}, {0x02, 1}},
         {},
         1,
         {},
         connect,
         [keys](MouseRig& r) { return r.mouse.write_key_table(0, keys); }},
        {"mouse",
         "write_macros",
         false,
         {{0x03, 1}, {0x01, 1}, {0x15, 2}, {0x02, 1}},
         {},
         0,
         -1,
         nullptr,
         [folder](MouseRig& r) { return r.mouse.write_macros(folder); }},
        {"mouse",
         "write_shoot_data",
         false,
         {{0x03, 1}, {0x01, 1}, {0x17, 2}, {0x02, 1}},
         {},
         1,
         {},
         nullptr,
         [folder](MouseRig& r) { return r.mouse.write_shoot_data(folder); }},
        // The power and connection poll every device control makes.
        {"mouse",
         "status bytes",
         false,
         {{0x1A, 1}},
         {},
         1,
         {},
         nullptr,
         [](MouseRig& r) {
             std::array<uint8_t, 6> status{};
             return r.config.ReadRange(status, 0);
         }},
        // Over the wireless receiver every operation starts with the probe; a probe that
        // fails in any way ends it before anything else is sent.
        {"mouse",
         "connect_device (wireless)",
         true,
         {{0xAA, 1}, {0x01, 1}, {0x03, 1}, {0x07, 1}, {0x02, 1}},
         {0xAA},
         1,
         0,
         nullptr,
         [](MouseRig& r) { return r.mouse.connect_device().result; }},
        {"mouse",
         "write_settings (wireless)",
         true,
         {{0xAA, 1}, {0x01, 1}, {0xAA, 1}, {0x06, 2}, {0xAA, 1}, {0x02, 1}},
         {0xAA},
         1,
         0,
         nullptr,
         [](MouseRig& r) { return r.mouse.write_settings(0); }},
        {"mouse",
         "write_macros (wireless)",
         true,
         {{0xAA, 1}, {0x03, 1}, {0xAA, 1}, {0x01, 1}, {0xAA, 1}, {0x15, 2}, {0xAA, 1}, {0x02, 1}},
         {0xAA},
         0,
         -1,
         nullptr,
         [folder](MouseRig& r) { return r.mouse.write_macros(folder); }},
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
    out << c.row->device << " " << c.row->operation << ", " << c.fault->name << " at 0x" << std::hex
        << int(c.command) << std::dec << " chunk " << c.chunk;
    return out.str();
}

// The commands of the whole operation, one per request.
std::vector<std::pair<uint8_t, int>> expand(const Row& row) {
    std::vector<std::pair<uint8_t, int>> out;
    for (const Step& s : row.steps)
        for (int chunk = 1; chunk <= s.chunks; ++chunk) out.emplace_back(s.command, chunk);
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
                for (int chunk : {1, step.chunks}) {
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
    MouseRig rig(emulator::mouse_config(), c.row->wireless);
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
    ASSERT_GT(results.size(), 100u);
    for (const Case& c : results) {
        SCOPED_TRACE(name(c));
        ASSERT_EQ(c.setup_failure, "");
        EXPECT_EQ(c.result, expected_result(*c.row, *c.fault));

        // What the device received: the operation up to the struck request, or all of it
        // when the fault is survived.
        const std::vector<std::pair<uint8_t, int>> all = expand(*c.row);
        const auto struck = std::find(all.begin(), all.end(), std::make_pair(c.command, c.chunk));
        ASSERT_NE(struck, all.end());
        const auto end = c.fault->kind == FaultKind::stale_reply ? all.end() : struck + 1;
        std::vector<uint8_t> expected_sent;
        for (auto it = all.begin(); it != end; ++it) expected_sent.push_back(it->first);
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
