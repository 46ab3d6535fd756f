// Test main for the widget suites: a QApplication on the offscreen platform,
// the virtual counter, then GoogleTest.
#include <QApplication>
#include <gtest/gtest.h>

#include "app/app_state.h"
#include "platform/counter.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    static platform::VirtualCounter counter;
    platform::InstallCounter(&counter);
    // The long-lived adapters were built before main() and read the steady
    // counter's frequency then; build them again on the virtual counter, or
    // every 1 ms pulse would spin a thousand times too long.
    g_adapter = hardware::PortAdapter();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
