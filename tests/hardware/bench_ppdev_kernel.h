// A ppdev kernel in front of the simulated bench: /dev/parport0 is the port
// at 0x378 and /dev/parport1 the one at 0x278, and each call does to the port
// what the Linux parport_pc driver does to an ECP port with EPP:
//   - between transfers the port rests in byte (PS/2) mode;
//   - PPWCONTROL sets only the four control lines, PPRCONTROL reads only
//     them; the data direction (control bit 5) is PPDATADIR's alone;
//   - an EPP transfer turns the data lines (reversed for a read, forward for a
//     write), raises /INIT, switches the ECR to EPP for the one cycle and back
//     to byte mode, which leaves the lines reversed after a read;
//   - an EPP cycle on a port with nothing attached times out (-EAGAIN, since
//     the device is opened non-blocking).
// So a backend that forgets a hazard loads the wrong latch here, as it would
// on the real port.
#pragma once

#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <map>
#include <string>

#include "platform/ppdev_port_io.h"
#include "simulator/simulated_bench.h"

class BenchPpdevKernel final : public platform::PpdevSystem {
public:
    explicit BenchPpdevKernel(simulator::SimulatedBench& bench) : bench_(bench) {}

    int Open(const std::string& path, int) override {
        std::uint16_t base = 0;
        if (path == "/dev/parport0") base = 0x378;
        if (path == "/dev/parport1") base = 0x278;
        if (base == 0) return -ENOENT;
        const int fd = nextFd_++;
        files_[fd] = File{base};
        return fd;
    }

    int Ioctl(int fd, unsigned long request, void* arg) override {
        const auto it = files_.find(fd);
        if (it == files_.end()) return -EBADF;
        File& file = it->second;
        if (request == PPEXCL) return 0;
        if (request == PPCLAIM) {
            if (file.claimed) return -EINVAL;
            file.claimed = true;
            ++claims;
            bench_.Out(Port(file, 0x402), kEcrByteMode);
            SetDirection(file, false);
            return 0;
        }
        if (!file.claimed) return -EINVAL;
        auto byte = [arg]() -> unsigned char& { return *static_cast<unsigned char*>(arg); };
        switch (request) {
            case PPRELEASE:
                file.claimed = false;
                ++releases;
                return 0;
            case PPSETMODE:
                file.mode = *static_cast<int*>(arg);
                return 0;
            case PPDATADIR:
                SetDirection(file, *static_cast<int*>(arg) != 0);
                return 0;
            case PPWDATA:
                bench_.Out(Port(file, 0), byte());
                return 0;
            case PPRDATA:
                byte() = bench_.In(Port(file, 0));
                return 0;
            case PPRSTATUS:
                byte() = bench_.In(Port(file, 1));
                return 0;
            case PPWCONTROL:
                bench_.Out(Port(file, 2), static_cast<std::uint8_t>((byte() & kLines) | Direction(file)));
                return 0;
            case PPRCONTROL:
                byte() = static_cast<unsigned char>(bench_.In(Port(file, 2)) & kLines);
                return 0;
            default:
                return -ENOTTY;
        }
    }

    long Read(int fd, std::uint8_t& byte) override { return Transfer(fd, true, byte); }
    long Write(int fd, std::uint8_t byte) override { return Transfer(fd, false, byte); }

    int Close(int fd) override {
        if (files_.erase(fd) == 0) return -EBADF;
        ++closes;
        return 0;
    }

    int claims = 0;
    int releases = 0;
    int closes = 0;

private:
    struct File {
        std::uint16_t base = 0;
        bool claimed = false;
        bool reversed = false;
        int mode = IEEE1284_MODE_COMPAT;
    };
    static constexpr std::uint8_t kLines = 0x0F;  // strobe, autofeed, /INIT, select in
    static constexpr std::uint8_t kReverse = 0x20;
    static constexpr std::uint8_t kEcrByteMode = 0x34;
    static constexpr std::uint8_t kEcrEpp = 0x80;

    static std::uint16_t Port(const File& file, int offset) {
        return static_cast<std::uint16_t>(file.base + offset);
    }
    static std::uint8_t Direction(const File& file) { return file.reversed ? kReverse : 0; }

    void SetDirection(File& file, bool reversed) {
        file.reversed = reversed;
        const std::uint8_t lines = static_cast<std::uint8_t>(bench_.In(Port(file, 2)) & kLines);
        bench_.Out(Port(file, 2), static_cast<std::uint8_t>(lines | Direction(file)));
    }

    bool AdapterHere(const File& file) const {
        const auto port = bench_.AdapterPort();
        return (port == simulator::SimulatedBench::Port::Lpt1 && file.base == 0x378) ||
               (port == simulator::SimulatedBench::Port::Lpt2 && file.base == 0x278);
    }

    long Transfer(int fd, bool read, std::uint8_t& byte) {
        const auto it = files_.find(fd);
        if (it == files_.end()) return -EBADF;
        File& file = it->second;
        if (!file.claimed) return -EINVAL;
        if ((file.mode & IEEE1284_MODE_EPP) == 0) return -EINVAL;  // only EPP is wired here
        const int offset = (file.mode & IEEE1284_ADDR) ? 3 : 4;
        file.reversed = read;
        bench_.Out(Port(file, 2), static_cast<std::uint8_t>(0x04 | Direction(file)));
        if (!AdapterHere(file)) return -EAGAIN;  // nothing strobes the EPP handshake back
        bench_.Out(Port(file, 0x402), kEcrEpp);
        if (read) {
            byte = bench_.In(Port(file, offset));
        } else {
            bench_.Out(Port(file, offset), byte);
        }
        bench_.Out(Port(file, 0x402), kEcrByteMode);
        return 1;
    }

    simulator::SimulatedBench& bench_;
    std::map<int, File> files_;
    int nextFd_ = 3;
};
