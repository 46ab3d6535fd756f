// A logic analyzer's raw samples of I2C traffic, made by hand for the
// suites: one byte a sample, SCL on bit 0 (D0) and SDA on bit 1 (D1) unless
// told otherwise, four samples a bit. And a stand-in for sigrok-cli that answers --show as a
// device with eight channels and streams such samples.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace testsupport {

class I2cSamples {
public:
    explicit I2cSamples(int sclBit = 0, int sdaBit = 1) : sclBit_(sclBit), sdaBit_(sdaBit) {}

    // The lines stand still for `samples`.
    I2cSamples& Idle(int samples) { return Put(scl_, sda_, samples); }
    // START, or a repeated START when SCL is low; Starts() keeps its sample.
    I2cSamples& Start() {
        if (!scl_) Put(false, true, 1).Put(true, true, 2);
        starts_.push_back(bytes_.size());
        return Put(true, false, 2).Put(false, false, 1);
    }
    // Eight bits MSB first, then the acknowledge (SDA low) or its absence.
    I2cSamples& Byte(std::uint8_t value, bool acked = true) {
        for (int bit = 7; bit >= 0; --bit) Bit((value >> bit) & 1);
        return Bit(!acked);
    }
    I2cSamples& Stop() { return Put(false, false, 1).Put(true, false, 2).Put(true, true, 2); }

    const std::string& Bytes() const { return bytes_; }
    const std::vector<std::uint64_t>& Starts() const { return starts_; }

private:
    int sclBit_;
    int sdaBit_;
    bool scl_ = true;
    bool sda_ = true;
    std::string bytes_;
    std::vector<std::uint64_t> starts_;

    I2cSamples& Bit(bool level) { return Put(false, level, 1).Put(true, level, 2).Put(false, level, 1); }
    I2cSamples& Put(bool scl, bool sda, int samples) {
        scl_ = scl;
        sda_ = sda;
        bytes_.append(static_cast<std::size_t>(samples),
                      static_cast<char>((scl ? 1 << sclBit_ : 0) | (sda ? 1 << sdaBit_ : 0)));
        return *this;
    }
};

// Writes `script`, a sigrok-cli that tells --show it is an eight-channel
// device sampling at `rateHz`, and otherwise streams each of `parts` (after
// `head`, a shell line or two), pausing 0.1 s between them, then runs `tail`.
inline void WriteFakeSigrok(const std::string& script, long long rateHz,
                            const std::vector<std::string>& parts, const std::string& tail,
                            const std::string& head = {}) {
    std::ofstream out(script);
    out << "#!/bin/sh\ncase \"$*\" in *--show*) printf 'Samplerate: " << rateHz
        << "\\n- D0: logic\\n- D1: logic\\n- D2: logic\\n- D3: logic\\n- D4: logic\\n- D5: logic\\n- D6: "
           "logic\\n- D7: logic\\n'; exit 0;; esac\n"
        << head << "\n";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string file = script + "." + std::to_string(i) + ".bin";
        std::ofstream(file, std::ios::binary) << parts[i];
        out << (i > 0 ? "sleep 0.1\n" : "") << "cat '" << file << "'\n";
    }
    out << tail << "\n";
    out.close();
    ::chmod(script.c_str(), 0700);
}

}  // namespace testsupport
