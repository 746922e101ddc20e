#pragma once
// Input seen by two sources at once: a key stroke in the program's own window reaches both
// the window's event filter and the global evdev reader. Each stroke must count once.
//
// A stroke is remembered for `window_ms` after it was accepted. A stroke from one source that
// matches a remembered, not yet matched stroke of another source (same key, same direction)
// is that stroke again and is dropped; the oldest such match is used, so repeated presses of
// one key pair up in order. Strokes only one source sees (another program's window, input a
// program made up) pass.
//
// Thread-safe.

#include <cstdint>
#include <deque>
#include <mutex>

namespace tellune {

class StrokeDeduplicator {
public:
    static constexpr int64_t kDefaultWindowMs = 500;
    static constexpr size_t kMaxRemembered = 256;

    explicit StrokeDeduplicator(int64_t window_ms = kDefaultWindowMs) : window_ms_(window_ms) {}

    // True when the stroke is new. `now_ms`: a monotonic clock.
    bool accept(int source, uint32_t key, bool down, int64_t now_ms);
    void clear();

private:
    struct Seen {
        int source;
        uint32_t key;
        bool down;
        int64_t at;
        bool matched;
    };
    std::mutex mutex_;
    std::deque<Seen> seen_;
    int64_t window_ms_;
};

}  // namespace tellune
