#include "ui/update/settings_extension.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <cstdlib>

#include "core/platform/platform.h"
#include "core/profile/device_folders.h"
#include "core/update/update_list.h"
#include "ui/app/device_pages.h"
#include "ui/app/language.h"
#include "ui/app/main_wnd.h"
#include "ui/app/messages.h"
#include "ui/device/mouse_device.h"
#include "ui/device/tarvex_usb_device.h"

namespace tellune::ui {
namespace {

struct KindNames {
    int kind;
    const char* model;
    const char* name;
};

// Model codes and names the service knows our products by.
constexpr KindNames kKindNames[] = {
    {kDeviceKeyboard, "K0001", "Keyboard"},
    {kDeviceMouse, "M7643", "Mouse"},
    {kDeviceMousePad, "P1004", "Mouse pad"},
    {kDeviceHeadset, "HS6533", "Headset"},
};

constexpr const char* kVendorWord = "Tellune";

// The firmware version of a connected device: the mouse states it in the first two bytes
// of its information block; the others through the version their HID interface reports.
int firmware_version(CTarvexUSBDevice* page) {
    if (auto* mouse = dynamic_cast<CTarvexMouseDevice*>(page)) {
        const auto& info = mouse->Protocol().info_block();
        const int version = info[0] | (info[1] << 8);
        if (version != 0) return version;
    }
    return page->Config().Hid().Attributes().version;
}

}  // namespace

std::vector<update::UpdateEntry> update_entries(const DevicePages* pages) {
    std::vector<update::UpdateEntry> entries;
    update::UpdateEntry app;
    app.vendor = kVendorWord;
    app.model = "ALL";
    app.display_name = "Tellune";
    app.name = "Tellune";
    app.current_version = update::installed_version();
    app.spare = "V" + std::string(program_version());
    entries.push_back(app);
    for (const DeviceKindEntry& k : device_kind_table()) {
        update::UpdateEntry e;
        e.hex_version = 1;
        e.vendor = kVendorWord;
        e.product = k.product;
        for (const KindNames& n : kKindNames) {
            if (n.kind != k.kind) continue;
            e.model = n.model;
            e.display_name = n.model;
            e.name = n.name;
        }
        if (pages) {
            for (CTarvexUSBDevice* page : pages->Pages()) {
                if (page->Kind() != k.kind || !page->Config().IsOpen()) continue;
                e.current_version = firmware_version(page);
                if (e.current_version) break;
            }
        }
        entries.push_back(e);
    }
    return entries;
}

UpdateServiceConfig update_service_config(const QString& settings_path) {
    UpdateServiceConfig config;
    QString configured;
    if (!settings_path.isEmpty()) {
        QSettings settings(settings_path, QSettings::IniFormat);
        configured = settings.value("UPDATE_URL").toString();
    }
    config.base_url = update::resolve_base_url(configured.trimmed().toStdString());
    if (const char* ca = std::getenv("TELLUNE_UPDATE_CA"); ca && *ca) config.ca_file = ca;
    return config;
}

SettingsExtension::~SettingsExtension() {
    shutdown();
}

void SettingsExtension::window_init(CMainWnd& wnd) {
    wnd_ = &wnd;
    // The title bar's settings button shows now that the window exists.
    if (QWidget* set = wnd.control("setbtn")) set->show();
    wnd.routes("click").add("setbtn", Match::NoCase,
                            [this](const Notification&, int) { open(false); });
    wnd.routes("menu").add("setwnd_menu", Match::NoCase,
                           [this](const Notification&, int) { open(true); });
    wnd.set_message_handler(kMsgOpenSettings,
                            [this](qintptr, qintptr, const QString&) { open(true); });
}

CSetWnd* SettingsExtension::open(bool centred) {
    if (!wnd_) return nullptr;
    if (wnd_set_) {
        wnd_set_->showNormal();
        wnd_set_->raise();
        wnd_set_->activateWindow();
        return wnd_set_;
    }
    CSetWnd::Options options;
    options.language_index = std::max(0, wnd_->language().current_index());
    options.language_config = wnd_->language().config_path();
    options.entries = update_entries(pages_);
    options.service = update_service_config(wnd_->language().settings_path());
    options.update_time_path = update::update_time_path();
    options.download_folder = update::update_data_folder();
    CMainWnd* main = wnd_;
    options.select_language = [main](int index) { main->handle_message(kMsgLanguage, index, 0); };
    options.up_to_date = [main] { main->post_message(kMsgClearSetBadge); };
    auto* set = new CSetWnd(main, main->factory(), std::move(options));
    wnd_set_ = set;
    set->set_scale(main->screen_scale());
    if (centred) {
        set->setWindowModality(Qt::ApplicationModal);
        const QScreen* s = main->screen() ? main->screen() : QGuiApplication::primaryScreen();
        if (s)
            set->move(s->availableGeometry().center() -
                      QPoint(set->width() / 2, set->height() / 2));
    } else {
        // Below the title bar, at the main window's right edge.
        const QRect frame = main->frameGeometry();
        set->move(frame.right() - set->width() - 20, frame.top() + 48);
    }
    set->show();
    set->start();
    return set;
}

void SettingsExtension::reload_texts() {
    if (wnd_set_) wnd_set_->language_changed();
}

void SettingsExtension::close_child_windows() {
    if (wnd_set_) wnd_set_->close();
}

void SettingsExtension::shutdown() {
    if (wnd_set_) {
        wnd_set_->stop_workers();
        delete wnd_set_.data();
    }
}

bool SettingsExtension::forward_to_settings(int wparam, int lparam) {
    if (!wnd_set_) return false;
    wnd_set_->download_message(wparam, lparam);
    return true;
}

}  // namespace tellune::ui
