#include "core/hid/device_slots.h"

#include <algorithm>
#include <chrono>

#include "core/hid/hid_path.h"
#include "core/platform/platform.h"

namespace tellune::hid {

bool same_slot(const DeviceSlot& a, const DeviceSlot& b) {
    return a.vendor_id == b.vendor_id && a.product_id == b.product_id &&
           a.interface_number == b.interface_number && a.collection == b.collection &&
           a.kind == b.kind && a.role == b.role && a.usage_page == b.usage_page &&
           a.usage == b.usage;
}

namespace {

DeviceSlot row(uint16_t vendor, uint16_t product, uint16_t interface_number, uint16_t collection,
               uint16_t kind, uint16_t role, uint16_t usage_page, uint16_t usage) {
    DeviceSlot s;
    s.vendor_id = vendor;
    s.product_id = product;
    s.interface_number = interface_number;
    s.collection = collection;
    s.kind = kind;
    s.role = role;
    s.usage_page = usage_page;
    s.usage = usage;
    return s;
}

bool same_address(const DeviceSlot& s, uint16_t vendor, uint16_t product, uint16_t interface_number,
                  uint16_t collection) {
    return s.vendor_id == vendor && s.product_id == product &&
           s.interface_number == interface_number && s.collection == collection;
}

bool is_free(const DeviceSlot& s) {
    return !s.present && s.path.empty();
}

}  // namespace

const std::array<DeviceSlot, 7>& hid_match_table() {
    static const std::array<DeviceSlot, 7> table = {
        row(0x0000, 0x0000, 1, 4, kKindKeyboard, kRoleConfiguration, 0xFF1C, 0x0092),
        row(0x0000, 0x0000, 1, 3, kKindKeyboard, kRoleSecondary, 0x000C, 0x0001),
        row(0x0C45, 0x7643, 1, 4, kKindMouse, kRoleConfiguration, 0xFF1C, 0x0092),
        row(0x0C45, 0x7643, 1, 3, kKindMouse, kRoleSecondary, 0x000C, 0x0001),
        row(0x320F, 0x1004, 1, 4, kKindMousePad, kRoleConfiguration, 0xFF1C, 0x0092),
        row(0x320F, 0x1004, 1, 3, kKindMousePad, kRoleSecondary, 0x000C, 0x0001),
        row(0x0000, 0x0000, 3, 0, kKindHeadset, kRoleConfiguration, 0x000C, 0x0001),
    };
    return table;
}

DeviceScanner::DeviceScanner(HidBackend& backend, Callbacks callbacks)
    : backend_(backend),
      callbacks_(std::move(callbacks)),
      probe_(backend),
      slots_(hid_match_table().begin(), hid_match_table().end()) {}

DeviceScanner::~DeviceScanner() {
    Stop();
}

std::vector<DeviceSlot> DeviceScanner::Slots() const {
    std::lock_guard lock(slots_mutex_);
    return slots_;
}

void DeviceScanner::ScanOnce() {
    // A pass when something may have changed, or when the last one has to be retried; a
    // pass over an unchanged set of interfaces would find nothing.
    const uint64_t changes = backend_.change_count();
    if (!looked_ || changes != seen_changes_ || retry_) {
        looked_ = true;
        seen_changes_ = changes;
        retry_ = false;
        scan_pass();
    }
    if (!first_pass_told_) {
        first_pass_told_ = true;
        if (callbacks_.first_pass) callbacks_.first_pass();
    }
}

void DeviceScanner::scan_pass() {
    bool all_present;
    {
        std::lock_guard lock(slots_mutex_);
        all_present = true;
        for (const DeviceSlot& s : slots_) all_present &= s.present != 0;
    }
    if (all_present)
        update_denied({});  // every slot is bound: nothing refused matters
    else
        discover();
    check_removal();
}

void DeviceScanner::discover() {
    const auto& table = hid_match_table();
    std::vector<std::string> refused;
    probe_.Enumerate();
    while (std::optional<std::string> path = probe_.NextPath()) {
        uint16_t vendor = parse_vendor_id(*path);
        uint16_t product = parse_product_id(*path);
        uint16_t interface_number = parse_interface_number(*path);
        uint16_t collection = parse_collection_number(*path);

        bool in_table = false;
        for (const DeviceSlot& r : table)
            in_table |= same_address(r, vendor, product, interface_number, collection);
        if (!in_table) continue;
        {
            std::lock_guard lock(slots_mutex_);
            bool free_slot = false;
            for (const DeviceSlot& s : slots_)
                free_slot |=
                    same_address(s, vendor, product, interface_number, collection) && is_free(s);
            if (!free_slot) continue;
        }

        if (!probe_.Open(*path, true, false, true, false)) {
            retry_ = true;  // busy or not yet ours to open: look again next time
            if (std::string node = backend_.access_denied(*path); !node.empty())
                refused.push_back(std::move(node));
            continue;
        }
        HidAttributes attributes = probe_.Attributes();
        HidCaps caps = probe_.Capabilities();
        probe_.Close();
        vendor = attributes.vendor_id;
        product = attributes.product_id;

        const DeviceSlot* match = nullptr;
        for (const DeviceSlot& r : table) {
            if (same_address(r, vendor, product, interface_number, collection) &&
                r.usage_page == caps.usage_page && r.usage == caps.usage) {
                match = &r;
                break;
            }
        }
        if (!match) continue;
        int bound = -1;
        {
            std::lock_guard lock(slots_mutex_);
            for (size_t i = 0; i < slots_.size(); ++i) {
                DeviceSlot& s = slots_[i];
                if (same_address(s, vendor, product, interface_number, collection) &&
                    s.usage_page == caps.usage_page && s.usage == caps.usage && is_free(s)) {
                    s.present = 1;
                    s.path = *path;
                    bound = static_cast<int>(i);
                    break;
                }
            }
        }
        if (bound >= 0) {
            if (callbacks_.arrival) callbacks_.arrival(bound);
        }
    }
    probe_.FreePaths();
    update_denied(refused);
}

void DeviceScanner::update_denied(const std::vector<std::string>& refused) {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(denied_, [&](const auto& entry) {
        return std::find(refused.begin(), refused.end(), entry.first) == refused.end();
    });
    for (const std::string& node : refused) denied_.emplace(node, now);  // keeps the first time
    std::vector<std::string> settled;
    for (const auto& [node, since] : denied_)
        if (now - since >= access_settle_) settled.push_back(node);
    if (settled == denied_told_) return;
    denied_told_ = settled;
    if (callbacks_.access_denied) callbacks_.access_denied(settled);
}

std::vector<std::string> DeviceScanner::DeniedNodes() const {
    std::vector<std::string> nodes;
    for (const auto& entry : denied_) nodes.push_back(entry.first);
    return nodes;
}

void DeviceScanner::check_removal() {
    std::vector<std::pair<int, std::string>> present;
    {
        std::lock_guard lock(slots_mutex_);
        for (size_t i = 0; i < slots_.size(); ++i)
            if (slots_[i].present) present.emplace_back(static_cast<int>(i), slots_[i].path);
    }
    for (const auto& [index, path] : present) {
        // No access rights: only asks whether the interface is still there.
        if (backend_.open(path, OpenMode{})) continue;
        {
            std::lock_guard lock(slots_mutex_);
            DeviceSlot& s = slots_[static_cast<size_t>(index)];
            if (s.path != path) continue;
            s.present = 0;
            s.path.clear();
        }
        retry_ = true;  // the freed slot may be taken at once by an interface already there
        if (callbacks_.removal) callbacks_.removal(index);
    }
}

void DeviceScanner::Start(int period_ms) {
    if (thread_.joinable()) return;
    {
        std::lock_guard lock(stop_mutex_);
        stop_ = false;
    }
    thread_ = std::thread([this, period_ms] { run(period_ms); });
}

void DeviceScanner::Stop() {
    {
        std::lock_guard lock(stop_mutex_);
        stop_ = true;
    }
    stop_cv_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void DeviceScanner::run(int period_ms) {
    name_this_thread("tl-scan");
    std::unique_lock lock(stop_mutex_);
    while (!stop_) {
        lock.unlock();
        ScanOnce();
        lock.lock();
        stop_cv_.wait_for(lock, std::chrono::milliseconds(period_ms), [this] { return stop_; });
    }
}

}  // namespace tellune::hid
