#pragma once
// Our own HID report-descriptor parser: the top-level collections of an interface with
// their report ids, report lengths and input capabilities.

#include <cstdint>
#include <span>
#include <vector>

namespace tellune::hid {

// One input capability: a button array/bitfield or a value, in one report.
struct HidInputCapability {
    bool is_button = false;
    uint8_t report_id = 0;
    uint16_t usage_page = 0;
    uint16_t usage_min = 0;  // equal to usage_max for a single usage
    uint16_t usage_max = 0;
    uint16_t link_collection = 0;
    uint32_t bit_offset = 0;  // within the report, after the report id byte
    uint16_t bit_size = 0;
    uint16_t report_count = 0;
    int32_t logical_min = 0;
    int32_t logical_max = 0;
    int32_t physical_min = 0;
    int32_t physical_max = 0;
    bool is_array = false;  // array items carry usage indices, variables carry bits/values
};

struct HidCollection {
    uint16_t usage_page = 0;
    uint16_t usage = 0;
    std::vector<uint8_t>
        report_ids;  // input, output and feature ids, ascending, unique; empty: none used
    // Byte lengths as the platform reports them: the longest report of each kind plus one
    // byte for the report id (present even when the collection uses no ids); 0 when none.
    uint16_t input_report_length = 0;
    uint16_t output_report_length = 0;
    uint16_t feature_report_length = 0;
    std::vector<HidInputCapability> input_caps;
    std::vector<uint8_t> input_report_ids;  // ids of the input reports (0: no ids), ascending
    bool has_input_report(uint8_t id) const;
};

struct ReportDescriptor {
    bool ok = false;  // false: malformed (truncated item, unbalanced collections, ...)
    std::vector<HidCollection> collections;  // top-level collections in descriptor order
};

// Never reads past `bytes`; malformed input gives ok = false with whatever was complete.
ReportDescriptor parse_report_descriptor(std::span<const uint8_t> bytes);

}  // namespace tellune::hid
