#pragma once
// Interface language: the language list in "Language.config", the stored choice, and the
// shared font table that some languages need rebuilt.

#include <QFont>
#include <QMap>
#include <QString>
#include <optional>
#include <vector>

class QWidget;

namespace tellune::ui {

struct LanguageEntry {
    QString name;  // "Language_name"
    QString file;  // "Language_file", relative to the skin folder
    int id = 0;    // "Language_ID", the value kept in the settings
    QString text;  // "Language_text": text id of the name shown in the language list
};

// The "Language" array of a "Language.config" document; nothing when the file is missing or
// does not parse. Members of the wrong type read as empty / 0.
std::optional<std::vector<LanguageEntry>> read_language_config(const QString& path);

// Value read when the settings exist but hold no choice; it matches no shipped language.
inline constexpr int kLanguagePreset = 520;

// Index of the first language whose "Language_ID" equals the stored "LANGUAGE" value.
// 0 when the settings file does not exist, the list does not parse or nothing matches.
int language_index_from_registry(const QString& settings_path, const QString& config_path);

// Whether switching from `current` to `next` rebuilds the font table.
bool font_table_needs_rebuild(int next, int current);

// `wanted` when the font database has it, else the system's general sans face.
QString available_face(const QString& wanted);

// The interface fonts by id, shared by every window. Widgets pick one with the dynamic
// property "fontid" (int); the rest use the default font. Applied as style sheet rules
// after the skin's own style sheet.
class FontTable {
public:
    static constexpr int kDefault = -1;

    // Replaces every entry with the fixed table in `face` at the current scale.
    void rebuild(const QString& face);
    // Interface scale in dots per inch (96 = 1:1); sizes follow it.
    void set_scale(int dpi);
    int scale() const { return dpi_; }
    bool empty() const { return fonts_.isEmpty(); }
    QString face() const { return face_; }
    // The font of `id`, or the default font for an id the table lacks.
    QFont font(int id) const;
    // The table as style sheet rules.
    QString style_sheet() const;
    // The skin's style sheet, which the font rules are appended to.
    void set_base_style_sheet(const QString& css);
    // Sets the application style sheet (skin + fonts) and the application font.
    void apply() const;

private:
    QString face_;
    QString base_css_;
    int dpi_ = 96;
    QMap<int, QFont> fonts_;
};

// The current language: applies a choice to the text table and the fonts and stores it.
class LanguageManager {
public:
    // `settings_path`: INI file that stands for the per-user registry key.
    LanguageManager(QString config_path, QString skin_folder, QString settings_path);

    // Default locations: DefaultData/Language.config, the skin folder, and
    // ~/.config/<title>/<title>.conf.
    static QString default_config_path();
    static QString default_settings_path();

    int index_from_registry() const;
    // Applies language `index`. Returns false when it is already current. A language the
    // list does not have changes the index but leaves texts, fonts and the stored choice.
    bool apply_language(int index);
    // Whether the last apply_language rebuilt the font table.
    bool fonts_rebuilt() const { return fonts_rebuilt_; }
    int current_index() const { return current_; }
    FontTable& fonts() { return fonts_; }
    const QString& skin_folder() const { return skin_folder_; }
    const QString& config_path() const { return config_path_; }
    // The per-user settings file ("LANGUAGE", and the update service's "UPDATE_URL").
    const QString& settings_path() const { return settings_path_; }

    // Writes "LANGUAGE" = id; debug line "写成功！" on success.
    bool store_language_id(int id) const;

private:
    QString config_path_;
    QString skin_folder_;
    QString settings_path_;
    int current_ = -1;
    bool fonts_rebuilt_ = false;
    FontTable fonts_;
};

}  // namespace tellune::ui
