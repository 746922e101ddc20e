#include "ui/shoot/shoot_editor.h"

#include <QAbstractButton>
#include <QFileDialog>

#include "core/platform/platform.h"
#include "ui/app/control_factory.h"
#include "ui/app/device_pages.h"
#include "ui/app/main_wnd.h"
#include "ui/app/msg_wnd.h"
#include "ui/app/text_table.h"
#include "ui/device/mouse_device.h"
#include "ui/shoot/shoot_control_ui.h"

namespace tellune::ui {
namespace {

using ImportResult = shoot::ShootData::ImportResult;

}  // namespace

void register_shoot_controls() {
    ControlFactory::register_tag(QLatin1String(CShootControlUI::kClassName),
                                 [](QWidget* parent, const QString& name, ControlFactory&) {
                                     auto* w = new CShootControlUI(parent);
                                     w->setObjectName(name);
                                     return w;
                                 });
}

void unregister_shoot_controls() {
    ControlFactory::unregister_tag(QLatin1String(CShootControlUI::kClassName));
}

ShootEditor* install_shoot_editor(CMainWnd& wnd, ShootEditor::PageList pages) {
    register_shoot_controls();
    auto editor = std::make_unique<ShootEditor>(wnd, std::move(pages));
    ShootEditor* raw = editor.get();
    wnd.add_extension(std::move(editor));
    return raw;
}

ShootEditor* install_shoot_editor(CMainWnd& wnd, DevicePages* pages) {
    return install_shoot_editor(wnd, [pages]() -> std::vector<CTarvexUSBDevice*> {
        return pages ? pages->Pages() : std::vector<CTarvexUSBDevice*>{};
    });
}

ShootEditor::ShootEditor(CMainWnd& wnd, PageList pages) : wnd_(wnd), pages_(std::move(pages)) {
    message_ = [](QWidget* parent, const QString& text, bool is_id, int buttons) {
        auto* main = qobject_cast<CMainWnd*>(parent);
        return ShowMessage(parent, QString(), text, main ? main->screen_scale() : 96, is_id,
                           buttons);
    };
    chooser_ = [](QWidget* parent, bool save) {
        const QString filter = QString::fromLatin1(CShootControlUI::kFileFilter);
        return save ? QFileDialog::getSaveFileName(parent, QString(), QString(), filter)
                    : QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
    };
    register_routes();
}

void ShootEditor::set_message_function(MessageFunction fn) {
    if (fn) message_ = std::move(fn);
}

void ShootEditor::set_path_chooser(PathChooser fn) {
    if (fn) chooser_ = std::move(fn);
}

int ShootEditor::message(const QString& text, bool is_id) {
    return message_ ? message_(&wnd_, text, is_id, 0) : 0;
}

void ShootEditor::window_init(CMainWnd&) {
    if (!pages_) return;
    for (CTarvexUSBDevice* page : pages_()) {
        CShootControlUI* control = find_shoot_control(page);
        if (!control || !qobject_cast<CTarvexMouseDevice*>(page)) continue;
        control->find_controls();
        if (!control->has_folders())
            control->set_folders(page->UserDataFolder(), default_data_folder());
    }
}

void ShootEditor::reload_texts() {
    if (!pages_) return;
    for (CTarvexUSBDevice* page : pages_())
        if (CShootControlUI* control = find_shoot_control(page)) control->retranslate();
}

CTarvexMouseDevice* ShootEditor::current_device() const {
    return qobject_cast<CTarvexMouseDevice*>(wnd_.current_page());
}

CShootControlUI* ShootEditor::current_control() const {
    CShootControlUI* control = find_shoot_control(current_device());
    return control && control->has_folders() ? control : nullptr;
}

bool ShootEditor::save_pending(CShootControlUI* control) {
    if (!control || control->save_pending()) return true;
    message(QStringLiteral("shoot_file_not_written"), true);
    return false;
}

// --- handlers ---

void ShootEditor::on_gun(int n) {
    CShootControlUI* control = current_control();
    if (!control) return;
    save_pending(control);
    control->select_gun(n);
}

void ShootEditor::on_bullet(int n) {
    CShootControlUI* control = current_control();
    if (!control) return;
    save_pending(control);
    control->select_bullet(n);
}

void ShootEditor::on_previous() {
    if (CShootControlUI* control = current_control()) on_bullet(control->bullet() - 1);
}

void ShootEditor::on_next() {
    if (CShootControlUI* control = current_control()) on_bullet(control->bullet() + 1);
}

void ShootEditor::on_direction() {
    if (CShootControlUI* control = current_control()) control->direction_changed();
}

void ShootEditor::on_edit_left() {
    CShootControlUI* control = current_control();
    if (control && !control->save_bullet()) message(QStringLiteral("shoot_file_not_written"), true);
}

void ShootEditor::on_reset() {
    CShootControlUI* control = current_control();
    if (control && !control->reset_gun()) message(QStringLiteral("shoot_default_missing"), true);
}

void ShootEditor::on_import() {
    CShootControlUI* control = current_control();
    if (!control) return;
    const QString path = chooser_(&wnd_, false);
    // The dialog ran an event loop: the page may have gone meanwhile.
    if (path.isEmpty() || current_control() != control) return;
    switch (control->import_file(path)) {
        case ImportResult::kImported:
        case ImportResult::kNoPath:
            return;
        case ImportResult::kTooLarge:
            message(QStringLiteral("shoot_import_too_large"), true);
            return;
        case ImportResult::kNotShootFile:
            message(QStringLiteral("shoot_import_refused"), true);
            return;
        case ImportResult::kWriteFailed:
            message(QStringLiteral("shoot_file_not_written"), true);
            return;
    }
}

void ShootEditor::on_export() {
    CShootControlUI* control = current_control();
    if (!control) return;
    // The exported file holds what the page shows.
    save_pending(control);
    const QString path = chooser_(&wnd_, true);
    if (path.isEmpty() || current_control() != control) return;
    if (!control->export_file(path)) message(QStringLiteral("shoot_export_failed"), true);
}

void ShootEditor::on_write() {
    CTarvexMouseDevice* page = current_device();
    if (!page || !page->Config().IsOpen()) return;
    save_pending(current_control());
    const int macros = page->write_macros();
    if (macros == -1) {
        debug_printf("宏写入失败：%d", macros);
        message(QStringLiteral("message_text_7"), true);
        return;
    }
    if (macros > 0) {
        // The macros do not fit; the patterns have an area of their own and still go.
        debug_printf("宏写入失败：%d", macros);
        QString text = texts().text(QStringLiteral("message_text_16"));
        text.replace(QLatin1String("%d"), QString::number(macros));
        message(text, false);
    }
    const int patterns = page->write_shoot_data();
    if (patterns != 1) {
        debug_printf("压枪写入失败：%d", patterns);
        message(QStringLiteral("message_text_7"), true);
    }
}

// --- routes ---

void ShootEditor::register_routes() {
    auto on = [](auto handler) { return [handler](const Notification&, int) { handler(); }; };
    RouteTable& click = wnd_.routes("click");
    click.add("shootdate_save_btn", Match::NoCase, on([this] { on_write(); }));
    click.add("shootdate_reset_btn", Match::NoCase, on([this] { on_reset(); }));
    click.add("shootdate_import_btn", Match::NoCase, on([this] { on_import(); }));
    click.add("shootdate_export_btn", Match::NoCase, on([this] { on_export(); }));
    click.add("bullet_selected_prev", Match::NoCase, on([this] { on_previous(); }));
    click.add("bullet_selected_next", Match::NoCase, on([this] { on_next(); }));

    RouteTable& select = wnd_.routes("selectchanged");
    // An option clicked again (unchecking it) is selected again.
    select.add("shoot_gun_op_", Match::Prefix, [this](const Notification&, int n) { on_gun(n); });
    select.add("bullet_op_", Match::Prefix, [this](const Notification&, int n) { on_bullet(n); });
    select.add("bullet_x_check", Match::NoCase, on([this] { on_direction(); }));
    select.add("bullet_y_check", Match::NoCase, on([this] { on_direction(); }));
    // The pattern page is the mouse's second key panel, shown like the other tabs' panels.
    select.add("shoot_Op_tab", Match::NoCase, [this](const Notification& n, int) {
        auto* tab = qobject_cast<QAbstractButton*>(n.control.data());
        if (!tab || !tab->isChecked()) return;
        if (CTarvexMouseDevice* page = current_device()) page->show_device_status(kShootStatus);
    });

    RouteTable& focus = wnd_.routes("killfocus");
    for (const char* name : {"bullet_x_eidt", "bullet_y_eidt", "bullet_delay_eidt"})
        focus.add(name, Match::NoCase, on([this] { on_edit_left(); }));
}

}  // namespace tellune::ui
