// The macro page on its own, built from its shipped layout: what the rows show and hold,
// what the edits accept, the editing areas following the selection, and the skin's texts and
// menu commands being complete.

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <fstream>
#include <memory>

#include "core/macro/macro_events.h"
#include "core/profile/json_file.h"
#include "test_support/temp_dir.h"
#include "ui/app/control_factory.h"
#include "ui/app/language.h"
#include "ui/app/main_wnd.h"
#include "ui/app/text_table.h"
#include "ui/macro/macro_control_ui.h"
#include "ui/macro/macro_editor.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

class MacroPage : public ::testing::Test {
protected:
    void SetUp() override {
        texts().clear();
        ASSERT_TRUE(texts().load_file(test::shipped_skin() + "lang/en.json"));
        register_macro_controls();
        ControlFactory factory(test::shipped_skin());
        root_.reset(factory.load_layout("XML/CustomControlXML/MacroControl.ui"));
        ASSERT_NE(root_, nullptr);
        page_ = qobject_cast<CMacroControlUI*>(root_.get());
        ASSERT_NE(page_, nullptr);
        page_->set_folder(dir_.path().string());
    }
    void TearDown() override {
        root_.reset();
        unregister_macro_controls();
        texts().clear();
    }
    QString shown(int n) {
        QWidget* row = page_->row_widget(n);
        if (!row) return {};
        return row->findChild<QLabel*>("macro_action_name")->text() + "|" +
               row->findChild<QLabel*>("macro_action_state")->text() + "|" +
               row->findChild<QLineEdit*>("macro_delay")->text();
    }
    template <class T = QWidget>
    T* find(const char* name) {
        return page_->findChild<T*>(QLatin1String(name));
    }
    void write_macro(const std::string& events) {
        page_->add_macro();
        std::ofstream(page_->library().macro_file(page_->selected_index()))
            << "{\"Events\": " << events << "}";
        page_->load_selected();
    }

    TempDir dir_;
    std::unique_ptr<QWidget> root_;
    CMacroControlUI* page_ = nullptr;
};

TEST_F(MacroPage, RowsShowEachKindOfEvent) {
    write_macro(R"([
        {"Action": "down", "Button": 4, "Type": 10, "Delay": "12"},
        {"Action": "up", "Button": 2, "Type": 9, "Delay": 70000},
        {"Action": "down", "Button": 8, "Type": 1, "Delay": "0"},
        {"Action": "up", "Button": 33, "Type": 4, "Delay": "5"},
        {"Action": "down", "Button": 7, "Type": 5},
        {"Action": "down", "Button": 1, "Type": 3, "Delay": "1"},
        "junk"])");
    ASSERT_EQ(page_->action_list()->count(), 7);
    EXPECT_EQ(shown(0), "A|Press|12");
    EXPECT_EQ(shown(1), "Left Shift|Release|65535");
    EXPECT_EQ(shown(2), "Back button|Press|0");
    EXPECT_EQ(shown(3), "Move right|33|5");
    EXPECT_EQ(shown(4), "Move up|7|0");
    EXPECT_EQ(shown(5), "||1");
    EXPECT_EQ(shown(6), "||0");
    auto style = [&](int n, const char* label) {
        return page_->row_widget(n)->findChild<QLabel*>(label)->property("macrostyle").toString();
    };
    EXPECT_EQ(style(0, "macro_action_name"), "macro_label_keyboard_style");
    EXPECT_EQ(style(2, "macro_action_name"), "macro_label_mouse_style");
    EXPECT_EQ(style(0, "macro_action_state"), "macro_label_down_style");
    EXPECT_EQ(style(1, "macro_action_state"), "macro_label_up_style");
    EXPECT_EQ(style(3, "macro_action_state"), "macro_label_text_style");
    EXPECT_EQ(page_->row_widget(0)->objectName(), "macro_action");
    EXPECT_EQ(page_->row_widget(0)->height(), CMacroControlUI::kRowHeight);

    // Saved back, the junk is an event without keys and the delays are texts.
    ASSERT_TRUE(page_->save_selected());
    const Json::Value events = read_json(page_->library().macro_file(0))["Events"];
    ASSERT_EQ(events.size(), 7u);
    EXPECT_EQ(events[1]["Delay"].asString(), "65535");
    EXPECT_EQ(events[4]["Delay"].asString(), "0");
    EXPECT_EQ(events[6]["Delay"].asString(), "0");
}

