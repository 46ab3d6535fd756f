// Choice of the port backend at start: direct port I/O where the machine has
// a parallel port at 0x378/0x278 and the process may use it, ppdev where a
// port device can be opened, otherwise the simulated bench (which the caller
// builds, since platform/ knows nothing of it).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/port_io.h"

namespace platform {

struct BackendRequest {
    enum class Force { Auto, Direct, Ppdev } force = Force::Auto;
    std::vector<std::string> ppdevDevices;  // --ppdev DEV1[,DEV2]
};

struct BackendResult {
    enum class Kind { Direct, Ppdev, Bench } kind = Kind::Bench;
    std::unique_ptr<PortIo> io;  // null for Kind::Bench
    // One sentence: why the bench (or ppdev) was chosen, or why a forced
    // backend could not be opened (then `failed` is true).
    std::string reason;
    bool failed = false;
};

BackendResult ChooseHardwareBackend(const BackendRequest& request);

}  // namespace platform
