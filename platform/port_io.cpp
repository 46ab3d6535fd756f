#include "platform/port_io.h"

namespace platform {
namespace {
NullPortIo g_nullPorts;
PortIo* g_ports = &g_nullPorts;
}  // namespace

PortIo& Ports() { return *g_ports; }

PortIo* InstallPortIo(PortIo* io) {
    PortIo* previous = g_ports;
    g_ports = io ? io : &g_nullPorts;
    return previous == &g_nullPorts ? nullptr : previous;
}

}  // namespace platform
