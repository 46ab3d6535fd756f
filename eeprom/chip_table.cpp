#include "eeprom/chip_table.h"

#include <string_view>

#include "eeprom/image.h"

int g_chipFamily = 0;
int g_chipAddressBits = 0;
int g_chipOrganisation = 0;
int g_chipCapacity = 0;
int g_chipCursor = 0;

namespace {

constexpr int kKeep = -1;

struct ChipRow {
    std::string_view text;
    int family;
    int addressBits;
    int organisation;  // kKeep: unchanged
    int capacity;
    int cursor;        // kKeep: unchanged
};

constexpr ChipRow kChipRows[] = {
    {"93C06 (8)", 93, 6, 8, 32, 0},     {"93C06 (16)", 93, 5, 16, 16, 0},
    {"93C46 (8)", 93, 6, 8, 128, 0},    {"93C46 (16)", 93, 5, 16, 64, 0},
    {"93C56 (8)", 93, 8, 8, 256, 0},    {"93C56 (16)", 93, 7, 16, 128, 0},
    {"93C66 (8)", 93, 8, 8, 512, 0},    {"93C66 (16)", 93, 7, 16, 256, 0},
    {"93C76 (8)", 93, 10, 8, 1024, 0},  {"93C76 (16)", 93, 9, 16, 512, 0},
    {"93C86 (8)", 93, 10, 8, 2048, 0},  {"93C86 (16)", 93, 9, 16, 1024, 0},
    {"AT25C010", 25, 8, kKeep, 128, kKeep},  {"AT25C020", 25, 8, kKeep, 256, kKeep},
    {"AT25C040", 25, 8, kKeep, 512, kKeep},  {"AT25C080", 25, 16, kKeep, 1024, kKeep},
    {"AT25C160", 25, 16, kKeep, 2048, kKeep},
};

}  // namespace

void ApplyChipChoice(const std::string& entryText) {
    if (entryText.empty()) {
        g_chipFamily = 0;  // I2C mode; the rest stays for the image file size
        return;
    }
    for (const ChipRow& row : kChipRows) {
        if (row.text != entryText) continue;
        g_chipFamily = row.family;
        g_chipAddressBits = row.addressBits;
        if (row.organisation != kKeep) g_chipOrganisation = row.organisation;
        g_chipCapacity = row.capacity;
        if (row.cursor != kKeep) g_chipCursor = row.cursor;
        return;
    }
}

void ResetChipState() {
    g_chipFamily = 0;
    g_chipAddressBits = 0;
    g_chipOrganisation = 0;
    g_chipCapacity = 0;
    g_chipCursor = 0;
}

int ImageFileSize() {
    if (g_chipCapacity <= 0) return kImageSize;
    const int size = g_chipFamily == 93 && g_chipOrganisation == 16 ? g_chipCapacity * 2 : g_chipCapacity;
    return size > kImageSize ? kImageSize : size;
}
