// merlix-cli's memory commands on a part of a chip: ranges on every family,
// files that give only some bytes, erase and blank-check, and what a run ends
// with (the result line, JSON progress, --version, each command's example).
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>

#include "tests/cli/cli_fixture.h"

namespace {

// An Intel HEX file of one data record: `data` at `at`.
QByteArray HexFile(std::uint16_t at, const QByteArray& data) {
    QByteArray record;
    record.append(static_cast<char>(data.size())).append(static_cast<char>(at >> 8));
    record.append(static_cast<char>(at)).append('\0').append(data);
    std::uint8_t sum = 0;
    for (char c : record) sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(c));
    record.append(static_cast<char>(-sum));
    return ":" + record.toHex().toUpper() + "\n:00000001FF\n";
}

// Every family through its own transfers: a stretch filled, a smaller one
// erased inside it, read back, blank-checked; the bytes around each stretch
// keep what they held (a 93Cxx x16 word cut in two by the stretch included).
TEST_F(MerlixCli, RangesWriteOnlyTheirBytesOnEveryFamily) {
    for (const char* chip : {"24C16", "24C32", "93C46x16", "AT25C080", "25640"}) {
        SCOPED_TRACE(chip);
        ASSERT_EQ(Cli({"--no-backup", "fill", "--chip", chip, "--value", "0x11"}).code, 0);
        const Outcome fill =
            Cli({"--no-backup", "fill", "--chip", chip, "--value", "0x77", "--range", "0x21-0x42"});
        ASSERT_EQ(fill.code, 0) << fill.err.toStdString();
        EXPECT_TRUE(
            fill.err.contains(QString("%1: 34 bytes at 0x0021..0x0042 set to 77 and verified").arg(chip)))
            << fill.err.toStdString();
        ASSERT_EQ(Cli({"--no-backup", "erase", "--chip", chip, "--offset", "0x30", "--length", "3"}).code, 0);
        const Outcome read =
            Cli({"read", "--chip", chip, "--range", "0x20-0x43", "-o", dir.filePath("r.bin")});
        ASSERT_EQ(read.code, 0) << read.err.toStdString();
        QByteArray expected = QByteArray(1, 0x11) + QByteArray(34, 0x77) + QByteArray(1, 0x11);
        expected.replace(0x10, 3, QByteArray(3, '\xFF'));
        EXPECT_EQ(Read("r.bin").toHex(' '), expected.toHex(' '));

        EXPECT_EQ(Cli({"blank-check", "--chip", chip, "--range", "0x30-0x32"}).code, 0);
        const Outcome notBlank = Cli({"--json", "blank-check", "--chip", chip, "--offset", "0x2F"});
        EXPECT_EQ(notBlank.code, 3);
        const QJsonObject json = QJsonDocument::fromJson(notBlank.out).object();
        EXPECT_EQ(json["first"].toInt(), 0x2F);
        EXPECT_EQ(json["blank"].toBool(true), false);
        EXPECT_EQ(json["nonblank"].toInt(), json["length"].toInt() - 3);
        EXPECT_TRUE(json["error"].toString().contains("is not blank")) << notBlank.out.toStdString();
    }
}

