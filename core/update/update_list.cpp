#include "core/update/update_list.h"

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "core/platform/platform.h"
#include "core/profile/json_file.h"

namespace tellune::update {

UpdateLine initial_line(const UpdateEntry& entry) {
    UpdateLine line;
    line.name = entry.model == "ALL" ? std::string("AP") : entry.name;
    line.current_text = entry.hex_version ? version_text(entry.current_version, true) : entry.spare;
    line.status = kStatusNewest;
    return line;
}

UpdateLine checked_line(const UpdateEntry& entry, const UpdateResult& result) {
    const bool no_link = result.name == kNoLinkServer;
    const bool failed = no_link || !result.reply_read;
    if (failed || result.name.empty()) {
        UpdateLine line = initial_line(entry);
        line.failed = failed;
        return line;
    }
    UpdateLine line;
    line.name = result.name;
    line.current_text = result.current_text;
    line.status = result.status;
    line.new_text = result.status == kStatusNewest ? std::string() : result.new_text;
    line.path = result.path;
    return line;
}

int overall_status(const std::vector<UpdateLine>& lines) {
    bool all_failed = true;
    for (const UpdateLine& line : lines) {
        if (line.status != kStatusNewest && line.status != kStatusNone) return kOverallHasUpdates;
        all_failed = all_failed && line.failed;
    }
    return all_failed ? kOverallNoInfo : kOverallLatest;
}

std::vector<UpdateLine> run_update_check(
    HttpClient& client, std::string_view base_url, const std::vector<UpdateEntry>& entries,
    const std::atomic<bool>& stop, const std::function<void(size_t, const UpdateLine&)>& on_line) {
    std::vector<UpdateLine> lines;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (stop.load()) break;
        const UpdateEntry& entry = entries[i];
        const UpdateResult result = check_update(client, base_url, make_application_key(entry),
                                                 entry.current_version, entry.hex_version != 0);
        if (stop.load()) break;  // a cancelled request is no answer
        lines.push_back(checked_line(entry, result));
        if (on_line) on_line(i, lines.back());
    }
    return lines;
}

std::string update_data_folder() {
    namespace fs = std::filesystem;
    fs::path base;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = fs::path(home) / ".cache";
    else
        base = "/tmp";
    const fs::path folder = base / std::string(kApplicationTitle) / "UpdateData";
    std::error_code ec;
    fs::create_directories(folder, ec);
    return folder.string() + "/";
}

std::string download_file_name(const std::string& name, const std::string& url) {
    std::string file;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        file.push_back(std::isalnum(u) || c == '-' || c == '_' || c == '.' ? c : '_');
    }
    // No hidden files, no "." or "..".
    while (!file.empty() && file.front() == '.') file.erase(file.begin());
    if (file.empty()) file = "update";
    std::string_view path(url);
    if (const size_t cut = path.find_first_of("?#"); cut != std::string_view::npos)
        path = path.substr(0, cut);
    const size_t slash = path.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const size_t dot = last.rfind('.');
    if (dot != std::string_view::npos && dot > 0) {
        const std::string_view ext = last.substr(dot);
        bool ok = ext.size() >= 2 && ext.size() <= 9;
        for (char c : ext.substr(1)) ok = ok && std::isalnum(static_cast<unsigned char>(c));
        if (ok && !file.ends_with(ext)) file += ext;
    }
    return file;
}

std::string update_time_path() {
    return application_data_folder() + "updatetime.config";
}

std::optional<std::string> read_last_check_date(const std::string& path) {
    const Json::Value root = read_json(path);
    const Json::Value& value = json_get(json_get(root, "updatelasttime"), "value");
    if (!value.isString()) return std::nullopt;
    return value.asString();
}

bool write_last_check_date(const std::string& path, const std::string& date) {
    Json::Value root = read_json(path);
    if (!root.isObject()) root = Json::Value(Json::objectValue);
    json_slot(json_slot(root, "updatelasttime"), "value") = date;
    return write_json_file(path, root);
}

std::string today_text() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::to_string(local.tm_year + 1900) + "-" + std::to_string(local.tm_mon + 1) + "-" +
           std::to_string(local.tm_mday);
}

}  // namespace tellune::update
