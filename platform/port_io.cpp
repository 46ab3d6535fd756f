#include "platform/port_io.h"

namespace platform {
namespace {
NullPortIo nullPorts;
PortIo* installedPorts = &nullPorts;
}  // namespace

PortIo& Ports() { return *installedPorts; }

PortIo* InstallPortIo(PortIo* io) {
    PortIo* previous = installedPorts;
    installedPorts = io ? io : &nullPorts;
    return previous == &nullPorts ? nullptr : previous;
}

}  // namespace platform
