// No visible button does nothing: over the four emulated devices, every button the window
// shows on any page, panel or menu is one that something answers.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QStackedWidget>
#include <algorithm>
#include <string>
#include <vector>

#include "emulator/products.h"
#include "program_test.h"
#include "test_support/wait.h"
#include "ui/app/device_option.h"
#include "ui/app/messages.h"
#include "ui/app/skin_choice.h"
#include "ui/controls/device_key_button.h"
#include "ui/device/tarvex_usb_device.h"
#include "ui/profile/device_profile_ui.h"
#include "ui/update/set_wnd.h"
#include "ui/update/settings_extension.h"

namespace tellune::ui {
namespace {

class LiveControls : public test::ProgramTest {
protected:
    // The settings window must not reach for an update service.
    ScopedEnv no_service_{"TELLUNE_UPDATE_URL", ""};
};

TEST_F(LiveControls, EveryVisibleButtonHasSomethingToDo) {
    backend_->plug(emulator::make_mouse());
    backend_->plug(emulator::make_keyboard());
    backend_->plug(emulator::make_mouse_pad());
    backend_->plug(emulator::make_headset());
    open_window();
    ASSERT_SOON(wnd_->present_device_count() == 4 && wnd_->isVisible(), 10000);
    for (CTarvexUSBDevice* page : pages_->Pages())
        ASSERT_SOON(find_profile_bar(page) && find_profile_bar(page)->initialised(), 5000);

    std::vector<std::string> dead;
    int checked = 0;
    for (CTarvexUSBDevice* page : pages_->Pages()) {
        pages_->EntryOf(page)
            ->findChild<QAbstractButton*>(QStringLiteral("device_select"))
            ->click();
        ASSERT_EQ(wnd_->current_page(), page);
        find_profile_bar(page)->show_menu(true);
        for (QAbstractButton* b : wnd_->findChildren<QAbstractButton*>()) {
            bool elsewhere = false;
            for (CTarvexUSBDevice* p : pages_->Pages())
                elsewhere = elsewhere || (p != page && p->isAncestorOf(b));
            if (elsewhere) continue;
            // Show the panel it is on.
            for (QWidget *child = b, *parent = b->parentWidget(); parent && child != page;
                 child = parent, parent = parent->parentWidget())
                if (auto* stack = qobject_cast<QStackedWidget*>(parent);
                    stack && page->isAncestorOf(stack))
                    stack->setCurrentWidget(child);
            if (!b->isVisible() || b->testAttribute(Qt::WA_TransparentForMouseEvents)) continue;
            // The keys and lights of a device picture are chosen through their panel.
            if (qobject_cast<CDeviceKeyButtonUI*>(b)) continue;
            ++checked;
            const QString name = b->objectName();
            const bool answered = wnd_->routes("click").match(name) ||
                                  (b->isCheckable() && wnd_->routes("selectchanged").match(name));
            if (!answered)
                dead.push_back(page->objectName().toStdString() + ": " + name.toStdString());
        }
        find_profile_bar(page)->show_menu(false);
    }
    EXPECT_GT(checked, 100);
    EXPECT_TRUE(dead.empty()) << ::testing::PrintToString(dead);
}

// The title bar and the tray menu show what opens a window or acts, and nothing else.
TEST_F(LiveControls, TitleBarAndTrayMenuOfferWhatOpensSomething) {
    open_window();
    ASSERT_SOON(wnd_->isVisible(), 5000);
    std::vector<std::string> shown;
    for (QAbstractButton* b : wnd_->control("title_bar")->findChildren<QAbstractButton*>())
        if (b->isVisible()) shown.push_back(b->objectName().toStdString());
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown,
              (std::vector<std::string>{"closebtn", "maxbtn", "minbtn", "setbtn", "skinbtn"}));
    EXPECT_TRUE(wnd_->control("title_separator")->isVisible());

    auto* settings = wnd_->extension<SettingsExtension>();
    auto* skin = wnd_->extension<SkinExtension>();
    ASSERT_TRUE(settings && skin);
    wnd_->control<QAbstractButton>("setbtn")->click();
    ASSERT_SOON(settings->window() && settings->window()->isVisible(), 5000);
    settings->window()->close();
    ASSERT_SOON(!settings->window() || !settings->window()->isVisible(), 5000);
    wnd_->control<QAbstractButton>("skinbtn")->click();
    ASSERT_SOON(skin->frame() && skin->frame()->isVisible(), 5000);
    wnd_->control<QAbstractButton>("skinbtn")->click();
    ASSERT_SOON(!skin->frame(), 5000);

    // The tray menu's "Settings" opens the same window.
    wnd_->handle_message(kMsgTray, 0, kTrayRightUp);
    ASSERT_SOON(wnd_->tray_menu() != nullptr, 2000);
    std::vector<std::string> entries;
    QAction* settings_entry = nullptr;
    for (QAction* a : wnd_->tray_menu()->actions()) {
        if (a->isSeparator()) continue;
        entries.push_back(a->objectName().toStdString());
        if (a->objectName() == "setwnd_menu") settings_entry = a;
    }
    EXPECT_EQ(entries, (std::vector<std::string>{"setwnd_menu", "about_menu", "exit"}));
    ASSERT_NE(settings_entry, nullptr);
    settings_entry->trigger();
    wnd_->tray_menu()->close();
    ASSERT_SOON(settings->window() && settings->window()->isVisible(), 5000);
    settings->window()->close();
}

}  // namespace
}  // namespace tellune::ui
