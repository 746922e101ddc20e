#include "ui/cli_bridge/control_bus.h"

#include "core/device/device_listing.h"
#include "core/device/setting_request.h"
#include "core/hid/device_slots.h"
#include "core/macro/macro_library.h"
#include "core/platform/platform.h"
#include "core/profile/json_file.h"
#include "core/profile/profile_commands.h"
#include "core/profile/profile_data.h"
#include "ui/app/device_pages.h"
#include "ui/app/main_wnd.h"
#include "ui/device/keyed_device.h"
#include "ui/device/mouse_device.h"
#include "ui/device/tarvex_usb_device.h"
#include "ui/editors/light_control_ui.h"
#include "ui/macro/macro_control_ui.h"
#include "ui/macro/macro_names.h"
#include "ui/macro/macro_owner.h"
#include "ui/profile/device_profile_ui.h"
#include "ui/profile/profile_bar.h"

namespace tellune::ui {
namespace {

// The exit codes tellunectl passes on.
enum : int { kDone = 0, kFailed = 1, kUsage = 2, kNoDevice = 3 };

int kind_of(const CTarvexUSBDevice* page) {
    return page->Kind() == hid::kKindWirelessMouse ? int(hid::kKindMouse) : page->Kind();
}

}  // namespace

ControlBus::ControlBus(QDBusConnection bus, CMainWnd& wnd, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), wnd_(wnd) {
    if (!bus_.isConnected()) return;
    connected_ = bus_.registerObject(kPath, this, QDBusConnection::ExportScriptableSlots);
    if (!connected_) debug_line("D-Bus: control object path taken, tellunectl works directly");
}

ControlBus::~ControlBus() {
    if (connected_) bus_.unregisterObject(kPath);
}

CTarvexUSBDevice* ControlBus::page_at(const QString& path) const {
    const DevicePages* pages = wnd_.extension<DevicePages>();
    if (!pages) return nullptr;
    for (CTarvexUSBDevice* page : pages->Pages())
        if (page->Config().IsOpen() && QString::fromStdString(page->ConnectedSlot().path) == path)
            return page;
    return nullptr;
}

QString ControlBus::ListDevices() {
    Json::Value devices(Json::arrayValue);
    if (const DevicePages* pages = wnd_.extension<DevicePages>()) {
        for (CTarvexUSBDevice* page : pages->Pages()) {
            if (!page->Config().IsOpen()) continue;
            const hid::HidAttributes a = page->Config().Hid().Attributes();
            Json::Value d = device::describe_device(page->Kind(), page->ConnectedSlot().path,
                                                    a.vendor_id, a.product_id, a.version);
            std::array<uint8_t, device::kPowerStatusSize> status{};
            if (device::reports_power(page->Kind()) && page->Config().ReadRange(status, 0) == 1)
                device::add_power(d, status);
            devices.append(d);
        }
    }
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return QString::fromStdString(Json::writeString(builder, devices));
}

CTarvexUSBDevice* ControlBus::request_page(const QString& path, int& code, QString& why) const {
    if (!wnd_.running()) {
        why = QStringLiteral("the computer is going to sleep");
        code = kFailed;
        return nullptr;
    }
    CTarvexUSBDevice* page = page_at(path);
    if (!page || !page->ProfileData()) {
        why = QStringLiteral("no such device: ") + path;
        code = kNoDevice;
        return nullptr;
    }
    return page;
}

int ControlBus::Apply(const QString& path, const QString& request, QString& message) {
    int code = kDone;
    CTarvexUSBDevice* page = request_page(path, code, message);
    if (!page) return code;
    const std::optional<device::SettingRequest> r =
        device::request_from_json(parse_json(request.toStdString()));
    if (!r) {
        message = QStringLiteral("not a setting request");
        return kUsage;
    }
    if (const std::string why = device::check_request(*r, kind_of(page)); !why.empty()) {
        message = QString::fromStdString(why);
        return kUsage;
    }
    int written = 0;
    if (r->what == device::SettingRequest::What::keymap) {
        // As the key panel's save: stored, written to the device, saved, shown.
        auto* keyed = qobject_cast<CKeyedUSBDevice*>(page);
        if (!keyed) {
            message = QStringLiteral("this command is for a mouse or a keyboard");
            return kUsage;
        }
        std::vector<KeyAssignmentRecord> keys = keyed->KeyList();
        const std::string why = device::apply_keymap(*r, keys, size_t(keyed->MacroNames().size()));
        if (!why.empty() || !keyed->key_assignable(r->key)) {
            message = QString::fromStdString(why.empty() ? "this key cannot be assigned" : why);
            return kUsage;
        }
        keyed->store_key_function(r->key, device::current_function(keys[size_t(r->key)]));
        written = keyed->write_keys();
        keyed->save_keys();
        keyed->show_selected_key();
    } else if (r->what == device::SettingRequest::What::light) {
        // As the lighting panel does: the device leaves the synchronised light, the profile
        // is saved, the device written, and the panel shows the new settings.
        const LightSettings s =
            device::changed_light(r->light, page->ProfileData()->light_settings());
        page->Config().SetPause(0);
        page->set_light_settings(s.word[0], s.word[1], s.word[2]);
        written = page->write_settings(0, 0, 0, 0, 0);
        if (CLightControlUI* control = find_light_control(page))
            control->show_light_settings(s.word[0], s.word[1], s.word[2]);
    } else {
        auto* mouse = qobject_cast<CTarvexMouseDevice*>(page);
        CMouseProfiledata* profile = mouse ? mouse->MouseProfile() : nullptr;
        if (!profile) {
            message = QStringLiteral("this command is for a mouse");
            return kUsage;
        }
        device::apply_to_mouse(*r, mouse->Protocol().settings(), *profile);
        mouse->save();
        written = mouse->write_settings(0, 0, 0, 0, 0);
        mouse->refresh_page();
    }
    if (written != 1) {
        message = QStringLiteral("the device refused the settings (%1)").arg(written);
        return kFailed;
    }
    return kDone;
}

int ControlBus::Keys(const QString& path, QString& keys) {
    int code = kDone;
    CTarvexUSBDevice* page = request_page(path, code, keys);
    if (!page) return code;
    auto* keyed = qobject_cast<CKeyedUSBDevice*>(page);
    if (!keyed) {
        keys = QStringLiteral("this command is for a mouse or a keyboard");
        return kUsage;
    }
    Json::Value list(Json::arrayValue);
    for (int i = 0; i < int(keyed->KeyList().size()); ++i)
        if (keyed->key_assignable(i)) list.append(i);
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    keys = QString::fromStdString(Json::writeString(builder, list));
    return kDone;
}

int ControlBus::Profile(const QString& path, const QStringList& args, QString& output) {
    int code = kDone;
    CTarvexUSBDevice* page = request_page(path, code, output);
    if (!page) {
        output += QLatin1Char('\n');
        return code;
    }
    std::vector<std::string> command;
    bool json = false;
    for (const QString& a : args) {
        if (command.empty() && !json && a == QLatin1String("--json"))
            json = true;
        else
            command.push_back(a.toStdString());
    }
    CDeviceProfileUI* bar = find_profile_bar(page);
    auto* bars = wnd_.extension<ProfileBar>();
    if (!bar || !bars || !ProfileBar::start_bar(bar)) {
        output = QStringLiteral("the device's profiles cannot be read\n");
        return kFailed;
    }
    const ProfileCommandResult r = run_profile_command(bar->list(), command, json);
    if (r.code != 0) {
        output = QString::fromStdString(r.error) + QLatin1Char('\n');
        return r.code;
    }
    output = QString::fromStdString(r.output);
    const std::string& action = command.front();
    // The bar's list shows what changed: a new entry, another selection.
    if (action == "import" || r.apply) bar->select(bar->list().current_index(), false);
    if (r.apply) {
        const int written = bars->apply(page, bar);
        if (written != 1) {
            output = QStringLiteral("the device refused the profile (%1)\n").arg(written);
            return kFailed;
        }
    }
    return kDone;
}

int ControlBus::Macro(const QString& path, const QStringList& args, QString& output) {
    int code = kDone;
    CTarvexUSBDevice* page = request_page(path, code, output);
    if (!page) {
        output += QLatin1Char('\n');
        return code;
    }
    auto* owner = dynamic_cast<MacroOwner*>(page);
    if (args.size() != 2 || args[0] != QLatin1String("import") || !owner) {
        output = QStringLiteral("not a macro request for this device\n");
        return kUsage;
    }
    // The macro page imports when it is there, so its list shows the new macro selected.
    using R = macro::MacroLibrary::ImportResult;
    R result;
    QString name;
    CMacroControlUI* control = find_macro_control(page);
    if (control) {
        result = control->import_macro(args[1], &name);
    } else {
        macro::MacroLibrary library(page->UserDataFolder());
        library.load();
        std::string imported;
        result = library.import_file(args[1].toStdString(), &imported);
        name = QString::fromStdString(imported);
    }
    switch (result) {
        case R::kImported:
            break;
        case R::kFull:
            output = QStringLiteral("the library holds %1 macros already; nothing imported\n")
                         .arg(macro::kMaxMacros);
            return kUsage;
        case R::kTooLarge:
            output = args[1] + QStringLiteral(" is too large for a macro file\n");
            return kUsage;
        case R::kUnreadable:
        case R::kNoPath:
            output = args[1] + QStringLiteral(" is no macro file\n");
            return kUsage;
        case R::kWriteFailed:
            output = QStringLiteral("the macro library could not be written\n");
            return kFailed;
    }
    owner->macro_names_changed(
        control ? control->names()
                : read_macro_names(page->UserDataFolder() + macro::kLibraryFileName));
    const int written = page->write_macros();
    if (written != 0) {
        output = QStringLiteral("the device did not take the macros (%1)\n").arg(written);
        return kFailed;
    }
    output = name + QLatin1Char('\n');
    return kDone;
}

}  // namespace tellune::ui
