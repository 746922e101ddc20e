#include "ui/app/input_hook.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <chrono>
#include <mutex>

#include "core/device/scan_codes.h"
#include "core/macro/macro_events.h"
#include "ui/app/main_wnd.h"

namespace tellune::ui {
namespace {

// Caps Lock, Num Lock and Scroll Lock: their light and state belong to the desktop.
bool is_lock_key(int evdev) {
    return evdev == 58 || evdev == 69 || evdev == 70;
}

// The mouse table row of a Qt button going down or up; -1 for other buttons.
int mouse_row_of(Qt::MouseButton button, bool down) {
    const int up = down ? 0 : 1;
    switch (button) {
        case Qt::LeftButton:
            return 0 + up;
        case Qt::RightButton:
            return 2 + up;
        case Qt::MiddleButton:
            return 4 + up;
        case Qt::ForwardButton:
            return 6 + up;
        case Qt::BackButton:
            return 8 + up;
        default:
            return -1;
    }
}

int64_t now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

qintptr pack_mouse_wparam(int row) {
    return qintptr(macro::mouse_row_message(row)) | qintptr(macro::mouse_row_xbutton(row)) << 16;
}

qintptr pack_mouse_lparam(const MouseStroke& stroke) {
    if (!stroke.has_point) return kNoPoint;
    return qintptr(quint32(stroke.point.x())) | qintptr(quint32(stroke.point.y())) << 32;
}

std::optional<QPoint> mouse_point(qintptr lparam) {
    if (lparam == kNoPoint) return std::nullopt;
    return QPoint(int(qint32(lparam & 0xFFFFFFFF)), int(qint32((lparam >> 32) & 0xFFFFFFFF)));
}

void KeyEventSource::start(Deliver deliver) {
    deliver_ = std::move(deliver);
    if (running_ || !QCoreApplication::instance()) return;
    QCoreApplication::instance()->installEventFilter(this);
    running_ = true;
}

void KeyEventSource::stop() {
    if (running_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    running_ = false;
    deliver_ = nullptr;
    deliver_mouse_ = nullptr;
    last_mouse_ = {};
}

void KeyEventSource::watch_mouse(QEvent* event) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    const bool down = event->type() != QEvent::MouseButtonRelease;
    const int row = mouse_row_of(mouse->button(), down);
    if (row < 0) return;
    const QPoint point = mouse->globalPosition().toPoint();
    const LastMouse seen{int(event->type()), int(mouse->button()), mouse->timestamp(), point};
    if (seen == last_mouse_) return;
    last_mouse_ = seen;
    deliver_mouse_({row, true, point});
}

bool KeyEventSource::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (deliver_mouse_ && (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                           type == QEvent::MouseButtonDblClick)) {
        watch_mouse(event);
        return QObject::eventFilter(watched, event);
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const int evdev = int(key->nativeScanCode()) - device::kXkbKeycodeOffset;
    const bool lock = is_lock_key(evdev) || key->key() == Qt::Key_CapsLock ||
                      key->key() == Qt::Key_NumLock || key->key() == Qt::Key_ScrollLock;
    if (type == QEvent::ShortcutOverride) {
        // No shortcut fires while keys are captured, whatever the key (Qt makes up overrides
        // without a scan code too); the key press follows.
        if (lock) return false;
        key->accept();
        return true;
    }
    const auto set1 = device::set1_from_evdev(evdev);
    if (!set1) return QObject::eventFilter(watched, event);
    // A key press reaches the window first, then its focus widget. Taken away at the first
    // of them, it is seen once; a lock key goes on, so it is counted at the widget only.
    if (lock) {
        if (watched->isWidgetType() && deliver_)
            deliver_({set1->scan, set1->extended, type == QEvent::KeyPress});
        return false;
    }
    if (deliver_) deliver_({set1->scan, set1->extended, type == QEvent::KeyPress});
    return true;
}

InputHookService::InputHookService() {
    add_source(std::make_unique<KeyEventSource>());
    set_key_message(kModeSingleKey, kMsgHookSingleKey);
}

InputHookService::~InputHookService() {
    remove();
}

void InputHookService::add_source(std::unique_ptr<InputSource> source) {
    if (!source) return;
    sources_.push_back(std::move(source));
    if (installed()) start_source(sources_.size() - 1);
}

void InputHookService::set_key_message(int mode, int message) {
    messages_[mode] = message;
}

void InputHookService::set_mouse_message(int mode, int message) {
    mouse_messages_[mode] = message;
}

bool InputHookService::has_global_source() const {
    for (const auto& source : sources_)
        if (source->global()) return true;
    return false;
}

void InputHookService::start_source(size_t index) {
    InputSource& source = *sources_[index];
    if (mouse_message_)
        source.start_mouse([this, index](const MouseStroke& s) { deliver_mouse(index, s); });
    source.start([this, index](const KeyStroke& s) { deliver(index, s); });
}

void InputHookService::install(CMainWnd& wnd) {
    remove();
    const auto it = messages_.find(mode_);
    const auto mouse = mouse_messages_.find(mode_);
    {
        std::lock_guard lock(target_mutex_);
        message_ = it == messages_.end() ? 0 : it->second;
        mouse_message_ = mouse == mouse_messages_.end() ? 0 : mouse->second;
        dedup_.clear();
        wnd_ = &wnd;
    }
    for (size_t i = 0; i < sources_.size(); ++i) start_source(i);
}

void InputHookService::remove() {
    // The target goes first: a source thread still delivering until its stop() returns posts
    // nothing more, and once remove() returns nothing reaches a window that may be gone.
    {
        std::lock_guard lock(target_mutex_);
        wnd_ = nullptr;
        message_ = 0;
        mouse_message_ = 0;
    }
    for (const auto& source : sources_) source->stop();
}

bool InputHookService::installed() const {
    std::lock_guard lock(target_mutex_);
    return wnd_ != nullptr;
}

void InputHookService::deliver(size_t source, const KeyStroke& stroke) {
    // Posted, so a source on another thread may deliver too; the window handles it in turn.
    std::lock_guard lock(target_mutex_);
    if (!wnd_ || !message_) return;
    if (!dedup_.accept(int(source), uint32_t(pack_stroke(stroke)), stroke.down, now_ms())) return;
    wnd_->post_message(message_, stroke.down ? kHookKeyDown : kHookKeyUp, pack_stroke(stroke));
}

void InputHookService::deliver_mouse(size_t source, const MouseStroke& stroke) {
    if (stroke.row < 0 || stroke.row >= macro::kMouseButtonRows) return;
    const macro::EventKey key = macro::mouse_row_key(stroke.row);
    // Apart from the key codes, which stay below 0x10000.
    const uint32_t id = 0x10000u | uint32_t(key.button);
    std::lock_guard lock(target_mutex_);
    if (!wnd_ || !mouse_message_) return;
    if (!dedup_.accept(int(source), id, macro::mouse_row_down(stroke.row), now_ms())) return;
    wnd_->post_message(mouse_message_, pack_mouse_wparam(stroke.row), pack_mouse_lparam(stroke));
}

}  // namespace tellune::ui
