#include "ui/app/language.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QStandardPaths>
#include <QWidget>

#include "core/platform/platform.h"
#include "ui/app/text_table.h"

namespace tellune::ui {
namespace {

constexpr qint64 kMaxConfigFile = 1024 * 1024;

struct FontSpec {
    int id;
    int size;
    bool underline;
    bool bold;
};

constexpr FontSpec kFontTable[] = {
    {FontTable::kDefault, 14, false, false},
    {0, 15, false, false},
    {1, 14, true, false},
    {2, 18, false, false},
    {3, 30, false, false},
    {4, 16, false, false},
    {5, 20, false, false},
    {6, 22, false, false},
    {7, 14, false, false},
    {8, 12, false, false},
    {9, 11, false, false},
    {10, 10, false, false},
    {11, 28, false, false},
    {50, 18, false, true},
};

QString title() {
    return QString::fromUtf8(kApplicationTitle.data(), int(kApplicationTitle.size()));
}

}  // namespace

std::optional<std::vector<LanguageEntry>> read_language_config(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxConfigFile) return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
    std::vector<LanguageEntry> entries;
    for (const QJsonValue& v : doc.object().value("Language").toArray()) {
        const QJsonObject o = v.toObject();
        const QJsonValue id = o.value("Language_ID");
        entries.push_back({o.value("Language_name").toString(), o.value("Language_file").toString(),
                           id.isDouble() ? id.toInt() : 0, o.value("Language_text").toString()});
    }
    return entries;
}

int language_index_from_registry(const QString& settings_path, const QString& config_path) {
    if (!QFileInfo::exists(settings_path)) return 0;
    QSettings settings(settings_path, QSettings::IniFormat);
    bool ok = false;
    int value = settings.value("LANGUAGE", kLanguagePreset).toInt(&ok);
    if (!ok) value = kLanguagePreset;
    const auto entries = read_language_config(config_path);
    if (!entries) return 0;
    for (size_t i = 0; i < entries->size(); ++i)
        if ((*entries)[i].id == value) return int(i);
    return 0;
}

bool font_table_needs_rebuild(int next, int current) {
    return next == 0 || next == 2 || next == 15 || current == 15 || current == -1 || current == 2 ||
           current == 0;
}

QString available_face(const QString& wanted) {
    if (QFontDatabase::families().contains(wanted, Qt::CaseInsensitive)) return wanted;
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

void FontTable::rebuild(const QString& face) {
    face_ = face;
    fonts_.clear();
    for (const FontSpec& spec : kFontTable) {
        QFont font(face);
        font.setPixelSize(std::max(1, spec.size * dpi_ / 96));
        font.setUnderline(spec.underline);
        font.setBold(spec.bold);
        fonts_.insert(spec.id, font);
    }
}

void FontTable::set_scale(int dpi) {
    if (dpi == dpi_ || dpi <= 0) return;
    dpi_ = dpi;
    if (!fonts_.isEmpty()) rebuild(face_);
}

QFont FontTable::font(int id) const {
    auto it = fonts_.find(id);
    if (it != fonts_.end()) return *it;
    it = fonts_.find(kDefault);
    return it != fonts_.end() ? *it : QApplication::font();
}

QString FontTable::style_sheet() const {
    if (fonts_.isEmpty()) return {};
    // Style sheet fonts win over QWidget::setFont, so the table is expressed as rules: one for
    // every widget, one per font id for the widgets that name one.
    const QFont base = font(kDefault);
    QString css = QString("QWidget { font-family: \"%1\"; font-size: %2px; }\n")
                      .arg(base.family())
                      .arg(base.pixelSize());
    for (auto it = fonts_.begin(); it != fonts_.end(); ++it) {
        if (it.key() == kDefault) continue;
        css +=
            QString("*[fontid=\"%1\"] { font-size: %2px; font-weight: %3; text-decoration: %4; }\n")
                .arg(it.key())
                .arg(it->pixelSize())
                .arg(it->bold() ? "bold" : "normal")
                .arg(it->underline() ? "underline" : "none");
    }
    return css;
}

void FontTable::set_base_style_sheet(const QString& css) {
    base_css_ = css;
}

void FontTable::apply() const {
    if (fonts_.isEmpty() || !qApp) return;
    QApplication::setFont(font(kDefault));
    const QString css = base_css_ + "\n" + style_sheet();
    if (qApp->styleSheet() != css) qApp->setStyleSheet(css);
}

LanguageManager::LanguageManager(QString config_path, QString skin_folder, QString settings_path)
    : config_path_(std::move(config_path)),
      skin_folder_(std::move(skin_folder)),
      settings_path_(std::move(settings_path)) {}

QString LanguageManager::default_config_path() {
    return QString::fromStdString(default_data_folder()) + "Language.config";
}

QString LanguageManager::default_settings_path() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/" + title() +
           "/" + title() + ".conf";
}

int LanguageManager::index_from_registry() const {
    return language_index_from_registry(settings_path_, config_path_);
}

bool LanguageManager::apply_language(int index) {
    fonts_rebuilt_ = false;
    if (index == current_) return false;
    if (font_table_needs_rebuild(index, current_)) {
        fonts_.rebuild(available_face("Arial"));
        fonts_rebuilt_ = true;
    }
    current_ = index;
    const auto entries = read_language_config(config_path_);
    // An index past the list must not store a made-up id or blank the texts.
    if (entries && index >= 0 && size_t(index) < entries->size()) {
        const LanguageEntry& entry = (*entries)[size_t(index)];
        if (!texts().load_file(QDir(skin_folder_).filePath(entry.file)))
            debug_printf("language file not loaded: %s", entry.file.toUtf8().constData());
        store_language_id(entry.id);
    }
    for (QWidget* top : QApplication::topLevelWidgets()) retranslate(top);
    if (fonts_rebuilt_) fonts_.apply();
    return true;
}

bool LanguageManager::store_language_id(int id) const {
    QDir().mkpath(QFileInfo(settings_path_).absolutePath());
    QSettings settings(settings_path_, QSettings::IniFormat);
    settings.setValue("LANGUAGE", id);
    settings.sync();
    if (settings.status() != QSettings::NoError) return false;
    debug_line("写成功！");
    return true;
}

}  // namespace tellune::ui
