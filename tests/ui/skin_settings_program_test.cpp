// The skin window and the settings window in the running program: opened from the title
// bar, the tray menu and message 3093; the background follows a choice and comes back after
// a restart; a language chosen in the settings window reaches the main window.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSettings>

#include "program_test.h"
#include "test_support/wait.h"
#include "ui/app/messages.h"
#include "ui/app/skin_choice.h"
#include "ui/app/skin_frame.h"
#include "ui/update/set_wnd.h"
#include "ui/update/settings_extension.h"
#include "ui/update/update_info_list_item.h"

namespace tellune::ui::test {
namespace {

// One colour everywhere, so a pixel of the painted root tells which background it has.
QString solid_png(const TempDir& dir, const char* name, QColor colour) {
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = QString::fromStdString(dir.file(name));
    image.save(path);
    return path;
}

QColor painted_background(QWidget* root) {
    QImage image(root->size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    // The root alone, without the panels on top of it.
    root->render(&image, {}, {}, QWidget::DrawWindowBackground);
    return image.pixelColor(root->width() / 2, root->height() / 2);
}

TEST(SkinReceiver, ColourAfterImageClearsTheImage) {
    TempDir dir;
    QWidget root;
    root.setObjectName("root");
    root.setAttribute(Qt::WA_StyledBackground);
    root.resize(200, 100);
    const QString red = solid_png(dir, "red.png", QColor(200, 10, 10));
    RootSkinReceiver receiver(&root, QString::fromStdString(dir.path().string()) + "/");
    SkinChangedSubject subject;
    subject.Register(&receiver);
    subject.Register(&receiver);  // once only

    subject.Broadcast({SkinChangedParam::kImage, 0, "red.png"});  // relative to the skin folder
    EXPECT_EQ(painted_background(&root), QColor(200, 10, 10));
    subject.Broadcast({SkinChangedParam::kColour, 0xFF102030, {}});
    EXPECT_EQ(painted_background(&root), QColor(0x10, 0x20, 0x30));
    EXPECT_FALSE(root.styleSheet().contains("url("));
    subject.Broadcast({SkinChangedParam::kImage, 0, red});  // absolute path
    EXPECT_EQ(painted_background(&root), QColor(200, 10, 10));
    // A picture that went away: the layout's own background again.
    subject.Broadcast({SkinChangedParam::kImage, 0, red + ".gone"});
    EXPECT_TRUE(root.styleSheet().isEmpty());
    // A path that would break out of the style sheet string stays a file name.
    const QString odd = solid_png(dir, "a\"b) c,d.png", QColor(10, 200, 10));
    subject.Broadcast({SkinChangedParam::kImage, 0, odd});
    EXPECT_EQ(painted_background(&root), QColor(10, 200, 10));
    subject.Unregister(&receiver);
    subject.Broadcast({SkinChangedParam::kColour, 0xFF000000, {}});
    EXPECT_EQ(painted_background(&root), QColor(10, 200, 10));
}

TEST(SkinStoreFile, KeysAsWrittenAndRestored) {
    TempDir dir;
    const QString path = QString::fromStdString(dir.file("main.ini"));
    SkinStore store(path);
    EXPECT_FALSE(store.restore());
    ASSERT_TRUE(store.store_image("images/skin/bg2.png", false));
    {
        QSettings ini(path, QSettings::IniFormat);
        EXPECT_EQ(ini.value("SKINIMAGE/FLAGS").toString(), "1");
        EXPECT_EQ(ini.value("SKINIMAGE/IMAGE").toString(), "images/skin/bg2.png");
    }
    auto r = store.restore();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->flag, SkinChangedParam::kImage);
    EXPECT_EQ(r->image, "images/skin/bg2.png");
    ASSERT_TRUE(store.store_colour(0xFF1E2A3A));
    r = store.restore();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->flag, SkinChangedParam::kColour);
    EXPECT_EQ(r->colour, 0xFF1E2A3Au);
    {
        QSettings ini(path, QSettings::IniFormat);
        EXPECT_EQ(ini.value("SKINIMAGE/COLOR").toString(), "#FF1E2A3A");
        EXPECT_EQ(ini.value("SKINIMAGE/FLAGS").toString(), "1");  // kept as it was
    }
    // A path with commas, spaces and non-ASCII letters comes back unchanged.
    const QString own = "/home/u/Bilder/mein Bild, grün.png";
    ASSERT_TRUE(store.store_image(own, false));
    EXPECT_EQ(store.restore()->image, own);
    // A reset is restored as the layout's own background.
    ASSERT_TRUE(store.store_image(kDefaultBackground, true));
    EXPECT_FALSE(store.restore());
    {
        QSettings ini(path, QSettings::IniFormat);
        EXPECT_EQ(ini.value("SKINIMAGE/FLAGS").toString(), "0");
        EXPECT_EQ(ini.value("SKINIMAGE/IMAGE").toString(), "common/background.png");
    }
    // Damaged files give nothing.
    for (const char* text : {"\x01\x02garbage", "[SKINIMAGE]\nCOLOR=notacolour\nFLAGS=2\n",
                             "[SKINIMAGE]\nFLAGS=1\n"}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.close();
        EXPECT_FALSE(store.restore()) << text;
    }
}

class SkinSettingsProgram : public ProgramTest {
protected:
    SkinExtension* skin() const { return wnd_ ? wnd_->extension<SkinExtension>() : nullptr; }
    SettingsExtension* settings() const {
        return wnd_ ? wnd_->extension<SettingsExtension>() : nullptr;
    }
    QAbstractButton* button(QWidget* in, const char* name, int nth = 0) const {
        const auto all = in->findChildren<QAbstractButton*>(name);
        return nth < all.size() ? all[nth] : nullptr;
    }
    ScopedEnv no_service_{"TELLUNE_UPDATE_URL", ""};
};

TEST_F(SkinSettingsProgram, SkinChoiceSurvivesARestart) {
    open_window();
    QWidget* root = wnd_->root();
    ASSERT_NE(root, nullptr);
    QWidget* skinbtn = wnd_->control("skinbtn");
    ASSERT_NE(skinbtn, nullptr);
    EXPECT_FALSE(skinbtn->isHidden());
    ASSERT_TRUE(skin());
    static_cast<QAbstractButton*>(skinbtn)->click();
    CSkinFrame* frame = skin()->frame();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isVisible());

