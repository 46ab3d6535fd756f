#include "hardware/probe.h"

#include "hardware/port_adapter.h"

namespace hardware {

ControllerProbe ProbeController(PortAdapter& adapter, std::uint8_t resetMode) {
    ControllerProbe probe;
    probe.firstAnswered = adapter.ResetAdapter(resetMode, adapter.Latch()) == kProbeOk;
    if (!probe.firstAnswered) adapter.ConfigurePort();
    probe.found = adapter.ResetAdapter(resetMode, adapter.Latch()) == kProbeOk;
    if (probe.found) adapter.ConfigurePort();
    return probe;
}

bool ProbeAdapterOn(platform::PortIo& io, platform::Counter& counter, int base) {
    // The latch cannot be read back, and the data register holds it only until
    // the next EPP cycle drives the data lines: restoring the latch from it
    // would load whatever byte last crossed the port. So the latch never
    // loads here (no /INIT edge), and only the data lines are put back.
    const auto dataPort = static_cast<std::uint16_t>(base + kDataPort);
    const std::uint8_t data = io.In(dataPort);
    PortAdapter adapter(io, counter);
    adapter.SetBase(base);
    adapter.ConfigurePort();
    const bool found = ProbeController(adapter, kResetKeepLatch).found;
    io.Out(dataPort, data);
    return found;
}

}  // namespace hardware
