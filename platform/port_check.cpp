#include "platform/port_check.h"

#include <memory>
#include <vector>

#include "platform/adapter_survey.h"
#include "platform/direct_port_io.h"
#include "platform/host_files.h"
#include "platform/ppdev_port_io.h"

namespace platform {
namespace {

struct CheckedPort {
    ParportInfo info;
    std::unique_ptr<PpdevPortIo> io;  // open when this user can reach the port
};

void DescribePort(std::ostream& out, const CheckedPort& port) {
    const ParportInfo& info = port.info;
    out << "  " << info.device << ": base " << (info.base >= 0 ? HexAddress(info.base) : "unknown")
        << ", modes " << (info.modes.empty() ? "unknown" : info.modes);
    if (info.modes.empty()) {
        out << "\n";
    } else if (info.epp) {
        out << " (EPP: yes)\n";
    } else {
        out << " (EPP: no; the adapter needs EPP, which an on-board port gets in the firmware setup)\n";
    }
    if (port.io->IsOpen()) {
        out << "    this user can open it\n";
    } else {
        out << "    this user cannot open it: " << port.io->Error() << "\n";
    }
}

bool DescribeOthers(std::ostream& out, const PortCheckEnvironment& environment, DeviceSystem& devices) {
    return environment.otherAdapters ? environment.otherAdapters(out)
                                     : DescribeCharacterAdapters(out, devices);
}

}  // namespace

int RunPortCheck(std::ostream& out, const AdapterProbe& probe, const PortCheckEnvironment& environment) {
    const HostFiles files(environment.fileRoot);
    PpdevSystem& ppdev = environment.ppdevSystem ? *environment.ppdevSystem : HostPpdev();
    DirectIoSystem& directSystem = environment.directSystem ? *environment.directSystem : HostDirectIo();

    const std::vector<int> legacyBases = LegacyParportBases(files);
    std::vector<CheckedPort> ports;
    for (const ParportInfo& info : ListParports(files)) {
        CheckedPort port{info, std::make_unique<PpdevPortIo>(ppdev, files)};
        port.io->Open({info.device});
        ports.push_back(std::move(port));
    }
    DeviceSystem& devices = environment.devices ? *environment.devices : HostDevices();
    if (ports.empty() && legacyBases.empty()) {
        out << "No parallel port was found on this machine: the kernel lists none under "
               "/proc/sys/dev/parport, "
               "/dev or /proc/ioports.\n"
            << "If a port or card is fitted, load its drivers (sudo modprobe parport_pc ppdev) and check "
               "again.\n";
        return DescribeOthers(out, environment, devices) ? 0 : 1;
    }

    out << "Parallel ports:\n";
    if (ports.empty()) out << "  none under /proc/sys/dev/parport or /dev (the ppdev module is not loaded)\n";
    for (const CheckedPort& port : ports) DescribePort(out, port);

    DirectPortIo direct(directSystem, files);
    bool directOpen = false;
    if (legacyBases.empty()) {
        out << "Direct port I/O: not used, since the kernel reports no port at 0x378 or 0x278.\n";
    } else if ((directOpen = direct.Open(true))) {
        out << "Direct port I/O: permitted ("
            << (direct.method() == DirectPortIo::Method::Ioperm ? "ioperm" : "/dev/port") << ").\n";
    } else {
        out << direct.Error() << "\n";
    }

    out << "Adapter probe:\n";
    bool probed = false;
    bool answered = false;
    auto report = [&](const std::string& where, bool ok) {  // a missing probe finds nothing
        out << "  " << where << ": " << (ok ? "PCF 8584 Ok" : "Not Found") << "\n";
        probed = true;
        answered = answered || ok;
    };
    for (CheckedPort& port : ports) {
        // A port at any base answers as LPT1 through ppdev.
        if (port.io->IsOpen()) report(port.info.device, probe && probe(*port.io, 0x378));
    }
    if (!probed && directOpen) {
        for (int base : legacyBases)
            report("direct I/O at " + HexAddress(base), probe && probe(direct, base));
    }
    if (!probed) out << "  not run: no port can be reached by this user (see the fixes above).\n";
    const bool otherUsable = DescribeOthers(out, environment, devices);
    return answered || otherUsable ? 0 : 1;
}

}  // namespace platform
