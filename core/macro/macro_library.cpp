#include "core/macro/macro_library.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "core/platform/files.h"
#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "core/profile/json_file.h"
#include "core/profile/profile_list.h"

namespace tellune::macro {
namespace {

constexpr char kInfoKey[] = "MacroInfo";
constexpr char kNameKey[] = "MacroName";
constexpr char kGuidKey[] = "Guid";
constexpr char kEventsKey[] = "Events";
constexpr char kVersionKey[] = "Version";

bool exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// The document at `path` for a rewrite: an object, or a fresh one once what could not be read
// is out of the way (moved aside, never overwritten: it may be the user's only copy). False
// when it could not be moved.
bool document_for_rewrite(const std::string& path, Json::Value& doc) {
    JsonFileState state;
    doc = read_json(path, &state);
    if (doc.isObject()) return true;
    if ((is_damaged(state) || state == JsonFileState::kRead) && move_aside_damaged(path).empty())
        return false;
    doc = Json::Value(Json::objectValue);
    return true;
}

Json::Value macro_document(const MacroEntry& entry, const Json::Value& events) {
    Json::Value doc(Json::objectValue);
    doc[kNameKey] = entry.name;
    doc[kGuidKey] = entry.guid;
    doc[kEventsKey] = events.isArray() ? events : Json::Value(Json::arrayValue);
    doc[kVersionKey] = kMacroFileVersion;
    return doc;
}

}  // namespace

std::vector<std::string> library_names(const Json::Value& document) {
    std::vector<std::string> names;
    const Json::Value& info = json_get(document, kInfoKey);
    if (!info.isArray()) return names;
    for (Json::ArrayIndex i = 0; i < info.size(); ++i)
        names.push_back(json_string(json_get(info[i], kNameKey)));
    return names;
}

std::vector<std::string> read_library_names(const std::string& path) {
    return library_names(read_json(path));
}

MacroLibrary::MacroLibrary(std::string folder) : stamp_([] { return make_time_stamp(); }) {
    set_folder(std::move(folder));
}

void MacroLibrary::set_folder(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    folder_ = std::move(folder);
}

void MacroLibrary::set_stamp_source(std::function<std::string()> source) {
    stamp_ = source ? std::move(source) : [] { return make_time_stamp(); };
}

std::string MacroLibrary::library_file() const {
    return folder_.empty() ? std::string() : folder_ + kLibraryFileName;
}

void MacroLibrary::load() {
    entries_.clear();
    originals_.clear();
    surplus_.clear();
    selected_ = -1;
    const Json::Value doc = read_json(library_file());
    const Json::Value& info = json_get(doc, kInfoKey);
    if (!info.isArray()) return;
    for (Json::ArrayIndex i = 0; i < info.size(); ++i) {
        if (size() < kMaxMacros)
            take_entry(info[i]);
        else
            surplus_.push_back(info[i]);
    }
}

void MacroLibrary::take_entry(const Json::Value& e) {
    std::string name = json_string(json_get(e, kNameKey));
    // A hand-edited library may repeat a name; shown twice, the user could not tell the
    // macros apart. The file keeps its name until the library is next written.
    if (name_used(name)) {
        if (trim_profile_name(name).empty()) {
            name = default_name();
        } else {
            std::string candidate;
            for (int n = 2; name_used(candidate = name + " (" + std::to_string(n) + ")"); ++n) {
            }
            name = std::move(candidate);
        }
    }
    entries_.push_back({std::move(name), json_string(json_get(e, kGuidKey))});
    originals_.push_back(e.isObject() ? e : Json::Value(Json::objectValue));
}

std::vector<std::string> MacroLibrary::names() const {
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const MacroEntry& e : entries_) out.push_back(e.name);
    return out;
}

void MacroLibrary::select(int index) {
    selected_ = index >= 0 && index < size() ? index : -1;
}

const MacroEntry* MacroLibrary::selected_entry() const {
    return selected_ >= 0 && selected_ < size() ? &entries_[size_t(selected_)] : nullptr;
}

bool MacroLibrary::name_used(std::string_view name, int except) const {
    for (int i = 0; i < size(); ++i)
        if (i != except && profile_names_equal(entries_[size_t(i)].name, name)) return true;
    return false;
}

std::string MacroLibrary::default_name() const {
    // At most size() names can be taken, so a free one is found within size() + 1 tries.
    for (int n = 1;; ++n) {
        std::string candidate = "macro_" + std::to_string(n);
        if (!name_used(candidate)) return candidate;
    }
}

std::string MacroLibrary::new_identifier() const {
    auto used = [this](const std::string& id) {
        if (!is_plain_file_name(id)) return true;
        for (const MacroEntry& e : entries_)
            if (e.guid == id) return true;
        return exists(folder_ + id + kMacroExtension);
    };
    auto next = [this] {
        std::string id = stamp_();
        return is_plain_file_name(id) ? id : make_time_stamp();
    };
    // Two macros made within one millisecond would share a file: wait for the clock a little,
    // then tell the new one apart by a counter.
    std::string id = next();
    for (int attempt = 0; attempt < 3 && used(id); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        id = next();
    }
    if (!used(id)) return id;
    for (int n = 1; n < 1000; ++n) {
        std::string candidate = id + "_" + std::to_string(n);
        if (!used(candidate)) return candidate;
    }
    return {};
}

