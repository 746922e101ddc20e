#include "ui/app/main_wnd.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDBusConnection>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "core/platform/platform.h"
#include "ui/app/about_wnd.h"
#include "ui/app/desktop_bus.h"
#include "ui/app/desktop_settings.h"
#include "ui/app/device_pages.h"
#include "ui/app/language.h"
#include "ui/app/messages.h"
#include "ui/app/page_area.h"
#include "ui/app/popup_menu.h"
#include "ui/app/power_events.h"
#include "ui/app/text_table.h"
#include "ui/app/title_bar.h"
#include "ui/app/window_scale.h"
#include "ui/cli_bridge/control_bus.h"

namespace tellune::ui {
namespace {

const char* const kTitleButtons[] = {"closebtn",    "maxbtn",   "restorebtn",   "minbtn", "skinbtn",
                                     "gamemodebtn", "cloudbtn", "smarteyesbtn", "setbtn"};
// The program's own title buttons, set apart from the window buttons by "title_separator".
const char* const kProgramTitleButtons[] = {"skinbtn", "gamemodebtn", "cloudbtn", "smarteyesbtn",
                                            "setbtn"};

QString title() {
    return QString::fromUtf8(kApplicationTitle.data(), int(kApplicationTitle.size()));
}

// Messages that still count while the computer sleeps: a device that leaves or comes back
// must be unbound or bound, or its page would keep a dead channel.
bool handled_while_asleep(int message) {
    return message == kMsgDeviceArrived || message == kMsgDeviceRemoved;
}

}  // namespace

CMainWnd::CMainWnd(LanguageManager& language, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      language_(language),
      factory_(language.skin_folder()),
      pump_(this),
      quit_([] { QCoreApplication::quit(); }),
      tray_available_([] { return QSystemTrayIcon::isSystemTrayAvailable(); }),
      caller_([this](std::function<void()> task) {
          QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
      }) {
    setObjectName("MainWnd");
    setAttribute(Qt::WA_StyledBackground);
    setWindowTitle(title());
    setAttribute(Qt::WA_DeleteOnClose, false);
    register_shell_routes();
    set_timer_handler(kTimerShowMain, [this] {
        show_main_window();
        bool owned = false;
        for (const auto& e : extensions_) owned = owned || e->owns_first_show();
        // Without a scanner to announce its first pass the window comes up now.
        if (!owned) show_yourself(0, 1);
    });
    set_timer_handler(kTimerTrayMenu, [this] { popup_tray_menu(); });
    set_timer_handler(kTimerApplyProfile, [this] {
        for (const auto& e : extensions_) e->apply_selected_profile();
    });
}

CMainWnd::~CMainWnd() {
    shutdown();
}

bool CMainWnd::load() {
    root_ = factory_.load_layout("XML/main.ui", this);
    if (!root_) return false;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(root_);
    if (QWidget* bar = control("title_bar")) new TitleBarMover(bar, this, true);
    for (const char* name : kTitleButtons)
        if (!control<QAbstractButton>(name)) debug_printf("title-bar control missing: %s", name);
    if (auto* pages = control<QStackedWidget>("device_switch"))
        if (auto* scroll = control<QScrollArea>("device_scroll")) new PageArea(pages, scroll);
    const QIcon icon(language_.skin_folder() + "images/tellune.svg");
    setWindowIcon(icon);
    build_tray();
    pump_.attach(this);
    retranslate(this);
    update_title_buttons();
    set_light_control(light_control_, false);
    if (QWidget* progress = control("setting_progress")) progress->hide();
    attach_buses(session_bus_if_announced(), system_bus_if_present());
    return true;
}

void CMainWnd::init() {
    pump_.send("windowinit", root_ ? root_ : this);
}

void CMainWnd::register_shell_routes() {
    RouteTable& click = routes("click");
    click.add("closebtn", Match::NoCase, [this](const Notification&, int) { close_to_tray(); });
    click.add("nodevice_ok_btn", Match::NoCase, [this](const Notification&, int) { hide(); });
    click.add("control_light_status", Match::NoCase,
              [this](const Notification&, int) { set_light_control(!light_control_, true); });
    click.add("minbtn", Match::NoCase, [this](const Notification&, int) { showMinimized(); });
    click.add("maxbtn", Match::NoCase, [this](const Notification&, int) { showMaximized(); });
    click.add("restorebtn", Match::NoCase, [this](const Notification&, int) { showNormal(); });
    // 1 opens the mouse settings, 0 the keyboard settings.
    click.add("windowdeviceset_", Match::Prefix, [](const Notification&, int n) {
        if (n == 0 || n == 1)
            open_desktop_settings(n == 1 ? InputSettings::mouse : InputSettings::keyboard);
    });

    routes("itemselect")
        .add("device_profile_combo", Match::NoCase,
             [this](const Notification&, int) { start_timer(kTimerApplyProfile, 400); });

    RouteTable& menu = routes("menu");
    menu.add("exit", Match::NoCase, [this](const Notification&, int) { exit_program(); });
    menu.add("about_menu", Match::NoCase, [this](const Notification&, int) { open_about(); });
}

void CMainWnd::notify(const Notification& n) {
    if (n.type == QLatin1String("windowinit")) {
        on_window_init();
        return;
    }
    if (n.type == QLatin1String("windowsize")) {
        if (n.sender == QLatin1String("root") && initialised_ && !first_size_done_) {
            first_size_done_ = true;
            show_main_window();
        }
        return;
    }
    // The key capture edit records with the input hook while it has the focus.
    if (n.sender == QLatin1String("keyset_keyboard_text_edit")) {
        if (n.type == QLatin1String("setfocus")) post_message(kMsgInputHook, 1);
        if (n.type == QLatin1String("killfocus")) post_message(kMsgInputHook, 0);
    }
    const auto it = routes_.constFind(n.type);
    if (it != routes_.constEnd()) it->dispatch(n);
}

void CMainWnd::on_window_init() {
    broadcast_light_claim(1, 1);
    apply_language(language_.index_from_registry());
    for (const auto& e : extensions_) e->window_init(*this);
    // Extensions show the title buttons they answer.
    update_title_buttons();
    if (QScreen* s = screen()) {
        screen_width_ = s->geometry().width();
        screen_height_ = s->geometry().height();
    }
    hide();
    start_timer(kTimerShowMain, 100);
    initialised_ = true;
}

void CMainWnd::post_message(int message, qintptr wparam, qintptr lparam, QString data) {
    QCoreApplication::postEvent(this,
                                new WindowMessageEvent(message, wparam, lparam, std::move(data)));
}

bool CMainWnd::send_message(std::stop_token token, int message, qintptr wparam, qintptr lparam) {
    return caller_.call(std::move(token), [this, message, wparam, lparam] {
        handle_message(message, wparam, lparam);
    });
}

void CMainWnd::set_message_handler(int message, MessageHandler handler) {
    message_handlers_.insert(message, std::move(handler));
}

void CMainWnd::handle_message(int message, qintptr wparam, qintptr lparam, const QString& data) {
    if (!running_ && !handled_while_asleep(message)) return;
    switch (message) {
        case kMsgShowYourself:
            show_yourself(wparam, lparam);
            return;
        case kMsgTray:
            if (lparam == kTrayLeftUp) tray_left_click();
            if (lparam == kTrayRightUp) start_timer(kTimerTrayMenu, 10);
            return;
        case kMsgInputHook:
            set_input_hook_state(wparam != 0);
            return;
        case kMsgMenuCommand:
            if (!routes("menu").dispatch(Notification{"menu", data, nullptr}))
                debug_printf("menu command not handled: %s", data.toUtf8().constData());
            return;
        case kMsgDebugOnly:
            debug_line("1224");
            return;
        case kMsgShowProgress:
            if (QWidget* progress = control("setting_progress")) progress->show();
            return;
        case kMsgLanguage:
            apply_language(int(wparam));
            for (const auto& e : extensions_) e->reload_texts();
            return;
        case kMsgDeviceArrived:
            for (const auto& e : extensions_) e->device_arrived(int(wparam));
            return;
        case kMsgDeviceRemoved:
            for (const auto& e : extensions_) e->device_removed(int(wparam));
            return;
        case kMsgClearSetBadge:
            if (QWidget* set = control("setbtn")) {
                set->setProperty("badge", false);
                set->style()->unpolish(set);
                set->style()->polish(set);
            }
            return;
        default:
            break;
    }
    const auto it = message_handlers_.constFind(message);
    if (it != message_handlers_.constEnd())
        (*it)(wparam, lparam, data);
    else if (message == kMsgOpenSettings)
        debug_line("3093: settings window not available");
}

bool CMainWnd::event(QEvent* e) {
    if (e->type() == WindowMessageEvent::event_type()) {
        auto* m = static_cast<WindowMessageEvent*>(e);
        handle_message(m->message(), m->wparam(), m->lparam(), m->data());
        return true;
    }
    return QWidget::event(e);
}

void CMainWnd::closeEvent(QCloseEvent* e) {
    if (quitting_) {
        e->accept();
        return;
    }
    // Closing by the window manager behaves like the close button: the program stays in
    // the tray, or ends when there is none (after this event, not inside it).
    e->ignore();
    if (!tray_) build_tray();
    if (tray_)
        close_to_tray();
    else
        QMetaObject::invokeMethod(
            this, [this] { exit_program(); }, Qt::QueuedConnection);
}

void CMainWnd::changeEvent(QEvent* e) {
    if (e->type() == QEvent::WindowStateChange) update_title_buttons();
    QWidget::changeEvent(e);
}

void CMainWnd::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (root_) pump_.send("windowsize", root_);
}

void CMainWnd::start_timer(int id, int ms) {
    timers_.start(id, ms);
}

void CMainWnd::kill_timer(int id) {
    timers_.kill(id);
}

bool CMainWnd::timer_active(int id) const {
    return timers_.active(id);
}

void CMainWnd::set_timer_handler(int id, std::function<void()> handler) {
    timer_handlers_.insert(id, std::move(handler));
}

void CMainWnd::on_timer(int id) {
    if (!running_) return;
    const auto it = timer_handlers_.constFind(id);
    if (it == timer_handlers_.constEnd()) return;
    const std::function<void()> handler = *it;  // a handler may replace itself
    handler();
}

void CMainWnd::add_extension(std::unique_ptr<ShellExtension> extension) {
    if (extension) extensions_.push_back(std::move(extension));
}

void CMainWnd::set_input_hook(std::unique_ptr<InputHook> hook) {
    set_input_hook_state(false);
    input_hook_ = std::move(hook);
}

void CMainWnd::set_input_hook_state(bool on) {
    if (on == hook_installed_) return;
    if (!input_hook_) return;  // nothing registered: recording keys is not available
    if (on)
        input_hook_->install(*this);
    else
        input_hook_->remove();
    hook_installed_ = on;
}

QWidget* CMainWnd::current_page() const {
    for (const auto& e : extensions_)
        if (QWidget* page = e->current_page()) return page;
    return nullptr;
}

int CMainWnd::present_device_count() const {
    int count = 0;
    for (const auto& e : extensions_) count += e->present_device_count();
    return count;
}

void CMainWnd::update_no_device_panel() {
    if (QWidget* panel = control("No_device_Link")) panel->setVisible(present_device_count() == 0);
}

QRect CMainWnd::available_area() const {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect();
}

void CMainWnd::show_main_window() {
    const bool was_visible = isVisible() && !isMinimized();
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect full = s ? s->geometry() : QRect(0, 0, kMainWidth, kMainHeight);
    const QRect area = s ? s->availableGeometry() : full;
    const int preferred =
        checked_scale(scale_for_monitor(full.width(), full.height()), "MAIN_WND DPI SET ERROR");
    // Never larger than the screen leaves free: a smaller screen gets a smaller scale.
    screen_dpi_ = fitting_scale(preferred, {kMainWidth, kMainHeight}, area.size());
    language_.fonts().set_scale(screen_dpi_);
    language_.fonts().apply();
    scale_fixed_sizes(root_, screen_dpi_);
    fit_minimum_size(area.size());
    const QSize size = QSize(scaled(kMainWidth, screen_dpi_), scaled(kMainHeight, screen_dpi_))
                           .expandedTo(minimumSize());
    QRect frame(QPoint(), size);
    frame.moveCenter(area.center());
    setGeometry(fit_into(frame, area));
    if (was_visible) show();
}

void CMainWnd::fit_minimum_size(QSize available) {
    if (!layout()) return;
    // What the title bar, the device list and the status line need at this scale (pages
    // scroll), but never more than the screen has, or the window could not be placed on it.
    setMinimumSize(0, 0);
    layout()->invalidate();
    layout()->activate();
    QSize needed = layout()->totalMinimumSize();
    if (available.isValid()) needed = needed.boundedTo(available);
    setMinimumSize(needed.expandedTo(QSize(1, 1)));
}

void CMainWnd::keep_on_screen() {
    const QRect area = available_area();
    if (!area.isValid() || isMaximized() || isFullScreen()) return;
    const QRect inside = fit_into(geometry(), area);
    if (inside != geometry()) setGeometry(inside);
}

void CMainWnd::show_yourself(qintptr wparam, qintptr lparam) {
    debug_printf("显示窗口消息 wParam=%lld lParam=%lld", static_cast<long long>(wparam),
                 static_cast<long long>(lparam));
    update_no_device_panel();
    showNormal();
    keep_on_screen();
    raise();
    activateWindow();
}

void CMainWnd::tray_left_click() {
    update_no_device_panel();
    const bool was_visible = isVisible() && !isMinimized();
    close_child_windows();
    if (was_visible) {
        hide();
        return;
    }
    show_main_window();
    showNormal();
    keep_on_screen();
    raise();
    activateWindow();
}

void CMainWnd::close_to_tray() {
    // A tray may have come up since the start.
    if (!tray_) build_tray();
    if (!tray_) {
        // Without a tray a hidden window could never come back: closing ends the program.
        exit_program();
        return;
    }
    close_child_windows();
    hide();
}

void CMainWnd::close_child_windows() {
    if (about_) about_->close();
    if (tray_menu_) tray_menu_->close();
    for (const auto& e : extensions_) e->close_child_windows();
}

void CMainWnd::open_about() {
    if (!about_) {
        about_ = new CAboutWnd(this);
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void CMainWnd::apply_language(int index) {
    language_.apply_language(index);
    retranslate(this);
    if (about_) about_->reload_texts();
    set_light_control(light_control_, false);  // its label follows the state, not a fixed id
}

void CMainWnd::set_light_control(bool on, bool broadcast) {
    light_control_ = on;
    if (broadcast) broadcast_light_claim(1, on ? 1 : 0);
    if (auto* label = control<QAbstractButton>("control_light_status")) {
        set_text_id(label, on ? "control_light_status_on" : "control_light_status_off");
        label->setProperty("lightcontrol", on);
        label->style()->unpolish(label);
        label->style()->polish(label);
    }
    for (const auto& e : extensions_) e->set_light_output(on);
}

void CMainWnd::broadcast_light_claim(int wparam, int lparam) {
    if (desktop_bus_) desktop_bus_->broadcast_light_claim(wparam, lparam);
}

void CMainWnd::attach_buses(const QDBusConnection& session, const QDBusConnection& system) {
    control_bus_.reset();
    desktop_bus_.reset();
    power_.reset();
    DesktopBus::Handlers handlers;
    handlers.light_notice = [this](int wparam, int lparam) {
        if (running_ && wparam == 1) set_light_control(lparam != 0, false);
    };
    handlers.settings_message = [this](int wparam, int lparam) {
        if (running_) forward_to_settings(wparam, lparam);
    };
    handlers.device_kinds = [] { return device_kind_report_words(); };
    desktop_bus_ = std::make_unique<DesktopBus>(session, std::move(handlers));
    control_bus_ = std::make_unique<ControlBus>(session, *this);
    power_ =
        std::make_unique<PowerEvents>(system, [this](bool suspending) { power_event(suspending); });
}

void CMainWnd::forward_to_settings(int wparam, int lparam) {
    for (const auto& e : extensions_)
        if (e->forward_to_settings(wparam, lparam)) return;
    debug_printf("settings message %d %d: no settings window", wparam, lparam);
}

void CMainWnd::power_event(bool suspending) {
    if (suspending) {
        running_ = false;
        for (const auto& e : extensions_) e->set_light_output(false);
    } else {
        running_ = true;
        set_light_control(light_control_, false);
    }
}

void CMainWnd::build_tray() {
    if (tray_ || quitting_ || !tray_available_ || !tray_available_()) return;
    tray_ = new QSystemTrayIcon(windowIcon(), this);
    tray_->setToolTip(title());
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) post_message(kMsgTray, 0, kTrayLeftUp);
                if (reason == QSystemTrayIcon::Context) post_message(kMsgTray, 0, kTrayRightUp);
            });
    tray_->show();
}