    // An offered image.
    QAbstractButton* image = button(frame, "skin_image_btn", 1);
    ASSERT_NE(image, nullptr);
    image->click();
    const QString chosen = image->property("bkimage").toString();
    EXPECT_TRUE(root->styleSheet().contains(chosen)) << root->styleSheet().toStdString();
    close_window();
    open_window();
    EXPECT_TRUE(wnd_->root()->styleSheet().contains(chosen));

    // An offered colour, after the restart.
    static_cast<QAbstractButton*>(wnd_->control("skinbtn"))->click();
    frame = skin()->frame();
    ASSERT_NE(frame, nullptr);
    button(frame, "skin_color")->click();
    QAbstractButton* colour = button(frame, "skin_color_btn", 2);
    colour->click();
    const QColor expected(colour->property("bkcolor").toString());
    EXPECT_EQ(painted_background(wnd_->root()), expected.toRgb());
    close_window();
    open_window();
    EXPECT_EQ(painted_background(wnd_->root()), expected.toRgb());

    // A picture of one's own; a cancelled dialog changes nothing.
    const QString own = solid_png(dir_, "own.png", QColor(1, 2, 3));
    static_cast<QAbstractButton*>(wnd_->control("skinbtn"))->click();
    frame = skin()->frame();
    frame->set_file_chooser([](QWidget*) { return QString(); });
    button(frame, "skin_Custom")->click();
    EXPECT_EQ(painted_background(wnd_->root()), expected.toRgb());
    frame->set_file_chooser([own](QWidget*) { return own; });
    button(frame, "skin_Custom")->click();
    EXPECT_EQ(painted_background(wnd_->root()), QColor(1, 2, 3));
    close_window();
    open_window();
    EXPECT_EQ(painted_background(wnd_->root()), QColor(1, 2, 3));

    // The picture is gone: the default background, no failure.
    close_window();
    QFile::remove(own);
    open_window();
    EXPECT_TRUE(wnd_->root()->styleSheet().isEmpty());

    // Reset: the default image now, the layout's own after a restart.
    static_cast<QAbstractButton*>(wnd_->control("skinbtn"))->click();
    button(skin()->frame(), "skin_reset")->click();
    EXPECT_TRUE(wnd_->root()->styleSheet().contains("common/background.png"));
    // A second click on the title button closes the skin window.
    QPointer<CSkinFrame> open_frame = skin()->frame();
    static_cast<QAbstractButton*>(wnd_->control("skinbtn"))->click();
    ASSERT_SOON(open_frame.isNull(), 2000);
    close_window();
    open_window();
    EXPECT_TRUE(wnd_->root()->styleSheet().isEmpty());
}

TEST_F(SkinSettingsProgram, SettingsWindowOpensAndTheLanguageFollows) {
    open_window();
    QWidget* setbtn = wnd_->control("setbtn");
    ASSERT_NE(setbtn, nullptr);
    EXPECT_FALSE(setbtn->isHidden());
    ASSERT_TRUE(settings());
    EXPECT_FALSE(settings()->forward_to_settings(4, 10));  // no window: not taken

    static_cast<QAbstractButton*>(setbtn)->click();
    CSetWnd* set = settings()->window();
    ASSERT_NE(set, nullptr);
    EXPECT_TRUE(set->isVisible());
    EXPECT_EQ(set->windowModality(), Qt::NonModal);
    // The program's entry and one per device kind.
    ASSERT_EQ(set->lines().size(), 5u);
    EXPECT_EQ(set->lines()[0]->name(), "AP");
    EXPECT_EQ(set->overall_status(), CSetWnd::kOverallNotConfigured);
    EXPECT_TRUE(settings()->forward_to_settings(4, 10));

    // Choosing Chinese applies it to the main window, and the settings window follows.
    const int before = language_->current_index();
    auto* combo = set->findChild<QComboBox*>("Language_combox_info");
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 2);
    combo->setCurrentIndex(before == 1 ? 0 : 1);
    EXPECT_EQ(language_->current_index(), before == 1 ? 0 : 1);
    combo->setCurrentIndex(1);
    EXPECT_EQ(language_->current_index(), 1);
    EXPECT_EQ(texts().text("SetWndTitle"), QString::fromUtf8("设置"));
    EXPECT_EQ(set->findChild<QLabel*>("set_title")->text(), QString::fromUtf8("设置"));
    EXPECT_EQ(combo->itemText(1), QString::fromUtf8("简体中文"));

    // The tray menu and message 3093 bring the same window back.
    wnd_->handle_message(kMsgMenuCommand, 0, 0, "setwnd_menu");
    EXPECT_EQ(settings()->window(), set);
    wnd_->close_child_windows();
    ASSERT_SOON(settings()->window() == nullptr, 2000);
    wnd_->handle_message(kMsgOpenSettings, 0, 0);
    ASSERT_NE(settings()->window(), nullptr);
    EXPECT_EQ(settings()->window()->windowModality(), Qt::ApplicationModal);
}

}  // namespace
}  // namespace tellune::ui::test
