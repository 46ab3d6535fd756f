// The bench state folder: the simulated bench's virtual chips kept between
// runs, so that `merlix-cli write` and a later `merlix-cli read` see the same
// chips, as they would on a real bench. One raw file per chip:
//   eeprom-24c16.bin      the 24C16 on the bus (2048 bytes)
//   register-XX.bin       each register device, XX its 8-bit write address (256 bytes)
//   socket-NAME.bin       the socket chip NAME ("93c46", "at25c160", "25m02"), one file per chip type
//   socket-NAME.status    a 25xx's status register bits kept without power (block protect, WPEN): one byte
//   i2c-socket-NAME.bin   the part NAME in the I2C socket ("24c256"), one file per part
// A missing file leaves the chip as the bench made it. Every file is read
// whole and checked before a chip changes, and saved atomically (mode 0600, a
// new file renamed over the old name: a link there is replaced, not followed).
//
// One process at a time keeps a folder: Lock() takes the folder's "lock" file
// (flock) until the BenchState ends, so a second process never loads chips
// that the first is about to save over.
#pragma once

#include <string>

namespace simulator {
class SimulatedBench;
}

namespace startup {

// $XDG_STATE_HOME/merlix/bench, or ~/.local/state/merlix/bench without it.
std::string DefaultBenchStateFolder();

// True the first time `key` asks on a day (local time), then false until the
// next day: the date is kept in `folder`/said-KEY. True when the folder
// cannot keep it (a warning said too often beats one never said).
bool FirstTimeToday(const std::string& folder, const std::string& key);

class BenchState {
public:
    explicit BenchState(std::string folder) : folder_(std::move(folder)) {}
    ~BenchState();
    BenchState(const BenchState&) = delete;
    BenchState& operator=(const BenchState&) = delete;
    const std::string& Folder() const { return folder_; }

    // Creates the folder (and its parents, mode 0700) when missing.
    bool Prepare(std::string& error) const;
    // Takes the folder for this process, `holder` saying who has it ("pid
    // 4711: merlix-cli monitor"). When another process has it, tries again for
    // `waitMs`, then returns false with a sentence naming that process.
    bool Lock(const std::string& holder, int waitMs, std::string& error);
    // Removes the saved chips (--bench-fresh); other files are left alone.
    bool Clear(std::string& error) const;
    // The bus chips: the 24C16, the register devices and the I2C socket's part.
    bool LoadBus(simulator::SimulatedBench& bench, std::string& error) const;
    // The chips in the sockets now (after the chip choice); nothing for the DAC.
    bool LoadSocket(simulator::SimulatedBench& bench, std::string& error) const;
    // Every chip the bench holds now.
    bool Save(simulator::SimulatedBench& bench, std::string& error) const;

private:
    std::string folder_;
    int lockFd_ = -1;
};

}  // namespace startup
