#include "core/profile/profile_list.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "core/profile/json_file.h"

namespace tellune {
namespace {

constexpr char kListKey[] = "profilelist";
constexpr char kSelectKey[] = "profileselect";
constexpr char kNameKey[] = "profilename";
constexpr char kUuidKey[] = "profileUUID";
constexpr char kLinkKey[] = "profileislink";
constexpr char kLinkNameKey[] = "profilelinkmame";

// One code point from UTF-8; a byte that starts no valid sequence comes back as 0xDC00 +
// byte, which no valid text decodes to, so broken names still compare byte for byte.
char32_t next_code_point(std::string_view s, size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    auto cont = [&](size_t k) {
        return i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    };
    auto bits = [&](size_t k) { return char32_t(static_cast<unsigned char>(s[i + k]) & 0x3F); };
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    if (b0 >= 0xC2 && b0 < 0xE0 && cont(1)) {
        const char32_t cp = char32_t(b0 & 0x1F) << 6 | bits(1);
        i += 2;
        return cp;
    }
    if (b0 >= 0xE0 && b0 < 0xF0 && cont(1) && cont(2)) {
        const char32_t cp = char32_t(b0 & 0x0F) << 12 | bits(1) << 6 | bits(2);
        if (cp >= 0x800) {
            i += 3;
            return cp;
        }
    }
    if (b0 >= 0xF0 && b0 < 0xF5 && cont(1) && cont(2) && cont(3)) {
        const char32_t cp = char32_t(b0 & 0x07) << 18 | bits(1) << 12 | bits(2) << 6 | bits(3);
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            i += 4;
            return cp;
        }
    }
    ++i;
    return 0xDC00 + b0;
}

char32_t fold_case(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 32;
    if (c < 0x80) return c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;  // Latin-1
    if (c == 0x178) return 0xFF;
    // Latin Extended-A: capital and small letters alternate; the parity flips twice.
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c + 1 : c;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;  // Greek
    if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;  // full-width Latin
    return c;
}

bool is_blank_at(std::string_view s, size_t i, size_t* length) {
    const char c = s[i];
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
        *length = 1;
        return true;
    }
    if (s.substr(i, 2) == "\xC2\xA0") {  // no-break space
        *length = 2;
        return true;
    }
    if (s.substr(i, 3) == "\xE3\x80\x80") {  // ideographic space
        *length = 3;
        return true;
    }
    return false;
}

// The last code unit of a trailing blank ends at `end`; its length, or 0.
size_t blank_before(std::string_view s, size_t end) {
    for (size_t length : {size_t(1), size_t(2), size_t(3)}) {
        if (end < length) break;
        size_t found = 0;
        if (is_blank_at(s, end - length, &found) && found == length) return length;
    }
    return 0;
}

bool same_file(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) return true;
    const auto ca = std::filesystem::weakly_canonical(a, ec);
    if (ec) return false;
    const auto cb = std::filesystem::weakly_canonical(b, ec);
    return !ec && ca == cb;
}

}  // namespace

bool profile_names_equal(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size())
        if (fold_case(next_code_point(a, i)) != fold_case(next_code_point(b, j))) return false;
    return i == a.size() && j == b.size();
}

std::string trim_profile_name(std::string_view name) {
    size_t begin = 0, length = 0;
    while (begin < name.size() && is_blank_at(name, begin, &length)) begin += length;
    size_t end = name.size();
    while (end > begin && (length = blank_before(name, end)) > 0) end -= length;
    return std::string(name.substr(begin, end - begin));
}

bool is_importable_profile(const Json::Value& doc) {
    if (!doc.isObject()) return false;
    const Json::Value& name = json_get(doc, kNameKey);
    const Json::Value& uuid = json_get(doc, kUuidKey);
    return name.isString() && uuid.isString() && !trim_profile_name(name.asString()).empty();
}

ProfileList::ProfileList() : stamp_([] { return make_time_stamp(); }) {}

void ProfileList::set_paths(std::string user_folder, std::string default_profile_file) {
    if (!user_folder.empty() && user_folder.back() != '/') user_folder.push_back('/');
    folder_ = std::move(user_folder);
    default_file_ = std::move(default_profile_file);
}

void ProfileList::set_stamp_source(std::function<std::string()> source) {
    stamp_ = source ? std::move(source) : [] { return make_time_stamp(); };
}

std::string ProfileList::list_file() const {
    return folder_.empty() ? std::string() : folder_ + kProfileListFileName;
}

std::string ProfileList::profile_file(std::string_view uuid) const {
    if (folder_.empty() || !is_plain_file_name(uuid)) return {};
    return folder_ + std::string(uuid) + ".Json";
}

std::string ProfileList::selected_name() const {
    return selected_ >= 0 && selected_ < size() ? entries_[size_t(selected_)].name : std::string();
}

bool ProfileList::name_used(std::string_view name, int except) const {
    for (int i = 0; i < size(); ++i)
        if (i != except && profile_names_equal(entries_[size_t(i)].name, name)) return true;
    return false;
}

