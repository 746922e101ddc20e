#include "ui/macro/macro_editor.h"

#include <QAbstractButton>
#include <QCursor>
#include <QFileDialog>
#include <QMenu>
#include <QMetaObject>

#include "core/macro/macro_events.h"
#include "core/macro/macro_recorder.h"
#include "core/platform/platform.h"
#include "ui/app/app_options.h"
#include "ui/app/control_factory.h"
#include "ui/app/device_pages.h"
#include "ui/app/evdev_source.h"
#include "ui/app/main_wnd.h"
#include "ui/app/messages.h"
#include "ui/app/msg_wnd.h"
#include "ui/app/popup_menu.h"
#include "ui/app/text_table.h"
#include "ui/device/tarvex_usb_device.h"
#include "ui/editors/key_set_control_ui.h"
#include "ui/macro/macro_control_ui.h"
#include "ui/macro/macro_owner.h"

namespace tellune::ui {
namespace {

using macro::MacroRecorder;
using ImportResult = macro::MacroLibrary::ImportResult;

struct ModeMessages {
    int mode;
    int keys;
    int mouse;
};
constexpr ModeMessages kModeMessages[] = {
    {MacroRecorder::kAppend, kMsgHookKbMacro, kMsgHookMsMacro},
    {MacroRecorder::kBefore, kMsgHookKbMacroPrevious, kMsgHookMsMacroPrevious},
    {MacroRecorder::kAfter, kMsgHookKbMacroLater, kMsgHookMsMacroLater},
    {MacroRecorder::kRekey, kMsgHookKbMacroSingle, kMsgHookMsMacroSingle},
};

// Row menu commands that start recording: mode, delay kind (0: measured, or fixed when the
// fixed-delay option is chosen).
struct RecordCommand {
    const char* name;
    int mode;
    int kind;
};
constexpr RecordCommand kRecordCommands[] = {
    {"redio_previous_record_time", MacroRecorder::kBefore, 0},
    {"redio_previous_constant_time", MacroRecorder::kBefore, MacroRecorder::kFixed},
    {"redio_previous_ignore_time", MacroRecorder::kBefore, MacroRecorder::kIgnored},
    {"redio_later_record_time", MacroRecorder::kAfter, 0},
    {"redio_later_constant_time", MacroRecorder::kAfter, MacroRecorder::kFixed},
    {"redio_later_ignore_time", MacroRecorder::kAfter, MacroRecorder::kIgnored},
    {"macro_action_edit", MacroRecorder::kRekey, MacroRecorder::kIgnored},
};

struct ButtonCommand {
    const char* name;
    int button;
};
constexpr ButtonCommand kButtonCommands[] = {
    {"left", macro::kButtonLeft},   {"middle", macro::kButtonMiddle},
    {"right", macro::kButtonRight}, {"forward", macro::kButtonForward},
    {"back", macro::kButtonBack},
};

struct MoveButton {
    const char* name;
    int type;
    bool down;
};
constexpr MoveButton kMoveButtons[] = {
    {"macro_inset_moveleftkey_btn", macro::kTypeMoveX, true},
    {"macro_inset_moverightkey_btn", macro::kTypeMoveX, false},
    {"macro_inset_moveupkey_btn", macro::kTypeMoveY, true},
    {"macro_inset_movedownkey_btn", macro::kTypeMoveY, false},
};

}  // namespace

void register_macro_controls() {
    ControlFactory::register_tag(QLatin1String(CMacroControlUI::kClassName),
                                 [](QWidget* parent, const QString& name, ControlFactory&) {
                                     auto* w = new CMacroControlUI(parent);
                                     w->setObjectName(name);
                                     return w;
                                 });
}

void unregister_macro_controls() {
    ControlFactory::unregister_tag(QLatin1String(CMacroControlUI::kClassName));
}

MacroEditor* install_macro_editor(CMainWnd& wnd, MacroEditor::PageList pages) {
    register_macro_controls();
    if (!wnd.input_hook()) wnd.set_input_hook(std::make_unique<InputHookService>());
    if (auto* service = dynamic_cast<InputHookService*>(wnd.input_hook())) {
        for (const ModeMessages& m : kModeMessages) {
            service->set_key_message(m.mode, m.keys);
            service->set_mouse_message(m.mode, m.mouse);
        }
        if (app_options().global_input && !service->has_global_source() &&
            EvdevInputSource::available())
            service->add_source(std::make_unique<EvdevInputSource>());
    }
    auto editor = std::make_unique<MacroEditor>(wnd, std::move(pages));
    MacroEditor* raw = editor.get();
    wnd.add_extension(std::move(editor));
    return raw;
}

MacroEditor* install_macro_editor(CMainWnd& wnd, DevicePages* pages) {
    return install_macro_editor(wnd, [pages]() -> std::vector<CTarvexUSBDevice*> {
        return pages ? pages->Pages() : std::vector<CTarvexUSBDevice*>{};
    });
}

MacroEditor::MacroEditor(CMainWnd& wnd, PageList pages) : wnd_(wnd), pages_(std::move(pages)) {
    message_ = [](QWidget* parent, const QString& text, bool is_id, int buttons) {
        auto* main = qobject_cast<CMainWnd*>(parent);
        return ShowMessage(parent, QString(), text, main ? main->screen_scale() : 96, is_id,
                           buttons);
    };
    chooser_ = [](QWidget* parent, bool save) {
        const QString filter = QString::fromLatin1(CMacroControlUI::kFileFilter);
        return save ? QFileDialog::getSaveFileName(parent, QString(), QString(), filter)
                    : QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
    };
    register_routes();
    register_hook_messages();
}

MacroEditor::~MacroEditor() {
    if (menu_) delete menu_.data();
}

void MacroEditor::set_message_function(MessageFunction fn) {
    if (fn) message_ = std::move(fn);
}

void MacroEditor::set_path_chooser(PathChooser fn) {
    if (fn) chooser_ = std::move(fn);
}

int MacroEditor::message(const QString& text, bool is_id, int buttons) {
    return message_ ? message_(&wnd_, text, is_id, buttons) : 0;
}

// --- pages ---

void MacroEditor::start_page(CTarvexUSBDevice* page) {
    CMacroControlUI* control = find_macro_control(page);
    if (!control || !dynamic_cast<MacroOwner*>(page)) return;
    const bool first = control->folder().empty();
    if (first)
        QObject::connect(control, &CMacroControlUI::rowCreated, &wnd_,
                         [this](QWidget* row) { wnd_.pump().attach(row); });
    control->set_folder(page->UserDataFolder());
}

void MacroEditor::window_init(CMainWnd&) {
    if (pages_)
        for (CTarvexUSBDevice* page : pages_()) start_page(page);
    update_record_scope();
}

void MacroEditor::device_arrived(int) {
    update_record_scope();
}

void MacroEditor::device_removed(int) {
    // A recording cannot go on without its device (the hook is already removed then).
    if (recording_page_ && !recording_page_->Config().IsOpen()) on_stop();
}

void MacroEditor::reload_texts() {
    if (!pages_) return;
    for (CTarvexUSBDevice* page : pages_())
        if (CMacroControlUI* control = find_macro_control(page)) control->retranslate();
    update_record_scope();
}

void MacroEditor::close_child_windows() {
    if (menu_) menu_->close();
}

void MacroEditor::shutdown() {
    if (recording_) on_stop();
}

void MacroEditor::update_record_scope() {
    auto* service = dynamic_cast<InputHookService*>(wnd_.input_hook());
    const bool global = service && service->has_global_source();
    if (!pages_) return;
    for (CTarvexUSBDevice* page : pages_())
        if (CMacroControlUI* control = find_macro_control(page)) control->set_record_scope(global);
}

CTarvexUSBDevice* MacroEditor::current_device() const {
    auto* page = qobject_cast<CTarvexUSBDevice*>(wnd_.current_page());
    return page && dynamic_cast<MacroOwner*>(page) ? page : nullptr;
}

CMacroControlUI* MacroEditor::recording_control() const {
    return recording_;
}

QMenu* MacroEditor::action_menu() const {
    return menu_;
}

CMacroControlUI* MacroEditor::current_control() const {
    return find_macro_control(current_device());
}

// --- writing and telling the device control ---

void MacroEditor::write_macros(CTarvexUSBDevice* page) {
    if (!page) return;
    const int result = page->write_macros();
    if (result == 0) return;
    debug_printf("宏写入失败：%d", result);
    if (result == -1) {
        message(QStringLiteral("message_text_7"), true, 0);
        return;
    }
    QString text = texts().text(QStringLiteral("message_text_16"));
    text.replace(QLatin1String("%d"), QString::number(result));
    message(text, false, 0);
}

void MacroEditor::write_keys(CTarvexUSBDevice* page) {
    if (!page) return;
    const int result = page->write_key_table();
    if (result == 1) return;
    debug_printf("按键写入失败：%d", result);
    if (result == -1) {
        message(QStringLiteral("message_text_7"), true, 0);
        return;
    }
    QString text = texts().text(QStringLiteral("message_text_16"));
    text.replace(QLatin1String("%d"), QString::number(result));
    message(text, false, 0);
}

void MacroEditor::names_changed(CTarvexUSBDevice* page) {
    auto* owner = dynamic_cast<MacroOwner*>(page);
    CMacroControlUI* control = find_macro_control(page);
    if (owner && control) owner->macro_names_changed(control->names());
}

void MacroEditor::save_and_write() {
    CTarvexUSBDevice* page = current_device();
    CMacroControlUI* control = find_macro_control(page);
    if (!control) return;
    // The events reach the device with the next write of its macros, which is now: a key
    // playing this macro must play what the page shows.
    if (control->save_selected()) write_macros(page);
}

// --- the library ---

void MacroEditor::on_name_selected() {
    if (CMacroControlUI* control = current_control()) control->on_name_selected();
}

void MacroEditor::on_add() {
    CTarvexUSBDevice* page = current_device();
    CMacroControlUI* control = find_macro_control(page);
    if (!control || control->add_macro().isEmpty()) return;
    names_changed(page);
    write_macros(page);
}

void MacroEditor::on_delete() {
    CTarvexUSBDevice* page = current_device();
    CMacroControlUI* control = find_macro_control(page);
    auto* owner = dynamic_cast<MacroOwner*>(page);
    if (!control || !owner) return;
    const int index = control->selected_index();
    if (index < 0) return;
    if (message(QStringLiteral("message_text_4"), true, 1) != 1) return;
    if (owner->keys_playing_macro(index) > 0 &&
        message(QStringLiteral("message_text_2"), true, 1) != 1)
        return;
    // The message boxes ran the event loop: the page may have gone meanwhile.
    if (current_control() != control || control->selected_index() != index) return;
    const bool keys_changed = owner->follow_deleted_macro(index);
    control->delete_macro();
    names_changed(page);
    // The later macros moved down one place on the device too, and the keys that follow them
    // must meet them there.
    write_macros(page);
    if (keys_changed) write_keys(page);
}

void MacroEditor::on_rename() {
    CTarvexUSBDevice* page = current_device();
    CMacroControlUI* control = find_macro_control(page);
    if (!control || control->selected_index() < 0) return;
    const auto result = control->rename_macro();
    if (result.name == macro::kRenameIsEmpty && result.index < 0) {
        message(QStringLiteral("message_text_25"), true, 0);
        return;
    }
    if (result.name.empty()) {
        message(QStringLiteral("message_text_5"), true, 0);
        return;
    }
    names_changed(page);
    write_macros(page);
    write_keys(page);
}

void MacroEditor::on_save() {
    save_and_write();
}

void MacroEditor::on_cancel() {
    if (CMacroControlUI* control = current_control()) control->load_selected();
}

void MacroEditor::on_import() {
    CTarvexUSBDevice* page = current_device();
    if (!find_macro_control(page)) return;
    const QString path = chooser_(&wnd_, false);
    CMacroControlUI* control = find_macro_control(page);
    if (path.isEmpty() || !control || current_device() != page) return;
    switch (control->import_macro(path)) {
        case ImportResult::kImported:
            names_changed(page);
            write_macros(page);
            return;
        case ImportResult::kNoPath:
            return;
        case ImportResult::kFull:
            message(QStringLiteral("macro_library_full"), true, 0);
            return;
        case ImportResult::kTooLarge:
            message(QStringLiteral("macro_import_too_large"), true, 0);
            return;
        case ImportResult::kUnreadable:
            message(QStringLiteral("macro_import_unreadable"), true, 0);
            return;
        case ImportResult::kWriteFailed:
            message(QStringLiteral("macro_file_not_written"), true, 0);
            return;
    }
}

void MacroEditor::on_export() {
    CMacroControlUI* control = current_control();
    if (!control || control->selected_index() < 0) return;
    const QString path = chooser_(&wnd_, true);
    if (path.isEmpty() || current_control() != control) return;
    if (!control->export_macro(path)) message(QStringLiteral("macro_file_not_written"), true, 0);
}

// --- rows ---

void MacroEditor::on_rows(bool (CMacroControlUI::*op)()) {
    CMacroControlUI* control = current_control();
    if (!control || control->recording() || control->actions().selected() < 0) return;
    (control->*op)();
    save_and_write();
}

void MacroEditor::on_delete_all() {
    CMacroControlUI* control = current_control();
    if (!control || control->recording() || control->selected_index() < 0) return;
    control->row_delete_all();
    save_and_write();
}

void MacroEditor::on_insert_move(int type, bool down) {
    CMacroControlUI* control = current_control();
    if (!control || control->recording()) return;
    if (control->insert_move(type, down)) save_and_write();
}

void MacroEditor::on_menu_insert(int button, bool down, bool click) {
    CMacroControlUI* control = current_control();
    if (!control || control->recording()) return;
    bool inserted = control->insert_button(button, click || down);
    if (click) inserted = control->insert_button(button, false) || inserted;
    if (inserted) save_and_write();
}

void MacroEditor::show_action_menu() {
    CMacroControlUI* control = current_control();
    if (!control || control->recording() || control->selected_index() < 0) return;
    if (menu_) menu_->deleteLater();
    menu_ =
        build_menu(wnd_.factory().skin_folder() + CMacroControlUI::kMenuFile, &wnd_,
                   [this](const QString& name) { wnd_.post_message(kMsgMenuCommand, 0, 0, name); });
    if (!menu_) return;
    menu_->setObjectName(QStringLiteral("macro_action_menu"));
    menu_->setAttribute(Qt::WA_DeleteOnClose);
    menu_->popup(QCursor::pos());
}

// --- recording ---

bool MacroEditor::fixed_time_chosen() const {
    CMacroControlUI* control = current_control();
    auto* check = control ? control->findChild<QAbstractButton*>(QStringLiteral("macro_check_time"))
                          : nullptr;
    return check && check->isChecked();
}

void MacroEditor::lock(CTarvexUSBDevice* page, bool on) {
    if (!on) {
        for (const QPointer<QWidget>& w : locked_)
            if (w) w->setEnabled(true);
        locked_.clear();
        return;
    }
    std::vector<QWidget*> parts = {wnd_.control("device_select_layout")};
    if (page) {
        parts.push_back(page->findChild<QWidget*>(QStringLiteral("DeviceProfileItem")));
        parts.push_back(find_key_set_control(page));
    }
    for (QWidget* w : parts) {
        if (!w || !w->isEnabled()) continue;  // disabled by someone else: theirs to enable
        w->setEnabled(false);
        locked_.emplace_back(w);
    }
}

void MacroEditor::on_start(int mode, int kind) {
    CTarvexUSBDevice* page = current_device();
    CMacroControlUI* control = find_macro_control(page);
    if (!control || recording_ || control->folder().empty()) return;
    // Recording needs a macro to record into; inserting and re-keying need a row.
    if (control->library().macro_file(control->selected_index()).empty()) return;
    if (mode != MacroRecorder::kAppend && control->actions().selected() < 0) return;
    if (kind == 0) kind = fixed_time_chosen() ? MacroRecorder::kFixed : MacroRecorder::kMeasured;
    control->start_recording(mode, kind);
    recording_ = control;
    recording_page_ = page;
    lock(page, true);
    // Locking moved the focus; a key box that lost it has asked (by a posted message) to
    // remove the hook. The hook goes in after that request.
    QMetaObject::invokeMethod(
        &wnd_,
        [this, mode] {
            if (!recording_ || recording_->recorder().mode() != mode) return;
            wnd_.handle_message(kMsgInputHook, 0, 0);
            if (auto* service = dynamic_cast<InputHookService*>(wnd_.input_hook()))
                service->set_mode(mode);
            wnd_.handle_message(kMsgInputHook, 1, 0);
        },
        Qt::QueuedConnection);
}

void MacroEditor::on_start_button() {
    on_start(MacroRecorder::kAppend, 0);
}

void MacroEditor::on_stop() {
    CMacroControlUI* control = recording_;
    CTarvexUSBDevice* page = recording_page_;
    if (!control) return;
    control->stop_recording();
    recording_ = nullptr;
    recording_page_ = nullptr;
    wnd_.handle_message(kMsgInputHook, 0, 0);
    if (auto* service = dynamic_cast<InputHookService*>(wnd_.input_hook()))
        service->set_mode(InputHookService::kModeSingleKey);
    lock(page, false);
    if (control->save_selected() && page && page->Config().IsOpen()) write_macros(page);
}

void MacroEditor::on_key_message(int mode, const KeyStroke& stroke) {
    if (!recording_ || recording_->recorder().mode() != mode) return;
    if (recording_->record_key(stroke.scan, stroke.extended, stroke.down))
        wnd_.start_timer(kTimerMacroScroll, 50);
}

void MacroEditor::on_mouse_message(int mode, qintptr wparam, qintptr lparam) {
    if (!recording_ || recording_->recorder().mode() != mode) return;
    // The global reader knows no position: the pointer is where it is now.
    const std::optional<QPoint> point = mouse_point(lparam).value_or(QCursor::pos());
    if (recording_->record_mouse(mouse_message(wparam), mouse_xbutton(wparam), point))
        wnd_.start_timer(kTimerMacroScroll, 50);
}

// --- routes ---

void MacroEditor::register_hook_messages() {
    for (const ModeMessages& m : kModeMessages) {
        const int mode = m.mode;
        wnd_.set_message_handler(m.keys, [this, mode](qintptr w, qintptr l, const QString&) {
            on_key_message(mode, unpack_stroke(w, l));
        });
        wnd_.set_message_handler(m.mouse, [this, mode](qintptr w, qintptr l, const QString&) {
            if (mode == MacroRecorder::kAppend) debug_line("WM_HOOK_KEY_MSMACRO");
            on_mouse_message(mode, w, l);
        });
    }
    wnd_.set_timer_handler(kTimerMacroScroll, [this] {
        if (CMacroControlUI* control = recording_ ? recording_.data() : current_control())
            control->scroll_to_selected();
    });
}

void MacroEditor::register_routes() {
    RouteTable& click = wnd_.routes("click");
    auto on = [](auto handler) { return [handler](const Notification&, int) { handler(); }; };
    click.add("macro_btn_starredio", Match::NoCase, on([this] { on_start_button(); }));
    click.add("macro_btn_stopredio", Match::NoCase, on([this] { on_stop(); }));
    click.add("macro_btn_name_add", Match::NoCase, on([this] { on_add(); }));
    click.add("macro_btn_name_sub", Match::NoCase, on([this] { on_delete(); }));
    click.add("macro_btn_name_edit", Match::NoCase, on([this] { on_rename(); }));
    click.add("macro_btn_save", Match::NoCase, on([this] { on_save(); }));
    click.add("macro_btn_cancel", Match::NoCase, on([this] { on_cancel(); }));
    click.add("macro_btn_import", Match::NoCase, on([this] { on_import(); }));
    click.add("macro_btn_export", Match::NoCase, on([this] { on_export(); }));
    click.add("macro_btn_up", Match::NoCase, on([this] { on_rows(&CMacroControlUI::row_up); }));
    click.add("macro_btn_down", Match::NoCase, on([this] { on_rows(&CMacroControlUI::row_down); }));
    click.add("macro_btn_uptop", Match::NoCase, on([this] { on_rows(&CMacroControlUI::row_top); }));
    click.add("macro_btn_downbottom", Match::NoCase,
              on([this] { on_rows(&CMacroControlUI::row_bottom); }));
    click.add("macro_btn_delete", Match::NoCase,
              on([this] { on_rows(&CMacroControlUI::row_delete); }));
    click.add("macro_btn_deleteall", Match::NoCase, on([this] { on_delete_all(); }));
    for (const MoveButton& m : kMoveButtons) {
        const int type = m.type;
        const bool down = m.down;
        click.add(m.name, Match::Exact, on([this, type, down] { on_insert_move(type, down); }));
    }

    // The fixed-delay choice is read when recording starts; kept for the next start.
    auto remember = on([this] {
        if (CMacroControlUI* control = current_control()) control->remember_delay_choice();
    });
    wnd_.routes("selectchanged").add("macro_check_time", Match::NoCase, remember);
    wnd_.routes("killfocus").add("macro_fixed_time_edit", Match::NoCase, remember);

    wnd_.routes("itemselect").add("macro_name_list", Match::NoCase, on([this] {
                                      on_name_selected();
                                  }));
    // A delay edit left: the macro is saved with it.
    wnd_.routes("killfocus").add("macro_delay", Match::NoCase, on([this] {
                                     CMacroControlUI* control = current_control();
                                     if (control && !control->recording() &&
                                         !control->updating_rows())
                                         save_and_write();
                                 }));
    RouteTable& activate = wnd_.routes("itemactivate");
    activate.add("macro_action", Match::NoCase, on([this] { show_action_menu(); }));
    activate.add("macro_action_list", Match::NoCase, on([this] { show_action_menu(); }));

    RouteTable& menu = wnd_.routes("menu");
    for (const RecordCommand& r : kRecordCommands) {
        const int mode = r.mode;
        const int kind = r.kind;
        menu.add(r.name, Match::NoCase, on([this, mode, kind] { on_start(mode, kind); }));
    }
    for (const ButtonCommand& b : kButtonCommands) {
        const int button = b.button;
        const QString name = QString::fromLatin1(b.name);
        menu.add(name + "_down", Match::NoCase,
                 on([this, button] { on_menu_insert(button, true, false); }));
        menu.add(name + "_up", Match::NoCase,
                 on([this, button] { on_menu_insert(button, false, false); }));
        menu.add(name + "_click", Match::NoCase,
                 on([this, button] { on_menu_insert(button, true, true); }));
    }
}

}  // namespace tellune::ui
