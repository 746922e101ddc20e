// Recoil patterns in the whole program over the emulated mouse, as a person edits them: a gun
// and a bullet picked, its numbers typed, checked in the file event by event and in the drawn
// path; clamping at the ends, text that is no number, a refused import, export and import,
// reset, the download to the mouse (decoded back out of its shoot area, and a failing one),
// a restart, and the page's size on small and large screens.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "core/device/macro_image.h"
#include "core/platform/platform.h"
#include "core/profile/json_file.h"
#include "core/shoot/shoot_data.h"
#include "emulator/products.h"
#include "program_test.h"
#include "test_support/wait.h"
#include "ui/app/messages.h"
#include "ui/app/window_scale.h"
#include "ui/device/mouse_device.h"
#include "ui/macro/macro_control_ui.h"
#include "ui/shoot/shoot_control_ui.h"
#include "ui/shoot/shoot_editor.h"

namespace tellune::ui {
namespace {

std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

Json::Value event(const char* action, int button, int delay, int type) {
    Json::Value e(Json::objectValue);
    e["Action"] = action;
    e["Button"] = button;
    e["Delay"] = delay;
    e["Type"] = type;
    return e;
}

class ShootEndToEnd : public test::ProgramTest {
protected:
    void SetUp() override { backend_->plug(mouse_); }
    void start() {
        open_window();
        ASSERT_SOON(page() && page()->Config().IsOpen() && page()->Protocol().has_key_table(),
                    10000);
        editor_ = wnd_->extension<ShootEditor>();
        ASSERT_NE(editor_, nullptr);
        editor_->set_message_function([this](QWidget*, const QString& text, bool, int) {
            messages_.push_back(text);
            return 1;
        });
        editor_->set_path_chooser([this](QWidget*, bool save) {
            (save ? saves_ : opens_)++;
            return path_;
        });
        ASSERT_NE(control(), nullptr);
        ASSERT_TRUE(control()->controls_found());
        ASSERT_TRUE(control()->has_folders());
        click("shoot_Op_tab");
        wnd_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(wnd_.get()));
        ASSERT_TRUE(find("ShootControlItem")->isVisible());
    }
    CTarvexMouseDevice* page() const { return shown_page<CTarvexMouseDevice>(); }
    CShootControlUI* control() const { return find_shoot_control(page()); }
    QLineEdit* edit(const char* name) { return find<QLineEdit>(QString::fromLatin1(name)); }
    // Typed into an edit, as a person does: focus, select all, keys.
    void type(const char* name, const QString& text) {
        QLineEdit* e = edit(name);
        e->setFocus();
        ASSERT_SOON(e->hasFocus(), 2000);
        e->selectAll();
        QTest::keyClicks(e, text);
    }
    // Focus leaves the edits for a control that is no edit of the page.
    void leave_edits() {
        QWidget* other = find("device_profile_combo");
        other->setFocusPolicy(Qt::StrongFocus);
        other->setFocus();
        ASSERT_SOON(!QApplication::focusWidget() ||
                        !qobject_cast<QLineEdit*>(QApplication::focusWidget()) ||
                        !control()->isAncestorOf(QApplication::focusWidget()),
                    2000);
        QApplication::processEvents();
    }
    std::string folder() const { return page()->UserDataFolder(); }
    std::string gun_file(int g) const { return folder() + shoot::shoot_file_name(g); }
    std::string default_file(int g) const {
        return default_data_folder() + shoot::shoot_file_name(g);
    }
    QString shown_index() { return find<QLabel>("bullet_select_index")->text(); }
    bool checked(const QString& name) { return find<QAbstractButton>(name)->isChecked(); }
    // The bullet numbers the page shows: left?, x, up?, y, pause.
    shoot::Bullet shown_bullet() {
        return {checked("bullet_x_check"), edit("bullet_x_eidt")->text().toInt(),
                checked("bullet_y_check"), edit("bullet_y_eidt")->text().toInt(),
                edit("bullet_delay_eidt")->text().toInt()};
    }
    std::vector<device::MacroEvents> device_patterns() const {
        const auto decoded = device::decode_macro_image(mouse_->shoot_area());
        return decoded ? *decoded : std::vector<device::MacroEvents>{};
    }

