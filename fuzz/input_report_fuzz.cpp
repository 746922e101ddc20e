// Input reports decoded against any descriptor, as the devices' listeners decode what arrives
// on their notification collections. Input: descriptor length (2 bytes, little-endian), the
// descriptor, then reports as [length byte][bytes]. Decoding never reads past a report and
// never overflows (UBSan), and what it fills in stays within the descriptor's ranges.

#include <algorithm>
#include <memory>
#include <span>

#include "core/hid/hid_device.h"
#include "fuzz/fuzz_support.h"

using namespace tellune::hid;

namespace {

class DescribedConnection final : public HidConnection {
public:
    explicit DescribedConnection(HidCollection c) : collection_(std::move(c)) {}
    HidAttributes attributes() const override { return {}; }
    const HidCollection& collection() const override { return collection_; }
    IoResult read(std::span<uint8_t>, int) override { return {IoStatus::timeout, 0}; }
    IoResult write(std::span<const uint8_t>, int) override { return {IoStatus::error, 0}; }
    bool send_output_report(std::span<const uint8_t>) override { return false; }
    void abort() override {}

private:
    HidCollection collection_;
};

class DescribedBackend final : public HidBackend {
public:
    explicit DescribedBackend(HidCollection c) : collection_(std::move(c)) {}
    std::vector<std::string> enumerate() override { return {"fuzz"}; }
    std::unique_ptr<HidConnection> open(const std::string&, OpenMode) override {
        return std::make_unique<DescribedConnection>(collection_);
    }

private:
    HidCollection collection_;
};

void check_entry(const HidUsageEntry& e) {
    const HidInputCapability& c = e.capability;
    if (e.is_button) {
        FUZZ_CHECK(e.pressed.size() <= c.report_count);
        for (uint16_t usage : e.pressed)
            FUZZ_CHECK(usage != 0 && usage >= c.usage_min && usage <= c.usage_max);
        return;
    }
    if (e.status != DecodeStatus::ok) return;
    FUZZ_CHECK(e.raw_value >= c.logical_min && e.raw_value <= c.logical_max);
    int64_t pmin = c.physical_min, pmax = c.physical_max;
    if (pmin == 0 && pmax == 0) {
        pmin = c.logical_min;
        pmax = c.logical_max;
    }
    FUZZ_CHECK(e.scaled_value >= std::min(pmin, pmax) && e.scaled_value <= std::max(pmin, pmax));
    // The ends of the logical range land on the ends of the physical one.
    if (e.raw_value == c.logical_min) FUZZ_CHECK(e.scaled_value == pmin);
    if (e.raw_value == c.logical_max) FUZZ_CHECK(e.scaled_value == pmax);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t length = std::min<size_t>(data[0] | data[1] << 8, size - 2);
    const ReportDescriptor d = parse_report_descriptor({data + 2, length});
    size_t pos = 2 + length;
    for (const HidCollection& collection : d.collections) {
        DescribedBackend backend(collection);
        CHidDevice hid(backend);
        FUZZ_CHECK(hid.Open("fuzz", true, false, true, false));
        size_t at = pos;
        while (at < size) {
            const size_t n = std::min<size_t>(data[at], size - at - 1);
            // A copy of exactly the report's bytes, so reading past it is caught.
            const std::vector<uint8_t> report(data + at + 1, data + at + 1 + n);
            at += 1 + n;
            const bool decoded = hid.DecodeInputReport(report);
            if (report.empty()) FUZZ_CHECK(!decoded);
            for (const HidUsageEntry& e : hid.InputUsages())
                if (e.updated) check_entry(e);
        }
    }
    return 0;
}
