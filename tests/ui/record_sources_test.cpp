// The sources recording listens to: mouse buttons through the window's event filter (seen
// once, never taken away), the global evdev source over pipes fed with input_event records,
// and the service, which delivers each stroke once when both sources report it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <memory>
#include <mutex>
#include <vector>

#include "core/macro/macro_events.h"
#include "test_support/temp_dir.h"
#include "test_support/wait.h"
#include "ui/app/evdev_source.h"
#include "ui/app/input_hook.h"
#include "ui/app/language.h"
#include "ui/app/main_wnd.h"
#include "ui/app/messages.h"
#include "ui/app/text_table.h"
#include "ui_test_support.h"

namespace tellune::ui {
namespace {

constexpr int kKeyMsg = kMsgHookKbMacro;
constexpr int kMouseMsg = kMsgHookMsMacro;
constexpr int kMode = 4;

class Clicks : public QPushButton {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* e) override {
        ++presses;
        QPushButton::mousePressEvent(e);
    }
};

void mouse(QWidget* to, QEvent::Type type, Qt::MouseButton button, QPoint global, ulong time) {
    QMouseEvent e(type, QPointF(5, 5), QPointF(global), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    e.setTimestamp(time);
    QApplication::sendEvent(to, &e);
}

// Pipes standing in for evdev nodes.
struct FakeNodes {
    explicit FakeNodes(int n) {
        for (int i = 0; i < n; ++i) {
            int fds[2];
            EXPECT_EQ(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
            reads.push_back(fds[0]);
            writes.push_back(fds[1]);
        }
    }
    ~FakeNodes() {
        for (int fd : writes) ::close(fd);
    }
    // Hands the read ends out once; the source closes them.
    EvdevInputSource::Opener opener() {
        return [this] {
            std::vector<int> out;
            out.swap(reads);
            return out;
        };
    }
    void send(int node, uint16_t code, int value) {
        input_event e[2] = {};
        e[0].type = EV_KEY;
        e[0].code = code;
        e[0].value = value;
        e[1].type = EV_SYN;
        ASSERT_EQ(::write(writes[size_t(node)], e, sizeof e), ssize_t(sizeof e));
    }
    std::vector<int> reads, writes;
};

TEST(KeyEventSourceMouse, ButtonsAreSeenOnceAndStillReachTheWidget) {
    Clicks button;
    KeyEventSource source;
    std::vector<MouseStroke> strokes;
    source.start_mouse([&](const MouseStroke& s) { strokes.push_back(s); });
    source.start([](const KeyStroke&) {});
    const QPoint at(300, 200);
    mouse(&button, QEvent::MouseButtonPress, Qt::LeftButton, at, 1000);
    // The same press offered again (to a parent, or first to the window): one stroke.
    mouse(&button, QEvent::MouseButtonPress, Qt::LeftButton, at, 1000);
    mouse(&button, QEvent::MouseButtonRelease, Qt::LeftButton, at, 1010);
    mouse(&button, QEvent::MouseButtonPress, Qt::BackButton, at, 1500);
    mouse(&button, QEvent::MouseButtonPress, Qt::ForwardButton, at, 1600);
    mouse(&button, QEvent::MouseButtonPress, Qt::ExtraButton3, at, 1700);  // no such row
    EXPECT_EQ(button.presses, 5);
    ASSERT_EQ(strokes.size(), 4u);
    EXPECT_EQ(strokes[0].row, 0);
    EXPECT_TRUE(strokes[0].has_point);
    EXPECT_EQ(strokes[0].point, at);
    EXPECT_EQ(strokes[1].row, 1);
    EXPECT_EQ(strokes[2].row, 8);  // back
    EXPECT_EQ(strokes[3].row, 6);  // forward
    // Stopped: buttons are neither delivered nor remembered.
    source.stop();
    mouse(&button, QEvent::MouseButtonPress, Qt::RightButton, at, 2000);
    EXPECT_EQ(strokes.size(), 4u);
    EXPECT_EQ(button.presses, 6);
}

TEST(MouseMessages, PackedAndUnpacked) {
    for (int row = 0; row < macro::kMouseButtonRows; ++row) {
        const qintptr w = pack_mouse_wparam(row);
        EXPECT_EQ(macro::mouse_row(mouse_message(w), mouse_xbutton(w)), row);
    }
    const qintptr l = pack_mouse_lparam({0, true, QPoint(-1920, 1079)});
    EXPECT_EQ(mouse_point(l), QPoint(-1920, 1079));
    EXPECT_FALSE(mouse_point(pack_mouse_lparam({0, false, {}})).has_value());
}

TEST(EvdevSource, KeysThroughTheSet1TableButtonsToMouseRows) {
    FakeNodes nodes(2);
    EvdevInputSource source(nodes.opener());
    EXPECT_TRUE(source.global());
    std::mutex mutex;
    std::vector<KeyStroke> keys;
    std::vector<int> rows;
    source.start_mouse([&](const MouseStroke& s) {
        std::lock_guard lock(mutex);
        rows.push_back(s.row);
        EXPECT_FALSE(s.has_point);
    });
    source.start([&](const KeyStroke& s) {
        std::lock_guard lock(mutex);
        keys.push_back(s);
    });
    ASSERT_TRUE(source.reading());
    nodes.send(0, KEY_RIGHTCTRL, 1);
    nodes.send(0, KEY_RIGHTCTRL, 2);  // auto-repeat
    nodes.send(0, KEY_RIGHTCTRL, 0);
    nodes.send(0, KEY_MUTE, 1);  // no set-1 row
    nodes.send(1, BTN_EXTRA, 1);
    nodes.send(1, BTN_SIDE, 0);
    auto count = [&] {
        std::lock_guard lock(mutex);
        return keys.size() + rows.size();
    };
    ASSERT_SOON(count() >= 4u, 3000);
    source.stop();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].scan, 0x1D);
    EXPECT_TRUE(keys[0].extended);
    EXPECT_TRUE(keys[0].down);
    EXPECT_FALSE(keys[1].down);
    EXPECT_EQ(rows, (std::vector<int>{6, 9}));
}

class ServiceWithTwoSources : public ::testing::Test {
protected:
    void SetUp() override {
        texts().clear();
        language_ =
            std::make_unique<LanguageManager>(test::shipped_language_config(), test::shipped_skin(),
                                              QString::fromStdString(dir_.file("tellune.conf")));
        wnd_ = std::make_unique<CMainWnd>(*language_);
        ASSERT_TRUE(wnd_->load());
        auto service = std::make_unique<InputHookService>();
        service_ = service.get();
        service_->set_key_message(kMode, kKeyMsg);
        service_->set_mouse_message(kMode, kMouseMsg);
        service_->add_source(std::make_unique<EvdevInputSource>(nodes_.opener()));
        wnd_->set_input_hook(std::move(service));
        wnd_->set_message_handler(kKeyMsg, [this](qintptr w, qintptr l, const QString&) {
            keys_.push_back(unpack_stroke(w, l));
        });
        wnd_->set_message_handler(kMouseMsg, [this](qintptr w, qintptr l, const QString&) {
            mouse_.push_back(macro::mouse_row(mouse_message(w), mouse_xbutton(w)));
            points_.push_back(mouse_point(l));
        });
    }
    void TearDown() override {
        wnd_.reset();
        texts().clear();
    }
    void key(QEvent::Type type, int evdev) {
        QKeyEvent e(type, Qt::Key_unknown, Qt::NoModifier, quint32(evdev + 8), 0, 0);
        QApplication::sendEvent(wnd_.get(), &e);
    }

