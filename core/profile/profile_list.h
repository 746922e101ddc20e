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
// A "profileselect" that names no shown entry selects entry 0.
//
// Nothing the user made is given up. A list file that cannot be read (garbage, cut short,
// too large, nested too deeply, a link to something else) is moved aside as
// "ProfileList.ini.damaged-<time stamp>", never overwritten; a list that is missing, empty
// or unreadable is rebuilt from the profile files in the folder, and only a folder without
// any gets a new "profile1". Entries past the first kShownLimit are not shown but kept in
// the file as they are.
//
// Every change on disk is ordered so that a kill at any moment leaves the old state or the
// new one once init has run again: a new profile's file is written before the list names it
// (init adds a profile file the list does not name, so an add cut short is completed), and
// a deleted profile's file is first renamed to "<file>.tellune-deleting" (init renames it
// back while the list still names it, and removes it once it does not), and a rename is
// marked by an empty "<file>.tellune-renaming" until both files have the name (init gives
// the profile file the name the list has).
//
// Every operation takes time in proportion to the length of the list. No call throws; every
// file write is atomic.

#include <json/json.h>

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tellune {

inline constexpr char kProfileListFileName[] = "ProfileList.ini";
// Beside a profile file: its deletion is under way ("<file>.tellune-deleting", the file
// itself renamed), or its name is being changed ("<file>.tellune-renaming", empty).
inline constexpr char kDeletingSuffix[] = ".tellune-deleting";
inline constexpr char kRenamingSuffix[] = ".tellune-renaming";

struct ProfileEntry {
    std::string name;
    std::string uuid;
};

// Names are unique within a list without regard to letter case. Folds ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic letters; other text compares byte for byte.
bool profile_names_equal(std::string_view a, std::string_view b);
// The form names are compared in: equal keys for exactly the names profile_names_equal
// takes as equal.
std::u32string profile_name_key(std::string_view name);
// `name` without white space (ASCII, no-break space, ideographic space) at either end.
std::string trim_profile_name(std::string_view name);
// What import accepts: an object whose "profilename" is a string that is not blank and
// whose "profileUUID" is a string.
bool is_importable_profile(const Json::Value& doc);

class ProfileList {
public:
    // add stops at this many profiles.
    static constexpr int kAddLimit = 50;
    // The drop-down list shows this many entries; copy and import stop there, since a
    // profile past it could not be seen.
    static constexpr int kShownLimit = 1000;

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

    // Loads the list and puts right what a kill left half done (see above); rebuilds a list
    // that is missing, empty or unreadable from the profile files, creates "profile1" from
    // the default profile when there is none, and selects the stored "profileselect". False
    // without a folder, or when the list's place cannot be written.
    bool init();
    bool initialised() const { return selected_ >= 0; }

    // The shown entries: the first kShownLimit of the list.
    std::span<const ProfileEntry> entries() const {
        return std::span<const ProfileEntry>(all_).first(size_t(shown_));
    }
    int size() const { return shown_; }
    // Every entry of the list file, those not shown included.
    int total_size() const { return int(all_.size()); }
    // -1 before init.
    int current_index() const { return selected_; }
    std::string selected_uuid() const { return selected_uuid_; }
    std::string selected_name() const;
    // Name of the entry with `uuid` (shown or not); empty when no entry has it.
    std::string name_of(std::string_view uuid) const;
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
    // Index of the new entry or -1 (also when the list is full).
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
    // not importable (too large among others) or could not be stored, or the list is full.
    int import_profile(const std::string& path);
    // Writes the selected profile's document to `path`. False when the profile file does not
    // parse, `path` is the list file itself, or the write failed.
    bool export_profile(const std::string& path);

private:
    // Reads the list file into all_ and follows the selected UUID to its index. With
    // `recover`, or when the list comes back empty, first puts the folder right (see
    // recover_folder); creates "profile1" when there is still no entry.
    bool reload(bool recover = false);
    // Writes all_ with `select` as "profileselect".
    bool store(int select);
    bool create_first_profile();
    // Finishes or undoes deletions and renames a kill interrupted, and adds the profile
    // files of the folder that no entry names (an add cut short, or the files of a lost
    // list), oldest UUID first. True when all_ changed.
    bool recover_folder();
    // A UUID that no entry and no file in the folder uses yet.
    std::string new_uuid() const;
    bool name_used(std::string_view name, int except = -1) const;
    // The first free "profile<n>" with n >= *next; *next is moved past it.
    std::string free_profile_name(int* next) const;
    std::string free_profile_name() const;
    // `name` made free the way import does it: "(1)", then "(2)" appended, and so on.
    std::string free_import_name(std::string name) const;
    // Entry lists and their indexes change together through these.
    void rebuild_indexes();
    void push_entry(ProfileEntry entry);
    void erase_entry(int index);
    void set_entry_name(int index, std::string name);
    void update_shown();
    // Gives the profile file of `uuid` the name `name` when it has another; false when the
    // file is there and could not be written.
    bool name_profile_file(const std::string& uuid, const std::string& name);
    // Writes `doc` with "profilename"/"profileUUID" set as the profile file of `uuid`.
    bool write_profile(Json::Value doc, const std::string& name, const std::string& uuid);
    // Appends an entry, writes its profile file and then the list; undone when either fails.
    int append(Json::Value doc, const std::string& name);

    int kind_ = 0;
    std::string folder_;
    std::string default_file_;
    std::function<std::string()> stamp_;
    std::vector<ProfileEntry> all_;
    int shown_ = 0;
    // Keys of the names in all_ with their counts (a hand-edited list may repeat a name),
    // and the UUIDs in all_.
    std::unordered_map<std::u32string, int> names_;
    std::unordered_set<std::string> uuids_;
    Json::Value extra_;      // top-level keys of the list file other than ours, kept as they are
    int stored_select_ = 0;  // "profileselect" as last read, made valid
    int selected_ = -1;
    std::string selected_uuid_;
};

}  // namespace tellune
