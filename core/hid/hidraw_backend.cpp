#include "core/hid/hidraw_backend.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "core/hid/hid_path.h"
#include "core/platform/files.h"

namespace tellune::hid {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kBusUsb = 3;

// What sysfs tells about one hidraw node.
struct NodeInfo {
    uint32_t bus = 0;
    HidAttributes attributes;
    int interface_number = -1;  // -1: not a USB interface
    ReportDescriptor descriptor;
};

bool read_node_info(const std::string& sysfs_root, const std::string& name, NodeInfo& info) {
    fs::path hid_device = fs::path(sysfs_root) / name / "device";
    std::string uevent = read_whole_file((hid_device / "uevent").string());
    size_t at = uevent.find("HID_ID=");
    if (at == std::string::npos) return false;
    const char* p = uevent.c_str() + at + 7;
    char* end = nullptr;
    unsigned long fields[3] = {};
    for (int i = 0; i < 3; ++i) {
        errno = 0;
        fields[i] = std::strtoul(p, &end, 16);
        if (end == p || errno != 0) return false;
        p = end;
        if (i < 2) {
            if (*p != ':') return false;
            ++p;
        }
    }
    info.bus = static_cast<uint32_t>(fields[0]);
    info.attributes.vendor_id = static_cast<uint16_t>(fields[1]);
    info.attributes.product_id = static_cast<uint16_t>(fields[2]);

    std::string raw = read_whole_file((hid_device / "report_descriptor").string());
    info.descriptor =
        parse_report_descriptor({reinterpret_cast<const uint8_t*>(raw.data()), raw.size()});
    if (info.descriptor.collections.empty()) return false;

    // The HID device sits in its USB interface folder, which sits in the USB device's.
    std::error_code ec;
    fs::path real = fs::canonical(hid_device, ec);
    if (!ec && info.bus == kBusUsb) {
        std::string number = read_whole_file((real.parent_path() / "bInterfaceNumber").string());
        if (!number.empty())
            info.interface_number = static_cast<int>(std::strtol(number.c_str(), nullptr, 16));
        std::string version =
            read_whole_file((real.parent_path().parent_path() / "bcdDevice").string());
        if (!version.empty())
            info.attributes.version =
                static_cast<uint16_t>(std::strtoul(version.c_str(), nullptr, 16));
    }
    return true;
}

int remaining_ms(std::chrono::steady_clock::time_point deadline, int timeout_ms) {
    if (timeout_ms < 0) return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

bool is_gone_errno(int e) {
    return e == EIO || e == ENODEV || e == EPIPE || e == ESHUTDOWN;
}

class HidrawConnection : public HidConnection {
public:
    HidrawConnection(int fd, HidAttributes attributes, HidCollection collection, bool filter)
        : fd_(fd),
          abort_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
          attributes_(attributes),
          collection_(std::move(collection)),
          filter_(filter) {}
    ~HidrawConnection() override {
        if (fd_ >= 0) ::close(fd_);
        if (abort_fd_ >= 0) ::close(abort_fd_);
    }
    HidrawConnection(const HidrawConnection&) = delete;
    HidrawConnection& operator=(const HidrawConnection&) = delete;

    HidAttributes attributes() const override { return attributes_; }
    const HidCollection& collection() const override { return collection_; }

    IoResult read(std::span<uint8_t> buffer, int timeout_ms) override {
        if (fd_ < 0 || abort_fd_ < 0) return {IoStatus::error, 0};
        std::lock_guard lock(read_mutex_);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            IoStatus s = wait(POLLIN, remaining_ms(deadline, timeout_ms));
            if (s != IoStatus::ok) return {s, 0};
            ssize_t n = ::read(fd_, scratch_, sizeof scratch_);
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR) continue;
                return {is_gone_errno(errno) ? IoStatus::gone : IoStatus::error, 0};
            }
            if (n == 0) return {IoStatus::gone, 0};
            // One node carries every collection of the interface: keep only ours.
            if (filter_ && !collection_.has_input_report(scratch_[0])) continue;
            size_t count = std::min(static_cast<size_t>(n), buffer.size());
            std::copy_n(scratch_, count, buffer.begin());
            return {IoStatus::ok, count};
        }
    }

    // A hidraw write blocks in the kernel until the report is out (up to seconds) and
    // cannot be interrupted; callers keep writes off threads that must stay responsive.
    IoResult write(std::span<const uint8_t> report, int timeout_ms) override {
        if (fd_ < 0 || abort_fd_ < 0) return {IoStatus::error, 0};
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            IoStatus s = wait(POLLOUT, remaining_ms(deadline, timeout_ms));
            if (s != IoStatus::ok) return {s, 0};
            ssize_t n = ::write(fd_, report.data(), report.size());
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR) continue;
                return {is_gone_errno(errno) ? IoStatus::gone : IoStatus::error, 0};
            }
            if (static_cast<size_t>(n) != report.size()) return {IoStatus::error, 0};
            return {IoStatus::ok, report.size()};
        }
    }

    bool send_output_report(std::span<const uint8_t> report) override {
        if (fd_ < 0) return false;
#ifdef HIDIOCSOUTPUT
        std::vector<uint8_t> copy(report.begin(), report.end());
        if (::ioctl(fd_, HIDIOCSOUTPUT(copy.size()), copy.data()) >= 0) return true;
        if (errno != ENOTTY && errno != EINVAL && errno != ENOSYS) return false;
#endif
        // Kernels without the ioctl send output reports through write().
        return write(report, 1000).ok();
    }

    void abort() override {
        if (abort_fd_ < 0) return;
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(abort_fd_, &one, sizeof one);
    }

