// The sub-commands' examples; see help_examples.h.
#include "cli/help_examples.h"

#include <string_view>
#include <utility>

namespace cli {

std::string CommandExample(const std::string& command) {
    static constexpr std::pair<std::string_view, std::string_view> kExamples[] = {
        {"probe", "merlix-cli probe"},
        {"ports", "merlix-cli ports"},
        {"chips", "merlix-cli chips --json"},
        {"detect", "merlix-cli --adapter ch341a detect"},
        {"read",
         "merlix-cli read --chip 24C256 -o dump.bin\n  merlix-cli read --chip 24C256 --range 0x100-0x1FF"},
        {"write", "merlix-cli write --chip 24C256 -i firmware.hex"},
        {"restore", "merlix-cli restore --chip 24C256"},
        {"verify", "merlix-cli verify --chip 24C256 -i dump.bin"},
        {"fill", "merlix-cli fill --chip 24C02 --value 0x00 --offset 0x10 --length 16"},
        {"erase", "merlix-cli erase --chip 93C46x16"},
        {"blank-check", "merlix-cli blank-check --chip 25640"},
        {"set", "merlix-cli set 0x20 0x05 0x01 -r"},
        {"get", "merlix-cli get 0x20 0x05"},
        {"dump", "merlix-cli dump 0x50 -r 0x00-0x3F"},
        {"transfer", "merlix-cli transfer w1@0x50 0x00 r16@0x50"},
        {"monitor", "merlix-cli monitor --count 20"},
    };
    for (const auto& [name, example] : kExamples) {
        if (name == command) return "Example:\n  " + std::string(example);
    }
    return {};
}

}  // namespace cli
