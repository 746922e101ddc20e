#include "core/update/update_check.h"

#include <json/json.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "core/platform/platform.h"
#include "core/profile/json_file.h"

namespace tellune::update {
namespace {

std::string format(const char* fmt, auto... args) {
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, fmt, args...);
    return n < 0 ? std::string() : std::string(buffer, std::min<size_t>(n, sizeof buffer - 1));
}

// The reply's version as the service's 32-bit unsigned reader would see it, then taken as
// a signed number for the comparison.
int reply_version(const std::string& text, bool hex) {
    errno = 0;
    unsigned long long v = std::strtoull(text.c_str(), nullptr, hex ? 16 : 10);
    if (errno == ERANGE || v > std::numeric_limits<uint32_t>::max())
        v = std::numeric_limits<uint32_t>::max();
    return static_cast<int>(static_cast<uint32_t>(v));
}

}  // namespace

std::string make_application_key(const UpdateEntry& entry) {
    if (entry.current_version == 0) return "NULL";
    return entry.vendor + "_" + std::to_string(entry.product) + "_" + entry.model + "_" +
           entry.display_name + "_" + std::to_string(entry.current_version);
}

int version_number(std::string_view dotted) {
    std::string digits;
    for (char c : dotted)
        if (c != '.') digits.push_back(c);
    long long value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    }
    return static_cast<int>(value);
}

int installed_version() {
    return version_number(program_version());
}

std::string version_text(int version, bool hex) {
    return hex ? format("V%04x", static_cast<unsigned>(version)) : format("V%d", version);
}

std::string update_body(const std::string& app_key, int current_version, bool hex) {
    return "app_key=" + app_key +
           (hex ? format("&version=%x", static_cast<unsigned>(current_version))
                : format("&version=%d", current_version));
}

std::string update_url(std::string_view base_url) {
    std::string url(base_url);
    if (!url.empty() && url.back() != '/') url.push_back('/');
    return url + "updates";
}

UpdateResult parse_update_reply(std::string_view reply, int current_version, bool hex) {
    UpdateResult result;
    if (const size_t end = reply.find('\0'); end != std::string_view::npos)
        reply = reply.substr(0, end);
    Json::Value root;
    try {
        Json::CharReaderBuilder builder;
        builder["collectComments"] = false;
        const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        std::string errors;
        if (!reader->parse(reply.data(), reply.data() + reply.size(), &root, &errors))
            return result;
    } catch (...) {  // deeply nested input makes JsonCpp throw
        return result;
    }
    if (!root.isObject()) return result;
    result.reply_read = true;
    result.path = json_string(json_get(root, "path"));
    result.name = json_string(json_get(root, "name"));
    result.version_name = json_string(json_get(root, "version_name"));
    const std::string version = json_string(json_get(root, "version"));
    result.new_text = "V" + version;
    result.device_id = json_int(json_get(root, "device_id"));
    const int latest = reply_version(version, hex);
    result.current_text = version_text(current_version, hex);
    if (!hex) result.new_text = result.version_name;
    result.status = latest > current_version ? kStatusNewer : kStatusNewest;
    return result;
}

UpdateResult check_update(HttpClient& client, std::string_view base_url, const std::string& app_key,
                          int current_version, bool hex) {
    const std::string body = update_body(app_key, current_version, hex);
    // The service reads the form with its terminating zero.
    std::vector<char> response(kResponseBufferSize, '\0');
    const int received = client.web_request("POST", update_url(base_url), body.c_str(),
                                            body.size() + 1, response, false);
    const std::string_view text(response.data(), std::strlen(response.data()));
    UpdateResult result = parse_update_reply(text, current_version, hex);
    if (received == 0 && !result.reply_read) result.name = std::string(text);
    debug_printf("check_update %s: %d bytes, HTTP %d, status %d", app_key.c_str(), received,
                 client.last_http_status(), result.status);
    return result;
}

std::string resolve_base_url(std::string_view configured) {
    if (const char* env = std::getenv("TELLUNE_UPDATE_URL"); env && *env) return env;
    return std::string(configured);
}

}  // namespace tellune::update
