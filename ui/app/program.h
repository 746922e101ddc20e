#pragma once
// The program's window as it runs: the device pages over a HID backend, the profile bars and
// the lighting editor, added to the main window in the order they depend on each other.

#include <memory>

namespace tellune::hid {
class HidBackend;
}

namespace tellune::ui {

class CMainWnd;
class DevicePages;

// Call before wnd.load(). Returns the device pages' extension, which `wnd` owns.
DevicePages* install_program_extensions(CMainWnd& wnd, std::shared_ptr<hid::HidBackend> backend);

}  // namespace tellune::ui
