#include "platform/ppdev_port_io.h"

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {
namespace {

class LinuxPpdev final : public PpdevSystem {
public:
    int Open(const std::string& path, int flags) override {
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
        return fd >= 0 ? fd : -errno;
    }
    int Ioctl(int fd, unsigned long request, void* arg) override {
        return ::ioctl(fd, request, arg) == 0 ? 0 : -errno;
    }
    long Read(int fd, std::uint8_t& byte) override {
        const ssize_t n = ::read(fd, &byte, 1);
        return n >= 0 ? static_cast<long>(n) : -errno;
    }
    long Write(int fd, std::uint8_t byte) override {
        const ssize_t n = ::write(fd, &byte, 1);
        return n >= 0 ? static_cast<long>(n) : -errno;
    }
    int Close(int fd) override { return ::close(fd) == 0 ? 0 : -errno; }
};

constexpr std::uint16_t kSlotBases[2] = {0x378, 0x278};
constexpr int kEppData = IEEE1284_MODE_EPP;
constexpr int kEppAddress = IEEE1284_MODE_EPP | IEEE1284_ADDR;

// "/dev/parport3" -> "parport3"
std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

PpdevSystem& HostPpdev() {
    static LinuxPpdev system;
    return system;
}

PpdevPortIo::PpdevPortIo(PpdevSystem& system, HostFiles files) : system_(system), files_(std::move(files)) {
    for (int i = 0; i < 2; ++i) slots_[i].base = kSlotBases[i];
}

PpdevPortIo::~PpdevPortIo() { Close(); }

std::string PpdevPortIo::DevicePath(const std::string& name) {
    return name.find('/') == std::string::npos ? "/dev/" + name : name;
}

std::array<std::string, 2> PpdevPortIo::DefaultDevices(const HostFiles& files) {
    std::array<std::string, 2> chosen;
    const std::vector<ParportInfo> ports = ListParports(files);
    for (const ParportInfo& port : ports) {
        for (int i = 0; i < 2; ++i) {
            if (chosen[i].empty() && port.base == kSlotBases[i]) chosen[i] = port.device;
        }
    }
    auto taken = [&](const std::string& device) { return device == chosen[0] || device == chosen[1]; };
    for (const ParportInfo& port : ports) {
        for (int i = 0; i < 2; ++i) {
            if (chosen[i].empty() && !taken(port.device)) chosen[i] = port.device;
        }
    }
    if (ports.empty()) chosen = {"/dev/parport0", "/dev/parport1"};  // the kernel says nothing: try anyway
    return chosen;
}

std::string PpdevPortIo::OpenErrorSentence(const std::string& device, const std::string& step, int error,
                                           const HostFiles& files) {
    const bool portListed = files.Exists("/proc/sys/dev/parport/" + BaseName(device));
    if (step == "open") {
        switch (error) {
            case ENOENT:
                return "Cannot open " + device +
                       ": it does not exist (no parallel port there, or the ppdev module is not loaded: "
                       "sudo modprobe ppdev).";
            case ENODEV:
            case ENXIO:
                return "Cannot open " + device + ": the ppdev module is not loaded (sudo modprobe ppdev).";
            case EACCES:
            case EPERM:
                return "Cannot open " + device +
                       ": permission denied; add yourself to group lp (sudo usermod -aG lp $USER) and log in "
                       "again.";
            default:
                break;
        }
    } else if (error == EBUSY || (error == ENXIO && step == "PPCLAIM" && portListed)) {
        // ppdev refuses an exclusive claim while another driver has the port
        // registered, and on a workstation that is the lp printer driver.
        if (ModuleLoaded(files, "lp")) {
            return "Cannot claim " + device +
                   ": the lp printer driver holds the port; unload it with sudo rmmod lp (and blacklist it).";
        }
        return "Cannot claim " + device + ": another driver holds the port; unload it (see lsmod).";
    } else if (error == ENXIO) {
        return "Cannot claim " + device + ": the kernel has no parallel port behind it.";
    }
    if (step == "open") return "Cannot open " + device + ": " + std::strerror(error) + ".";
    return "Cannot claim " + device + " (" + step + "): " + std::strerror(error) + ".";
}

int PpdevPortIo::OpenSlot(Slot& slot) {
    const int fd = system_.Open(slot.device, O_RDWR | O_NONBLOCK);  // or a timed-out EPP read retries forever
    if (fd < 0) {
        error_ = OpenErrorSentence(slot.device, "open", -fd, files_);
        return fd;
    }
    slot.fd = fd;
    int result = system_.Ioctl(fd, PPEXCL, nullptr);
    const char* step = "PPEXCL";
    if (result == 0) {
        step = "PPCLAIM";
        result = system_.Ioctl(fd, PPCLAIM, nullptr);
    }
    if (result < 0) {
        error_ = OpenErrorSentence(slot.device, step, -result, files_);
        CloseSlot(slot);
        return result;
    }
    slot.claimed = true;
    slot.mode = -1;
    slot.dataReversed = false;
    return 0;
}

void PpdevPortIo::CloseSlot(Slot& slot) {
    if (slot.claimed) system_.Ioctl(slot.fd, PPRELEASE, nullptr);
    slot.claimed = false;
    if (slot.fd >= 0) system_.Close(slot.fd);
    slot.fd = -1;
    slot.mode = -1;
    slot.dataReversed = false;
    slot.ecr = 0xFF;
}

bool PpdevPortIo::Open(const std::vector<std::string>& devices) {
    Close();
    error_.clear();
    notes_.clear();
    ClearIoError();
    if (devices.size() > 2) {
        error_ = "At most two ppdev devices can be given (for LPT1 and LPT2).";
        return false;
    }
    if (devices.size() == 2 && DevicePath(devices[0]) == DevicePath(devices[1])) {
        // A second exclusive claim would fail and blame another driver.
        error_ = "One ppdev device cannot serve both LPT1 and LPT2 (" + DevicePath(devices[0]) + ").";
        return false;
    }
    const bool explicitList = !devices.empty();
    const std::array<std::string, 2> defaults = DefaultDevices(files_);
    std::string firstError;
    std::string firstMissing;
    for (int i = 0; i < 2; ++i) {
        Slot& slot = slots_[i];
        if (explicitList) {
            slot.device =
                i < static_cast<int>(devices.size()) && !devices[i].empty() ? DevicePath(devices[i]) : "";
        } else {
            slot.device = defaults[i];
        }
        if (slot.device.empty()) continue;
        const int result = OpenSlot(slot);
        if (result == 0) continue;
        if (explicitList) {
            Close();
            return false;
        }
        // A default device that is not there is normal (one port only); any
        // other refusal is worth telling.
        if (result == -ENOENT) {
            if (firstMissing.empty()) firstMissing = error_;
        } else {
            if (firstError.empty()) firstError = error_;
            notes_.push_back(error_);
        }
        slot.device.clear();
        error_.clear();
    }
    if (!IsOpen()) {
        error_ = !firstError.empty() ? firstError : firstMissing;
        if (error_.empty()) error_ = "No parallel port device was found under /dev.";
        notes_.clear();
        return false;
    }
    return true;
}

void PpdevPortIo::Close() {
    for (Slot& slot : slots_) CloseSlot(slot);
}

bool PpdevPortIo::IsOpen() const { return slots_[0].claimed || slots_[1].claimed; }

std::string PpdevPortIo::Device(int lpt) const {
    if (lpt < 1 || lpt > 2 || !slots_[lpt - 1].claimed) return {};
    return slots_[lpt - 1].device;
}

PpdevPortIo::Slot* PpdevPortIo::SlotFor(std::uint16_t port, int& offset) {
    for (Slot& slot : slots_) {
        offset = port - slot.base;
        if ((offset >= 0 && offset <= 4) || offset == 0x402) return &slot;
    }
    return nullptr;
}

void PpdevPortIo::NoteSlotError(const Slot& slot, const std::string& what, long result) {
    if (result == 0 || result == -EAGAIN) {
        NoteIoError(what + " on " + slot.device + " timed out: no EPP device answered.");
    } else {
        NoteIoError(what + " on " + slot.device + " failed: " + std::strerror(static_cast<int>(-result)) +
                    ".");
    }
}

std::uint8_t PpdevPortIo::IoctlRead(Slot& slot, unsigned long request, const char* name) {
    unsigned char value = 0xFF;
    const int result = system_.Ioctl(slot.fd, request, &value);
    if (result < 0) {
        NoteSlotError(slot, name, result);
        return 0xFF;
    }
    return value;
}

void PpdevPortIo::IoctlWrite(Slot& slot, unsigned long request, int value, const char* name) {
    int result;
    if (request == PPDATADIR || request == PPSETMODE) {
        result = system_.Ioctl(slot.fd, request, &value);
    } else {
        unsigned char byte = static_cast<unsigned char>(value);
        result = system_.Ioctl(slot.fd, request, &byte);
    }
    if (result < 0) NoteSlotError(slot, name, result);
}

bool PpdevPortIo::SetMode(Slot& slot, int mode) {
    if (slot.mode == mode) return true;  // every PPSETMODE costs a system call
    int value = mode;
    const int result = system_.Ioctl(slot.fd, PPSETMODE, &value);
    if (result < 0) {
        slot.mode = -1;
        NoteSlotError(slot, "PPSETMODE", result);
        return false;
    }
    slot.mode = mode;
    return true;
}

std::uint8_t PpdevPortIo::EppRead(Slot& slot, int mode, const char* cycle) {
    if (!SetMode(slot, mode)) return 0xFF;
    std::uint8_t byte = 0xFF;
    const long n = system_.Read(slot.fd, byte);
    slot.dataReversed = true;
    if (n != 1) {
        NoteSlotError(slot, cycle, n);
        return 0xFF;
    }
    return byte;
}

void PpdevPortIo::EppWrite(Slot& slot, int mode, const char* cycle, std::uint8_t value) {
    if (!SetMode(slot, mode)) return;
    const long n = system_.Write(slot.fd, value);
    if (n != 1) NoteSlotError(slot, cycle, n);
}

std::uint8_t PpdevPortIo::In(std::uint16_t port) {
    if (port == 0x3F0 || port == 0x3F1) return config_[port - 0x3F0];
    int offset = 0;
    Slot* slot = SlotFor(port, offset);
    if (!slot || !slot->claimed) return 0xFF;
    switch (offset) {
        case 0:
            return IoctlRead(*slot, PPRDATA, "PPRDATA");
        case 1:
            return IoctlRead(*slot, PPRSTATUS, "PPRSTATUS");
        case 2:
            return IoctlRead(*slot, PPRCONTROL, "PPRCONTROL");
        case 3:
            return EppRead(*slot, kEppAddress, "EPP address read");
        case 4:
            return EppRead(*slot, kEppData, "EPP data read");
        default:
            return slot->ecr;  // base+0x402
    }
}

void PpdevPortIo::Out(std::uint16_t port, std::uint8_t value) {
    if (port == 0x3F0 || port == 0x3F1) {
        config_[port - 0x3F0] = value;
        return;
    }
    int offset = 0;
    Slot* slot = SlotFor(port, offset);
    if (!slot || !slot->claimed) return;
    switch (offset) {
        case 0:
            if (slot->dataReversed) {
                // An EPP read may leave the data lines turned round; the
                // latch must see what we drive.
                IoctlWrite(*slot, PPDATADIR, 0, "PPDATADIR");
                slot->dataReversed = false;
            }
            IoctlWrite(*slot, PPWDATA, value, "PPWDATA");
            break;
        case 1:
            break;  // the status register is read-only
        case 2:
            IoctlWrite(*slot, PPWCONTROL, value, "PPWCONTROL");
            break;
        case 3:
            EppWrite(*slot, kEppAddress, "EPP address write", value);
            break;
        case 4:
            EppWrite(*slot, kEppData, "EPP data write", value);
            break;
        default:
            slot->ecr = value;
            break;  // base+0x402: the driver owns the ECR
    }
}

}  // namespace platform
