#include "ui/app/text_table.h"

#include <QFile>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QVariant>
#include <QWidget>

namespace tellune::ui {
namespace {

// Language files are a few hundred entries; anything far larger is not one of ours.
constexpr qint64 kMaxLanguageFile = 4 * 1024 * 1024;

void apply_ids(QWidget* w, const TextTable& table) {
    const QVariant text_id = w->property("textid");
    if (text_id.isValid() && !text_id.toString().isEmpty()) {
        const QString text = table.text(text_id.toString());
        if (auto* box = qobject_cast<QGroupBox*>(w))
            box->setTitle(text);
        else if (w->isWindow())
            w->setWindowTitle(text);
        else if (w->metaObject()->indexOfProperty("text") >= 0)
            w->setProperty("text", text);
    }
    const QVariant tip_id = w->property("tooltipid");
    if (tip_id.isValid() && !tip_id.toString().isEmpty())
        w->setToolTip(table.text(tip_id.toString()));
    const QVariant placeholder_id = w->property("placeholderid");
    if (placeholder_id.isValid() && !placeholder_id.toString().isEmpty()) {
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            edit->setPlaceholderText(table.text(placeholder_id.toString()));
    }
}

}  // namespace

bool TextTable::load_file(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxLanguageFile) return false;
    return load_json(file.readAll());
}

bool TextTable::load_json(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return false;
    QHash<QString, QString> loaded;
    const QJsonObject object = doc.object();
    for (auto it = object.begin(); it != object.end(); ++it)
        if (it.value().isString()) loaded.insert(it.key(), it.value().toString());
    texts_ = std::move(loaded);
    return true;
}

QString TextTable::text(const QString& id) const {
    return texts_.value(id, id);
}

TextTable& texts() {
    static TextTable table;
    return table;
}

void retranslate(QWidget* root, const TextTable& table) {
    if (!root) return;
    apply_ids(root, table);
    for (QWidget* child : root->findChildren<QWidget*>()) apply_ids(child, table);
}

void set_text_id(QWidget* widget, const QString& id, const TextTable& table) {
    if (!widget) return;
    widget->setProperty("textid", id.isEmpty() ? QVariant() : QVariant(id));
    if (!id.isEmpty()) apply_ids(widget, table);
}

}  // namespace tellune::ui
