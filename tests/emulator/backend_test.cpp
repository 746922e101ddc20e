// Plugging, paths, collections, input-report fan-out and waking waiting readers.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/hid/hid_path.h"
#include "emulator_test_util.h"

namespace tellune::emulator {
namespace {

using namespace std::chrono_literals;
using test::hex;
using test::Rig;

constexpr hid::OpenMode kReadWrite{true, true, false};

TEST(EmulatedBackend, DemoBackendListsOnePathPerCollection) {
    auto backend = make_demo_backend();
    const std::vector<std::string> expected = {
        "emu/keyboard0?&mi_01&col01",
        "emu/keyboard0?&mi_01&col02",
        "emu/keyboard0?&mi_01&col03",
        "emu/keyboard0?&mi_01&col04",
        "emu/mouse0?vid_0c45&pid_7643&mi_01&col01",
        "emu/mouse0?vid_0c45&pid_7643&mi_01&col02",
        "emu/mouse0?vid_0c45&pid_7643&mi_01&col03",
        "emu/mouse0?vid_0c45&pid_7643&mi_01&col04",
        "emu/mousepad0?vid_320f&pid_1004&mi_01&col01",
        "emu/mousepad0?vid_320f&pid_1004&mi_01&col02",
        "emu/mousepad0?vid_320f&pid_1004&mi_01&col03",
        "emu/mousepad0?vid_320f&pid_1004&mi_01&col04",
        "emu/headset0?&mi_03",
    };
    EXPECT_EQ(backend->enumerate(), expected);
    EXPECT_EQ(hid::parse_collection_number(expected.back()), 0);
    EXPECT_EQ(hid::parse_interface_number(expected.back()), 3);
}

TEST(EmulatedBackend, CollectionsComeFromTheRealDescriptors) {
    auto backend = make_demo_backend();
    auto col3 = backend->open("emu/mouse0?vid_0c45&pid_7643&mi_01&col03", kReadWrite);
    auto col4 = backend->open("emu/mouse0?vid_0c45&pid_7643&mi_01&col04", kReadWrite);
    ASSERT_TRUE(col3 && col4);
    EXPECT_EQ(col3->collection().usage_page, 0x000C);
    EXPECT_EQ(col3->collection().usage, 0x0001);
    EXPECT_EQ(col3->collection().input_report_length, 3);
    EXPECT_TRUE(col3->collection().has_input_report(3));
    ASSERT_EQ(col3->collection().input_caps.size(), 1u);
    EXPECT_EQ(col3->collection().input_caps[0].usage_min, 0x0000);
    EXPECT_EQ(col3->collection().input_caps[0].usage_max, 0x07FF);
    EXPECT_EQ(col4->collection().usage_page, 0xFF1C);
    EXPECT_EQ(col4->collection().usage, 0x0092);
    EXPECT_EQ(col4->collection().input_report_length, 64);
    EXPECT_EQ(col4->collection().output_report_length, 64);
    EXPECT_EQ(col4->collection().report_ids, std::vector<uint8_t>{4});
    EXPECT_EQ(col4->attributes().vendor_id, 0x0C45);
    EXPECT_EQ(col4->attributes().product_id, 0x7643);

    auto kb1 = backend->open("emu/keyboard0?&mi_01&col01", kReadWrite);
    ASSERT_TRUE(kb1);
    EXPECT_EQ(kb1->collection().usage_page, 0x0001);
    EXPECT_EQ(kb1->collection().usage, 0x0006);
    EXPECT_EQ(kb1->attributes().vendor_id, 0);

    auto headset = backend->open("emu/headset0?&mi_03", kReadWrite);
    ASSERT_TRUE(headset);
    EXPECT_EQ(headset->collection().usage_page, 0x000C);
    EXPECT_EQ(headset->collection().usage, 0x0001);
    EXPECT_EQ(headset->collection().output_report_length, 64);
    EXPECT_EQ(headset->collection().report_ids, (std::vector<uint8_t>{1, 4, 0xFF}));

    EXPECT_EQ(backend->open("emu/mouse0?vid_0c45&pid_7643&mi_01&col05", kReadWrite), nullptr);
    EXPECT_EQ(backend->open("emu/nothing0?mi_01", kReadWrite), nullptr);
}

TEST(EmulatedBackend, AccessRightsAndCollectionsLimitIo) {
    Rig rig(make_mouse());
    auto probe = rig.backend.open(interface_paths(*rig.device)[3], {});
    ASSERT_TRUE(probe);
    std::vector<uint8_t> buffer(64);
    EXPECT_EQ(probe->read(buffer, 0).status, hid::IoStatus::error);
    EXPECT_EQ(probe->write(hex("04 01 00 01"), 100).status, hid::IoStatus::error);
    // The consumer collection takes no output reports; a short command report is refused.
    auto consumer = rig.backend.open(interface_paths(*rig.device)[2], kReadWrite);
    EXPECT_EQ(consumer->write(hex("04 01 00 01"), 100).status, hid::IoStatus::error);
    EXPECT_EQ(rig.connection->write(hex("04 01 00 01", 63), 100).status, hid::IoStatus::error);
    EXPECT_EQ(rig.connection->write(hex("05 01 00 01"), 100).status, hid::IoStatus::error);
    EXPECT_EQ(rig.connection->write({}, 100).status, hid::IoStatus::error);
    EXPECT_EQ(rig.connection->write(hex("04 01 00 01", 65), 100).status, hid::IoStatus::error);
    EXPECT_EQ(rig.device->command_count(kCmdBegin), 0u);
}

TEST(EmulatedBackend, UnplugHidesTheDeviceAndRePlugKeepsItsPaths) {
    Rig rig(make_mouse());
    const std::vector<std::string> paths = rig.backend.enumerate();
    ASSERT_EQ(paths.size(), 4u);
    const uint64_t plugged_in = rig.backend.change_count();
    EXPECT_EQ(rig.backend.change_count(), plugged_in);  // a scan may skip its pass
    rig.backend.unplug(rig.device);
    const uint64_t unplugged = rig.backend.change_count();
    EXPECT_NE(unplugged, plugged_in);
    EXPECT_TRUE(rig.backend.enumerate().empty());
    EXPECT_EQ(rig.backend.open(paths[3], kReadWrite), nullptr);
    std::vector<uint8_t> buffer(64);
    EXPECT_EQ(rig.connection->read(buffer, 0).status, hid::IoStatus::gone);
    EXPECT_EQ(rig.connection->write(hex("04 01 00 01"), 100).status, hid::IoStatus::gone);
    EXPECT_FALSE(rig.connection->send_output_report(hex("04 01 00 01")));

    rig.backend.plug(rig.device);
    EXPECT_NE(rig.backend.change_count(), unplugged);
    EXPECT_EQ(rig.backend.enumerate(), paths);
    // The old connection stays gone; a new one works and the memory survived.
    EXPECT_EQ(rig.connection->read(buffer, 0).status, hid::IoStatus::gone);
    rig.connection = rig.backend.open(paths[3], kReadWrite);
    ASSERT_TRUE(rig.connection);
    EXPECT_EQ(rig.exchange(hex("04 01 00 01")), hex("04 01 00 01"));
}

TEST(EmulatedBackend, UnplugWakesEveryWaitingReader) {
    Rig rig(make_keyboard());
    auto consumer = rig.backend.open(interface_paths(*rig.device)[2], kReadWrite);
    std::atomic<int> gone{0};
    std::vector<std::thread> readers;
    for (hid::HidConnection* c : {rig.connection.get(), consumer.get()}) {
        readers.emplace_back([c, &gone] {
            std::vector<uint8_t> buffer(64);
            if (c->read(buffer, -1).status == hid::IoStatus::gone) ++gone;
        });
    }
    std::this_thread::sleep_for(20ms);
    const auto start = std::chrono::steady_clock::now();
    rig.backend.unplug(rig.device);
    for (auto& t : readers) t.join();
    EXPECT_EQ(gone.load(), 2);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST(EmulatedBackend, AbortEndsAWaitingReadOrTheNextOne) {
    Rig rig(make_mouse());
    std::vector<uint8_t> buffer(64);
    hid::IoStatus status = hid::IoStatus::ok;
    std::thread reader([&] { status = rig.connection->read(buffer, -1).status; });
    std::this_thread::sleep_for(20ms);
    rig.connection->abort();
    reader.join();
    EXPECT_EQ(status, hid::IoStatus::aborted);
    // An abort with nobody waiting ends the next read once, like an auto-reset event.
    rig.connection->abort();
    EXPECT_EQ(rig.connection->read(buffer, 1000).status, hid::IoStatus::aborted);
    EXPECT_EQ(rig.connection->read(buffer, 10).status, hid::IoStatus::timeout);
}

TEST(EmulatedBackend, InputReportsFanOutToEveryConnectionOfTheirCollection) {
    Rig rig(make_mouse());
    const auto paths = interface_paths(*rig.device);
    auto a = rig.backend.open(paths[2], kReadWrite);
    auto b = rig.backend.open(paths[2], kReadWrite);
    EXPECT_TRUE(rig.device->inject_usage(0x0401));
    std::vector<uint8_t> buffer(8);
    for (auto* c : {a.get(), b.get()}) {
        const hid::IoResult r = c->read(buffer, 100);
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 3),
                  (std::vector<uint8_t>{0x03, 0x01, 0x04}));
    }
    // The vendor collection's connection sees none of it; a reply goes to both of its readers.
    EXPECT_EQ(rig.connection->read(buffer, 0).status, hid::IoStatus::timeout);
    auto second = rig.backend.open(paths[3], kReadWrite);
    EXPECT_EQ(rig.exchange(hex("04 01 00 01")), hex("04 01 00 01"));
    std::vector<uint8_t> reply(64);
    ASSERT_TRUE(second->read(reply, 100).ok());
    EXPECT_EQ(reply, hex("04 01 00 01"));
    // Keyboard key events: slot 5 down and up.
    Rig kb(make_keyboard());
    auto kc = kb.backend.open(interface_paths(*kb.device)[2], kReadWrite);
    EXPECT_TRUE(kb.device->inject_key(5, true));
    EXPECT_TRUE(kb.device->inject_key(5, false));
    ASSERT_TRUE(kc->read(buffer, 100).ok());
    EXPECT_EQ(buffer[1], 0x05);
    EXPECT_EQ(buffer[2], 0x05);
    ASSERT_TRUE(kc->read(buffer, 100).ok());
    EXPECT_EQ(buffer[2], 0x06);
    // The headset has no usage collection.
    EXPECT_FALSE(make_headset()->inject_usage(0x0401));
}

TEST(EmulatedBackend, AtMostSixtyFourReportsWaitAndTheOldestGo) {
    Rig rig(make_mouse());
    auto c = rig.backend.open(interface_paths(*rig.device)[2], kReadWrite);
    for (int i = 0; i < 70; ++i) {
        const uint8_t report[3] = {3, static_cast<uint8_t>(i), 0};
        ASSERT_TRUE(rig.device->inject_input(3, report));
    }
    std::vector<uint8_t> buffer(3);
    std::vector<int> seen;
    while (c->read(buffer, 0).ok()) seen.push_back(buffer[1]);
    ASSERT_EQ(seen.size(), 64u);
    EXPECT_EQ(seen.front(), 6);
    EXPECT_EQ(seen.back(), 69);
    // A buffer shorter than the report gets its beginning.
    ASSERT_TRUE(rig.device->inject_usage(0x0404));
    std::vector<uint8_t> one(1);
    const hid::IoResult r = c->read(one, 0);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.bytes, 1u);
    EXPECT_EQ(one[0], 3);
}

// Exchanges, injections, unplugs and re-plugs on several threads at once: run under TSan.
TEST(EmulatedBackend, ConcurrentTrafficAndPlugging) {
    EmulatedBackend backend;
    auto mouse = make_mouse();
    backend.plug(mouse);
    const std::string path = interface_paths(*mouse)[3];
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&] {
            std::vector<uint8_t> reply(64);
            while (!stop) {
                auto c = backend.open(path, kReadWrite);
                if (!c) {
                    std::this_thread::yield();
                    continue;
                }
                for (int i = 0; i < 20 && c->write(hex("04 01 00 01"), 100).ok(); ++i)
                    if (!c->read(reply, 100).ok()) break;
            }
        });
    }
    threads.emplace_back([&] {
        while (!stop) {
            mouse->inject_usage(0x0401);
            (void)backend.enumerate();
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < 50; ++i) {
        std::this_thread::sleep_for(1ms);
        backend.unplug(mouse);
        std::this_thread::sleep_for(1ms);
        backend.plug(mouse);
    }
    stop = true;
    for (auto& t : threads) t.join();
    EXPECT_TRUE(mouse->plugged());
    EXPECT_GT(mouse->command_count(kCmdBegin), 0u);
}

}  // namespace
}  // namespace tellune::emulator
