#include "eeprom/chip_table.h"

#include <string_view>

#include "eeprom/image.h"

namespace eeprom {
namespace {

constexpr int kKeep = -1;

struct ChipRow {
    std::string_view text;
    int family;
    int addressBits;
    int organisation;  // kKeep: unchanged
    int capacity;
};

constexpr ChipRow kChipRows[] = {
    {"93C06 (8)", 93, 6, 8, 32},       {"93C06 (16)", 93, 5, 16, 16},     {"93C46 (8)", 93, 6, 8, 128},
    {"93C46 (16)", 93, 5, 16, 64},     {"93C56 (8)", 93, 8, 8, 256},      {"93C56 (16)", 93, 7, 16, 128},
    {"93C66 (8)", 93, 8, 8, 512},      {"93C66 (16)", 93, 7, 16, 256},    {"93C76 (8)", 93, 10, 8, 1024},
    {"93C76 (16)", 93, 9, 16, 512},    {"93C86 (8)", 93, 10, 8, 2048},    {"93C86 (16)", 93, 9, 16, 1024},
    {"AT25C010", 25, 8, kKeep, 128},   {"AT25C020", 25, 8, kKeep, 256},   {"AT25C040", 25, 8, kKeep, 512},
    {"AT25C080", 25, 16, kKeep, 1024}, {"AT25C160", 25, 16, kKeep, 2048},
};

}  // namespace

void ApplyChipChoice(ChipParams& chip, const std::string& entryText) {
    if (entryText.empty()) {
        chip.family = 0;  // I2C mode; the rest stays for the image file size
        return;
    }
    for (const ChipRow& row : kChipRows) {
        if (row.text != entryText) continue;
        chip.family = row.family;
        chip.addressBits = row.addressBits;
        if (row.organisation != kKeep) chip.organisation = row.organisation;
        chip.capacity = row.capacity;
        if (row.family == 93) chip.cursor = 0;  // Microwire
        return;
    }
}

int ImageFileSize(const ChipParams& chip) {
    if (chip.capacity <= 0) return kImageSize;
    const int size = chip.family == 93 && chip.organisation == 16 ? chip.capacity * 2 : chip.capacity;
    return size > kImageSize ? kImageSize : size;
}

}  // namespace eeprom
