#include "ui/profile/profile_bar.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QSettings>
#include <memory>

#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "core/profile/json_file.h"
#include "core/profile/profile_data.h"
#include "ui/app/control_factory.h"
#include "ui/app/language.h"
#include "ui/app/main_wnd.h"
#include "ui/app/messages.h"
#include "ui/app/msg_wnd.h"
#include "ui/app/text_table.h"
#include "ui/device/tarvex_usb_device.h"
#include "ui/profile/device_profile_ui.h"

namespace tellune::ui {
namespace {

CTarvexUSBDevice* page_of(QWidget* w) {
    for (; w; w = w->parentWidget())
        if (auto* page = qobject_cast<CTarvexUSBDevice*>(w)) return page;
    return nullptr;
}

// The text of `id` with its "%1" filled in; a language without the text still names it.
QString text_with(const QString& id, const QString& argument) {
    const QString text = texts().text(id);
    return text.contains(QLatin1String("%1")) ? text.arg(argument) : text + ' ' + argument;
}

QString from_utf8(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

}  // namespace

void register_profile_controls() {
    ControlFactory::register_tag(QLatin1String(CDeviceProfileUI::kClassName),
                                 [](QWidget* parent, const QString&, ControlFactory&) {
                                     return new CDeviceProfileUI(parent);
                                 });
}

void unregister_profile_controls() {
    ControlFactory::unregister_tag(QLatin1String(CDeviceProfileUI::kClassName));
}

ProfileBar* install_profile_bar(CMainWnd& wnd) {
    register_profile_controls();
    auto bar = std::make_unique<ProfileBar>(wnd);
    ProfileBar* raw = bar.get();
    wnd.add_extension(std::move(bar));
    return raw;
}

ProfileBar::ProfileBar(CMainWnd& wnd) : wnd_(wnd) {
    message_ = [this](QWidget* parent, const QString& text_id, const QString& argument,
                      int buttons) {
        if (argument.isEmpty())
            return ShowMessage(parent, QString(), text_id, wnd_.screen_scale(), true, buttons);
        return ShowMessage(parent, QString(), text_with(text_id, argument), wnd_.screen_scale(),
                           false, buttons);
    };
    chooser_ = &ProfileBar::choose_path;
    register_routes();
}

QString ProfileBar::choose_path(QWidget* parent, bool save, const QString& folder) {
    QFileDialog dialog(parent, QString(), folder, QString::fromLatin1(kFileFilter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // A name typed without an extension is saved as a profile file the import lists; the
    // dialog then asks about replacing the file of that name.
    if (save) dialog.setDefaultSuffix(QString::fromLatin1(kFileSuffix));
    if (dialog.exec() != QDialog::Accepted) return QString();
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.front();
}

void ProfileBar::set_message_function(MessageFunction fn) {
    if (fn)
        message_ = [fn = std::move(fn)](QWidget* parent, const QString& text_id, const QString&,
                                        int buttons) { return fn(parent, text_id, buttons); };
}

void ProfileBar::set_message_function(ArgumentMessageFunction fn) {
    if (fn) message_ = std::move(fn);
}

void ProfileBar::set_path_chooser(PathChooser fn) {
    if (fn) chooser_ = std::move(fn);
}

void ProfileBar::set_path_chooser(std::function<QString(QWidget* parent, bool save)> fn) {
    if (fn)
        chooser_ = [fn = std::move(fn)](QWidget* parent, bool save, const QString&) {
            return fn(parent, save);
        };
}

QString ProfileBar::dialog_folder() const {
    const QSettings settings(wnd_.language().settings_path(), QSettings::IniFormat);
    const QString last = settings.value(QLatin1String(kFolderKey)).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
    return QDir::homePath();
}

void ProfileBar::remember_folder(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (folder.isEmpty() || folder == dialog_folder()) return;
    const QString settings_path = wnd_.language().settings_path();
    QDir().mkpath(QFileInfo(settings_path).absolutePath());
    QSettings settings(settings_path, QSettings::IniFormat);
    settings.setValue(QLatin1String(kFolderKey), folder);
}

bool ProfileBar::start_bar(CDeviceProfileUI* bar) {
    if (!bar) return false;
    if (bar->initialised()) return true;
    const CTarvexUSBDevice* page = page_of(bar);
    if (!page) return false;
    const int kind = page->Kind();
    const std::string_view folder = device_folder_name(kind);
    if (folder.empty()) return false;
    bar->set_device_kind(kind);
    bar->set_paths(user_data_folder(folder), default_profile_file(kind));
    bar->init();
    bar->select_tab(1);
    return bar->initialised();
}

void ProfileBar::window_init(CMainWnd& wnd) {
    if (QWidget* root = wnd.root())
        for (CDeviceProfileUI* bar : root->findChildren<CDeviceProfileUI*>()) start_bar(bar);
}

CTarvexUSBDevice* ProfileBar::current_device() const {
    return qobject_cast<CTarvexUSBDevice*>(wnd_.current_page());
}

CDeviceProfileUI* ProfileBar::current_bar() const {
    CDeviceProfileUI* bar = find_profile_bar(wnd_.current_page());
    return start_bar(bar) ? bar : nullptr;
}

int ProfileBar::message(const QString& text_id, int buttons, const QString& argument) {
    return message_(&wnd_, text_id, argument, buttons);
}

void ProfileBar::note_new_entry(CDeviceProfileUI* bar, int index, const char* text_id) {
    if (!bar || index < 0 || index >= bar->list().size()) return;
    wnd_.show_status_text(text_with(QString::fromLatin1(text_id),
                                    from_utf8(bar->list().entries()[size_t(index)].name)));
}

void ProfileBar::register_routes() {
    RouteTable& click = wnd_.routes("click");
    click.add("device_add_btn", Match::NoCase, [this](const Notification&, int) { on_add(); });
    click.add("device_copy_btn", Match::NoCase, [this](const Notification&, int) { on_copy(); });
    click.add("device_sub_btn", Match::NoCase, [this](const Notification&, int) { on_delete(); });
    click.add("device_import_btn", Match::NoCase,
              [this](const Notification&, int) { on_import(); });
    click.add("device_export_btn", Match::NoCase,
              [this](const Notification&, int) { on_export(); });
    click.add("device_reset_btn", Match::NoCase, [this](const Notification&, int) { on_reset(); });
    click.add("device_profile_edit_save_btn", Match::NoCase,
              [this](const Notification&, int) { on_rename(); });
    click.add("default_btn", Match::NoCase, [this](const Notification&, int) { on_default(); });
    click.add("profile_fun_spread_btn", Match::Exact, [this](const Notification&, int) {
        if (CDeviceProfileUI* bar = current_bar()) bar->show_menu(!bar->menu_shown());
    });
}

void ProfileBar::on_add() {
    CDeviceProfileUI* bar = current_bar();
    if (!bar) return;
    bar->show_menu(false);
    note_new_entry(bar, bar->add(), kAddedNote);
}

void ProfileBar::on_copy() {
    CDeviceProfileUI* bar = current_bar();
    if (!bar) return;
    bar->show_menu(false);
    note_new_entry(bar, bar->copy(), kCopiedNote);
}

void ProfileBar::on_delete() {
    CDeviceProfileUI* bar = current_bar();
    if (!bar) return;
    bar->show_menu(false);
    // The last profile stays; there is nothing to ask.
    if (bar->list().size() < 2 || bar->list().current_index() < 0) return;
    // One click must not lose a profile: ask first, naming it.
    const std::string uuid = bar->list().selected_uuid();
    const std::string name = bar->list().selected_name();
    if (message(QString::fromLatin1(kDeleteQuestion), 1, from_utf8(name)) != 1) return;
    // The page or its selection may have changed while the question was open.
    bar = current_bar();
    if (!bar || bar->list().selected_uuid() != uuid) return;
    const int next = bar->remove();
    if (next < 0) return;
    // The device still holds the profile that is gone: show the one now selected and load
    // it the way a choice in the list would.
    bar->select(next, false);
    wnd_.start_timer(kTimerApplyProfile, 400);
}

void ProfileBar::on_rename() {
    CDeviceProfileUI* bar = current_bar();
    if (!bar) return;
    const QString text = bar->name();
    if (text.trimmed().isEmpty()) {
        message("message_text_25", 0);
        return;
    }
    switch (bar->rename(text)) {
        case ProfileList::kRenameNameUsed:
            message("message_text_5", 0);
            break;
        case ProfileList::kRenameBlank:
            message("message_text_25", 0);
            break;
        default:
            break;
    }
}

void ProfileBar::on_reset() {
    CDeviceProfileUI* bar = current_bar();
    if (bar) bar->show_menu(false);
    if (!bar || message("message_text_22", 1) != 1) return;
    // The bar may have gone while the question was open.
    bar = current_bar();
    if (bar && bar->reset())
        if (CTarvexUSBDevice* device = current_device()) apply(device, bar);
}

void ProfileBar::on_import() {
    CDeviceProfileUI* bar = current_bar();
    if (!bar || bar->selected_uuid().isEmpty()) return;
    bar->show_menu(false);
    const QString path = chooser_(&wnd_, false, dialog_folder());
    if (path.isEmpty()) return;
    remember_folder(path);
    // A file too large to be a profile is refused before it is read, and says why; anything
    // else that is no profile document is ignored without a word.
    JsonFileState state = JsonFileState::kRead;
    const Json::Value doc = read_json(path.toStdString(), &state);
    if (state == JsonFileState::kTooLarge) {
        message(QString::fromLatin1(kTooLargeText), 0);
        return;
    }
    if (!is_importable_profile(doc)) return;
    if (!(bar = current_bar())) return;
    const int index = bar->import_profile(path);
    if (index >= 0) {
        note_new_entry(bar, index, kImportedNote);
        return;
    }
    // Stored in the styled layout it would outgrow what the next start reads.
    if (std::int64_t(styled_json(doc).size()) > kMaxJsonFileSize)
        message(QString::fromLatin1(kTooLargeText), 0);
}

void ProfileBar::on_export() {
    CDeviceProfileUI* bar = current_bar();
    if (!bar || bar->selected_uuid().isEmpty()) return;
    bar->show_menu(false);
    QString path = chooser_(&wnd_, true, dialog_folder());
    if (path.isEmpty()) return;
    remember_folder(path);
    // The import lists "*.json" only: a name without an extension gets it. The dialog asked
    // about the name as typed, so replacing a file of the longer name is asked here.
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QLatin1Char('.') + QLatin1String(kFileSuffix);
        if (QFileInfo::exists(path) &&
            message(QString::fromLatin1(kReplaceQuestion), 1, QFileInfo(path).fileName()) != 1)
            return;
    }
    if ((bar = current_bar()) && bar->export_profile(path))
        wnd_.show_status_text(
            text_with(QString::fromLatin1(kExportedNote), QFileInfo(path).fileName()));
}

void ProfileBar::on_default() {
    if (CTarvexUSBDevice* device = current_device()) device->restore_default_profile();
}

void ProfileBar::apply_selected_profile() {
    CTarvexUSBDevice* device = current_device();
    CDeviceProfileUI* bar = current_bar();
    if (!device || !bar) return;
    bar->select(bar->current_index(), false);
    apply(device, bar);
}

int ProfileBar::apply(CTarvexUSBDevice* device, CDeviceProfileUI* bar) {
    // The page takes the selected profile: its file for the profile data, and its UUID and
    // name for whatever else of the page asks for them.
    device->setProperty("profileUUID", bar->selected_uuid());
    device->setProperty("profilename", QString::fromStdString(bar->list().selected_name()));
    if (CBasicProfiledata* data = device->ProfileData())
        data->set_profile_path(bar->selected_profile_file());
    device->reload_profile();
    device->check_macro_keys();
    device->refresh_page();
    const int written = device->write_settings(0, 0, 0, 0, 0);
    if (device->write_macros() != 0)
        if (auto* label = wnd_.control<QLabel>(QStringLiteral("str_test")))
            set_text_id(label, QString::fromLatin1(kMacroErrorText));
    return written;
}

}  // namespace tellune::ui
