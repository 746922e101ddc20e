#include "core/profile/profile_list.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "core/platform/files.h"
#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "core/profile/json_file.h"

namespace tellune {
namespace {

namespace fs = std::filesystem;

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

std::u32string profile_name_key(std::string_view name) {
    std::u32string key;
    key.reserve(name.size());
    for (size_t i = 0; i < name.size();) key.push_back(fold_case(next_code_point(name, i)));
    return key;
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
    return selected_ >= 0 && selected_ < size() ? all_[size_t(selected_)].name : std::string();
}

std::string ProfileList::name_of(std::string_view uuid) const {
    for (const ProfileEntry& e : all_)
        if (e.uuid == uuid) return e.name;
    return {};
}

// --- the entries and their indexes ---

void ProfileList::rebuild_indexes() {
    names_.clear();
    uuids_.clear();
    for (const ProfileEntry& e : all_) {
        if (!e.name.empty()) ++names_[profile_name_key(e.name)];
        uuids_.insert(e.uuid);
    }
    update_shown();
}

void ProfileList::push_entry(ProfileEntry entry) {
    ++names_[profile_name_key(entry.name)];
    uuids_.insert(entry.uuid);
    all_.push_back(std::move(entry));
    update_shown();
}

void ProfileList::erase_entry(int index) {
    const ProfileEntry& e = all_[size_t(index)];
    if (auto it = names_.find(profile_name_key(e.name)); it != names_.end() && --it->second <= 0)
        names_.erase(it);
    uuids_.erase(e.uuid);
    all_.erase(all_.begin() + index);
    update_shown();
}

void ProfileList::set_entry_name(int index, std::string name) {
    ProfileEntry& e = all_[size_t(index)];
    if (auto it = names_.find(profile_name_key(e.name)); it != names_.end() && --it->second <= 0)
        names_.erase(it);
    e.name = std::move(name);
    ++names_[profile_name_key(e.name)];
}

void ProfileList::update_shown() {
    shown_ = int(std::min(all_.size(), size_t(kShownLimit)));
}

bool ProfileList::name_used(std::string_view name, int except) const {
    const auto it = names_.find(profile_name_key(name));
    if (it == names_.end()) return false;
    const bool own = except >= 0 && except < total_size() &&
                     profile_names_equal(all_[size_t(except)].name, name);
    return it->second > (own ? 1 : 0);
}

std::string ProfileList::free_profile_name(int* next) const {
    for (;; ++*next) {
        std::string candidate = "profile" + std::to_string(*next);
        if (!name_used(candidate)) {
            ++*next;
            return candidate;
        }
    }
}

std::string ProfileList::free_profile_name() const {
    int next = 1;
    return free_profile_name(&next);
}

std::string ProfileList::free_import_name(std::string name) const {
    for (int k = 1; name_used(name); ++k) name += "(" + std::to_string(k) + ")";
    return name;
}

std::string ProfileList::new_uuid() const {
    auto used = [this](const std::string& uuid) {
        const std::string path = profile_file(uuid);
        if (path.empty() || uuids_.count(uuid)) return true;
        return path_exists(path) || path_exists(path + kDeletingSuffix);
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

// --- the files ---

bool ProfileList::store(int select) {
    Json::Value doc = extra_.isObject() ? extra_ : Json::Value(Json::objectValue);
    Json::Value& list = doc[kListKey] = Json::Value(Json::arrayValue);
    for (const ProfileEntry& e : all_) {
        Json::Value& entry = list.append(Json::Value(Json::objectValue));
        entry[kNameKey] = e.name;
        entry[kUuidKey] = e.uuid;
        entry[kLinkKey] = 0;
        entry[kLinkNameKey] = "";
    }
    doc[kSelectKey] = select;
    if (!write_json_file(list_file(), doc)) return false;
    stored_select_ = select;
    return true;
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
    all_.clear();
    rebuild_indexes();
    const std::string uuid = new_uuid();
    if (uuid.empty()) return false;
    push_entry({"profile1", uuid});
    stored_select_ = 0;
    selected_ = 0;
    selected_uuid_ = uuid;
    // The list keeps its entry even when a write fails, so the page still has a profile to
    // show; the profile data falls back to the defaults for a missing file. The profile file
    // goes first: a list never names a file that was not written.
    const bool profile_ok = write_profile(read_json(default_file_), "profile1", uuid);
    const bool list_ok = store(0);
    return profile_ok && list_ok;
}

bool ProfileList::recover_folder() {
    std::vector<std::string> orphans, deleting, renaming;
    std::error_code ec;
    constexpr std::string_view kSuffix = ".Json";
    const std::string deleting_suffix = std::string(kSuffix) + kDeletingSuffix;
    const std::string renaming_suffix = std::string(kSuffix) + kRenamingSuffix;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.ends_with(deleting_suffix)) {
            deleting.push_back(name.substr(0, name.size() - deleting_suffix.size()));
        } else if (name.ends_with(renaming_suffix)) {
            renaming.push_back(name.substr(0, name.size() - renaming_suffix.size()));
        } else if (name.size() > kSuffix.size() && name.ends_with(kSuffix)) {
            std::string uuid = name.substr(0, name.size() - kSuffix.size());
            if (is_plain_file_name(uuid) && !uuids_.count(uuid)) orphans.push_back(std::move(uuid));
        }
    }
    // A deletion cut short: while the list still names the profile it comes back; once the
    // list no longer does, the deletion is finished.
    for (const std::string& uuid : deleting) {
        const std::string path = profile_file(uuid);
        if (path.empty()) continue;
        if (uuids_.count(uuid) && !path_exists(path)) {
            rename_file(path + kDeletingSuffix, path);
            debug_printf("profile %s restored: its deletion was cut short", uuid.c_str());
        } else {
            remove_file(path + kDeletingSuffix);
        }
    }
    // A rename cut short: the list has the name that counts.
    for (const std::string& uuid : renaming) {
        const std::string path = profile_file(uuid);
        if (path.empty()) continue;
        const std::string name = name_of(uuid);
        if (name.empty() || name_profile_file(uuid, name)) remove_file(path + kRenamingSuffix);
    }
    // UUIDs are time stamps: their order is the order the profiles were made in.
    std::sort(orphans.begin(), orphans.end());
    bool changed = false;
    int next_free = 1;
    for (const std::string& uuid : orphans) {
        const Json::Value doc = read_json(profile_file(uuid));
        // Only a profile of ours: one that names itself by the file's name.
        if (json_string(json_get(doc, kUuidKey)) != uuid || !json_get(doc, kNameKey).isString())
            continue;
        std::string name = trim_profile_name(json_get(doc, kNameKey).asString());
        name = name.empty() ? free_profile_name(&next_free) : free_import_name(std::move(name));
        debug_printf("profile file %s.Json had no entry in the list: added as %s", uuid.c_str(),
                     name.c_str());
        push_entry({std::move(name), uuid});
        changed = true;
    }
    return changed;
}

bool ProfileList::reload(bool recover) {
    if (folder_.empty()) return false;
    const std::string path = list_file();
    // A folder (or, not behind a link, another kind of non-file) in the list's place cannot
    // be read, moved aside or replaced: starting a fresh list there would only leave profile
    // files behind that no list names.
    std::error_code ec;
    const bool link = fs::is_symlink(fs::symlink_status(path, ec));
    const auto status = fs::status(path, ec);
    if (fs::exists(status) && !fs::is_regular_file(status) && (!link || fs::is_directory(status)))
        return false;

    JsonFileState state;
    Json::Value doc = read_json(path, &state);
    const Json::Value& list = json_get(doc, kListKey);
    const bool readable = doc.isObject() && list.isArray();
    // What could not be read goes aside before anything is written in its place. An empty
    // file holds nothing to keep.
    const bool damaged = !readable && (is_damaged(state) || state == JsonFileState::kRead ||
                                       (link && state == JsonFileState::kNotAFile));
    bool changed = !readable;

    all_.clear();
    std::unordered_set<std::string> seen;
    std::vector<size_t> nameless;
    for (Json::ArrayIndex i = 0; readable && i < list.size(); ++i) {
        const Json::Value& entry = list[i];
        const Json::Value& uuid = json_get(entry, kUuidKey);
        if (!uuid.isString() || !is_plain_file_name(uuid.asString()) ||
            !seen.insert(uuid.asString()).second) {
            changed = true;
            continue;
        }
        const Json::Value& name = json_get(entry, kNameKey);
        // As the list will store it: bytes that are not UTF-8 become U+FFFD.
        std::string text =
            name.isString() ? trim_profile_name(valid_utf8(name.asString())) : std::string();
        changed = changed || !name.isString() || text != name.asString();
        if (text.empty()) nameless.push_back(all_.size());
        all_.push_back({std::move(text), uuid.asString()});
    }
    rebuild_indexes();
    // Nameless entries are named only now, so the new names avoid every name in the file.
    int next_free = 1;
    for (size_t i : nameless) {
        set_entry_name(int(i), free_profile_name(&next_free));
        changed = true;
    }
    int stored = json_int(json_get(doc, kSelectKey), -1);
    if (readable) {
        extra_ = std::move(doc);
        extra_.removeMember(kListKey);
        extra_.removeMember(kSelectKey);
    } else {
        extra_ = Json::Value(Json::objectValue);
    }

    if (recover || all_.empty()) changed = recover_folder() || changed;
    if (damaged && move_aside_damaged(path).empty()) {
        debug_printf("%s cannot be read nor moved aside: left as it is", path.c_str());
        all_.clear();
        rebuild_indexes();
        return false;
    }
    if (all_.empty()) return create_first_profile();
    if (recover && total_size() > size())
        debug_printf("%s: %d profiles past the first %d are kept in the list but not shown",
                     path.c_str(), total_size() - size(), kShownLimit);

    if (stored < 0 || stored >= size()) {
        stored = 0;
        changed = true;
    }
    // Follow the shown profile to wherever it is now; a profile removed behind our back
    // gives way to the stored selection.
    int index = -1;
    if (!selected_uuid_.empty())
        for (int i = 0; i < size() && index < 0; ++i)
            if (all_[size_t(i)].uuid == selected_uuid_) index = i;
    if (index < 0) {
        index = selected_ >= 0 && selected_ < size() ? selected_ : stored;
        if (selected_ >= 0) selected_uuid_ = all_[size_t(index)].uuid;
    }
    if (selected_ >= 0) selected_ = index;
    stored_select_ = stored;
    if (changed) store(selected_ >= 0 ? selected_ : stored);
    return true;
}

bool ProfileList::init() {
    selected_ = -1;
    selected_uuid_.clear();
    if (!reload(true)) return false;
    return select(selected_ >= 0 ? selected_ : stored_select_);
}

bool ProfileList::select(int index) {
    if (!reload()) return false;
    if (index < 0 || index >= size()) index = 0;
    selected_ = index;
    selected_uuid_ = all_[size_t(index)].uuid;
    // Nothing to write when the file already says so.
    return index == stored_select_ || store(index);
}

int ProfileList::append(Json::Value doc, const std::string& name) {
    const std::string uuid = new_uuid();
    if (uuid.empty()) return -1;
    // Profile file first: a list entry never names a file that was not written, and a kill
    // before the list is written leaves a file that the next start adds.
    if (!write_profile(std::move(doc), name, uuid)) return -1;
    push_entry({name, uuid});
    if (!store(selected_ >= 0 ? selected_ : stored_select_)) {
        erase_entry(total_size() - 1);
        remove_file(profile_file(uuid));
        return -1;
    }
    return total_size() - 1;
}

int ProfileList::add() {
    if (!reload() || total_size() >= kAddLimit) return -1;
    return append(read_json(default_file_), free_profile_name());
}

int ProfileList::copy() {
    if (!reload() || selected_ < 0 || total_size() >= kShownLimit) return -1;
    std::string candidate = selected_name() + " copy";
    while (name_used(candidate)) candidate += " copy";
    return append(read_json(selected_profile_file()), candidate);
}

int ProfileList::remove() {
    if (!reload() || selected_ < 0 || total_size() < 2) return -1;
    const int gone_index = selected_;
    const ProfileEntry gone = all_[size_t(gone_index)];
    const int next = gone_index == 0 ? 0 : gone_index - 1;
    const std::string path = profile_file(gone.uuid);
    const std::string marker = path + kDeletingSuffix;
    // The file steps aside before the list forgets it, so that a kill in between leaves a
    // deletion that the next start can undo (list unchanged) or finish (list written).
    const bool moved = !path.empty() && path_exists(path);
    if (moved && !rename_file(path, marker)) return -1;
    erase_entry(gone_index);
    if (!store(next)) {
        all_.insert(all_.begin() + gone_index, gone);
        rebuild_indexes();
        if (moved) rename_file(marker, path);
        return -1;
    }
    if (moved) remove_file(marker);
    selected_ = next;
    selected_uuid_ = all_[size_t(next)].uuid;
    return next;
}

bool ProfileList::name_profile_file(const std::string& uuid, const std::string& name) {
    // A missing or damaged profile file is left for the profile data to replace; writing a
    // stub here would only hide that.
    const std::string path = profile_file(uuid);
    Json::Value doc = read_json(path);
    if (!doc.isObject() || json_string(json_get(doc, kNameKey)) == name) return true;
    doc[kNameKey] = name;
    return write_json_file(path, doc);
}

int ProfileList::rename(const std::string& name) {
    const std::string trimmed = trim_profile_name(name);
    if (trimmed.empty()) return kRenameBlank;
    if (!reload() || selected_ < 0) return kRenameFailed;
    if (name_used(trimmed, selected_)) return kRenameNameUsed;
    // The mark tells the next start, should a kill come between the two writes, that the
    // profile file may still carry the old name.
    const std::string mark = selected_profile_file() + kRenamingSuffix;
    if (!write_file_atomic(mark, "")) return kRenameFailed;
    const std::string old = all_[size_t(selected_)].name;
    set_entry_name(selected_, trimmed);
    if (!store(selected_)) {
        set_entry_name(selected_, old);
        remove_file(mark);
        return kRenameFailed;
    }
    if (name_profile_file(selected_uuid_, trimmed)) remove_file(mark);
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
    if (!reload() || total_size() >= kShownLimit) return -1;
    const std::string candidate = free_import_name(trim_profile_name(doc[kNameKey].asString()));
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
