#include "core/hid/hid_path.h"

#include <cstdio>

namespace tellune::hid {

std::string make_interface_path(std::string_view node, uint16_t vendor, uint16_t product,
                                int interface_number, int collection, int collection_count) {
    std::string path(node);
    path += '?';
    char part[32];
    if (vendor != 0 || product != 0) {
        std::snprintf(part, sizeof part, "vid_%04x&pid_%04x", vendor, product);
        path += part;
    }
    if (interface_number >= 0) {
        std::snprintf(part, sizeof part, "&mi_%02x", interface_number & 0xFF);
        path += part;
    }
    if (collection_count > 1) {
        std::snprintf(part, sizeof part, "&col%02x", collection & 0xFF);
        path += part;
    }
    return path;
}

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

uint16_t parse_key(std::string_view path, std::string_view key) {
    // Only the part after the node: a folder name must not pass for a key.
    size_t q = path.rfind('?');
    if (q != std::string_view::npos) path.remove_prefix(q + 1);
    if (path.size() < key.size()) return 0;
    for (size_t i = 0; i + key.size() <= path.size(); ++i) {
        size_t k = 0;
        while (k < key.size() && lower(path[i + k]) == key[k]) ++k;
        if (k != key.size()) continue;
        uint16_t value = 0;
        for (size_t j = i + key.size(); j < path.size(); ++j) {
            int d = hex_digit(path[j]);
            if (d < 0) break;
            value = static_cast<uint16_t>((value << 4) | d);
        }
        return value;
    }
    return 0;
}

}  // namespace

uint16_t parse_vendor_id(std::string_view path) {
    return parse_key(path, "vid_");
}
uint16_t parse_product_id(std::string_view path) {
    return parse_key(path, "pid_");
}
uint16_t parse_interface_number(std::string_view path) {
    return parse_key(path, "&mi_");
}
uint16_t parse_collection_number(std::string_view path) {
    return parse_key(path, "&col");
}

std::string_view interface_path_node(std::string_view path) {
    size_t q = path.rfind('?');
    return q == std::string_view::npos ? path : path.substr(0, q);
}

}  // namespace tellune::hid