bool MacroLibrary::store() const {
    if (folder_.empty()) return false;
    // What else the file holds now stays, as does what each entry held besides name and id.
    Json::Value doc;
    if (!document_for_rewrite(library_file(), doc)) return false;
    Json::Value info(Json::arrayValue);
    for (size_t i = 0; i < entries_.size(); ++i) {
        Json::Value e = originals_[i];
        e[kNameKey] = entries_[i].name;
        e[kGuidKey] = entries_[i].guid;
        info.append(e);
    }
    for (const Json::Value& e : surplus_) info.append(e);
    doc[kInfoKey] = info;
    return write_json_file(library_file(), doc);
}

std::string MacroLibrary::add() {
    if (size() >= kMaxMacros || folder_.empty()) return {};
    const std::string id = new_identifier();
    if (id.empty()) return {};
    entries_.push_back({default_name(), id});
    originals_.emplace_back(Json::objectValue);
    if (!store()) debug_printf("macro library not written: %s", library_file().c_str());
    selected_ = size() - 1;
    return entries_.back().name;
}

int MacroLibrary::remove_selected() {
    const int index = selected_;
    if (index < 0 || index >= size()) return -1;
    const std::string file = macro_file(index);
    // Another entry naming the same file still needs it.
    const bool shared = std::count_if(entries_.begin(), entries_.end(), [&](const MacroEntry& e) {
                            return e.guid == entries_[size_t(index)].guid;
                        }) > 1;
    if (!file.empty() && !shared) remove_file(file);
    entries_.erase(entries_.begin() + index);
    originals_.erase(originals_.begin() + index);
    // The first entry past the limit moves up, as it does in the file.
    if (!surplus_.empty()) {
        take_entry(surplus_.front());
        surplus_.erase(surplus_.begin());
    }
    selected_ = -1;
    store();
    return index;
}

MacroLibrary::RenameResult MacroLibrary::rename_selected(const std::string& typed) {
    if (selected_ < 0 || selected_ >= size()) return {};
    // As the file will hold it: two names that differ only in bytes that are no UTF-8 would
    // read back as one.
    const std::string name = valid_utf8(typed);
    if (trim_profile_name(name).empty()) return {kRenameIsEmpty, -1};
    // Its own name counts too: a change of letter case alone is refused.
    if (name_used(name)) return {std::string(), selected_};
    entries_[size_t(selected_)].name = name;
    store();
    return {name, selected_};
}

std::string MacroLibrary::macro_file(int index) const {
    if (index < 0 || index >= size() || folder_.empty()) return {};
    const std::string& id = entries_[size_t(index)].guid;
    if (!is_plain_file_name(id)) return {};
    return folder_ + id + kMacroExtension;
}

Json::Value MacroLibrary::load_selected_events() const {
    const std::string file = macro_file(selected_);
    if (file.empty()) return Json::Value(Json::arrayValue);
    const Json::Value doc = read_json(file);
    const Json::Value& events = json_get(doc, kEventsKey);
    return events.isArray() ? events : Json::Value(Json::arrayValue);
}

bool MacroLibrary::save_selected(const Json::Value& events) const {
    const std::string file = macro_file(selected_);
    if (file.empty()) return false;
    Json::Value old;
    if (!document_for_rewrite(file, old)) return false;
    return write_json_file(file, macro_document(entries_[size_t(selected_)], events));
}

MacroLibrary::ImportResult MacroLibrary::import_file(const std::string& path, std::string* name) {
    if (path.empty()) return ImportResult::kNoPath;
    if (size() >= kMaxMacros) return ImportResult::kFull;
    // Only a file this program can read back becomes a macro; the check comes before the
    // library changes.
    JsonFileState state;
    const std::string text = readjsonFile(path, &state);
    if (state == JsonFileState::kTooLarge) return ImportResult::kTooLarge;
    if (text.empty() || !parse_json(text).isObject()) return ImportResult::kUnreadable;
    if (add().empty()) return ImportResult::kFull;
    if (!write_file_atomic(macro_file(selected_), text)) {
        debug_printf("macro import not written: %s", macro_file(selected_).c_str());
        remove_selected();  // a macro that is not there is not shown either
        return ImportResult::kWriteFailed;
    }
    if (name) *name = entries_[size_t(selected_)].name;
    return ImportResult::kImported;
}

bool MacroLibrary::export_selected(const std::string& path) const {
    const std::string file = macro_file(selected_);
    if (file.empty() || path.empty()) return false;
    if (!exists(file))
        return write_json_file(path, macro_document(entries_[size_t(selected_)], Json::Value()));
    JsonFileState state;
    const std::string text = readjsonFile(file, &state);
    if (state != JsonFileState::kRead && state != JsonFileState::kEmpty) return false;
    return write_file_atomic(path, text);
}

}  // namespace tellune::macro
