// `merlix --check-ports`: what a technician needs to know before blaming the
// adapter. For every parallel port the kernel knows: its device, base, modes,
// whether this user can open it (and the exact fix when not); then the
// adapter probe on every port that can be reached.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "platform/port_io.h"

namespace platform {

class DirectIoSystem;
class PpdevSystem;

// Probes the adapter through `io` at `base` (the app passes one built on
// hardware::PortAdapter); true when the controller answered.
using AdapterProbe = std::function<bool(PortIo& io, int base)>;

struct PortCheckEnvironment {
    std::string fileRoot;                    // prefixed to /proc, /sys and /dev paths
    PpdevSystem* ppdevSystem = nullptr;      // null: the machine's own
    DirectIoSystem* directSystem = nullptr;  // null: the machine's own
};

// Returns the process exit status: 0 when an adapter answered, 1 otherwise
// (also when the machine has no parallel port, which it says plainly).
int RunPortCheck(std::ostream& out, const AdapterProbe& probe, const PortCheckEnvironment& environment = {});

}  // namespace platform
