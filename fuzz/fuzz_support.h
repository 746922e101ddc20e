#pragma once
// Shared pieces of the fuzz targets: a failing check that libFuzzer reports as a crash, a
// scratch folder for the targets that read files, and the program's default data.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// An invariant of the code under test. A broken one aborts, which libFuzzer records with the
// input that broke it.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace tellune::fuzz {

// A folder of this process's own, removed at exit: in $TELLUNE_FUZZ_SCRATCH when set, else in
// /dev/shm when there is one (file targets write and read several files per input). Paths
// end with '/'.
const std::string& scratch_folder();
// scratch_folder() + name; the sub-folder is created on first use and kept.
std::string scratch_subfolder(std::string_view name);
// Removes every entry of `folder` (not the folder itself).
void empty_folder(const std::string& folder);
// Writes `size` bytes to `path`, replacing it.
void write_bytes(const std::string& path, const uint8_t* data, size_t size);
void write_text(const std::string& path, std::string_view text);

// The shipped DefaultData folder of the source tree, with its trailing '/'.
std::string default_data_folder();

}  // namespace tellune::fuzz
