#pragma once
// The main window: title bar, device area and status line from skin/XML/main.ui, the tray
// icon, the routing of every notification and window message, the shell's timers and its
// worker threads. Device pages and editors plug in through ShellExtension and the route
// tables.

#include <QHash>
#include <QMenu>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <stop_token>
#include <vector>

#include "ui/app/about_wnd.h"
#include "ui/app/control_factory.h"
#include "ui/app/notification_pump.h"
#include "ui/app/routing.h"
#include "ui/app/shell_extension.h"
#include "ui/app/timer_set.h"
#include "ui/app/worker_slots.h"

class QAbstractButton;
class QDBusConnection;
class QSystemTrayIcon;
class QTimer;

namespace tellune::ui {

class ControlBus;
class DesktopBus;
class LanguageManager;
class PowerEvents;

class CMainWnd : public QWidget, public NotificationSink {
    Q_OBJECT
public:
    using MessageHandler = std::function<void(qintptr wparam, qintptr lparam, const QString& data)>;

    explicit CMainWnd(LanguageManager& language, QWidget* parent = nullptr);
    ~CMainWnd() override;

    // Builds the layout, the tray icon and the notification wiring. False when the layout
    // cannot be built.
    bool load();
    // Sends "windowinit": language, extensions, first sizing.
    void init();

    // --- routing ---
    // The route table of a notification type ("click", "selectchanged", "valuechanged",
    // "movevaluechanged", "itemselect", "killfocus", "setfocus", "itemactivate",
    // "colorchanged", "click_select_end"); "menu" holds the menu commands of message 1145.
    RouteTable& routes(const QString& type) { return routes_[type]; }
    void notify(const Notification& n) override;
    NotificationPump& pump() { return pump_; }
    ControlFactory& factory() { return factory_; }
    QWidget* root() const { return root_; }
    template <class T = QWidget>
    T* control(const QString& name) const {
        return findChild<T*>(name);
    }

    // --- window messages ---
    // Thread-safe; handled later on the interface thread.
    void post_message(int message, qintptr wparam = 0, qintptr lparam = 0, QString data = {});
    // From a worker: handled on the interface thread before this returns. False when the
    // message was dropped because the worker is being stopped or the window shuts down.
    bool send_message(std::stop_token token, int message, qintptr wparam = 0, qintptr lparam = 0);
    void handle_message(int message, qintptr wparam, qintptr lparam, const QString& data = {});
    // Handler for a message number the shell does not handle itself.
    void set_message_handler(int message, MessageHandler handler);

    // --- timers (single shot, by id) ---
    void start_timer(int id, int ms);
    void kill_timer(int id);
    bool timer_active(int id) const;
    void set_timer_handler(int id, std::function<void()> handler);

    // --- extension points ---
    void add_extension(std::unique_ptr<ShellExtension> extension);
    // The first extension of type T, or nullptr.
    template <class T>
    T* extension() const {
        for (const auto& e : extensions_)
            if (auto* found = dynamic_cast<T*>(e.get())) return found;
        return nullptr;
    }
    void set_input_hook(std::unique_ptr<InputHook> hook);
    InputHook* input_hook() const { return input_hook_.get(); }
    bool input_hook_installed() const { return hook_installed_; }
    QWidget* current_page() const;
    int present_device_count() const;
    WorkerSlots& workers() { return workers_; }
    UiThreadCaller& ui_caller() { return caller_; }
    LanguageManager& language() { return language_; }

    // --- shell behaviour ---
    void show_main_window();
    void show_yourself(qintptr wparam, qintptr lparam);
    void tray_left_click();
    // The close button: hides the window into the tray; without a tray it ends the program
    // as "exit" does.
    void close_to_tray();
    void close_child_windows();
    void open_about();
    void apply_language(int index);
    bool light_control() const { return light_control_; }
    // Sets who drives the device lights; `broadcast` tells other programs.
    void set_light_control(bool on, bool broadcast);
    void update_no_device_panel();
    // Moves (and shrinks) the window into its screen's free area.
    void keep_on_screen();
    // The free area of the window's screen (the primary screen before it has one).
    QRect available_area() const;
    // A short note on the status line ("str_test"), cleared after `ms` unless replaced.
    void show_status_text(const QString& text, int ms = 6000);
    // Session bus (other programs) and system bus (logind's suspend and resume); load()
    // attaches the real ones when they exist, tests attach private ones.
    void attach_buses(const QDBusConnection& session, const QDBusConnection& system);
    DesktopBus* desktop_bus() const { return desktop_bus_.get(); }
    PowerEvents* power_events() const { return power_.get(); }
    // Suspend (true) and resume (false): the running flag and the device lights.
    void power_event(bool suspending);
    // Cleared while the computer sleeps; most messages are ignored meanwhile.
    bool running() const { return running_; }
    int screen_scale() const { return screen_dpi_; }
    bool is_initialised() const { return initialised_; }
    bool has_tray() const { return tray_ != nullptr; }
    QMenu* tray_menu() const { return tray_menu_; }
    CAboutWnd* about_window() const { return about_; }
    // Stops every worker; idempotent. Runs before destruction at the latest.
    void shutdown();
    // "exit": closes the child windows and the window and ends the program.
    void exit_program();
    // What ends the program (default: quit the application's event loop).
    void set_quit_handler(std::function<void()> handler) { quit_ = std::move(handler); }
    // Whether the desktop offers a tray (default: asks Qt). Tests stand in for one.
    void set_tray_probe(std::function<bool()> probe) { tray_available_ = std::move(probe); }

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void register_shell_routes();
    void on_window_init();
    void on_timer(int id);
    void popup_tray_menu();
    void build_tray();
    void fit_minimum_size(QSize available);
    void update_title_buttons();
    void set_input_hook_state(bool on);
    void broadcast_light_claim(int wparam, int lparam);
    void forward_to_settings(int wparam, int lparam);

    LanguageManager& language_;
    ControlFactory factory_;
    NotificationPump pump_;
    QWidget* root_ = nullptr;
    QHash<QString, RouteTable> routes_;
    QHash<int, MessageHandler> message_handlers_;
    TimerSet timers_{this, [this](int id) { on_timer(id); }};
    QHash<int, std::function<void()>> timer_handlers_;
    std::vector<std::unique_ptr<ShellExtension>> extensions_;
    std::unique_ptr<InputHook> input_hook_;
    bool hook_installed_ = false;
    QSystemTrayIcon* tray_ = nullptr;
    QPointer<QMenu> tray_menu_;
    QPointer<CAboutWnd> about_;
    std::function<void()> quit_;
    std::function<bool()> tray_available_;
    bool light_control_ = true;
    int screen_dpi_ = 96;
    int screen_width_ = 0;
    int screen_height_ = 0;
    bool initialised_ = false;
    bool first_size_done_ = false;
    bool quitting_ = false;
    bool shut_down_ = false;
    bool running_ = true;
    std::unique_ptr<DesktopBus> desktop_bus_;
    std::unique_ptr<ControlBus> control_bus_;  // tellunectl's requests
    std::unique_ptr<PowerEvents> power_;
    WorkerSlots workers_;
    UiThreadCaller caller_;
};

}  // namespace tellune::ui
