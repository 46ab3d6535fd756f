// The application object and the program's start-up sequence.
#include "ui/main/tool_app.h"

#include <QMessageBox>
#include <QSessionManager>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <string>

#include "hardware/port_adapter.h"
#include "platform/privileges.h"
#include "startup/adapter_check.h"
#include "ui/main/exit_signals.h"
#include "ui/main/main_dialog.h"
#include "ui/main/startup.h"
#include "ui/main/ui_seams.h"
#include "ui/programmer/programmer_window.h"

namespace ui {

ToolApp::ToolApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("merlix"));
    setApplicationDisplayName(QStringLiteral("MERLIX"));
    setApplicationVersion(QStringLiteral("4.22"));
}

hardware::CounterErrorSink WindowCounterErrors() {
    // The DAC panel builds an adapter per frame, so the check can speak long
    // after start-up.
    return [](const std::string& text) {
        if (QCoreApplication::instance()) {
            ShowError(QString::fromStdString(text));
        } else {
            std::fprintf(stderr, "%s\n", text.c_str());
        }
    };
}

ToolApp::~ToolApp() = default;

bool ToolApp::InitInstance() {
    MainDialog dialog(nullptr, std::move(session));
    dialog.setWindowTitle(dialog.windowTitle() + BenchCaptionMark());
    if (analyzer) dialog.Monitor().UseAnalyzer(&*analyzer);
    if (openBenchWindow) dialog.ShowBenchWindow();
    if (openTransfersWindow) dialog.Monitor().ShowTransfersWindow();
    if (openProgrammerWindow) dialog.ShowProgrammerWindow();
    // The adapter's warning (a USB board's 5 V lines): one box drawn inside
    // the main window, never a window of its own (a second top-level window
    // over the first stays unpainted on some X servers), until OK is pressed.
    if (!adapterWarning.isEmpty()) ShowNoticeInside(dialog, adapterWarning);
    // SIGINT and SIGTERM close the window as its close button does; a chip
    // job is cancelled first (it stops after the page in flight and says what
    // the chip holds), and the close follows once it has ended.
    std::function<void()> closeWindow;
    closeWindow = [&dialog, &closeWindow] {
        ProgrammerWindow* programmer = dialog.OpenedProgrammerWindow();
        if (programmer != nullptr && programmer->JobRunning()) {
            programmer->CancelJob();
            QTimer::singleShot(50, &dialog, closeWindow);
            return;
        }
        dialog.reject();
    };
    const ExitSignals exitSignals(closeWindow);
    // The desktop session ending asks about the programmer's edits too.
    connect(this, &QGuiApplication::commitDataRequest, &dialog, [&dialog](QSessionManager& manager) {
        ProgrammerWindow* programmer = dialog.OpenedProgrammerWindow();
        if (programmer == nullptr || !programmer->HasUnsavedEdits() || !manager.allowsInteraction()) return;
        const bool mayGo = programmer->MayQuit();
        manager.release();
        if (!mayGo) manager.cancel();
    });
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
    if (options.checkPorts) return startup::RunAdapterCheck(std::cout);

    // Without an adapter option, the one chosen in the window's "Adapter"
    // menu; when that one cannot be opened any more, the choice made as
    // without it.
    auto backend = std::make_unique<AdapterBackend>();
    StartupOptions remembered = options;
    bool opened = false;
    if (!options.adapterGiven && ApplyRememberedAdapter(remembered)) {
        opened = backend->Open(remembered, error);
        if (!opened) {
            std::fprintf(stderr,
                         "merlix: the adapter chosen in the window (%s) cannot be used: %s; choosing as "
                         "without --adapter\n",
                         qPrintable(RememberedAdapter()), qPrintable(error));
            backend = std::make_unique<AdapterBackend>();
        }
    }
    if (!opened && !backend->Open(options, error)) {
        std::fprintf(stderr, "merlix: %s\n", qPrintable(error));
        return 1;
    }
    if (!backend->BenchNotice().isEmpty())
        std::fprintf(stderr, "merlix: %s\n", qPrintable(backend->BenchNotice()));
    const std::string warning = backend->TakeVoltageWarning();
    if (!warning.empty()) std::fprintf(stderr, "merlix: %s\n", warning.c_str());
    if (options.benchWindow && !backend->OnBench()) {
        std::fputs("merlix: --bench-window needs the simulated bench\n", stderr);
        return 1;
    }
    // The main adapter is built before the application object, so that its
    // counter check speaks on stderr before any window exists.
    std::unique_ptr<eeprom::Session> session = backend->NewSession(WindowCounterErrors());
    if (!backend->Capabilities().empty())
        std::fprintf(stderr, "merlix: %s\n", backend->Capabilities().c_str());
    // The ports are open and stay usable: the window, its file dialogs above
    // all, runs as the user who started the program, never as root.
    std::string dropError;
    const platform::DropResult dropped = platform::DropRootPrivileges(
        platform::HostPrivileges(), options.adapter.choice.mode == "direct", dropError);
    if (dropped == platform::DropResult::Refused || dropped == platform::DropResult::Failed) {
        std::fprintf(stderr, "merlix: %s\n", dropError.c_str());
        return 1;
    }

    ToolApp app(argc, argv);
    app.openBenchWindow = options.benchWindow;
    app.openTransfersWindow = options.transfersWindow;
    app.openProgrammerWindow = options.programmerWindow;
    app.adapterWarning = QString::fromStdString(warning);
    app.session = std::move(session);
    app.analyzer = options.analyzer;
    if (const AnalyzerChoice remembered = RememberedAnalyzer(); !app.analyzer && remembered.on) {
        monitor::AnalyzerSettings settings;
        QString why;
        if (AnalyzerSettingsOf(remembered, settings, why)) app.analyzer = settings;
    }
    app.InitInstance();
    std::string waveformError;
    if (!backend->SaveWaveform(waveformError)) {
        std::fprintf(stderr, "merlix: %s\n", waveformError.c_str());
        return 1;
    }
    return 0;
}

}  // namespace ui
