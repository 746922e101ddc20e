#pragma once
// The program's own fonts from "Font/" in the program data folder, registered for this
// process only. Missing or broken files are skipped.

#include <QString>
#include <vector>

namespace tellune::ui {

class PrivateFonts {
public:
    // File names in registration order.
    static const std::vector<QString>& file_names();

    ~PrivateFonts() { remove_all(); }

    // Registers the fonts found in `folder`; returns how many were registered.
    int register_all(const QString& folder);
    // Removes them, last registered first.
    void remove_all();
    int count() const { return int(ids_.size()); }

private:
    std::vector<int> ids_;
};

}  // namespace tellune::ui