std::string ProfileList::free_profile_name() const {
    for (int n = 1;; ++n) {
        std::string candidate = "profile" + std::to_string(n);
        if (!name_used(candidate)) return candidate;
    }
}

std::string ProfileList::new_uuid() const {
    auto used = [this](const std::string& uuid) {
        if (profile_file(uuid).empty()) return true;
        for (const ProfileEntry& e : entries_)
            if (e.uuid == uuid) return true;
        std::error_code ec;
        return std::filesystem::exists(profile_file(uuid), ec) || ec;
    };
    std::string stamp = stamp_();
    if (!is_plain_file_name(stamp)) stamp = make_time_stamp();
    // Within the same millisecond the stamp repeats: wait for the clock a little, then
    // tell the new profile apart by a counter.
    for (int attempt = 0; attempt < 3 && used(stamp); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stamp = stamp_();
        if (!is_plain_file_name(stamp)) stamp = make_time_stamp();
    }
    if (!used(stamp)) return stamp;
    for (int n = 1; n < 1000; ++n) {
        std::string candidate = stamp + "_" + std::to_string(n);
        if (!used(candidate)) return candidate;
    }
    return {};
}

bool ProfileList::store(int select) {
    Json::Value doc = extra_.isObject() ? extra_ : Json::Value(Json::objectValue);
    Json::Value list(Json::arrayValue);
    for (const ProfileEntry& e : entries_) {
        Json::Value entry(Json::objectValue);
        entry[kNameKey] = e.name;
        entry[kUuidKey] = e.uuid;
        entry[kLinkKey] = 0;
        entry[kLinkNameKey] = "";
        list.append(entry);
    }
    doc[kListKey] = list;
    doc[kSelectKey] = select;
    return write_json_file(list_file(), doc);
}

bool ProfileList::write_profile(Json::Value doc, const std::string& name, const std::string& uuid) {
    const std::string path = profile_file(uuid);
    if (path.empty()) return false;
    if (!doc.isObject()) doc = Json::Value(Json::objectValue);
    doc[kNameKey] = name;
    doc[kUuidKey] = uuid;
    return write_json_file(path, doc);
}

bool ProfileList::create_first_profile() {
    entries_.clear();
    const std::string uuid = new_uuid();
    if (uuid.empty()) return false;
    entries_.push_back({"profile1", uuid});
    stored_select_ = 0;
    selected_ = 0;
    selected_uuid_ = uuid;
    // The list keeps its entry even when a write fails, so the page still has a profile to
    // show; the profile data falls back to the defaults for a missing file.
    const bool profile_ok = write_profile(read_json(default_file_), "profile1", uuid);
    const bool list_ok = store(0);
    return profile_ok && list_ok;
}

bool ProfileList::reload() {
    if (folder_.empty()) return false;
    // Something other than a file in the list's place cannot be read or replaced: starting a
    // fresh list there would only leave profile files behind that no list names.
    std::error_code ec;
    const auto status = std::filesystem::status(list_file(), ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) return false;
    const Json::Value doc = read_json(list_file());
    const Json::Value& list = json_get(doc, kListKey);
    bool changed = !list.isArray();
    std::vector<ProfileEntry> loaded;
    std::vector<bool> needs_name;
    for (Json::ArrayIndex i = 0; list.isArray() && i < list.size(); ++i) {
        const Json::Value& entry = list[i];
        const Json::Value& uuid = json_get(entry, kUuidKey);
        bool usable = uuid.isString() && is_plain_file_name(uuid.asString());
        for (const ProfileEntry& e : loaded) usable = usable && e.uuid != uuid.asString();
        if (!usable) {
            changed = true;
            continue;
        }
        const Json::Value& name = json_get(entry, kNameKey);
        // As the list will store it: bytes that are not UTF-8 become U+FFFD.
        std::string text =
            name.isString() ? trim_profile_name(valid_utf8(name.asString())) : std::string();
        changed = changed || !name.isString() || text != name.asString();
        loaded.push_back({std::move(text), uuid.asString()});
        needs_name.push_back(loaded.back().name.empty());
    }
    entries_ = std::move(loaded);
    // Nameless entries are named only now, so the new names avoid every name in the file.
    for (size_t i = 0; i < entries_.size(); ++i)
        if (needs_name[i]) {
            entries_[i].name = free_profile_name();
            changed = true;
        }
    extra_ = doc.isObject() ? doc : Json::Value(Json::objectValue);
    extra_.removeMember(kListKey);
    extra_.removeMember(kSelectKey);

    if (entries_.empty()) return create_first_profile();

    int stored = json_int(json_get(doc, kSelectKey), -1);
    if (stored < 0 || stored >= size()) {
        stored = 0;
        changed = true;
    }
    // Follow the shown profile to wherever it is now; a profile removed behind our back
    // gives way to the stored selection.
    int index = -1;
    for (int i = 0; i < size() && !selected_uuid_.empty(); ++i)
        if (entries_[size_t(i)].uuid == selected_uuid_) index = i;
    if (index < 0) {
        index = selected_ >= 0 && selected_ < size() ? selected_ : stored;
        if (selected_ >= 0) selected_uuid_ = entries_[size_t(index)].uuid;
    }
    if (selected_ >= 0) selected_ = index;
    stored_select_ = stored;
    if (changed) store(selected_ >= 0 ? selected_ : stored);
    return true;
}

