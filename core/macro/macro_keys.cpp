#include "core/macro/macro_keys.h"

namespace tellune::macro {

bool plays_macro(const KeyAssignmentRecord& key) {
    return key.type == kKeyTypeMacro || key.type == kKeyTypeMacroRepeat;
}

int keys_playing(const std::vector<KeyAssignmentRecord>& keys, int index) {
    int count = 0;
    for (const KeyAssignmentRecord& k : keys)
        if (plays_macro(k) && k.param1 == index) ++count;
    return count;
}

bool follow_deleted_macro(std::vector<KeyAssignmentRecord>& keys, int index) {
    if (index < 0) return false;
    bool changed = false;
    for (KeyAssignmentRecord& k : keys) {
        if (!plays_macro(k)) continue;
        if (k.param1 == index) {
            k.key_index = k.default_key_index;
            k.type = k.default_type;
            k.param1 = k.default_param1;
            k.param2 = k.default_param2;
            k.spare = k.default_spare;
            changed = true;
        } else if (k.param1 > index) {
            --k.param1;
            changed = true;
        }
    }
    return changed;
}

}  // namespace tellune::macro
