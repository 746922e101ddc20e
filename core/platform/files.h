#pragma once
// Whole-file reads, atomic whole-file writes, and the few other changes the data folders see
// (renames, removals), all recoverable after the process is killed at any moment.

#include <string>
#include <string_view>

namespace tellune {

// A temporary file of write_file_atomic is "." + file name + kTemporaryMarker + six random
// characters, beside the file: hidden, and recognisable as ours when a kill left it behind.
inline constexpr std::string_view kTemporaryMarker = ".tellune-tmp-";

// Writes `content` to a temporary file in the same folder and renames it over `path`, so a
// reader sees the old file or the new one, never a torn one. Returns false (old file kept,
// no temporary left behind) when any step fails. A symbolic link at `path` is replaced by a
// regular file; its target is never written.
bool write_file_atomic(const std::string& path, std::string_view content);

// The whole file, or an empty string when it cannot be opened or fully read.
std::string read_whole_file(const std::string& path);

// True for the name (no folder) of one of our temporary files.
bool is_temporary_file_name(std::string_view file_name);
// Removes the temporary files killed writes left in `folder` (not in its subfolders); only
// regular files named like ours are touched. Returns how many were removed.
int remove_stale_temporaries(const std::string& folder);

// Renames `from` to `to` (replacing `to`) and removes a file; a link is moved or removed
// itself, never its target. False when the step failed.
bool rename_file(const std::string& from, const std::string& to);
bool remove_file(const std::string& path);
// True when something (a dangling link too) exists at `path`.
bool path_exists(const std::string& path);

// Moves a file that could not be read out of the way as path + ".damaged-" + time stamp (a
// counter appended when that name is taken), so that nothing the user had is overwritten.
// The new path, or an empty string when nothing was moved.
std::string move_aside_damaged(const std::string& path);

// Test hook, called before each change this file makes on disk: "replace" (a written
// temporary is about to be renamed over its file), "rename" and "remove". A test child
// process that ends itself in the hook leaves the folder as a kill at that moment would.
using FileStepHook = void (*)(const char* step, const std::string& path);
void set_file_step_hook(FileStepHook hook);

}  // namespace tellune
