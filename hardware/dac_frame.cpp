#include "hardware/dac_frame.h"

#include <vector>

namespace hardware {

void SendDacFrame(SerialLines& lines, int channel, int range, std::uint8_t value) {
    std::vector<LineStep> steps{LineStep::Drive(kOrgLine | kSelectLine, kOrgLine, true)};  // frame line up
    const int address = channel + 1;
    for (int b = 0; b < 4; ++b) AddSlowBit(steps, (address >> b) & 1);
    for (int b = 0; b < 2; ++b) AddSlowBit(steps, (range >> b) & 1);
    for (int b = 7; b >= 0; --b) AddSlowBit(steps, (value >> b) & 1);
    // The rising load line latches the frame.
    steps.push_back(LineStep::Drive(kOrgLine | kSelectLine, kSelectLine, true));
    (void)lines.Run(steps);
}

}  // namespace hardware
