// `merlix --check-ports`: what a technician needs to know before blaming the
// adapter. For every parallel port the kernel knows: its device, base, modes,
// whether this user can open it (and the exact fix when not); then the
// adapter probe on every port that can be reached; then the other adapters
// with their rights and fixes.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "platform/port_io.h"

namespace platform {

class DeviceSystem;
class DirectIoSystem;
class PpdevSystem;

// Probes the adapter through `io` at `base` (the app passes one built on
// hardware::PortAdapter); true when the controller answered.
using AdapterProbe = std::function<bool(PortIo& io, int base)>;

struct PortCheckEnvironment {
    std::string fileRoot;                    // prefixed to /proc, /sys and /dev paths
    PpdevSystem* ppdevSystem = nullptr;      // null: the machine's own
    DirectIoSystem* directSystem = nullptr;  // null: the machine's own
    DeviceSystem* devices = nullptr;         // null: the machine's own (/sys, /dev, /proc/device-tree)
    // The other adapters' sections, after the parallel ports; true when one
    // can be used. Null: the i2c-dev and spidev ones (adapter_survey.h).
    std::function<bool(std::ostream&)> otherAdapters;
};

// Returns the process exit status: 0 when a parallel adapter answered or an
// other adapter can be opened, 1 otherwise (also when the machine has no adapter at all, which
// it says plainly).
int RunPortCheck(std::ostream& out, const AdapterProbe& probe, const PortCheckEnvironment& environment = {});

}  // namespace platform
