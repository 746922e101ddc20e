// Macros in the whole program over the emulated mouse, as a person makes them: a macro added,
// "Ctrl+C, 200 ms, Ctrl+V" typed while recording, a delay edited, a left click inserted from
// the row menu, rows reordered, the macro assigned to a mouse button and saved to the device;
// checked in the files, the key panel, the emulated mouse's key table and macro area (decoded,
// and byte for byte), also after a restart. Then deletes that move keys, renames, import and
// export, the global input source, and a device that goes away while recording.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSettings>
#include <QTest>

#include "core/device/macro_image.h"
#include "core/macro/macro_events.h"
#include "core/profile/json_file.h"
#include "emulator/products.h"
#include "program_test.h"
#include "test_support/wait.h"
#include "ui/app/evdev_source.h"
#include "ui/app/input_hook.h"
#include "ui/app/window_scale.h"
#include "ui/device/tarvex_devices.h"
#include "ui/editors/key_set_control_ui.h"
#include "ui/macro/macro_control_ui.h"
#include "ui/macro/macro_editor.h"
#include "ui/profile/device_profile_ui.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

using device::MacroEvent;
using device::MacroEvents;

// Linux key codes of the keys typed.
constexpr int kCtrl = 29, kC = 46, kV = 47, kA = 30;

class MacroEndToEnd : public test::ProgramTest {
protected:
    void SetUp() override { backend_->plug(mouse_); }
    void start() {
        open_window();
        ASSERT_SOON(page() && page()->Config().IsOpen() && page()->Protocol().has_key_table(),
                    10000);
        editor_ = wnd_->extension<MacroEditor>();
        ASSERT_NE(editor_, nullptr);
        editor_->set_message_function([this](QWidget*, const QString& text, bool, int) {
            messages_.push_back(text);
            return answer_;
        });
        editor_->set_path_chooser([this](QWidget*, bool) { return path_; });
        click("macro_Op_tab");
        wnd_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(wnd_.get()));
        control()->set_clock([this] { return now_; });
    }
    CTarvexMouseDevice* page() const { return shown_page<CTarvexMouseDevice>(); }
    CMacroControlUI* control() const { return find_macro_control(page()); }
    // A key as the desktop delivers it to the focused window (native code = evdev code + 8),
    // `after` milliseconds after the previous one.
    void key(int evdev, bool down, int after = 0) {
        now_ += after;
        const size_t rows = size_t(control()->actions().size());
        QKeyEvent e(down ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier,
                    quint32(evdev + 8), 0, 0);
        QApplication::sendEvent(
            QApplication::focusWidget() ? QApplication::focusWidget() : wnd_.get(), &e);
        // The stroke is handled (and timed) before the clock moves on.
        ASSERT_SOON(size_t(control()->actions().size()) > rows, 2000);
    }
    // The same, without waiting: the stroke may be one another source already reported.
    void key_now(int evdev, bool down) {
        QKeyEvent e(down ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier,
                    quint32(evdev + 8), 0, 0);
        QApplication::sendEvent(
            QApplication::focusWidget() ? QApplication::focusWidget() : wnd_.get(), &e);
    }
    void start_recording() {
        click("macro_btn_starredio");
        ASSERT_SOON(wnd_->input_hook_installed(), 2000);
    }
    int rows() { return control()->actions().size(); }
    // "name|action|delay" of row n as the page shows it.
    QString shown(int n) {
        QWidget* row = control()->row_widget(n);
        if (!row) return {};
        return row->findChild<QLabel*>("macro_action_name")->text() + "|" +
               row->findChild<QLabel*>("macro_action_state")->text() + "|" +
               row->findChild<QLineEdit*>("macro_delay")->text();
    }
    void select_row(int n) { control()->action_list()->setCurrentRow(n); }
    void select_macro(int n) { control()->name_list()->setCurrentRow(n); }
    void menu(const QString& command) {
        QWidget* row = control()->row_widget(control()->actions().selected());
        ASSERT_NE(row, nullptr);
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5), row->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(row, &e);
        ASSERT_NE(editor_->action_menu(), nullptr);
        auto* action = editor_->action_menu()->findChild<QAction*>(command);
        ASSERT_NE(action, nullptr) << command.toStdString();
        action->trigger();
        editor_->action_menu()->close();
        QCoreApplication::processEvents();  // the command is posted
    }
    void choose_function(int function_page) {
        auto* functions = find<QComboBox>("keyset_function_combo");
        functions->setCurrentIndex(functions->findData(QString::number(function_page)));
    }
    // Key n plays macro `index` (mode 0), saved to the device.
    void assign(int key_n, int index) {
        click("key_Op_tab");
        click(QStringLiteral("key_%1").arg(key_n));
        choose_function(device::kPageMacro);
        find<QComboBox>("keyset_macro_combo")->setCurrentIndex(index);
        find<QComboBox>("keyset_macro_over_combo")->setCurrentIndex(0);
        click("key_butt_prosave");
        click("macro_Op_tab");
    }
    std::vector<uint8_t> slot(int n) const {
        const std::vector<uint8_t> t = mouse_->key_table();
        return {t.begin() + 3 * n, t.begin() + 3 * n + 3};
    }
    std::vector<MacroEvents> device_macros() const {
        const auto decoded = device::decode_macro_image(mouse_->macro_area());
        return decoded ? *decoded : std::vector<MacroEvents>{};
    }
    std::string folder() const { return page()->UserDataFolder(); }
    bool enabled(const char* name) { return wnd_->findChild<QWidget*>(name)->isEnabled(); }

    std::shared_ptr<emulator::EmulatedDevice> mouse_ = emulator::make_mouse();
    MacroEditor* editor_ = nullptr;
    std::vector<QString> messages_;
    int answer_ = 1;
    QString path_;
    int64_t now_ = 5'000'000;
};

