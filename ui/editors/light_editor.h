#pragma once
// The main window's side of the lighting panels: the routes of every panel control, the
// copy of one effect to every connected device ("deng_same_mode") and the light
// synchronisation thread (worker slot 8) that then draws that effect on all devices.
//
// Every change reads the current page's light settings from its profile, changes the named
// fields and hands the three words to the device control (set_light_settings), which stores
// them and repaints; then the device control writes its settings to the device.

#include <QMetaObject>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "core/device/light_sync.h"
#include "core/profile/profile_records.h"
#include "ui/app/shell_extension.h"

class QObject;

namespace tellune::ui {

class CLightControlUI;
class CTarvexUSBDevice;
class DevicePages;

class LightEditor : public ShellExtension {
public:
    static constexpr int kSyncSlot = 8;
    // Every device page of the window, connected or not.
    using PageList = std::function<std::vector<CTarvexUSBDevice*>()>;
    // The keyboard's custom effect list chose `index`.
    using CustomEffectHandler = std::function<void(CTarvexUSBDevice* page, int index)>;

    // Adds the routes to `wnd`.
    LightEditor(CMainWnd& wnd, PageList pages);
    ~LightEditor() override;

    // Starts the light synchronisation thread and shows the copy button where allowed.
    void window_init(CMainWnd& wnd) override;
    void device_arrived(int slot) override;
    void device_removed(int slot) override;
    void reload_texts() override;

    // The copy button is offered on every page while two or more devices are connected.
    void set_same_mode_allowed(int connected_devices);
    // Counts the connected pages and offers the button accordingly.
    void refresh_same_mode();

    // Copies the current page's effect to every connected device and lets the light
    // synchronisation thread draw it. Nothing when the page's mode has no common effect.
    void same_mode();

    void set_custom_effect_handler(CustomEffectHandler handler) { custom_ = std::move(handler); }

    CTarvexUSBDevice* current_device() const;
    CLightControlUI* current_control() const;
    device::LightSyncRunner& sync_runner() { return *runner_; }

    // The synchronisation thread's view of the pages (any thread).
    bool sync_active() const;
    void sync_draw(uint32_t colour) const;

private:
    void register_routes();
    // Reads, edits and writes the current page's light settings. False without a page.
    bool change(const std::function<void(LightSettings&)>& edit);
    // Red, green and blue from the panel: MultiColor off, seven-colour check cleared.
    void set_colour(uint32_t rgb, bool move_palette);
    void on_colour_edit(int channel);
    void on_fx(QObject* sender, int fx);
    // Keeps the thread's page list up to date; interface thread.
    void update_targets();

    CMainWnd& wnd_;
    PageList pages_;
    CustomEffectHandler custom_;
    std::unique_ptr<device::LightSyncRunner> runner_;

    mutable std::mutex targets_mutex_;  // guards targets_ between the UI and sync threads
    std::vector<CTarvexUSBDevice*> targets_;
    std::set<const QObject*> watched_;  // interface thread only
    std::vector<QMetaObject::Connection> connections_;
};

// Registers the "LightControl" and "ColourPalette" controls. Idempotent.
void register_light_controls();
void unregister_light_controls();

// Registers the controls and adds the editor to `wnd`, which owns it; the pages come from
// `pages` (the device pages' extension, added to `wnd` before this one). Call before
// wnd.init().
LightEditor* install_light_editor(CMainWnd& wnd, DevicePages* pages);
LightEditor* install_light_editor(CMainWnd& wnd, LightEditor::PageList pages);

}  // namespace tellune::ui
