#include "ui/app/language.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QVBoxLayout>

#include "test_support/temp_dir.h"
#include "ui/app/text_table.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

void write_file(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = QString::fromStdString(dir_.path().string()) + "/";
        skin_ = root_ + "skin/";
        config_ = root_ + "Language.config";
        settings_ = root_ + "config/tellune.conf";
        // Sixteen languages: even ones English-like, odd ones Chinese-like texts.
        QJsonArray list;
        for (int i = 0; i < 16; ++i) {
            const QString file = QString("lang/l%1.json").arg(i);
            list.append(QJsonObject{{"Language_name", QString("lang%1").arg(i)},
                                    {"Language_file", file},
                                    {"Language_ID", 3000 + i}});
            write_file(skin_ + file,
                       QJsonDocument(QJsonObject{{"hello", QString("hello %1").arg(i)},
                                                 {"tip", QString("tip %1").arg(i)}})
                           .toJson());
        }
        write_file(config_, QJsonDocument(QJsonObject{{"Language", list}}).toJson());
        texts().clear();
    }
    void TearDown() override { texts().clear(); }

    void store(const QVariant& value) {
        QDir().mkpath(root_ + "config");
        QSettings s(settings_, QSettings::IniFormat);
        s.setValue("LANGUAGE", value);
    }

    TempDir dir_;
    QString root_, skin_, config_, settings_;
};

TEST_F(LanguageTest, StoredIdPicksTheFirstMatchingLanguage) {
    EXPECT_EQ(language_index_from_registry(settings_, config_), 0);  // no settings yet
    store(3005);
    EXPECT_EQ(language_index_from_registry(settings_, config_), 5);
    store(4242);  // matches nothing
    EXPECT_EQ(language_index_from_registry(settings_, config_), 0);
    store("not a number");
    EXPECT_EQ(language_index_from_registry(settings_, config_), 0);
    write_file(config_, "{ \"Language\": [ broken");
    store(3005);
    EXPECT_EQ(language_index_from_registry(settings_, config_), 0);
}

TEST_F(LanguageTest, SettingsWithoutAChoiceReadThePresetValue) {
    write_file(config_, R"({"Language": [{"Language_ID": 1}, {"Language_ID": 520},
                                         {"Language_ID": 520}]})");
    store(1);
    QSettings(settings_, QSettings::IniFormat).remove("LANGUAGE");
    EXPECT_EQ(language_index_from_registry(settings_, config_), 1);
}

TEST_F(LanguageTest, ConfigMembersOfTheWrongTypeReadAsEmpty) {
    write_file(config_, R"({"Language": [{"Language_name": 5, "Language_file": [],
                                          "Language_ID": "7"}, 3]})");
    const auto entries = read_language_config(config_);
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 2u);
    EXPECT_EQ((*entries)[0].name, "");
    EXPECT_EQ((*entries)[0].file, "");
    EXPECT_EQ((*entries)[0].id, 0);
    EXPECT_FALSE(read_language_config(root_ + "missing.config").has_value());
}

TEST_F(LanguageTest, FontTableRule) {
    EXPECT_FALSE(font_table_needs_rebuild(4, 3));
    EXPECT_FALSE(font_table_needs_rebuild(1, 3));
    EXPECT_TRUE(font_table_needs_rebuild(15, 3));
    EXPECT_TRUE(font_table_needs_rebuild(3, 15));
    EXPECT_TRUE(font_table_needs_rebuild(3, -1));
    EXPECT_TRUE(font_table_needs_rebuild(3, 0));
    EXPECT_TRUE(font_table_needs_rebuild(3, 2));
    EXPECT_TRUE(font_table_needs_rebuild(0, 3));
    EXPECT_TRUE(font_table_needs_rebuild(2, 7));
}

TEST_F(LanguageTest, ApplyRebuildsFontsOnlyWhenTheRuleSays) {
    LanguageManager lang(config_, skin_, settings_);
    EXPECT_TRUE(lang.apply_language(3));
    EXPECT_TRUE(lang.fonts_rebuilt());  // from "none"
    EXPECT_EQ(lang.fonts().font(FontTable::kDefault).pixelSize(), 14);
    EXPECT_EQ(lang.fonts().font(50).pixelSize(), 18);
    EXPECT_TRUE(lang.fonts().font(50).bold());
    EXPECT_TRUE(lang.fonts().font(1).underline());
    EXPECT_EQ(lang.fonts().font(3).pixelSize(), 30);
    EXPECT_EQ(lang.fonts().font(999).pixelSize(), 14);  // unknown id: the default

    EXPECT_TRUE(lang.apply_language(4));
    EXPECT_FALSE(lang.fonts_rebuilt());
    EXPECT_TRUE(lang.apply_language(15));
    EXPECT_TRUE(lang.fonts_rebuilt());
    EXPECT_TRUE(lang.apply_language(3));
    EXPECT_TRUE(lang.fonts_rebuilt());
    EXPECT_FALSE(lang.apply_language(3));  // already current
    EXPECT_FALSE(lang.fonts_rebuilt());
    EXPECT_EQ(lang.current_index(), 3);
}

