#pragma once
// The input-hook service: while it is installed, key strokes reach the main window as window
// messages carrying the PC set-1 scan code, the extended flag and whether the key went down,
// and, in the modes that record them, mouse button presses and releases. Sources feed it:
// the application-wide Qt event filter (KeyEventSource), and the global evdev reader
// (evdev_source.h) through add_source. A stroke that two sources report counts once.
//
// Key messages: wparam kKeyDown or kKeyUp, lparam = scan code | extended << 8. Mouse
// messages: pack_mouse below. The message numbers depend on the mode the service runs in
// (set_mode): the single-key mode, used by the key panel's key capture, delivers
// kMsgHookSingleKey; the macro recording modes deliver their own.

#include <QObject>
#include <QPoint>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "core/platform/stroke_dedup.h"
#include "ui/app/messages.h"
#include "ui/app/shell_extension.h"

namespace tellune::ui {

struct KeyStroke {
    uint8_t scan = 0;
    bool extended = false;
    bool down = false;
};

inline constexpr qintptr pack_stroke(const KeyStroke& s) {
    return qintptr(s.scan) | (s.extended ? qintptr(0x100) : 0);
}
inline constexpr KeyStroke unpack_stroke(qintptr wparam, qintptr lparam) {
    return {uint8_t(lparam & 0xFF), (lparam & 0x100) != 0, wparam == kHookKeyDown};
}

// A mouse button pressed or released: a button row of the mouse table (0..9, macro_events.h)
// and, when the source knows it, where the pointer was on the screen.
struct MouseStroke {
    int row = -1;
    bool has_point = false;
    QPoint point;
};

// wparam = the button message | X button number << 16; lparam = x | y << 32, or kNoPoint.
static_assert(sizeof(qintptr) == 8, "a mouse message carries both coordinates in lparam");
inline constexpr qintptr kNoPoint = qintptr(0x7FFFFFFF) << 32 | qintptr(0x7FFFFFFF);
qintptr pack_mouse_wparam(int row);
qintptr pack_mouse_lparam(const MouseStroke& stroke);
// The button message and X button number of a mouse message.
inline constexpr int mouse_message(qintptr wparam) {
    return int(wparam & 0xFFFF);
}
inline constexpr int mouse_xbutton(qintptr wparam) {
    return int((wparam >> 16) & 0xFFFF);
}
// The pointer of a mouse message, or nothing.
std::optional<QPoint> mouse_point(qintptr lparam);

// A place key strokes come from. start() and stop() run on the interface thread; a source
// may call `deliver` from any thread.
class InputSource {
public:
    using Deliver = std::function<void(const KeyStroke&)>;
    using DeliverMouse = std::function<void(const MouseStroke&)>;
    virtual ~InputSource() = default;
    virtual void start(Deliver deliver) = 0;
    virtual void stop() = 0;
    // Mouse buttons are wanted too: called before start(); stop() ends both. Sources without
    // mouse input ignore it.
    virtual void start_mouse(DeliverMouse /*deliver*/) {}
    // True for a source that also sees input meant for other programs' windows.
    virtual bool global() const { return false; }
};

// Key events of every window of this program. Qt's native scan code is the X11/Wayland key
// code, evdev code + 8. While it runs, the strokes it recognises are taken away from the
// widgets (no typing, no shortcuts), except the lock keys, whose state must still follow.
// Mouse buttons, when wanted, are only watched: the user must still be able to click.
class KeyEventSource : public QObject, public InputSource {
    Q_OBJECT
public:
    void start(Deliver deliver) override;
    void stop() override;
    void start_mouse(DeliverMouse deliver) override { deliver_mouse_ = std::move(deliver); }
    bool running() const { return running_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watch_mouse(QEvent* event);

    Deliver deliver_;
    DeliverMouse deliver_mouse_;
    bool running_ = false;
    // A mouse event passes the filter once for the window and once for each widget it is
    // offered to; the same press has the same time stamp throughout.
    struct LastMouse {
        int type = 0;
        int button = 0;
        quint64 timestamp = 0;
        QPoint point;
        bool operator==(const LastMouse&) const = default;
    } last_mouse_;
};

class InputHookService : public InputHook {
public:
    static constexpr int kModeSingleKey = 1;

    // With the Qt event source as its first source.
    InputHookService();
    ~InputHookService() override;

    void add_source(std::unique_ptr<InputSource> source);
    // The message each mode delivers key strokes with; modes without one deliver nothing.
    void set_key_message(int mode, int message);
    // The message each mode delivers mouse buttons with; modes without one watch no buttons.
    void set_mouse_message(int mode, int message);
    // Whether a source sees input meant for other programs too (the global reader found
    // devices it may read).
    bool has_global_source() const;
    // The mode the next install runs in (default: single key).
    void set_mode(int mode) { mode_ = mode; }
    int mode() const { return mode_; }

    void install(CMainWnd& wnd) override;
    void remove() override;
    bool installed() const;

private:
    void start_source(size_t index);
    void deliver(size_t source, const KeyStroke& stroke);
    void deliver_mouse(size_t source, const MouseStroke& stroke);

    std::vector<std::unique_ptr<InputSource>> sources_;
    std::map<int, int> messages_;
    std::map<int, int> mouse_messages_;
    int mode_ = kModeSingleKey;
    // Read by sources on other threads.
    mutable std::mutex target_mutex_;
    CMainWnd* wnd_ = nullptr;
    int message_ = 0;
    int mouse_message_ = 0;
    StrokeDeduplicator dedup_;
};

}  // namespace tellune::ui
