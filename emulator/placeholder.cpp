// Keeps the library non-empty while the device models are added.
