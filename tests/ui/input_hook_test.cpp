// The input-hook service: key events of the program's windows become set-1 strokes while it
// runs, are taken away from the widgets (the lock keys excepted), and reach the main window as
// messages of the installed mode.

#include "ui/app/input_hook.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "test_support/temp_dir.h"
#include "test_support/wait.h"
#include "ui/app/language.h"
#include "ui/app/main_wnd.h"
#include "ui/app/messages.h"
#include "ui/app/text_table.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

// Records the key events that reach it.
class Probe : public QWidget {
public:
    std::vector<int> pressed;
    int overrides = 0;

protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::ShortcutOverride) ++overrides;
        return QWidget::event(e);
    }
    void keyPressEvent(QKeyEvent* e) override { pressed.push_back(int(e->nativeScanCode())); }
};

// A key event as X11 or Wayland delivers it: the native scan code is the evdev code + 8.
bool send_key(QWidget* to, QEvent::Type type, int evdev, Qt::Key key = Qt::Key_unknown) {
    QKeyEvent e(type, key, Qt::NoModifier, quint32(evdev + 8), 0, 0);
    e.ignore();  // as Qt offers a shortcut override: taken only when someone accepts it
    QApplication::sendEvent(to, &e);
    return e.isAccepted();
}

bool same(const KeyStroke& a, const KeyStroke& b) {
    return a.scan == b.scan && a.extended == b.extended && a.down == b.down;
}

TEST(KeyEventSource, TakesKnownKeysAndLetsLockKeysThrough) {
    Probe probe;
    KeyEventSource source;
    std::vector<KeyStroke> strokes;
    // Not running: the widget gets its keys, nothing is delivered.
    send_key(&probe, QEvent::KeyPress, 30, Qt::Key_A);
    ASSERT_EQ(probe.pressed.size(), 1u);

    source.start([&](const KeyStroke& s) { strokes.push_back(s); });
    send_key(&probe, QEvent::KeyPress, 30, Qt::Key_A);        // A
    send_key(&probe, QEvent::KeyRelease, 30, Qt::Key_A);      //
    send_key(&probe, QEvent::KeyPress, 97, Qt::Key_Control);  // right Ctrl
    send_key(&probe, QEvent::KeyPress, 119, Qt::Key_Pause);   // Pause
    EXPECT_EQ(probe.pressed.size(), 1u);                      // none of them reached the widget
    ASSERT_EQ(strokes.size(), 4u);
    EXPECT_TRUE(same(strokes[0], {0x1E, false, true}));
    EXPECT_TRUE(same(strokes[1], {0x1E, false, false}));
    EXPECT_TRUE(same(strokes[2], {0x1D, true, true}));
    EXPECT_TRUE(same(strokes[3], {0x45, false, true}));

    // Lock keys are seen once and still reach the widget.
    strokes.clear();
    send_key(&probe, QEvent::KeyPress, 58, Qt::Key_CapsLock);
    send_key(&probe, QEvent::KeyPress, 69, Qt::Key_NumLock);
    send_key(&probe, QEvent::KeyPress, 70, Qt::Key_ScrollLock);
    EXPECT_EQ(probe.pressed, (std::vector<int>{38, 66, 77, 78}));
    ASSERT_EQ(strokes.size(), 3u);
    EXPECT_TRUE(same(strokes[0], {0x3A, false, true}));
    EXPECT_TRUE(same(strokes[1], {0x45, true, true}));
    EXPECT_TRUE(same(strokes[2], {0x46, false, true}));

    // Keys the table does not know (the mute key, no scan code) are left alone.
    strokes.clear();
    send_key(&probe, QEvent::KeyPress, 113, Qt::Key_VolumeMute);
    send_key(&probe, QEvent::KeyPress, -8, Qt::Key_A);
    EXPECT_TRUE(strokes.empty());
    EXPECT_EQ(probe.pressed.size(), 6u);

    // No shortcut fires while capturing: overrides are taken and accepted, with or without a
    // scan code; those of the lock keys go on.
    const int overrides = probe.overrides;
    EXPECT_TRUE(send_key(&probe, QEvent::ShortcutOverride, 30, Qt::Key_A));
    EXPECT_TRUE(send_key(&probe, QEvent::ShortcutOverride, -8, Qt::Key_S));
    EXPECT_EQ(probe.overrides, overrides);
    EXPECT_FALSE(send_key(&probe, QEvent::ShortcutOverride, 58, Qt::Key_CapsLock));
    EXPECT_FALSE(send_key(&probe, QEvent::ShortcutOverride, -8, Qt::Key_NumLock));
    EXPECT_EQ(probe.overrides, overrides + 2);

    source.stop();
    send_key(&probe, QEvent::KeyPress, 30, Qt::Key_A);
    EXPECT_EQ(probe.pressed.size(), 7u);
    EXPECT_TRUE(strokes.empty());
}

class InputHookServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        texts().clear();
        language_ =
            std::make_unique<LanguageManager>(test::shipped_language_config(), test::shipped_skin(),
                                              QString::fromStdString(dir_.file("tellune.conf")));
        wnd_ = std::make_unique<CMainWnd>(*language_);
        ASSERT_TRUE(wnd_->load());
        wnd_->set_message_handler(kMsgHookSingleKey, [this](qintptr w, qintptr l, const QString&) {
            received_.push_back(unpack_stroke(w, l));
        });
    }
    void TearDown() override {
        wnd_.reset();
        texts().clear();
    }
    TempDir dir_;
    ScopedEnv program_{"TELLUNE_DATA_DIR", test::source_folder().toStdString()};
    std::unique_ptr<LanguageManager> language_;
    std::unique_ptr<CMainWnd> wnd_;
    std::vector<KeyStroke> received_;
};

TEST_F(InputHookServiceTest, DeliversStrokesOfTheInstalledModeOnly) {
    Probe probe;
    auto hook = std::make_unique<InputHookService>();
    InputHookService* service = hook.get();
    wnd_->set_input_hook(std::move(hook));
    EXPECT_EQ(wnd_->input_hook(), service);

    // Message 1054 installs and removes it.
    wnd_->handle_message(kMsgInputHook, 1, 0);
    ASSERT_TRUE(service->installed());
    send_key(&probe, QEvent::KeyPress, 29, Qt::Key_Control);
    send_key(&probe, QEvent::KeyRelease, 126, Qt::Key_Meta);
    ASSERT_EQ_SOON(received_.size(), 2u, 2000);
    EXPECT_TRUE(same(received_[0], {0x1D, false, true}));
    EXPECT_TRUE(same(received_[1], {0x5C, true, false}));
    EXPECT_TRUE(probe.pressed.empty());

    wnd_->handle_message(kMsgInputHook, 0, 0);
    EXPECT_FALSE(service->installed());
    send_key(&probe, QEvent::KeyPress, 30, Qt::Key_A);
    EXPECT_EQ(probe.pressed.size(), 1u);

    // A mode without a message takes the keys but delivers nothing.
    service->set_mode(4);
    wnd_->handle_message(kMsgInputHook, 1, 0);
    send_key(&probe, QEvent::KeyPress, 30, Qt::Key_A);
    EXPECT_EQ(probe.pressed.size(), 1u);
    // A second source added while installed starts at once and delivers through the mode.
    class Manual : public InputSource {
    public:
        void start(Deliver d) override { deliver = std::move(d); }
        void stop() override { deliver = nullptr; }
        Deliver deliver;
    };
    auto manual = std::make_unique<Manual>();
    Manual* m = manual.get();
    service->add_source(std::move(manual));
    ASSERT_TRUE(m->deliver);
    service->set_key_message(4, kMsgHookSingleKey);
    wnd_->handle_message(kMsgInputHook, 0, 0);
    EXPECT_FALSE(m->deliver);
    wnd_->handle_message(kMsgInputHook, 1, 0);
    ASSERT_TRUE(m->deliver);
    m->deliver({0x2A, false, true});
    ASSERT_EQ_SOON(received_.size(), 3u, 2000);
    EXPECT_TRUE(same(received_[2], {0x2A, false, true}));
    QCoreApplication::processEvents();
    EXPECT_EQ(received_.size(), 3u);
}

// A source on a thread of its own, as a global reader is: strokes numbered 1, 2, ... in the
// scan code, delivered until stopped (or `limit` of them), the thread woken and joined by stop.
class ThreadSource : public InputSource {
public:
    explicit ThreadSource(int limit) : limit_(limit) {}
    ~ThreadSource() override { stop(); }
    void start(Deliver deliver) override {
        stop();
        thread_ = std::jthread([this, deliver = std::move(deliver)](std::stop_token token) {
            for (int i = 1; i <= limit_ && !token.stop_requested(); ++i) {
                deliver({uint8_t(i), false, true});
                delivered_.store(i);
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            }
        });
    }
    void stop() override {
        if (!thread_.joinable()) return;
        thread_.request_stop();
        thread_.join();
    }
    int delivered() const { return delivered_.load(); }

private:
    int limit_;
    std::atomic<int> delivered_{0};
    std::jthread thread_;
};

TEST_F(InputHookServiceTest, StrokesFromAnotherThreadArriveInOrderAndStopWithTheRemoval) {
    auto hook = std::make_unique<InputHookService>();
    InputHookService* service = hook.get();
    wnd_->set_input_hook(std::move(hook));
    auto counted = std::make_unique<ThreadSource>(1'000'000);
    ThreadSource* source = counted.get();
    service->add_source(std::move(counted));

    wnd_->handle_message(kMsgInputHook, 1, 0);
    ASSERT_SOON(received_.size() >= 300u, 5000);
    // Removed while the thread still delivers: what was posted before arrives, in order, and
    // nothing after.
    wnd_->handle_message(kMsgInputHook, 0, 0);
    EXPECT_FALSE(service->installed());
    const int delivered = source->delivered();
    EXPECT_LT(delivered, 1'000'000);
    QCoreApplication::processEvents();
    const size_t arrived = received_.size();
    EXPECT_LE(arrived, size_t(delivered));
    for (size_t i = 0; i < arrived; ++i) ASSERT_EQ(received_[i].scan, uint8_t(i + 1)) << i;
    QTest::qWait(30);
    EXPECT_EQ(received_.size(), arrived);
}

}  // namespace
}  // namespace tellune::ui
