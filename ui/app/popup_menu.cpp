#include "ui/app/popup_menu.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>

#include "ui/app/text_table.h"

namespace tellune::ui {
namespace {

constexpr int kMaxDepth = 4;
constexpr qint64 kMaxMenuFile = 256 * 1024;

void add_items(QMenu* menu, const QJsonArray& items, int depth,
               const std::function<void(const QString&)>& command,
               const std::function<bool(const QString&)>& offered) {
    for (const QJsonValue& v : items) {
        const QJsonObject item = v.toObject();
        if (item.value("separator").toBool()) {
            menu->addSeparator();
            continue;
        }
        const QString text = texts().text(item.value("textid").toString());
        if (item.value("items").isArray()) {
            if (depth >= kMaxDepth) continue;
            QMenu* sub = menu->addMenu(text);
            sub->setObjectName(item.value("name").toString());
            add_items(sub, item.value("items").toArray(), depth + 1, command, offered);
            continue;
        }
        const QString name = item.value("name").toString();
        if (name.isEmpty() || (offered && !offered(name))) continue;
        QAction* action = menu->addAction(text);
        action->setObjectName(name);
        QObject::connect(action, &QAction::triggered, menu, [command, name] {
            if (command) command(name);
        });
    }
}

}  // namespace

QMenu* build_menu(const QString& path, QWidget* parent, std::function<void(const QString&)> command,
                  std::function<bool(const QString&)> offered) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxMenuFile) return nullptr;
    const QJsonArray items =
        QJsonDocument::fromJson(file.readAll()).object().value("items").toArray();
    auto* menu = new QMenu(parent);
    add_items(menu, items, 0, command, offered);
    return menu;
}

}  // namespace tellune::ui