private:
    // ok when `events` is ready on the node; otherwise why not.
    IoStatus wait(short events, int timeout_ms) {
        pollfd fds[2] = {{fd_, events, 0}, {abort_fd_, POLLIN, 0}};
        int rc;
        do {
            rc = ::poll(fds, 2, timeout_ms);
        } while (rc < 0 && errno == EINTR);
        if (rc < 0) return IoStatus::error;
        if (fds[1].revents & POLLIN) {
            uint64_t count;
            [[maybe_unused]] ssize_t n = ::read(abort_fd_, &count, sizeof count);
            return IoStatus::aborted;
        }
        if (rc == 0) return IoStatus::timeout;
        if (fds[0].revents & events) return IoStatus::ok;
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return IoStatus::gone;
        return IoStatus::error;
    }

    int fd_;
    int abort_fd_;
    HidAttributes attributes_;
    HidCollection collection_;
    bool filter_;
    std::mutex read_mutex_;
    uint8_t scratch_[16384];  // the largest report hidraw hands out
};

int default_open(const std::string& node, int flags) {
    return ::open(node.c_str(), flags);
}

}  // namespace

HidrawBackend::HidrawBackend(HidrawOptions options) : options_(std::move(options)) {
    if (!options_.open_node) options_.open_node = default_open;
}

HidrawBackend::~HidrawBackend() {
    if (watch_fd_ >= 0) ::close(watch_fd_);
}

uint64_t HidrawBackend::change_count() {
    std::lock_guard lock(watch_mutex_);
    if (watch_fd_ < 0 && !watch_failed_) {
        watch_fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (watch_fd_ >= 0 &&
            inotify_add_watch(watch_fd_, options_.device_folder.c_str(),
                              IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO |
                                  IN_DELETE_SELF | IN_MOVE_SELF) < 0) {
            ::close(watch_fd_);
            watch_fd_ = -1;
        }
        watch_failed_ = watch_fd_ < 0;
        return ++changes_;  // nothing was watched before: anything may have changed
    }
    if (watch_fd_ < 0) return ++changes_;
    // A watch that ended (folder gone or remounted) or broke tells nothing more: from then
    // on every call counts as a change.
    const auto give_up = [this] {
        ::close(watch_fd_);
        watch_fd_ = -1;
        watch_failed_ = true;
    };
    // Any event at all counts: which entry changed does not matter, the scan looks again.
    alignas(inotify_event) char events[4096];
    bool changed = false;
    for (;;) {
        const ssize_t n = ::read(watch_fd_, events, sizeof events);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        changed = true;
        if (n <= 0) {
            give_up();
            break;
        }
        bool ended = false;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            inotify_event event;
            std::memcpy(&event, events + at, sizeof event);
            ended |= (event.mask & IN_IGNORED) != 0;
            at += ssize_t(sizeof(inotify_event) + event.len);
        }
        if (ended) {
            give_up();
            break;
        }
    }
    if (changed) ++changes_;
    return changes_;
}

