#include "core/hid/device_slots.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/core/hid/fake_hid.h"

namespace tellune::hid {
namespace {

using testing::FakeBackend;
using Clock = std::chrono::steady_clock;

// The four collections of a mouse's second interface, as the backend presents them.
void add_mouse(FakeBackend& backend, const std::string& node, uint16_t vendor = 0x0C45,
               uint16_t product = 0x7643) {
    char ids[32];
    std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", vendor, product);
    HidAttributes attributes{vendor, product, 0x0100};
    HidCollection mouse;
    mouse.usage_page = 1;
    mouse.usage = 2;
    HidCollection system;
    system.usage_page = 1;
    system.usage = 0x80;
    backend.Add(node + "?" + ids + "&mi_01&col01", attributes, mouse);
    backend.Add(node + "?" + ids + "&mi_01&col02", attributes, system);
    backend.Add(node + "?" + ids + "&mi_01&col03", attributes, testing::consumer_collection(2));
    backend.Add(node + "?" + ids + "&mi_01&col04", attributes, testing::config_collection());
}

struct Events {
    std::mutex mutex;
    std::vector<std::string> log;
    int first_passes = 0;
    void Add(std::string e) {
        std::lock_guard lock(mutex);
        log.push_back(std::move(e));
    }
    std::vector<std::string> Log() {
        std::lock_guard lock(mutex);
        return log;
    }
};

DeviceScanner::Callbacks callbacks(Events& events) {
    return {[&events](int slot) { events.Add("+" + std::to_string(slot)); },
            [&events](int slot) { events.Add("-" + std::to_string(slot)); },
            [&events] {
                std::lock_guard lock(events.mutex);
                ++events.first_passes;
            },
            {}};
}

TEST(DeviceSlots, MatchTableAndSlotEquality) {
    const auto& t = hid_match_table();
    EXPECT_EQ(t[2].vendor_id, 0x0C45);
    EXPECT_EQ(t[2].product_id, 0x7643);
    EXPECT_EQ(t[2].collection, 4);
    EXPECT_EQ(t[2].usage_page, 0xFF1C);
    EXPECT_EQ(t[2].usage, 0x92);
    EXPECT_EQ(t[3].role, 0xFF);
    EXPECT_EQ(t[3].usage_page, 0x0C);
    EXPECT_EQ(t[5].vendor_id, 0x320F);
    EXPECT_EQ(t[5].kind, kKindMousePad);
    EXPECT_EQ(t[6].interface_number, 3);
    EXPECT_EQ(t[6].collection, 0);
    EXPECT_EQ(t[6].kind, kKindHeadset);

    DeviceSlot a = t[2], b = t[2];
    b.present = 1;
    b.path = "/dev/hidraw1";
    EXPECT_TRUE(same_slot(a, b));
    b.role = 0xFF;
    EXPECT_FALSE(same_slot(a, b));
    EXPECT_FALSE(same_slot(t[0], t[2]));
}

TEST(DeviceSlots, BindsOnlyTheMatchingCollections) {
    FakeBackend backend;
    add_mouse(backend, "/dev/hidraw4");
    Events events;
    DeviceScanner scanner(backend, callbacks(events));
    scanner.ScanOnce();
    // Interfaces are taken in enumeration order: collection 3 comes first.
    EXPECT_EQ(events.Log(), (std::vector<std::string>{"+3", "+2"}));
    EXPECT_EQ(events.first_passes, 1);
    std::vector<DeviceSlot> slots = scanner.Slots();
    ASSERT_EQ(slots.size(), 7u);
    EXPECT_EQ(slots[2].present, 1);
    EXPECT_EQ(slots[2].path, "/dev/hidraw4?vid_0c45&pid_7643&mi_01&col04");
    EXPECT_EQ(slots[3].path, "/dev/hidraw4?vid_0c45&pid_7643&mi_01&col03");
    for (int i : {0, 1, 4, 5, 6}) EXPECT_EQ(slots[i].present, 0) << i;

    scanner.ScanOnce();  // nothing new
    EXPECT_EQ(events.Log().size(), 2u);
    EXPECT_EQ(events.first_passes, 1);
}

TEST(DeviceSlots, SecondIdenticalMouseWaitsForTheFirstToGo) {
    FakeBackend backend;
    add_mouse(backend, "/dev/hidraw4");
    add_mouse(backend, "/dev/hidraw8");
    Events events;
    DeviceScanner scanner(backend, callbacks(events));
    scanner.ScanOnce();
    EXPECT_EQ(events.Log(), (std::vector<std::string>{"+3", "+2"}));
    EXPECT_EQ(scanner.Slots()[2].path.substr(0, 12), "/dev/hidraw4");

    for (int c = 1; c <= 4; ++c)
        backend.Remove("/dev/hidraw4?vid_0c45&pid_7643&mi_01&col0" + std::to_string(c));
    scanner.ScanOnce();  // removal noticed
    EXPECT_EQ(events.Log(), (std::vector<std::string>{"+3", "+2", "-2", "-3"}));
    scanner.ScanOnce();  // the second mouse takes the slots
    EXPECT_EQ(events.Log().size(), 6u);
    EXPECT_EQ(scanner.Slots()[2].path, "/dev/hidraw8?vid_0c45&pid_7643&mi_01&col04");
    EXPECT_EQ(scanner.Slots()[3].path, "/dev/hidraw8?vid_0c45&pid_7643&mi_01&col03");
}

TEST(DeviceSlots, RowsWithoutIdsNeedPathAndAttributesWithoutIds) {
    FakeBackend backend;
    // A keyboard whose path and attributes carry no ids, and a headset interface.
    backend.Add("/dev/hidraw2?&mi_01&col04", {}, testing::config_collection());
    backend.Add("/dev/hidraw2?&mi_01&col03", {}, testing::consumer_collection(3));
    HidCollection headset;
    headset.usage_page = 0x0C;
    headset.usage = 1;
    backend.Add("/dev/hidraw6?&mi_03", {}, headset);
    // Path without ids but the device reports some: not a keyboard row.
    backend.Add("/dev/hidraw7?&mi_01&col04", {0x1234, 0x5678, 0}, testing::config_collection());
    // Right address and ids, but the collection is not the configuration one.
    backend.Add("/dev/hidraw9?vid_320f&pid_1004&mi_01&col04", {0x320F, 0x1004, 0},
                testing::consumer_collection(4));
    Events events;
    DeviceScanner scanner(backend, callbacks(events));
    scanner.ScanOnce();
    EXPECT_EQ(events.Log(), (std::vector<std::string>{"+0", "+1", "+6"}));
    EXPECT_EQ(scanner.Slots()[0].path, "/dev/hidraw2?&mi_01&col04");
    EXPECT_EQ(scanner.Slots()[4].present, 0);
}

TEST(DeviceSlots, InterfaceThatCannotBeOpenedIsTriedAgain) {
    FakeBackend backend;
    auto pad = backend.Add("/dev/hidraw3?vid_320f&pid_1004&mi_01&col04", {0x320F, 0x1004, 0},
                           testing::config_collection());
    pad->refuse_open = true;
    Events events;
    DeviceScanner scanner(backend, callbacks(events));
    scanner.ScanOnce();
    EXPECT_TRUE(events.Log().empty());
    pad->refuse_open = false;
    scanner.ScanOnce();
    EXPECT_EQ(events.Log(), (std::vector<std::string>{"+4"}));
    // A bound slot is not probed again.
    int opens = pad->opens;
    scanner.ScanOnce();
    EXPECT_EQ(pad->opens, opens + 1);  // only the presence check
}

// A backend that reports changes only when told to, as the hidraw and emulated ones do.
class QuietBackend : public FakeBackend {
public:
    uint64_t change_count() override { return changes; }
    std::vector<std::string> enumerate() override {
        ++enumerations;
        return FakeBackend::enumerate();
    }
    uint64_t changes = 7;
    int enumerations = 0;
};

TEST(DeviceSlots, PassesWaitForAChangeButRetryWhatFailed) {
    QuietBackend backend;
    Events events;
    DeviceScanner scanner(backend, callbacks(events));
    scanner.ScanOnce();  // the first pass always looks
    EXPECT_EQ(backend.enumerations, 1);
    EXPECT_EQ(events.first_passes, 1);
    scanner.ScanOnce();
    scanner.ScanOnce();
    EXPECT_EQ(backend.enumerations, 1);

    // A device arrives: seen on the pass after the backend says so.
    auto pad = backend.Add("/dev/hidraw3?vid_320f&pid_1004&mi_01&col04", {0x320F, 0x1004, 0},
                           testing::config_collection());
    pad->refuse_open = true;
    scanner.ScanOnce();
    EXPECT_TRUE(events.Log().empty());
    ++backend.changes;
    scanner.ScanOnce();  // its open is refused (udev has not set the rights yet) ...
    EXPECT_TRUE(events.Log().empty());
    pad->refuse_open = false;
    scanner.ScanOnce();  // ... so the next pass tries again without a new change
    EXPECT_EQ(events.Log(), (std::vector<std::string>{"+4"}));
    const int enumerations = backend.enumerations;
    const int opens = pad->opens;
    scanner.ScanOnce();
    EXPECT_EQ(backend.enumerations, enumerations);
    EXPECT_EQ(pad->opens, opens);

    // Gone: noticed once the backend reports it.
    backend.Remove("/dev/hidraw3?vid_320f&pid_1004&mi_01&col04");
    ++backend.changes;
    scanner.ScanOnce();
    EXPECT_EQ(events.Log(), (std::vector<std::string>{"+4", "-4"}));
    EXPECT_EQ(events.first_passes, 1);
}

TEST(DeviceSlots, ThreadFindsArrivalsAndStopsAtOnce) {
    FakeBackend backend;
    Events events;
    DeviceScanner scanner(backend, callbacks(events));
    scanner.Start(20);
    add_mouse(backend, "/dev/hidraw4");
    auto deadline = Clock::now() + std::chrono::seconds(5);
    while (events.Log().size() < 2 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(events.Log(), (std::vector<std::string>{"+3", "+2"}));
    // Readers on another thread while the scan runs.
    for (int i = 0; i < 100; ++i) EXPECT_EQ(scanner.Slots().size(), 7u);
    scanner.Stop();
    EXPECT_FALSE(scanner.Running());
    EXPECT_EQ(events.first_passes, 1);

    // A long period does not delay the stop.
    scanner.Start(60000);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    auto start = Clock::now();
    scanner.Stop();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

}  // namespace
}  // namespace tellune::hid
