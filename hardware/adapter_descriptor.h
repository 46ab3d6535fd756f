// What one adapter tells the rest of the program about itself, as a field's
// programmer driver ends with its table entry: its name and option syntax with
// the help text, how --adapter's text is read, what the survey (`ports`,
// --check-ports) and the window's Adapter menu list with the fix for each
// problem, how it is opened, its place in the automatic choice, and what it
// can do once open. Each adapter's folder under hardware/ ends with one; the
// list of them is startup/adapter_list.cpp, and the options, the survey, the
// automatic choice and both faces' help are built from that list.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "hardware/bus_interfaces.h"
#include "platform/counter.h"
#include "platform/port_io.h"

namespace platform {
class DeviceSystem;
class UsbSystem;
}  // namespace platform

namespace hardware {

struct AdapterDescriptor;

// The adapter --adapter names and where it is: its device node, its number
// among several of its kind, the bus clock asked for.
struct AdapterChoice {
    const AdapterDescriptor* adapter = nullptr;  // null: the automatic choice
    std::string path;  // a device node ("/dev/i2c-7"), or the port devices of --ppdev
    int index = 0;     // which of several (from 0), or the parallel port's base (0: both)
    int clockHz = 0;   // the bus clock asked for; 0: the adapter's own
    bool all = false;  // every adapter of this kind found, side by side
    std::string mode;  // how the adapter is reached when it can be reached in more ways ("direct")
};

// What an adapter reaches the system through: the machine's own, or what a
// test or the bench puts there.
struct AdapterSystems {
    platform::Counter& clock;
    platform::DeviceSystem& devices;
    // The USB system, made when first asked; null with a sentence when USB
    // cannot be reached.
    std::function<platform::UsbSystem*(std::string& error)> usb;
};

// An adapter opened for a run.
class OpenedAdapter {
public:
    virtual ~OpenedAdapter() = default;
    // Its bus interfaces (none: the parallel adapter, whose port accesses
    // the session's own PortAdapter makes through Port()).
    virtual BusInterfaces Interfaces() { return {}; }
    // The parallel adapter's port accesses; null on every other adapter.
    virtual platform::PortIo* Port() { return nullptr; }
    // One line on what it can do; empty for the parallel adapter.
    virtual std::string Capabilities() const { return {}; }
    // A warning said once after it is opened (a board's 5 V lines); empty after.
    virtual std::string TakeVoltageWarning() { return {}; }

    // A few words for the window caption ("i2c-dev /dev/i2c-7"); empty for
    // the parallel adapter on direct port I/O.
    std::string label;
    // The line for stderr when it was named or found ("using ...").
    std::string notice;
};

// One entry of the window's Adapter menu: its text, the --adapter value it
// stands for, and whether this user can open it now.
struct AdapterMenuEntry {
    std::string text;
    std::string choice;
    bool usable = true;
};

struct AdapterDescriptor {
    enum class Parse { NotMine, Taken, Refused };

    // Its name, as --bench-adapter and the survey's lines spell it.
    const char* name;
    // What --adapter takes for it, as the refusal of an unknown value lists
    // it ("i2c-dev:/dev/i2c-N"), and the same with what it means for --help.
    const char* syntax;
    const char* help;
    // The words --adapter's value may be completed with in a shell, one
    // space between them, and the start of the names of its nodes in /dev
    // ("i2c-"), each completed as spell() gives it.
    const char* completions;
    const char* deviceNodes;
    // Reads --adapter's text (any case): NotMine when it names another adapter.
    Parse (*parse)(const std::string& text, AdapterChoice& choice, std::string& error);
    // The short name of a choice for tables and sentences ("i2c-dev:/dev/i2c-7").
    std::string (*spell)(const AdapterChoice& choice);
    // The survey's section on these adapters, with the fix for each
    // problem; true when one of them can be used.
    bool (*survey)(std::ostream& out, AdapterSystems& systems);
    // The window's Adapter menu entries for what the machine has.
    std::vector<AdapterMenuEntry> (*menu)(AdapterSystems& systems);
    // Opens the adapter a choice names; null with one sentence.
    std::unique_ptr<OpenedAdapter> (*open)(const AdapterChoice& choice, AdapterSystems& systems,
                                           std::string& error);

    // The automatic choice, in the order of `automaticPlace` (1 first; 0:
    // never taken without --adapter), each in `automaticWords` ("one
    // USB-to-I2C bridge"). Null with the reason added to `why` when it finds none it may take.
    int automaticPlace = 0;
    const char* automaticWords = "";
    std::unique_ptr<OpenedAdapter> (*openAutomatically)(AdapterSystems& systems, std::string& why) = nullptr;
    // A choice the automatic choice falls back to the bench from when the
    // adapter is absent, rather than failing (--adapter lpt1).
    bool benchWhenAbsent = false;
    // It is reached through port I/O (--direct, --ppdev, --trace, --port).
    bool portAccess = false;

    // Several of this kind run side by side (--adapter given more than
    // once, or `all`); `kindPlural` names them in sentences. `expand` makes
    // one choice of `all` into each one found; false with a sentence when none is.
    const char* kindPlural = "";
    bool (*expand)(const AdapterChoice& choice, AdapterSystems& systems, std::vector<AdapterChoice>& each,
                   std::string& why) = nullptr;
    // The bus number an i2c-tools command names this adapter's bus by;
    // the kernel's node for i2c-tools when the adapter is one (else empty).
    int (*i2cToolsBus)(const AdapterChoice& choice) = nullptr;
    std::string (*i2cToolsNode)(const AdapterChoice& choice) = nullptr;
    // --adapter's text for the kernel node i2c-tools would open; null for
    // an adapter that is not a kernel node.
    std::string (*forKernelNode)(const std::string& node) = nullptr;
};

// Helpers the descriptors share.
// `text` in lower case.
std::string LowerCase(std::string text);
// --adapter's text for an adapter named by a device path ("i2c-dev:/dev/i2c-1"):
// Taken with the path after `prefix` (in any case) and `adapter` chosen;
// NotMine for text without the prefix or with nothing after it.
AdapterDescriptor::Parse ParsePrefixedPath(const std::string& text, const std::string& prefix,
                                           const AdapterDescriptor& adapter, AdapterChoice& choice);
// A whole number from `low` to `high` in `text`, nothing else; -1 otherwise.
int SmallNumber(const std::string& text, int low, int high);

}  // namespace hardware
