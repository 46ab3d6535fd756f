// The helpers the adapter descriptors share; see adapter_descriptor.h.
#include "hardware/adapter_descriptor.h"

#include <algorithm>
#include <cctype>

namespace hardware {

std::string LowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

AdapterDescriptor::Parse ParsePrefixedPath(const std::string& text, const std::string& prefix,
                                           const AdapterDescriptor& adapter, AdapterChoice& choice) {
    if (LowerCase(text).rfind(prefix, 0) != 0 || text.size() == prefix.size())
        return AdapterDescriptor::Parse::NotMine;
    choice = {};
    choice.adapter = &adapter;
    choice.path = text.substr(prefix.size());
    return AdapterDescriptor::Parse::Taken;
}

int SmallNumber(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 3 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return -1;
    const int value = std::stoi(text);
    return value >= low && value <= high ? value : -1;
}

}  // namespace hardware
