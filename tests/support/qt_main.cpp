// Test main for the widget suites: a QApplication on the offscreen platform,
// then GoogleTest.
#include <gtest/gtest.h>
#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // Settings the window remembers go to a test location, never the user's,
    // and one of this process's own: ctest runs suites side by side, and a
    // suite clearing the settings must not reach into another's test.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    static QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    QSettings(QStringLiteral("merlix"), QStringLiteral("merlix")).clear();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
