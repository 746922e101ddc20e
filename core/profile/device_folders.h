#pragma once
// Where each device kind keeps its data: folder name, light model index, profile paths.

#include <string>
#include <string_view>

namespace tellune {

// Device kinds as the device slots carry them.
enum DeviceKind : int {
    kDeviceKeyboard = 1,
    kDeviceMouse = 2,
    kDeviceMousePad = 3,
    kDeviceWirelessMouse = 6,  // the mouse through its receiver: same data as the mouse
    kDeviceHeadset = 7,
};

// Light model index: the element of the light preset lists that belongs to a device kind.
enum LightModel : int {
    kLightModelKeyboard = 0,
    kLightModelMouse = 1,
    kLightModelMousePad = 2,
    kLightModelHeadset = 3,
};
inline constexpr int kLightModelCount = 4;

struct DeviceFolderInfo {
    int kind;
    std::string_view folder_name;
    int light_model;
};

// Table entry of a device kind, or nullptr for an unknown kind.
const DeviceFolderInfo* device_folder_info(int kind);
// "keyboard", "mouse", "MousePad", "HD"; empty for an unknown kind.
std::string_view device_folder_name(int kind);
// 0..3; -1 for an unknown kind.
int light_model_index(int kind);

// default_data_folder() + folder name + ".Json"; empty for an unknown kind.
std::string default_profile_file(int kind);
// user_data_folder(folder name) + uuid + ".Json"; empty for an unknown kind or a uuid that is
// not a plain file name (empty, "/", "\\", "..").
std::string user_profile_file(int kind, std::string_view uuid);
// user_data_folder(folder name) + "pomex_light.config"; empty for an unknown kind.
std::string custom_light_list_file(int kind);
// default_data_folder() + "default_light.json".
std::string default_light_names_file();

// Removes the temporary files that killed writes left in the application data folder and in
// every device folder. Call once at start, before anything writes there. Returns how many.
int remove_stale_data_temporaries();

// True when `name` can be used as a file name inside a data folder: not empty, no path
// separator of either platform, no "..", no NUL, and valid UTF-8 (so it survives being
// written into a JSON file).
bool is_plain_file_name(std::string_view name);

}  // namespace tellune
