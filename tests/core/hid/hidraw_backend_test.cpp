#include "core/hid/hidraw_backend.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "core/hid/command_channel.h"
#include "core/hid/device_slots.h"
#include "test_support/fake_sysfs.h"

namespace tellune::hid {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// Hands out socketpair ends for device nodes and keeps the device-side ends.
struct Sockets {
    std::mutex mutex;
    std::map<std::string, int> device_end;  // last pair per node
    std::vector<std::pair<std::string, int>> opens;
    std::vector<int> to_close;
    bool deny = false;

    ~Sockets() {
        for (int fd : to_close) ::close(fd);
    }
    int Open(const std::string& node, int flags) {
        std::lock_guard lock(mutex);
        opens.emplace_back(node, flags);
        if (deny) {
            errno = EACCES;
            return -1;
        }
        int sv[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv) != 0) return -1;
        device_end[node] = sv[1];
        to_close.push_back(sv[1]);
        ::fcntl(sv[0], F_SETFL, O_NONBLOCK);
        return sv[0];
    }
    int Device(const std::string& node) {
        std::lock_guard lock(mutex);
        return device_end.at(node);
    }
};

class HidrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::signal(SIGPIPE, SIG_IGN);  // writes to a closed peer report EPIPE instead
        sysfs_.Add(2, "0003:00000C45:00007643", 1, kTwoCollections);
        sysfs_.Add(10, "0003:00000000:00000000", 3, kPlainConsumer);
        sysfs_.Add(5, "0003:0000320F:00001004", 0, kPlainConsumer);
        fs::create_directories(sysfs_.root() / "class/hidraw/hidraw7");  // no device link
    }
    HidrawBackend Backend() {
        HidrawOptions o;
        o.sysfs_root = sysfs_.class_root();
        o.device_folder = sysfs_.dev();
        o.open_node = [this](const std::string& node, int flags) {
            return sockets_.Open(node, flags);
        };
        return HidrawBackend(o);
    }
    std::string Node(int n) { return sysfs_.dev() + "/hidraw" + std::to_string(n); }

    FakeSysfs sysfs_;
    Sockets sockets_;
};

TEST_F(HidrawTest, EnumeratesOnePathPerTopLevelCollection) {
    HidrawBackend backend = Backend();
    std::vector<std::string> paths = backend.enumerate();
    EXPECT_EQ(paths, (std::vector<std::string>{
                         Node(2) + "?vid_0c45&pid_7643&mi_01&col01",
                         Node(2) + "?vid_0c45&pid_7643&mi_01&col02",
                         Node(5) + "?vid_320f&pid_1004&mi_00",
                         Node(10) + "?&mi_03",
                     }));
    auto c = backend.open(paths[1], {true, true, false});
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->attributes().vendor_id, 0x0C45);
    EXPECT_EQ(c->attributes().version, 0x0210);
    EXPECT_EQ(c->collection().usage_page, 0xFF1C);
    EXPECT_EQ(c->collection().input_report_length, 64);
    EXPECT_EQ(sockets_.opens.back().first, Node(2));
    EXPECT_EQ(sockets_.opens.back().second, O_RDWR | O_NONBLOCK | O_CLOEXEC);

    backend.open(paths[3], {true, false, false});
    EXPECT_EQ(sockets_.opens.back().second, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    backend.open(paths[3], {false, true, false});
    EXPECT_EQ(sockets_.opens.back().second, O_WRONLY | O_NONBLOCK | O_CLOEXEC);

    // Paths that no longer describe the node, or no node at all.
    EXPECT_EQ(backend.open(Node(2) + "?vid_0c45&pid_7644&mi_01&col01", {true}), nullptr);
    EXPECT_EQ(backend.open(Node(2) + "?vid_0c45&pid_7643&mi_01&col03", {true}), nullptr);
    EXPECT_EQ(backend.open(Node(9) + "?&mi_00", {true}), nullptr);
    sockets_.deny = true;
    EXPECT_EQ(backend.open(paths[0], {true, true, false}), nullptr);
    // No access: the node is there, just not ours to open; it exists when stat says so.
    EXPECT_EQ(backend.open(paths[0], {}), nullptr);
    write_file(Node(2), "");
    EXPECT_NE(backend.open(paths[0], {}), nullptr);
}

