// The send console's register write without its window: every transfer
// starts from a freshly set-up port and controller, checks that the bus is
// free, writes one byte to a register and lets the device settle. The window
// runs it for "Send", every slider move and every spin click; the command
// line runs it for `set`.
#pragma once

#include <cstdint>
#include <functional>

namespace hardware {
class PortAdapter;
}

namespace console {

// WaitBusFree results above this mean the bus stayed busy.
inline constexpr int kBusStillBusy = 900;
// The pause after each write, for the device to take the byte.
inline constexpr int kSettleMs = 10;

// Sets the port and the controller up afresh, as before every transfer.
void PrepareTransfer(hardware::PortAdapter& adapter);

// Writes `data` to register `subAddress` of device `address` (write form):
// waits for a free bus, calls `busStillBusy` when it stayed busy (the write
// is issued anyway; the driver gives up on its own when the bus is still
// taken), writes, then waits kSettleMs. Returns the driver's result
// (hardware::kWriteDone on success).
int WriteRegister(hardware::PortAdapter& adapter, std::uint8_t address, std::uint8_t subAddress,
                  std::uint8_t data, const std::function<void()>& busStillBusy);

}  // namespace console
