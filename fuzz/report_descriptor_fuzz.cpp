// The report-descriptor parser on any bytes: it never reads past them, and what it returns
// is consistent: ids sorted and unique, every capability inside its report's length, usage
// ranges in order, bounded counts.

#include <algorithm>
#include <span>

#include "core/hid/report_descriptor.h"
#include "fuzz/fuzz_support.h"

using namespace tellune::hid;

namespace {

template <typename T>
bool strictly_ascending(const std::vector<T>& v) {
    return std::adjacent_find(v.begin(), v.end(), [](T a, T b) { return a >= b; }) == v.end();
}

void check_collection(const HidCollection& c) {
    FUZZ_CHECK(strictly_ascending(c.report_ids));
    FUZZ_CHECK(strictly_ascending(c.input_report_ids));
    FUZZ_CHECK(std::find(c.report_ids.begin(), c.report_ids.end(), 0) == c.report_ids.end());
    // Every input id is one of the collection's ids, or 0 when it uses none.
    for (uint8_t id : c.input_report_ids) {
        if (id == 0) continue;
        FUZZ_CHECK(std::binary_search(c.report_ids.begin(), c.report_ids.end(), id));
    }
    if (!c.input_caps.empty()) FUZZ_CHECK(c.input_report_length >= 2);
    for (const HidInputCapability& cap : c.input_caps) {
        FUZZ_CHECK(c.has_input_report(cap.report_id));
        FUZZ_CHECK(cap.usage_min <= cap.usage_max);
        FUZZ_CHECK(cap.bit_size >= 1);
        FUZZ_CHECK(cap.report_count >= 1);
        if (cap.is_array) FUZZ_CHECK(cap.is_button);
        // The field lies inside the longest input report (without its id byte).
        const uint64_t end = uint64_t{cap.bit_offset} + uint64_t{cap.bit_size} * cap.report_count;
        FUZZ_CHECK(end <= (uint64_t{c.input_report_length} - 1) * 8);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const ReportDescriptor d = parse_report_descriptor(bytes);
    size_t caps = 0;
    for (const HidCollection& c : d.collections) {
        check_collection(c);
        caps += c.input_caps.size();
    }
    FUZZ_CHECK(caps <= 4096);
    FUZZ_CHECK(d.collections.size() <= 1024);
    // An empty descriptor is well formed and describes nothing.
    if (size == 0) FUZZ_CHECK(d.ok && d.collections.empty());
    // The same bytes always give the same answer.
    const ReportDescriptor again = parse_report_descriptor(bytes);
    FUZZ_CHECK(again.ok == d.ok && again.collections.size() == d.collections.size());
    return 0;
}
