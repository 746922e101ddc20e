#pragma once
// Peak resident memory of a piece of code, from the kernel's own high-water mark.

#include <malloc.h>

#include <fstream>
#include <string>

namespace tellune {

// True in builds whose sanitizers keep shadow memory and quarantines: the numbers below
// then measure the sanitizer, not us.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif

// A "VmHWM:" / "VmRSS:" line of /proc/self/status in bytes, -1 when missing.
inline long long proc_status_bytes(const std::string& key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0) return std::stoll(line.substr(key.size())) * 1024;
    return -1;
}

// Runs `fn` and returns how far the resident set rose above its level at the start, in
// bytes; -1 where the high-water mark cannot be reset. Freed heap is handed back to the
// system first, so that memory an earlier test left resident does not hide what `fn` takes.
template <class Fn>
long long peak_memory_growth(Fn&& fn) {
    ::malloc_trim(0);
    bool reset_done = false;
    {
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5";  // resets VmHWM to the current resident set
        reset.flush();
        reset_done = bool(reset);
    }
    const long long start = proc_status_bytes("VmRSS:");
    const long long mark = proc_status_bytes("VmHWM:");
    fn();
    if (!reset_done || start < 0 || mark < 0 || mark > start + 1024 * 1024) return -1;
    return proc_status_bytes("VmHWM:") - start;
}

}  // namespace tellune
