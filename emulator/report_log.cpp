#include "emulator/report_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/platform/platform.h"

namespace tellune::emulator {

std::string format_log_line(uint16_t vendor, uint16_t product, uint8_t interface_number,
                            uint8_t collection, Direction direction,
                            std::span<const uint8_t> bytes) {
    char head[32];
    std::snprintf(head, sizeof head, "%04x:%04x:%x:%x %c", vendor, product, interface_number,
                  collection, static_cast<char>(direction));
    std::string line(head);
    line.reserve(line.size() + bytes.size() * 3);
    static constexpr char kHex[] = "0123456789abcdef";
    for (uint8_t b : bytes) {
        line.push_back(' ');
        line.push_back(kHex[b >> 4]);
        line.push_back(kHex[b & 0x0F]);
    }
    return line;
}

std::string format_log_time(const struct timespec& t) {
    char text[40];
    std::snprintf(text, sizeof text, "%lld.%06ld ", static_cast<long long>(t.tv_sec),
                  static_cast<long>(t.tv_nsec / 1000));
    return text;
}

ReportLog::ReportLog(uint16_t vendor, uint16_t product, uint8_t interface_number, size_t capacity)
    : vendor_(vendor), product_(product), interface_(interface_number), capacity_(capacity) {
    const char* path = std::getenv("TELLUNE_EMULATOR_LOG");
    if (path && *path) {
        // An append-only trace: O_APPEND keeps each line's single write() whole even when
        // several devices (each with its own descriptor) log to the same file.
        fd_ = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd_ < 0) debug_printf("emulator: cannot open report log %s (errno %d)", path, errno);
        const char* times = std::getenv("TELLUNE_EMULATOR_LOG_TIMES");
        times_ = times && std::string_view(times) == "1";
    }
}

ReportLog::~ReportLog() {
    if (fd_ >= 0) ::close(fd_);
}

void ReportLog::record(uint8_t collection, Direction direction, std::span<const uint8_t> bytes) {
    std::string line;
    if (fd_ >= 0) {
        line = format_log_line(vendor_, product_, interface_, collection, direction, bytes);
        line.push_back('\n');
    }
    std::lock_guard lock(mutex_);
    if (capacity_ > 0) {
        if (entries_.size() >= capacity_) entries_.pop_front();
        entries_.push_back(LogEntry{direction, collection, {bytes.begin(), bytes.end()}});
    }
    // Written under the lock so the file keeps the order of the memory log, and the times
    // taken under it so they never run backwards down the file.
    if (fd_ >= 0) {
        if (times_) {
            struct timespec now {};
            ::clock_gettime(CLOCK_MONOTONIC, &now);
            line.insert(0, format_log_time(now));
        }
        ssize_t n;
        do {
            n = ::write(fd_, line.data(), line.size());
        } while (n < 0 && errno == EINTR);
    }
}

std::vector<LogEntry> ReportLog::entries() const {
    std::lock_guard lock(mutex_);
    return {entries_.begin(), entries_.end()};
}

void ReportLog::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

}  // namespace tellune::emulator
