// Build tool: writes the udev rule, and the AppStream metadata with the supported hardware
// filled in, both made from the HID match table.
//   make_packaging_files <rule file> <metainfo template> <metainfo file>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "core/hid/device_id_rules.h"

namespace {

bool write_file(const char* path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) std::fprintf(stderr, "cannot write %s\n", path);
    return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <rule file> <metainfo template> <metainfo file>\n",
                     argv[0]);
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 1;
    }
    std::ostringstream template_text;
    template_text << in.rdbuf();
    std::string metainfo = template_text.str();
    // The placeholder stands alone on its line; the elements take its indentation.
    const std::string placeholder = "@MODALIASES@";
    const size_t at = metainfo.find(placeholder);
    if (at == std::string::npos) {
        std::fprintf(stderr, "%s has no %s\n", argv[2], placeholder.c_str());
        return 1;
    }
    const size_t line_start = metainfo.rfind('\n', at) + 1;
    const std::string indent = metainfo.substr(line_start, at - line_start);
    std::string elements = tellune::hid::appstream_modaliases(indent);
    if (!elements.empty()) elements.pop_back();  // the template's own line break follows
    metainfo.replace(line_start, at + placeholder.size() - line_start, elements);
    return write_file(argv[1], tellune::hid::udev_rule_text()) && write_file(argv[3], metainfo) ? 0
                                                                                                : 1;
}
