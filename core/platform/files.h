#pragma once
// Whole-file reads and atomic whole-file writes.

#include <string>
#include <string_view>

namespace tellune {

// Writes `content` to a temporary file in the same folder and renames it over `path`, so a
// reader sees the old file or the new one, never a torn one. Returns false (old file kept,
// no temporary left behind) when any step fails.
bool write_file_atomic(const std::string& path, std::string_view content);

// The whole file, or an empty string when it cannot be opened or fully read.
std::string read_whole_file(const std::string& path);

}  // namespace tellune
