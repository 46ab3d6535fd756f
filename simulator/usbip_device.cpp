// The device side of USB/IP; see usbip_device.h.
#include "simulator/usbip_device.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace simulator {
namespace {

// drivers/usb/usbip/usbip_common.h: the commands, and struct usbip_header:
// a 20-byte usbip_header_basic (command, seqnum, devid, direction, ep) and a
// 28-byte union (cmd_submit: transfer_flags, transfer_buffer_length,
// start_frame, number_of_packets, interval, setup[8]; ret_submit: status,
// actual_length, start_frame, number_of_packets, error_count; cmd_unlink:
// seqnum; ret_unlink: status), 48 bytes in all. Every field is a 32-bit
// word in network byte order (usbip_header_correct_endian in
// usbip_common.c); setup[8] goes as the USB request has it.
constexpr std::uint32_t kCmdSubmit = 0x0001;
constexpr std::uint32_t kCmdUnlink = 0x0002;
constexpr std::uint32_t kRetSubmit = 0x0003;
constexpr std::uint32_t kRetUnlink = 0x0004;
constexpr std::uint32_t kDirIn = 0x01;  // USBIP_DIR_IN
constexpr std::size_t kHeaderBytes = 48;
constexpr std::size_t kSetupAt = 40;
// The status a RET_SUBMIT or RET_UNLINK carries is the URB's, a negative
// errno: vhci_rx.c gives it back as urb->status ("If unlink is successful,
// status is -ECONNRESET").
constexpr std::int32_t kStall = -EPIPE;
constexpr std::int32_t kUnlinked = -ECONNRESET;
// The most one transfer may carry here, so that a garbled header cannot
// make the device take any length it says.
constexpr std::size_t kMaxTransferBytes = 1 << 20;

// include/uapi/linux/usbip.h: enum usbip_device_status, VDEV_ST_NULL: a
// vhci port with no device.
constexpr int kPortFree = 4;
constexpr const char* kVhci = "/sys/devices/platform/vhci_hcd.0";

std::uint32_t Get32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

bool ReadAll(int fd, std::uint8_t* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = read(fd, buffer + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteAll(int fd, const std::uint8_t* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t sent = send(fd, buffer + done, size - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

// A string descriptor: UTF-16LE of an ASCII text.
std::vector<std::uint8_t> StringDescriptor(const std::string& text) {
    std::vector<std::uint8_t> d{static_cast<std::uint8_t>(2 + 2 * text.size()), 0x03};
    for (const char c : text) {
        d.push_back(static_cast<std::uint8_t>(c));
        d.push_back(0);
    }
    return d;
}

}  // namespace

int AttachToVhci(int speed, int& port, std::string& error) {
    // vhci_sysfs.c, status_show_vhci: a header line, then one line per port
    // ("hs  0000 004 000 00000000 000000 0-0": hub, port, status, ...).
    std::ifstream status(std::string(kVhci) + "/status");
    if (!status) {
        error = std::string("no ") + kVhci + " (load vhci-hcd)";
        return -1;
    }
    port = -1;
    std::string line;
    std::getline(status, line);
    while (port < 0 && std::getline(status, line)) {
        std::istringstream fields(line);
        std::string hub;
        int number = 0;
        int state = 0;
        if (fields >> hub >> number >> state && hub == "hs" && state == kPortFree) port = number;
    }
    if (port < 0) {
        error = "no free port on vhci_hcd.0";
        return -1;
    }
    // vhci_sysfs.c, attach_store: "port sockfd devid speed"; the socket
    // must be SOCK_STREAM (socket->type), of any family.
    int pair[2] = {-1, -1};
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) {
        error = std::string("socketpair: ") + std::strerror(errno);
        return -1;
    }
    const std::uint32_t devid = 1u << 16 | static_cast<std::uint32_t>(port + 2);
    std::ofstream attach(std::string(kVhci) + "/attach");
    attach << port << ' ' << pair[1] << ' ' << devid << ' ' << speed << std::flush;
    const bool attached = attach.good();
    attach.close();
    close(pair[1]);  // the kernel holds its own reference (sockfd_lookup)
    if (!attached) {
        close(pair[0]);
        error = "the kernel refused the attach (see dmesg)";
        return -1;
    }
    return pair[0];
}

UsbipDevice::UsbipDevice(UsbFunction& function, int fd, Limits limits)
    : function_(function), fd_(fd), limits_(limits) {}

UsbipDevice::~UsbipDevice() {
    if (fd_ >= 0) close(fd_);
}

std::string UsbipDevice::Serve() {
    std::uint8_t header[kHeaderBytes];
    std::vector<std::uint8_t> data;
    for (;;) {
        if (!ReadAll(fd_, header, kHeaderBytes)) return "the host closed the connection";
        const std::uint32_t command = Get32(header);
        const std::uint32_t seqnum = Get32(header + 4);
        if (command == kCmdUnlink) {
            // vhci_hcd.c, vhci_urb_dequeue sends it; vhci_rx.c,
            // vhci_recv_ret_unlink gives the URB back with our status, or
            // takes a RET_SUBMIT that came first as the answer.
            const std::uint32_t victim = Get32(header + 20);
            const auto it = std::find_if(pending_.begin(), pending_.end(),
                                         [&](const Pending& p) { return p.seqnum == victim; });
            const bool found = it != pending_.end();
            if (found) pending_.erase(it);
            std::uint8_t reply[kHeaderBytes] = {};
            Put32(reply, kRetUnlink);
            Put32(reply + 4, seqnum);
            Put32(reply + 20, static_cast<std::uint32_t>(found ? kUnlinked : 0));
            if (!WriteAll(fd_, reply, kHeaderBytes)) return "the host closed the connection";
            continue;
        }
        if (command != kCmdSubmit) return "an unknown USB/IP command " + std::to_string(command);
        const bool in = Get32(header + 12) == kDirIn;
        const auto length = static_cast<std::size_t>(Get32(header + 24));
        if (length > kMaxTransferBytes) return "a transfer of " + std::to_string(length) + " bytes";
        data.assign(in ? 0 : length, 0);
        if (!in && !ReadAll(fd_, data.data(), length)) return "the host closed the connection";
        const std::uint32_t endpoint = Get32(header + 16);
        if (endpoint != 0) {
            ++bulkTransfers_;
            if (limits_.unplugAfterBulk > 0 && bulkTransfers_ > limits_.unplugAfterBulk)
                return "unplugged after " + std::to_string(limits_.unplugAfterBulk) + " bulk transfers";
        }
        if (!Submit(header, data)) return "the host closed the connection";
    }
}

bool UsbipDevice::Submit(const std::uint8_t* header, std::vector<std::uint8_t>& data) {
    const std::uint32_t seqnum = Get32(header + 4);
    const bool in = Get32(header + 12) == kDirIn;
    const auto endpoint = static_cast<std::uint8_t>(Get32(header + 16));
    const auto length = static_cast<std::size_t>(Get32(header + 24));
    if (endpoint == 0) {
        const std::uint8_t* s = header + kSetupAt;
        UsbSetup setup{s[0], s[1], static_cast<std::uint16_t>(s[2] | s[3] << 8),
                       static_cast<std::uint16_t>(s[4] | s[5] << 8),
                       static_cast<std::uint16_t>(s[6] | s[7] << 8)};
        const bool ok =
            (setup.requestType & 0x60) == 0 ? Standard(setup, data) : function_.Control(setup, data);
        if (!ok) return Reply(seqnum, kStall, {}, 0);
        if (!in) return Reply(seqnum, 0, {}, data.size());
        data.resize(std::min({data.size(), length, std::size_t{setup.length}}));
        return Reply(seqnum, 0, data, data.size());
    }
    if (!in) {
        if (!function_.BulkOut(endpoint, data)) return Reply(seqnum, kStall, {}, 0);
        return Reply(seqnum, 0, {}, data.size()) && ServePending();
    }
    pending_.push_back({seqnum, static_cast<std::uint8_t>(endpoint | 0x80), length});
    return ServePending();
}

bool UsbipDevice::ServePending() {
    std::vector<std::uint8_t> data;
    while (!pending_.empty()) {
        const Pending p = pending_.front();
        // A muted device leaves its INs to the host's timeout.
        if (limits_.muteAfterBulk > 0 && bulkTransfers_ > limits_.muteAfterBulk) return true;
        data.clear();
        if (!function_.BulkIn(p.endpoint, p.length, data)) return true;
        pending_.erase(pending_.begin());
        data.resize(std::min(data.size(), p.length));
        if (!Reply(p.seqnum, 0, data, data.size())) return false;
    }
    return true;
}

bool UsbipDevice::Standard(const UsbSetup& setup, std::vector<std::uint8_t>& data) {
    // USB 2.0 9.4: the requests Linux's enumeration (hub.c, message.c) and
    // usbfs make of a device with one configuration and no alternates.
    // SET_ADDRESS never comes: vhci_hcd.c answers it itself.
    constexpr std::uint8_t kGetStatus = 0, kClearFeature = 1, kGetDescriptor = 6, kGetConfiguration = 8,
                           kSetConfiguration = 9, kSetInterface = 11;
    switch (setup.request) {
        case kGetStatus:
            data.assign(2, 0);
            return true;
        case kClearFeature:
        case kSetConfiguration:
        case kSetInterface:
            return true;
        case kGetConfiguration:
            data.assign(1, 1);
            return true;
        case kGetDescriptor:
            break;
        default:
            return false;
    }
    const int type = setup.value >> 8;
    const int index = setup.value & 0xFF;
    if (type == 1) {
        data = function_.DeviceDescriptor();
    } else if (type == 2 && index == 0) {
        data = function_.ConfigDescriptor();
    } else if (type == 3 && index == 0) {
        data = {4, 0x03, 0x09, 0x04};  // one language: US English
    } else if (type == 3) {
        const std::vector<std::string> strings = function_.Strings();
        if (index > static_cast<int>(strings.size())) return false;
        data = StringDescriptor(strings[static_cast<std::size_t>(index) - 1]);
    } else {
        return false;  // no qualifier (a full-speed device), no BOS (USB 2.0)
    }
    return true;
}

bool UsbipDevice::Reply(std::uint32_t seqnum, std::int32_t status, std::span<const std::uint8_t> data,
                        std::size_t actualLength) {
    // The data of an IN follows the header; vhci_rx.c (usbip_recv_xbuff)
    // takes actual_length bytes for an IN pipe and none for an OUT.
    std::vector<std::uint8_t> reply(kHeaderBytes + data.size(), 0);
    Put32(reply.data(), kRetSubmit);
    Put32(reply.data() + 4, seqnum);
    Put32(reply.data() + 20, static_cast<std::uint32_t>(status));
    Put32(reply.data() + 24, static_cast<std::uint32_t>(actualLength));
    std::copy(data.begin(), data.end(), reply.begin() + kHeaderBytes);
    return WriteAll(fd_, reply.data(), reply.size());
}

}  // namespace simulator
