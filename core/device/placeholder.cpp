// Per-product protocols and the software light engine.
