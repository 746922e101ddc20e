#pragma once
// A device's macro library: "macro.config" in the device's data folder lists the macros in
// order (their position is the macro index key assignments and device downloads use), each
// with its display name and identifier; the events of a macro are in identifier + ".mac".
//
// Every change is written at once, atomically; a file that cannot be read is moved aside
// before it would be written over, never overwritten. Files are user data: whatever they hold is
// read without throwing, a value of the wrong type reads as missing, and an identifier that
// is not a plain file name never leads to a file outside the folder (such a macro shows, but
// has no file to load, save, export or delete).
//
// Names are unique without regard to letter case: a name a library file repeats is shown
// with " (2)", " (3)", ... added (a repeated blank one as the default name). At most kMaxMacros
// macros are shown; entries past them stay in the file, and move up when a macro is deleted.
// Unknown keys of the library and of its entries are kept when it is written again.

#include <json/json.h>

#include <functional>
#include <string>
#include <vector>

namespace tellune::macro {

inline constexpr char kLibraryFileName[] = "macro.config";
// The pad and the headset read a library of this name; nothing writes one.
inline constexpr char kPadLibraryFileName[] = "pomex_macro.config";
inline constexpr char kMacroExtension[] = ".mac";
inline constexpr int kMacroFileVersion = 64;
inline constexpr int kMaxMacros = 50;
// What rename answers for a blank name.
inline constexpr char kRenameIsEmpty[] = "IsEmpty";

struct MacroEntry {
    std::string name;
    std::string guid;  // the identifier: a time stamp that names the macro's file
};

// The "MacroName" of each "MacroInfo" entry of the library `document`, in order.
std::vector<std::string> library_names(const Json::Value& document);
// The same read from a file (missing or damaged: none).
std::vector<std::string> read_library_names(const std::string& path);

class MacroLibrary {
public:
    struct RenameResult {
        std::string name;  // the new name; "IsEmpty" for a blank one; empty when it is taken
        int index = -1;    // the macro's index; -1 for a blank name or no selection
    };
    enum class ImportResult {
        kImported,
        kNoPath,      // nothing chosen
        kFull,        // the library holds kMaxMacros macros; nothing was touched
        kTooLarge,    // over the size every data file is held to
        kUnreadable,  // the file is no macro file (not a JSON object, unreadable)
        kWriteFailed,
    };

    // `folder`: the device's data folder; a trailing '/' is added when missing.
    explicit MacroLibrary(std::string folder = {});

    void set_folder(std::string folder);
    const std::string& folder() const { return folder_; }
    // Source of new identifiers (make_time_stamp unless replaced).
    void set_stamp_source(std::function<std::string()> source);

    // Reads the library; nothing is selected afterwards.
    void load();
    int size() const { return int(entries_.size()); }
    const MacroEntry& entry(int index) const { return entries_[size_t(index)]; }
    std::vector<std::string> names() const;
    // The selected macro's index, or -1 (none selected, or the library is empty).
    int selected() const { return selected_; }
    // Out of range clears the selection.
    void select(int index);
    const MacroEntry* selected_entry() const;

    // "macro_N" with the smallest N from 1 whose name is not in the library.
    std::string default_name() const;
    bool name_used(std::string_view name, int except = -1) const;

    // Appends a macro under the default name with a new identifier and selects it; no file
    // is written for its events yet. The new name, or empty when the library is full.
    std::string add();
    // Deletes the selected macro's file and entry; nothing is selected afterwards. Its
    // index, or -1 with nothing selected.
    int remove_selected();
    // Blank names (only blanks) and names already used (its own in other letter case too) are
    // refused; the name is stored as typed (bytes that are no UTF-8 as U+FFFD).
    RenameResult rename_selected(const std::string& name);

    // The path of macro `index`'s file, or empty when its identifier is no plain file name.
    std::string macro_file(int index) const;
    // The "Events" of the selected macro's file; an empty array when there is none, or the
    // file is missing or damaged.
    Json::Value load_selected_events() const;
    // Writes the selected macro's file: name and identifier from the library, `events`, the
    // version. False when nothing is selected, the macro has no usable identifier or the
    // write failed.
    bool save_selected(const Json::Value& events) const;
    // Adds a macro (see add) and gives it the file at `path` unchanged; the new macro is then
    // selected. `name` receives the new macro's name.
    ImportResult import_file(const std::string& path, std::string* name = nullptr);
    // Copies the selected macro's file unchanged to `path` (a macro never saved gives a file
    // without events). False when nothing is selected or the copy failed.
    bool export_selected(const std::string& path) const;

private:
    std::string library_file() const;
    std::string new_identifier() const;
    // Writes the entries into the library file, keeping what else the file holds.
    bool store() const;
    // Appends the library file's entry `e`, its name made unique.
    void take_entry(const Json::Value& e);

    std::string folder_;
    std::function<std::string()> stamp_;
    std::vector<MacroEntry> entries_;
    std::vector<Json::Value> originals_;  // each entry as read, for its unknown keys
    std::vector<Json::Value> surplus_;    // the file's entries past kMaxMacros, as read
    int selected_ = -1;
};

}  // namespace tellune::macro
