// merlix-cli end to end: the built executable on the simulated bench, its
// chips kept in a temporary state folder, driven the way a script drives it.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <string>
#include <vector>

#include "cli/json.h"
#include "eeprom/image_formats.h"
#include "eeprom/session.h"
#include "hardware/port_adapter.h"
#include "monitor/monitor_logic.h"
#include "platform/counter.h"
#include "platform/port_io.h"
#include "simulator/simulated_bench.h"
#include "support/i2c_samples.h"
#include "tests/cli/cli_fixture.h"

namespace {

// One chip of each family: a HEX file with a gap written in one run, read
// back as an S-record in the next, equal byte for byte (the gap 0xFF).
TEST_F(MerlixCli, HexWrittenComesBackAsSRecordOnEveryFamily) {
    for (const char* chip : {"24C16", "93c66 x16", "93C76 (8)", "AT25C080"}) {
        SCOPED_TRACE(chip);
        std::vector<std::uint8_t> expected(300);
        for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<std::uint8_t>(i * 13 + 1);
        std::fill(expected.begin() + 100, expected.begin() + 140, 0xFF);
        QByteArray hex = eeprom::EncodeImage(expected, eeprom::ImageFormat::IntelHex);
        const qsizetype gap = hex.indexOf(":10006000");  // drop the record at 0x60..0x6F: a true gap
        ASSERT_GE(gap, 0);
        std::fill(expected.begin() + 0x60, expected.begin() + 0x70, 0xFF);
        hex.remove(gap, hex.indexOf('\n', gap) - gap + 1);

        const Outcome written = Cli({"write", "--chip", chip, "-i", Write("in.dat", hex)});
        ASSERT_EQ(written.code, 0) << written.err.toStdString();
        const Outcome readBack = Cli({"--json", "read", "--chip", chip, "-o", dir.filePath("out.s19")});
        ASSERT_EQ(readBack.code, 0) << readBack.err.toStdString();
        EXPECT_TRUE(readBack.out.contains("\"mismatches\":0")) << readBack.out.toStdString();
        EXPECT_TRUE(Read("out.s19").startsWith("S0"));
        std::vector<std::uint8_t> back;
        std::string error;
        ASSERT_TRUE(
            eeprom::DecodeImage(Read("out.s19"), eeprom::ImageFormat::SRecord, 2048, "out", back, error))
            << error;
        ASSERT_GE(back.size(), expected.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), back.begin()));
        EXPECT_TRUE(std::all_of(back.begin() + 300, back.end(), [](std::uint8_t b) { return b == 0xFF; }));
    }
}

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

