// Test main for the widget suites: a QApplication on the offscreen platform,
// the virtual counter, then GoogleTest.
#include <QApplication>
#include <gtest/gtest.h>

#include "platform/counter.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    static platform::VirtualCounter counter;
    platform::InstallCounter(&counter);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
