#pragma once
// Process-wide facts: names, folders, debug output and time stamps.

#include <cstdarg>
#include <functional>
#include <string>
#include <string_view>

namespace tellune {

// Window title, and the name of the per-user data folder.
inline constexpr std::string_view kApplicationTitle = "DURID EZAZU ZAPHIRA - TELLUNE";

std::string_view program_version();

// Folder that holds "DefaultData", "skin", "Font" and "SDK", with a trailing '/'.
// Beside the executable in a build tree, <prefix>/share/tellune when installed;
// TELLUNE_DATA_DIR overrides both (tests, relocated installs).
std::string program_data_folder();

// Default data folder: program data folder + "DefaultData/".
std::string default_data_folder();

// $XDG_DATA_HOME (or ~/.local/share) + title + "/", created when missing.
std::string application_data_folder();

// application_data_folder() + device folder name + "/", each level created.
// An empty name gives the application folder itself.
std::string user_data_folder(std::string_view device_folder_name);

// One line of diagnostics. Written to stderr only when TELLUNE_DEBUG=1; a test can take
// the lines instead with set_debug_sink. Thread-safe; a trailing newline is not doubled.
void debug_line(std::string_view text);
void debug_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
bool debug_enabled();
// A problem the user has to act on (a device that may not be opened): written to stderr
// whatever TELLUNE_DEBUG says, or to the debug sink when one is set.
void warning_line(std::string_view text);
// Replaces the destination of debug lines (nullptr restores stderr). The sink sees every
// line regardless of TELLUNE_DEBUG.
void set_debug_sink(std::function<void(std::string_view)> sink);

// Names the calling thread (at most 15 characters are kept), so `top -H`, perf and a
// debugger tell the program's threads apart.
void name_this_thread(const char* name);

// Local-time stamp "YYYY_MM_DD_hh_mm_ss_mmm": profile UUIDs and macro ids.
std::string make_time_stamp();
std::string format_time_stamp(int year, int month, int day, int hour, int minute, int second,
                              int millisecond);

}  // namespace tellune
