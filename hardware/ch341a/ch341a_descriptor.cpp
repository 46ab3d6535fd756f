// The CH341A's entry in the adapter list; see ch341a_descriptor.h.
#include "hardware/ch341a/ch341a_descriptor.h"

#include "hardware/ch341a/ch341a_adapter.h"
#include "hardware/ch341a/ch341a_survey.h"

namespace hardware {
namespace {

constexpr int kDefaultClockHz = 100'000;

class OpenedCh341a final : public OpenedAdapter {
public:
    explicit OpenedCh341a(std::unique_ptr<Ch341aAdapter> adapter) : adapter_(std::move(adapter)) {}
    BusInterfaces Interfaces() override {
        BusInterfaces bus;
        bus.i2c = adapter_.get();
        bus.spi = adapter_.get();
        bus.lines = adapter_.get();
        return bus;
    }
    std::string Capabilities() const override { return adapter_->Describe(); }
    std::string TakeVoltageWarning() override { return adapter_->TakeVoltageWarning(); }

private:
    std::unique_ptr<Ch341aAdapter> adapter_;
};

bool KnownClock(const std::string& clock) {
    return clock == "20k" || clock == "100k" || clock == "400k" || clock == "750k";
}

// ch341a[:N|:all][,CLOCK], or ch341a:CLOCK for the first.
AdapterDescriptor::Parse Parse(const std::string& text, AdapterChoice& choice, std::string& error) {
    const std::string name = LowerCase(text);
    if (name != "ch341a" && name.rfind("ch341a:", 0) != 0) return AdapterDescriptor::Parse::NotMine;
    std::string which = name.size() > 6 ? name.substr(7) : "0";
    std::string clock = "100k";
    if (const std::size_t comma = which.find(','); comma != std::string::npos) {
        clock = which.substr(comma + 1);
        which.resize(comma);
    } else if (!which.empty() && which.back() == 'k') {
        clock = which;
        which = "0";
    }
    const int index = which == "all" ? 0 : SmallNumber(which, 0, 127);
    if (index < 0 || !KnownClock(clock)) {
        error = "--adapter ch341a takes :N (the programmer, from 0) or :all, and an I2C clock ,20k, ,100k, "
                ",400k or ,750k, not '" +
                text + "'";
        return AdapterDescriptor::Parse::Refused;
    }
    choice = {};
    choice.adapter = &kCh341aAdapter;
    choice.index = index;
    choice.clockHz = std::stoi(clock) * 1000;
    choice.all = which == "all";
    return AdapterDescriptor::Parse::Taken;
}

std::string Spell(const AdapterChoice& choice) { return "ch341a:" + std::to_string(choice.index); }

std::unique_ptr<OpenedAdapter> OpenOn(platform::UsbSystem& usb, int index, int clockHz,
                                      AdapterSystems& systems, std::string& error) {
    auto adapter = std::make_unique<Ch341aAdapter>(usb, systems.clock);
    if (!adapter->Open(index, error)) return nullptr;
    if (clockHz != adapter->I2cSpeedHz() && !adapter->SetI2cSpeedHz(clockHz)) {
        (void)adapter->TakeIoError(error);
        return nullptr;
    }
    const platform::UsbDeviceInfo& device = adapter->Device();
    const std::string label = "CH341A " + std::to_string(index) + " (USB bus " + std::to_string(device.bus) +
                              " address " + std::to_string(device.address) + ", I2C at " +
                              std::to_string(adapter->I2cSpeedHz() / 1000) + " kHz)";
    auto opened = std::make_unique<OpenedCh341a>(std::move(adapter));
    opened->label = label;
    return opened;
}

std::unique_ptr<OpenedAdapter> Open(const AdapterChoice& choice, AdapterSystems& systems,
                                    std::string& error) {
    platform::UsbSystem* usb = systems.usb(error);
    if (!usb) return nullptr;
    auto opened =
        OpenOn(*usb, choice.index, choice.clockHz ? choice.clockHz : kDefaultClockHz, systems, error);
    if (opened) opened->notice = "using " + opened->label + " (--adapter)";
    return opened;
}

// The one CH341A on the machine; with several, --adapter chooses.
std::unique_ptr<OpenedAdapter> OpenAutomatically(AdapterSystems& systems, std::string& why) {
    std::string usbError;
    platform::UsbSystem* usb = systems.usb(usbError);
    const std::size_t found = usb ? Ch341aAdapter::List(*usb).size() : 0;
    if (found == 1) {
        auto opened = OpenOn(*usb, 0, kDefaultClockHz, systems, why);
        if (!opened) return nullptr;
        opened->notice = "using " + opened->label + ": the one CH341A programmer connected";
        opened->label += ", the one CH341A connected";
        return opened;
    }
    if (found > 1) {
        why = std::to_string(found) + " CH341A programmers are connected: --adapter ch341a:N chooses one";
    } else {
        why = usb ? "no CH341A programmer is connected"
                  : "USB could not be searched for a CH341A programmer (" + usbError + ")";
    }
    return nullptr;
}

bool Expand(const AdapterChoice& choice, AdapterSystems& systems, std::vector<AdapterChoice>& each,
            std::string& why) {
    platform::UsbSystem* usb = systems.usb(why);
    if (!usb) return false;
    const std::size_t found = Ch341aAdapter::List(*usb).size();
    if (found == 0) {
        why = "--adapter ch341a:all found no CH341A programmer (USB " +
              platform::UsbId(Ch341aAdapter::kVendor, Ch341aAdapter::kProduct) +
              "): plug one in, and see merlix-cli ports";
        return false;
    }
    for (std::size_t n = 0; n < found; ++n) {
        AdapterChoice one = choice;
        one.all = false;
        one.index = static_cast<int>(n);
        each.push_back(one);
    }
    return true;
}

bool Survey(std::ostream& out, AdapterSystems& systems) {
    std::string usbError;
    platform::UsbSystem* usb = systems.usb(usbError);
    return DescribeCh341aAdapters(out, usb, usbError);
}

std::vector<AdapterMenuEntry> Menu(AdapterSystems& systems) {
    std::vector<AdapterMenuEntry> entries;
    std::string usbError;
    platform::UsbSystem* usb = systems.usb(usbError);
    if (!usb) return entries;
    const std::vector<platform::UsbDeviceInfo> found = Ch341aAdapter::List(*usb);
    for (std::size_t n = 0; n < found.size(); ++n)
        entries.push_back({"CH341A " + std::to_string(n) + " on USB bus " + std::to_string(found[n].bus) +
                               " address " + std::to_string(found[n].address),
                           "ch341a:" + std::to_string(n), true});
    return entries;
}

int I2cToolsBus(const AdapterChoice& choice) { return choice.index; }

}  // namespace

const AdapterDescriptor kCh341aAdapter{
    .name = "ch341a",
    .syntax = "ch341a[:N|:all]",
    .help = "ch341a[:N][,400k] (the Nth CH341A, from 0, and its I2C clock: 20k, 100k, 400k, 750k)",
    .completions = "ch341a ch341a:all",
    .deviceNodes = "",
    .parse = Parse,
    .spell = Spell,
    .survey = Survey,
    .menu = Menu,
    .open = Open,
    .automaticPlace = 2,
    .automaticWords = "the one CH341A",
    .openAutomatically = OpenAutomatically,
    .kindPlural = "CH341A programmers",
    .expand = Expand,
    .i2cToolsBus = I2cToolsBus,
};

}  // namespace hardware
