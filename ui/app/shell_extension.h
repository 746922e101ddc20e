#pragma once
// Extension points of the main window for the device pages, editors and input hooks that
// are built on top of the shell. Every default does nothing.

class QWidget;

namespace tellune::ui {

class CMainWnd;

class ShellExtension {
public:
    virtual ~ShellExtension() = default;

    // "windowinit": build pages, add routes, start worker threads.
    virtual void window_init(CMainWnd& /*wnd*/) {}
    // Messages 3090 / 3091, sent by the scan thread with the slot index.
    virtual void device_arrived(int /*slot*/) {}
    virtual void device_removed(int /*slot*/) {}
    // Connected devices shown in the selector; 0 shows "No_device_Link".
    virtual int present_device_count() const { return 0; }
    // The device page of the selected selector entry, or nullptr.
    virtual QWidget* current_page() const { return nullptr; }
    // Light output of every page on or off (light control toggle, suspend and resume).
    virtual void set_light_output(bool /*on*/) {}
    // After a language change: pages reload their texts.
    virtual void reload_texts() {}
    // Timer 1055: apply the profile chosen in the current page's profile list.
    virtual void apply_selected_profile() {}
    // True when this extension shows the window itself after its first scan pass; the
    // shell then does not show it at start.
    virtual bool owns_first_show() const { return false; }
    // Close the windows this extension opened (settings, editors' pop-ups).
    virtual void close_child_windows() {}
    // Before the worker slots stop: stop and join threads of its own.
    virtual void shutdown() {}
    // A message another program sent to the settings window: true when this extension has
    // that window open and handed it over.
    virtual bool forward_to_settings(int /*wparam*/, int /*lparam*/) { return false; }
};

// System-wide input capture used while keys or macros are recorded (message 1054).
class InputHook {
public:
    virtual ~InputHook() = default;
    virtual void install(CMainWnd& wnd) = 0;
    virtual void remove() = 0;
};

}  // namespace tellune::ui
