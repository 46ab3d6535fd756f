// The application object and the program's start-up sequence.
#include "app/tool_app.h"

#include <cstdio>

#include "app/main_dialog.h"
#include "app/port_check.h"
#include "app/startup.h"
#include "app/ui_seams.h"
#include "hardware/port_adapter.h"

ToolApp::ToolApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("merlix"));
    setApplicationDisplayName(QStringLiteral("MERLIX"));
    setApplicationVersion(QStringLiteral("4.22"));
    RouteCounterMessagesToWindow();
}

void RouteCounterMessagesToWindow() {
    // The DAC panel builds an adapter per frame, so the check can speak long
    // after start-up.
    hardware::SetCounterErrorSink([](const std::string& text) { ShowMessage(QString::fromStdString(text)); });
}

ToolApp::~ToolApp() { hardware::SetCounterErrorSink(nullptr); }

bool ToolApp::InitInstance() {
    MainDialog dialog;
    dialog.setWindowTitle(dialog.windowTitle() + BenchCaptionMark());
    dialog.exec();
    return false;
}

int RunMerlix(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    StartupOptions options;
    QString error;
    if (!ParseCommandLine(arguments, options, error)) {
        std::fprintf(stderr, "merlix: %s (see --help)\n", qPrintable(error));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(CommandLineHelp()), stdout);
        return 0;
    }
    if (options.checkPorts) return RunPortCheck();

    AdapterBackend backend;
    if (!backend.Open(options, error)) {
        std::fprintf(stderr, "merlix: %s\n", qPrintable(error));
        return 1;
    }
    if (!backend.BenchNotice().isEmpty()) std::fprintf(stderr, "merlix: %s\n", qPrintable(backend.BenchNotice()));

    ToolApp app(argc, argv);
    app.InitInstance();
    return 0;
}