TEST_F(HidrawTest, EachHandleSeesOnlyItsOwnCollection) {
    HidrawBackend backend = Backend();
    auto config = backend.open(Node(2) + "?vid_0c45&pid_7643&mi_01&col02", {true, true, false});
    ASSERT_NE(config, nullptr);
    int device = sockets_.Device(Node(2));
    const uint8_t consumer[] = {3, 0xE9, 0x00};
    uint8_t reply[64] = {4, 0, 0, 9};
    ASSERT_EQ(::send(device, consumer, sizeof consumer, 0), 3);
    ASSERT_EQ(::send(device, reply, sizeof reply, 0), 64);
    uint8_t buffer[64] = {};
    IoResult r = config->read(buffer, 200);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.bytes, 64u);
    EXPECT_EQ(buffer[0], 4);
    EXPECT_EQ(buffer[3], 9);
    EXPECT_EQ(config->read(buffer, 30).status, IoStatus::timeout);

    // Writes reach the node whole; message boundaries stay.
    uint8_t request[64] = {4, 1, 0, 1};
    ASSERT_TRUE(config->write(request, 200).ok());
    uint8_t got[128];
    EXPECT_EQ(::recv(device, got, sizeof got, 0), 64);
    EXPECT_EQ(got[3], 1);
    // No HIDIOCSOUTPUT on a socket: the report goes out through write().
    EXPECT_TRUE(config->send_output_report(request));
    EXPECT_EQ(::recv(device, got, sizeof got, 0), 64);

    // Without report ids every report is the collection's own.
    auto plain = backend.open(Node(10) + "?&mi_03", {true, false, false});
    const uint8_t bare[] = {0x81};
    ASSERT_EQ(::send(sockets_.Device(Node(10)), bare, 1, 0), 1);
    r = plain->read(buffer, 200);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.bytes, 1u);
    EXPECT_EQ(buffer[0], 0x81);
}

TEST_F(HidrawTest, AbortFromAnotherThreadAndGoneOnPeerClose) {
    HidrawBackend backend = Backend();
    auto c = backend.open(Node(2) + "?vid_0c45&pid_7643&mi_01&col02", {true, true, false});
    ASSERT_NE(c, nullptr);
    std::atomic<int> status{-1};
    std::thread reader([&] {
        uint8_t buffer[64];
        status = static_cast<int>(c->read(buffer, -1).status);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto start = Clock::now();
    c->abort();
    reader.join();
    EXPECT_EQ(status, static_cast<int>(IoStatus::aborted));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
    uint8_t buffer[64];
    EXPECT_EQ(c->read(buffer, 20).status, IoStatus::timeout);  // the abort was used up

    std::thread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::shutdown(sockets_.Device(Node(2)), SHUT_RDWR);
    });
    EXPECT_EQ(c->read(buffer, 2000).status, IoStatus::gone);
    unplug.join();
    uint8_t request[64] = {4};
    EXPECT_EQ(c->write(request, 200).status, IoStatus::gone);
}

TEST_F(HidrawTest, ExclusiveOpenKeepsOtherWritersOut) {
    write_file(Node(2), "");
    HidrawOptions o;
    o.sysfs_root = sysfs_.class_root();
    o.device_folder = sysfs_.dev();
    HidrawBackend backend(o);  // opens the (regular) node file for real
    std::string path = Node(2) + "?vid_0c45&pid_7643&mi_01&col02";
    auto owner = backend.open(path, {true, true, true});
    ASSERT_NE(owner, nullptr);
    EXPECT_EQ(backend.open(path, {true, true, false}), nullptr);
    EXPECT_NE(backend.open(path, {true, false, false}), nullptr);
    owner.reset();
    EXPECT_NE(backend.open(path, {true, true, false}), nullptr);
}

// The command channel over hidraw: a device thread answers on the socket.
TEST_F(HidrawTest, CommandChannelOverHidraw) {
    HidrawBackend backend = Backend();
    CCommandChannel channel(backend);
    ASSERT_TRUE(channel.Connect(Node(2) + "?vid_0c45&pid_7643&mi_01&col02"));
    int device = sockets_.Device(Node(2));
    std::thread responder([device] {
        uint8_t r[64];
        for (int i = 0; i < 2; ++i) {
            if (::recv(device, r, sizeof r, 0) != 64) return;
            const uint8_t noise[] = {3, 0x01, 0x00};  // a key press of the other collection
            ::send(device, noise, sizeof noise, 0);
            r[7] = 0;
            r[8] = static_cast<uint8_t>(0x40 + i);
            ::send(device, r, sizeof r, 0);
        }
    });
    uint8_t out[60] = {};
    EXPECT_EQ(channel.ReadAt(out, 0), 1);
    EXPECT_EQ(out[0], 0x40);
    EXPECT_EQ(out[56], 0x41);
    responder.join();
    channel.Disconnect();
}