    TempDir dir_;
    ScopedEnv program_{"TELLUNE_DATA_DIR", test::source_folder().toStdString()};
    FakeNodes nodes_{1};
    std::unique_ptr<LanguageManager> language_;
    std::unique_ptr<CMainWnd> wnd_;
    InputHookService* service_ = nullptr;
    std::vector<KeyStroke> keys_;
    std::vector<int> mouse_;
    std::vector<std::optional<QPoint>> points_;
};

TEST_F(ServiceWithTwoSources, AStrokeBothSourcesSeeCountsOnce) {
    EXPECT_TRUE(service_->has_global_source());
    service_->set_mode(kMode);
    wnd_->handle_message(kMsgInputHook, 1, 0);
    // Typed into the program's window: the global source and the window both see it.
    nodes_.send(0, KEY_A, 1);
    ASSERT_SOON(keys_.size() == 1u, 3000);
    key(QEvent::KeyPress, KEY_A);
    key(QEvent::KeyRelease, KEY_A);
    nodes_.send(0, KEY_A, 0);
    ASSERT_SOON(keys_.size() == 2u, 3000);
    QTest::qWait(50);
    ASSERT_EQ(keys_.size(), 2u);
    EXPECT_TRUE(keys_[0].down);
    EXPECT_FALSE(keys_[1].down);
    // Typed into another program's window: only the global source sees it.
    nodes_.send(0, KEY_B, 1);
    ASSERT_SOON(keys_.size() == 3u, 3000);
    EXPECT_EQ(keys_[2].scan, 0x30);

    // A click in the window: the window's point wins when it comes first.
    QPushButton target;
    mouse(&target, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(40, 50), 5000);
    nodes_.send(0, BTN_LEFT, 1);
    QTest::qWait(50);
    ASSERT_EQ(mouse_.size(), 1u);
    EXPECT_EQ(mouse_[0], 0);
    EXPECT_EQ(points_[0], QPoint(40, 50));
    // Elsewhere: the global source alone, without a point.
    nodes_.send(0, BTN_RIGHT, 1);
    ASSERT_SOON(mouse_.size() == 2u, 3000);
    EXPECT_EQ(mouse_[1], 2);
    EXPECT_FALSE(points_[1].has_value());

    // Removed: the reader stops and nothing more arrives.
    wnd_->handle_message(kMsgInputHook, 0, 0);
    EXPECT_FALSE(service_->installed());
}

TEST_F(ServiceWithTwoSources, ModesWithoutMouseMessagesWatchNoButtons) {
    service_->set_mode(InputHookService::kModeSingleKey);
    wnd_->handle_message(kMsgInputHook, 1, 0);
    QPushButton target;
    mouse(&target, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(1, 1), 9000);
    nodes_.send(0, BTN_LEFT, 1);
    QTest::qWait(80);
    EXPECT_TRUE(mouse_.empty());
    EXPECT_TRUE(keys_.empty());
}

}  // namespace
}  // namespace tellune::ui
