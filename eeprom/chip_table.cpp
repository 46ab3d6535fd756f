#include "eeprom/chip_table.h"

#include "eeprom/image.h"

namespace eeprom {

void ApplyChipChoice(ChipParams& chip, const std::string& entryText) {
    if (entryText.empty()) {
        chip.family = ChipFamily::I2c;  // the rest stays for the image file size
        return;
    }
    const hardware::ChipPart* part = hardware::FindChipPart(entryText);
    if (part == nullptr || part->family == ChipFamily::Dac) return;
    chip.family = part->family;
    chip.addressBits = part->addressBits;
    chip.capacity = part->bytes / (part->organisation / 8);
    if (part->family == ChipFamily::Microwire) {
        chip.organisation = part->organisation;  // the SPI entries keep it
        chip.cursor = 0;
    }
}

int ImageFileSize(const ChipParams& chip) {
    if (chip.capacity <= 0) return kImageSize;
    const int size =
        chip.family == ChipFamily::Microwire && chip.organisation == 16 ? chip.capacity * 2 : chip.capacity;
    return size > kImageSize ? kImageSize : size;
}

}  // namespace eeprom
