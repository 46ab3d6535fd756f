// What the kernel's I2C bus drivers take through i2c-dev, one row per driver
// a technician meets, read from each driver's source (named in the row):
// the name the bus shows in /sys/class/i2c-dev/i2c-N/name, its I2C_FUNCS,
// how many messages one I2C_RDWR call may carry and in what shape, the
// longest read and write, what a longer or empty message gets, and the errno
// of a missing acknowledge and of a timeout.
//
// The i2c-dev adapter keeps within a known driver's limits, the survey
// prints them, and the fake /dev/i2c-N answers as the driver does.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace platform {

struct I2cDriverRules {
    const char* driver;      // the module: "hid-cp2112"
    const char* namePrefix;  // how its bus names begin in /sys: "CP2112 SMBus Bridge on hidraw"
    const char* sampleName;  // one such name in full, for the bench's fake
    const char* source;      // the kernel file the facts come from
    unsigned long functions;
    int maxMessages;          // messages in one I2C_RDWR call
    bool writeThenReadOnly;   // two messages only as a write then a read of one address
    int maxReadBytes;         // the longest read message
    int maxWriteBytes;        // the longest write message on its own
    int maxWriteBeforeRead;   // the longest write in a write-then-read
    int tooLongErrno;         // what a longer message gets before anything is sent
    bool writeLengthIn8Bits;  // a lone write's 16-bit length is cut to 8 bits first
    bool zeroLengthReadRefused;
    bool zeroLengthWriteRefused;
    int zeroLengthErrno;
    int addressNackErrno;  // 0: a missing acknowledge is not reported at all
    int dataNackErrno;
    int timeoutErrno;
};

// Every row of the table.
std::span<const I2cDriverRules> I2cDriverTable();
// The row whose buses are named so, else null (a driver Merlix does not know).
const I2cDriverRules* FindI2cDriver(std::string_view busName);
// The row of a module ("hid-cp2112"), else null.
const I2cDriverRules* I2cDriverByModule(std::string_view module);
// One line for the survey and the adapter's description: "reads of up to 512
// bytes, writes of up to 61, one message or a write then a read; a missing
// acknowledge shows as a timeout".
std::string I2cDriverLimitsText(const I2cDriverRules& rules);

}  // namespace platform
