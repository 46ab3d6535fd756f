// Start-up: command line, backend choice, trace, bench caption mark.
#include "ui/main/startup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>

#include "eeprom/chip_table.h"
#include "platform/backend.h"
#include "platform/port_io.h"
#include "platform/tracing_port_io.h"
#include "ui/main/ui_seams.h"

namespace ui {

namespace {

using SimBench = simulator::SimulatedBench;

SimBench* g_activeBench = nullptr;
QString g_backendMark;  // caption mark of a backend other than direct I/O and the bench

const QString kBenchOption = QStringLiteral("bench");

// --bench takes an optional value, which QCommandLineParser cannot express:
// a bare --bench (not followed by a port name) becomes --bench=lpt1.
QStringList NormaliseBenchOption(const QStringList& arguments) {
    static const QStringList kPorts = {QStringLiteral("lpt1"), QStringLiteral("lpt2"),
                                       QStringLiteral("none")};
    QStringList out;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        const bool bare = arg == QStringLiteral("--bench") || arg == QStringLiteral("-bench");
        const bool valueFollows = i + 1 < arguments.size() && kPorts.contains(arguments[i + 1].toLower());
        out << (bare && !valueFollows ? QStringLiteral("--bench=lpt1") : arg);
    }
    return out;
}

void AddOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("I2C bus monitor and serial EEPROM programmer for the parallel-port adapter.\n"
                       "Without options it uses the parallel port when the machine has one that this\n"
                       "process may use, and the simulated bench otherwise."));
    parser.addOptions({
        {kBenchOption,
         QStringLiteral("Run on the simulated bench, the adapter on PORT: lpt1 (default), lpt2 or "
                        "none."),
         QStringLiteral("PORT")},
        {QStringLiteral("direct"),
         QStringLiteral("Use the parallel port directly (needs root or CAP_SYS_RAWIO).")},
        {QStringLiteral("ppdev"), QStringLiteral("Use the ppdev devices DEV1 (LPT1) and DEV2 (LPT2)."),
         QStringLiteral("DEV1[,DEV2]")},
        {QStringLiteral("check-ports"),
         QStringLiteral("Report the parallel ports and access rights, then exit.")},
        {QStringLiteral("trace"),
         QStringLiteral("Write every port access to FILE (- for standard output), a run of the same access "
                        "as one line with its count."),
         QStringLiteral("FILE")},
        {QStringLiteral("traffic"),
         QStringLiteral("Bench: play the bus capture in FILE as a second bus master."),
         QStringLiteral("FILE")},
        {QStringLiteral("bench-chip"),
         QStringLiteral("Bench: keep chip NAME (a chip list text) in the socket."), QStringLiteral("NAME")},
        {QStringLiteral("bench-window"), QStringLiteral("Bench: show the bench's own window.")},
        {QStringLiteral("transfers-window"),
         QStringLiteral("Show the bus transfers window (the monitor's transfers, decoded).")},
    });
    parser.addHelpOption();
}

QString PortName(SimBench::Port port) {
    switch (port) {
        case SimBench::Port::Lpt1:
            return QStringLiteral("the adapter on LPT1");
        case SimBench::Port::Lpt2:
            return QStringLiteral("the adapter on LPT2");
        case SimBench::Port::None:
            return QStringLiteral("no adapter attached");
    }
    return {};
}

// The chip list entry `name` stands for, in the list's own spelling; any
// case will do. Unknown names are refused: the socket would stay empty.
bool KnownBenchChip(const QString& name, QString& chip, QString& error) {
    QStringList names;
    for (const char* entry : eeprom::kChipListEntries) {
        if (*entry == '\0') continue;
        if (name.compare(QLatin1String(entry), Qt::CaseInsensitive) == 0) {
            chip = QLatin1String(entry);
            return true;
        }
        names << QStringLiteral("'%1'").arg(QLatin1String(entry));
    }
    const QString last = names.takeLast();
    error = QStringLiteral("--bench-chip takes %1 or %2, not '%3'")
                .arg(names.join(QStringLiteral(", ")), last, name);
    return false;
}

}  // namespace

bool ParseCommandLine(const QStringList& arguments, StartupOptions& options, QString& error) {
    QCommandLineParser parser;
    AddOptions(parser);
    if (!parser.parse(NormaliseBenchOption(arguments))) {
        error = parser.errorText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
        return false;
    }
    options = StartupOptions{};
    options.help = parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"));
    options.checkPorts = parser.isSet(QStringLiteral("check-ports"));
    options.benchWindow = parser.isSet(QStringLiteral("bench-window"));
    options.transfersWindow = parser.isSet(QStringLiteral("transfers-window"));
    options.traceFile = parser.value(QStringLiteral("trace"));
    options.trafficFile = parser.value(QStringLiteral("traffic"));
    // An empty value is a slip (an unset shell variable), not a wish to go
    // without: running untraced, without the capture or with an empty socket
    // would hide it.
    for (const char* name : {"trace", "traffic", "ppdev", "bench-chip"}) {
        if (parser.isSet(QLatin1String(name)) && parser.value(QLatin1String(name)).isEmpty()) {
            error = QStringLiteral("--%1 needs a value, not an empty text").arg(QLatin1String(name));
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("bench-chip")) &&
        !KnownBenchChip(parser.value(QStringLiteral("bench-chip")), options.benchChip, error)) {
        return false;
    }

    int forced = 0;
    if (parser.isSet(kBenchOption)) {
        ++forced;
        options.backend = StartupOptions::Backend::Bench;
        const QString port = parser.value(kBenchOption).toLower();
        if (port == QStringLiteral("lpt1")) {
            options.benchPort = SimBench::Port::Lpt1;
        } else if (port == QStringLiteral("lpt2")) {
            options.benchPort = SimBench::Port::Lpt2;
        } else if (port == QStringLiteral("none")) {
            options.benchPort = SimBench::Port::None;
        } else {
            error = QStringLiteral("--bench takes lpt1, lpt2 or none, not '%1'").arg(port);
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("direct"))) {
        ++forced;
        options.backend = StartupOptions::Backend::Direct;
    }
    if (parser.isSet(QStringLiteral("ppdev"))) {
        ++forced;
        options.backend = StartupOptions::Backend::Ppdev;
        options.ppdevDevices =
            parser.value(QStringLiteral("ppdev")).split(QLatin1Char(','), Qt::SkipEmptyParts);
        if (options.ppdevDevices.isEmpty() || options.ppdevDevices.size() > 2) {
            error = QStringLiteral("--ppdev takes one or two devices, such as /dev/parport0,/dev/parport1");
            return false;
        }
    }
    if (forced > 1) {
        error = QStringLiteral("--bench, --direct and --ppdev exclude each other");
        return false;
    }
    return true;
}

