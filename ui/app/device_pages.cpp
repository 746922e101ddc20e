#include "ui/app/device_pages.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLayout>
#include <QStackedWidget>
#include <chrono>

#include "core/platform/platform.h"
#include "ui/app/device_option.h"
#include "ui/app/main_wnd.h"
#include "ui/app/messages.h"
#include "ui/app/text_table.h"
#include "ui/controls/device_key_button.h"
#include "ui/device/tarvex_devices.h"
#include "ui/device/tarvex_usb_device.h"

namespace tellune::ui {
namespace {

constexpr char kEntryLayout[] = "XML/CustomControlXML/DeviceOption.ui";
constexpr char kPowerLayout[] = "XML/CustomControlXML/MpDevicePower.ui";
constexpr char kDeviceSwitch[] = "device_switch";
constexpr char kSelectLayout[] = "device_select_layout";
constexpr char kNoDevice[] = "No_device_Link";
constexpr char kAccessNotice[] = "nodevice_access_text";  // the label and its text id

// Tabs 1..8 of a page; tab n shows the panels of device status n.
constexpr const char* kPageTabs[] = {"deng_Op_tab",   "key_Op_tab",       "macro_Op_tab",
                                     "system_Op_tab", "cursor_Op_tab",    "6533_voice_Op_tab",
                                     "magic_Op_tab",  "Virtual7.1_Op_tab"};

int page_kind(int kind) {
    return kind == hid::kKindWirelessMouse ? hid::kKindMouse : kind;
}

const char* arrival_line(int kind) {
    switch (page_kind(kind)) {
        case hid::kKindKeyboard:
            return "添加一个键盘设备";
        case hid::kKindMouse:
            return "添加一个鼠标设备";
        default:
            return "添加一个鼠标垫设备";
    }
}

const char* removal_line(int kind) {
    switch (page_kind(kind)) {
        case hid::kKindKeyboard:
            return "删除一个键盘设备";
        case hid::kKindMouse:
            return "删除一个鼠标设备";
        default:
            return "删除一个鼠标垫设备";
    }
}

CDeviceOptionUI* entry_of_control(QObject* control) {
    for (QObject* o = control; o; o = o->parent())
        if (auto* entry = qobject_cast<CDeviceOptionUI*>(o)) return entry;
    return nullptr;
}

}  // namespace

const std::array<DeviceKindEntry, 4>& device_kind_table() {
    static const std::array<DeviceKindEntry, 4> table = {{
        {kEntryLayout, "tab_header_device", "device_power_switch", "mouse", 0, 0, 0, 1, 0x0C45,
         0x7643, hid::kKindMouse, 0},
        {kEntryLayout, "tab_header_device", "device_power_switch", "keyboard", 1, 1, -1, 0, 0, 0,
         hid::kKindKeyboard, 0},
        {kEntryLayout, "tab_header_device", "device_power_switch", "MousePad", 2, 2, 1, 2, 0x320F,
         0x1004, hid::kKindMousePad, 0},
        {kEntryLayout, "tab_header_device", "device_power_switch", "HD", 3, 3, -1, 3, 0, 0,
         hid::kKindHeadset, 0},
    }};
    return table;
}

const std::array<DevicePageEntry, 4>& device_page_table() {
    static const std::array<DevicePageEntry, 4> table = {{
        {8, 8, 0, -1, "XML/DeviceXml/mousedevice.ui", "pomex_light"},
        {126, 126, 0, -1, "XML/DeviceXml/keyboarddevice.ui", "pomex_light"},
        {15, 0, 0, -1, "XML/DeviceXml/mousepaddevice.ui", "pomex_light"},
        {13, 0, 0, -1, "XML/DeviceXml/hs6533device.ui", "pomex_light"},
    }};
    return table;
}

QList<uint> device_kind_report_words() {
    QList<uint> words = {2, 3, 0, 2, uint(device_kind_table().size())};
    for (const DeviceKindEntry& k : device_kind_table())
        words << k.vendor << k.product << uint(k.kind);
    return words;
}

DevicePages::DevicePages(std::shared_ptr<hid::HidBackend> backend, bool scan)
    : backend_(std::move(backend)), scan_(scan) {
    register_device_controls(backend_);
}

DevicePages::~DevicePages() {
    scanner_.reset();
    // The pages close their channels on the backend, so they go before it does.
    for (auto* list : {&mouse_pages_, &keyboard_pages_, &pad_pages_, &headset_pages_})
        for (const QPointer<CTarvexUSBDevice>& page : *list) delete page.data();
    unregister_device_controls();
}

void DevicePages::window_init(CMainWnd& wnd) {
    wnd_ = &wnd;
    CDeviceKeyButtonUI::set_image_folder(wnd.factory().skin_folder() + "images/");
    slots_.assign(hid::hid_match_table().begin(), hid::hid_match_table().end());
    BuildDevicePages();
    register_routes();
    update_presence();
    scanner_ = std::make_unique<hid::DeviceScanner>(
        *backend_,
        hid::DeviceScanner::Callbacks{
            [this](int slot) { wnd_->send_message(scan_token_, kMsgDeviceArrived, slot); },
            [this](int slot) { wnd_->send_message(scan_token_, kMsgDeviceRemoved, slot); },
            [this] { wnd_->post_message(kMsgShowYourself, 0, 1); },
            [this](const std::vector<std::string>& nodes) {
                QStringList list;
                for (const std::string& node : nodes) list << QString::fromStdString(node);
                wnd_->post_message(kMsgDeviceAccess, 0, 0, list.join('\n'));
            }});
    wnd.set_message_handler(kMsgDeviceAccess, [this](qintptr, qintptr, const QString& data) {
        SetDeniedNodes(data.split('\n', Qt::SkipEmptyParts));
    });
    if (scan_) start_scan();
}

void DevicePages::start_scan() {
    wnd_->workers().start(kScanSlot, [this](std::stop_token token) {
        scan_token_ = token;  // read by the callbacks, which run on this thread
        do {
            scanner_->ScanOnce();
        } while (!sleep_unless_stopped(token, std::chrono::milliseconds(kScanPeriodMs)));
        debug_line("设备扫描线程设定退出");
    });
}

void DevicePages::shutdown() {
    for (CDeviceOptionUI* entry : Entries()) entry->StopRefresh();
    for (CTarvexUSBDevice* page : Pages()) page->StopThreads();
}

// --- building ---

void DevicePages::BuildDevicePages() {
    const auto& table = hid::hid_match_table();
    for (const DeviceKindEntry& k : device_kind_table()) {
        for (size_t s = 0; s < table.size(); ++s) {
            const hid::DeviceSlot& row = table[s];
            if (row.vendor_id == k.vendor && row.product_id == k.product && row.kind == k.kind &&
                row.role == k.variant) {
                build_page(int(s), k.variant);
                break;
            }
        }
    }
}

std::vector<QPointer<CTarvexUSBDevice>>* DevicePages::page_list(int kind) {
    switch (page_kind(kind)) {
        case hid::kKindKeyboard:
            return &keyboard_pages_;
        case hid::kKindMouse:
            return &mouse_pages_;
        case hid::kKindMousePad:
            return &pad_pages_;
        case hid::kKindHeadset:
            return &headset_pages_;
        default:
            return nullptr;
    }
}

void DevicePages::build_page(int slot_index, int variant) {
    const hid::DeviceSlot& slot = slots_[size_t(slot_index)];
    const int kind = page_kind(slot.kind);
    const auto& kinds = device_kind_table();
    size_t k = 0;
    while (k < kinds.size() &&
           !(kinds[k].vendor == slot.vendor_id && kinds[k].product == slot.product_id &&
             kinds[k].kind == kind && kinds[k].variant == variant))
        ++k;
    if (k == kinds.size()) return;
    const DeviceKindEntry& info = kinds[k];
    const DevicePageEntry& page_info = device_page_table()[k];
    auto* list = page_list(kind);
    auto* power_switch = wnd_->control<QStackedWidget>(info.power_switch);
    auto* device_switch = wnd_->control<QStackedWidget>(kDeviceSwitch);
    QWidget* select_layout = wnd_->control(kSelectLayout);
    if (!list || !power_switch || !device_switch || !select_layout || !select_layout->layout()) {
        debug_line("device area missing in the main layout");
        return;
    }

    ControlFactory& factory = wnd_->factory();
    QWidget* built_power = factory.load_layout(kPowerLayout);
    QWidget* built_entry = factory.load_layout(QString::fromLatin1(info.entry_layout));
    QWidget* built_page = factory.load_layout(QString::fromLatin1(page_info.layout));
    auto* power = qobject_cast<CMpDevicePowerUI*>(built_power);
    auto* entry = qobject_cast<CDeviceOptionUI*>(built_entry);
    auto* page = qobject_cast<CTarvexUSBDevice*>(built_page);
    if (!power || !entry || !page) {
        debug_printf("device page not built: %s", info.kind_name);
        delete built_power;
        delete built_entry;
        delete built_page;
        return;
    }

    power_switch->addWidget(power);
    power_widgets_.push_back(power);
    power->SetKindAndVariant(kind, variant);

    page->SetLayoutFile(QString::fromLatin1(page_info.layout));
    page->SetMainWindow(wnd_);
    page->SetKeyCount(page_info.key_count);
    page->SetLedCount(page_info.led_count);
    page->SetPageNumbers(page_info.third, page_info.fourth);
    page->SetModelText(QString());
    page->SetKindName(QString::fromLatin1(info.kind_name));
    page->SetPowerWidget(power);
    page->Connect(slot);
    page->SetDeviceIndex(info.device_index);
    page->SetLightName(QString::fromLatin1(page_info.light_name));
    page->BindPageControls();

    device_switch->addWidget(page);
    list->push_back(page);
    select_layout->layout()->addWidget(entry);
    entry->SetPresent(false);
    entry->SetGroup(QString::fromLatin1(info.group));
    entry->BindPageTab(kDeviceSwitch, device_switch->indexOf(page));
    entry->BindPowerWidget(QString::fromLatin1(info.power_switch), power_switch->indexOf(power));
    entry->SetKindAndVariant(info.kind, info.variant);
    entry->SetPage(page);
    entry->Select(false);
    entries_.push_back(entry);

    for (QWidget* w : {static_cast<QWidget*>(power), static_cast<QWidget*>(entry),
                       static_cast<QWidget*>(page)}) {
        retranslate(w);
        wnd_->pump().attach(w);
    }
}

// --- arrival and removal ---

hid::DeviceSlot DevicePages::current_slot(int slot) const {
    if (scanner_) {
        const std::vector<hid::DeviceSlot> now = scanner_->Slots();
        if (slot >= 0 && size_t(slot) < now.size()) return now[size_t(slot)];
    }
    return slots_[size_t(slot)];
}

CTarvexUSBDevice* DevicePages::find_page(const hid::DeviceSlot& slot, bool by_product) const {
    for (CTarvexUSBDevice* page : Pages()) {
        const hid::DeviceSlot& bound = page->ConnectedSlot();
        if (by_product) {
            if (bound.vendor_id == slot.vendor_id && bound.product_id == slot.product_id &&
                page_kind(bound.kind) == page_kind(slot.kind))
                return page;
        } else if (hid::same_slot(bound, slot)) {
            return page;
        }
    }
    return nullptr;
}

void DevicePages::OnDeviceArrived(int slot_index) {
    if (!wnd_ || slot_index < 0 || size_t(slot_index) >= slots_.size()) return;
    const hid::DeviceSlot slot = current_slot(slot_index);
    slots_[size_t(slot_index)] = slot;
    debug_line(arrival_line(slot.kind));
    if (slot.role == hid::kRoleConfiguration) {
        if (CTarvexUSBDevice* page = find_page(slot, false)) {
            hid::CCommandChannel& channel = page->Config();
            if (!channel.IsOpen()) {
                if (channel.Connect(slot.path)) {
                    if (page_kind(page->ConnectedSlot().kind) == hid::kKindMouse)
                        channel.SetWireless(slot.kind == hid::kKindWirelessMouse);
                    page->Connect(slot);
                } else {
                    debug_printf("设备打开失败 %s", slot.path.c_str());
                }
            }
            bool any_present = false;
            CDeviceOptionUI* mine = EntryOf(page);
            for (CDeviceOptionUI* entry : Entries())
                if (entry != mine && entry->IsPresent()) any_present = true;
            if (mine) {
                SelectDevice(mine, true, !any_present);
                mine->StartRefresh();
            }
        }
    } else if (slot.role == hid::kRoleSecondary) {
        if (CTarvexUSBDevice* page = find_page(slot, true)) page->AttachSecondary(slot);
    }
    wnd_->show_yourself(0, 1);
    update_presence();
}

void DevicePages::OnDeviceRemoved(int slot_index) {
    if (!wnd_ || slot_index < 0 || size_t(slot_index) >= slots_.size()) return;
    const hid::DeviceSlot slot = current_slot(slot_index);
    slots_[size_t(slot_index)] = slot;
    debug_line(removal_line(slot.kind));
    if (slot.role == hid::kRoleConfiguration) {
        CTarvexUSBDevice* page = find_page(slot, false);
        if (!page) return;
        page->Config().SetOpen(false);
        page->Config().Disconnect();
        if (CDeviceOptionUI* entry = EntryOf(page)) {
            entry->StopRefresh();
            HideDevice(entry);
        }
    } else if (slot.role == hid::kRoleSecondary) {
        if (CTarvexUSBDevice* page = find_page(slot, true)) page->DetachSecondary();
    }
}

void DevicePages::SetDeniedNodes(const QStringList& nodes) {
    for (const QString& node : nodes)
        if (!denied_nodes_.contains(node))
            warning_line("a supported device is plugged in, but " + node.toStdString() +
                         " may not be opened (no read/write access): install the udev rule "
                         "70-tellune.rules (see the README), then unplug the device and plug it "
                         "in again");
    for (const QString& node : denied_nodes_)
        if (!nodes.contains(node)) debug_printf("%s may be opened now", node.toUtf8().constData());
    denied_nodes_ = nodes;
    show_access_notice();
}

void DevicePages::show_access_notice() {
    if (!wnd_) return;
    if (auto* label = wnd_->control<QLabel>(kAccessNotice)) {
        label->setText(denied_nodes_.isEmpty()
                           ? QString()
                           : texts().text(kAccessNotice).arg(denied_nodes_.join(", ")));
        // Centred in its layout, the label is laid out at its size hint: room for every line.
        label->setMinimumHeight(label->heightForWidth(label->maximumWidth()));
        label->setVisible(!denied_nodes_.isEmpty());
    }
}

// --- selection ---

void DevicePages::SelectDevice(CDeviceOptionUI* entry, bool visible, bool select) {
    if (!entry || !wnd_) return;
    entry->SetPresent(visible);
    if (select) {
        if (auto* pages = wnd_->control<QStackedWidget>(kDeviceSwitch))
            pages->setCurrentIndex(entry->GetPageTabIndex());
        if (auto* power = wnd_->control<QStackedWidget>(entry->GetPowerWidgetName())) {
            if (entry->GetPowerWidgetIndex() < 0) {
                power->hide();
            } else {
                power->show();
                power->setCurrentIndex(entry->GetPowerWidgetIndex());
            }
        }
        for (CDeviceOptionUI* other : Entries())
            if (other != entry) other->Select(false);
        entry->Select(true);
    }
    update_presence();
}

void DevicePages::HideDevice(CDeviceOptionUI* entry) {
    if (!entry || !wnd_) return;
    CDeviceOptionUI* next = nullptr;
    if (entry->IsPresent() && entry->IsSelected()) {
        wnd_->close_child_windows();
        // A recording cannot go on without its device.
        if (wnd_->input_hook_installed()) wnd_->handle_message(kMsgInputHook, 0, 0);
        for (CDeviceOptionUI* other : Entries())
            if (other != entry && other->IsPresent()) {
                next = other;
                break;
            }
    }
    entry->SetPresent(false);
    entry->Select(false);
    if (next)
        SelectDevice(next, true, true);
    else
        update_presence();
}

void DevicePages::ShowNeighbour(int direction) {
    const std::vector<CDeviceOptionUI*> entries = Entries();
    const int n = int(entries.size());
    if (n == 0) return;
    int current = -1;
    for (int i = 0; i < n; ++i)
        if (entries[size_t(i)]->IsPresent() && entries[size_t(i)]->IsSelected()) current = i;
    if (current < 0) return;
    const int step = direction < 0 ? -1 : 1;
    for (int k = 1; k < n; ++k) {
        CDeviceOptionUI* candidate = entries[size_t(((current + step * k) % n + n) % n)];
        if (candidate->IsPresent()) {
            SelectDevice(candidate, true, true);
            return;
        }
    }
}

void DevicePages::update_presence() {
    if (!wnd_) return;
    int present = 0, connected = 0;
    for (CDeviceOptionUI* entry : Entries()) {
        if (!entry->IsPresent()) continue;
        ++present;
        if (CTarvexUSBDevice* page = entry->GetPage(); page && page->Config().IsOpen()) ++connected;
    }
    auto* pages = wnd_->control<QStackedWidget>(kDeviceSwitch);
    if (QWidget* none = wnd_->control(kNoDevice)) none->setVisible(present == 0);
    if (pages) pages->setVisible(present > 0);
    if (present == 0) {
        if (pages) pages->setCurrentIndex(0);
        if (!device_kind_table().empty())
            if (auto* power = wnd_->control<QStackedWidget>(device_kind_table()[0].power_switch))
                power->setCurrentIndex(0);
    }
    // Synchronised lighting needs two devices at least.
    for (CDeviceOptionUI* entry : Entries()) entry->SetSynchroEnabled(present > 1);
    if (present <= 1)
        for (CTarvexUSBDevice* page : Pages()) page->Config().SetPause(0);
    if (connected <= 1)
        for (CDeviceOptionUI* entry : Entries()) entry->SetSynchronised(false);
}

// --- routing ---

void DevicePages::register_routes() {
    register_mouse_page_routes(*wnd_);
    register_headset_page_routes(*wnd_);
    RouteTable& click = wnd_->routes("click");
    click.add("device_select_prev", Match::NoCase,
              [this](const Notification&, int) { ShowNeighbour(-1); });
    click.add("device_select_next", Match::NoCase,
              [this](const Notification&, int) { ShowNeighbour(1); });

    RouteTable& select = wnd_->routes("selectchanged");
    select.add("device_select", Match::NoCase, [this](const Notification& n, int) {
        auto* button = qobject_cast<QAbstractButton*>(n.control.data());
        CDeviceOptionUI* entry = entry_of_control(n.control.data());
        if (!button || !entry) return;
        if (button->isChecked()) {
            if (entry->IsPresent()) SelectDevice(entry, true, true);
        } else if (entry->IsSelected()) {
            entry->Select(true);  // the shown device stays chosen until another is picked
        }
    });
    select.add("synchro_device_select", Match::NoCase, [](const Notification& n, int) {
        if (CDeviceOptionUI* entry = entry_of_control(n.control.data()))
            entry->UpdateSynchronisedImages();
    });
    for (int i = 0; i < int(std::size(kPageTabs)); ++i) {
        const int state = i + 1;
        select.add(kPageTabs[i], Match::NoCase, [this, state](const Notification& n, int) {
            auto* tab = qobject_cast<QAbstractButton*>(n.control.data());
            if (!tab || !tab->isChecked()) return;
            if (auto* page = qobject_cast<CTarvexUSBDevice*>(current_page()))
                page->show_device_status(state);
        });
    }
}

// --- queries ---

std::vector<CDeviceOptionUI*> DevicePages::Entries() const {
    std::vector<CDeviceOptionUI*> out;
    for (const QPointer<CDeviceOptionUI>& e : entries_)
        if (e) out.push_back(e.data());
    return out;
}

std::vector<CTarvexUSBDevice*> DevicePages::Pages() const {
    std::vector<CTarvexUSBDevice*> out;
    for (auto* list : {&mouse_pages_, &keyboard_pages_, &pad_pages_, &headset_pages_})
        for (const QPointer<CTarvexUSBDevice>& page : *list)
            if (page) out.push_back(page.data());
    return out;
}

CDeviceOptionUI* DevicePages::EntryOf(const CTarvexUSBDevice* page) const {
    for (CDeviceOptionUI* entry : Entries())
        if (entry->GetPage() == page) return entry;
    return nullptr;
}

CDeviceOptionUI* DevicePages::SelectedEntry() const {
    for (CDeviceOptionUI* entry : Entries())
        if (entry->IsPresent() && entry->IsSelected()) return entry;
    return nullptr;
}

int DevicePages::present_device_count() const {
    int count = 0;
    for (CDeviceOptionUI* entry : Entries()) count += entry->IsPresent() ? 1 : 0;
    return count;
}

QWidget* DevicePages::current_page() const {
    CDeviceOptionUI* entry = SelectedEntry();
    return entry ? entry->GetPage() : nullptr;
}

void DevicePages::set_light_output(bool on) {
    for (CTarvexUSBDevice* page : Pages()) page->SetLightOutput(on);
}

}  // namespace tellune::ui
