#pragma once
// The input-hook service's global source: key strokes and mouse buttons of every keyboard and
// mouse whose evdev node this user may read, whichever window has the focus. Keys go through
// the set-1 table, buttons to the mouse table's rows. Nodes are opened at each start and
// closed at stop, so devices plugged in between are found; none is ever grabbed.

#include <functional>
#include <vector>

#include "core/platform/evdev_reader.h"
#include "ui/app/input_hook.h"

namespace tellune::ui {

class EvdevInputSource : public InputSource {
public:
    // Opens the nodes to read; the source owns what it returns.
    using Opener = std::function<std::vector<int>()>;

    // Default: the readable keyboards and mice of /dev/input.
    explicit EvdevInputSource(Opener opener = {});
    ~EvdevInputSource() override;

    void start(Deliver deliver) override;
    void stop() override;
    void start_mouse(DeliverMouse deliver) override { deliver_mouse_ = std::move(deliver); }
    bool global() const override { return true; }
    bool reading() const { return reader_.running(); }

    // Whether this machine lets the program read any keyboard or mouse node.
    static bool available();

private:
    Opener opener_;
    Deliver deliver_;
    DeliverMouse deliver_mouse_;
    EvdevReader reader_;
};

}  // namespace tellune::ui
