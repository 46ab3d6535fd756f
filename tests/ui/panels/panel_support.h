// Helpers of the panel suites: the latch loads a port recorder saw at one
// port base (the line sequence a frame is checked on) and typed lookups of
// panel controls.
#pragma once

#include <QLabel>
#include <QLineEdit>

#include <cstdint>
#include <vector>

#include "support/bench_fixture.h"

namespace paneltest {

// The bytes the latch took (data port value at each rising /INIT) at `base`,
// from the log entry `from` on.
inline std::vector<std::uint8_t> LatchLoads(const testsupport::RecordingPortIo& recorder, int base,
                                            std::size_t from = 0) {
    std::vector<std::uint8_t> loads;
    std::uint8_t data = 0;
    bool initLow = false;
    for (std::size_t i = from; i < recorder.log.size(); ++i) {
        const auto& a = recorder.log[i];
        if (!a.out) continue;
        if (a.port == base) {
            data = a.value;
        } else if (a.port == base + 2) {
            const bool high = a.value & 0x04;
            if (initLow && high) loads.push_back(data);
            initLow = !high;
        }
    }
    return loads;
}

inline QString TextOf(QWidget* control) {
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
    return QStringLiteral("<no text control>");
}

}  // namespace paneltest
