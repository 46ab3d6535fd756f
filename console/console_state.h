// Process-wide state of the send console and the remarks base.
#pragma once

#include <string>

// The note of the last remark added or chosen, as the bytes of its line
// (from character 8 on for a chosen line, its leading blank included): the
// label the extended sliders panel gives a slot filled from the console.
extern std::string g_lastRemark;
