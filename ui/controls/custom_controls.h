#pragma once
// Registers the drawn controls with the control factory under their layout tags.

namespace tellune::ui {

// "SelectPanel", "DeviceKeyButton", "CircleProgress".
void register_custom_controls();
void unregister_custom_controls();
// Registers them unless they are registered already (windows that use them without any
// device page).
void ensure_custom_controls();

}  // namespace tellune::ui
