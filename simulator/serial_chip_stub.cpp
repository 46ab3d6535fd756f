// Interim stand-in for the serial chip models, so that the bench links on its
// own branch; the chip models replace this file.
#include "simulator/serial_chip.h"

namespace simulator {

std::unique_ptr<SerialChip> MakeSerialChip(const std::string&) { return nullptr; }

double DacChannel::Volts() const {
    static constexpr double kFullScale[4] = {5.0, 8.0, 9.0, 12.0};
    return kFullScale[range & 3] * value / 256.0;
}

}  // namespace simulator
