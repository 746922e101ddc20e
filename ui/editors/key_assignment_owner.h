#pragma once
// What the key editor needs of a device control that owns a key list (the mouse, later the
// keyboard). The device control keeps the list, its profile and the rows that show it; the
// editor only hands over what the key panel built.

#include "core/device/key_functions.h"

namespace tellune::ui {

class KeyAssignmentOwner {
public:
    virtual ~KeyAssignmentOwner() = default;
    // Key `index` now does `f`: stored in the device control's key list and the profile's,
    // and shown in the key list row. Not yet saved or written.
    virtual void store_key_function(int index, const device::KeyFunction& f) = 0;
    // Writes the key list to the device. 1 on success, else the failing result.
    virtual int write_keys() = 0;
    // Saves the profile file.
    virtual void save_keys() = 0;
    // Drops the key changes that were not saved: the key list comes back from the profile
    // file, and the panel shows the selected key as saved.
    virtual void discard_key_changes() = 0;
};

}  // namespace tellune::ui
