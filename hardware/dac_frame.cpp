#include "hardware/dac_frame.h"

#include "hardware/port_adapter.h"

namespace hardware {

void SendDacFrame(PortAdapter& adapter, int channel, int range, std::uint8_t value) {
    adapter.SetLatchBit(kLineOrg);  // frame line
    adapter.ClearLatchBit(kLineSelect);
    adapter.WriteLatch(adapter.Latch());
    const int address = channel + 1;
    for (int b = 0; b < 4; ++b) adapter.SendBit((address >> b) & 1);
    for (int b = 0; b < 2; ++b) adapter.SendBit((range >> b) & 1);
    for (int b = 7; b >= 0; --b) adapter.SendBit((value >> b) & 1);
    adapter.SetLatchBit(kLineSelect);  // the rising load line latches the frame
    adapter.ClearLatchBit(kLineOrg);
    adapter.WriteLatch(adapter.Latch());
}

}  // namespace hardware