TEST_F(HidrawTest, ChangeCountFollowsTheDeviceFolder) {
    fs::create_directories(sysfs_.dev());
    HidrawBackend backend = Backend();
    uint64_t seen = backend.change_count();
    EXPECT_EQ(backend.change_count(), seen);

    const fs::path node = fs::path(sysfs_.dev()) / "hidraw11";
    write_file(node, "");  // a node appears
    EXPECT_NE(backend.change_count(), seen);
    seen = backend.change_count();
    EXPECT_EQ(backend.change_count(), seen);
    fs::permissions(node, fs::perms::owner_read | fs::perms::owner_write);  // udev's rights
    EXPECT_NE(backend.change_count(), seen);
    seen = backend.change_count();
    fs::remove(node);
    EXPECT_NE(backend.change_count(), seen);
    seen = backend.change_count();

    // The watched folder itself goes: from then on every call is a change.
    fs::remove_all(sysfs_.dev());
    EXPECT_NE(backend.change_count(), seen);
    seen = backend.change_count();
    EXPECT_NE(backend.change_count(), seen);

    HidrawOptions blind_options;
    blind_options.device_folder = (sysfs_.root() / "no-such-folder").string();
    HidrawBackend blind(blind_options);
    const uint64_t first = blind.change_count();
    EXPECT_NE(blind.change_count(), first);
}

TEST_F(HidrawTest, AccessDeniedNamesTheNodeOnlyWhenRightsAreMissing) {
    HidrawBackend backend = Backend();
    const std::string path = Node(2) + "?vid_0c45&pid_7643&mi_01&col02";
    EXPECT_EQ(backend.access_denied(path), "");
    sockets_.deny = true;
    EXPECT_EQ(backend.access_denied(path), Node(2));
    EXPECT_EQ(sockets_.opens.back().second, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    // Gone or never there is not a question of rights.
    EXPECT_EQ(backend.access_denied(Node(9) + "?&mi_00"), "");
    EXPECT_EQ(backend.access_denied("/dev/input/event3"), "");
}

// A mouse whose node the user may not open (and the headset-like node of the fixture too):
// reported once refused past the settle time, and no longer once the rights let the scan
// bind them.
TEST_F(HidrawTest, ScanReportsARefusedDeviceAfterTheSettleTimeAndClearsIt) {
    Bytes four = kTwoCollections;  // collections 3 and 4 as the mouse's match rows want them
    four.insert(four.end(), kTwoCollections.begin(), kTwoCollections.end());
    sysfs_.Add(3, "0003:00000C45:00007643", 1, four);
    HidrawBackend backend = Backend();
    std::vector<std::vector<std::string>> told;
    std::vector<int> arrived;
    DeviceScanner scanner(backend,
                          {[&](int slot) { arrived.push_back(slot); },
                           {},
                           {},
                           [&](const std::vector<std::string>& nodes) { told.push_back(nodes); }});
    scanner.SetAccessSettle(std::chrono::milliseconds(100));
    sockets_.deny = true;

    const std::vector<std::string> refused = {Node(10), Node(3)};
    scanner.ScanOnce();
    EXPECT_EQ(scanner.DeniedNodes(), refused);
    EXPECT_TRUE(told.empty());  // udev may not have set the rights yet
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    scanner.ScanOnce();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], refused);
    scanner.ScanOnce();
    EXPECT_EQ(told.size(), 1u);  // told once while nothing changes
    EXPECT_TRUE(arrived.empty());

    sockets_.deny = false;  // the rule is installed and the device re-plugged
    scanner.ScanOnce();
    EXPECT_EQ(arrived, (std::vector<int>{3, 2, 6}));  // collection 3 comes before 4
    ASSERT_EQ(told.size(), 2u);
    EXPECT_TRUE(told[1].empty());
    EXPECT_TRUE(scanner.DeniedNodes().empty());
}

}  // namespace
}  // namespace tellune::hid
