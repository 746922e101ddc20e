// Emulated devices.
