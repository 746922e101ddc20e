// The eleven entry points of the contract over the library's chip. Everything else in the
// library is hidden.

#include <mutex>

#include "sdk/common/chip.h"

#define OSCONF_EXPORT extern "C" __attribute__((visibility("default")))

using tellune::osconf::library_chip;

namespace {

template <class F>
int locked(F f) {
    tellune::osconf::Chip& chip = library_chip();
    std::lock_guard lock(chip.mutex());
    return f(chip);
}

}  // namespace

OSCONF_EXPORT int ConfLibInit(void) {
    return locked([](auto& chip) { return chip.init(); });
}

OSCONF_EXPORT int ConfLibUnInit(void) {
    return locked([](auto& chip) { return chip.uninit(); });
}

OSCONF_EXPORT int CreateDeviceList(void) {
    return locked([](auto& chip) { return chip.create_device_list(); });
}

OSCONF_EXPORT int GetDeviceCount(int flow, int* count) {
    if (!count) return -1;
    return locked([&](auto& chip) { return chip.device_count(flow, count); });
}

OSCONF_EXPORT int GetDeviceById(int flow, int index, OsConfDevice* device) {
    if (!device) return -1;
    return locked([&](auto& chip) { return chip.device_by_id(flow, index, device); });
}

OSCONF_EXPORT int PropertyControl(OsConfDevice device, const wchar_t* name, void** value,
                                  void** parameter, int set) {
    if (!name || !value || !*value) return -1;
    return locked([&](auto& chip) { return chip.property(device, name, value, parameter, set); });
}

OSCONF_EXPORT int RegisterCallbackFunction(OsConfCallback, void*) {
    return 0;
}

// Nothing to show, play or stop on these chips.
OSCONF_EXPORT int ShowAsioPanel(void) {
    return -1;
}

OSCONF_EXPORT int PlayTestSound(OsConfDevice, const wchar_t*) {
    return -1;
}

OSCONF_EXPORT int StopTestSound(OsConfDevice) {
    return 0;
}

OSCONF_EXPORT int CloseTestSound(OsConfDevice) {
    return 0;
}
