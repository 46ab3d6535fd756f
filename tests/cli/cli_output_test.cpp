// merlix-cli's exit codes, its --json objects and the register commands'
// numbers, run as a script runs them on the simulated bench.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <string>

#include "cli/json.h"
#include "tests/cli/cli_fixture.h"

namespace {

TEST_F(MerlixCli, ExitCodesTellSuccessFailureUsageAndMismatchApart) {
    EXPECT_EQ(Cli({"probe"}).out, "PCF 8584 Ok\n");
    const Outcome absent = Cli({"--bench-fault", "adapter-absent", "probe"});
    EXPECT_EQ(absent.code, 1);
    EXPECT_EQ(absent.out, "Not Found\n");
    const Outcome nack = Cli({"--bench-fault", "slave-nack", "get", "0x20", "5"});
    EXPECT_EQ(nack.code, 1);
    EXPECT_TRUE(nack.err.contains("did not answer")) << nack.err.toStdString();

    QDir(dir.path()).mkdir("folder");
    struct Usage {
        QStringList args;
        const char* says;
    };
    for (const Usage& u : {
             Usage{{"read", "--chip", "24C99"}, "unknown chip '24C99'"},
             Usage{{"read", "--chip", "24C256", "--page", "1"}, "the 24C256 is read and written whole"},
             Usage{{"read", "--chip", "24M02", "--device", "A2"},
                   "the 24M02 answers at device addresses A0, A8"},
             Usage{{"fill", "--chip", "24C02", "--unprotect"}, "--unprotect is for the 25010..25M02"},
             Usage{{"read", "--chip", "93C46"}, "needs its organisation"},
             Usage{{"read", "--chip", "24C02", "--page", "1"}, "page 1 is out of range for the 24C02"},
             Usage{{"read", "--chip", "24C02", "--device", "B0"}, "A0..AF"},
             Usage{{"write", "--chip", "24C02", "-i", Write("big.bin", QByteArray(257, 'x'))},
                   "more than the 256"},
             Usage{{"write", "--chip", "24C02", "-i", Write("empty.bin", {})}, "is empty"},
             Usage{{"write", "--chip", "24C02", "-i", dir.filePath("folder")}, "folder"},
             Usage{{"write", "--chip", "24C02", "-i", dir.filePath("missing.bin")}, "No such file"},
             Usage{{"read", "--chip", "24C02", "-o", dir.filePath("nowhere/x.bin")}, "does not exist"},
             Usage{{"--trace", dir.filePath("nowhere/t.txt"), "probe"}, "nowhere"},
             Usage{{"--bench-fault", "smoke", "probe"}, "--bench-fault takes"},
             Usage{{"read", "--chip", "24C16", "--page", "-1"},
                   "page -1 is out of range for the 24C16 (pages 0..7; without --page the whole chip)"},
             Usage{{"read", "--chip", "93C46x8", "--device", "A2"}, "--device is for the I2C memories"},
             Usage{{"monitor", "--count", "0"}, "takes a number of lines, 1 or more, not '0'"},
             Usage{{"monitor", "--seconds", "nan"}, "takes a time in seconds, more than 0, not 'nan'"},
             Usage{{"monitor", "--seconds", "inf"}, "not 'inf'"},
             Usage{{"--trace", "-", "read", "--chip", "24C02", "-o", "-"},
                   "-o - and --trace - both want stdout"},
             Usage{{"--trace", "-", "--json", "probe"}, "--json and --trace - both want stdout"},
             Usage{{"--trace", dir.filePath("t.txt"), "ports"}, "takes no --bench, --trace"},
             Usage{{"verify", "--chip", "24C02", "--format", "elf", "-i", Write("v.bin", "x")},
                   "--format takes"},
             Usage{{"write", "--chip", "24C02", "-i", Write("bom.hex", "\xEF\xBB\xBF:00000001FF\n")},
                   "byte-order mark"},
             Usage{{"write", "--chip", "24C02", "-i", Write("none.hex", ":00000001FF\n")}, "holds no data"},
             Usage{{"read", "--chip", "24C02", "--range", "0x80-0x7F"}, "--range 0x80-0x7F is not a stretch"},
             Usage{{"erase", "--chip", "24C02", "--offset", "0xF0", "--length", "17"},
                   "bytes 0x00F0..0x0100 reach past the end of the 24C02"},
             Usage{{"blank-check", "--chip", "24C16", "--page", "1", "--offset", "2"},
                   "choose the bytes twice"},
             Usage{{"frobnicate"}, "unknown command 'frobnicate'"},
             Usage{{"reed", "--chip", "24C02"}, "unknown command 'reed'; did you mean 'read'?"},
             Usage{{"read", "--chp", "24C02"}, "unknown option '--chp'; did you mean '--chip'?"},
             Usage{{"--frobnicate", "probe"}, "unknown option '--frobnicate' (see"},
             // A fault is refused on a bench it cannot act on, naming the ones it does.
             Usage{{"--bench-adapter", "spidev", "--bench-fault", "controller-absent", "probe"},
                   "controller-absent acts on the parallel adapter's bench (--bench, --bench-adapter "
                   "parallel) only, not on the spidev bench"},
             Usage{
                 {"--bench-adapter", "ch341a:3", "--bench-fault", "chip-no-store@5", "probe"},
                 "chip-no-store@5 acts on programmer 5, and --bench-adapter ch341a:3 has programmers 0 to 2"},
             Usage{{"--bench-fault", "slave-nack@1", "probe"},
                   "acts on CH341A programmer 1 of --bench-adapter"},
             Usage{{"--analyzer", "fx2lafw", "--analyzer-rate", "1", "monitor"}, "too slow to follow"},
             // verify changes nothing, so it never says that nothing was written.
             Usage{{"verify", "--chip", "24C02", "-i", dir.filePath("big.bin")},
                   "more than the 256 of the 24C02\n"},
         }) {
        SCOPED_TRACE(u.args.join(' ').toStdString());
        const Outcome run = Cli(u.args);
        EXPECT_EQ(run.code, 2);
        EXPECT_TRUE(run.err.contains(u.says)) << run.err.toStdString();
    }

    // A chip that drops writes, in the socket or on the bus: the verify
    // after the write finds every byte.
    for (const char* chip : {"AT25C010", "24C02"}) {
        SCOPED_TRACE(chip);
        const Outcome drop =
            Cli({"--bench-fault", "chip-no-store", "fill", "--chip", chip, "--value", "0x5A"});
        EXPECT_EQ(drop.code, 3);
        EXPECT_TRUE(
            drop.err.contains(QString("Verify failed: %1 bytes differ.").arg(chip[0] == '2' ? 256 : 128)))
            << drop.err.toStdString();
        EXPECT_TRUE(drop.err.contains("0000: expected 5A, read FF")) << drop.err.toStdString();
        EXPECT_TRUE(drop.err.contains("Every differing byte reads FF")) << drop.err.toStdString();
        EXPECT_EQ(Cli({"--bench-fault", "chip-no-store", "fill", "--chip", chip, "--no-verify"}).code, 0);
    }
}

// Under --json every sub-command prints exactly one object on stdout, on
// success and on failure (usage errors too), with its data fields; the error
// sentence is the one on stderr.
TEST_F(MerlixCli, EverySubCommandPrintsOneJsonObjectOnSuccessAndFailure) {
    const QString odd = dir.filePath("q\"b\\s\tn.bin");  // a quote, a backslash and a tab in the name
    const QString image = Write("image.bin", QByteArray(256, '\x42'));
    const QString capture = QString(MERLIX_TEST_DATA_DIR "/captures/x24c02_dual.i2c.txt");
    struct Case {
        QStringList args;
        const char* command;  // null: none could be told
        int exit;             // -1: 0 or 1, as this machine's ports are
        const char* key;      // a data field, and what it holds (as JSON text) when `value` is given
        const char* value;
    };
    const Case cases[] = {
        {{"probe"}, "probe", 0, "port", R"("lpt1")"},
        {{"--bench-fault", "adapter-absent", "probe"}, "probe", 1, "found", "false"},
        {{"ports"}, "ports", -1, "report", nullptr},
        {{"--bench", "ports"}, "ports", 2, nullptr, nullptr},
        {{"chips"}, "chips", 0, "chips", nullptr},
        {{"fill", "--chip", "93c46 (8)", "--value", "0x42"}, "fill", 0, "chip", R"("93C46x8")"},
        {{"fill", "--chip", "24C02", "--value", "300"}, "fill", 2, nullptr, nullptr},
        {{"write", "--chip", "24C02", "-i", image}, "write", 0, "verified", "true"},
        {{"write", "--chip", "24C02", "-i", dir.filePath("gone.bin")}, "write", 2, nullptr, nullptr},
        {{"read", "--chip", "24C02", "-o", odd}, "read", 0, "output", nullptr},
        {{"read", "--chip", "24C02"}, "read", 2, nullptr, nullptr},
        {{"verify", "--chip", "24C02", "-i", image}, "verify", 0, "sum8", R"("00")"},
        {{"verify", "--chip", "24C02", "-i", Write("zero.bin", QByteArray(256, '\0'))},
         "verify",
         3,
         "mismatches",
         "256"},
        {{"restore", "--chip", "24C02"}, "restore", 0, "input", nullptr},
        {{"restore", "--chip", "24C01"}, "restore", 2, nullptr, nullptr},
        {{"set", "0x21", "0x10", "0xA5"}, "set", 0, "value", "165"},
        {{"--bench-fault", "slave-nack", "set", "0x21", "0x10", "1"}, "set", 1, nullptr, nullptr},
        {{"get", "0x21", "0x10"}, "get", 0, "value", "165"},
        {{"get", "0x80", "0"}, "get", 2, nullptr, nullptr},
        {{"dump", "0x21"}, "dump", 0, "registers", nullptr},
        {{"--bench-fault", "slave-nack", "dump", "0x21"}, "dump", 1, "registers", nullptr},
        {{"transfer", "w1@0x21", "0x10", "r1", "r2"}, "transfer", 0, "reads", "[[165],[1,2]]"},
        {{"transfer", "x1@0x21"}, "transfer", 2, nullptr, nullptr},
        {{"i2cget", "-y", "1", "0x21"}, "i2cget", 2, nullptr, nullptr},
        {{"--traffic", capture, "monitor", "--count", "2"}, "monitor", 0, "lines", nullptr},
        {{"monitor", "--format", "csv"}, "monitor", 2, nullptr, nullptr},
        {{"read", "--chip"}, "read", 2, nullptr, nullptr},
        {{"frobnicate"}, nullptr, 2, nullptr, nullptr},
    };
    ASSERT_EQ(Cli({"set", "0x21", "0x11", "1"}).code, 0);
    ASSERT_EQ(Cli({"set", "0x21", "0x12", "2"}).code, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        onBench = c.args != QStringList{"ports"};
        const Outcome run = Cli(QStringList{"--json"} + c.args);
        EXPECT_TRUE(run.out.endsWith('\n') && run.out.count('\n') == 1) << run.out.toStdString();
        QJsonParseError parse{};
        const QJsonObject object = QJsonDocument::fromJson(run.out, &parse).object();
        ASSERT_EQ(parse.error, QJsonParseError::NoError) << run.out.toStdString();
        const int exit = c.exit >= 0 ? c.exit : run.code;
        EXPECT_TRUE(c.exit >= 0 || exit <= 1);
        EXPECT_EQ(run.code, exit) << run.err.toStdString();
        EXPECT_EQ(object["command"], c.command ? QJsonValue(c.command) : QJsonValue(QJsonValue::Null));
        EXPECT_EQ(object["exit"], exit);
        EXPECT_EQ(object["ok"], exit == 0);
        if (exit == 0) {
            EXPECT_TRUE(object["error"].isNull());
        } else {
            EXPECT_TRUE(!object["error"].toString().isEmpty() && run.err.contains(object["error"].toString()))
                << run.out.toStdString() << run.err.toStdString();
        }
        if (c.key) {
            ASSERT_TRUE(object.contains(c.key)) << run.out.toStdString();
            const QJsonValue value = object[c.key];
            if (c.value) {
                EXPECT_EQ(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact),
                          QByteArray("[") + c.value + "]");
            }
        }
    }
    // Each data field's shape, where the table only said it is there.
    onBench = true;
    const auto run = [&](const QStringList& args) { return QJsonDocument::fromJson(Cli(args).out).object(); };
    EXPECT_EQ(run({"--json", "read", "--chip", "24C02", "-o", odd})["output"], odd);
    EXPECT_EQ(Read(odd), QByteArray(256, '\xFF'));  // restore put the blank chip back
    const QJsonArray registers = run({"--json", "dump", "0x21"})["registers"].toArray();
    ASSERT_EQ(registers.size(), 256);
    EXPECT_EQ(registers[0x10], 0xA5);
    EXPECT_TRUE(run({"--json", "--bench-fault", "slave-nack", "dump", "0x21"})["registers"][0].isNull());
    EXPECT_EQ(run({"--json", "--traffic", capture, "monitor", "--count", "2"})["lines"][1],
              " W A2 08  R A3 E9  ; ");
    const QJsonArray chips = run({"--json", "chips"})["chips"].toArray();
    EXPECT_EQ(chips[8].toObject()["name"].toString(), "93C46x16");
    EXPECT_TRUE(chips.contains(QJsonObject{{"name", "25M02"},
                                           {"bytes", 262144},
                                           {"organisation", 8},
                                           {"bus", "SPI"},
                                           {"page_size", 256},
                                           {"address_bytes", 3},
                                           {"block_rule", "none"},
                                           {"write_cycle_ms", 10.0},
                                           {"min_volts", 1.8},
                                           {"max_volts", 5.5}}));
    // Strings are escaped by the writer: every control character 0x00..0x1F,
    // and each byte that is not UTF-8 (a file name can hold them; here a stray
    // FF and a cut-short sequence) becomes U+FFFD, so the text always parses.
    std::string controls;
    for (char c = 0; c < 0x20; ++c) controls += c;
    const std::string text = controls + "a\"b\\c\x7F\xFF\xC3\xA9\xE2\x82";
    const std::string escaped = cli::JsonString(text);
    EXPECT_EQ(escaped.find_first_of(controls), std::string::npos);
    QJsonParseError parse{};
    const QJsonArray parsed =
        QJsonDocument::fromJson(QByteArray::fromStdString("[" + escaped + "]"), &parse).array();
    ASSERT_EQ(parse.error, QJsonParseError::NoError) << escaped;
    EXPECT_EQ(parsed[0], QString::fromUtf8(controls.data(), 0x20) +
                             QString::fromUtf8("a\"b\\c\x7F\xEF\xBF\xBD\xC3\xA9\xEF\xBF\xBD\xEF\xBF\xBD"));
    // The real tool with every control character an argument can carry
    // (0x01..0x1F) in a file name: the output parses, gives the name back,
    // and holds no more raw line breaks than with a plain name.
    QString controlName;
    for (char c = 0x01; c < 0x20; ++c) controlName += QChar(c);
    const Outcome named = Cli({"--json", "read", "--chip", "24C02", "-o", dir.filePath(controlName)});
    const Outcome plain = Cli({"--json", "read", "--chip", "24C02", "-o", dir.filePath(QString(31, 'x'))});
    ASSERT_EQ(named.code, 0) << named.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(named.out).object()["output"].toString(), dir.filePath(controlName));
    EXPECT_EQ(named.out.count('\n'), plain.out.count('\n'));
    for (char c = 0x00; c < 0x20; ++c) {
        if (c != '\n') {
            EXPECT_FALSE(named.out.contains(c)) << "raw control character " << int(c);
        }
    }
}

