#pragma once
// Interface paths in the Windows shape: "<node>?vid_0c45&pid_7643&mi_01&col04". The
// numbers are read back with the four parsers, which also accept real Windows paths.

#include <cstdint>
#include <string>
#include <string_view>

namespace tellune::hid {

// "vid_"/"pid_" only when vendor or product is non-zero, "&mi_" only for a USB interface
// (interface_number >= 0), "&col" only when the interface has several top-level
// collections (collection counts from 1).
std::string make_interface_path(std::string_view node, uint16_t vendor, uint16_t product,
                                int interface_number, int collection, int collection_count);

// Each finds its key without regard to case, skips the key's four characters and reads a
// hexadecimal number, truncated to 16 bits; 0 when the key is absent.
uint16_t parse_vendor_id(std::string_view path);
uint16_t parse_product_id(std::string_view path);
uint16_t parse_interface_number(std::string_view path);
uint16_t parse_collection_number(std::string_view path);

// The node part of a synthesized path (everything before the last '?').
std::string_view interface_path_node(std::string_view path);

}  // namespace tellune::hid