std::vector<std::string> HidrawBackend::enumerate() {
    std::vector<std::pair<unsigned long, std::string>> nodes;
    std::error_code ec;
    for (fs::directory_iterator it(options_.sysfs_root, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.rfind("hidraw", 0) != 0 || name.size() == 6) continue;
        char* tail = nullptr;
        unsigned long number = std::strtoul(name.c_str() + 6, &tail, 10);
        if (*tail != '\0') continue;
        nodes.emplace_back(number, name);
    }
    std::sort(nodes.begin(), nodes.end());

    std::vector<std::string> paths;
    for (const auto& [number, name] : nodes) {
        NodeInfo info;
        if (!read_node_info(options_.sysfs_root, name, info)) continue;
        std::string node = (fs::path(options_.device_folder) / name).string();
        int count = static_cast<int>(info.descriptor.collections.size());
        for (int i = 0; i < count; ++i)
            paths.push_back(make_interface_path(node, info.attributes.vendor_id,
                                                info.attributes.product_id, info.interface_number,
                                                i + 1, count));
    }
    return paths;
}

std::string HidrawBackend::access_denied(const std::string& path) {
    std::string node(interface_path_node(path));
    std::string name = fs::path(node).filename().string();
    NodeInfo info;
    if (name.rfind("hidraw", 0) != 0 || !read_node_info(options_.sysfs_root, name, info)) return {};
    const int fd = options_.open_node(node, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return {};
    }
    return errno == EACCES || errno == EPERM ? node : std::string();
}

std::unique_ptr<HidConnection> HidrawBackend::open(const std::string& path, OpenMode mode) {
    std::string node(interface_path_node(path));
    std::string name = fs::path(node).filename().string();
    if (name.rfind("hidraw", 0) != 0) return nullptr;
    NodeInfo info;
    if (!read_node_info(options_.sysfs_root, name, info)) return nullptr;
    const auto& collections = info.descriptor.collections;
    int count = static_cast<int>(collections.size());
    int index = count > 1 ? parse_collection_number(path) - 1 : 0;
    if (index < 0 || index >= count) return nullptr;
    // The node may now be another device than the one the path was made for.
    if (make_interface_path(node, info.attributes.vendor_id, info.attributes.product_id,
                            info.interface_number, index + 1, count) != path)
        return nullptr;
    bool filter = false;
    for (const HidCollection& c : collections) filter |= !c.report_ids.empty();
    const HidCollection& collection = collections[static_cast<size_t>(index)];

    if (!mode.read && !mode.write) {
        // Presence check: the node opens, or exists where we may not open it.
        int fd = options_.open_node(node, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            struct stat st;
            if ((errno != EACCES && errno != EPERM) || ::stat(node.c_str(), &st) != 0)
                return nullptr;
        } else {
            ::close(fd);
        }
        return std::make_unique<HidrawConnection>(-1, info.attributes, collection, filter);
    }

    int access = mode.read && mode.write ? O_RDWR : mode.write ? O_WRONLY : O_RDONLY;
    int fd = options_.open_node(node, access | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;  // EACCES included: the next scan pass tries again
    int lock = mode.exclusive ? LOCK_EX : mode.write ? LOCK_SH : 0;
    if (lock != 0 && ::flock(fd, lock | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<HidrawConnection>(fd, info.attributes, collection, filter);
}

}  // namespace tellune::hid
