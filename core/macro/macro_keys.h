#pragma once
// Key assignments refer to a macro by its index in the library; deleting a macro moves the
// ones after it. These keep a key list in step.

#include <vector>

#include "core/profile/profile_records.h"

namespace tellune::macro {

// Assignment types that play a macro (parameter 1 is the macro index).
inline constexpr int kKeyTypeMacro = 0x70;
inline constexpr int kKeyTypeMacroRepeat = 0x71;

bool plays_macro(const KeyAssignmentRecord& key);
// How many keys currently play macro `index`.
int keys_playing(const std::vector<KeyAssignmentRecord>& keys, int index);
// Macro `index` was deleted: keys that played it return to their default function, keys
// that played a later macro follow it down by one. True when any key changed.
bool follow_deleted_macro(std::vector<KeyAssignmentRecord>& keys, int index);

}  // namespace tellune::macro