TEST_F(MerlixCli, AMalformedHexLineIsNamedAndTheChipKeepsItsData) {
    ASSERT_EQ(Cli({"fill", "--chip", "24C02", "--value", "0x33"}).code, 0);
    const QByteArray hex = ":040000001122334452\n:04000400556677883E\n:04000800zz\n:00000001FF\n";
    const Outcome run = Cli({"write", "--chip", "24C02", "-i", "-"}, hex);
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(run.err.contains("standard input line 3: not an Intel HEX record")) << run.err.toStdString();
    const Outcome readBack = Cli({"read", "--chip", "24C02", "-o", "-"});
    EXPECT_EQ(readBack.out, QByteArray(256, '\x33'));

    // The register commands on the same bench: a write, then i2ctransfer's
    // write-then-read with a repeated START. The write's bus goes to a waveform file as well.
    EXPECT_EQ(Cli({"--bench-vcd", dir.filePath("set.vcd"), "set", "0x21", "0x10", "0xA5"}).code, 0);
    QFile vcd(dir.filePath("set.vcd"));
    ASSERT_TRUE(vcd.open(QIODevice::ReadOnly));
    EXPECT_TRUE(vcd.readAll().contains("$timescale 100 ns $end"));
    EXPECT_EQ(Cli({"get", "0x21", "0x10"}).out, "0xa5\n");
    EXPECT_EQ(Cli({"transfer", "w3@0x21", "0x11", "1", "2", "w1@0x21", "0x10", "r3"}).out,
              "0xa5 0x01 0x02\n");
    EXPECT_TRUE(Cli({"dump", "0x21"}).out.contains("10: a5 01 02 00"));
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

// --page takes a page cut from a whole-chip file at the chip's own addresses
// as well as one from the page's start, and says which; a file that reaches
// past the page is refused as such.
TEST_F(MerlixCli, APageFileIsTakenAtThePagesOwnAddressesOrFromItsStart) {
    std::vector<std::uint8_t> whole(0x400);
    for (std::size_t i = 0; i < whole.size(); ++i) whole[i] = static_cast<std::uint8_t>(i * 7 + 3);
    QByteArray cut;  // the records of 0x300..0x3FF, as `srec_cat -crop 0x300 0x400` leaves them
    for (const QByteArray& line : eeprom::EncodeImage(whole, eeprom::ImageFormat::SRecord).split('\n'))
        if (!line.isEmpty() && (!line.startsWith("S1") || line.mid(4, 2) == "03")) cut += line + '\n';
    const Outcome own = Cli({"write", "--chip", "24C16", "--page", "3", "-i", Write("p3.srec", cut)});
    ASSERT_EQ(own.code, 0) << own.err.toStdString();
    EXPECT_TRUE(own.err.contains("p3.srec holds page 3 at its own addresses in the chip (0x0300-0x03FF)"))
        << own.err.toStdString();
    const QByteArray page(reinterpret_cast<const char*>(whole.data()) + 0x300, 0x100);
    EXPECT_EQ(Cli({"read", "--chip", "24C16", "-o", "-"}).out.mid(0x300, 0x100), page);

    const std::vector<std::uint8_t> relative(whole.begin() + 0x300, whole.end());
    const Outcome fromStart =
        Cli({"verify", "--chip", "24C16", "--page", "3", "-i",
             Write("p3.hex", eeprom::EncodeImage(relative, eeprom::ImageFormat::IntelHex))});
    EXPECT_EQ(fromStart.code, 0) << fromStart.err.toStdString();
    EXPECT_TRUE(fromStart.err.contains("p3.hex holds page 3 at addresses from the page's start"))
        << fromStart.err.toStdString();

    const Outcome tooLong = Cli({"verify", "--chip", "24C16", "--page", "3", "-i",
                                 Write("w.srec", eeprom::EncodeImage(whole, eeprom::ImageFormat::SRecord))});
    EXPECT_EQ(tooLong.code, 2);
    EXPECT_TRUE(
        tooLong.err.contains("w.srec line 18: data beyond page 3's end (0x100 bytes, at 0x0-0xFF from "
                             "its start or 0x300-0x3FF in the chip)"))
        << tooLong.err.toStdString();
}

// The trace and the bench's waveform replace the file they name; it must
// never be one the command reads or writes, under whatever name. Nothing of
// those files is lost, and a refusal leaves no file of its own behind.
TEST_F(MerlixCli, ATraceOrWaveformNeverReplacesAFileTheCommandUses) {
    ASSERT_EQ(Cli({"fill", "--chip", "24C02", "--value", "0x5A"}).code, 0);
    const QString input = Write("img.bin", QByteArray(256, '\x11'));
    const QString hardLink = dir.filePath("same.bin");
    ASSERT_EQ(link(QFile::encodeName(input).constData(), QFile::encodeName(hardLink).constData()), 0);
    const QDir backups(dir.filePath("data/merlix/backups"));
    ASSERT_EQ(backups.entryList(QDir::Files).size(), 1);
    const QString backup = backups.filePath(backups.entryList(QDir::Files).front());
    const QString capture = Write("cap.i2c.txt", "Start\nAddress write: 50\nNACK\nStop\n");
    const QString symbolicLink = dir.filePath("link.bin");
    ASSERT_EQ(symlink(QFile::encodeName(input).constData(), QFile::encodeName(symbolicLink).constData()), 0);
    const QString output = dir.filePath("out.bin");
    struct Case {
        QStringList args;  // after the option and its file
        QString file;
        QString kept;  // a file that must come through as it was
    };
    for (const char* option : {"--trace", "--bench-vcd"}) {
        for (const Case& c : {
                 Case{{"write", "--chip", "24C02", "-i", input}, input, input},
                 Case{{"verify", "--chip", "24C02", "-i", input}, hardLink, input},
                 Case{{"--no-backup", "write", "--chip", "24C02", "-i", input}, symbolicLink, input},
                 Case{{"restore", backup, "--chip", "24C02"}, backup, backup},
                 Case{{"--traffic", capture, "monitor", "--count", "1"}, capture, capture},
                 Case{{"read", "--chip", "24C02", "-o", output}, output, {}},
                 Case{{"restore", "--chip", "24C02"}, backups.filePath("newer.bin"), backup},
                 Case{{"set", "0x21", "1", "2"},
                      dir.filePath("state/register-42.bin"),
                      dir.filePath("state/register-42.bin")},
             }) {
            SCOPED_TRACE(option + (" " + c.file + " " + c.args.join(' ')).toStdString());
            const QByteArray before = c.kept.isEmpty() ? QByteArray() : Read(c.kept);
            const Outcome run = Cli(QStringList{option, c.file} + c.args);
            EXPECT_EQ(run.code, 2);
            EXPECT_TRUE(run.err.contains("would replace it") || run.err.contains("capture file"))
                << run.err.toStdString();
            if (!c.kept.isEmpty()) {
                EXPECT_EQ(Read(c.kept), before);
            } else {
                EXPECT_FALSE(QFile::exists(c.file));
            }
        }
    }
    EXPECT_EQ(Cli({"read", "--chip", "24C02", "-o", "-"}).out, QByteArray(256, '\x5A'));
}

// A name that says raw is raw even when it starts like HEX; --format says
// outright how to read a file, whatever its name.
TEST_F(MerlixCli, TheNameOrFormatSaysHowAFileIsRead) {
    QByteArray colon = ":00000001FF\n";
    colon += QByteArray(256 - colon.size(), '\x42');
    ASSERT_EQ(Cli({"write", "--chip", "24C02", "-i", Write("colon.bin", colon)}).code, 0);
    EXPECT_EQ(Cli({"read", "--chip", "24C02", "-o", "-"}).out, colon);
    EXPECT_EQ(Cli({"verify", "--chip", "24C02", "-i", Write("colon.hex", colon)}).code, 2);
    EXPECT_EQ(Cli({"verify", "--chip", "24C02", "--format", "raw", "-i", dir.filePath("colon.hex")}).code, 0);
    const QByteArray hex = eeprom::EncodeImage(std::vector<std::uint8_t>(colon.begin(), colon.end()),
                                               eeprom::ImageFormat::IntelHex);
    EXPECT_EQ(Cli({"verify", "--chip", "24C02", "--format", "ihex", "-i", "-"}, hex).code, 0);
}

// File names are bytes, UTF-8 or not, from the command line to the file
// system; verify tells a match (0) from a mismatch (3).
TEST_F(MerlixCli, NamesThatAreNotUtf8PassAsBytesAndVerifyTellsAMismatch) {
    const QString script = R"(
        m() { "$MERLIX" --bench --bench-state state "$@"; }
        n=$(printf 'dump\377\376.bin'); d=$(printf 'saved\377')
        trap 'rm -rf "$n" "$d"' EXIT  # names the temporary folder's clean-up cannot spell
        m fill --chip 24C02 --value 0x5A && m read --chip 24C02 -o "$n" && [ -f "$n" ] || exit 10
        m verify --chip 24C02 -i "$n" || exit 11
        m fill --chip 24C02 --value 0x00 || exit 12
        m verify --chip 24C02 -i "$n"; [ $? = 3 ] || exit 13
        mkdir "$d" && cp data/merlix/backups/*.bin "$d"/ || exit 14
        for f in "$d"/*.bin; do m restore "$f" --chip 24C02 && m verify --chip 24C02 -i "$f" || exit 15; done
        m write --chip 24C02 -i "$n" && m verify --chip 24C02 -i "$n" || exit 16
    )";
    QProcess shell;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", dir.filePath("data"));
    environment.insert("MERLIX", QStringLiteral(MERLIX_CLI));
    shell.setProcessEnvironment(environment);
    shell.setWorkingDirectory(dir.path());
    shell.start("/bin/sh", {"-c", script});
    ASSERT_TRUE(shell.waitForFinished(120000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
}

// A disk that fills: the trace stops with a sentence naming the program that
// runs, and an output that cannot be saved is a failure (1), not a usage error.
TEST_F(MerlixCli, AFullDiskStopsTheTraceAndFailsTheSave) {
    fileSizeLimit = 4096;
    const Outcome run =
        Cli({"--trace", dir.filePath("t.txt"), "read", "--chip", "24C16", "-o", dir.filePath("out.hex")});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("\nmerlix-cli: Cannot write the port trace to")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Cannot save")) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("out.hex")));
}

// A write keeps the chip's old contents as a backup first; restore writes
// the newest back and verifies it. The checksums are the data's.
TEST_F(MerlixCli, BackupBeforeWriteAndRestoreBringBackTheOldBytes) {
    ASSERT_EQ(Cli({"fill", "--chip", "AT25C010", "--value", "0x5A"}).code, 0);
    const Outcome over = Cli({"--json", "fill", "--chip", "AT25C010", "--value", "0x00"});
    ASSERT_EQ(over.code, 0) << over.err.toStdString();
    // CRC-32 and SHA-256 of 128 zero bytes.
    EXPECT_TRUE(over.out.contains("\"crc32\":\"c2a8fa9d\"")) << over.out.toStdString();
    EXPECT_TRUE(over.out.contains("38723a2e5e8a17aa7950dc008209944e898f69a7bd10a23c839d341e935fd5ca"));
    EXPECT_EQ(QDir(dir.filePath("data/merlix/backups")).entryList(QDir::Files).size(), 2);

    const Outcome restore = Cli({"restore", "--chip", "at25c010"});
    ASSERT_EQ(restore.code, 0) << restore.err.toStdString();
    EXPECT_EQ(Cli({"read", "--chip", "AT25C010", "-o", "-"}).out, QByteArray(128, '\x5A'));
    EXPECT_EQ(Cli({"--no-backup", "fill", "--chip", "AT25C010"}).code, 0);
    EXPECT_EQ(QDir(dir.filePath("data/merlix/backups")).entryList(QDir::Files).size(), 3);
    // The negative flags read as they are typed in --help, without a default such as "{false}".
    const QByteArray help = Cli({"--help"}).out + Cli({"fill", "--help"}).out;
    EXPECT_TRUE(help.contains("  --no-backup  ") && help.contains("  --no-verify  ")) << help.toStdString();
}

// restore puts back what a backup holds: a whole chip, or the page its name
// says; without a file the chip's newest, by time and then by the order taken.
TEST_F(MerlixCli, RestorePutsBackWhatTheBackupHoldsAndRefusesANameThatDisagrees) {
    const QString backups = dir.filePath("data/merlix/backups");
    const auto backupOf = [](const Outcome& run) {
        const qsizetype at = run.err.indexOf("backup of the old contents: ");
        return at < 0 ? QString() : run.err.mid(at + 28).section('\n', 0, 0);
    };
    ASSERT_EQ(Cli({"fill", "--chip", "24C16", "--value", "0x11"}).code, 0);
    ASSERT_EQ(Cli({"fill", "--chip", "24C16", "--value", "0x22"}).code, 0);
    const Outcome whole = Cli({"restore", "--chip", "24C16"});
    ASSERT_EQ(whole.code, 0) << whole.err.toStdString();
    EXPECT_EQ(Cli({"read", "--chip", "24C16", "-o", "-"}).out, QByteArray(2048, '\x11'));

    // Page 6, then page 7 (in one second or two): page 7's backup is the newest,
    // and one dated 2099 is never taken for it.
    ASSERT_EQ(Cli({"fill", "--chip", "24C16", "--page", "6", "--value", "0x66"}).code, 0);
    const Outcome page7 = Cli({"fill", "--chip", "24C16", "--page", "7", "--value", "0x77"});
    ASSERT_EQ(page7.code, 0);
    QFile future(backups + "/24C16-A0-20990101-000000-f09dbd2a.bin");
    ASSERT_TRUE(future.open(QIODevice::WriteOnly));
    future.write(QByteArray(2048, '\x99'));
    future.close();
    ASSERT_EQ(Cli({"restore", "--chip", "24C16"}).code, 0);
    EXPECT_EQ(Cli({"read", "--chip", "24C16", "-o", "-"}).out,
              QByteArray(6 * 256, '\x11') + QByteArray(256, '\x66') + QByteArray(256, '\x11'));

    const QString pageFile = backupOf(page7);
    ASSERT_TRUE(pageFile.contains("24C16-AE-p7-")) << pageFile.toStdString();
    const QString misnamed = Write("24C16-A2-p3-20261208-143001.bin", QByteArray(256, '\0'));
    struct Refused {
        QStringList args;
        const char* says;
    };
    for (const Refused& r : {
             Refused{{"restore", pageFile, "--chip", "24C16", "--page", "6"}, "--page 6 contradicts"},
             Refused{{"restore", future.fileName(), "--chip", "24C16", "--page", "1"},
                     "holds the whole chip"},
             Refused{{"restore", misnamed, "--chip", "24C16"}, "which is not page 3 of the 24C16 at A0"},
             Refused{{"restore", pageFile, "--chip", "24C08"}, "is not named as a backup of the 24C08"},
             Refused{{"restore", dir.filePath("gone.bin"), "--chip", "24C16"}, "gone.bin: no such file"},
             Refused{{"restore", "--chip", "24C02"}, "no backup of the 24C02 at A0"},
         }) {
        SCOPED_TRACE(r.args.join(' ').toStdString());
        const Outcome run = Cli(r.args);
        EXPECT_EQ(run.code, 2);
        EXPECT_TRUE(run.err.contains(r.says)) << run.err.toStdString();
    }
}

// Two runs on one bench state folder: the second waits, names the first and
// changes nothing, so the first cannot save its old chips over the second's.
TEST_F(MerlixCli, ASecondRunOnTheSameBenchStateWaitsThenSaysWhoHasIt) {
    QProcess monitor;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", dir.filePath("data"));
    monitor.setProcessEnvironment(environment);
    monitor.start(QStringLiteral(MERLIX_CLI), {"--bench", "--bench-state", dir.filePath("state"), "monitor"});
    ASSERT_TRUE(monitor.waitForStarted());
    QFile lock(dir.filePath("state/lock"));
    for (int i = 0; i < 1000 && !(lock.open(QIODevice::ReadOnly) && lock.readAll().contains("monitor"));
         ++i) {
        lock.close();
        QThread::msleep(10);
    }
    const Outcome second = Cli({"fill", "--chip", "24C16", "--value", "0xCC"});
    EXPECT_EQ(second.code, 1);
    EXPECT_TRUE(
        second.err.contains(QString("is in use by pid %1: merlix-cli --bench --bench-state %2 monitor")
                                .arg(monitor.processId())
                                .arg(dir.filePath("state"))))
        << second.err.toStdString();
    monitor.terminate();  // SIGTERM: the monitor stops cleanly and lets go
    ASSERT_TRUE(monitor.waitForFinished(20000));
    EXPECT_EQ(monitor.exitCode(), 0);
    EXPECT_EQ(Cli({"fill", "--chip", "24C16", "--value", "0xCC"}).code, 0);
    EXPECT_EQ(Cli({"read", "--chip", "24C16", "-o", "-"}).out, QByteArray(2048, '\xCC'));
}

// The monitor prints what the window's timer passes log, line for line.
TEST_F(MerlixCli, MonitorPrintsTheWindowsLinesForARealCapture) {
    const std::string capture = MERLIX_TEST_DATA_DIR "/captures/x24c02_dual.i2c.txt";
    std::vector<std::string> expected;
    {
        platform::VirtualCounter clock;
        simulator::SimulatedBench::Config config;
        config.traffic = simulator::SimulatedBench::Traffic::Capture;
        config.captureFile = capture;
        simulator::SimulatedBench bench(clock, config);
        {
            eeprom::Session session(bench, clock);
            session.adapter.SetBase(hardware::kLpt1);
            session.adapter.ConfigurePort();
            session.adapter.ResetAdapter(0, 0xFD);
            session.adapter.InitController();
            for (int pass = 0; pass < 200; ++pass) {
                session.adapter.ResetAdapter(0, session.adapter.Latch());
                session.adapter.InitController();
                monitor::CapturePass(session.adapter, monitor::kPollReads, 0, 0,
                                     [&](std::string_view line) { expected.emplace_back(line); });
                clock.SleepMs(5);
            }
        }
    }
    ASSERT_EQ(expected.size(), 10u);  // one line per transfer in the capture
    const Outcome run = Cli({"--traffic", QString::fromStdString(capture), "monitor", "--count",
                             QString::number(expected.size())});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    std::vector<std::string> lines;
    for (const QByteArray& line : run.out.split('\n'))
        if (!line.isEmpty()) lines.push_back(line.toStdString());
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(run.err.contains(QString("monitor stopped: %1 lines logged").arg(expected.size())))
        << run.err.toStdString();

    // The same transfers as capture text play back as the same lines, and
    // as CSV make one row each under a header.
    const Outcome text = Cli({"--traffic", QString::fromStdString(capture), "monitor", "--count",
                              QString::number(expected.size()), "--format", "text"});
    ASSERT_EQ(text.code, 0) << text.err.toStdString();
    const Outcome replay = Cli({"--traffic", Write("seen.i2c.txt", text.out), "monitor", "--count",
                                QString::number(expected.size())});
    EXPECT_EQ(replay.out, run.out);
    const Outcome csv = Cli({"--traffic", QString::fromStdString(capture), "monitor", "--count",
                             QString::number(expected.size()), "--format", "csv"});
    EXPECT_TRUE(csv.out.startsWith("index,time_s,address7"));
    EXPECT_EQ(csv.out.count('\n'), static_cast<int>(expected.size()) + 1);
}

// --seconds is the user's time, though the bench's own clock runs far ahead;
// a capture that ends before --count ends the monitor, which says so.
TEST_F(MerlixCli, MonitorStopsOnTheUsersSecondsAndWhenTheCaptureEnds) {
    QElapsedTimer timer;
    timer.start();
    const Outcome timed = Cli({"monitor", "--seconds", "1"});
    EXPECT_EQ(timed.code, 0) << timed.err.toStdString();
    EXPECT_GE(timer.elapsed(), 1000);

    const Outcome ended = Cli(
        {"--traffic", MERLIX_TEST_DATA_DIR "/captures/x24c02_dual.i2c.txt", "monitor", "--count", "1000"});
    EXPECT_EQ(ended.code, 0);
    EXPECT_EQ(ended.out.count('\n'), 10);
    EXPECT_TRUE(ended.err.contains("the capture ended after 10 lines, before the 1000 of --count"))
        << ended.err.toStdString();
}

// A logic analyzer watches the bus whatever the adapter (its options given
// after the sub-command): its lines come out as the monitor's, and when it
// dies or cannot be found, one sentence and exit 1. sigrok-cli is a script
// here that says what a real one says.
TEST_F(MerlixCli, MonitorThroughALogicAnalyzerSaysWhyItStopped) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("bin"));
    pathFirst = dir.filePath("bin");
    const std::string script = dir.filePath("bin/sigrok-cli").toStdString();
    testsupport::I2cSamples bus(2, 3);  // D2, D3
    bus.Idle(10).Start().Byte(0xA0).Byte(0x10, false).Stop().Idle(10);
    testsupport::WriteFakeSigrok(script, 2'000'000, {bus.Bytes()},
                                 "sleep 0.2\necho 'sr: fx2lafw: USB device was unplugged' >&2\nexit 1",
                                 "echo \"$@\" > " + dir.filePath("argv").toStdString());
    const Outcome died = Cli({"--bench-adapter", "i2c-dev", "monitor", "--analyzer", "fx2lafw:conn=1.7",
                              "--analyzer-pins", "scl=D2,sda=D3", "--analyzer-rate", "2M"});
    EXPECT_EQ(died.code, 1);
    EXPECT_EQ(died.out, " W A0 10  ; \n");
    EXPECT_TRUE(
        died.err.contains("merlix-cli: sigrok-cli stopped (exit status 1): sr: fx2lafw: USB device was "
                          "unplugged"))
        << died.err.toStdString();
    EXPECT_EQ(Read("argv"), "-d fx2lafw:conn=1.7 --continuous -c samplerate=2000000 -C D2,D3 -O binary\n")
        << Read("argv").toStdString();

    const auto analyzer = [&](const QByteArray& body) {
        QFile file(dir.filePath("bin/sigrok-cli"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };
    analyzer("echo 'No devices found.' >&2\nexit 1\n");
    const Outcome none = Cli({"--analyzer", "fx2lafw", "monitor"});
    EXPECT_EQ(none.code, 1);
    EXPECT_TRUE(none.err.contains("No fx2lafw logic analyzer was found: plug it in"))
        << none.err.toStdString();
}

// The real sigrok-cli: its demo device runs for the seconds asked (our own
// standard input closed, its own a pipe we keep), and a recorded capture
// plays to its end, as fast as it decodes or at its own pace.
TEST_F(MerlixCli, MonitorThroughTheRealSigrokCli) {
    if (QStandardPaths::findExecutable(QStringLiteral("sigrok-cli")).isEmpty())
        GTEST_SKIP() << "sigrok-cli is not installed (Debian package sigrok-cli)";
    QElapsedTimer timer;
    timer.start();
    const Outcome demo =
        Cli({"--bench-adapter", "i2c-dev", "monitor", "--analyzer", "demo", "--seconds", "3"});
    EXPECT_EQ(demo.code, 0) << demo.err.toStdString();
    EXPECT_GE(timer.elapsed(), 3000);
    EXPECT_TRUE(demo.err.contains("monitor stopped")) << demo.err.toStdString();

    const QStringList file{"monitor", "--analyzer-file",
                           MERLIX_TEST_DATA_DIR "/analyzer-captures/rtc_ds1307_200khz.sr", "--analyzer-pins",
                           "scl=SCL,sda=SDA"};
    const Outcome fast = Cli(file);
    timer.restart();
    const Outcome paced = Cli(file + QStringList{"--realtime"});
    EXPECT_GE(timer.elapsed(), 120) << "24,576 samples at 200 kHz take 123 ms";
    EXPECT_EQ(fast.code, 0);
    EXPECT_EQ(paced.code, 0);
    EXPECT_TRUE(fast.err.contains("the capture ended after 7 lines")) << fast.err.toStdString();
    EXPECT_EQ(fast.out, QByteArray(" W D0 00  R D1 30 35 23 01 10 03 13  ; \n").repeated(7));
    EXPECT_EQ(paced.out, fast.out);
}

// The register commands through the real i2c-dev and CH341A code on their
// fakes, and what each adapter cannot do said in one sentence (the memories:
// the table below).
TEST_F(MerlixCli, CommandsRunOnTheI2cDevSpidevAndCh341aFakes) {
    struct Command {
        const char* adapter;
        QStringList args;
        int code;
        QByteArray out;  // stdout, when it matters
        QString err;     // a sentence stderr holds
    };
    const QString capture = Write("cap.i2c.txt", "Start\nAddress write: 50\nNACK\nStop\n");
    const QString page = Write("page.bin", QByteArray(256, '\x42'));
    for (const Command& c : {
             Command{"i2c-dev", {"set", "0x20", "5", "0xA7"}, 0, "", ""},
             Command{"i2c-dev", {"get", "0x20", "5"}, 0, "0xa7\n", ""},
             Command{"i2c-dev:two-message", {"transfer", "w1@0x20", "0x05", "r1@0x20"}, 0, "0xa7\n", ""},
             Command{"i2c-dev", {"probe"}, 0, "", ""},
             // One transaction or none: never split with STOPs between.
             Command{"i2c-dev:two-message",
                     {"transfer", "w1@0x20", "0x05", "r1", "r1"},
                     1,
                     "",
                     "this adapter takes one message, or a write then a read, in one transaction"},
             Command{"i2c-dev", QStringList{"transfer", "r1@0x20"} + QStringList(42, "r1"), 1, "",
                     "this adapter takes at most 42 messages in one transaction"},
             Command{"ch341a", {"set", "0x21", "3", "0x5c"}, 0, "", "5 V on the data lines"},
             Command{"ch341a:750k", {"transfer", "w1@0x21", "0x03", "r1@0x21"}, 0, "0x5c\n", ""},
             Command{"spidev", {"dump", "0x20"}, 1, "", "has no I2C bus, which dump needs\n"},
             Command{"spidev",
                     {"write", "--chip", "24C16", "--page", "2", "-i", page},
                     1,
                     "",
                     "merlix-cli: This adapter has no I2C bus for a 24Cxx memory\n"},
             Command{"i2c-dev",
                     {"read", "--chip", "93C46x8"},
                     1,
                     "",
                     "This adapter has no serial lines or SPI bus"},
             Command{"i2c-dev", {"monitor", "--count", "1"}, 1, "", monitor::kCannotWatchMessage},
             Command{"i2c-dev",
                     {"--traffic", capture, "monitor", "--count", "1"},
                     1,
                     "",
                     "cannot watch the bus, so the capture --traffic plays on it is not seen"},
             // The CH341A's 5 V warning came with the first command today; --verbose says it again.
             Command{"ch341a", {"probe"}, 0, "", ""},
             Command{"ch341a", {"-v", "probe"}, 0, "", "5 V on the data lines"},
         }) {
        const Outcome o = Cli(QStringList{"--bench-adapter", c.adapter} + c.args);
        SCOPED_TRACE(c.args.join(' ').toStdString() + "\n" + o.err.toStdString());
        EXPECT_EQ(o.code, c.code);
        if (!c.out.isEmpty()) {
            EXPECT_EQ(o.out, c.out);
        }
        EXPECT_TRUE(o.err.contains(c.err));
        if (c.err.isEmpty()) {
            EXPECT_FALSE(o.err.contains("5 V on the data lines"));
        }
        EXPECT_FALSE(o.err.contains("holds page")) << "the page note is for a write that can happen";
    }
}

// Every kind of part through each adapter that reaches it: a HEX file
// written (extended address records past 64 KiB), verified and read back;
// detection counts each part among its candidates, and --chip auto takes
// only a part reading proves; a 25xx's guarded range is refused, then written with --unprotect.
TEST_F(MerlixCli, EveryPartRoundTripsOnEveryAdapterAndDetectionNamesIt) {
    const QStringList parallel{"--bench-adapter", "parallel"}, i2cDev{"--bench-adapter", "i2c-dev"},
        spidev{"--bench-adapter", "spidev"};
    const QStringList twoMessage{"--bench-adapter", "i2c-dev:two-message,400k"};
    const QStringList ch341a{"--bench-adapter", "ch341a"}, ch341aFast{"--bench-adapter", "ch341a:400k"};
    struct Part {
        QStringList adapter;
        const char* chip;
        int bytes;
        bool socket =
            true;  // in its socket by --bench-chip (else the bus's 24C16, the socket by the chip chosen)
    };
    for (const Part& p :
         {Part{parallel, "24C02", 256}, Part{parallel, "24M02", 262144}, Part{parallel, "25640", 8192},
          Part{parallel, "93C66x16", 512, false}, Part{i2cDev, "24C16", 2048}, Part{i2cDev, "24C256", 32768},
          Part{i2cDev, "24M02", 262144}, Part{i2cDev, "24C08", 1024, false},
          Part{twoMessage, "24C16", 2048, false}, Part{spidev, "25080", 1024}, Part{spidev, "25M02", 262144},
          Part{spidev, "AT25C160", 2048, false}, Part{spidev, "93C66x16", 512, false},
          Part{ch341a, "24C16", 2048, false}, Part{ch341aFast, "24C256", 32768},
          Part{ch341aFast, "93C86x16", 2048, false}, Part{ch341a, "AT25C160", 2048, false},
          Part{ch341a, "25M02", 262144}}) {
        SCOPED_TRACE(p.adapter.join(' ').toStdString() + " " + p.chip);
        QByteArray image(p.bytes, '\0');
        for (int i = 0; i < p.bytes; ++i) image[i] = static_cast<char>(i * 7 + i / 251);
        std::vector<std::uint8_t> bytes(image.begin(), image.end());
        const QString hex = Write("in.hex", eeprom::EncodeImage(bytes, eeprom::ImageFormat::IntelHex));
        const QString raw = Write("in.bin", image);
        const QStringList on = p.adapter + (p.socket ? QStringList{"--bench-chip", p.chip} : QStringList{});
        const Outcome written = Cli(on + QStringList{"-q", "write", "--chip", p.chip, "-i", hex});
        ASSERT_EQ(written.code, 0) << written.err.toStdString();
        const Outcome verified = Cli(on + QStringList{"verify", "--chip", p.chip, "-i", raw});
        EXPECT_EQ(verified.code, 0) << verified.err.toStdString();
        const Outcome read = Cli(on + QStringList{"read", "--chip", p.chip, "-o", dir.filePath("out.bin")});
        ASSERT_EQ(read.code, 0) << read.err.toStdString();
        EXPECT_EQ(Read("out.bin"), image);
        if (!p.socket) continue;
        const QJsonArray buses = QJsonDocument::fromJson(Cli(on + QStringList{"--json", "detect"}).out)
                                     .object()["buses"]
                                     .toArray();
        const QString bus = QString(p.chip).startsWith("24") ? "I2C" : "SPI";
        for (const QJsonValue& found : buses) {
            if (found["bus"] != bus) continue;
            EXPECT_TRUE(found["candidates"].toArray().contains(p.chip))
                << found["said"].toString().toStdString();
        }
    }

    const Outcome autoM02 = Cli(i2cDev + QStringList{"--bench-chip", "24M02", "read", "--chip", "auto", "-o",
                                                     dir.filePath("auto.bin")});
    EXPECT_EQ(autoM02.code, 0) << autoM02.err.toStdString();
    EXPECT_EQ(Read("auto.bin").size(), 262144);
    // A 24C256 with data of its own reads like a 24C512 holding it twice: auto will not guess.
    const Outcome auto256 = Cli(i2cDev + QStringList{"--bench-chip", "24C256", "read", "--chip", "auto"});
    EXPECT_EQ(auto256.code, 1);
    EXPECT_TRUE(auto256.err.contains("will not guess between I2C: 24C256, 24C512"))
        << auto256.err.toStdString();
    // An erased part shows no wrap: several fit, and auto refuses.
    const Outcome guess = Cli({"--bench-fresh", "--bench-chip", "24C256", "read", "--chip", "auto"});
    EXPECT_EQ(guess.code, 1);
    EXPECT_TRUE(guess.err.contains("will not guess between I2C: 24C01, 24C02, 24C32"))
        << guess.err.toStdString();

    // BP1 set: the upper half of the 25640 is guarded, as the state folder keeps it.
    Write("state/socket-25640.status", "\x08");
    const QString ones = Write("ones.bin", QByteArray(8192, '\x5A'));
    const auto backups = [this] { return QDir(dir.filePath("data/merlix/backups")).entryList(QDir::Files); };
    const qsizetype kept = backups().size();
    const Outcome refused = Cli(spidev + QStringList{"write", "--chip", "25640", "-i", ones});
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(backups().size(), kept) << "a refused write pushes no backup out";
    EXPECT_TRUE(refused.err.contains("(BP1=1, BP0=0) guards 0x1000..0x1FFF") &&
                refused.err.contains("--unprotect"))
        << refused.err.toStdString();
    EXPECT_EQ(Cli(spidev + QStringList{"write", "--chip", "25640", "-i", ones, "--unprotect"}).code, 0);
    EXPECT_EQ(Read("state/socket-25640.status"), "\x08") << "the protection is set again";
}

// Three programmers side by side, the first with a chip that does not
// store: a row each, the mismatch's exit code, and the other two written;
// a read with several gives a file per programmer.
TEST_F(MerlixCli, SeveralCh341aProgrammersWorkSideBySide) {
    QByteArray image(256, '\0');
    for (int i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 13 + 1);
    const QString in = Write("in.bin", image);
    const QStringList three{"--bench-adapter", "ch341a:3"};
    const Outcome written =
        Cli(three + QStringList{"--bench-fault", "chip-no-store@0", "write", "--chip", "24C02", "-i", in});
    EXPECT_EQ(written.code, 3) << "the worst of them, not the last's: " << written.err.toStdString();
    const QStringList rows = QString::fromUtf8(written.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 4) << written.out.toStdString();
    EXPECT_TRUE(rows[0].startsWith("adapter"));
    EXPECT_TRUE(rows[1].startsWith("bench ch341a:0") && rows[1].contains("MISMATCH"));
    EXPECT_TRUE(rows[3].startsWith("bench ch341a:2") && rows[3].contains(" ok ") &&
                rows[3].contains(" 256 "));
    EXPECT_TRUE(written.err.contains("bench ch341a:0: Verify failed")) << written.err.toStdString();

    // Into a folder, each programmer's file is named after the chip.
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    const Outcome read =
        Cli(three + QStringList{"--json", "read", "--chip", "24C02", "-o", dir.filePath("sub/")});
    EXPECT_EQ(read.code, 0) << read.err.toStdString();
    EXPECT_NE(Read("sub/24C02-0.bin"), image);
    EXPECT_EQ(Read("sub/24C02-1.bin"), image);
    EXPECT_EQ(Read("sub/24C02-2.bin"), image);
    const QJsonObject object = QJsonDocument::fromJson(read.out).object();
    const QJsonArray adapters = object["adapters"].toArray();
    ASSERT_EQ(adapters.size(), 3) << read.out.toStdString();
    EXPECT_EQ(adapters[2].toObject()["adapter"].toString(), "bench ch341a:2");
    EXPECT_EQ(adapters[1].toObject()["crc32"], adapters[2].toObject()["crc32"]);
    EXPECT_TRUE(object["ok"].toBool());
}

// The bench's waveform is checked before the command runs, and one that
// fails at the end undoes nothing: the chip keeps what was written and
// verified, and the failure is said of the waveform.
TEST_F(MerlixCli, AWaveformThatCannotBeSavedNeverUndoesTheWrite) {
    const QString in = Write("in.bin", QByteArray(256, '\x3C'));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    for (const QString& target : {QString("/dev/full"), dir.filePath("folder")}) {
        const Outcome refused = Cli({"--bench-vcd", target, "write", "--chip", "24C02", "-i", in});
        EXPECT_EQ(refused.code, 2);
        EXPECT_TRUE(refused.err.contains("--bench-vcd: cannot save")) << refused.err.toStdString();
    }
    EXPECT_NE(Cli({"read", "--chip", "24C02", "-o", "-"}).out, QByteArray(256, '\x3C')) << "refused before";

    fileSizeLimit = 65536;  // the chips' files fit, the waveform does not
    const Outcome late =
        Cli({"--json", "--bench-vcd", dir.filePath("w.vcd"), "write", "--chip", "24C02", "-i", in});
    EXPECT_EQ(late.code, 1);
    const QJsonObject object = QJsonDocument::fromJson(late.out).object();
    EXPECT_TRUE(object["verified"].toBool());
    EXPECT_FALSE(object["waveform_saved"].toBool(true));
    EXPECT_TRUE(object["error"].toString().startsWith("the bus waveform was not saved"))
        << late.out.toStdString();
    EXPECT_FALSE(late.err.contains("nothing was written")) << late.err.toStdString();
    fileSizeLimit = RLIM_INFINITY;
    EXPECT_EQ(Cli({"read", "--chip", "24C02", "-o", "-"}).out, QByteArray(256, '\x3C'));
}

// A file is judged by the data it holds: the whole of a 25M02 as S3 records
// of 8 bytes with CRLF line ends is over 1 MiB, and is written.
TEST_F(MerlixCli, TheLargestPartsFileIsTakenInItsMostSpreadOutForm) {
    QByteArray text;
    constexpr int kBytes = 262144;
    for (int at = 0; at < kBytes; at += 8) {
        QByteArray record(1, char(13));  // count: 4 address bytes, 8 data bytes, the sum
        for (int shift = 24; shift >= 0; shift -= 8) record.append(char(at >> shift));
        for (int i = 0; i < 8; ++i) record.append(char((at + i) * 7 + (at + i) / 251));
        unsigned sum = 0;
        for (char b : record) sum += static_cast<unsigned char>(b);
        record.append(char(~sum));
        text += "S3" + record.toHex().toUpper() + "\r\n";
    }
    text += "S70500000000FA\r\n";
    ASSERT_GT(text.size(), 1 << 20);
    const Outcome written = Cli({"--bench-adapter", "spidev", "--bench-chip", "25M02", "--no-backup", "write",
                                 "--chip", "25M02", "-i", Write("big.srec", text)});
    EXPECT_EQ(written.code, 0) << written.err.toStdString();
}

}  // namespace