// Left click, then Ctrl+C, 250 ms (edited from 200), Ctrl+V.
const MacroEvents kExpected = {{50, 0x81, 1},    {50, 0x01, 1},  {30, 0x89, 1}, {60, 0x8A, 6},
                               {20, 0x0A, 6},    {250, 0x09, 1}, {25, 0x89, 1}, {70, 0x8A, 0x19},
                               {15, 0x0A, 0x19}, {0, 0x09, 1}};

TEST_F(MacroEndToEnd, RecordedEditedAssignedWrittenAndKeptAcrossARestart) {
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_FALSE(find("macro_action_layout")->isEnabled());  // no macro yet
    click("macro_btn_name_add");
    ASSERT_EQ(control()->name_list()->count(), 1);
    EXPECT_EQ(control()->name_list()->item(0)->text(), "macro_1");
    EXPECT_EQ(control()->name_list()->currentRow(), 0);
    EXPECT_TRUE(find("macro_action_layout")->isEnabled());
    EXPECT_EQ(find<QComboBox>("keyset_macro_combo")->count(), 1);  // the key panel follows

    start_recording();
    EXPECT_FALSE(find("macro_btn_starredio")->isVisible());
    EXPECT_TRUE(find("macro_btn_stopredio")->isVisible());
    EXPECT_FALSE(enabled("device_select_layout"));
    EXPECT_FALSE(find("DeviceProfileItem")->isEnabled());
    EXPECT_FALSE(find_key_set_control(page())->isEnabled());
    EXPECT_FALSE(find("macro_tab_macroaction_edit")->isEnabled());

    key(kCtrl, true, 10);
    key(kC, true, 30);
    key(kC, false, 60);
    key(kCtrl, false, 20);
    key(kCtrl, true, 200);
    key(kV, true, 25);
    key(kV, false, 70);
    key(kCtrl, false, 15);
    // Clicking Stop records nothing for that click.
    QTest::mouseClick(find("macro_btn_stopredio"), Qt::LeftButton);
    ASSERT_SOON(!wnd_->input_hook_installed(), 2000);
    QTest::qWait(20);
    ASSERT_EQ(rows(), 8);
    EXPECT_FALSE(control()->recording());
    EXPECT_TRUE(enabled("device_select_layout"));
    EXPECT_TRUE(find("DeviceProfileItem")->isEnabled());
    EXPECT_TRUE(find_key_set_control(page())->isEnabled());
    EXPECT_EQ(shown(0), "Left Ctrl|Press|30");
    EXPECT_EQ(shown(3), "Left Ctrl|Release|200");
    EXPECT_EQ(shown(7), "Left Ctrl|Release|0");
    // Saved at Stop, and the device got it.
    const std::string file = control()->library().macro_file(0);
    EXPECT_EQ(read_json(file)["Events"][3]["Delay"].asString(), "200");
    ASSERT_EQ(device_macros().size(), 1u);
    EXPECT_EQ(device_macros()[0].size(), 8u);

    // The delay of row 3 typed over, then the edit left: saved.
    auto* delay = control()->row_widget(3)->findChild<QLineEdit*>("macro_delay");
    delay->setFocus();
    delay->selectAll();
    QTest::keyClicks(delay, "250x");  // the letter is not taken
    find("macro_btn_save")->setFocus();
    ASSERT_SOON(read_json(file)["Events"][3]["Delay"].asString() == "250", 2000);

    // A left click from the row menu lands after the selected last row.
    select_row(7);
    menu("left_click");
    ASSERT_SOON(rows() == 10, 2000);
    EXPECT_EQ(shown(8), "Left button|Press|50");
    EXPECT_EQ(shown(9), "Left button|Release|50");
    EXPECT_EQ(control()->actions().selected(), 9);

    // The click goes first: press to the top, release to the top, then one down.
    select_row(8);
    click("macro_btn_uptop");
    select_row(9);
    click("macro_btn_uptop");
    click("macro_btn_down");
    EXPECT_EQ(control()->actions().selected(), 1);
    EXPECT_EQ(shown(0), "Left button|Press|50");
    EXPECT_EQ(shown(1), "Left button|Release|50");
    EXPECT_EQ(shown(2), "Left Ctrl|Press|30");

    // Side button 1 plays the macro.
    assign(3, 0);
    EXPECT_EQ(slot(3), (std::vector<uint8_t>{0x70, 0x00, 0x00}));
    ASSERT_EQ(device_macros().size(), 1u);
    EXPECT_EQ(device_macros()[0], kExpected);
    // The image byte for byte: header (L = 16 + 6 + 40 = 62, one macro), its offset, its
    // record: 10 events of delay, type with bit 7 for a press, button.
    const std::vector<uint8_t> image = {
        0xAA, 0x55, 0x3E, 0x00, 0x01, 0x00, 0,    0,    0,    0,    0,    0,
        0,    0,    0,    0,                                                     // header
        0x12, 0x00,                                                              // offset 18
        0x0A, 0x00, 0x00, 0x00,                                                  // 10 events
        0x32, 0x00, 0x81, 0x01, 0x32, 0x00, 0x01, 0x01,                          // left click
        0x1E, 0x00, 0x89, 0x01, 0x3C, 0x00, 0x8A, 0x06, 0x14, 0x00, 0x0A, 0x06,  // Ctrl+C
        0xFA, 0x00, 0x09, 0x01,                                                  // 250 ms
        0x19, 0x00, 0x89, 0x01, 0x46, 0x00, 0x8A, 0x19, 0x0F, 0x00, 0x0A, 0x19,  // Ctrl+V
        0x00, 0x00, 0x09, 0x01};
    const std::vector<uint8_t> area = mouse_->macro_area();
    EXPECT_EQ(std::vector<uint8_t>(area.begin(), area.begin() + long(image.size())), image);

    // Everything is still there after a restart.
    close_window();
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_EQ(control()->name_list()->count(), 1);
    select_macro(0);
    ASSERT_EQ(rows(), 10);
    EXPECT_EQ(shown(5), "Left Ctrl|Release|250");
    EXPECT_EQ(slot(3), (std::vector<uint8_t>{0x70, 0x00, 0x00}));
    EXPECT_EQ(device_macros()[0], kExpected);
    click("key_Op_tab");
    click("key_3");
    EXPECT_EQ(find_key_set_control(page())->shown_page(), device::kPageMacro);
    EXPECT_EQ(find<QComboBox>("keyset_macro_combo")->currentText(), "macro_1");

    // Export and import round-trip the file.
    click("macro_Op_tab");
    path_ = QString::fromStdString(dir_.file("shared.mac"));
    click("macro_btn_export");
    EXPECT_EQ(read_json(path_.toStdString())["Events"].size(), 10u);
    click("macro_btn_import");
    ASSERT_EQ(control()->name_list()->count(), 2);
    EXPECT_EQ(control()->name_list()->item(1)->text(), "macro_2");
    EXPECT_EQ(control()->name_list()->currentRow(), 1);
    EXPECT_EQ(rows(), 10);
    EXPECT_EQ(shown(5), "Left Ctrl|Release|250");
    ASSERT_EQ(device_macros().size(), 2u);
    EXPECT_EQ(device_macros()[1], kExpected);
    EXPECT_EQ(find<QComboBox>("keyset_macro_combo")->count(), 2);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(MacroEndToEnd, DeletingAMacroMovesTheKeysOnTheDeviceToo) {
    ASSERT_NO_FATAL_FAILURE(start());
    for (int i = 0; i < 3; ++i) {
        click("macro_btn_name_add");
        // Each macro gets a move of i + 1 counts to the left.
        find<QLineEdit>("mouse_x_left_edit")->setText(QString::number(i + 1));
        click("macro_inset_moveleftkey_btn");
    }
    ASSERT_EQ(device_macros().size(), 3u);
    assign(3, 2);  // side button 1 plays macro_3
    assign(4, 1);  // side button 2 plays macro_2
    EXPECT_EQ(slot(3), (std::vector<uint8_t>{0x70, 0x02, 0x00}));
    EXPECT_EQ(slot(4), (std::vector<uint8_t>{0x70, 0x01, 0x00}));

    // Declined at the first question: nothing happens.
    select_macro(1);
    answer_ = 0;
    click("macro_btn_name_sub");
    EXPECT_EQ(messages_, (std::vector<QString>{"message_text_4"}));
    EXPECT_EQ(control()->name_list()->count(), 3);

    messages_.clear();
    answer_ = 1;
    click("macro_btn_name_sub");
    // Asked again because a key still plays it.
    EXPECT_EQ(messages_, (std::vector<QString>{"message_text_4", "message_text_2"}));
    ASSERT_EQ(control()->name_list()->count(), 2);
    EXPECT_EQ(control()->name_list()->item(1)->text(), "macro_3");
    EXPECT_EQ(control()->selected_index(), -1);
    EXPECT_EQ(rows(), 0);
    EXPECT_FALSE(find("macro_btn_name_sub")->isEnabled());
    // Side button 2 is back to its own function, side button 1 follows macro_3 to index 1.
    EXPECT_EQ(slot(4), (std::vector<uint8_t>{0x10, 0x08, 0x00}));
    EXPECT_EQ(slot(3), (std::vector<uint8_t>{0x70, 0x01, 0x00}));
    const std::vector<MacroEvents> macros = device_macros();
    ASSERT_EQ(macros.size(), 2u);
    EXPECT_EQ(macros[1], (MacroEvents{{50, 0x84, 3}}));  // macro_3's move, now second
    EXPECT_EQ(find<QComboBox>("keyset_macro_combo")->count(), 2);
    const Json::Value keys =
        read_json(find_profile_bar(page())->selected_profile_file())["Device"][0]["KeyList"];
    EXPECT_EQ(keys[3]["Assignment"].asInt(), 0x700100);
    EXPECT_EQ(keys[4]["Assignment"].asInt(), 0x100800);
}

TEST_F(MacroEndToEnd, RenameRefusalsAndTheKeyPanelFollowing) {
    ASSERT_NO_FATAL_FAILURE(start());
    click("macro_btn_name_add");
    click("macro_btn_name_add");
    select_macro(0);
    auto* name = find<QLineEdit>("macro_edit_macroname");
    name->setText("   ");
    click("macro_btn_name_edit");
    name->setText("MACRO_2");
    click("macro_btn_name_edit");
    name->setText("Macro_1");  // its own name in other letter case
    click("macro_btn_name_edit");
    EXPECT_EQ(messages_,
              (std::vector<QString>{"message_text_25", "message_text_5", "message_text_5"}));
    EXPECT_EQ(name->text(), "Macro_1");
    name->setText("Reload");
    click("macro_btn_name_edit");
    EXPECT_EQ(name->text(), "");
    EXPECT_EQ(control()->name_list()->item(0)->text(), "Reload");
    EXPECT_EQ(find<QComboBox>("keyset_macro_combo")->itemText(0), "Reload");
    EXPECT_EQ(read_json(folder() + "macro.config")["MacroInfo"][0]["MacroName"].asString(),
              "Reload");
    // Rename writes the macros and the keys again.
    EXPECT_GE(mouse_->command_count(0x09), 1u);
    EXPECT_EQ(messages_.size(), 3u);
}

// The fixed-delay choice is kept for the next start; a bad value stored by hand reads clamped.
TEST_F(MacroEndToEnd, TheFixedDelayChoiceIsKeptAcrossARestart) {
    ASSERT_NO_FATAL_FAILURE(start());
    click("macro_btn_name_add");
    auto* check = find<QAbstractButton>("macro_check_time");
    auto* edit = find<QLineEdit>("macro_fixed_time_edit");
    ASSERT_FALSE(check->isChecked());
    edit->setText("75");
    check->click();
    ASSERT_TRUE(check->isChecked());
    // Recording with the choice gives the fixed delay on every row.
    start_recording();
    key(kA, true, 500);
    key(kA, false, 20);
    QTest::mouseClick(find("macro_btn_stopredio"), Qt::LeftButton);
    ASSERT_SOON(!wnd_->input_hook_installed(), 2000);
    EXPECT_EQ(shown(0), "A|Press|75");
    EXPECT_EQ(shown(1), "A|Release|75");

    close_window();
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_TRUE(find<QAbstractButton>("macro_check_time")->isChecked());
    EXPECT_EQ(find<QLineEdit>("macro_fixed_time_edit")->text(), "75");
    // Unchecked again (with a macro chosen: without one the recording row is disabled), and
    // a hand-edited file with a delay beyond the range.
    select_macro(0);
    click("macro_check_time");
    ASSERT_SOON(QSettings(CMacroControlUI::settings_path(), QSettings::IniFormat)
                        .value("MACRO_mouse/FIXEDDELAY")
                        .toString() == "0",
                2000);
    close_window();
    {
        QSettings ini(CMacroControlUI::settings_path(), QSettings::IniFormat);
        ASSERT_EQ(ini.value("MACRO_mouse/FIXEDDELAY").toString(), "0");
        ini.setValue("MACRO_mouse/FIXEDTIME", "99999x");
    }
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_FALSE(find<QAbstractButton>("macro_check_time")->isChecked());
    EXPECT_EQ(find<QLineEdit>("macro_fixed_time_edit")->text(), "65535");
}

TEST_F(MacroEndToEnd, InsertingBeforeTheThirdRowFromAnotherWindowCountsEachStrokeOnce) {
    // The global source reads a pipe standing in for a keyboard's evdev node.
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
    ASSERT_NO_FATAL_FAILURE(start());
    auto* service = dynamic_cast<InputHookService*>(wnd_->input_hook());
    ASSERT_NE(service, nullptr);
    EXPECT_FALSE(service->has_global_source());
    EXPECT_EQ(find<QLabel>("macro_record_scope_hint")->text(), texts().text("macro_record_window"));
    bool opened = false;
    service->add_source(std::make_unique<EvdevInputSource>([&] {
        std::vector<int> out;
        if (!opened) out.push_back(fds[0]);
        opened = true;
        return out;
    }));
    auto send = [&](uint16_t code, int value) {
        input_event e{};
        e.type = EV_KEY;
        e.code = code;
        e.value = value;
        ASSERT_EQ(::write(fds[1], &e, sizeof e), ssize_t(sizeof e));
    };

    click("macro_btn_name_add");
    for (int i = 0; i < 4; ++i) click("macro_inset_moveupkey_btn");
    ASSERT_EQ(rows(), 4);
    select_row(2);
    menu("redio_previous_ignore_time");
    ASSERT_SOON(wnd_->input_hook_installed(), 2000);
    // A: seen by both sources (typed into this window). B: another window had the focus.
    send(KEY_A, 1);
    ASSERT_SOON(rows() == 5, 2000);
    key_now(kA, true);
    send(KEY_A, 0);
    ASSERT_SOON(rows() == 6, 2000);
    QTest::qWait(30);
    EXPECT_EQ(rows(), 6);
    key_now(kA, false);  // the window's report of the release comes late: the same stroke
    send(KEY_B, 1);
    ASSERT_SOON(rows() == 7, 2000);
    // A click elsewhere in the window counts; it arrives through both sources as well.
    send(BTN_LEFT, 1);
    QTest::mousePress(find("macro_names_title"), Qt::LeftButton);
    ASSERT_SOON(rows() == 8, 2000);
    QTest::qWait(30);
    EXPECT_EQ(rows(), 8);
    QTest::mouseClick(find("macro_btn_stopredio"), Qt::LeftButton);
    ASSERT_SOON(!wnd_->input_hook_installed(), 2000);
    QTest::mouseRelease(find("macro_names_title"), Qt::LeftButton);
    QTest::qWait(20);
    ASSERT_EQ(rows(), 8);
    EXPECT_EQ(shown(2), "A|Press|0");
    EXPECT_EQ(shown(3), "A|Release|0");
    EXPECT_EQ(shown(4), "B|Press|0");
    EXPECT_EQ(shown(5), "Left button|Press|0");
    EXPECT_EQ(shown(6), "Move up|10|50");  // the former third row, still selected
    EXPECT_EQ(control()->actions().selected(), 6);
    ::close(fds[1]);
}

TEST_F(MacroEndToEnd, UnpluggingWhileRecordingStopsAndUnlocks) {
    ASSERT_NO_FATAL_FAILURE(start());
    click("macro_btn_name_add");
    start_recording();
    key(kA, true, 40);
    CMacroControlUI* recording = control();
    backend_->unplug(mouse_);
    ASSERT_SOON(!wnd_->input_hook_installed() && !recording->recording(), 5000);
    EXPECT_FALSE(recording->findChild<QWidget*>("macro_btn_stopredio")->isVisibleTo(recording));
    EXPECT_TRUE(recording->findChild<QWidget*>("macro_btn_starredio")->isVisibleTo(recording));
    EXPECT_TRUE(enabled("device_select_layout"));
    EXPECT_EQ(recording->library().load_selected_events().size(), 1u);  // saved at the stop
}

// At the window's normal and at a large size every control of the page is on screen and usable.
// With TELLUNE_SCREENSHOT_DIR set, the page is saved as a picture at each size.
TEST_F(MacroEndToEnd, EveryControlIsOnScreenAtBothSizes) {
    const QString shots = screenshot_folder();
    ASSERT_NO_FATAL_FAILURE(start());
    click("macro_btn_name_add");
    click("macro_btn_name_add");
    start_recording();
    key(kCtrl, true, 10);
    key(kC, true, 30);
    key(kC, false, 60);
    key(kCtrl, false, 20);
    QTest::mouseClick(find("macro_btn_stopredio"), Qt::LeftButton);
    ASSERT_SOON(!wnd_->input_hook_installed(), 2000);
    select_row(3);
    menu("left_click");
    ASSERT_SOON(rows() == 6, 2000);
    const std::vector<QString> names = {"macro_name_list",       "macro_btn_name_add",
                                        "macro_btn_name_sub",    "macro_btn_import",
                                        "macro_btn_export",      "macro_edit_macroname",
                                        "macro_btn_name_edit",   "macro_action_list",
                                        "macro_btn_uptop",       "macro_btn_up",
                                        "macro_btn_down",        "macro_btn_downbottom",
                                        "macro_btn_delete",      "macro_btn_deleteall",
                                        "macro_btn_cancel",      "macro_btn_save",
                                        "macro_btn_starredio",   "macro_check_time",
                                        "macro_fixed_time_edit", "macro_record_scope_hint",
                                        "mouse_x_left_edit",     "macro_inset_moveleftkey_btn",
                                        "mouse_y_down_edit",     "macro_inset_movedownkey_btn"};
    // The window's own size at 96 dots per inch, a small screen and a large one.
    for (const QSize size : {QSize(kMainWidth, kMainHeight), QSize(1280, 720), QSize(1920, 1080)}) {
        wnd_->resize(size);
        wnd_->show();
        QApplication::processEvents();
        expect_whole_on_screen(names, QString::number(size.width()));
        // Each number box shows its widest value whole (not scrolled inside the box).
        for (const auto& [name, widest] :
             {std::pair{"mouse_x_left_edit", "255"}, std::pair{"mouse_y_down_edit", "255"},
              std::pair{"macro_fixed_time_edit", "65535"}}) {
            auto* edit = find<QLineEdit>(name);
            const QString before = edit->text();
            edit->setText(widest);
            edit->end(false);
            QApplication::processEvents();
            EXPECT_EQ(edit->cursorPositionAt(QPoint(2, edit->height() / 2)), 0) << name;
            edit->setText(before);
        }
        // A row shows its name, action and delay in full.
        QWidget* row = control()->row_widget(0);
        EXPECT_GE(row->findChild<QLabel*>("macro_action_name")->width(), 150);
        EXPECT_TRUE(row->findChild<QLineEdit*>("macro_delay")->isVisible());
        if (!shots.isEmpty())
            wnd_->grab().save(shots + QStringLiteral("/macro_%1.png").arg(size.width()));
    }
    if (!shots.isEmpty()) {
        select_row(1);
        QWidget* row = control()->row_widget(1);
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5),
                            row->mapToGlobal(QPoint(40, 15)));
        QApplication::sendEvent(row, &e);
        QApplication::processEvents();
        if (QMenu* m = editor_->action_menu()) {
            m->popup(row->mapToGlobal(QPoint(60, 15)));
            QApplication::processEvents();
            m->grab().save(shots + "/macro_menu.png");
            m->close();
        }
    }
}

}  // namespace
}  // namespace tellune::ui
