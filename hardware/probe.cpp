#include "hardware/probe.h"

#include "hardware/port_adapter.h"

namespace hardware {

bool ProbeAdapter(int base) {
    constexpr std::uint8_t kStartLatch = 0xFD;
    PortAdapter adapter;
    adapter.SetBase(base);
    adapter.ConfigurePort();
    if (adapter.ResetAdapter(0, kStartLatch) != kProbeOk) adapter.ConfigurePort();
    if (adapter.ResetAdapter(0, kStartLatch) != kProbeOk) return false;
    adapter.ConfigurePort();
    return true;
}

bool ProbeAdapterOn(platform::PortIo& io, int base) {
    platform::PortIo* previous = platform::InstallPortIo(&io);
    const bool found = ProbeAdapter(base);
    platform::InstallPortIo(previous);
    return found;
}

}  // namespace hardware
