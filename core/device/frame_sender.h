#pragma once
// Sends a device's light frames on a thread of its own, so that whoever renders them never
// waits for the device: a real keyboard takes about a millisecond per report and a frame
// is several reports.
//
// submit() hands a frame over and returns at once. The sender always sends the newest frame
// it has: a frame still waiting when a newer one arrives is dropped. A transfer that fails
// (any result but 1) pauses sending for kFailurePause; frames handed over meanwhile wait,
// the newest one only. Every member may be called from any thread.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace tellune::device {

class FrameSender {
public:
    // Sends one frame; 1 on success (the channel's results).
    using Send = std::function<int(std::span<const uint8_t> frame)>;
    static constexpr std::chrono::milliseconds kFailurePause{200};

    // `exit_line` is written to the debug log when the thread ends (none when empty).
    explicit FrameSender(Send send, std::string exit_line = "灯光发送线程设定退出");
    ~FrameSender();  // stop()
    FrameSender(const FrameSender&) = delete;
    FrameSender& operator=(const FrameSender&) = delete;

    // Starts the thread (once; later calls do nothing while it runs).
    void start();
    // Wakes the thread and joins it. A frame still waiting is discarded.
    void stop();
    bool running() const;

    // Hands `frame` over for sending; never waits for a transfer. Without a running thread
    // the frame waits until start().
    void submit(std::vector<uint8_t> frame);

    struct Counts {
        uint64_t submitted = 0;
        uint64_t sent = 0;     // transfers that succeeded
        uint64_t failed = 0;   // transfers that did not
        uint64_t dropped = 0;  // frames replaced by a newer one before they were sent
    };
    Counts counts() const;
    // Nothing waits and nothing is being sent.
    bool idle() const;

private:
    void run();

    Send send_;
    std::string exit_line_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<uint8_t> pending_;
    bool has_pending_ = false;
    bool sending_ = false;
    bool stop_ = false;
    Counts counts_;
    std::thread thread_;
};

}  // namespace tellune::device