bool ProfileList::init() {
    selected_ = -1;
    selected_uuid_.clear();
    if (!reload()) return false;
    return select(selected_ >= 0 ? selected_ : stored_select_);
}

bool ProfileList::select(int index) {
    if (!reload()) return false;
    if (index < 0 || index >= size()) index = 0;
    selected_ = index;
    selected_uuid_ = entries_[size_t(index)].uuid;
    return store(index);
}

int ProfileList::append(Json::Value doc, const std::string& name) {
    const std::string uuid = new_uuid();
    if (uuid.empty()) return -1;
    // Profile file first: a list entry never names a file that was not written.
    if (!write_profile(std::move(doc), name, uuid)) return -1;
    entries_.push_back({name, uuid});
    if (!store(selected_ >= 0 ? selected_ : 0)) {
        entries_.pop_back();
        std::error_code ec;
        std::filesystem::remove(profile_file(uuid), ec);
        return -1;
    }
    return size() - 1;
}

int ProfileList::add() {
    if (!reload() || size() >= kAddLimit) return -1;
    return append(read_json(default_file_), free_profile_name());
}

int ProfileList::copy() {
    if (!reload() || selected_ < 0) return -1;
    std::string candidate = selected_name() + " copy";
    while (name_used(candidate)) candidate += " copy";
    return append(read_json(selected_profile_file()), candidate);
}

int ProfileList::remove() {
    if (!reload() || selected_ < 0 || size() < 2) return -1;
    const ProfileEntry gone = entries_[size_t(selected_)];
    const int next = selected_ == 0 ? 0 : selected_ - 1;
    entries_.erase(entries_.begin() + selected_);
    if (!store(next)) {
        entries_.insert(entries_.begin() + selected_, gone);
        return -1;
    }
    std::error_code ec;
    if (const std::string path = profile_file(gone.uuid); !path.empty())
        std::filesystem::remove(path, ec);
    selected_ = next;
    selected_uuid_ = entries_[size_t(next)].uuid;
    return next;
}

int ProfileList::rename(const std::string& name) {
    const std::string trimmed = trim_profile_name(name);
    if (trimmed.empty()) return kRenameBlank;
    if (!reload() || selected_ < 0) return kRenameFailed;
    if (name_used(trimmed, selected_)) return kRenameNameUsed;
    ProfileEntry& entry = entries_[size_t(selected_)];
    const std::string old = entry.name;
    entry.name = trimmed;
    if (!store(selected_)) {
        entry.name = old;
        return kRenameFailed;
    }
    // A missing or damaged profile file is left for the profile data to replace; writing a
    // stub here would only hide that.
    Json::Value doc = read_json(selected_profile_file());
    if (doc.isObject()) {
        doc[kNameKey] = trimmed;
        write_json_file(selected_profile_file(), doc);
    }
    return kRenameDone;
}

bool ProfileList::reset() {
    if (!reload() || selected_ < 0) return false;
    Json::Value defaults = read_json(default_file_);
    // Without defaults a reset would only wipe the user's settings.
    if (!defaults.isObject()) return false;
    if (kind_ == kDeviceHeadset) {
        const Json::Value current = read_json(selected_profile_file());
        const Json::Value& section = json_get(json_get(current, "Device"), 0);
        for (const char* key : {"CustomEQNameInfo", "CustomEQHzValueInfo"}) {
            const Json::Value& value = json_get(section, key);
            if (!value.isNull())
                json_slot(json_slot(json_slot(defaults, "Device"), 0), key) = value;
        }
    }
    return write_profile(std::move(defaults), selected_name(), selected_uuid_);
}

int ProfileList::import_profile(const std::string& path) {
    Json::Value doc = read_json(path);
    if (!is_importable_profile(doc)) return -1;
    if (!reload()) return -1;
    std::string candidate = trim_profile_name(doc[kNameKey].asString());
    for (int k = 1; name_used(candidate); ++k) candidate += "(" + std::to_string(k) + ")";
    // The file's own "profileUUID" is never used as a file name: it gets a fresh one.
    return append(std::move(doc), candidate);
}

bool ProfileList::export_profile(const std::string& path) {
    if (path.empty() || !reload() || selected_ < 0) return false;
    if (same_file(path, list_file())) return false;
    const Json::Value doc = read_json(selected_profile_file());
    if (doc.isNull()) return false;
    return write_json_file(path, doc);
}

}  // namespace tellune
