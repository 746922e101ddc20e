#pragma once
// Interface texts by id ("message_text_5", "menu_exit", ...) and their application to widgets.
// Widgets name their text ids in dynamic properties, so a language change re-resolves them:
//   "textid"        -> text (title of a group box)
//   "tooltipid"     -> tool tip
//   "placeholderid" -> placeholder text of an edit

#include <QHash>
#include <QString>

class QWidget;

namespace tellune::ui {

class TextTable {
public:
    // A language file is a JSON object {"id": "text", ...}. Returns false and keeps the
    // current table when the file is missing, too large or not such an object; members
    // that are not strings are skipped.
    bool load_file(const QString& path);
    bool load_json(const QByteArray& json);

    // The text of `id`; the id itself when the table has none, so a gap shows on screen.
    QString text(const QString& id) const;
    bool contains(const QString& id) const { return texts_.contains(id); }
    int size() const { return int(texts_.size()); }
    void clear() { texts_.clear(); }

private:
    QHash<QString, QString> texts_;
};

// The table of the current language. Interface thread only.
TextTable& texts();

// Resolves the text-id properties of `root` and of every descendant.
void retranslate(QWidget* root, const TextTable& table = texts());
// Gives `widget` a text id (empty: plain text from now on) and resolves it at once.
void set_text_id(QWidget* widget, const QString& id, const TextTable& table = texts());

}  // namespace tellune::ui
