// The register write; see send_sequence.h.
#include "console/send_sequence.h"

namespace console {

void PrepareTransfer(hardware::I2cMaster& i2c) { i2c.Recover(); }

hardware::I2cResult WriteRegister(hardware::I2cMaster& i2c, std::uint8_t address, std::uint8_t subAddress,
                                  std::uint8_t data, const std::function<void()>& busStillBusy) {
    if (!i2c.WaitForFreeBus() && busStillBusy) busStillBusy();
    std::uint8_t bytes[] = {subAddress, data};
    const hardware::I2cMessage message{static_cast<std::uint8_t>(address >> 1), false, bytes};
    const hardware::I2cResult result = i2c.Transfer({&message, 1});
    i2c.SleepMs(kSettleMs);
    return result;
}

}  // namespace console
