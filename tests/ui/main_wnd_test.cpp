#include "ui/app/main_wnd.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>

#include "test_support/temp_dir.h"
#include "test_support/wait.h"
#include "ui/app/language.h"
#include "ui/app/messages.h"
#include "ui/app/text_table.h"
#include "ui/app/window_scale.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

using namespace std::chrono_literals;

TEST(WindowScaleTest, MonitorSizeChoosesTheScale) {
    EXPECT_EQ(scale_for_monitor(1920, 1080), 144);
    EXPECT_EQ(scale_for_monitor(1366, 768), 96);
    EXPECT_EQ(scale_for_monitor(1500, 1080), 96);  // strictly wider than 1500
    EXPECT_EQ(scale_for_monitor(1501, 961), 144);
    EXPECT_EQ(scale_for_monitor(1600, 960), 96);  // strictly taller than 960
    EXPECT_EQ(scaled(kMainWidth, 144), 1500);
    EXPECT_EQ(scaled(kMainHeight, 144), 960);
}

TEST(WindowScaleTest, InvalidScaleFallsBackWithTheDebugLine) {
    test::DebugCapture debug;
    for (int dpi : {48, 72, 96, 120, 144, 168, 192}) EXPECT_EQ(checked_scale(dpi, "E"), dpi);
    EXPECT_TRUE(debug.lines().empty());
    EXPECT_EQ(checked_scale(100, "MAIN_WND DPI SET ERROR"), 96);
    EXPECT_EQ(checked_scale(0, "MAIN_WND DPI SET ERROR"), 96);
    EXPECT_EQ(debug.lines(),
              (std::vector<std::string>{"MAIN_WND DPI SET ERROR", "MAIN_WND DPI SET ERROR"}));
}

TEST(WindowScaleTest, FixedSizesScaleFromTheirBaseWithoutCompounding) {
    QWidget root;
    auto* button = new QPushButton(&root);
    button->setMinimumSize(100, 20);
    button->setMaximumSize(200, QWIDGETSIZE_MAX);
    button->setIconSize(QSize(16, 16));
    auto* free = new QWidget(&root);
    scale_fixed_sizes(&root, 144);
    scale_fixed_sizes(&root, 144);
    EXPECT_EQ(button->minimumSize(), QSize(150, 30));
    EXPECT_EQ(button->maximumSize(), QSize(300, QWIDGETSIZE_MAX));
    EXPECT_EQ(button->iconSize(), QSize(24, 24));
    EXPECT_EQ(free->minimumSize(), QSize(0, 0));
    EXPECT_EQ(free->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    scale_fixed_sizes(&root, 96);
    EXPECT_EQ(button->minimumSize(), QSize(100, 20));
    EXPECT_EQ(button->iconSize(), QSize(16, 16));
}

// Stands for the device pages: records what the shell asks of it.
class FakeDevices : public ShellExtension {
public:
    void window_init(CMainWnd&) override { ++inits; }
    void device_arrived(int slot) override { arrived.push_back(slot); }
    void device_removed(int slot) override { removed.push_back(slot); }
    int present_device_count() const override { return devices; }
    QWidget* current_page() const override { return page; }
    void set_light_output(bool on) override { light.push_back(on); }
    void reload_texts() override { ++reloads; }
    void apply_selected_profile() override { ++profile_applies; }
    bool owns_first_show() const override { return owns_show; }
    void shutdown() override { ++shutdowns; }

    int inits = 0, devices = 0, reloads = 0, profile_applies = 0, shutdowns = 0;
    bool owns_show = false;
    QWidget* page = nullptr;
    std::vector<int> arrived, removed;
    std::vector<bool> light;
};

class FakeHook : public InputHook {
public:
    void install(CMainWnd&) override { ++installs; }
    void remove() override { ++removals; }
    int installs = 0, removals = 0;
};

class MainWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        texts().clear();
        language_ =
            std::make_unique<LanguageManager>(test::shipped_language_config(), test::shipped_skin(),
                                              QString::fromStdString(dir_.file("tellune.conf")));
        wnd_ = std::make_unique<CMainWnd>(*language_);
        auto devices = std::make_unique<FakeDevices>();
        devices_ = devices.get();
        wnd_->add_extension(std::move(devices));
        wnd_->set_quit_handler([this] { ++quits_; });
        ASSERT_TRUE(wnd_->load());
    }
    void TearDown() override {
        wnd_.reset();
        texts().clear();
    }
    void init_and_show() {
        wnd_->init();
        wnd_->show_yourself(0, 1);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(wnd_.get()));
        // The start's own showing comes a moment later; a window hidden before it would
        // come back.
        ASSERT_SOON(!wnd_->timer_active(kTimerShowMain), 5000);
    }
    QString text_of(const char* name) { return wnd_->control<QAbstractButton>(name)->text(); }

    TempDir dir_;
    std::unique_ptr<LanguageManager> language_;
    std::unique_ptr<CMainWnd> wnd_;
    FakeDevices* devices_ = nullptr;
    int quits_ = 0;
};

