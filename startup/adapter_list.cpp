// The list of adapters; see adapter_list.h. A new adapter is one line here.
#include "startup/adapter_list.h"

#include <algorithm>

#include "hardware/ch341a/ch341a_descriptor.h"
#include "hardware/i2c_dev/i2c_dev_descriptor.h"
#include "hardware/parallel/parallel_descriptor.h"
#include "hardware/spidev/spidev_descriptor.h"
#include "simulator/fake_ch341a.h"
#include "simulator/fake_i2c_dev.h"
#include "simulator/fake_spidev.h"

namespace startup {
namespace {

const AdapterEntry kAdapters[] = {
    {&hardware::kParallelAdapter, &simulator::kParallelOnTheBench},
    {&hardware::kI2cDevAdapter, &simulator::kI2cDevOnTheBench},
    {&hardware::kSpidevAdapter, &simulator::kSpidevOnTheBench},
    {&hardware::kCh341aAdapter, &simulator::kCh341aOnTheBench},
};

// "a, b or c"
std::string Listed(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i)
        text += (i == 0 ? "" : i + 1 == items.size() ? " or " : ", ") + items[i];
    return text;
}

}  // namespace

std::span<const AdapterEntry> AdapterList() { return kAdapters; }

std::vector<const hardware::AdapterDescriptor*> AutomaticOrder() {
    std::vector<const hardware::AdapterDescriptor*> order;
    for (const AdapterEntry& entry : kAdapters)
        if (entry.adapter->automaticPlace > 0) order.push_back(entry.adapter);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto* a, const auto* b) { return a->automaticPlace < b->automaticPlace; });
    return order;
}

const AdapterEntry& PortLevelAdapter() {
    for (const AdapterEntry& entry : kAdapters)
        if (entry.adapter->portAccess) return entry;
    return kAdapters[0];
}

const simulator::BenchAdapterDescriptor* SideBySideBench() {
    const simulator::BenchAdapterDescriptor* most = nullptr;
    for (const AdapterEntry& entry : kAdapters)
        if (entry.bench->mostSideBySide > 1 && (!most || entry.bench->mostSideBySide > most->mostSideBySide))
            most = entry.bench;
    return most;
}

std::string AutomaticOrderText() {
    std::string text;
    for (const hardware::AdapterDescriptor* adapter : AutomaticOrder())
        text += std::string(adapter->automaticWords) + ", else ";
    return text + "the bench";
}

std::string AdapterHelp() {
    std::vector<std::string> items;
    for (const AdapterEntry& entry : kAdapters) items.push_back(entry.adapter->help);
    return Listed(items);
}

std::string BenchAdapterHelp() {
    std::vector<std::string> items;
    for (const AdapterEntry& entry : kAdapters) items.push_back(entry.bench->help);
    return Listed(items);
}

std::vector<std::string> AdapterCompletions(
    const std::function<std::vector<std::string>(const std::string&)>& nodes) {
    std::vector<std::string> words;
    for (const AdapterEntry& entry : kAdapters) {
        const std::string fixed = entry.adapter->completions;
        for (std::size_t from = 0; from < fixed.size();) {
            const std::size_t space = std::min(fixed.find(' ', from), fixed.size());
            words.push_back(fixed.substr(from, space - from));
            from = space + 1;
        }
    }
    for (const AdapterEntry& entry : kAdapters) {
        if (*entry.adapter->deviceNodes == '\0') continue;
        for (const std::string& node : nodes(entry.adapter->deviceNodes)) {
            hardware::AdapterChoice choice;
            choice.adapter = entry.adapter;
            choice.path = node;
            words.push_back(entry.adapter->spell(choice));
        }
    }
    return words;
}

}  // namespace startup
