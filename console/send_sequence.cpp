// The send console's register write; see send_sequence.h.
#include "console/send_sequence.h"

#include "hardware/port_adapter.h"

namespace console {

void PrepareTransfer(hardware::PortAdapter& adapter) {
    adapter.ConfigurePort();
    adapter.ResetAdapter(0, adapter.Latch());
}

int WriteRegister(hardware::PortAdapter& adapter, std::uint8_t address, std::uint8_t subAddress,
                  std::uint8_t data, const std::function<void()>& busStillBusy) {
    if (adapter.WaitBusFree() > kBusStillBusy && busStillBusy) busStillBusy();
    const int result = adapter.I2cWriteByte(subAddress, address, data);
    adapter.DelayMs(kSettleMs);
    return result;
}

}  // namespace console
