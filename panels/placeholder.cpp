// panels library