TEST_F(MacroPage, EditsTakeDigitsWithinTheirRanges) {
    write_macro(R"([{"Action": "down", "Button": 4, "Type": 10, "Delay": "7"}])");
    auto* delay = page_->row_widget(0)->findChild<QLineEdit*>("macro_delay");
    EXPECT_EQ(delay->maxLength(), 6);
    delay->selectAll();
    QTest::keyClicks(delay, "-6a5536");
    EXPECT_EQ(delay->text(), "6553");  // no sign, no letter, nothing above 65535
    QTest::keyClicks(delay, "5");
    EXPECT_EQ(delay->text(), "65535");
    EXPECT_EQ(page_->actions().row(0).delay_text, "65535");
    delay->selectAll();
    QTest::keyClick(delay, Qt::Key_Backspace);
    ASSERT_TRUE(page_->save_selected());
    EXPECT_EQ(delay->text(), "0");  // an emptied delay is saved as 0 and shows it
    EXPECT_EQ(read_json(page_->library().macro_file(0))["Events"][0]["Delay"].asString(), "0");

    auto* distance = find<QLineEdit>("mouse_y_down_edit");
    distance->clear();
    QTest::keyClicks(distance, "300");
    EXPECT_EQ(distance->text(), "30");
    page_->actions().select(0);
    ASSERT_TRUE(page_->insert_move(macro::kTypeMoveY, false));
    EXPECT_EQ(shown(1), "Move down|30|50");

    // The fixed delay is read when fixed recording starts.
    auto* fixed = find<QLineEdit>("macro_fixed_time_edit");
    EXPECT_EQ(fixed->text(), "50");
    fixed->setText("00120");
    page_->start_recording(macro::MacroRecorder::kAppend, macro::MacroRecorder::kFixed);
    EXPECT_EQ(fixed->text(), "120");
    EXPECT_EQ(page_->recorder().fixed_delay(), 120);
    page_->stop_recording();
    ASSERT_TRUE(page_->insert_button(macro::kButtonMiddle, true));
    EXPECT_EQ(shown(2), "Middle button|Press|120");
}

TEST_F(MacroPage, EditingNeedsAMacroWithAFile) {
    EXPECT_FALSE(find("macro_action_layout")->isEnabled());
    EXPECT_FALSE(find("mouse_move_layout")->isEnabled());
    EXPECT_FALSE(find("macro_btn_export")->isEnabled());
    EXPECT_FALSE(page_->insert_button(macro::kButtonLeft, true));
    page_->add_macro();
    EXPECT_TRUE(find("macro_action_layout")->isEnabled());
    EXPECT_TRUE(find("macro_btn_name_edit")->isEnabled());
    // An entry whose identifier leads nowhere shows but is not edited.
    std::ofstream(dir_.file("macro.config"))
        << R"({"MacroInfo": [{"MacroName": "odd", "Guid": "../x"}]})";
    page_->load_library();
    page_->select_macro(0);
    EXPECT_EQ(page_->name_list()->item(0)->text(), "odd");
    EXPECT_FALSE(find("macro_action_layout")->isEnabled());
    EXPECT_TRUE(find("macro_btn_name_sub")->isEnabled());
}

