#pragma once
// Shared bits of the profile tests: writing raw files and a scratch data layout.

#include <json/json.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/profile/json_file.h"
#include "test_support/temp_dir.h"

namespace tellune::test {

inline void write_text(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline Json::Value parse(const std::string& text) {
    Json::Value v;
    Json::Reader reader;
    reader.parse(text, v, false);
    return v;
}

template <typename T>
std::vector<unsigned char> bytes_of(const T& record) {
    std::vector<unsigned char> out(sizeof(T));
    std::memcpy(out.data(), &record, sizeof(T));
    return out;
}

// A program data folder and a user data folder, both in a scratch folder.
struct ScratchData {
    TempDir tmp;
    ScopedEnv data{"TELLUNE_DATA_DIR", (tmp.path() / "program").string()};
    ScopedEnv xdg{"XDG_DATA_HOME", (tmp.path() / "home").string()};

    std::string default_file(const std::string& name) const {
        return (tmp.path() / "program" / "DefaultData" / name).string();
    }
    std::string user_file(const std::string& name) const { return tmp.file(name); }
};

}  // namespace tellune::test
