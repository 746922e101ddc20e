#include "ui/app/input_hook.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <mutex>

#include "core/device/scan_codes.h"
#include "ui/app/main_wnd.h"

namespace tellune::ui {
namespace {

// Caps Lock, Num Lock and Scroll Lock: their light and state belong to the desktop.
bool is_lock_key(int evdev) {
    return evdev == 58 || evdev == 69 || evdev == 70;
}

}  // namespace

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
}

bool KeyEventSource::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
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
    if (wnd_) sources_.back()->start([this](const KeyStroke& s) { deliver(s); });
}

void InputHookService::set_key_message(int mode, int message) {
    messages_[mode] = message;
}

void InputHookService::install(CMainWnd& wnd) {
    remove();
    const auto it = messages_.find(mode_);
    {
        std::lock_guard lock(target_mutex_);
        message_ = it == messages_.end() ? 0 : it->second;
        wnd_ = &wnd;
    }
    for (const auto& source : sources_) source->start([this](const KeyStroke& s) { deliver(s); });
}

void InputHookService::remove() {
    // The target goes first: a source thread still delivering until its stop() returns posts
    // nothing more, and once remove() returns nothing reaches a window that may be gone.
    {
        std::lock_guard lock(target_mutex_);
        wnd_ = nullptr;
        message_ = 0;
    }
    for (const auto& source : sources_) source->stop();
}

bool InputHookService::installed() const {
    std::lock_guard lock(target_mutex_);
    return wnd_ != nullptr;
}

void InputHookService::deliver(const KeyStroke& stroke) {
    // Posted, so a source on another thread may deliver too; the window handles it in turn.
    std::lock_guard lock(target_mutex_);
    if (wnd_ && message_)
        wnd_->post_message(message_, stroke.down ? kHookKeyDown : kHookKeyUp, pack_stroke(stroke));
}

}  // namespace tellune::ui
