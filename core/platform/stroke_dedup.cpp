#include "core/platform/stroke_dedup.h"

namespace tellune {

bool StrokeDeduplicator::accept(int source, uint32_t key, bool down, int64_t now_ms) {
    std::lock_guard lock(mutex_);
    while (!seen_.empty() && (now_ms - seen_.front().at > window_ms_ || seen_.front().matched))
        seen_.pop_front();
    for (Seen& s : seen_) {
        if (!s.matched && s.source != source && s.key == key && s.down == down &&
            now_ms - s.at <= window_ms_) {
            s.matched = true;
            return false;
        }
    }
    if (seen_.size() >= kMaxRemembered) seen_.pop_front();
    seen_.push_back({source, key, down, now_ms, false});
    return true;
}

void StrokeDeduplicator::clear() {
    std::lock_guard lock(mutex_);
    seen_.clear();
}

}  // namespace tellune
