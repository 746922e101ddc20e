#pragma once
// The device pages of the main window: one page, selector entry and power widget per device
// kind, built at "windowinit"; the scan thread (worker slot 0) that binds devices to slots;
// arrival (3090) and removal (3091), which connect and disconnect a page and show or hide
// its entry; and the selector's selection.

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <vector>

#include "core/hid/device_slots.h"
#include "ui/app/shell_extension.h"

class QStackedWidget;

namespace tellune::ui {

class CDeviceOptionUI;
class CMpDevicePowerUI;
class CTarvexUSBDevice;

struct DeviceKindEntry {
    const char* entry_layout;
    const char* group;
    const char* power_switch;
    const char* kind_name;
    int table_index, index, flag, device_index;
    uint16_t vendor, product;
    int kind, variant;
};

struct DevicePageEntry {
    int led_count, key_count, third, fourth;
    const char* layout;
    const char* light_name;
};

const std::array<DeviceKindEntry, 4>& device_kind_table();
const std::array<DevicePageEntry, 4>& device_page_table();
// The device-kind report other programs ask for: 2, 3, 0, 2, the number of kinds, then
// vendor, product and kind of each kind in table order.
QList<uint> device_kind_report_words();

class DevicePages : public ShellExtension {
public:
    static constexpr int kScanSlot = 0;
    static constexpr int kScanPeriodMs = 100;

    // `scan`: start the scan thread at "windowinit" (tests may drive the scanner instead).
    explicit DevicePages(std::shared_ptr<hid::HidBackend> backend, bool scan = true);
    ~DevicePages() override;

    void window_init(CMainWnd& wnd) override;
    void device_arrived(int slot) override { OnDeviceArrived(slot); }
    void device_removed(int slot) override { OnDeviceRemoved(slot); }
    int present_device_count() const override;
    QWidget* current_page() const override;
    void set_light_output(bool on) override;
    bool owns_first_show() const override { return scan_; }
    void shutdown() override;
    void reload_texts() override { show_access_notice(); }

    void BuildDevicePages();
    void OnDeviceArrived(int slot);
    void OnDeviceRemoved(int slot);
    void SelectDevice(CDeviceOptionUI* entry, bool visible, bool select);
    void HideDevice(CDeviceOptionUI* entry);
    // -1 previous, +1 next present entry, wrapping around.
    void ShowNeighbour(int direction);

    hid::DeviceScanner* Scanner() const { return scanner_.get(); }
    // Nodes of supported devices this user may not open (message 3095): named on the
    // "No device" panel with the fix, and in the log.
    void SetDeniedNodes(const QStringList& nodes);
    QStringList DeniedNodes() const { return denied_nodes_; }
    const std::vector<hid::DeviceSlot>& SlotList() const { return slots_; }
    std::vector<CDeviceOptionUI*> Entries() const;
    std::vector<CTarvexUSBDevice*> Pages() const;
    // The entry whose page is `page`, or nullptr.
    CDeviceOptionUI* EntryOf(const CTarvexUSBDevice* page) const;
    CDeviceOptionUI* SelectedEntry() const;

private:
    void build_page(int slot_index, int variant);
    std::vector<QPointer<CTarvexUSBDevice>>* page_list(int kind);
    CTarvexUSBDevice* find_page(const hid::DeviceSlot& slot, bool by_product) const;
    hid::DeviceSlot current_slot(int slot) const;
    void update_presence();
    void show_access_notice();
    void register_routes();
    void start_scan();

    std::shared_ptr<hid::HidBackend> backend_;
    bool scan_;
    CMainWnd* wnd_ = nullptr;
    std::vector<hid::DeviceSlot> slots_;
    std::unique_ptr<hid::DeviceScanner> scanner_;
    std::stop_token scan_token_;  // the scan thread's own, for its synchronous messages
    std::vector<QPointer<CTarvexUSBDevice>> mouse_pages_, keyboard_pages_, pad_pages_,
        headset_pages_;
    std::vector<QPointer<CDeviceOptionUI>> entries_;
    std::vector<QPointer<CMpDevicePowerUI>> power_widgets_;
    QStringList denied_nodes_;
};

}  // namespace tellune::ui
