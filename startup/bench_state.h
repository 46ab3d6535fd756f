// The bench state folder: the simulated bench's virtual chips kept between
// runs, so that `merlix-cli write` and a later `merlix-cli read` see the same
// chips, as they would on a real bench. One raw file per chip:
//   eeprom-24c16.bin      the 24C16 on the bus (2048 bytes)
//   register-XX.bin       each register device, XX its 8-bit write address (256 bytes)
//   socket-NAME.bin       the socket chip NAME ("93c46", "at25c160"), one file per chip type
// A missing file leaves the chip as the bench made it. Every file is read
// whole and checked before a chip changes, and saved atomically.
#pragma once

#include <string>

namespace simulator {
class SimulatedBench;
}

namespace startup {

// $XDG_STATE_HOME/merlix/bench, or ~/.local/state/merlix/bench without it.
std::string DefaultBenchStateFolder();

class BenchState {
public:
    explicit BenchState(std::string folder) : folder_(std::move(folder)) {}
    const std::string& Folder() const { return folder_; }

    // Creates the folder (and its parents) when missing.
    bool Prepare(std::string& error) const;
    // Removes the saved chips (--bench-fresh); other files are left alone.
    bool Clear(std::string& error) const;
    // The bus chips: the 24C16 and the register devices.
    bool LoadBus(simulator::SimulatedBench& bench, std::string& error) const;
    // The chip in the socket now (after the chip choice); nothing for the DAC.
    bool LoadSocket(simulator::SimulatedBench& bench, std::string& error) const;
    // Every chip the bench holds now.
    bool Save(simulator::SimulatedBench& bench, std::string& error) const;

private:
    std::string folder_;
};

}  // namespace startup