// The register commands read numbers and data as the i2c-tools do: strtol's
// base 0 (010 is octal 8), i2ctransfer's fill suffixes, i2cget's and
// i2cset's modes, mask and read-back, i2cdump's range and characters.
TEST_F(MerlixCli, RegisterCommandsTakeWhatTheI2cToolsTake) {
    const QByteArray blank(3, ' ');
    struct Case {
        QStringList args;
        int code;
        QByteArray out;  // all of stdout; for a dump the rows
        const char* says = "";
    };
    for (const Case& c : {
             Case{{"transfer", "w6@0x21", "0x20", "0x10p", "w4", "0x30", "0xfe+", "w3", "0x40", "1-", "w3",
                   "0x50", "0x7="},
                  0,
                  ""},
             // Reads after reads under one STOP: each takes exactly its bytes.
             Case{{"transfer", "w1@0x21", "0x20", "r3", "r1", "r1", "w1", "0x30", "r3", "w1", "0x40", "r2",
                   "w1", "0x50", "r2"},
                  0,
                  "0x10 0x30 0x70\n0xf0\n0xf1\n0xfe 0xff 0x00\n0x01 0x00\n0x07 0x07\n"},
             Case{{"set", "-r", "0x21", "010", "0x1234", "w"}, 0, "Value 0x1234 written, readback matched\n"},
             Case{{"get", "0x21", "8"}, 0, "0x34\n"},
             Case{{"get", "0x21", "010", "w"}, 0, "0x1234\n"},
             Case{{"set", "0x21", "8", "0xF5", "-m", "0x0F"}, 0, ""},
             Case{{"get", "0x21", "8"}, 0, "0x35\n"},
             Case{{"dump", "0x21", "-r", "0x09-0x22"},
                  0,
                  "00: " + blank.repeated(9) + "12 00 00 00 00 00 00    " + QByteArray(9, ' ') + "?......\n" +
                      "10: " + QByteArray("00 ").repeated(16) + "   " + QByteArray(16, '.') + "\n" +
                      "20: 10 30 70 " + blank.repeated(13) + "   ?0p" + QByteArray(13, ' ') + "\n"},
             Case{{"transfer", "r65536@0x21"}, 2, "", "a message on this adapter is at most 65535 bytes"},
             Case{{"transfer", "w2@0x21", "1", "2x"}, 2, "", "not '2x'"},
             Case{{"transfer", "w1@0x21", "256"}, 2, "", "not '256'"},
             Case{{"get", "0x21", "08"}, 2, "", "not '08'"},
             Case{{"get", "0x21", "8", "q"}, 2, "", "MODE is b (byte) or w (word), not 'q'"},
             Case{{"set", "0x21", "8", "0x100"}, 2, "", "the value is a byte"},
             Case{{"set", "0x21", "8", "1", "-m", "0"}, 2, "", "--mask takes the bits to change"},
             Case{{"set", "0x21", "8", "1", "-m", ""}, 2, "", "--mask takes the bits to change"},
             Case{{"dump", "0x21", "-r", "5-3"}, 2, "", "--range is FIRST-LAST"},
             // A bus held by another master: one sentence, from every command.
             Case{{"dump", "0x21"}, 1, "", "the bus stayed busy (another master?)"},
             Case{{"set", "0x21", "1", "2"}, 1, "", "the bus stayed busy (another master?)"},
             Case{{"get", "0x21", "1"}, 1, "", "the bus stayed busy (another master?)"},
             Case{{"transfer", "w1@0x21", "1", "r1"}, 1, "", "the bus stayed busy (another master?)"},
         }) {
        const QStringList args = c.code == 1 ? QStringList{"--bench-fault", "bus-busy"} + c.args : c.args;
        SCOPED_TRACE(args.join(' ').toStdString());
        const Outcome run = Cli(args);
        EXPECT_EQ(run.code, c.code) << run.err.toStdString();
        if (c.code == 0) {
            EXPECT_TRUE(c.args[0] == "dump" ? run.out.endsWith(c.out) : run.out == c.out)
                << run.out.toStdString();
        }
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
        if (c.code == 1) {
            EXPECT_EQ(run.err.count("the bus"), 1) << run.err.toStdString();
        }
    }
}

}  // namespace
