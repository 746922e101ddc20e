#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <system_error>

namespace tellune::fuzz {

namespace {

struct Scratch {
    std::string path;
    Scratch() {
        // scripts/fuzz names a folder it removes afterwards, so a crash leaves nothing behind.
        std::error_code ec;
        const char* given = std::getenv("TELLUNE_FUZZ_SCRATCH");
        const std::filesystem::path base = given && *given ? std::filesystem::path(given)
                                           : std::filesystem::is_directory("/dev/shm", ec)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string tmpl = (base / "tellune-fuzz-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) {
            std::perror("tellune fuzz: no scratch folder");
            std::abort();
        }
        path = tmpl + "/";
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

}  // namespace

const std::string& scratch_folder() {
    static const Scratch scratch;
    return scratch.path;
}

std::string scratch_subfolder(std::string_view name) {
    const std::string folder = scratch_folder() + std::string(name) + "/";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder;
}

void empty_folder(const std::string& folder) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        std::filesystem::remove_all(entry.path(), ec);
}

void write_bytes(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void write_text(const std::string& path, std::string_view text) {
    write_bytes(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::string default_data_folder() {
    return TELLUNE_FUZZ_DEFAULT_DATA;
}

}  // namespace tellune::fuzz
