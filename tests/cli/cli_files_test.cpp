// merlix-cli's image files end to end on the simulated bench: formats, names,
// page files, backups and restore.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <string>
#include <vector>

#include "eeprom/image_formats.h"
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

}  // namespace
