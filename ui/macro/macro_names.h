#pragma once
// The macro names of a library file as the interface shows them. The pad and the headset read
// theirs from "pomex_macro.config" in their folder; nothing there writes one.

#include <QStringList>
#include <string>

#include "core/macro/macro_library.h"

namespace tellune::ui {

inline QStringList read_macro_names(const std::string& path) {
    QStringList names;
    for (const std::string& n : macro::read_library_names(path)) names << QString::fromStdString(n);
    return names;
}

}  // namespace tellune::ui
