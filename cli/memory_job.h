// What the memory commands share before they touch the chip: the chip and
// the bytes a command works on (the whole chip, one page of a 24C01..24C16,
// or a range given by --offset/--length, --range or a file's own addresses),
// the chip put in place, and the input file laid over those bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/chips.h"
#include "cli/commands.h"
#include "eeprom/file_coverage.h"
#include "eeprom/image_formats.h"
#include "eeprom/memory_job.h"

namespace cli {

// What a command works on (eeprom/memory_job.h).
using Region = eeprom::JobRegion;

struct Job {
    Chip chip;
    Region region;
    int page = -1;  // --page: one page of an I2C memory; -1 the whole chip
};

// Checks the options and fills `job`; exit code 2 with one sentence when they
// do not fit the chip.
int PrepareJob(CommandContext& context, const MemoryOptions& options, Job& job);
// Puts the job's chip in place (the bench's socket, the ORG strap) and finds
// the adapter.
int SelectChip(CommandContext& context, const Chip& chip);

// --format, when given; false with the sentence said.
bool FormatOption(const MemoryOptions& options, std::optional<eeprom::ImageFormat>& format);

// "0x01F0": an address of `chip` with as many hex digits as its last one needs (four at least).
std::string ChipAddress(const Chip& chip, int address);

// "the 24C256" or "bytes 0x0100..0x01FF of the 24C256".
std::string JobTarget(const Job& job);
// "0x0100..0x01FF" for the job's region, as many digits as the chip needs.
std::string RegionText(const Job& job);

// The file of write and verify, read whole and checked before the chip is
// touched, as `cover` over the job's region (region.size bytes). A raw file
// is the region's bytes or the whole chip's image (of which the region is
// taken); any other size is refused unless --pad, which fills the rest with
// FF. A HEX or S-record file gives the bytes of its addresses; without a
// range of its own the job takes the stretch of the chip the file covers,
// and one sentence says how much of the chip that is.
int ReadInput(CommandContext& context, const MemoryOptions& options, Job& job, eeprom::FileCover& cover);

}  // namespace cli
