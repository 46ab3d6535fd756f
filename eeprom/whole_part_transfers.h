// Whole-part fast transfers for every memory of the chip table's memory
// parts (hardware::kMemoryParts), up to the 256 KiB of a 24M02 or 25M02: the
// part says how it is addressed (one or two word-address bytes, block bits
// in the device address, the 515 kind's half at +4, one to three SPI address
// bytes, A8 in the opcode), its page size and write cycle. Reads are
// sequential, writes go page by page with acknowledge polling (I2C) or RDSR
// polling (SPI), each wait bounded by twice the part's write-cycle maximum.
// The command line and the programmer window call these; the window's
// 2048-byte transfers stay in fast_chip_transfers.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "eeprom/classic_chip_transfers.h"
#include "eeprom/image.h"
#include "hardware/chip_parts.h"

namespace hardware {
class I2cMaster;
class SerialLines;
class SpiMaster;
}  // namespace hardware

namespace eeprom {

// The 7-bit device address of a 24Cxx with its address pins low.
inline constexpr int kDefaultDevice = 0x50;

// The bus a part is on: an I2C master with the part's base device address
// (7-bit), or the serial socket through an SPI master or bit-banged lines.
struct PartBus {
    PartBus(hardware::I2cMaster& master, int device = kDefaultDevice) : i2c(&master), base(device) {}
    PartBus(hardware::SpiMaster& master) : spi(&master) {}
    PartBus(hardware::SerialLines& master) : lines(&master) {}

    hardware::I2cMaster* i2c = nullptr;
    hardware::SpiMaster* spi = nullptr;
    hardware::SerialLines* lines = nullptr;
    int base = kDefaultDevice;
};

// Which bytes a write changes (or a read fetches), and whether a write may
// clear a 25xx's block protection for them.
struct PartWrite {
    int first = 0;
    int count = -1;  // -1: to the part's end
    // A 25xx whose BP bits guard bytes of the range: false refuses the write
    // before anything is sent; true clears BP1/BP0, writes, and sets them again.
    bool unprotect = false;
};

// Every function below wants an image of the part's size and says what went
// wrong through `progress` (one sentence) when it returns false. The bus
// must hold the part's family (I2C part on an I2C master, 25xx on SPI).

// The range's bytes (the whole part by default) into the same places of
// `image`, the rest untouched; cancelling stops it between chunks (false,
// with no sentence: the caller asked). Positions count from the range's start.
bool ReadPartFast(PartBus bus, const hardware::ChipPart& part, Image& image, Progress& progress,
                  const PartWrite& range = {});
// The write's bytes of `image` into the part, page by page; cancelling
// stops after the page in flight (true). No read-back: VerifyPartFast.
bool WritePartFast(PartBus bus, const hardware::ChipPart& part, const Image& image, Progress& progress,
                   const PartWrite& write = {});
// True, with the sentence said, when the 25xx's block protection would refuse
// `write` (no unprotect): asked before a backup is taken for a write that
// would then change nothing. False when the write may go ahead or the
// status cannot be read (the write itself then says why).
bool PartWriteRefused(PartBus bus, const hardware::ChipPart& part, const PartWrite& write,
                      Progress& progress);
// Reads the part and marks kMarkMismatch in `marks` (cleared first) where it
// differs from `expected` inside the write's range; `mismatches` gets how
// many bytes differ. False only when the read failed.
bool VerifyPartFast(PartBus bus, const hardware::ChipPart& part, const Image& expected, Image& marks,
                    Progress& progress, int& mismatches, const PartWrite& range = {});
// Every byte of the write's range set to `value`.
bool FillPartFast(PartBus bus, const hardware::ChipPart& part, std::uint8_t value, Progress& progress,
                  const PartWrite& write = {});

// The 25xx status register's block protection: the bytes BP1/BP0 guard
// (BP 01 the upper quarter, 10 the upper half, 11 all), as [from, part end);
// from == part.bytes when none.
int ProtectedFrom(const hardware::ChipPart& part, std::uint8_t status);

// --- Frames on the serial socket, for the transfers and the detection ------

// A 25xx instruction: select, `out` sent, then `readBytes` clocked in,
// deselect. Over an SPI master or bit-banged lines alike.
class SpiFrames {
public:
    SpiFrames(PartBus bus, Progress& progress);
    ~SpiFrames();
    // False (said once through the progress) when the master refused it.
    bool Run(const std::vector<std::uint8_t>& out, int readBytes, std::vector<std::uint8_t>& in);
    // The most bytes one frame may read after a `header`-byte instruction.
    int MaxRead(int header) const;
    // RDSR; -1 when the master refused it.
    int Status();
    bool Failed() const { return failed_; }

private:
    PartBus bus_;
    Progress& progress_;
    bool failed_ = false;
};

// A 25xx READ or WRITE instruction of `address` for `part`.
std::vector<std::uint8_t> SpiInstruction(const hardware::ChipPart& part, std::uint8_t opcode, int address);

}  // namespace eeprom
