#include "emulator/emulated_backend.h"

#include <algorithm>

#include "core/hid/hid_path.h"
#include "core/hid/report_descriptor.h"
#include "emulator/products.h"

namespace tellune::emulator {

namespace {

class EmulatedConnection final : public hid::HidConnection {
public:
    EmulatedConnection(std::shared_ptr<EmulatedDevice> device, size_t index,
                       hid::HidCollection collection, hid::OpenMode mode)
        : device_(std::move(device)),
          collection_(std::move(collection)),
          mode_(mode),
          queue_(device_->attach(index)) {}
    ~EmulatedConnection() override { device_->detach(queue_); }

    hid::HidAttributes attributes() const override { return device_->attributes(); }
    const hid::HidCollection& collection() const override { return collection_; }

    hid::IoResult read(std::span<uint8_t> buffer, int timeout_ms) override {
        if (!mode_.read) return {hid::IoStatus::error, 0};
        return device_->read(queue_, buffer, timeout_ms);
    }

    // The emulated device takes a report at once, so a write never waits.
    hid::IoResult write(std::span<const uint8_t> report, int /*timeout_ms*/) override {
        if (!mode_.write) return {hid::IoStatus::error, 0};
        const hid::IoStatus status = device_->receive(queue_, report);
        return {status, status == hid::IoStatus::ok ? report.size() : 0};
    }

    bool send_output_report(std::span<const uint8_t> report) override {
        return mode_.write && device_->receive(queue_, report) == hid::IoStatus::ok;
    }

    void abort() override { device_->abort(queue_); }

private:
    const std::shared_ptr<EmulatedDevice> device_;
    const hid::HidCollection collection_;
    const hid::OpenMode mode_;
    const std::shared_ptr<InputQueue> queue_;
};

}  // namespace

std::vector<std::string> interface_paths(const EmulatedDevice& device) {
    const DeviceConfig& c = device.config();
    std::vector<std::string> paths;
    const int count = static_cast<int>(c.collections.size());
    for (int i = 0; i < count; ++i)
        paths.push_back(hid::make_interface_path(c.node, c.vendor_id, c.product_id,
                                                 c.interface_number, i + 1, count));
    return paths;
}

void EmulatedBackend::plug(std::shared_ptr<EmulatedDevice> device) {
    if (!device) return;
    {
        std::lock_guard lock(mutex_);
        if (std::find(devices_.begin(), devices_.end(), device) == devices_.end())
            devices_.push_back(device);
    }
    device->plug();
}

void EmulatedBackend::unplug(const std::shared_ptr<EmulatedDevice>& device) {
    if (device) device->unplug();
}

std::vector<std::shared_ptr<EmulatedDevice>> EmulatedBackend::devices() const {
    std::lock_guard lock(mutex_);
    return devices_;
}

std::shared_ptr<EmulatedDevice> EmulatedBackend::find(std::string_view node) const {
    std::lock_guard lock(mutex_);
    for (const auto& device : devices_)
        if (device->config().node == node) return device;
    return nullptr;
}

uint64_t EmulatedBackend::change_count() {
    // Devices plug and unplug themselves too (fault injection), so each keeps its own count.
    uint64_t count = 0;
    for (const auto& device : devices()) count += device->plug_changes() + 1;
    return count;
}

std::vector<std::string> EmulatedBackend::enumerate() {
    std::vector<std::string> paths;
    for (const auto& device : devices()) {
        if (!device->plugged()) continue;
        for (std::string& path : interface_paths(*device)) paths.push_back(std::move(path));
    }
    return paths;
}

std::unique_ptr<hid::HidConnection> EmulatedBackend::open(const std::string& path,
                                                          hid::OpenMode mode) {
    const auto device = find(hid::interface_path_node(path));
    if (!device || !device->plugged()) return nullptr;
    const std::vector<std::string> paths = interface_paths(*device);
    const auto it = std::find(paths.begin(), paths.end(), path);
    if (it == paths.end()) return nullptr;
    const size_t index = static_cast<size_t>(it - paths.begin());
    // The capabilities come from the device's own descriptor bytes, as for real hardware.
    hid::ReportDescriptor descriptor =
        hid::parse_report_descriptor(device->config().report_descriptor);
    if (!descriptor.ok || index >= descriptor.collections.size()) return nullptr;
    return std::make_unique<EmulatedConnection>(device, index,
                                                std::move(descriptor.collections[index]), mode);
}

void keep_states(EmulatedBackend& backend, const std::string& folder) {
    for (const auto& device : backend.devices()) {
        std::string name = device->config().node;
        std::replace(name.begin(), name.end(), '/', '_');
        device->keep_state(folder + (folder.empty() || folder.back() == '/' ? "" : "/") + name +
                           ".state");
    }
}

std::unique_ptr<EmulatedBackend> make_demo_backend() {
    auto backend = std::make_unique<EmulatedBackend>();
    backend->plug(make_keyboard());
    backend->plug(make_mouse());
    backend->plug(make_mouse_pad());
    backend->plug(make_headset());
    return backend;
}

}  // namespace tellune::emulator
