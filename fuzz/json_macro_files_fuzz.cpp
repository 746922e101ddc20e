// The macro library ("macro.config"), macro files (".mac") and shoot files (".Shoot") of any
// content; one input serves as all of them (the seeds name their macro "m"). Nothing throws,
// and every image built from what was read has the layout the devices expect.

#include <numeric>
#include <string>

#include "core/device/macro_image.h"
#include "core/profile/json_file.h"
#include "fuzz/fuzz_support.h"

using namespace tellune;
using namespace tellune::device;

namespace {

const std::string& folder() {
    static const std::string f = fuzz::scratch_subfolder("macro");
    return f;
}

uint16_t get16(const std::vector<uint8_t>& image, size_t at) {
    return static_cast<uint16_t>(image[at] | image[at + 1] << 8);
}

void check_image(const std::vector<MacroEvents>& macros) {
    const size_t events =
        std::accumulate(macros.begin(), macros.end(), size_t{0},
                        [](size_t n, const MacroEvents& m) { return n + m.size(); });
    const size_t size = macro_image_size(macros);
    FUZZ_CHECK(size == 16 + 6 * macros.size() + 4 * events);
    const std::vector<uint8_t> image = build_macro_image(macros);
    if (size > kMaxImageSize) {
        FUZZ_CHECK(image.empty());
        return;
    }
    FUZZ_CHECK(image.size() == size);
    FUZZ_CHECK(image[0] == 0xAA && image[1] == 0x55);
    FUZZ_CHECK(get16(image, 2) == size && get16(image, 4) == macros.size());
    size_t expected = 16 + 2 * macros.size();
    for (size_t i = 0; i < macros.size(); ++i) {
        const size_t record = get16(image, 16 + 2 * i);
        FUZZ_CHECK(record == expected);
        FUZZ_CHECK(get16(image, record) == macros[i].size());
        for (size_t k = 0; k < macros[i].size(); ++k) {
            const size_t at = record + 4 + 4 * k;
            FUZZ_CHECK(get16(image, at) == macros[i][k].delay);
            FUZZ_CHECK(image[at + 2] == macros[i][k].type && image[at + 3] == macros[i][k].button);
        }
        expected = record + 4 + 4 * macros[i].size();
    }
    FUZZ_CHECK(expected == size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const char* name : {"macro.config", "m.mac", "ShootData_0.Shoot", "ShootData_3.Shoot"})
        fuzz::write_bytes(folder() + name, data, size);

    const Json::Value doc = read_json(folder() + "m.mac");
    const MacroEvents events = macro_events_from_json(doc);
    const Json::Value& list = json_get(doc, "Events");
    FUZZ_CHECK(events.size() == (list.isArray() ? list.size() : 0u));

    const std::optional<std::vector<MacroEvents>> macros = load_macro_library(folder());
    const Json::Value& info = json_get(doc, "MacroInfo");
    FUZZ_CHECK(macros.has_value() == (info.isArray() && !info.empty()));
    if (macros) {
        FUZZ_CHECK(macros->size() == info.size());
        check_image(*macros);
    }
    const std::vector<MacroEvents> shots = load_shoot_slots(folder());
    FUZZ_CHECK(shots.size() == size_t(kShootSlots));
    FUZZ_CHECK(shots[0] == events && shots[3] == events && shots[1].empty());
    check_image(shots);
    return 0;
}
