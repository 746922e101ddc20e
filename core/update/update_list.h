#pragma once
// The update list without its widgets: what each line shows before and after the check,
// the overall status, the file a line downloads to, and "updatetime.config".

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/update/update_check.h"

namespace tellune::update {

// Overall statuses of the list.
inline constexpr int kOverallChecking = 0;
inline constexpr int kOverallHasUpdates = 1;
inline constexpr int kOverallNoInfo = 2;  // every line failed
inline constexpr int kOverallUpdating = 3;
inline constexpr int kOverallLatest = 4;

struct UpdateLine {
    std::string name;
    std::string current_text;
    std::string new_text;  // empty: nothing newer to show
    int status = kStatusNewest;
    std::string path;     // download URL
    bool failed = false;  // the service gave no usable answer for this line
};

// The line shown while the service has not answered: the entry's name ("AP" for the
// program itself), its current version, status 7.
UpdateLine initial_line(const UpdateEntry& entry);

// The line after the check. A line fails when the service could not be reached or its reply
// was not a JSON object; a failed line, and one without a name, shows as in initial_line.
UpdateLine checked_line(const UpdateEntry& entry, const UpdateResult& result);

// 1 when some line is neither 0 nor 7; else 2 when every line failed (or there are none);
// else 4.
int overall_status(const std::vector<UpdateLine>& lines);

// Checks every entry in order on the calling thread and hands each finished line to
// `on_line` (index, line). Stops early, without calling on_line again, once `stop` is set.
// Returns the lines checked.
std::vector<UpdateLine> run_update_check(
    HttpClient& client, std::string_view base_url, const std::vector<UpdateEntry>& entries,
    const std::atomic<bool>& stop,
    const std::function<void(size_t index, const UpdateLine& line)>& on_line);

// $XDG_CACHE_HOME (or ~/.cache) + title + "/UpdateData/", created when missing.
std::string update_data_folder();
// A file name for a line's download: the line's name reduced to letters, digits, '-', '_'
// and '.', plus the extension of the URL's last path segment when it has a short one.
std::string download_file_name(const std::string& name, const std::string& url);

// "updatetime.config" in the application data folder.
std::string update_time_path();
// {"updatelasttime": {"value": ...}}; nothing when the file or the value is missing or not
// a string.
std::optional<std::string> read_last_check_date(const std::string& path);
// Keeps the file's other members; false when it could not be written.
bool write_last_check_date(const std::string& path, const std::string& date);
// Today's local date as "%d-%d-%d" (year, month, day).
std::string today_text();

}  // namespace tellune::update
