#pragma once
// Asking the update service whether a newer version of the program or of a device exists:
// the entries of the update list, the request, the reply and the result of one line.

#include <string>
#include <string_view>

#include "core/update/http_client.h"

namespace tellune::update {

// One line of the update list: the program or a device kind.
struct UpdateEntry {
    int hex_version = 0;      // versions are hex numbers ("V%04x") rather than decimal
    int product = 0;          // product number
    int current_version = 0;  // 0: the device is not connected
    std::string vendor;       // vendor word
    std::string model;        // model code; "ALL" is the program itself
    std::string display_name;
    std::string name;
    std::string spare;  // the current version as shown when versions are decimal
};

// Line statuses a check hands back.
inline constexpr int kStatusNone = 0;    // the reply could not be read
inline constexpr int kStatusNewer = 1;   // a newer version exists
inline constexpr int kStatusNewest = 7;  // the current version is the newest

struct UpdateResult {
    int status = kStatusNone;
    int device_id = 0;
    std::string name;  // "NO_LINK_SERVER" when the service could not be reached
    std::string current_text;
    std::string version_name;
    std::string new_text;
    std::string path;         // where the new version is downloaded from
    bool reply_read = false;  // the reply was a JSON object
};

// Size of the reply buffer; longer replies are cut to one byte less.
inline constexpr size_t kResponseBufferSize = 102400;

// "NULL" for a device that is not connected, else
// vendor_product_model_displayname_currentversion.
std::string make_application_key(const UpdateEntry& entry);

// The dotted version with its dots removed, read as a decimal number: "1.0.5" gives 105.
// Reading stops at the first character that is not a digit; nothing readable gives 0.
int version_number(std::string_view dotted);
// version_number of this program's own version.
int installed_version();

// "V%04x" (hex) or "V%d" of `version`.
std::string version_text(int version, bool hex);

// The form body, without the terminating zero that is sent after it.
std::string update_body(const std::string& app_key, int current_version, bool hex);
// base URL + "updates"; a '/' is put between them when the base lacks it.
std::string update_url(std::string_view base_url);

// Reads a reply (up to its first zero byte). Never throws: a reply that is not a JSON
// object leaves the status at kStatusNone and the texts empty.
UpdateResult parse_update_reply(std::string_view reply, int current_version, bool hex);

// Sends the check for one entry and reads the reply.
UpdateResult check_update(HttpClient& client, std::string_view base_url, const std::string& app_key,
                          int current_version, bool hex);

// The service's base URL: TELLUNE_UPDATE_URL when set and not empty, else `configured`.
// Empty means no service is configured.
std::string resolve_base_url(std::string_view configured);

}  // namespace tellune::update
