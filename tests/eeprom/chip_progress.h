// A Progress that keeps what a transfer reported, with the shared cursor at
// each position.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "eeprom/chip_table.h"
#include "eeprom/chip_transfers.h"

struct RecordingProgress final : Progress {
    void SetRange(int low, int high) override { ranges.emplace_back(low, high); }
    void SetPosition(int position) override {
        positions.push_back(position);
        cursors.push_back(g_chipCursor);
    }
    void Message(const std::string& text) override { messages.push_back(text); }

    std::vector<std::pair<int, int>> ranges;
    std::vector<int> positions;
    std::vector<int> cursors;
    std::vector<std::string> messages;
};
