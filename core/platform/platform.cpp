#include "core/platform/platform.h"

#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <system_error>

#ifndef TELLUNE_VERSION
#define TELLUNE_VERSION "0.0.0"
#endif
#ifndef TELLUNE_INSTALL_DATADIR
#define TELLUNE_INSTALL_DATADIR "/usr/local/share/tellune"
#endif

namespace fs = std::filesystem;

namespace tellune {
namespace {

std::string with_slash(std::string s) {
    if (s.empty() || s.back() != '/') s.push_back('/');
    return s;
}

fs::path executable_folder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fs::current_path(ec);
    return exe.parent_path();
}

std::mutex& debug_mutex() {
    static std::mutex m;
    return m;
}

std::function<void(std::string_view)>& debug_sink() {
    static std::function<void(std::string_view)> sink;
    return sink;
}

}  // namespace

std::string_view program_version() {
    return TELLUNE_VERSION;
}

std::string program_data_folder() {
    if (const char* env = std::getenv("TELLUNE_DATA_DIR"); env && *env) return with_slash(env);
    std::error_code ec;
    const fs::path exe_dir = executable_folder();
    if (fs::is_directory(exe_dir / "DefaultData", ec)) return with_slash(exe_dir.string());
    const fs::path share = exe_dir.parent_path() / "share" / "tellune";
    if (fs::is_directory(share, ec)) return with_slash(share.string());
    return with_slash(TELLUNE_INSTALL_DATADIR);
}

std::string default_data_folder() {
    return program_data_folder() + "DefaultData/";
}

std::string application_data_folder() {
    return user_data_folder({});
}

std::string user_data_folder(std::string_view device_folder_name) {
    fs::path base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = fs::path(home) / ".local" / "share";
    } else {
        base = "/tmp";
    }
    fs::path folder = base / std::string(kApplicationTitle);
    if (!device_folder_name.empty()) folder /= std::string(device_folder_name);
    std::error_code ec;
    fs::create_directories(folder, ec);  // failure shows later as files that cannot be written
    return with_slash(folder.string());
}

bool debug_enabled() {
    static const bool enabled = [] {
        const char* v = std::getenv("TELLUNE_DEBUG");
        return v && std::string_view(v) == "1";
    }();
    return enabled;
}

void set_debug_sink(std::function<void(std::string_view)> sink) {
    std::lock_guard lock(debug_mutex());
    debug_sink() = std::move(sink);
}

void name_this_thread(const char* name) {
    char shortened[16] = {};
    std::snprintf(shortened, sizeof shortened, "%s", name);
    pthread_setname_np(pthread_self(), shortened);
}

void debug_line(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    std::lock_guard lock(debug_mutex());
    if (debug_sink()) {
        debug_sink()(text);
        return;
    }
    if (!debug_enabled()) return;
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
}

void warning_line(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    std::lock_guard lock(debug_mutex());
    if (debug_sink())
        debug_sink()(text);
    else
        std::fprintf(stderr, "tellune: %.*s\n", int(text.size()), text.data());
}

void debug_printf(const char* format, ...) {
    {
        // Cheap exit on the hot paths (every command exchange) when nobody listens.
        std::lock_guard lock(debug_mutex());
        if (!debug_sink() && !debug_enabled()) return;
    }
    char buffer[1024];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) return;
    debug_line(std::string_view(buffer, std::min<size_t>(size_t(n), sizeof buffer - 1)));
}

std::string format_time_stamp(int year, int month, int day, int hour, int minute, int second,
                              int millisecond) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d_%02d_%02d_%02d_%02d_%02d_%03d", year, month, day, hour,
                  minute, second, millisecond);
    return buffer;
}

std::string make_time_stamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    std::tm local{};
    localtime_r(&t, &local);
    return format_time_stamp(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                             local.tm_min, local.tm_sec, int(ms.count()));
}

}  // namespace tellune
