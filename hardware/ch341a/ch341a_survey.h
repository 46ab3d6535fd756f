// The CH341A adapters in the port survey (merlix-cli ports, --check-ports):
// each with its USB bus and address and whether this user can open it, with
// the fix when not. Nothing is sent to an adapter: the survey opens it,
// looks whether a kernel driver holds it, claims and releases it, and closes.
#pragma once

#include <ostream>
#include <string>

#include "platform/usb_system.h"

namespace hardware {

// `usb` null: USB could not be started, `usbError` says why. True when a
// adapter can be used.
bool DescribeCh341aAdapters(std::ostream& out, platform::UsbSystem* usb, const std::string& usbError);

}  // namespace hardware