void CMainWnd::popup_tray_menu() {
    if (tray_menu_) tray_menu_->deleteLater();
    QMenu* menu = build_menu(
        language_.skin_folder() + "XML/Menus/menu.json", this,
        [this](const QString& name) { post_message(kMsgMenuCommand, 0, 0, name); },
        // An entry nothing answers (its window is not part of this program) is left out.
        [this](const QString& name) { return bool(routes("menu").match(name)); });
    if (!menu) menu = new QMenu(this);
    menu->setObjectName("tray_menu");
    tray_menu_ = menu;
    menu->popup(QCursor::pos());
}

void CMainWnd::update_title_buttons() {
    const bool maximised = isMaximized();
    if (QWidget* max = control("maxbtn")) max->setVisible(!maximised);
    if (QWidget* restore = control("restorebtn")) restore->setVisible(maximised);
    // The separator only separates when some program button is there.
    bool program_buttons = false;
    for (const char* name : kProgramTitleButtons)
        if (QWidget* b = control(name)) program_buttons = program_buttons || !b->isHidden();
    if (QWidget* separator = control("title_separator")) separator->setVisible(program_buttons);
}

void CMainWnd::show_status_text(const QString& text, int ms) {
    auto* label = control<QLabel>(QStringLiteral("str_test"));
    if (!label) return;
    set_text_id(label, {});
    // A long name must not push the status line's other parts aside.
    const QString shown =
        label->fontMetrics().elidedText(text, Qt::ElideMiddle, std::max(120, width() / 2));
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
    if (ms > 0)
        QTimer::singleShot(ms, label, [label, shown] {
            if (label->text() == shown && label->property("textid").toString().isEmpty()) {
                label->clear();
                label->setToolTip({});
            }
        });
}

void CMainWnd::shutdown() {
    if (shut_down_) return;
    shut_down_ = true;
    debug_line("退出测试");
    hide();
    timers_.kill_all();
    // Workers blocked in send_message are answered first, or joining them could deadlock.
    caller_.close();
    for (const auto& e : extensions_) e->shutdown();
    workers_.stop_all();
    set_input_hook_state(false);
    if (tray_) tray_->hide();
}

void CMainWnd::exit_program() {
    quitting_ = true;
    close_child_windows();
    shutdown();
    close();
    if (quit_) quit_();
}

}  // namespace tellune::ui
