// Replies of the update service, of any content: what a line of the update list shows and
// the file a download is saved as. Status and texts stay within what the list knows, only
// the reply up to its first zero byte counts, every text is UTF-8, and no reply names a
// download file outside the download folder.

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

#include "core/profile/json_file.h"
#include "core/update/update_check.h"
#include "core/update/update_list.h"
#include "fuzz/fuzz_support.h"

using namespace tellune;
using namespace tellune::update;

namespace {

bool same(const UpdateResult& a, const UpdateResult& b) {
    return a.status == b.status && a.device_id == b.device_id && a.name == b.name &&
           a.current_text == b.current_text && a.version_name == b.version_name &&
           a.new_text == b.new_text && a.path == b.path && a.reply_read == b.reply_read;
}

void check_file_name(const std::string& name, const std::string& url) {
    const std::string file = download_file_name(name, url);
    FUZZ_CHECK(!file.empty() && file.front() != '.');
    FUZZ_CHECK(std::all_of(file.begin(), file.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
    }));
    // The name's own characters plus at most an extension of nine.
    FUZZ_CHECK(file.size() <= std::max<size_t>(name.size(), 6) + 9);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    const bool hex = data[0] & 1;
    const int current = static_cast<int>(uint32_t(data[1]) | uint32_t(data[2]) << 8 |
                                         uint32_t(data[3]) << 16 | uint32_t(data[4]) << 24);
    const std::string_view reply(reinterpret_cast<const char*>(data) + 5, size - 5);

    const UpdateResult r = parse_update_reply(reply, current, hex);
    FUZZ_CHECK(r.status == kStatusNone || r.status == kStatusNewer || r.status == kStatusNewest);
    if (!r.reply_read) {
        FUZZ_CHECK(r.status == kStatusNone && r.device_id == 0);
        FUZZ_CHECK(r.name.empty() && r.path.empty() && r.new_text.empty() &&
                   r.version_name.empty() && r.current_text.empty());
    } else {
        FUZZ_CHECK(r.status != kStatusNone);
        FUZZ_CHECK(r.current_text == version_text(current, hex));
    }
    for (const std::string* text : {&r.name, &r.path, &r.version_name, &r.new_text})
        FUZZ_CHECK(is_valid_utf8(*text));
    // Only what comes before the first zero byte is read.
    if (const size_t zero = reply.find('\0'); zero != std::string_view::npos)
        FUZZ_CHECK(same(r, parse_update_reply(reply.substr(0, zero), current, hex)));

    UpdateEntry entry;
    entry.hex_version = hex;
    entry.current_version = current;
    entry.model = data[0] & 2 ? "ALL" : "M1";
    entry.name = "Mouse";
    entry.spare = "1.0.0";
    const UpdateLine line = checked_line(entry, r);
    FUZZ_CHECK(line.failed == !r.reply_read);
    FUZZ_CHECK(line.status == kStatusNone || line.status == kStatusNewer ||
               line.status == kStatusNewest);
    if (line.status == kStatusNewest) FUZZ_CHECK(line.new_text.empty());
    const int overall = overall_status({line, initial_line(entry)});
    FUZZ_CHECK(overall == kOverallHasUpdates || overall == kOverallLatest);
    check_file_name(line.name, line.path);
    check_file_name(r.name, r.path);

    FUZZ_CHECK(version_number(r.version_name) >= 0);
    return 0;
}
