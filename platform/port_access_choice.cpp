#include "platform/port_access_choice.h"

#include <cctype>

#include "platform/direct_port_io.h"
#include "platform/host_files.h"
#include "platform/ppdev_port_io.h"

namespace platform {
namespace {

std::string LowerFirst(std::string text) {
    if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string PpdevLabel(const PpdevPortIo& io) {
    std::string label = "ppdev";
    for (int lpt = 1; lpt <= 2; ++lpt) {
        const std::string device = io.Device(lpt);
        if (!device.empty()) label += " " + device + " (LPT" + std::to_string(lpt) + ")";
    }
    return label;
}

bool TryDirect(const PortAccessRequest& request, const HostFiles& files, bool requireListedPort,
               PortAccessResult& result, std::string& error) {
    auto io =
        std::make_unique<DirectPortIo>(request.directSystem ? *request.directSystem : HostDirectIo(), files);
    if (!io->Open(requireListedPort)) {
        error = io->Error();
        return false;
    }
    result.kind = PortAccessResult::Kind::Direct;
    result.label = "direct I/O";
    if (!DirectPortIo::MachineHasPort(files)) {
        result.reason = "Direct port I/O is forced although the kernel reports no parallel port at 0x378 or "
                        "0x278, so the adapter may not answer.";
    } else if (io->method() == DirectPortIo::Method::DevPort) {
        result.reason = "Direct port I/O goes through /dev/port, since ioperm() was refused.";
    }
    result.io = std::move(io);
    return true;
}

bool TryPpdev(const PortAccessRequest& request, const HostFiles& files, PortAccessResult& result,
              std::string& error) {
    auto io = std::make_unique<PpdevPortIo>(request.ppdevSystem ? *request.ppdevSystem : HostPpdev(), files);
    if (!io->Open(request.ppdevDevices)) {
        error = io->Error();
        return false;
    }
    result.kind = PortAccessResult::Kind::Ppdev;
    result.label = PpdevLabel(*io);
    result.io = std::move(io);
    return true;
}

}  // namespace

PortAccessResult ChoosePortAccess(const PortAccessRequest& request) {
    const HostFiles files(request.fileRoot);
    PortAccessResult result;
    std::string error;

    switch (request.force) {
        case PortAccessRequest::Force::Direct:
            if (!TryDirect(request, files, false, result, error)) {
                result.failed = true;
                result.reason = error;
            }
            return result;
        case PortAccessRequest::Force::Ppdev:
            if (TryPpdev(request, files, result, error)) {
                result.reason = "Using " + result.label + ", as asked.";
            } else {
                result.failed = true;
                result.reason = error;
            }
            return result;
        case PortAccessRequest::Force::Auto:
            break;
    }

    std::string directError;
    const bool legacyPort = DirectPortIo::MachineHasPort(files);
    if (legacyPort && TryDirect(request, files, true, result, directError)) return result;

    std::string ppdevError;
    if (TryPpdev(request, files, result, ppdevError)) {
        result.reason = legacyPort ? "Using " + result.label + ", since " + LowerFirst(directError)
                                   : "Using " + result.label + ".";
        return result;
    }

    result.kind = PortAccessResult::Kind::Bench;
    result.label = "simulated bench";
    if (ListParports(files).empty() && !legacyPort) {
        result.reason = "No parallel port was found on this machine.";
    } else {
        // A port exists but cannot be used: ppdev's refusal carries the fix a
        // normal user needs; the direct one only matters without a device.
        result.reason = ListParports(files).empty() ? directError : ppdevError;
    }
    return result;
}

}  // namespace platform