TEST_F(MacroPage, TheListFollowsTheRowsWithoutRebuilding) {
    std::string events = "[";
    for (int i = 0; i < 2100; ++i)
        events += std::string(i ? "," : "") + R"({"Action":"down","Button":4,"Type":10,"Delay":")" +
                  std::to_string(i) + "\"}";
    write_macro(events + "]");
    ASSERT_EQ(page_->action_list()->count(), macro::ActionList::kMaxRows);
    QWidget* kept = page_->row_widget(1500);
    page_->action_list()->setCurrentRow(1999);
    EXPECT_EQ(page_->actions().selected(), 1999);
    ASSERT_TRUE(page_->row_top());
    EXPECT_EQ(page_->action_list()->currentRow(), 0);
    EXPECT_EQ(shown(0), "A|Press|1999");
    EXPECT_EQ(page_->row_widget(1501), kept);  // the other rows stayed what they were
    // A full list takes no more rows.
    EXPECT_FALSE(page_->insert_button(macro::kButtonLeft, true));
    ASSERT_TRUE(page_->row_delete());
    EXPECT_EQ(page_->action_list()->currentRow(), -1);
    EXPECT_EQ(page_->action_list()->count(), macro::ActionList::kMaxRows - 1);
}

// Text ids of a menu file, submenus included.
void menu_ids(const QJsonArray& items, QStringList& ids, QStringList& commands) {
    for (const QJsonValue& v : items) {
        const QJsonObject o = v.toObject();
        if (o.contains("textid")) ids << o.value("textid").toString();
        if (o.contains("items"))
            menu_ids(o.value("items").toArray(), ids, commands);
        else if (o.contains("name"))
            commands << o.value("name").toString();
    }
}

TEST(MacroSkin, EveryTextIdExistsAndEveryMenuCommandIsRouted) {
    QStringList ids, commands;
    QFile layout(test::shipped_skin() + "XML/CustomControlXML/MacroControl.ui");
    ASSERT_TRUE(layout.open(QIODevice::ReadOnly));
    const QRegularExpression ui_id(
        R"re(name="(?:textid|tooltipid|placeholderid)" stdset="0"><string>([^<]+)<)re");
    const QString text = QString::fromUtf8(layout.readAll());
    for (auto it = ui_id.globalMatch(text); it.hasNext();) ids << it.next().captured(1);
    QFile menu(test::shipped_skin() + CMacroControlUI::kMenuFile);
    ASSERT_TRUE(menu.open(QIODevice::ReadOnly));
    menu_ids(QJsonDocument::fromJson(menu.readAll()).object().value("items").toArray(), ids,
             commands);
    for (const macro::MouseTableRow& row : macro::kMouseTable)
        ids << QString::fromUtf8(row.name.data(), int(row.name.size()));
    ids << "macro_record_global"
        << "macro_action_down"
        << "macro_action_up"
        << "macro_library_full"
        << "macro_import_too_large"
        << "macro_import_unreadable"
        << "macro_file_not_written";
    EXPECT_GT(ids.size(), 60);
    for (const char* file : {"lang/en.json", "lang/zh_CN.json"}) {
        TextTable table;
        ASSERT_TRUE(table.load_file(test::shipped_skin() + file));
        for (const QString& id : ids)
            EXPECT_TRUE(table.contains(id)) << file << " " << id.toStdString();
    }

    // The 22 commands of the row menu each reach a handler.
    TempDir dir;
    ScopedEnv program("TELLUNE_DATA_DIR", test::source_folder().toStdString());
    LanguageManager language(test::shipped_language_config(), test::shipped_skin(),
                             QString::fromStdString(dir.file("tellune.conf")));
    CMainWnd wnd(language);
    install_macro_editor(wnd, MacroEditor::PageList{});
    EXPECT_EQ(commands.size(), 22);
    for (const QString& c : commands)
        EXPECT_TRUE(wnd.routes("menu").match(c).has_value()) << c.toStdString();
    unregister_macro_controls();
}

}  // namespace
}  // namespace tellune::ui
