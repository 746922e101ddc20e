#include "ui/editors/key_editor.h"

#include <QAbstractButton>

#include "core/platform/platform.h"
#include "ui/app/control_factory.h"
#include "ui/app/device_pages.h"
#include "ui/app/main_wnd.h"
#include "ui/app/messages.h"
#include "ui/app/msg_wnd.h"
#include "ui/app/text_table.h"
#include "ui/device/tarvex_usb_device.h"
#include "ui/editors/key_assignment_owner.h"
#include "ui/editors/key_set_control_ui.h"

namespace tellune::ui {

void register_key_controls() {
    ControlFactory::register_tag(QLatin1String(CKeySetControlUI::kClassName),
                                 [](QWidget* parent, const QString& name, ControlFactory&) {
                                     auto* w = new CKeySetControlUI(parent);
                                     w->setObjectName(name);
                                     return w;
                                 });
}

void unregister_key_controls() {
    ControlFactory::unregister_tag(QLatin1String(CKeySetControlUI::kClassName));
}

KeyEditor* install_key_editor(CMainWnd& wnd, KeyEditor::PageList pages) {
    register_key_controls();
    if (!wnd.input_hook()) wnd.set_input_hook(std::make_unique<InputHookService>());
    auto editor = std::make_unique<KeyEditor>(wnd, std::move(pages));
    KeyEditor* raw = editor.get();
    wnd.add_extension(std::move(editor));
    return raw;
}

KeyEditor* install_key_editor(CMainWnd& wnd, DevicePages* pages) {
    return install_key_editor(wnd, [pages]() -> std::vector<CTarvexUSBDevice*> {
        return pages ? pages->Pages() : std::vector<CTarvexUSBDevice*>{};
    });
}

KeyEditor::KeyEditor(CMainWnd& wnd, PageList pages) : wnd_(wnd), pages_(std::move(pages)) {
    register_routes();
}

KeyEditor::~KeyEditor() {
    // The pages outlive the window's extensions.
    for (const QMetaObject::Connection& c : connections_) QObject::disconnect(c);
}

void KeyEditor::window_init(CMainWnd&) {
    watch_panels();
    update_lock();
}

void KeyEditor::device_arrived(int) {
    update_lock();
}

void KeyEditor::device_removed(int) {
    update_lock();
}

void KeyEditor::reload_texts() {
    if (!pages_) return;
    for (CTarvexUSBDevice* page : pages_())
        if (CKeySetControlUI* control = find_key_set_control(page)) control->retranslate();
}

void KeyEditor::watch_panels() {
    if (!pages_) return;
    for (CTarvexUSBDevice* page : pages_()) {
        CKeySetControlUI* control = find_key_set_control(page);
        if (!control || !watched_.insert(control).second) continue;
        connections_.push_back(QObject::connect(control, &CKeySetControlUI::buttonsChanged,
                                                [this](bool) { update_lock(); }));
        connections_.push_back(QObject::connect(control, &QObject::destroyed,
                                                [this, control] { watched_.erase(control); }));
    }
}

CTarvexUSBDevice* KeyEditor::current_device() const {
    return qobject_cast<CTarvexUSBDevice*>(wnd_.current_page());
}

CKeySetControlUI* KeyEditor::current_control() const {
    return find_key_set_control(current_device());
}

void KeyEditor::update_lock() {
    CKeySetControlUI* control = current_control();
    const bool pending = control && control->buttons_enabled();
    if (QWidget* selector = wnd_.control("device_select_layout")) selector->setEnabled(!pending);
    if (CTarvexUSBDevice* page = current_device())
        if (QWidget* bar = page->findChild<QWidget*>(QStringLiteral("DeviceProfileItem")))
            bar->setEnabled(!pending);
}

void KeyEditor::set_saved(bool saved, bool lock) {
    if (CKeySetControlUI* control = current_control()) control->enable_buttons(!saved);
    if (lock) update_lock();
}

// --- the panel's events ---

void KeyEditor::select_key(int n) {
    if (CTarvexUSBDevice* page = current_device()) page->select_key(n);
}

void KeyEditor::apply_change() {
    CTarvexUSBDevice* page = current_device();
    CKeySetControlUI* control = current_control();
    auto* owner = dynamic_cast<KeyAssignmentOwner*>(page);
    if (!page || !control || !owner || page->SelectedIndex() < 0 || !control->panel_shown()) return;
    owner->store_key_function(page->SelectedIndex(), control->build_assignment());
    set_saved(false, true);
}

void KeyEditor::on_function_selected() {
    if (CKeySetControlUI* control = current_control()) {
        control->on_function_selected();
        apply_change();
    }
}

void KeyEditor::on_modifier(int option) {
    CKeySetControlUI* control = current_control();
    if (!control) return;
    // Clicking the chosen option again keeps it chosen; the options exclude each other.
    control->select_modifier(option);
    apply_change();
}

void KeyEditor::on_key_stroke(const KeyStroke& stroke) {
    // A key counts when it goes down: releasing Ctrl after A must not undo the A.
    if (!stroke.down) return;
    CKeySetControlUI* control = current_control();
    if (control && control->capture_key(stroke.scan, stroke.extended)) apply_change();
}

void KeyEditor::on_default() {
    CKeySetControlUI* control = current_control();
    if (!control || !control->panel_shown()) return;
    control->show_default();
    set_saved(false, true);
}

void KeyEditor::on_cancel() {
    if (auto* owner = dynamic_cast<KeyAssignmentOwner*>(current_device()))
        owner->discard_key_changes();
    else if (CKeySetControlUI* control = current_control())
        control->show_current();
    set_saved(true, true);
}

void KeyEditor::on_save_to_device() {
    CTarvexUSBDevice* page = current_device();
    auto* owner = dynamic_cast<KeyAssignmentOwner*>(page);
    if (!owner) return;
    const int result = owner->write_keys();
    if (result != 1) {
        debug_printf("按键写入失败：%d", result);
        if (result == -1) {
            ShowMessage(&wnd_, QString(), QStringLiteral("message_text_7"), wnd_.screen_scale(),
                        true, 0);
        } else {
            QString text = texts().text(QStringLiteral("message_text_16"));
            text.replace(QLatin1String("%d"), QString::number(result));
            ShowMessage(&wnd_, QString(), text, wnd_.screen_scale(), false, 0);
        }
    }
    owner->save_keys();
    set_saved(true, true);
}

// --- routes ---

void KeyEditor::register_routes() {
    RouteTable& click = wnd_.routes("click");
    click.add("key_", Match::Prefix, [this](const Notification&, int n) { select_key(n); });
    click.add("key_butt_keysave", Match::NoCase,
              [this](const Notification&, int) { apply_change(); });
    click.add("key_butt_keydefalut", Match::NoCase,
              [this](const Notification&, int) { on_default(); });
    click.add("key_butt_keycancel", Match::NoCase,
              [this](const Notification&, int) { on_cancel(); });
    click.add("key_butt_prosave", Match::NoCase,
              [this](const Notification&, int) { on_save_to_device(); });

    RouteTable& items = wnd_.routes("itemselect");
    items.add(CKeySetControlUI::kFunctionList, Match::NoCase,
              [this](const Notification&, int) { on_function_selected(); });
    for (const char* name : CKeySetControlUI::kSelectionLists)
        items.add(name, Match::NoCase, [this](const Notification&, int) {
            if (CKeySetControlUI* control = current_control()) control->update_macro_count_row();
            apply_change();
        });
    items.add(CKeySetControlUI::kShortcutList, Match::NoCase,
              [this](const Notification&, int) { apply_change(); });

    RouteTable& edits = wnd_.routes("killfocus");
    for (const char* name : CKeySetControlUI::kNumericEdits)
        edits.add(name, Match::NoCase, [this](const Notification& n, int) {
            // An edit whose page was just replaced (another key, Default) has nothing to add.
            CKeySetControlUI* control = current_control();
            if (control && control->on_shown_page(n.control.data())) apply_change();
        });

    wnd_.routes("selectchanged")
        .add(CKeySetControlUI::kModifierPrefix, Match::Prefix,
             [this](const Notification&, int n) { on_modifier(n); });

    wnd_.set_message_handler(kMsgHookSingleKey,
                             [this](qintptr wparam, qintptr lparam, const QString&) {
                                 on_key_stroke(unpack_stroke(wparam, lparam));
                             });
}

}  // namespace tellune::ui
