#pragma once
// The short text the key lists show for what a key does ("Left button", "Ctrl+C",
// "Macro: Reload"), in the interface language.

#include <QString>
#include <QStringList>

#include "core/profile/profile_records.h"

namespace tellune::ui {

// `macro_names`: the library's macro names, by macro index.
QString key_function_text(const KeyAssignmentRecord& key, const QStringList& macro_names);

}  // namespace tellune::ui
