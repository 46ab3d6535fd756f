// `merlix --check-ports`: what a technician needs to know before blaming the
// adapter. For every parallel port the kernel knows: its device, base, modes,
// whether this user can open it (and the exact fix when not); then the
// adapter probe on every port that can be reached; then the i2c-dev buses and
// spidev nodes with their rights and fixes (adapter_survey.h), and the USB
// programmers.
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
    // The USB programmers' section (hardware/ch341a/ch341a_survey.h), after
    // the i2c-dev and spidev ones; true when one can be used. Null: none.
    std::function<bool(std::ostream&)> usbProgrammers;
};

// Returns the process exit status: 0 when a parallel adapter answered or an
// i2c-dev or spidev node or a USB programmer can be opened, 1 otherwise (also when the machine
// has no adapter at all, which it says plainly).
int RunPortCheck(std::ostream& out, const AdapterProbe& probe, const PortCheckEnvironment& environment = {});

}  // namespace platform