QString CommandLineHelp() {
    QCommandLineParser parser;
    AddOptions(parser);
    QString text = parser.helpText();
    text.replace(QStringLiteral("<executable_name>"), QStringLiteral("merlix"));
    text.replace(QStringLiteral("--bench <PORT>"), QStringLiteral("--bench[=PORT]"));
    return text;
}

AdapterBackend::AdapterBackend() = default;

AdapterBackend::~AdapterBackend() {
    if (installed_) platform::InstallPortIo(previous_);
    if (bench_ && g_activeBench == bench_.get()) g_activeBench = nullptr;
}

bool AdapterBackend::Open(const StartupOptions& options, QString& error) {
    platform::PortIo* io = nullptr;
    QString why;
    if (options.backend != StartupOptions::Backend::Bench) {
        platform::BackendRequest request;
        if (options.backend == StartupOptions::Backend::Direct)
            request.force = platform::BackendRequest::Force::Direct;
        if (options.backend == StartupOptions::Backend::Ppdev) {
            request.force = platform::BackendRequest::Force::Ppdev;
            for (const QString& device : options.ppdevDevices)
                request.ppdevDevices.push_back(device.toStdString());
        }
        platform::BackendResult result = platform::ChooseHardwareBackend(request);
        if (result.failed) {
            error = QString::fromStdString(result.reason);
            return false;
        }
        if (result.kind != platform::BackendResult::Kind::Bench && result.io) {
            hardware_ = std::move(result.io);
            io = hardware_.get();
            // Direct I/O is what the program was made for; anything else is
            // named in the caption and on stderr.
            if (result.kind == platform::BackendResult::Kind::Ppdev) {
                g_backendMark = QStringLiteral("  [%1]").arg(QString::fromStdString(result.label));
                notice_ = QStringLiteral("using %1").arg(QString::fromStdString(result.label));
            }
        } else {
            why = QString::fromStdString(result.reason);
        }
    } else {
        why = QStringLiteral("--bench was given");
    }

    if (!io) {
        SimBench::Config config;
        config.port =
            options.backend == StartupOptions::Backend::Bench ? options.benchPort : SimBench::Port::Lpt1;
        config.fixedSocketChip = options.benchChip.toStdString();
        if (!options.trafficFile.isEmpty()) {
            config.traffic = SimBench::Traffic::Capture;
            config.captureFile = options.trafficFile.toStdString();
        }
        bench_ = std::make_unique<SimBench>(config);
        std::string trafficError;
        if (bench_->TrafficError(trafficError)) {
            error = QString::fromStdString(trafficError);
            return false;
        }
        io = bench_.get();
        notice_ =
            QStringLiteral("running on the simulated bench with %1: %2").arg(PortName(config.port), why);
    } else if (!options.trafficFile.isEmpty() || !options.benchChip.isEmpty()) {
        error = QStringLiteral("--traffic and --bench-chip need the simulated bench");
        return false;
    }

    if (!options.traceFile.isEmpty()) {
        const std::string capture =
            bench_ ? QFile::encodeName(options.trafficFile).toStdString() : std::string();
        trace_ = std::make_unique<platform::TracingPortIo>(
            *io, QFile::encodeName(options.traceFile).toStdString(), capture);
        if (!trace_->Ok()) {
            error = QString::fromStdString(trace_->Error());
            return false;
        }
        // A trace piped into a reader that quits must stop the trace, not kill
        // the program with SIGPIPE: the failed write is reported instead.
        if (options.traceFile == QStringLiteral("-")) std::signal(SIGPIPE, SIG_IGN);
        trace_->OnWriteError([](const std::string& sentence) {
            std::fprintf(stderr, "merlix: %s\n", sentence.c_str());
            // Later, from the event loop: a message box opened inside a port
            // access would run other handlers in the middle of a transfer.
            if (QCoreApplication* app = QCoreApplication::instance()) {
                const QString text = QString::fromStdString(sentence);
                QMetaObject::invokeMethod(
                    app, [text] { ShowMessage(text); }, Qt::QueuedConnection);
            }
        });
        io = trace_.get();
    }
    previous_ = platform::InstallPortIo(io);
    installed_ = true;
    if (bench_) SetActiveBench(bench_.get());
    return true;
}

simulator::SimulatedBench* ActiveBench() { return g_activeBench; }

void SetActiveBench(simulator::SimulatedBench* bench) { g_activeBench = bench; }

QString BenchCaptionMark() { return g_activeBench ? QStringLiteral("  [simulated bench]") : g_backendMark; }

}  // namespace ui
