// Real port I/O on Linux x86: ioperm() on just the ports the program uses,
// then inb/outb; /dev/port (one pread/pwrite per byte) where ioperm is
// missing or refused. Both need root or CAP_SYS_RAWIO, and a kernel in
// lockdown refuses both; the backend then says in one sentence what is
// missing instead of faulting on the first access.
//
// The system calls go through DirectIoSystem and the kernel's text files
// through HostFiles, so every refusal can be staged in a test without root.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/host_files.h"
#include "platform/io_error.h"
#include "platform/port_io.h"

namespace platform {

// Results follow the kernel's convention: a count or 0 on success, -errno on
// failure.
class DirectIoSystem {
public:
    virtual ~DirectIoSystem() = default;
    virtual int Ioperm(unsigned long from, unsigned long count, bool on) = 0;
    virtual std::uint8_t Inb(std::uint16_t port) = 0;
    virtual void Outb(std::uint8_t value, std::uint16_t port) = 0;
    virtual int Open(const std::string& path, int flags) = 0;
    virtual long Pread(int fd, std::uint8_t& byte, long offset) = 0;
    virtual long Pwrite(int fd, std::uint8_t byte, long offset) = 0;
    virtual int Close(int fd) = 0;
};

// The machine's own calls (ioperm answers -ENOSYS off x86).
DirectIoSystem& HostDirectIo();

// The I/O ranges the program touches on both LPT bases: base..base+4,
// base+0x402, and the configuration pair 0x3F0/0x3F1.
struct IoRange {
    std::uint16_t from;
    std::uint16_t count;
};
std::span<const IoRange> ProgramIoRanges();

class DirectPortIo final : public PortIo, public FirstIoError {
public:
    enum class Method { None, Ioperm, DevPort };

    explicit DirectPortIo(DirectIoSystem& system = HostDirectIo(), HostFiles files = HostFiles());
    ~DirectPortIo() override;
    DirectPortIo(const DirectPortIo&) = delete;
    DirectPortIo& operator=(const DirectPortIo&) = delete;

    // Gains access to the program's ports. With requireListedPort it first
    // insists that the kernel reports a port at 0x378 or 0x278. On failure
    // Error() is one sentence naming what is missing.
    bool Open(bool requireListedPort = true);
    Method method() const { return method_; }
    const std::string& Error() const { return error_; }

    // Ports outside ProgramIoRanges() read 0xFF and ignore writes, so a stray
    // base can never fault the process. A failed /dev/port transfer reads
    // 0xFF too and is kept for TakeIoError().
    std::uint8_t In(std::uint16_t port) override;
    void Out(std::uint16_t port, std::uint8_t value) override;

    // Whether the kernel reports a parallel port at 0x378 or 0x278. Root alone
    // is no reason to poke those addresses.
    static bool MachineHasPort(const HostFiles& files = HostFiles());

private:
    bool Permitted(std::uint16_t port) const;
    void CloseAccess();

    DirectIoSystem& system_;
    HostFiles files_;
    Method method_ = Method::None;
    std::size_t rangesGranted_ = 0;
    int fd_ = -1;
    std::string error_;
};

}  // namespace platform
