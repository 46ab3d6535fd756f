// Start-up of the window: the command line, the active bench, the caption mark.
#include "ui/main/startup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <functional>

#include "startup/adapter_list.h"
#include "startup/option_table.h"
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
    for (const startup::BackendOption& row : startup::BackendOptionTable()) {
        if (!row.InWindow()) continue;
        parser.addOption(QCommandLineOption(QLatin1String(row.name), QString::fromStdString(row.WindowHelp()),
                                            QLatin1String(row.valueName)));
    }
    parser.addHelpOption();
}

// The values of the backend options `parser` found, as the table says where each goes.
startup::BackendArguments ArgumentsOf(const QCommandLineParser& parser) {
    startup::BackendArguments arguments;
    for (const startup::BackendOption& row : startup::BackendOptionTable()) {
        const QString name = QLatin1String(row.name);
        if (!row.InWindow() || !parser.isSet(name)) continue;
        arguments.given.insert(row.name);
        const auto text = [&row](const QString& value) {
            return row.path ? QFile::encodeName(value).toStdString() : value.toStdString();
        };
        if (row.text) *row.text(arguments) = text(parser.value(name));
        if (row.flag) *row.flag(arguments) = true;
        if (row.list) {
            for (const QString& value : parser.values(name)) row.list(arguments)->push_back(text(value));
        }
    }
    return arguments;
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
    const startup::BackendArguments values = ArgumentsOf(parser);
    options.checkPorts = values.Given("check-ports");
    options.benchWindow = values.Given("bench-window");
    options.transfersWindow = values.Given("transfers-window");
    options.programmerWindow = values.Given("programmer");
    startup::BackendOptions& adapter = options.adapter;
    adapter.traceFile = values.trace;
    adapter.trafficFile = values.traffic;
    adapter.trafficRate = values.trafficRate;
    adapter.benchVcdFile = values.benchVcd;
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
    if (values.Given("bench-chip") && !startup::KnownBenchChip(values.benchChip, adapter.benchChip, why)) {
        error = QString::fromStdString(why);
        return false;
    }
    if (values.Given("bench-fault") && !startup::ParseBenchFaults(values.benchFaults, adapter.faults, why)) {
        error = QString::fromStdString(why);
        return false;
    }

    monitor::AnalyzerSettings settings;
    if (!startup::ParseAnalyzerArguments(values.analyzer, settings, why)) {
        error = QString::fromStdString(why);
        return false;
    }
    if (!values.analyzer.device.empty() || !values.analyzer.file.empty()) options.analyzer = settings;

    startup::AdapterArguments named;
    named.bench = values.Given("bench");
    named.benchPort = values.benchPort;
    named.direct = values.direct;
    named.ppdev = values.Given("ppdev");
    named.ppdevDevices = values.ppdev;
    named.adapter = !values.adapters.empty();
    named.adapterName = named.adapter ? values.adapters.back() : std::string();
    named.benchAdapter = values.Given("bench-adapter");
    named.benchAdapterName = values.benchAdapter;
    if (!startup::ApplyAdapterArguments(named, adapter, why)) {
        error = QString::fromStdString(why);
        return false;
    }
    options.adapterGiven = named.bench || named.direct || named.ppdev || named.adapter || named.benchAdapter;
    if (options.checkPorts) {
        // The survey looks at this machine's own ports, never the bench's,
        // and traces nothing: a backend option here is a slip, said as one.
        QStringList refused;
        for (const startup::BackendOption& row : startup::BackendOptionTable()) {
            if (row.InWindow() && row.refusedBySurvey && values.Given(row.name))
                refused << QStringLiteral("--") + QLatin1String(row.name);
        }
        if (!refused.isEmpty()) {
            error = QStringLiteral("--check-ports surveys this machine's own ports and takes no %1")
                        .arg(refused.join(QStringLiteral(", ")));
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
