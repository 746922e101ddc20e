#include "ui/device/emulated_keys.h"

#include <QKeyEvent>
#include <QWindow>
#include <string_view>

#include "core/device/keyboard_usages.h"
#include "emulator/emulated_backend.h"

namespace tellune::ui {

namespace {

// X11 and Wayland key codes are the Linux key codes + 8.
constexpr quint32 kNativeOffset = 8;
constexpr std::string_view kKeyboardNode = "emu/keyboard";

}  // namespace

EmulatedKeyForwarder::EmulatedKeyForwarder(std::shared_ptr<emulator::EmulatedBackend> backend,
                                           QObject* parent)
    : QObject(parent), backend_(std::move(backend)) {}

bool EmulatedKeyForwarder::forward(int evdev, bool down) {
    const std::optional<device::KeyCode> code = device::key_code_from_evdev(evdev);
    if (!code || !backend_) return false;
    bool reported = false;
    for (const auto& device : backend_->devices())
        if (device->plugged() && device->config().node.starts_with(kKeyboardNode))
            reported = device->press_key(*code, down) || reported;
    return reported;
}

bool EmulatedKeyForwarder::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // The window gets each key event first and once; the widgets after it may pass the
    // same event on to their parents.
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) &&
        qobject_cast<QWindow*>(watched)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // A held key is one press for the keyboard; platforms without key codes give 0.
        if (!key->isAutoRepeat() && key->nativeScanCode() > kNativeOffset)
            forward(int(key->nativeScanCode() - kNativeOffset), type == QEvent::KeyPress);
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tellune::ui