TEST_F(LanguageTest, FontSizesFollowTheScale) {
    FontTable table;
    table.set_scale(144);
    table.rebuild("Arial");
    EXPECT_EQ(table.font(FontTable::kDefault).pixelSize(), 21);
    EXPECT_EQ(table.font(3).pixelSize(), 45);
    table.set_scale(96);
    EXPECT_EQ(table.font(3).pixelSize(), 30);
    EXPECT_FALSE(available_face("Arial").isEmpty());
    EXPECT_EQ(available_face("No Such Face 12345"), available_face("No Such Face 67890"));
}

TEST_F(LanguageTest, ApplyStoresTheIdAndReResolvesTextIds) {
    QWidget window;
    auto* label = new QLabel(&window);
    label->setProperty("textid", "hello");
    auto* button = new QPushButton(&window);
    button->setProperty("tooltipid", "tip");
    auto* plain = new QLabel("fixed", &window);

    LanguageManager lang(config_, skin_, settings_);
    test::DebugCapture debug;
    lang.apply_language(2);
    EXPECT_EQ(label->text(), "hello 2");
    EXPECT_EQ(button->toolTip(), "tip 2");
    EXPECT_EQ(plain->text(), "fixed");
    EXPECT_TRUE(debug.contains("写成功！"));
    EXPECT_EQ(QSettings(settings_, QSettings::IniFormat).value("LANGUAGE").toInt(), 3002);
    EXPECT_EQ(lang.index_from_registry(), 2);

    lang.apply_language(7);
    EXPECT_EQ(label->text(), "hello 7");
    EXPECT_EQ(button->toolTip(), "tip 7");
}

TEST_F(LanguageTest, LanguageOutsideTheListChangesNothingStored) {
    LanguageManager lang(config_, skin_, settings_);
    lang.apply_language(1);
    test::DebugCapture debug;
    lang.apply_language(40);
    EXPECT_EQ(lang.current_index(), 40);
    EXPECT_EQ(texts().text("hello"), "hello 1");
    EXPECT_FALSE(debug.contains("写成功！"));
    EXPECT_EQ(QSettings(settings_, QSettings::IniFormat).value("LANGUAGE").toInt(), 3001);
}

TEST_F(LanguageTest, HostileLanguageFilesKeepTheCurrentTexts) {
    TextTable table;
    ASSERT_TRUE(table.load_json(R"({"a": "A", "n": 5, "o": {"x": 1}})"));
    EXPECT_EQ(table.text("a"), "A");
    EXPECT_EQ(table.text("n"), "n");  // not a text: the id shows
    EXPECT_FALSE(table.load_json(R"(["a", "b"])"));
    EXPECT_FALSE(table.load_json("\xff\xfe garbage"));
    EXPECT_FALSE(table.load_file(root_ + "missing.json"));
    EXPECT_EQ(table.text("a"), "A");
    EXPECT_EQ(table.size(), 1);
}

// Every text id the shipped layouts and menu use exists in both shipped languages, and the
// two files define the same ids.
TEST(ShippedLanguageTest, FilesCoverEveryTextIdOfTheSkin) {
    const auto entries = read_language_config(test::shipped_language_config());
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 2u);
    std::vector<QSet<QString>> keys;
    for (const LanguageEntry& e : *entries) {
        QFile f(test::shipped_skin() + e.file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << e.file.toStdString();
        const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
        ASSERT_FALSE(o.isEmpty()) << e.file.toStdString();
        const QStringList k = o.keys();
        keys.emplace_back(k.begin(), k.end());
    }
    EXPECT_EQ(keys[0], keys[1]);

    QStringList used;
    const QRegularExpression ui_id(
        R"re(name="(?:textid|tooltipid|placeholderid)" stdset="0">\s*<string>([^<]+)<)re");
    for (const char* layout : {"XML/main.ui", "XML/msg.ui"}) {
        QFile f(test::shipped_skin() + layout);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        for (auto it = ui_id.globalMatch(text); it.hasNext();) used << it.next().captured(1);
    }
    QFile menu(test::shipped_skin() + "XML/Menus/menu.json");
    ASSERT_TRUE(menu.open(QIODevice::ReadOnly));
    for (const QJsonValue& v :
         QJsonDocument::fromJson(menu.readAll()).object().value("items").toArray())
        if (v.toObject().contains("textid")) used << v.toObject().value("textid").toString();
    used << "control_light_status_on"
         << "control_light_status_off"
         << "about_title"
         << "about_text"
         << "about_version"
         << "about_close";
    EXPECT_GT(used.size(), 20);
    for (const QString& id : used) EXPECT_TRUE(keys[0].contains(id)) << id.toStdString();
}

}  // namespace
}  // namespace tellune::ui