TEST_F(MainWndTest, WindowInitAppliesTheLanguageAndShowsAfterTheStartTimer) {
    EXPECT_EQ(wnd_->windowTitle(), "DURID EZAZU ZAPHIRA - TELLUNE");
    wnd_->init();
    EXPECT_TRUE(wnd_->is_initialised());
    EXPECT_EQ(devices_->inits, 1);
    EXPECT_EQ(language_->current_index(), 0);
    EXPECT_EQ(text_of("control_light_status"), "Controlling lights");
    EXPECT_EQ(wnd_->control("closebtn")->toolTip(), "Close to the tray");
    EXPECT_FALSE(wnd_->isVisible());
    EXPECT_TRUE(wnd_->timer_active(kTimerShowMain));
    // No scanner claims the first show, so the start timer brings the window up.
    ASSERT_SOON(wnd_->isVisible(), 2000);
    EXPECT_TRUE(wnd_->control("No_device_Link")->isVisible());
    const int dpi = wnd_->screen_scale();
    EXPECT_EQ(wnd_->size(), QSize(scaled(kMainWidth, dpi), scaled(kMainHeight, dpi)));
}

TEST_F(MainWndTest, ScannerThatOwnsTheFirstShowKeepsTheWindowHidden) {
    devices_->owns_show = true;
    wnd_->init();
    QTest::qWait(250);
    EXPECT_FALSE(wnd_->timer_active(kTimerShowMain));
    EXPECT_FALSE(wnd_->isVisible());
    devices_->devices = 1;
    wnd_->post_message(kMsgShowYourself, 0, 1);
    ASSERT_SOON(wnd_->isVisible(), 2000);
    EXPECT_FALSE(wnd_->control("No_device_Link")->isVisible());
}

TEST_F(MainWndTest, LightControlToggleFlipsLabelAndPages) {
    init_and_show();
    devices_->light.clear();
    QTest::mouseClick(wnd_->control<QAbstractButton>("control_light_status"), Qt::LeftButton);
    EXPECT_FALSE(wnd_->light_control());
    EXPECT_EQ(text_of("control_light_status"), "Not controlling lights");
    wnd_->control<QAbstractButton>("control_light_status")->click();
    EXPECT_TRUE(wnd_->light_control());
    EXPECT_EQ(text_of("control_light_status"), "Controlling lights");
    EXPECT_EQ(devices_->light, (std::vector<bool>{false, true}));

    // The label follows the state across a language change.
    wnd_->control<QAbstractButton>("control_light_status")->click();
    wnd_->handle_message(kMsgLanguage, 1, 0);
    EXPECT_EQ(text_of("control_light_status"), "不控制灯光");
    EXPECT_EQ(devices_->reloads, 1);
    EXPECT_EQ(QSettings(QString::fromStdString(dir_.file("tellune.conf")), QSettings::IniFormat)
                  .value("LANGUAGE")
                  .toInt(),
              2052);
}

TEST_F(MainWndTest, WithATrayClosingHidesTheWindowAndTheProgramGoesOn) {
    init_and_show();
    // Offscreen has no tray; here one comes up after the start, as a panel may.
    ASSERT_FALSE(wnd_->has_tray());
    wnd_->set_tray_probe([] { return true; });
    wnd_->control<QAbstractButton>("closebtn")->click();
    EXPECT_TRUE(wnd_->has_tray());
    EXPECT_FALSE(wnd_->isVisible());
    EXPECT_EQ(quits_, 0);
    EXPECT_EQ(devices_->shutdowns, 0);
    wnd_->show_yourself(0, 1);
    EXPECT_TRUE(wnd_->isVisible());
    // Closing by the window manager is the same.
    EXPECT_FALSE(wnd_->close());
    QCoreApplication::processEvents();
    EXPECT_FALSE(wnd_->isVisible());
    EXPECT_EQ(quits_, 0);
}

TEST_F(MainWndTest, WithoutATrayTheCloseButtonEndsTheProgramAsExitDoes) {
    init_and_show();
    ASSERT_FALSE(wnd_->has_tray());
    std::atomic<bool> worker_ended{false};
    ASSERT_TRUE(wnd_->workers().start(0, [&](std::stop_token token) {
        while (!sleep_unless_stopped(token, 10s)) {
        }
        worker_ended = true;
    }));
    wnd_->control<QAbstractButton>("closebtn")->click();
    EXPECT_EQ(quits_, 1);
    EXPECT_TRUE(worker_ended);
    EXPECT_EQ(devices_->shutdowns, 1);
    EXPECT_FALSE(wnd_->isVisible());
    EXPECT_FALSE(wnd_->has_tray());
}

