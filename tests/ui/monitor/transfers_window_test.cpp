// The "Bus transfers" window end to end on the bench: a real capture played
// through the monitor into the table, with a register name from the remarks
// base, the NACK highlight, filters, search, pause, and the capture-text
// export played back by the bench giving the same log lines.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "bus_monitor_support.h"
#include "ui/monitor/transfer_rate_chart.h"
#include "ui/monitor/transfers_window.h"

namespace monitortest {
namespace {

const std::string kCapture = MERLIX_TEST_DATA_DIR "/captures/x24c02_dual.i2c.txt";

class TransfersWindowTest : public MonitorWindow {
protected:
    void Configure(SimulatedBench::Config& config) override {
        config.traffic = SimulatedBench::Traffic::Capture;
        config.captureFile = kCapture;
    }
    TransfersWindow& Window() { return *dialog().Monitor().OpenedTransfersWindow(); }
    QString Cell(int row, int column, int role = Qt::DisplayRole) {
        QAbstractItemModel* model = Window().Table()->model();
        return model->data(model->index(row, column), role).toString();
    }
    int Rows() { return Window().Table()->model()->rowCount(); }
    void PlayCapture(std::size_t transfers) {
        const std::uint64_t played = bench().TransfersPlayed();
        StartMonitor();
        PollUntilPlayed(played + transfers);
        StopMonitor();
    }
};

TEST_F(TransfersWindowTest, RealCaptureGivesOneNamedRowPerTransferAndItsExportPlaysBack) {
    dialog().Console().m_remarkLines.AddSorted("A0 08 14 Power-on config");
    dialog().Monitor().TransfersWindowAction()->trigger();
    ASSERT_NE(dialog().Monitor().OpenedTransfersWindow(), nullptr);
    PlayCapture(10);
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 10u);
    ASSERT_EQ(Rows(), 10);

    // " W A0 08  R A1 14  ; ": address 0x50, register 08, its name, a
    // refused last byte in red.
    EXPECT_EQ(Cell(0, TransfersWindow::kAddress7), "0x50");
    EXPECT_EQ(Cell(0, TransfersWindow::kAddress8), "A0");
    EXPECT_EQ(Cell(0, TransfersWindow::kDirection), "W");
    EXPECT_EQ(Cell(0, TransfersWindow::kRepeated), "A1");
    EXPECT_EQ(Cell(0, TransfersWindow::kRegister), "08");
    EXPECT_EQ(Cell(0, TransfersWindow::kBytes), "14");
    EXPECT_EQ(Cell(0, TransfersWindow::kAcks), "A | N");
    EXPECT_EQ(Cell(0, TransfersWindow::kName), "Power-on config");
    EXPECT_EQ(Cell(0, TransfersWindow::kAcks, Qt::BackgroundRole), "")
        << "the NACK that ends a read is no fault";
    EXPECT_EQ(Cell(1, TransfersWindow::kAddress7), "0x51");
    EXPECT_EQ(Cell(1, TransfersWindow::kName), "") << "the name is 0x50's alone";
    EXPECT_FALSE(Window().Chart()->Series().empty());

    // Filter by address and direction, and search.
    QComboBox* address = Window().AddressFilter();
    address->setCurrentIndex(address->findData(0x51));
    EXPECT_GT(Rows(), 0);
    for (int r = 0; r < Rows(); ++r) EXPECT_EQ(Cell(r, TransfersWindow::kAddress7), "0x51");
    Window().DirectionFilter()->setCurrentIndex(2);  // read only: every transfer here begins as a write
    EXPECT_EQ(Rows(), 0);
    Window().DirectionFilter()->setCurrentIndex(0);
    address->setCurrentIndex(0);
    Window().Search()->setText("power-ON");
    EXPECT_GT(Rows(), 0);
    for (int r = 0; r < Rows(); ++r) EXPECT_EQ(Cell(r, TransfersWindow::kRegister), "08");
    Window().Search()->clear();
    EXPECT_EQ(Rows(), 10);

    // The rows as capture text, played as the second master: the same log.
    const std::string path = ::testing::TempDir() + "merlix_transfers.i2c.txt";
    savePathAnswer = QString::fromStdString(path);
    Window().ExportCapture();
    EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
    bench().SetTraffic(SimulatedBench::Traffic::Capture, path);
    PlayCapture(10);
    EXPECT_EQ(LogLines(), lines);
    std::filesystem::remove(path);

    savePathAnswer = QString::fromStdString(::testing::TempDir() + "merlix_transfers.csv");
    Window().ExportCsv();
    std::ifstream csv(savePathAnswer.toStdString());
    std::stringstream text;
    text << csv.rdbuf();
    EXPECT_NE(text.str().find(",A0,W,A1,08,14,A | N,yes,Power-on config\r\n"), std::string::npos)
        << text.str();
    std::filesystem::remove(savePathAnswer.toStdString());
}

TEST_F(TransfersWindowTest, PausedWindowKeepsWhatComesAndShowsItOnContinue) {
    bench().SetTraffic(SimulatedBench::Traffic::None);
    dialog().Monitor().ShowTransfersWindow();
    StartMonitor();
    bench().QueueTransfer(Write(0x40, {0x05, 0x7F}));
    PollUntilPlayed(1);
    ASSERT_EQ(Rows(), 1);
    Window().PauseButton()->click();
    bench().QueueTransfer({Start(), Byte(0x42), Byte(0x01), Byte(0x02, false), Stop()});
    PollUntilPlayed(2);
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(Window().PauseButton()->text(), "Continue");
    Window().PauseButton()->click();
    ASSERT_EQ(Rows(), 2);
    EXPECT_EQ(Cell(1, TransfersWindow::kAddress8), "42");
    EXPECT_EQ(Cell(1, TransfersWindow::kIndex), "2");
    EXPECT_EQ(Cell(1, TransfersWindow::kAcks), "A N");
    EXPECT_NE(Cell(1, TransfersWindow::kAcks, Qt::BackgroundRole), "") << "a refused write is shown red";
    StopMonitor();
}

}  // namespace
}  // namespace monitortest
