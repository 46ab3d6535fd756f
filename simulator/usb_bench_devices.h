// The bench's USB devices as merlix-usb-device serves them through USB/IP
// (usbip_device.h): each answers with a bench of its own (its I2C bus, a part
// in its socket) and keeps bench time on the steady clock.
//
// - i2c-tiny-usb: the plain-I2C master of the kernel's i2c-tiny-usb driver,
//   all in control requests on endpoint 0.
// - CH341A: the Ch341aChip model behind its two bulk endpoints.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "simulator/ch341a_chip.h"
#include "simulator/simulated_bench.h"
#include "simulator/usbip_device.h"

namespace simulator {

class TinyUsbFunction final : public UsbFunction {
public:
    // What happened on the bus worth a line in the device's log.
    using Note = std::function<void(const std::string&)>;
    // `bench` must outlive the function.
    TinyUsbFunction(SimulatedBench& bench, Note note) : bench_(bench), note_(std::move(note)) {}

    std::vector<std::uint8_t> DeviceDescriptor() const override;
    std::vector<std::uint8_t> ConfigDescriptor() const override;
    std::vector<std::string> Strings() const override;
    bool Control(const UsbSetup& setup, std::vector<std::uint8_t>& data) override;

private:
    bool Message(const UsbSetup& setup, std::vector<std::uint8_t>& data);

    SimulatedBench& bench_;
    Note note_;
    std::uint8_t status_ = 0;
    int delayUs_ = 10;
};

class Ch341aFunction final : public UsbFunction {
public:
    // `bench` must outlive the function.
    explicit Ch341aFunction(SimulatedBench& bench) : chip_(bench) {}

    std::vector<std::uint8_t> DeviceDescriptor() const override;
    std::vector<std::uint8_t> ConfigDescriptor() const override;
    std::vector<std::string> Strings() const override;
    bool Control(const UsbSetup& setup, std::vector<std::uint8_t>& data) override;
    bool BulkOut(std::uint8_t endpoint, std::span<const std::uint8_t> data) override;
    bool BulkIn(std::uint8_t endpoint, std::size_t length, std::vector<std::uint8_t>& data) override;

private:
    Ch341aChip chip_;
};

}  // namespace simulator
