// A Progress that keeps what a transfer reported.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "eeprom/chip_table.h"
#include "eeprom/classic_chip_transfers.h"

struct RecordingProgress final : eeprom::Progress {
    void SetRange(int low, int high) override { ranges.emplace_back(low, high); }
    void SetPosition(int position) override { positions.push_back(position); }
    void Message(const std::string& text) override { messages.push_back(text); }

    std::vector<std::pair<int, int>> ranges;
    std::vector<int> positions;
    std::vector<std::string> messages;
};