TEST_F(MainWndTest, WithoutATrayTheWindowManagersCloseEndsTheProgramAfterItsEvent) {
    init_and_show();
    EXPECT_FALSE(wnd_->close());  // ended after the event, not inside it
    EXPECT_EQ(quits_, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(quits_, 1);
    EXPECT_EQ(devices_->shutdowns, 1);
    EXPECT_FALSE(wnd_->isVisible());
}

TEST_F(MainWndTest, OnlyTitleButtonsAndTrayEntriesThatDoSomethingShow) {
    init_and_show();
    std::vector<std::string> shown;
    for (QAbstractButton* b : wnd_->control("title_bar")->findChildren<QAbstractButton*>())
        if (b->isVisible()) shown.push_back(b->objectName().toStdString());
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<std::string>{"closebtn", "maxbtn", "minbtn"}));
    // Nothing left for the separator to set apart.
    EXPECT_FALSE(wnd_->control("title_separator")->isVisible());
    wnd_->showMaximized();
    ASSERT_SOON(wnd_->isMaximized(), 2000);
    EXPECT_TRUE(wnd_->control("restorebtn")->isVisible());
    EXPECT_FALSE(wnd_->control("maxbtn")->isVisible());
    wnd_->showNormal();

    // Entries nothing answers are left out: this window has no settings window.
    wnd_->handle_message(kMsgTray, 0, kTrayRightUp);
    ASSERT_SOON(wnd_->tray_menu() != nullptr, 2000);
    std::vector<std::string> entries;
    for (QAction* a : wnd_->tray_menu()->actions())
        if (!a->isSeparator()) entries.push_back(a->objectName().toStdString());
    EXPECT_EQ(entries, (std::vector<std::string>{"about_menu", "exit"}));
    wnd_->tray_menu()->close();
}

TEST_F(MainWndTest, StatusNotesStayShortAndGoAway) {
    init_and_show();
    auto* status = wnd_->control<QLabel>("str_test");
    ASSERT_NE(status, nullptr);
    wnd_->show_status_text("New profile", 50);
    EXPECT_EQ(status->text(), "New profile");
    ASSERT_SOON(status->text().isEmpty(), 2000);

    // A long name is shortened on the line and whole in the tool tip.
    const QString long_note = "Imported as \"" + QString(400, QLatin1Char('x')) + "\".";
    wnd_->show_status_text(long_note, 50);
    EXPECT_LT(status->text().size(), long_note.size());
    EXPECT_EQ(status->toolTip(), long_note);
    EXPECT_LE(status->sizeHint().width(), wnd_->width() / 2 + 20);
    // A message shown by its text id in the meantime outlives the note's timer.
    set_text_id(status, "message_text_16");
    QTest::qWait(150);
    EXPECT_FALSE(status->text().isEmpty());
}

TEST_F(MainWndTest, TitleButtonsAndNoDevicePanel) {
    init_and_show();
    wnd_->control<QAbstractButton>("minbtn")->click();
    EXPECT_TRUE(wnd_->isMinimized());
    wnd_->show_yourself(0, 1);
    EXPECT_FALSE(wnd_->isMinimized());
    wnd_->control<QAbstractButton>("nodevice_ok_btn")->click();
    EXPECT_FALSE(wnd_->isVisible());

    // A left click on the tray icon toggles the window.
    wnd_->handle_message(kMsgTray, 0, kTrayLeftUp);
    EXPECT_TRUE(wnd_->isVisible());
    wnd_->handle_message(kMsgTray, 0, kTrayLeftUp);
    EXPECT_FALSE(wnd_->isVisible());
}

TEST_F(MainWndTest, LaterRoutesReceiveNamedControlsWithTheirIndex) {
    init_and_show();
    std::vector<int> keys;
    wnd_->routes("click").add("key_", Match::Prefix,
                              [&](const Notification&, int index) { keys.push_back(index); });
    auto* key = new QPushButton(wnd_->control("device_switch"));
    key->setObjectName("key_12");
    auto* stray = new QPushButton(wnd_->control("device_switch"));
    stray->setObjectName("nobody_handles_me");
    wnd_->pump().attach(wnd_->control("device_switch"));
    key->click();
    stray->click();  // falls through
    EXPECT_EQ(keys, (std::vector<int>{12}));
}

TEST_F(MainWndTest, ProfileComboStartsTheApplyTimer) {
    init_and_show();
    auto* combo = new QComboBox(wnd_->control("device_switch"));
    combo->setObjectName("device_profile_combo");
    combo->addItems({"one", "two"});
    wnd_->pump().attach(combo);
    combo->setCurrentIndex(1);
    EXPECT_TRUE(wnd_->timer_active(kTimerApplyProfile));
    ASSERT_EQ_SOON(devices_->profile_applies, 1, 2000);
}

