#pragma once
// What the macro editor needs of a device control that offers macros (the mouse, later the
// keyboard): its key list refers to macros by their index in the library, and its key panel
// lists the macros by name. Pages whose control does not implement this get no macro
// editing. The device's macros and keys are written through the control's own
// write_macros and write_key_table.

#include <QStringList>

namespace tellune::ui {

class MacroOwner {
public:
    virtual ~MacroOwner() = default;
    // The library's names changed (a macro was added, renamed, deleted or imported): the key
    // panel's macro list and whatever else names macros show them now.
    virtual void macro_names_changed(const QStringList& names) = 0;
    // How many keys play macro `index`.
    virtual int keys_playing_macro(int index) const = 0;
    // Macro `index` is about to go: keys that play it return to their default function, keys
    // that play a later macro follow it down by one; the key list is stored and saved. True
    // when any key changed (the keys must then be written to the device).
    virtual bool follow_deleted_macro(int index) = 0;
};

}  // namespace tellune::ui
