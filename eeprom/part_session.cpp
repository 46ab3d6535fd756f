// Memory parts over a session's interfaces; see part_session.h.
#include "eeprom/part_session.h"

#include <algorithm>

#include "eeprom/adapter_chip_transfers.h"
#include "eeprom/backup.h"

namespace eeprom {

namespace {

// Chip parameters of a 93Cxx, apart from the session's chip in force.
ChipParams MicrowireParams(const hardware::ChipPart& part) {
    ChipParams chip;
    chip.organisation = part.organisation;
    ApplyChipChoice(chip, std::string(part.listText));
    return chip;
}

}  // namespace

std::string PartName(const hardware::ChipPart& part) {
    std::string name(part.name);
    if (part.family == ChipFamily::Microwire) name += "x" + std::to_string(part.organisation);
    return name;
}

std::string PartBackupName(const hardware::ChipPart& part) {
    return part.family == ChipFamily::I2c || part.listText.empty()
               ? std::string(part.name)
               : BackupChipName(std::string(part.listText));
}

std::vector<int> PartDevices(const hardware::ChipPart& part) {
    std::vector<int> devices;
    const int blocks = hardware::DeviceBlocks(part);
    if (blocks == 0) return devices;
    const int step = part.blockSelect == hardware::BlockSelect::UpperHalfAtPlus4 ? 1 : blocks;
    for (int base = 0x50; hardware::BlockDevice(part, base, blocks - 1) <= 0x57; base += step)
        devices.push_back(base << 1);
    return devices;
}

int PartDeviceFor(const hardware::ChipPart& part, int device) {
    for (int base : PartDevices(part)) {
        for (int block = 0; block < hardware::DeviceBlocks(part); ++block)
            if (hardware::BlockDevice(part, base >> 1, block) == (device & 0xFE) >> 1) return base;
    }
    return 0xA0;
}

PartBus PartBusFor(Session& session, const hardware::ChipPart& part, int device) {
    if (part.family == ChipFamily::I2c) return PartBus(*session.i2c, (device & 0xFE) >> 1);
    if (session.spi != nullptr) return PartBus(*session.spi);
    return PartBus(*session.lines);
}

std::vector<BusDetection> DetectEveryBus(Session& session, Progress& progress) {
    std::vector<BusDetection> found;
    if (session.i2c) found.push_back({"I2C", DetectI2c(*session.i2c)});
    if (session.spi || session.lines) {
        const PartBus bus = session.spi ? PartBus(*session.spi) : PartBus(*session.lines);
        found.push_back({"SPI", DetectSpi(bus, progress)});
    }
    return found;
}

bool ReadWholePart(Session& session, const hardware::ChipPart& part, Image& image, Progress& progress,
                   int device) {
    if (!Reachable(session, part.family, progress)) return false;
    if (part.family != ChipFamily::Microwire)
        return ReadPartFast(PartBusFor(session, part, device), part, image, progress);
    const ChipParams chip = MicrowireParams(part);
    Image buffer{kImageSize};
    Image marks{kImageSize};
    if (!ReadSerialChipFast(session, chip, buffer, marks, progress)) return false;
    std::copy_n(buffer.begin(), std::min(part.bytes, image.Size()), image.begin());
    return true;
}

bool WriteWholePart(Session& session, const hardware::ChipPart& part, const Image& image, Progress& progress,
                    int device) {
    if (!Reachable(session, part.family, progress)) return false;
    if (part.family != ChipFamily::Microwire)
        return WritePartFast(PartBusFor(session, part, device), part, image, progress);
    const ChipParams chip = MicrowireParams(part);
    Image buffer{kImageSize, 0xFF};
    Image marks{kImageSize};
    std::copy_n(image.begin(), std::min(part.bytes, image.Size()), buffer.begin());
    // The serial transfer reads the chip back after writing; the caller's
    // verify is what reports it.
    return WriteSerialChipFast(session, chip, buffer, marks, progress);
}

}  // namespace eeprom
