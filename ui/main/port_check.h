// --check-ports: reports what the machine offers for the adapter (parallel
// ports, access rights, ppdev devices) and exits.
#pragma once

namespace ui {

// Runs the check, prints its report on stdout and returns the exit status.
int RunPortCheck();

}  // namespace ui