    std::shared_ptr<emulator::EmulatedDevice> mouse_ = emulator::make_mouse();
    ShootEditor* editor_ = nullptr;
    std::vector<QString> messages_;
    QString path_;
    int opens_ = 0, saves_ = 0;
};

// A fresh folder gets the four factory files; gun 3, bullet 5 typed over: the file differs from
// before in exactly that bullet's six events, in the layout the mouse plays.
TEST_F(ShootEndToEnd, ABulletTypedChangesExactlyItsSixEvents) {
    start();
    for (int g = 0; g < shoot::kGuns; ++g)
        EXPECT_EQ(read_bytes(gun_file(g)), read_bytes(default_file(g))) << g;
    EXPECT_TRUE(checked("shoot_gun_op_0"));
    EXPECT_TRUE(checked("bullet_op_0"));
    EXPECT_EQ(shown_index(), "1");

    click("shoot_gun_op_2");
    EXPECT_EQ(control()->gun(), 2);
    EXPECT_FALSE(checked("shoot_gun_op_0"));
    EXPECT_EQ(find<QStackedWidget>("shoot_image_display_switch")->currentIndex(), 2);
    click("bullet_op_4");
    EXPECT_EQ(shown_index(), "5");
    EXPECT_TRUE(checked("bullet_op_4"));
    EXPECT_FALSE(checked("bullet_op_0"));
    const Json::Value before = read_json(gun_file(2));
    EXPECT_EQ(shown_bullet(), shoot::read_bullet(before, 4));

    // Left and up: the checks say so.
    if (checked("bullet_x_check")) click("bullet_x_check");
    click("bullet_x_check");
    EXPECT_EQ(find<QAbstractButton>("bullet_x_check")->text(), "Move left");
    if (checked("bullet_y_check")) click("bullet_y_check");
    EXPECT_EQ(find<QAbstractButton>("bullet_y_check")->text(), "Move down");
    click("bullet_y_check");
    EXPECT_EQ(find<QAbstractButton>("bullet_y_check")->text(), "Move up");
    // A direction alone is not saved.
    EXPECT_EQ(read_json(gun_file(2)), before);

    type("bullet_x_eidt", "12");
    type("bullet_y_eidt", "34");  // the x edit lost the focus: saved
    type("bullet_delay_eidt", "77x");
    leave_edits();
    EXPECT_EQ(edit("bullet_delay_eidt")->text(), "77");  // the letter was not taken

    const Json::Value after = read_json(gun_file(2));
    ASSERT_EQ(after["Events"].size(), before["Events"].size());
    EXPECT_EQ(after.getMemberNames(), before.getMemberNames());
    const Json::Value expected[6] = {event("down", 1, 10, 1), event("up", 1, 0, 1),
                                     event("down", 12, 5, 4), event("down", 34, 77, 5),
                                     event("down", 0, 0, 4),  event("down", 0, 0, 5)};
    for (Json::ArrayIndex i = 0; i < after["Events"].size(); ++i) {
        if (i >= 24 && i < 30)
            EXPECT_EQ(after["Events"][i], expected[i - 24]) << i;
        else
            EXPECT_EQ(after["Events"][i], before["Events"][i]) << i;
    }
    // The other guns are untouched.
    for (int g : {0, 1, 3}) EXPECT_EQ(read_bytes(gun_file(g)), read_bytes(default_file(g))) << g;
    EXPECT_TRUE(messages_.empty());
}

// Previous from bullet 1 and next from bullet 30 stay where they are; picking another bullet or
// gun first stores what was typed but not yet saved.
TEST_F(ShootEndToEnd, ClampingAndNothingTypedIsLost) {
    start();
    click("bullet_selected_prev");
    EXPECT_EQ(control()->bullet(), 0);
    EXPECT_EQ(shown_index(), "1");
    click("bullet_selected_next");
    EXPECT_EQ(shown_index(), "2");
    click("bullet_op_29");
    click("bullet_selected_next");
    EXPECT_EQ(control()->bullet(), 29);
    EXPECT_EQ(shown_index(), "30");
    EXPECT_TRUE(checked("bullet_op_29"));
    // The checked bullet clicked again stays chosen.
    click("bullet_op_29");
    EXPECT_TRUE(checked("bullet_op_29"));
    click("bullet_selected_prev");
    EXPECT_EQ(shown_index(), "29");

    // Typed, then another gun picked while the edit still has the focus.
    type("bullet_delay_eidt", "321");
    click("shoot_gun_op_1");
    EXPECT_EQ(shoot::read_bullet(read_json(gun_file(0)), 28).pause, 321);
    EXPECT_EQ(control()->gun(), 1);
    EXPECT_EQ(shown_bullet(), shoot::read_bullet(read_json(gun_file(1)), 28));
    // Leaving the edit later saves gun 1's bullet as shown: unchanged.
    const std::string gun1 = read_bytes(gun_file(1));
    leave_edits();
    EXPECT_EQ(shoot::read_pattern(read_json(gun_file(1))),
              shoot::read_pattern(read_json(default_file(1))));
    EXPECT_EQ(read_json(gun_file(1)), parse_json(gun1));
}

// Text that is no number saves as 0 (the edits refuse letters as they are typed; text put there
// otherwise still reaches the file as 0), and the edit then shows the 0.
TEST_F(ShootEndToEnd, TextThatIsNoNumberSavesZero) {
    start();
    click("bullet_op_3");
    type("bullet_x_eidt", "9");
    edit("bullet_x_eidt")->setText("abc");
    edit("bullet_y_eidt")->clear();
    type("bullet_delay_eidt", "65535");
    leave_edits();
    const shoot::Bullet stored = shoot::read_bullet(read_json(gun_file(0)), 3);
    EXPECT_EQ(stored.x, 0);
    EXPECT_EQ(stored.y, 0);
    EXPECT_EQ(stored.pause, 65535);
    EXPECT_EQ(edit("bullet_x_eidt")->text(), "0");
    EXPECT_EQ(edit("bullet_y_eidt")->text(), "0");
    // A number above what the mouse carries cannot be typed.
    type("bullet_x_eidt", "2561");
    EXPECT_EQ(edit("bullet_x_eidt")->text(), "251");  // the "6" would have made 256
}

// The path beside the editor follows the pattern, and what is typed before it is saved.
TEST_F(ShootEndToEnd, PathFollowsTheEdits) {
    start();
    click("shoot_gun_op_1");
    CShootPathUI* path = control()->path_view();
    ASSERT_NE(path, nullptr);
    EXPECT_TRUE(path->isVisible());
    const shoot::Pattern pattern = shoot::read_pattern(read_json(gun_file(1)));
    EXPECT_EQ(path->points(), shoot::correction_path(pattern));
    ASSERT_EQ(path->points().size(), size_t(shoot::kBullets + 1));

    click("bullet_op_5");
    EXPECT_EQ(path->marked(), 6);  // where bullet 6 leaves the pointer
    if (checked("bullet_x_check")) click("bullet_x_check");
    if (checked("bullet_y_check")) click("bullet_y_check");
    type("bullet_x_eidt", "40");
    // Right 40 now, before anything is saved; the later points move with it.
    const shoot::PathPoint before5 = path->points()[5];
    EXPECT_EQ(path->points()[6].x - before5.x, 40);
    type("bullet_y_eidt", "2");
    EXPECT_EQ(path->points()[6].y - before5.y, 2);
    const shoot::PathPoint end = path->points().back();
    click("bullet_x_check");  // now left
    EXPECT_EQ(path->points()[6].x - before5.x, -40);
    EXPECT_EQ(path->points().back().x, end.x - 80);
    leave_edits();
    // Saved, and the path is that of the file.
    EXPECT_EQ(path->points(), shoot::correction_path(shoot::read_pattern(read_json(gun_file(1)))));

    // Another gun: its own path.
    click("shoot_gun_op_3");
    EXPECT_EQ(path->points(), shoot::correction_path(shoot::read_pattern(read_json(gun_file(3)))));
    EXPECT_NE(path->points(), shoot::correction_path(shoot::read_pattern(read_json(gun_file(1)))));
}

// An import of what is no pattern is refused with a message and changes nothing; export and
// import copy files unchanged; reset brings the factory file back; an empty choice does
// nothing.
TEST_F(ShootEndToEnd, ImportExportResetAndRefusals) {
    start();
    click("shoot_gun_op_1");
    click("bullet_op_0");
    type("bullet_y_eidt", "99");
    leave_edits();
    const std::string edited = read_bytes(gun_file(1));
    ASSERT_NE(edited, read_bytes(default_file(1)));

    const std::vector<std::string> hostile = {"not json at all", "[1, 2, 3]", "{\"Events\": 5}",
                                              "{\"Other\": []}", ""};
    for (size_t i = 0; i < hostile.size(); ++i) {
        const std::string file = dir_.file("bad" + std::to_string(i) + ".shoot");
        std::ofstream(file, std::ios::binary) << hostile[i];
        path_ = QString::fromStdString(file);
        messages_.clear();
        click("shootdate_import_btn");
        EXPECT_EQ(messages_, std::vector<QString>{"shoot_import_refused"}) << hostile[i];
        EXPECT_EQ(read_bytes(gun_file(1)), edited) << hostile[i];
        EXPECT_EQ(shown_bullet().y, 99);
    }
    // The message exists in both languages.
    for (const char* lang : {"en", "zh_CN"}) {
        const Json::Value texts =
            read_json(test::shipped_skin().toStdString() + "lang/" + lang + ".json");
        EXPECT_TRUE(texts["shoot_import_refused"].isString()) << lang;
    }

    // Export, reset, import.
    messages_.clear();
    path_ = QString::fromStdString(dir_.file("mine.shoot"));
    click("shootdate_export_btn");
    EXPECT_EQ(read_bytes(path_.toStdString()), edited);
    click("shootdate_reset_btn");
    EXPECT_EQ(read_bytes(gun_file(1)), read_bytes(default_file(1)));
    EXPECT_EQ(shown_bullet(), shoot::read_bullet(read_json(default_file(1)), 0));
    click("shootdate_import_btn");
    EXPECT_EQ(read_bytes(gun_file(1)), edited);
    EXPECT_EQ(shown_bullet().y, 99);
    // Into another gun too, unchanged, with keys and events of its own kept.
    const std::string extra = dir_.file("extra.shoot");
    std::ofstream(extra, std::ios::binary) << "{\"Name\": \"mine\", \"Events\": ["
                                           << "{\"Action\":\"down\",\"Button\":1,"
                                           << "\"Delay\":10,\"Type\":1}]}";
    click("shoot_gun_op_3");
    path_ = QString::fromStdString(extra);
    click("shootdate_import_btn");
    EXPECT_EQ(read_bytes(gun_file(3)), read_bytes(extra));
    EXPECT_EQ(shown_bullet(), shoot::Bullet{});
    type("bullet_x_eidt", "1");
    leave_edits();
    const Json::Value kept = read_json(gun_file(3));
    EXPECT_EQ(kept["Name"].asString(), "mine");
    EXPECT_EQ(kept["Events"].size(), 6u);
    EXPECT_TRUE(messages_.empty());

    // Cancelled dialogs: nothing.
    path_.clear();
    const std::string gun3 = read_bytes(gun_file(3));
    click("shootdate_import_btn");
    click("shootdate_export_btn");
    EXPECT_EQ(read_bytes(gun_file(3)), gun3);
    EXPECT_TRUE(messages_.empty());
    EXPECT_GE(opens_, 1);
    EXPECT_GE(saves_, 1);
}

// "Write to mouse" sends the macros and the four patterns; the mouse's shoot area decodes back
// to the four files. A failing transfer is reported as the macro download reports it. After a
// restart the page shows what was stored.
TEST_F(ShootEndToEnd, WrittenToTheMouseAndKeptAcrossARestart) {
    start();
    click("shoot_gun_op_0");
    click("bullet_op_0");
    if (!checked("bullet_x_check")) click("bullet_x_check");
    if (checked("bullet_y_check")) click("bullet_y_check");
    type("bullet_x_eidt", "3");
    type("bullet_y_eidt", "7");
    type("bullet_delay_eidt", "90");
    click("shoot_gun_op_3");
    click("bullet_op_29");
    type("bullet_y_eidt", "200");
    // Not left yet: writing stores it first.
    click("shootdate_save_btn");
    EXPECT_TRUE(messages_.empty());
    const std::vector<device::MacroEvents> patterns = device_patterns();
    ASSERT_EQ(patterns.size(), 4u);
    EXPECT_EQ(patterns, device::load_shoot_slots(folder()));
    // Gun 0, bullet 0 by hand: press, release, left 3 (5 ms), down 7 (90 ms), zero moves.
    ASSERT_GE(patterns[0].size(), 6u);
    const device::MacroEvents bullet0(patterns[0].begin(), patterns[0].begin() + 6);
    EXPECT_EQ(
        bullet0,
        (device::MacroEvents{
            {10, 0x81, 1}, {0, 0x01, 1}, {5, 0x84, 3}, {90, 0x05, 7}, {0, 0x84, 0}, {0, 0x05, 0}}));
    ASSERT_EQ(patterns[3].size(), size_t(6 * shoot::kBullets));
    EXPECT_EQ(patterns[3][6 * 29 + 3].button, 200);

    // Status 0xFF in the middle of the shoot image: the failure is shown.
    mouse_->fail_chunk(0xFF, 2, emulator::kCmdWriteShoot);
    click("shootdate_save_btn");
    EXPECT_EQ(messages_, std::vector<QString>{"message_text_7"});

    close_window();
    messages_.clear();
    start();
    EXPECT_EQ(control()->gun(), 0);
    EXPECT_EQ(shown_bullet(), (shoot::Bullet{true, 3, false, 7, 90}));
    click("shoot_gun_op_3");
    click("bullet_op_29");
    EXPECT_EQ(shown_bullet().y, 200);
    EXPECT_TRUE(messages_.empty());
}

// A language change: the direction texts follow the checks in the new language, and the page's
// other texts are those of the new language.
TEST_F(ShootEndToEnd, TextsFollowTheLanguage) {
    start();
    if (!checked("bullet_x_check")) click("bullet_x_check");
    if (checked("bullet_y_check")) click("bullet_y_check");
    wnd_->handle_message(kMsgLanguage, 1, 0);  // zh_CN
    EXPECT_EQ(find<QAbstractButton>("bullet_x_check")->text(), QString::fromUtf8("向左移动"));
    EXPECT_EQ(find<QAbstractButton>("bullet_y_check")->text(), QString::fromUtf8("向下移动"));
    EXPECT_EQ(find<QAbstractButton>("shootdate_save_btn")->text(), QString::fromUtf8("写入鼠标"));
    click("bullet_y_check");
    EXPECT_EQ(find<QAbstractButton>("bullet_y_check")->text(), QString::fromUtf8("向上移动"));
    wnd_->handle_message(kMsgLanguage, 0, 0);
    EXPECT_EQ(find<QAbstractButton>("bullet_y_check")->text(), "Move up");
    EXPECT_EQ(find<QAbstractButton>("shoot_gun_op_1")->text(), "Pattern 2");
}

// The editor is narrow and low enough for small screens: at most 700 pixels wide and no taller
// than the macro editor; at the window's own size and on 1280 x 720 and 1920 x 1080 screens
// every control is inside the window and as wide as it needs. With TELLUNE_SCREENSHOT_DIR set
// the page is saved as a picture at each size.
TEST_F(ShootEndToEnd, FitsSmallScreens) {
    const QString shots = qEnvironmentVariable("TELLUNE_SCREENSHOT_DIR");
    QFile style(test::shipped_skin() + "style/dark.qss");
    ASSERT_TRUE(style.open(QIODevice::ReadOnly));
    const QString css = QString::fromUtf8(style.readAll());
    language_->fonts().set_base_style_sheet(css);
    start();
    QApplication::processEvents();
    const QSize editor = control()->minimumSizeHint();
    const QSize macros = find_macro_control(page())->minimumSizeHint();
    EXPECT_LE(editor.width(), 700);
    std::cout << "editor minimum " << editor.width() << "x" << editor.height() << ", macro editor "
              << macros.width() << "x" << macros.height() << "\n";
    EXPECT_LE(editor.height(), macros.height());

    const std::vector<QString> names = {
        "shoot_gun_op_0",       "shoot_gun_op_3",       "bullet_op_0",
        "bullet_op_9",          "bullet_op_29",         "bullet_selected_prev",
        "bullet_select_index",  "bullet_selected_next", "bullet_x_check",
        "bullet_y_check",       "bullet_x_eidt",        "bullet_y_eidt",
        "bullet_delay_eidt",    "shootdate_save_btn",   "shootdate_reset_btn",
        "shootdate_import_btn", "shootdate_export_btn", "shoot_path_view",
        "shoot_gun_image_0"};
    for (const QSize size : {QSize(kMainWidth, kMainHeight), QSize(1280, 720), QSize(1920, 1080)}) {
        wnd_->resize(size);
        wnd_->show();
        QApplication::processEvents();
        expect_whole_on_screen(names, QString::number(size.width()));
        if (!shots.isEmpty())
            wnd_->grab().save(shots + QStringLiteral("/shoot_%1.png").arg(size.width()));
    }
    // The theme stays with the application; later tests in this process start without it.
    qApp->setStyleSheet(QString());
}

}  // namespace
}  // namespace tellune::ui
