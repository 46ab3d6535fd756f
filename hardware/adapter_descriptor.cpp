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

int SmallNumber(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 3 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return -1;
    const int value = std::stoi(text);
    return value >= low && value <= high ? value : -1;
}

}  // namespace hardware
