#include "ui/app/evdev_source.h"

#include "core/device/scan_codes.h"
#include "core/macro/macro_events.h"

namespace tellune::ui {

EvdevInputSource::EvdevInputSource(Opener opener) : opener_(std::move(opener)) {
    if (!opener_) opener_ = [] { return open_input_devices(); };
}

EvdevInputSource::~EvdevInputSource() {
    stop();
}

bool EvdevInputSource::available() {
    return input_devices_readable();
}

void EvdevInputSource::start(Deliver deliver) {
    reader_.stop();
    deliver_ = std::move(deliver);
    // The reader's thread calls these copies; stop() joins it before they change.
    reader_.start(opener_(), [keys = deliver_, mouse = deliver_mouse_](uint16_t code, bool down) {
        if (const auto set1 = device::set1_from_evdev(code)) {
            if (keys) keys({set1->scan, set1->extended, down});
            return;
        }
        const int row = macro::mouse_row_from_evdev(code, down);
        if (row >= 0 && mouse) mouse({row, false, {}});
    });
}

void EvdevInputSource::stop() {
    reader_.stop();
    deliver_ = nullptr;
    deliver_mouse_ = nullptr;
}

}  // namespace tellune::ui
