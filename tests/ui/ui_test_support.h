#pragma once
// Shared pieces of the widget tests: the shipped skin, and captured debug lines.

#include <QString>
#include <mutex>
#include <string>
#include <vector>

#include "core/platform/platform.h"

namespace tellune::ui::test {

inline QString source_folder() {
    return QStringLiteral(TELLUNE_SOURCE_DIR) + "/";
}
inline QString shipped_skin() {
    return source_folder() + "skin/";
}
inline QString shipped_language_config() {
    return source_folder() + "DefaultData/Language.config";
}

// Collects debug lines for the lifetime of the object.
class DebugCapture {
public:
    DebugCapture() {
        set_debug_sink([this](std::string_view line) {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(line);
        });
    }
    ~DebugCapture() { set_debug_sink(nullptr); }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    bool contains(const std::string& line) const {
        for (const std::string& l : lines())
            if (l == line) return true;
        return false;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace tellune::ui::test
