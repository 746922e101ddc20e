#include "ui/app/private_fonts.h"

#include <QDir>
#include <QFontDatabase>

namespace tellune::ui {

const std::vector<QString>& PrivateFonts::file_names() {
    static const std::vector<QString> names = {
        "Simplified_Chinese.ttf",
        "Morvane-Regular.otf",
        "NotoSansThai-Regular.ttf",
        "NotoSansCJKtc-Regular.otf",
    };
    return names;
}

int PrivateFonts::register_all(const QString& folder) {
    const QDir dir(folder);
    for (const QString& name : file_names()) {
        const QString path = dir.filePath(name);
        if (!QFile::exists(path)) continue;
        const int id = QFontDatabase::addApplicationFont(path);
        if (id >= 0) ids_.push_back(id);
    }
    return count();
}

void PrivateFonts::remove_all() {
    while (!ids_.empty()) {
        QFontDatabase::removeApplicationFont(ids_.back());
        ids_.pop_back();
    }
}

}  // namespace tellune::ui
