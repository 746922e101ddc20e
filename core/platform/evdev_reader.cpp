#include "core/platform/evdev_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "core/platform/platform.h"

namespace tellune {
namespace {

constexpr size_t kKeyBits = KEY_MAX / 8 + 1;

bool has_bit(const std::array<uint8_t, kKeyBits>& bits, int code) {
    return (bits[size_t(code / 8)] >> (code % 8)) & 1;
}

// Keyboards (they have letter keys) and mice (they have a left button); not power buttons,
// lid switches, joysticks or touch screens without buttons.
bool reports_keys_or_buttons(int fd) {
    std::array<uint8_t, kKeyBits> bits{};
    if (::ioctl(fd, EVIOCGBIT(EV_KEY, bits.size()), bits.data()) < 0) return false;
    return (has_bit(bits, KEY_A) && has_bit(bits, KEY_Z)) || has_bit(bits, BTN_LEFT);
}

bool is_event_node(const char* name) {
    return std::strncmp(name, "event", 5) == 0;
}

void close_all(std::vector<int>& fds) {
    for (int fd : fds)
        if (fd >= 0) ::close(fd);
    fds.clear();
}

}  // namespace

std::vector<int> open_input_devices(const std::string& folder) {
    std::vector<int> fds;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return fds;
    while (const dirent* entry = ::readdir(dir)) {
        if (!is_event_node(entry->d_name)) continue;
        const std::string path = folder + "/" + entry->d_name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;  // most users may not read input devices
        if (reports_keys_or_buttons(fd))
            fds.push_back(fd);
        else
            ::close(fd);
    }
    ::closedir(dir);
    return fds;
}

bool input_devices_readable(const std::string& folder) {
    std::vector<int> fds = open_input_devices(folder);
    const bool any = !fds.empty();
    close_all(fds);
    return any;
}

EvdevReader::~EvdevReader() {
    stop();
}

bool EvdevReader::start(std::vector<int> fds, Handler handler) {
    stop();
    std::lock_guard lock(mutex_);
    if (fds.empty() || !handler) {
        close_all(fds);
        return false;
    }
    wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_fd_ < 0) {
        close_all(fds);
        return false;
    }
    open_count_ = int(fds.size());
    running_ = true;
    try {
        thread_ = std::thread(&EvdevReader::run, this, std::move(fds), std::move(handler));
    } catch (const std::system_error&) {
        running_ = false;
        ::close(wake_fd_);
        wake_fd_ = -1;
        return false;
    }
    return true;
}

void EvdevReader::stop() {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) return;
    const uint64_t one = 1;
    while (::write(wake_fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
    thread_.join();
    ::close(wake_fd_);
    wake_fd_ = -1;
    running_ = false;
    open_count_ = 0;
}

void EvdevReader::run(std::vector<int> fds, Handler handler) {
    name_this_thread("tl-evdev");
    // A read may end inside a record (a pipe in the tests can split one); the rest follows.
    std::vector<std::vector<uint8_t>> pending(fds.size());
    std::array<uint8_t, sizeof(input_event) * 64> buffer{};
    bool stopping = false;
    while (!stopping) {
        std::vector<pollfd> polled;
        polled.push_back({wake_fd_, POLLIN, 0});
        for (int fd : fds) polled.push_back({fd, POLLIN, 0});
        if (::poll(polled.data(), polled.size(), -1) < 0) {
            if (errno == EINTR) continue;
            debug_printf("input reader: poll failed (errno %d)", errno);
            break;
        }
        if (polled[0].revents) break;
        for (size_t i = 0; i < fds.size(); ++i) {
            if (fds[i] < 0 || !(polled[i + 1].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = ::read(fds[i], buffer.data(), buffer.size());
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (n <= 0) {
                // The device went away (ENODEV) or the writer closed: stop watching it.
                ::close(fds[i]);
                fds[i] = -1;
                --open_count_;
                continue;
            }
            std::vector<uint8_t>& bytes = pending[i];
            bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + n);
            size_t at = 0;
            for (; at + sizeof(input_event) <= bytes.size(); at += sizeof(input_event)) {
                input_event e{};
                std::memcpy(&e, bytes.data() + at, sizeof e);
                // Value 2 is the key's auto-repeat: no new stroke.
                if (e.type == EV_KEY && (e.value == 0 || e.value == 1))
                    handler(e.code, e.value == 1);
            }
            bytes.erase(bytes.begin(), bytes.begin() + long(at));
        }
        stopping = std::none_of(fds.begin(), fds.end(), [](int fd) { return fd >= 0; }) &&
                   !(polled[0].revents);
        // With nothing left to read, wait for the stop alone.
        if (stopping) {
            pollfd wake{wake_fd_, POLLIN, 0};
            while (::poll(&wake, 1, -1) < 0 && errno == EINTR) {
            }
        }
    }
    close_all(fds);
}

}  // namespace tellune
