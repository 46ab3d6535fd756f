// merlix-cli's own output files beside the command's (the trace, the bench's
// waveform) and the bench state folder two runs share.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include "tests/cli/cli_fixture.h"

namespace {

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

}  // namespace