TEST_F(MainWndTest, MessagesReachTheirHandlers) {
    init_and_show();
    wnd_->post_message(kMsgDeviceArrived, 3);
    wnd_->post_message(kMsgDeviceRemoved, 5);
    wnd_->post_message(kMsgShowProgress);
    std::vector<qintptr> custom;
    wnd_->set_message_handler(4000,
                              [&](qintptr w, qintptr, const QString&) { custom.push_back(w); });
    wnd_->post_message(4000, 77);
    wnd_->post_message(4001);  // nobody handles it
    QCoreApplication::processEvents();
    EXPECT_EQ(devices_->arrived, (std::vector<int>{3}));
    EXPECT_EQ(devices_->removed, (std::vector<int>{5}));
    EXPECT_TRUE(wnd_->control("setting_progress")->isVisible());
    EXPECT_EQ(custom, (std::vector<qintptr>{77}));
}

TEST_F(MainWndTest, CaptureEditInstallsAndRemovesTheInputHook) {
    init_and_show();
    // Without a hook the messages are harmless.
    wnd_->handle_message(kMsgInputHook, 1, 0);
    EXPECT_FALSE(wnd_->input_hook_installed());

    auto hook = std::make_unique<FakeHook>();
    FakeHook* h = hook.get();
    wnd_->set_input_hook(std::move(hook));
    auto* edit = new QLineEdit(wnd_->control("device_switch"));
    edit->setObjectName("keyset_keyboard_text_edit");
    auto* other = new QLineEdit(wnd_->control("device_switch"));
    other->setObjectName("macro_delay");
    wnd_->control("No_device_Link")->hide();
    wnd_->pump().attach(wnd_->control("device_switch"));
    edit->show();
    other->show();
    wnd_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(wnd_.get()));
    edit->setFocus();
    ASSERT_EQ_SOON(h->installs, 1, 2000);
    EXPECT_TRUE(wnd_->input_hook_installed());
    other->setFocus();
    ASSERT_EQ_SOON(h->removals, 1, 2000);
    EXPECT_FALSE(wnd_->input_hook_installed());
}

TEST_F(MainWndTest, MenuCommandsAboutAndExit) {
    init_and_show();
    wnd_->handle_message(kMsgMenuCommand, 0, 0, "about_menu");
    ASSERT_NE(wnd_->about_window(), nullptr);
    EXPECT_TRUE(wnd_->about_window()->isVisible());
    wnd_->handle_message(kMsgMenuCommand, 0, 0, "setwnd_menu");  // nothing to open yet
    wnd_->handle_message(kMsgMenuCommand, 0, 0, "no_such_item");

    std::atomic<bool> worker_ended{false};
    ASSERT_TRUE(wnd_->workers().start(0, [&](std::stop_token token) {
        while (!sleep_unless_stopped(token, 10s)) {
        }
        worker_ended = true;
    }));
    wnd_->handle_message(kMsgMenuCommand, 0, 0, "EXIT");
    EXPECT_EQ(quits_, 1);
    EXPECT_TRUE(worker_ended);
    EXPECT_EQ(devices_->shutdowns, 1);
    EXPECT_FALSE(wnd_->isVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(wnd_->about_window(), nullptr);  // closed and deleted
}

TEST_F(MainWndTest, WorkerSendsAreHandledAndShutdownDoesNotDeadlock) {
    init_and_show();
    std::atomic<int> sent{0}, dropped_early{0};
    std::atomic<bool> shutting_down{false};
    ASSERT_TRUE(wnd_->workers().start(0, [&](std::stop_token token) {
        for (int slot = 0; !token.stop_requested();) {
            if (wnd_->send_message(token, kMsgDeviceArrived, slot)) {
                ++sent;
                ++slot;
            } else if (!shutting_down) {
                ++dropped_early;
            }
        }
    }));
    ASSERT_SOON(sent.load() >= 5, 2000);
    // Each send was handled before it returned: the page saw the slots in order.
    for (size_t i = 0; i < devices_->arrived.size(); ++i) ASSERT_EQ(devices_->arrived[i], int(i));
    // The interface thread stops while the worker waits for it.
    const auto t0 = std::chrono::steady_clock::now();
    shutting_down = true;
    wnd_->shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 2s);
    EXPECT_FALSE(wnd_->workers().running(0));
    // Sends are refused only once the shutdown began (from then on at once, until the
    // worker sees its stop request).
    EXPECT_EQ(dropped_early.load(), 0);
    QCoreApplication::processEvents();  // queued calls left behind must not run
    EXPECT_EQ(int(devices_->arrived.size()), sent.load());
}

}  // namespace
}  // namespace tellune::ui
