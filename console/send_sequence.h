// The register write without its window: every transfer starts from a
// freshly set-up master, checks that the bus is free, writes one byte to a
// register and lets the device settle. The window runs it for "Send", every
// slider move and every spin click; the command line runs it for `set`.
#pragma once

#include <cstdint>
#include <functional>

#include "hardware/i2c_master.h"

namespace console {

// The pause after each write, for the device to take the byte.
inline constexpr int kSettleMs = 10;

// Sets the interface and the master up afresh, as before every transfer.
void PrepareTransfer(hardware::I2cMaster& i2c);

// Writes `data` to register `subAddress` of device `address` (8-bit write
// form): waits for a free bus, calls `busStillBusy` when it stayed busy (the
// write is tried anyway and gives up on its own when the bus is still
// taken), writes, then waits kSettleMs.
hardware::I2cResult WriteRegister(hardware::I2cMaster& i2c, std::uint8_t address, std::uint8_t subAddress,
                                  std::uint8_t data, const std::function<void()>& busStillBusy);

}  // namespace console
