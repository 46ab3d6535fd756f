// The main window's writes ("Write eeprom", a backup restored) as the
// engine's write job, on the window's own transfers and message boxes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "eeprom/image.h"
#include "eeprom/memory_job.h"

namespace ui {

// The window's write as the engine's write job: one page of the I2C memory
// ("Write eeprom" leaves it unverified, as the classic page write has no
// verify; a restore reads it back), or the whole serial chip, whose write
// reads it back itself. The transfers and the backup say what
// went wrong in the window's own message boxes.
class WindowWrite final : public eeprom::JobTransfers {
public:
    // `write` leaves what it read back in an image of the whole buffer,
    // where the region begins at `offset`.
    WindowWrite(std::function<bool()> backUp, std::function<bool(eeprom::Image& readBack)> write,
                int offset = 0)
        : backUp_(std::move(backUp)), write_(std::move(write)), offset_(offset) {}
    bool Read(std::vector<std::uint8_t>&, eeprom::JobProgress&, std::string&, const char*) override {
        return false;
    }
    bool Write(const std::vector<std::uint8_t>& data, eeprom::JobProgress&, std::string&) override {
        eeprom::Image readBack{eeprom::kImageSize};
        if (!write_(readBack)) return false;
        readBack_.assign(readBack.begin() + offset_,
                         readBack.begin() + offset_ + static_cast<std::ptrdiff_t>(data.size()));
        return true;
    }
    const std::vector<std::uint8_t>* ReadBack() const override { return &readBack_; }
    bool BackUp(const eeprom::BackupTarget&, eeprom::JobProgress&, QString&, std::string&) override {
        return backUp_();
    }

private:
    std::function<bool()> backUp_;
    std::function<bool(eeprom::Image& readBack)> write_;
    std::ptrdiff_t offset_;
    std::vector<std::uint8_t> readBack_;
};

// The window's bar takes the transfers' progress itself.
class NoLine final : public eeprom::JobProgress {
public:
    void Begin(const std::string&, int) override {}
    void Update(int) override {}
    int Done() const override { return 0; }
};

}  // namespace ui
