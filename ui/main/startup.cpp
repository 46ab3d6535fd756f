// Start-up of the window: the command line, the active bench, the caption mark.
#include "ui/main/startup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <functional>

#include "startup/adapter_list.h"
#include "ui/main/app_state.h"
#include "ui/main/ui_seams.h"

namespace ui {

namespace {

using SimBench = simulator::SimulatedBench;

SimBench* g_activeBench = nullptr;
QString g_backendMark;  // caption mark of a backend other than direct I/O and the bench
QString g_adapterInUse = QStringLiteral("the parallel adapter");
std::function<void(bool)> g_benchOrg;
int g_parallelPort = 0;

constexpr const char* kAdapterKey = "adapter/choice";
constexpr const char* kAnalyzerKey = "analyzer/";

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
        {QStringLiteral("adapter"),
         QStringLiteral("Use ADAPTER: %1. Without it (and without a choice remembered from the window's "
                        "Adapter menu): %2.")
             .arg(QString::fromStdString(startup::AdapterHelp()),
                  QString::fromStdString(startup::AutomaticOrderText())),
         QStringLiteral("ADAPTER")},
        {QStringLiteral("bench-adapter"),
         QStringLiteral("Run on the simulated bench through KIND's real code and its fake: %1.")
             .arg(QString::fromStdString(startup::BenchAdapterHelp())),
         QStringLiteral("KIND")},
        {QStringLiteral("check-ports"),
         QStringLiteral("Report the parallel ports and access rights, then exit.")},
        {QStringLiteral("trace"),
         QStringLiteral("Write every port access to FILE (- for standard output), a run of the same access "
                        "as one line with its count."),
         QStringLiteral("FILE")},
        {QStringLiteral("traffic"),
         QStringLiteral("Bench: play the bus capture in FILE as a second bus master."),
         QStringLiteral("FILE")},
        {QStringLiteral("traffic-rate"),
         QStringLiteral("Bench: the sample rate of the --traffic capture's sample numbers (\"1234-5678 "
                        "i2c-1: Start\" lines); each transfer then plays at its own time, its first sample "
                        "over HZ."),
         QStringLiteral("HZ")},
        {QStringLiteral("bench-vcd"),
         QStringLiteral("Bench: write the I2C bus's SCL and SDA, recorded from the start, to FILE as a VCD "
                        "waveform when the program ends."),
         QStringLiteral("FILE")},
        {QStringLiteral("bench-chip"),
         QStringLiteral("Bench: keep chip NAME (a chip list text, or a part such as 24C256) in its socket."),
         QStringLiteral("NAME")},
        {QStringLiteral("bench-fault"),
         QStringLiteral("Bench: switch faults on from the start: adapter-absent, controller-absent, "
                        "bus-busy, slave-nack, chip-no-store, slow-parts."),
         QStringLiteral("NAME[,NAME...]")},
        {QStringLiteral("bench-window"), QStringLiteral("Bench: show the bench's own window.")},
        {QStringLiteral("transfers-window"),
         QStringLiteral("Show the bus transfers window (the monitor's transfers, decoded).")},
        {QStringLiteral("programmer"),
         QStringLiteral("Open the chip programmer window over the main window (any part on any adapter).")},
        {QStringLiteral("analyzer"),
         QStringLiteral("The monitor watches the bus through a logic analyzer, run by sigrok-cli with DRIVER "
                        "(fx2lafw, or fx2lafw:conn=BUS.ADDRESS for one of several), whatever the adapter."),
         QStringLiteral("DRIVER[:conn=...]")},
        {QStringLiteral("analyzer-file"),
         QStringLiteral("The monitor watches a recorded capture instead (a sigrok session .sr, or a VCD "
                        "such as --bench-vcd writes), as fast as it decodes."),
         QStringLiteral("FILE")},
        {QStringLiteral("realtime"), QStringLiteral("Play --analyzer-file at its own pace.")},
        {QStringLiteral("analyzer-pins"),
         QStringLiteral("The analyzer's channels on SCL and SDA (default scl=D0,sda=D1)."),
         QStringLiteral("scl=Dn,sda=Dm")},
        {QStringLiteral("analyzer-rate"),
         QStringLiteral("The analyzer's sample rate (default 1M), %1.")
             .arg(QLatin1String(startup::kAnalyzerRateRule)),
         QStringLiteral("RATE")},
    });
    parser.addHelpOption();
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
    options.programmerWindow = parser.isSet(QStringLiteral("programmer"));
    startup::BackendOptions& adapter = options.adapter;
    adapter.traceFile = QFile::encodeName(parser.value(QStringLiteral("trace"))).toStdString();
    adapter.trafficFile = QFile::encodeName(parser.value(QStringLiteral("traffic"))).toStdString();
    adapter.trafficRate = parser.value(QStringLiteral("traffic-rate")).toStdString();
    adapter.benchVcdFile = QFile::encodeName(parser.value(QStringLiteral("bench-vcd"))).toStdString();
    // An empty value is a slip (an unset shell variable), not a wish to go
    // without: running untraced, without the capture or with an empty socket
    // would hide it.
    for (const char* name :
         {"trace", "traffic", "traffic-rate", "bench-vcd", "ppdev", "bench-chip", "bench-fault", "adapter",
          "bench-adapter", "analyzer", "analyzer-file", "analyzer-pins", "analyzer-rate"}) {
        if (parser.isSet(QLatin1String(name)) && parser.value(QLatin1String(name)).isEmpty()) {
            error = QStringLiteral("--%1 needs a value, not an empty text").arg(QLatin1String(name));
            return false;
        }
    }
    std::string why;
    if (parser.isSet(QStringLiteral("bench-chip")) &&
        !startup::KnownBenchChip(parser.value(QStringLiteral("bench-chip")).toStdString(), adapter.benchChip,
                                 why)) {
        error = QString::fromStdString(why);
        return false;
    }
    if (parser.isSet(QStringLiteral("bench-fault")) &&
        !startup::ParseBenchFaults(parser.value(QStringLiteral("bench-fault")).toStdString(), adapter.faults,
                                   why)) {
        error = QString::fromStdString(why);
        return false;
    }

    const startup::AnalyzerArguments analyzer{
        parser.value(QStringLiteral("analyzer")).toStdString(),
        parser.value(QStringLiteral("analyzer-pins")).toStdString(),
        parser.value(QStringLiteral("analyzer-rate")).toStdString(),
        QFile::encodeName(parser.value(QStringLiteral("analyzer-file"))).toStdString(),
        parser.isSet(QStringLiteral("realtime"))};
    monitor::AnalyzerSettings settings;
    if (!startup::ParseAnalyzerArguments(analyzer, settings, why)) {
        error = QString::fromStdString(why);
        return false;
    }
    if (!analyzer.device.empty() || !analyzer.file.empty()) options.analyzer = settings;

    startup::AdapterArguments given;
    given.bench = parser.isSet(kBenchOption);
    given.benchPort = parser.value(kBenchOption).toStdString();
    given.direct = parser.isSet(QStringLiteral("direct"));
    given.ppdev = parser.isSet(QStringLiteral("ppdev"));
    given.ppdevDevices = QFile::encodeName(parser.value(QStringLiteral("ppdev"))).toStdString();
    given.adapter = parser.isSet(QStringLiteral("adapter"));
    given.adapterName = QFile::encodeName(parser.value(QStringLiteral("adapter"))).toStdString();
    given.benchAdapter = parser.isSet(QStringLiteral("bench-adapter"));
    given.benchAdapterName = parser.value(QStringLiteral("bench-adapter")).toStdString();
    if (!startup::ApplyAdapterArguments(given, adapter, why)) {
        error = QString::fromStdString(why);
        return false;
    }
    options.adapterGiven = given.bench || given.direct || given.ppdev || given.adapter || given.benchAdapter;
    if (options.checkPorts) {
        // The survey looks at this machine's own ports, never the bench's,
        // and traces nothing: a backend option here is a slip, said as one.
        QStringList given;
        for (const QString& name :
             {kBenchOption, QStringLiteral("direct"), QStringLiteral("ppdev"), QStringLiteral("adapter"),
              QStringLiteral("bench-adapter"), QStringLiteral("trace"), QStringLiteral("traffic"),
              QStringLiteral("traffic-rate"), QStringLiteral("bench-chip"), QStringLiteral("bench-fault"),
              QStringLiteral("bench-window"), QStringLiteral("bench-vcd"), QStringLiteral("analyzer"),
              QStringLiteral("analyzer-file")}) {
            if (parser.isSet(name)) given << QStringLiteral("--") + name;
        }
        if (!given.isEmpty()) {
            error = QStringLiteral("--check-ports surveys this machine's own ports and takes no %1")
                        .arg(given.join(QStringLiteral(", ")));
            return false;
        }
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

QString RememberedAdapter() { return ToolSettings().value(QLatin1String(kAdapterKey)).toString(); }

void RememberAdapter(const QString& choice) { ToolSettings().setValue(QLatin1String(kAdapterKey), choice); }

bool ApplyRememberedAdapter(StartupOptions& options) {
    const QString choice = RememberedAdapter();
    if (choice.isEmpty()) return false;
    startup::AdapterArguments given;
    if (choice.startsWith(QLatin1String("bench:"))) {
        given.benchAdapter = true;
        given.benchAdapterName = choice.mid(6).toStdString();
    } else {
        given.adapter = true;
        given.adapterName = QFile::encodeName(choice).toStdString();
    }
    startup::BackendOptions adapter = options.adapter;
    std::string error;
    if (!startup::ApplyAdapterArguments(given, adapter, error)) return false;
    options.adapter = adapter;
    return true;
}

AnalyzerChoice RememberedAnalyzer() {
    QSettings settings = ToolSettings();
    const QString key = QLatin1String(kAnalyzerKey);
    AnalyzerChoice choice;
    choice.on = settings.value(key + QLatin1String("on"), false).toBool();
    choice.device = settings.value(key + QLatin1String("device"), choice.device).toString();
    choice.pins = settings.value(key + QLatin1String("pins"), choice.pins).toString();
    choice.rate = settings.value(key + QLatin1String("rate"), choice.rate).toString();
    choice.file = settings.value(key + QLatin1String("file"), choice.file).toString();
    choice.realtime = settings.value(key + QLatin1String("realtime"), false).toBool();
    return choice;
}

void RememberAnalyzer(const AnalyzerChoice& choice) {
    QSettings settings = ToolSettings();
    const QString key = QLatin1String(kAnalyzerKey);
    settings.setValue(key + QLatin1String("on"), choice.on);
    settings.setValue(key + QLatin1String("device"), choice.device);
    settings.setValue(key + QLatin1String("pins"), choice.pins);
    settings.setValue(key + QLatin1String("rate"), choice.rate);
    settings.setValue(key + QLatin1String("file"), choice.file);
    settings.setValue(key + QLatin1String("realtime"), choice.realtime);
}

bool AnalyzerSettingsOf(const AnalyzerChoice& choice, monitor::AnalyzerSettings& settings, QString& error) {
    const bool fromFile = !choice.file.trimmed().isEmpty();
    if (!fromFile && choice.device.trimmed().isEmpty()) {
        error = QStringLiteral("Name the analyzer's driver, such as fx2lafw, or a recorded capture");
        return false;
    }
    std::string why;
    if (!startup::ParseAnalyzerArguments(
            {fromFile ? std::string() : choice.device.trimmed().toStdString(),
             choice.pins.trimmed().toStdString(), choice.rate.trimmed().toStdString(),
             fromFile ? QFile::encodeName(choice.file.trimmed()).toStdString() : std::string(),
             fromFile && choice.realtime},
            settings, why)) {
        error = QString::fromStdString(why);
        return false;
    }
    return true;
}

QString AdapterInUse() { return g_adapterInUse; }

bool StrapBenchOrg(bool high) {
    if (g_benchOrg) g_benchOrg(high);
    return static_cast<bool>(g_benchOrg);
}

int HeldParallelPort() { return g_parallelPort; }

AdapterBackend::~AdapterBackend() {
    if (Bench() && g_activeBench == Bench()) g_activeBench = nullptr;
    g_backendMark.clear();
    g_adapterInUse = QStringLiteral("the parallel adapter");
    g_benchOrg = nullptr;
    g_parallelPort = 0;
}

bool AdapterBackend::Open(const StartupOptions& options, QString& error) {
    // Later, from the event loop: a message box opened inside a port access
    // would run other handlers in the middle of a transfer.
    OnTraceWriteError([](const std::string& sentence) {
        if (QCoreApplication* app = QCoreApplication::instance()) {
            const QString text = QString::fromStdString(sentence);
            QMetaObject::invokeMethod(
                app, [text] { ShowMessage(text); }, Qt::QueuedConnection);
        }
    });
    std::string why;
    if (!startup::AdapterBackend::Open(options.adapter, why)) {
        error = QString::fromStdString(why);
        return false;
    }
    const QString label = QString::fromStdString(Label());
    if (Bench()) {
        SetActiveBench(Bench());
        // The bench window exports the bus recorded so far, so the window's bench always records it.
        RecordBusWaveform();
        // The bench's own mark says the bench; the adapter under it is named after it.
        if (!ThroughPorts()) g_backendMark = QStringLiteral("  [simulated bench, %1]").arg(label);
    } else if (!label.isEmpty()) {
        g_backendMark = QStringLiteral("  [%1]").arg(label);
    }
    if (!ThroughPorts())
        g_adapterInUse = (Bench() ? QStringLiteral("the %1") : QStringLiteral("the adapter %1")).arg(label);
    g_benchOrg = nullptr;
    if (startup::AdapterBackend::StrapBenchOrg(false))
        g_benchOrg = [this](bool high) { startup::AdapterBackend::StrapBenchOrg(high); };
    g_parallelPort = ParallelPort();
    return true;
}

simulator::SimulatedBench* ActiveBench() { return g_activeBench; }

void SetActiveBench(simulator::SimulatedBench* bench) { g_activeBench = bench; }

startup::BenchControl ActiveBenchControl() { return startup::BenchControl(g_activeBench); }

QString BenchCaptionMark() {
    if (!g_activeBench || !g_backendMark.isEmpty()) return g_backendMark;
    return QStringLiteral("  [simulated bench]");
}

}  // namespace ui
