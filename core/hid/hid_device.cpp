#include "core/hid/hid_device.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "core/hid/hid_path.h"

namespace tellune::hid {

namespace {

// Bits [offset, offset + size) of `data`, little-endian as HID packs them; false when the
// field does not fit.
bool extract_bits(std::span<const uint8_t> data, uint64_t offset, unsigned size, uint32_t& out) {
    if (size == 0 || size > 32 || offset + size > uint64_t{data.size()} * 8) return false;
    uint64_t v = 0;
    for (unsigned i = 0; i < size; ++i) {
        uint64_t bit = offset + i;
        if (data[bit / 8] >> (bit % 8) & 1) v |= uint64_t{1} << i;
    }
    out = static_cast<uint32_t>(v);
    return true;
}

int32_t sign_extend(uint32_t v, unsigned size) {
    if (size >= 32) return static_cast<int32_t>(v);
    uint32_t sign = uint32_t{1} << (size - 1);
    return static_cast<int32_t>((v ^ sign) - sign);
}

void decode_button(HidUsageEntry& e, std::span<const uint8_t> data) {
    const HidInputCapability& c = e.capability;
    e.pressed.clear();
    e.status = DecodeStatus::ok;
    for (unsigned i = 0; i < c.report_count; ++i) {
        uint32_t v = 0;
        if (!extract_bits(data, c.bit_offset + uint64_t{i} * c.bit_size, c.bit_size, v)) {
            e.status = DecodeStatus::bad_report_length;
            e.pressed.clear();
            return;
        }
        int64_t usage;
        if (c.is_array) {
            int64_t value = c.logical_min < 0 ? sign_extend(v, c.bit_size) : int64_t{v};
            if (value < c.logical_min || value > c.logical_max) continue;  // empty slot
            usage = int64_t{c.usage_min} + (value - c.logical_min);
        } else {
            if (v == 0) continue;
            usage = std::min<int64_t>(int64_t{c.usage_min} + i, c.usage_max);
        }
        // Only usages of this entry's range; 0 never counts as pressed.
        if (usage == 0 || usage < c.usage_min || usage > c.usage_max) continue;
        e.pressed.push_back(static_cast<uint16_t>(usage));
    }
}

// (raw - lmin) * (pmax - pmin) / (lmax - lmin) + pmin, rounded towards zero. A 32-bit field
// with a full-width range makes both factors reach 2^32 - 1, so the product is taken as an
// unsigned magnitude (below 2^64) instead of a signed 64-bit value. Requires
// lmin <= raw <= lmax and lmin < lmax; the result lies between pmin and pmax.
int32_t scale_value(int64_t raw, int64_t lmin, int64_t lmax, int64_t pmin, int64_t pmax) {
    const uint64_t offset = static_cast<uint64_t>(raw - lmin);
    const uint64_t span = static_cast<uint64_t>(lmax - lmin);
    const bool falling = pmax < pmin;
    const uint64_t range = static_cast<uint64_t>(falling ? pmin - pmax : pmax - pmin);
    const uint64_t step = offset * range / span;  // offset <= span, so step <= range
    const int64_t signed_step = static_cast<int64_t>(step);
    return static_cast<int32_t>(falling ? pmin - signed_step : pmin + signed_step);
}

bool decode_value(HidUsageEntry& e, std::span<const uint8_t> data) {
    const HidInputCapability& c = e.capability;
    uint32_t v = 0;
    if (!extract_bits(data, c.bit_offset, c.bit_size, v)) {
        e.status = DecodeStatus::bad_report_length;
        return false;
    }
    int64_t raw = c.logical_min < 0 ? sign_extend(v, c.bit_size) : int64_t{v};
    e.raw_value = static_cast<int32_t>(raw);
    int64_t pmin = c.physical_min, pmax = c.physical_max;
    if (pmin == 0 && pmax == 0) {  // no physical range: it equals the logical one
        pmin = c.logical_min;
        pmax = c.logical_max;
    }
    if (c.logical_max <= c.logical_min) {
        e.status = DecodeStatus::bad_range;
        e.scaled_value = 0;
    } else if (raw < c.logical_min || raw > c.logical_max) {
        e.status = DecodeStatus::value_out_of_range;
        e.scaled_value = 0;
    } else {
        e.scaled_value = scale_value(raw, c.logical_min, c.logical_max, pmin, pmax);
        e.status = DecodeStatus::ok;
    }
    return true;
}

}  // namespace

CHidDevice::CHidDevice(HidBackend& backend) : backend_(backend) {}

CHidDevice::~CHidDevice() {
    Close();
}

bool CHidDevice::Enumerate() {
    std::vector<std::string> paths = backend_.enumerate();
    std::lock_guard lock(paths_mutex_);
    paths_ = std::move(paths);
    cursor_ = 0;
    return true;
}

std::optional<std::string> CHidDevice::NextPath() {
    std::lock_guard lock(paths_mutex_);
    if (cursor_ >= paths_.size()) return std::nullopt;
    return paths_[cursor_++];
}

void CHidDevice::FreePaths() {
    std::lock_guard lock(paths_mutex_);
    paths_.clear();
    cursor_ = 0;
}

bool CHidDevice::Open(const std::string& path, bool read, bool write, bool overlapped,
                      bool exclusive) {
    Close();
    std::unique_ptr<HidConnection> connection =
        backend_.open(path, OpenMode{read, write, exclusive});
    if (!connection) return false;

    HidCollection collection = connection->collection();
    HidCaps caps;
    caps.usage = collection.usage;
    caps.usage_page = collection.usage_page;
    caps.input_report_byte_length = collection.input_report_length;
    caps.output_report_byte_length = collection.output_report_length;
    caps.feature_report_byte_length = collection.feature_report_length;
    std::vector<HidUsageEntry> usages;
    for (const HidInputCapability& c : collection.input_caps) {
        (c.is_button ? caps.number_input_button_caps : caps.number_input_value_caps)++;
        HidUsageEntry e;
        e.is_button = c.is_button;
        e.report_id = c.report_id;
        e.usage_page = c.usage_page;
        e.link_collection = c.link_collection;
        e.usage_min = c.usage_min;
        e.usage_max = c.usage_max;
        e.capability = c;
        if (c.is_button) e.pressed.reserve(c.report_count);
        usages.push_back(std::move(e));
    }

    auto link = std::make_shared<Link>();
    link->connection = std::move(connection);
    std::lock_guard lock(mutex_);
    attributes_ = link->connection->attributes();
    link_ = std::move(link);
    path_ = path;
    open_read_ = read;
    open_write_ = write;
    overlapped_ = overlapped;
    exclusive_ = exclusive;
    caps_ = caps;
    collection_ = std::move(collection);
    input_usages_ = std::move(usages);
    interface_number_ = parse_interface_number(path);
    collection_number_ = parse_collection_number(path);
    return true;
}

void CHidDevice::Close() {
    std::shared_ptr<Link> link;
    {
        std::lock_guard lock(mutex_);
        link = std::move(link_);
        link_.reset();
        path_.clear();
        attributes_ = {};
        caps_ = {};
        collection_ = {};
        input_usages_.clear();
        interface_number_ = collection_number_ = 0;
    }
    if (!link) return;
    // A transfer that had taken the link but not yet started waiting may miss a single
    // abort, so keep waking for a short while until every transfer has let go.
    link->connection->abort();
    for (int i = 0; i < 200 && link->in_flight.load() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        link->connection->abort();
    }
}

bool CHidDevice::IsOpen() const {
    std::lock_guard lock(mutex_);
    return link_ != nullptr;
}

std::shared_ptr<CHidDevice::Link> CHidDevice::acquire() const {
    // Counted under the lock, so Close() either sees this transfer or it sees no link.
    std::lock_guard lock(mutex_);
    if (link_) ++link_->in_flight;
    return link_;
}

IoResult CHidDevice::ReadReport(std::span<uint8_t> buffer, int timeout_ms) {
    if (buffer.empty()) return {IoStatus::error, 0};
    std::shared_ptr<Link> l = acquire();
    if (!l) return {IoStatus::error, 0};
    ++reading_;
    const bool uses_ids = !l->connection->collection().report_ids.empty();
    IoResult r;
    if (uses_ids) {
        r = l->connection->read(buffer, timeout_ms);
    } else {
        // The backend hands bare reports; put the id byte 0 in front as callers expect.
        r = l->connection->read(buffer.subspan(1), timeout_ms);
        if (r.ok()) {
            buffer[0] = 0;
            r.bytes += 1;
        }
    }
    --reading_;
    --l->in_flight;
    return r;
}

IoResult CHidDevice::WriteReport(std::span<const uint8_t> report, int timeout_ms) {
    if (report.empty()) return {IoStatus::error, 0};
    std::shared_ptr<Link> l = acquire();
    if (!l) return {IoStatus::error, 0};
    ++writing_;
    IoResult r = l->connection->write(report, timeout_ms);
    --writing_;
    --l->in_flight;
    return r;
}

bool CHidDevice::SendOutputReportSync(std::span<const uint8_t> report) {
    if (report.empty()) return false;
    std::shared_ptr<Link> l = acquire();
    if (!l) return false;
    bool ok = l->connection->send_output_report(report);
    --l->in_flight;
    return ok;
}

bool CHidDevice::DecodeInputReport(std::span<const uint8_t> report) {
    if (report.empty()) return false;
    std::span<const uint8_t> data = report.subspan(1);
    std::lock_guard lock(mutex_);
    for (HidUsageEntry& e : input_usages_) {
        if (e.report_id != report[0]) continue;
        if (e.is_button) {
            decode_button(e, data);
        } else if (!decode_value(e, data)) {
            return false;
        }
        e.updated = true;
    }
    return true;
}

std::string CHidDevice::Path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

HidAttributes CHidDevice::Attributes() const {
    std::lock_guard lock(mutex_);
    return attributes_;
}

HidCaps CHidDevice::Capabilities() const {
    std::lock_guard lock(mutex_);
    return caps_;
}

HidCollection CHidDevice::Collection() const {
    std::lock_guard lock(mutex_);
    return collection_;
}

std::vector<HidUsageEntry> CHidDevice::InputUsages() const {
    std::lock_guard lock(mutex_);
    return input_usages_;
}

uint16_t CHidDevice::InterfaceNumber() const {
    std::lock_guard lock(mutex_);
    return interface_number_;
}

uint16_t CHidDevice::CollectionNumber() const {
    std::lock_guard lock(mutex_);
    return collection_number_;
}

}  // namespace tellune::hid
