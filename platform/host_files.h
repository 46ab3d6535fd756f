// What the kernel says about the machine's parallel ports, read from its text
// files (/proc/ioports, /proc/sys/dev/parport, /dev, the lockdown file). All
// paths go through HostFiles, whose root tests move into a scratch directory,
// so every diagnosis can be checked without the hardware it describes.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace platform {

class HostFiles {
public:
    // root "" is the real file system; otherwise it is prefixed to every path.
    explicit HostFiles(std::string root = {}) : root_(std::move(root)) {}

    std::string Path(const std::string& path) const { return root_ + path; }
    bool Read(const std::string& path, std::string& text) const;
    bool Exists(const std::string& path) const;
    // Names in a directory, sorted; empty when it cannot be read.
    std::vector<std::string> List(const std::string& dir) const;

private:
    std::string root_;
};

// One parallel port as the kernel describes it.
struct ParportInfo {
    std::string name;    // "parport0"
    std::string device;  // "/dev/parport0"
    int base = -1;       // I/O base, -1 when unknown
    std::string modes;   // "PCSPP,TRISTATE,COMPAT,EPP,ECP"
    bool epp = false;
    bool inProc = false;     // listed under /proc/sys/dev/parport
    bool hasDevice = false;  // the /dev node exists
};

// Ports from /proc/sys/dev/parport/* and /dev/parport*, ordered by number.
std::vector<ParportInfo> ListParports(const HostFiles& files);

// Start addresses of the "parport" ranges in /proc/ioports text. Without
// CAP_SYS_ADMIN the kernel prints every range as 0000-0000.
std::vector<int> ParportRangesInIoports(const std::string& ioportsText);

// Which of 0x378 and 0x278 the kernel reports a parallel port at, either in
// /proc/ioports or in a parport base-addr file (readable by every user).
std::vector<int> LegacyParportBases(const HostFiles& files);
bool MachineHasLegacyParport(const HostFiles& files);

// The active lockdown level ("integrity", "confidentiality") from the text of
// /sys/kernel/security/lockdown, or "" when the kernel is not locked down.
std::string ActiveLockdown(const std::string& lockdownText);

// Whether a kernel module is loaded, from /proc/modules.
bool ModuleLoaded(const HostFiles& files, const std::string& module);

// "0x378"
std::string HexAddress(int value);

}  // namespace platform
