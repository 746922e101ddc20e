// HID transport.
