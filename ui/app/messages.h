#pragma once
// Window message and timer numbers of the shell. Later code posts the same numbers, so they
// stay fixed; the event type carries them across threads.

#include <QEvent>
#include <QString>

namespace tellune::ui {

enum Message : int {
    kMsgTray = 1025,         // lparam: 514 left button up, 517 right button up
    kMsgInputHook = 1054,    // wparam 1 install, 0 remove
    kMsgMenuCommand = 1145,  // data: the menu item's name
    kMsgDebugOnly = 1224,
    kMsgShowProgress = 3072,   // shows "setting_progress"
    kMsgLanguage = 3089,       // wparam: language index
    kMsgDeviceArrived = 3090,  // wparam: slot index
    kMsgDeviceRemoved = 3091,  // wparam: slot index
    kMsgOpenSettings = 3093,
    kMsgClearSetBadge = 3094,
    kMsgDeviceAccess = 3095,    // data: device nodes this user may not open, one a line
    kMsgShowYourself = 0x7E00,  // stands for the message registered under the title
    // Key strokes of the input hook (input_hook.h), one message per hook mode.
    kMsgHookSingleKey = 0x7E01,  // key capture of the key panel
    // Macro recording, by mode: append, insert before, insert after, re-key the selected row.
    kMsgHookKbMacro = 0x7E02,
    kMsgHookKbMacroPrevious = 0x7E03,
    kMsgHookKbMacroLater = 0x7E04,
    kMsgHookKbMacroSingle = 0x7E05,
    kMsgHookMsMacro = 0x7E06,
    kMsgHookMsMacroPrevious = 0x7E07,
    kMsgHookMsMacroLater = 0x7E08,
    kMsgHookMsMacroSingle = 0x7E09,
};

// wparam of the input hook's key messages.
enum HookKeyAction : int { kHookKeyDown = 0x0100, kHookKeyUp = 0x0101 };

enum TrayEvent : int { kTrayLeftUp = 514, kTrayRightUp = 517 };

enum Timer : int {
    kTimerShowMain = 1011,
    kTimerTrayMenu = 1032,
    kTimerApplyProfile = 1055,
    kTimerMacroScroll = 4101,  // the macro page scrolls to its selected row
};

// A window message posted to CMainWnd; posting it is safe from any thread.
class WindowMessageEvent : public QEvent {
public:
    WindowMessageEvent(int message, qintptr wparam, qintptr lparam, QString data)
        : QEvent(event_type()),
          message_(message),
          wparam_(wparam),
          lparam_(lparam),
          data_(std::move(data)) {}
    static QEvent::Type event_type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    int message() const { return message_; }
    qintptr wparam() const { return wparam_; }
    qintptr lparam() const { return lparam_; }
    const QString& data() const { return data_; }

private:
    int message_;
    qintptr wparam_;
    qintptr lparam_;
    QString data_;
};

}  // namespace tellune::ui
