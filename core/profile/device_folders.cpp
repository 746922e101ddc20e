#include "core/profile/device_folders.h"

#include <algorithm>
#include <array>
#include <vector>

#include "core/platform/files.h"
#include "core/platform/platform.h"
#include "core/profile/json_file.h"

namespace tellune {
namespace {

constexpr std::array<DeviceFolderInfo, 5> kFolders{{
    {kDeviceKeyboard, "keyboard", kLightModelKeyboard},
    {kDeviceMouse, "mouse", kLightModelMouse},
    {kDeviceMousePad, "MousePad", kLightModelMousePad},
    {kDeviceWirelessMouse, "mouse", kLightModelMouse},
    {kDeviceHeadset, "HD", kLightModelHeadset},
}};

}  // namespace

const DeviceFolderInfo* device_folder_info(int kind) {
    for (const auto& entry : kFolders)
        if (entry.kind == kind) return &entry;
    return nullptr;
}

std::string_view device_folder_name(int kind) {
    const DeviceFolderInfo* info = device_folder_info(kind);
    return info ? info->folder_name : std::string_view();
}

int light_model_index(int kind) {
    const DeviceFolderInfo* info = device_folder_info(kind);
    return info ? info->light_model : -1;
}

std::string default_profile_file(int kind) {
    const std::string_view name = device_folder_name(kind);
    if (name.empty()) return {};
    return default_data_folder() + std::string(name) + ".Json";
}

std::string user_profile_file(int kind, std::string_view uuid) {
    const std::string_view name = device_folder_name(kind);
    if (name.empty() || !is_plain_file_name(uuid)) return {};
    return user_data_folder(name) + std::string(uuid) + ".Json";
}

std::string custom_light_list_file(int kind) {
    const std::string_view name = device_folder_name(kind);
    if (name.empty()) return {};
    return user_data_folder(name) + "pomex_light.config";
}

std::string default_light_names_file() {
    return default_data_folder() + "default_light.json";
}

int remove_stale_data_temporaries() {
    const std::string app = application_data_folder();
    int removed = remove_stale_temporaries(app);
    std::vector<std::string_view> done;
    for (const auto& entry : kFolders) {
        if (std::find(done.begin(), done.end(), entry.folder_name) != done.end()) continue;
        done.push_back(entry.folder_name);
        removed += remove_stale_temporaries(app + std::string(entry.folder_name));
    }
    return removed;
}

bool is_plain_file_name(std::string_view name) {
    if (name.empty()) return false;
    if (name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos) return false;
    // Our JSON writer stores invalid UTF-8 as U+FFFD: a name with such bytes would no longer
    // name its file once the list that holds it is written back.
    return name.find("..") == std::string_view::npos && is_valid_utf8(name);
}

}  // namespace tellune
