#pragma once
// Every report an emulated device receives or sends: kept in memory for tests (bounded), and
// appended to the file named by TELLUNE_EMULATOR_LOG when that is set. With
// TELLUNE_EMULATOR_LOG_TIMES=1 each line of the file starts with the monotonic clock in
// seconds ("1234.567890 0c45:7643:1:4 > 04 ..."), so pauses between reports can be read off.

#include <time.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace tellune::emulator {

enum class Direction : char {
    received = '>',  // host -> device
    sent = '<',      // device -> host
};

struct LogEntry {
    Direction direction = Direction::received;
    uint8_t collection = 0;  // the "&col" number of the collection (0 when the path has none)
    std::vector<uint8_t> bytes;
};

// "0c45:7643:1:4 > 04 3f 00 ..." (no trailing newline).
std::string format_log_line(uint16_t vendor, uint16_t product, uint8_t interface_number,
                            uint8_t collection, Direction direction,
                            std::span<const uint8_t> bytes);

// "1234.567890 ": CLOCK_MONOTONIC in seconds, as the time column of the log file.
std::string format_log_time(const struct timespec& monotonic);

class ReportLog {
public:
    static constexpr size_t kDefaultCapacity = 4096;

    // The file is taken from TELLUNE_EMULATOR_LOG once, here, and so is the time column;
    // an unset or empty variable logs to memory only.
    ReportLog(uint16_t vendor, uint16_t product, uint8_t interface_number,
              size_t capacity = kDefaultCapacity);
    ~ReportLog();
    ReportLog(const ReportLog&) = delete;
    ReportLog& operator=(const ReportLog&) = delete;

    void record(uint8_t collection, Direction direction, std::span<const uint8_t> bytes);
    std::vector<LogEntry> entries() const;  // oldest first
    void clear();

private:
    const uint16_t vendor_;
    const uint16_t product_;
    const uint8_t interface_;
    const size_t capacity_;
    int fd_ = -1;
    bool times_ = false;
    mutable std::mutex mutex_;
    std::deque<LogEntry> entries_;
};

}  // namespace tellune::emulator
