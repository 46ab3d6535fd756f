// The program's port accesses carried to Linux ppdev devices (/dev/parportN),
// which a member of group lp may open without root, and which reach ports at
// any base (PCIe cards included). LPT1 (0x378) and LPT2 (0x278) each map to
// one device:
//   base+0        PPWDATA / PPRDATA
//   base+1        PPRSTATUS
//   base+2        PPWCONTROL / PPRCONTROL
//   base+3, +4    EPP address / data cycles: a 1-byte read or write in
//                 IEEE1284_MODE_EPP (| IEEE1284_ADDR for the address cycle)
//   base+0x402    the ECR; the kernel driver switches it around each EPP
//                 cycle itself, so writes are only remembered for reads
//   0x3F0/0x3F1   the board's configuration pair, likewise remembered only
// The system calls go through PpdevSystem so that translation and every
// failure can be tested without a port.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/host_files.h"
#include "platform/io_error.h"
#include "platform/port_io.h"

namespace platform {

// Results follow the kernel's convention: a count or 0 on success, -errno on
// failure. `arg` points at what the ioctl request takes (int or unsigned char).
class PpdevSystem {
public:
    virtual ~PpdevSystem() = default;
    virtual int Open(const std::string& path, int flags) = 0;
    virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual long Read(int fd, std::uint8_t& byte) = 0;
    virtual long Write(int fd, std::uint8_t byte) = 0;
    virtual int Close(int fd) = 0;
};

PpdevSystem& HostPpdev();

class PpdevPortIo final : public PortIo, public FirstIoError {
public:
    explicit PpdevPortIo(PpdevSystem& system = HostPpdev(), HostFiles files = HostFiles());
    ~PpdevPortIo() override;
    PpdevPortIo(const PpdevPortIo&) = delete;
    PpdevPortIo& operator=(const PpdevPortIo&) = delete;

    // Opens and claims the devices for LPT1 and LPT2. `devices` (DEV1[,DEV2],
    // "parport0" or a path) must all open; when empty, DefaultDevices() are
    // tried and one that opens is enough. On failure nothing stays open and
    // Error() is one sentence with the fix.
    bool Open(const std::vector<std::string>& devices = {});
    // Releases and closes whatever is open; safe to call again.
    void Close();
    bool IsOpen() const;
    const std::string& Error() const { return error_; }
    // Devices of the default choice that could not be opened, one sentence
    // each (a missing second port is not worth a note).
    const std::vector<std::string>& Notes() const { return notes_; }
    // "/dev/parport0" for lpt 1 or 2, "" when that slot has no device.
    std::string Device(int lpt) const;

    // A failed transfer reads 0xFF; the first failure is kept for TakeIoError().
    std::uint8_t In(std::uint16_t port) override;
    void Out(std::uint16_t port, std::uint8_t value) override;

    // The devices for LPT1 and LPT2: those whose base-addr is 0x378 and 0x278,
    // the remaining slots filled with the other listed ports in order; when
    // the kernel lists no port, /dev/parport0 and /dev/parport1.
    static std::array<std::string, 2> DefaultDevices(const HostFiles& files);
    // "parport1" -> "/dev/parport1"; a path is kept.
    static std::string DevicePath(const std::string& name);
    // One sentence, with the fix, for a device that failed at `step`
    // ("open", "PPEXCL", "PPCLAIM") with errno `error`.
    static std::string OpenErrorSentence(const std::string& device, const std::string& step, int error,
                                         const HostFiles& files);

private:
    struct Slot {
        std::uint16_t base = 0;
        std::string device;
        int fd = -1;
        bool claimed = false;
        int mode = -1;              // the last PPSETMODE, -1 unknown
        bool dataReversed = false;  // an EPP read may leave the data lines reversed
        std::uint8_t ecr = 0xFF;
    };

    Slot* SlotFor(std::uint16_t port, int& offset);
    int OpenSlot(Slot& slot);  // 0 or -errno; fills error_ on failure
    void CloseSlot(Slot& slot);
    std::uint8_t IoctlRead(Slot& slot, unsigned long request, const char* name);
    void IoctlWrite(Slot& slot, unsigned long request, int value, const char* name);
    bool SetMode(Slot& slot, int mode);
    std::uint8_t EppRead(Slot& slot, int mode, const char* cycle);
    void EppWrite(Slot& slot, int mode, const char* cycle, std::uint8_t value);
    void NoteSlotError(const Slot& slot, const std::string& what, long result);

    PpdevSystem& system_;
    HostFiles files_;
    std::array<Slot, 2> slots_;
    std::array<std::uint8_t, 2> config_ = {0xFF, 0xFF};
    std::string error_;
    std::vector<std::string> notes_;
};

}  // namespace platform
