// Choice of the port access at start: direct port I/O where the machine has
// a parallel port at 0x378/0x278 and the process may use it, ppdev where a
// port device can be opened, otherwise the simulated bench (which the caller
// builds, since platform/ knows nothing of it).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/port_io.h"

namespace platform {

class DirectIoSystem;
class PpdevSystem;

struct PortAccessRequest {
    enum class Force { Auto, Direct, Ppdev } force = Force::Auto;
    std::vector<std::string> ppdevDevices;  // --ppdev DEV1[,DEV2]

    // Seams for tests: null or empty means the machine's own.
    DirectIoSystem* directSystem = nullptr;
    PpdevSystem* ppdevSystem = nullptr;
    std::string fileRoot;  // prefixed to /proc, /sys and /dev paths
};

struct PortAccessResult {
    enum class Kind { Direct, Ppdev, Bench } kind = Kind::Bench;
    std::unique_ptr<PortIo> io;  // null for Kind::Bench
    // One sentence: for the bench, what kept the real port out of reach
    // (with the fix where there is one); for ppdev, which devices and why not
    // direct I/O; for a forced way of access that could not be opened, why (then
    // `failed` is true). Empty when direct I/O was chosen with nothing to remark.
    std::string reason;
    bool failed = false;
    // A few words for the window caption: "direct I/O", "ppdev /dev/parport0",
    // "simulated bench".
    std::string label;
};

PortAccessResult ChoosePortAccess(const PortAccessRequest& request);

}  // namespace platform
