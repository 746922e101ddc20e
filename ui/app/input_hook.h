#pragma once
// The input-hook service: while it is installed, key strokes reach the main window as window
// messages carrying the PC set-1 scan code, the extended flag and whether the key went down.
// Sources feed it: the application-wide Qt event filter (KeyEventSource), and later others
// (a global evdev reader) through add_source.
//
// Messages: wparam kKeyDown or kKeyUp, lparam = scan code | extended << 8. The message
// number depends on the mode the service runs in (set_mode): the single-key mode, used by
// the key panel's key capture, delivers kMsgHookSingleKey.

#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

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

// A place key strokes come from. start() and stop() run on the interface thread; a source
// may call `deliver` from any thread.
class InputSource {
public:
    using Deliver = std::function<void(const KeyStroke&)>;
    virtual ~InputSource() = default;
    virtual void start(Deliver deliver) = 0;
    virtual void stop() = 0;
};

// Key events of every window of this program. Qt's native scan code is the X11/Wayland key
// code, evdev code + 8. While it runs, the strokes it recognises are taken away from the
// widgets (no typing, no shortcuts), except the lock keys, whose state must still follow.
class KeyEventSource : public QObject, public InputSource {
    Q_OBJECT
public:
    void start(Deliver deliver) override;
    void stop() override;
    bool running() const { return running_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Deliver deliver_;
    bool running_ = false;
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
    // The mode the next install runs in (default: single key).
    void set_mode(int mode) { mode_ = mode; }
    int mode() const { return mode_; }

    void install(CMainWnd& wnd) override;
    void remove() override;
    bool installed() const;

private:
    void deliver(const KeyStroke& stroke);

    std::vector<std::unique_ptr<InputSource>> sources_;
    std::map<int, int> messages_;
    int mode_ = kModeSingleKey;
    // Read by sources on other threads.
    mutable std::mutex target_mutex_;
    CMainWnd* wnd_ = nullptr;
    int message_ = 0;
};

}  // namespace tellune::ui
