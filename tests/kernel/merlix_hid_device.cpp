// merlix-hid-device: a CP2112 or MCP2221 USB-HID I2C bridge with a bench
// memory behind it, made through /dev/uhid so that the kernel's own driver
// (hid-cp2112, hid-mcp2221) binds to it and makes its /dev/i2c-N. The
// kernel cases (tools/kernel-cases) run it in the background inside the
// QEMU guest and then use that bus with merlix-cli and the i2c-tools.
//   merlix-hid-device cp2112|mcp2221 --chip 24C256
// It runs until SIGTERM or SIGINT, then destroys the device.
//
// The uhid calls are those of include/uapi/linux/uhid.h and
// Documentation/hid/uhid.rst: UHID_CREATE2 with the report descriptor and the
// USB ids on BUS_USB (the drivers' id tables are HID_USB_DEVICE entries);
// UHID_OUTPUT brings the driver's output reports, answered with UHID_INPUT2;
// UHID_GET_REPORT and UHID_SET_REPORT (feature reports) must each be
// answered with a reply carrying their id, or the driver's request fails
// after five seconds (drivers/hid/uhid.c, __uhid_report_queue_and_wait).
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uhid.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "hardware/chip_parts.h"
#include "simulator/hid_bridges.h"
#include "simulator/i2c_bus.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnSignal(int) { stopRequested = 1; }

bool Send(int fd, const uhid_event& event) {
    return write(fd, &event, sizeof event) == static_cast<ssize_t>(sizeof event);
}

int Usage() {
    std::fprintf(stderr, "usage: merlix-hid-device cp2112|mcp2221 --chip PART\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || std::string(argv[2]) != "--chip") return Usage();
    const hardware::ChipPart* part = hardware::FindMemoryPart(argv[3]);
    if (part == nullptr || part->family != hardware::ChipFamily::I2c) {
        std::fprintf(stderr, "merlix-hid-device: %s is not an I2C memory of the chip table\n", argv[3]);
        return 2;
    }
    simulator::I2cBus bus;
    bus.InsertPart(part);
    const auto bridge = simulator::MakeHidBridge(argv[1], bus);
    if (!bridge) return Usage();

    const int fd = open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        std::perror("merlix-hid-device: /dev/uhid");
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = OnSignal;  // no SA_RESTART: the read below returns EINTR
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    static uhid_event event;
    event = {};
    event.type = UHID_CREATE2;
    auto& create = event.u.create2;
    std::snprintf(reinterpret_cast<char*>(create.name), sizeof create.name, "%s", bridge->Name());
    std::snprintf(reinterpret_cast<char*>(create.phys), sizeof create.phys, "merlix-bench");
    const auto descriptor = bridge->ReportDescriptor();
    create.rd_size = static_cast<__u16>(descriptor.size());
    std::copy(descriptor.begin(), descriptor.end(), create.rd_data);
    create.bus = BUS_USB;
    create.vendor = bridge->VendorId();
    create.product = bridge->ProductId();
    create.version = 0x0100;
    if (!Send(fd, event)) {
        std::perror("merlix-hid-device: UHID_CREATE2");
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    static uhid_event reply;
    while (!stopRequested) {
        const ssize_t got = read(fd, &event, sizeof event);
        if (got < 0) {
            if (errno == EINTR) continue;
            std::perror("merlix-hid-device: read /dev/uhid");
            break;
        }
        const std::int64_t nowUs =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
                .count();
        reply = {};
        switch (event.type) {
            case UHID_OUTPUT: {
                const auto& out = event.u.output;
                const std::size_t size = std::min<std::size_t>(out.size, sizeof out.data);
                for (const auto& input : bridge->Output({out.data, size}, nowUs)) {
                    reply = {};
                    reply.type = UHID_INPUT2;
                    reply.u.input2.size =
                        static_cast<__u16>(std::min(input.size(), sizeof reply.u.input2.data));
                    std::copy_n(input.begin(), reply.u.input2.size, reply.u.input2.data);
                    Send(fd, reply);
                }
                break;
            }
            case UHID_GET_REPORT: {
                const auto answer = bridge->GetFeature(event.u.get_report.rnum);
                reply.type = UHID_GET_REPORT_REPLY;
                reply.u.get_report_reply.id = event.u.get_report.id;
                reply.u.get_report_reply.err = answer.empty() ? EIO : 0;
                reply.u.get_report_reply.size = static_cast<__u16>(answer.size());
                std::copy(answer.begin(), answer.end(), reply.u.get_report_reply.data);
                Send(fd, reply);
                break;
            }
            case UHID_SET_REPORT: {
                const auto& set = event.u.set_report;
                const std::size_t size = std::min<std::size_t>(set.size, sizeof set.data);
                const bool taken = bridge->SetFeature({set.data, size});
                reply.type = UHID_SET_REPORT_REPLY;
                reply.u.set_report_reply.id = set.id;
                reply.u.set_report_reply.err = taken ? 0 : EIO;
                Send(fd, reply);
                break;
            }
            default:  // UHID_START, UHID_OPEN, UHID_CLOSE, UHID_STOP: nothing to answer
                break;
        }
    }
    reply = {};
    reply.type = UHID_DESTROY;
    Send(fd, reply);
    close(fd);
    return 0;
}
