// Test main for the widget suites: a QApplication on the offscreen platform,
// the virtual counter, then GoogleTest.
#include <gtest/gtest.h>
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>

#include "platform/counter.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    static platform::VirtualCounter counter;
    platform::InstallCounter(&counter);
    // Settings the window remembers go to a test location, never the user's.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QSettings(QStringLiteral("merlix"), QStringLiteral("merlix")).clear();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
