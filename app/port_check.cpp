// The --check-ports entry point. The port survey itself belongs to the
// platform layer; this is where the program reaches it.
#include "app/port_check.h"

#include <cstdio>

int RunPortCheck() {
    std::fputs("merlix: --check-ports is not available yet\n", stderr);
    return 1;
}
