// merlix-cli on every adapter's fake: the register commands, every kind of
// part round trip, and several CH341A programmers side by side.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <vector>

#include "eeprom/image_formats.h"
#include "monitor/monitor_logic.h"
#include "tests/cli/cli_fixture.h"

namespace {

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

}  // namespace