// A file that gives only some bytes never touches, nor blames, the others:
// write and verify take what it gives; a raw file of another size is
// refused naming both sizes, and --pad writes FF after its end.
TEST_F(MerlixCli, AFileGivesOnlyItsOwnBytes) {
    ASSERT_EQ(Cli({"--no-backup", "fill", "--chip", "24C32", "--value", "0x5A"}).code, 0);
    const QString hex = Write("part.hex", HexFile(0x100, QByteArray(16, 0x3C)));
    const Outcome write = Cli({"write", "--chip", "24C32", "-i", hex});
    ASSERT_EQ(write.code, 0) << write.err.toStdString();
    EXPECT_TRUE(write.err.contains("the file defines 16 of 4096 bytes; the others keep their contents"))
        << write.err.toStdString();
    EXPECT_TRUE(write.err.contains("24C32: 16 bytes at 0x0100..0x010F written and verified"));
    ASSERT_EQ(Cli({"read", "--chip", "24C32", "-o", dir.filePath("all.bin")}).code, 0);
    QByteArray expected(4096, 0x5A);
    expected.replace(0x100, 16, QByteArray(16, 0x3C));
    EXPECT_EQ(Read("all.bin"), expected);

    const Outcome verify = Cli({"verify", "--chip", "24C32", "-i", hex});
    EXPECT_EQ(verify.code, 0) << verify.err.toStdString();
    const QJsonObject json =
        QJsonDocument::fromJson(Cli({"--json", "verify", "--chip", "24C32", "-i", hex}).out).object();
    EXPECT_EQ(json["defined"].toInt(), 16);
    EXPECT_EQ(json["offset"].toInt(), 0x100);
    EXPECT_TRUE(verify.err.contains("the file defines 16 of 4096 bytes; only those are compared"));
    EXPECT_TRUE(verify.err.endsWith("\nverified: equal\n")) << verify.err.toStdString();

    const QString small = Write("small.bin", QByteArray(1000, 0x01));
    for (const char* command : {"write", "verify"}) {
        const Outcome refused = Cli({command, "--chip", "24C32", "-i", small});
        EXPECT_EQ(refused.code, 2);
        EXPECT_TRUE(refused.err.contains("small.bin holds 1000 bytes and the 24C32 4096"))
            << refused.err.toStdString();
    }
    ASSERT_EQ(Cli({"read", "--chip", "24C32", "-o", dir.filePath("after.bin")}).code, 0);
    EXPECT_EQ(Read("after.bin"), expected);
    ASSERT_EQ(Cli({"write", "--pad", "--chip", "24C32", "-i", small}).code, 0);
    ASSERT_EQ(Cli({"read", "--chip", "24C32", "-o", dir.filePath("padded.bin")}).code, 0);
    EXPECT_EQ(Read("padded.bin"), QByteArray(1000, 0x01) + QByteArray(3096, '\xFF'));
    EXPECT_EQ(Cli({"verify", "--chip", "24C32", "--length", "1000", "-i", small}).code, 0);
}

// The end of a run: one result line on stderr (none with --quiet), JSON
// progress a line at a time, the version with what it runs on, and each
// command's help with an example.
TEST_F(MerlixCli, ARunEndsWithOneResultLine) {
    const Outcome write = Cli({"--progress=json", "fill", "--chip", "24C02", "--value", "0"});
    ASSERT_EQ(write.code, 0) << write.err.toStdString();
    QStringList lines = write.err.split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.takeLast(), "24C02: 256 bytes set to 00 and verified");
    QStringList phases;
    for (const QString& line : lines) {
        if (!line.startsWith('{')) continue;
        const QJsonObject progress = QJsonDocument::fromJson(line.toUtf8()).object();
        ASSERT_EQ(progress["total"].toInt(), 256) << line.toStdString();
        EXPECT_TRUE(progress["rate"].isDouble());
        if (progress["bytes"].toInt() == 256) phases << progress["phase"].toString();
    }
    EXPECT_EQ(phases, QStringList({"writing", "verifying"}));
    const Outcome quiet = Cli({"-q", "erase", "--chip", "24C02"});
    EXPECT_EQ(quiet.code, 0);
    EXPECT_FALSE(quiet.err.contains("erased")) << quiet.err.toStdString();

    const Outcome version = Cli({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(QString(version.out).startsWith("merlix-cli 4.")) << version.out.toStdString();
    EXPECT_TRUE(version.out.contains("\nQt 6.") && version.out.contains("\nlibusb 1."));
    for (const char* command : {"read", "write", "verify", "fill", "erase", "blank-check", "restore"})
        EXPECT_TRUE(Cli({command, "--help"}).out.contains(QByteArray("Example:\n  merlix-cli ") + command))
            << command;
}

}  // namespace
