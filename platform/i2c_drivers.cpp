// The kernel I2C bus drivers' rules as i2c-dev users meet them; see i2c_drivers.h.
//
// Read from the drivers' sources (Linux, torvalds/linux, and for the CH341 the
// out-of-tree cell driver that distributions carry). Where a driver sets no
// limit, i2c-dev's own apply: 42 messages per call (I2C_RDWR_IOCTL_MAX_MSGS,
// drivers/i2c/i2c-dev.c) and 8192 bytes per message. A length past an
// adapter's quirks (max_read_len, max_write_len, I2C_AQ_NO_ZERO_LEN...) is
// refused by i2c_check_for_quirks with EOPNOTSUPP before the driver runs
// (drivers/i2c/i2c-core-base.c); a driver without master_xfer answers
// I2C_RDWR with EOPNOTSUPP there too.
#include "platform/i2c_drivers.h"

#include <linux/i2c.h>

#include <cerrno>

namespace platform {
namespace {

constexpr int kRdwrMessages = 42;  // I2C_RDWR_IOCTL_MAX_MSGS
constexpr int kRdwrBytes = 8192;   // the longest message i2c-dev copies

constexpr unsigned long kSmbusPc = I2C_FUNC_SMBUS_QUICK | I2C_FUNC_SMBUS_BYTE | I2C_FUNC_SMBUS_BYTE_DATA |
                                   I2C_FUNC_SMBUS_WORD_DATA | I2C_FUNC_SMBUS_BLOCK_DATA;

constexpr I2cDriverRules kTable[] = {
    // drivers/i2c/busses/i2c-i801.c: i801_func (the I2C block read where
    // FEATURE_I2C_BLOCK_READ, ICH5 on), no master_xfer; i801_check_post gives
    // ENXIO for SMBHSTSTS_DEV_ERR and ETIMEDOUT when the host hangs.
    {"i2c-i801", "SMBus I801 adapter", "SMBus I801 adapter at efa0", "drivers/i2c/busses/i2c-i801.c",
     kSmbusPc | I2C_FUNC_SMBUS_I2C_BLOCK, 0, true, I2C_SMBUS_BLOCK_MAX, I2C_SMBUS_BLOCK_MAX, 1, EOPNOTSUPP,
     false, false, false, 0, ENXIO, ENXIO, ETIMEDOUT},
    // drivers/i2c/busses/i2c-piix4.c: piix4_func (no I2C block at all),
    // piix4_transaction: ENXIO for "no response", ETIMEDOUT on a timeout.
    {"i2c-piix4", "SMBus PIIX4 adapter", "SMBus PIIX4 adapter at b100", "drivers/i2c/busses/i2c-piix4.c",
     kSmbusPc, 0, true, 1, 1, 1, EOPNOTSUPP, false, false, false, 0, ENXIO, ENXIO, ETIMEDOUT},
    // drivers/hid/hid-cp2112.c: cp2112_i2c_xfer takes one message, or a write
    // then a read of one address (not on hardware version 1); more is
    // EOPNOTSUPP. cp2112_read_req and cp2112_i2c_write_read_req: a read of 1
    // to 512 bytes, else EINVAL; the write before it fills target_address[16].
    // cp2112_i2c_write_req takes the message's 16-bit length as a u8
    // data_length and refuses more than data[61] with EINVAL: a 258-byte
    // write becomes a 2-byte one. cp2112_raw_event: STATUS1_TIMEOUT_NACK is
    // ETIMEDOUT, as is a bus timeout. cp2112_functionality has no QUICK.
    {"hid-cp2112", "CP2112 SMBus Bridge on hidraw", "CP2112 SMBus Bridge on hidraw0",
     "drivers/hid/hid-cp2112.c",
     I2C_FUNC_I2C | I2C_FUNC_SMBUS_BYTE | I2C_FUNC_SMBUS_BYTE_DATA | I2C_FUNC_SMBUS_WORD_DATA |
         I2C_FUNC_SMBUS_BLOCK_DATA | I2C_FUNC_SMBUS_I2C_BLOCK | I2C_FUNC_SMBUS_PROC_CALL |
         I2C_FUNC_SMBUS_BLOCK_PROC_CALL,
     2, true, 512, 61, 16, EINVAL, true, true, false, EINVAL, ETIMEDOUT, ETIMEDOUT, ETIMEDOUT},
    // drivers/hid/hid-mcp2221.c: mcp_i2c_xfer takes one message, or a write
    // then a read of one address, else EOPNOTSUPP; lengths go as 16 bits in
    // 60-byte reports (mcp_i2c_write, mcp_i2c_smbus_read); mcp_get_i2c_eng_state
    // and mcp2221_raw_event give ENXIO for an address NACK, ETIMEDOUT for the
    // engine's timeouts, EIO for other states.
    {"hid-mcp2221", "MCP2221 usb-i2c bridge", "MCP2221 usb-i2c bridge", "drivers/hid/hid-mcp2221.c",
     I2C_FUNC_I2C | I2C_FUNC_SMBUS_READ_BLOCK_DATA | I2C_FUNC_SMBUS_BLOCK_PROC_CALL |
         (I2C_FUNC_SMBUS_EMUL & ~I2C_FUNC_SMBUS_PEC),
     2, true, kRdwrBytes, kRdwrBytes, kRdwrBytes, EINVAL, false, false, false, 0, ENXIO, EIO, ETIMEDOUT},
    // drivers/i2c/busses/i2c-tiny-usb.c: usb_xfer runs any number of
    // messages; usb_quirks has I2C_AQ_NO_ZERO_LEN_READ; STATUS_ADDRESS_NAK is
    // ENXIO, and only the address's acknowledge is reported; a failed control
    // transfer (a timeout among them) is EIO. The functions are what the
    // device reports to CMD_GET_FUNC: plain I2C and SMBus emulation here.
    {"i2c-tiny-usb", "i2c-tiny-usb at bus", "i2c-tiny-usb at bus 001 device 002",
     "drivers/i2c/busses/i2c-tiny-usb.c", I2C_FUNC_I2C | I2C_FUNC_SMBUS_EMUL, kRdwrMessages, false,
     kRdwrBytes, kRdwrBytes, kRdwrBytes, EINVAL, false, true, false, EOPNOTSUPP, ENXIO, 0, EIO},
    // drivers/i2c/busses/i2c-ch341.c (the CH341 cell driver of the ch341 MFD
    // series, out of tree): ch341_i2c_quirks max_read_len and max_write_len
    // MAX_RW_LENGTH 3072; ch341_i2c_xfer never reads an acknowledge back, so
    // a device that is absent or busy is not reported; USB errors pass
    // through (ETIMEDOUT from usb_bulk_msg).
    {"i2c-ch341", "CH341 I2C USB bus", "CH341 I2C USB bus 001 device 003", "drivers/i2c/busses/i2c-ch341.c",
     I2C_FUNC_I2C | I2C_FUNC_SMBUS_EMUL, kRdwrMessages, false, 3072, 3072, 3072, EOPNOTSUPP, false, false,
     false, 0, 0, 0, ETIMEDOUT},
    // drivers/i2c/busses/i2c-bcm2835.c: bcm2835_i2c_func I2C and SMBus
    // emulation, quirks only I2C_AQ_NO_CLK_STRETCH; bcm2835_i2c_xfer gives
    // EREMOTEIO for BCM2835_I2C_S_ERR (no acknowledge), ETIMEDOUT when the
    // transfer does not complete. Its name is "bcm2835 (" the node ")".
    {"i2c-bcm2835", "bcm2835 (", "bcm2835 (i2c@7e804000)", "drivers/i2c/busses/i2c-bcm2835.c",
     I2C_FUNC_I2C | I2C_FUNC_SMBUS_EMUL, kRdwrMessages, false, kRdwrBytes, kRdwrBytes, kRdwrBytes, EINVAL,
     false, false, false, 0, EREMOTEIO, EREMOTEIO, ETIMEDOUT},
    // drivers/i2c/busses/i2c-designware-master.c: i2c_dw_quirks
    // I2C_AQ_NO_ZERO_LEN; i2c_dw_handle_tx_abort gives EREMOTEIO for every
    // NOACK abort; the functions are DW_IC_DEFAULT_FUNCTIONALITY
    // (i2c-designware-core.h: no QUICK) with 10-bit addresses.
    {"i2c-designware", "Synopsys DesignWare I2C adapter", "Synopsys DesignWare I2C adapter",
     "drivers/i2c/busses/i2c-designware-master.c",
     I2C_FUNC_I2C | I2C_FUNC_10BIT_ADDR | I2C_FUNC_SMBUS_BYTE | I2C_FUNC_SMBUS_BYTE_DATA |
         I2C_FUNC_SMBUS_WORD_DATA | I2C_FUNC_SMBUS_BLOCK_DATA | I2C_FUNC_SMBUS_I2C_BLOCK,
     kRdwrMessages, false, kRdwrBytes, kRdwrBytes, kRdwrBytes, EINVAL, false, true, true, EOPNOTSUPP,
     EREMOTEIO, EREMOTEIO, ETIMEDOUT},
    // drivers/i2c/busses/i2c-gpio.c names a bus "i2c-gpio%d" (a device-tree
    // bus takes its node's name) and drives it with
    // drivers/i2c/algos/i2c-algo-bit.c: bit_func, bit_doAddress ENXIO for an
    // address NACK, sendbytes EIO for a data NACK, ETIMEDOUT when SCL is held.
    {"i2c-gpio", "i2c-gpio", "i2c-gpio1", "drivers/i2c/busses/i2c-gpio.c, drivers/i2c/algos/i2c-algo-bit.c",
     I2C_FUNC_I2C | I2C_FUNC_NOSTART | I2C_FUNC_SMBUS_EMUL_ALL | I2C_FUNC_10BIT_ADDR |
         I2C_FUNC_PROTOCOL_MANGLING,
     kRdwrMessages, false, kRdwrBytes, kRdwrBytes, kRdwrBytes, EINVAL, false, false, false, 0, ENXIO, EIO,
     ETIMEDOUT},
};

std::string ErrnoName(int error) {
    switch (error) {
        case ENXIO:
            return "ENXIO";
        case EREMOTEIO:
            return "EREMOTEIO";
        case EIO:
            return "EIO";
        case ETIMEDOUT:
            return "a timeout (ETIMEDOUT)";
        default:
            return "errno " + std::to_string(error);
    }
}

}  // namespace

std::span<const I2cDriverRules> I2cDriverTable() { return kTable; }

const I2cDriverRules* FindI2cDriver(std::string_view busName) {
    for (const I2cDriverRules& rules : kTable) {
        if (busName.starts_with(rules.namePrefix)) return &rules;
    }
    return nullptr;
}

const I2cDriverRules* I2cDriverByModule(std::string_view module) {
    for (const I2cDriverRules& rules : kTable) {
        if (module == rules.driver) return &rules;
    }
    return nullptr;
}

std::string I2cDriverLimitsText(const I2cDriverRules& rules) {
    std::string text = rules.driver;
    text += ": ";
    if (!(rules.functions & I2C_FUNC_I2C)) {
        text += "SMBus calls only, " + std::to_string(rules.maxReadBytes) +
                (rules.maxReadBytes == 1 ? " byte" : " bytes") + " of data per call";
    } else {
        text += "reads of up to " + std::to_string(rules.maxReadBytes) + " bytes, writes of up to " +
                std::to_string(rules.maxWriteBytes);
        text += rules.writeThenReadOnly ? ", one message or a write then a read"
                                        : ", up to " + std::to_string(rules.maxMessages) + " messages";
    }
    if (rules.zeroLengthReadRefused && rules.zeroLengthWriteRefused) text += ", no empty messages";
    if (rules.addressNackErrno == 0) {
        text += "; a missing acknowledge is not reported";
    } else if (rules.addressNackErrno != ENXIO) {
        text += "; a missing acknowledge shows as " + ErrnoName(rules.addressNackErrno);
    }
    return text;
}

}  // namespace platform
