#pragma once
// The profiles of one device: the list document "ProfileList.ini" in the device's user data
// folder and the profile files it names (folder + UUID + ".Json").
//
// The list file is the authority: every change reloads it first, applies itself and writes it
// back, so `entries()` always mirrors the file as last read or written and the drop-down list
// that shows it can be refilled from `entries()` after each call.
//
// The file is hand-editable and may be damaged. Loading keeps only entries that can be used
// safely: an entry whose "profileUUID" is missing, not a string or not a plain file name
// ("../x") is dropped, as is a second entry naming the same UUID (deleting one would take
// the other's file). A name that is not a string or blank gets a fresh "profile<n>" name.
// A list left empty is recreated with "profile1". A "profileselect" that names no entry
// selects entry 0.
//
// No call throws; every file write is atomic.

#include <json/json.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tellune {

inline constexpr char kProfileListFileName[] = "ProfileList.ini";

struct ProfileEntry {
    std::string name;
    std::string uuid;
};

// Names are unique within a list without regard to letter case. Folds ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic letters; other text compares byte for byte.
bool profile_names_equal(std::string_view a, std::string_view b);
// `name` without white space (ASCII, no-break space, ideographic space) at either end.
std::string trim_profile_name(std::string_view name);
// What import accepts: an object whose "profilename" is a string that is not blank and
// whose "profileUUID" is a string.
bool is_importable_profile(const Json::Value& doc);

class ProfileList {
public:
    // add stops at this many profiles; copy and import do not.
    static constexpr int kAddLimit = 50;

    enum RenameResult : int {
        kRenameFailed = -1,  // nothing selected (not initialised) or the list not written
        kRenameNameUsed = 0,
        kRenameDone = 1,
        kRenameBlank = 2,
    };

    ProfileList();

    void set_kind(int kind) { kind_ = kind; }
    int kind() const { return kind_; }
    // The user data folder (a '/' is added when missing) and the default profile file.
    void set_paths(std::string user_folder, std::string default_profile_file);
    const std::string& user_folder() const { return folder_; }
    const std::string& default_profile_file() const { return default_file_; }
    // Source of new UUIDs; make_time_stamp unless replaced (tests).
    void set_stamp_source(std::function<std::string()> source);

    // folder + "ProfileList.ini"; empty without a folder.
    std::string list_file() const;
    // folder + uuid + ".Json"; empty without a folder or when `uuid` is not a plain file
    // name, so no UUID read from a file can point outside the folder.
    std::string profile_file(std::string_view uuid) const;

    // Loads the list, creating "profile1" from the default profile when it is missing, empty
    // or unusable, and selects the stored "profileselect". False without a folder.
    bool init();
    bool initialised() const { return selected_ >= 0; }

    const std::vector<ProfileEntry>& entries() const { return entries_; }
    int size() const { return int(entries_.size()); }
    // -1 before init.
    int current_index() const { return selected_; }
    std::string selected_uuid() const { return selected_uuid_; }
    std::string selected_name() const;
    // Profile file of the selected entry; empty before init.
    std::string selected_profile_file() const { return profile_file(selected_uuid_); }

    // Selects entry `index` (0 when it names no entry) and stores it as "profileselect".
    // False when the list file could not be written (the selection holds in memory).
    bool select(int index);

    // New profile "profile<n>" (lowest n whose name is free) from the default profile.
    // Index of the new entry; -1 at the limit or when a file could not be written. The
    // selection does not change.
    int add();
    // Duplicate of the selected profile named "<name> copy" (" copy" repeated until free).
    // Index of the new entry or -1.
    int copy();
    // Removes the selected profile and its file unless it is the last one; the entry before
    // it (or entry 0) becomes selected. The new selected index, or -1 when nothing was removed.
    int remove();
    // Renames the selected profile; the trimmed name is stored.
    int rename(const std::string& name);
    // Rewrites the selected profile file from the default profile, keeping its name and UUID
    // (and on a headset the user's own equalisers). False when the default profile is not a
    // usable document (the profile is then left alone) or the write failed.
    bool reset();
    // Adds the profile document at `path` under a fresh UUID; a name already used becomes
    // "<name>(1)", then "<name>(1)(2)" and so on. Index of the new entry, -1 when the file is
    // not importable or could not be stored.
    int import_profile(const std::string& path);
    // Writes the selected profile's document to `path`. False when the profile file does not
    // parse, `path` is the list file itself, or the write failed.
    bool export_profile(const std::string& path);

private:
    // Reads the list file into entries_ and follows the selected UUID to its index. Creates
    // "profile1" when the list comes back empty.
    bool reload();
    // Writes entries_ with `select` as "profileselect".
    bool store(int select);
    bool create_first_profile();
    // A UUID that no entry and no file in the folder uses yet.
    std::string new_uuid() const;
    bool name_used(std::string_view name, int except = -1) const;
    std::string free_profile_name() const;
    // Writes `doc` with "profilename"/"profileUUID" set as the profile file of `uuid`.
    bool write_profile(Json::Value doc, const std::string& name, const std::string& uuid);
    // Appends an entry, writes its profile file and then the list; undone when either fails.
    int append(Json::Value doc, const std::string& name);

    int kind_ = 0;
    std::string folder_;
    std::string default_file_;
    std::function<std::string()> stamp_;
    std::vector<ProfileEntry> entries_;
    Json::Value extra_;      // top-level keys of the list file other than ours, kept as they are
    int stored_select_ = 0;  // "profileselect" as last read, made valid
    int selected_ = -1;
    std::string selected_uuid_;
};

}  // namespace tellune
