// The built merlix-cli run as a script runs it, on the simulated bench with
// its chips kept in the test's temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <csignal>

struct Outcome {
    int code = -1;
    QByteArray out;
    QString err;
};

class MerlixCli : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    Outcome Cli(QStringList args, const QByteArray& input = {}) const {
        if (onBench) args = QStringList{"--bench", "--bench-state", dir.filePath("state")} + args;
        QProcess process;
        // Backups go to the test's folder, never the real home.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", dir.filePath("data"));
        if (!pathFirst.isEmpty()) environment.insert("PATH", pathFirst + ":" + environment.value("PATH"));
        process.setProcessEnvironment(environment);
        // A disk that fills: writes past the limit fail as they would on a full disk.
        const rlim_t limit = fileSizeLimit;
        process.setChildProcessModifier([limit] {
            if (limit == RLIM_INFINITY) return;
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit small{limit, limit};
            setrlimit(RLIMIT_FSIZE, &small);
        });
        process.start(QStringLiteral(MERLIX_CLI), args);
        process.write(input);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(120000)) << args.join(' ').toStdString();
        return {process.exitCode(), process.readAllStandardOutput(),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }
    QString Write(const QString& name, const QByteArray& bytes) const {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    QByteArray Read(const QString& name) const {
        QFile file(QDir(dir.path()).filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    rlim_t fileSizeLimit = RLIM_INFINITY;
    bool onBench = true;  // false: this machine's own ports, as the port survey wants
    QString pathFirst;    // a folder searched before PATH, for programs merlix-cli runs
};
