// The "Bus transfers" window: what the bus monitor captures, one row per
// transfer (START to STOP), decoded, with the register names the remarks base
// knows. A filter by address and direction, a text search, pause and
// continue, CSV and capture-text export of the rows shown, and a strip chart
// of transfers per second by address. MainDialog feeds it from its poll timer
// through the monitor's TransferLog; the window never touches the adapter.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "monitor/transfer_decode.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace ui {

class TransferRateChart;
class TransfersModel;

class TransfersWindow : public QWidget {
    Q_OBJECT

public:
    // The columns of monitor::kTransferColumns, by name.
    enum Column {
        kIndex,
        kTime,
        kAddress7,
        kAddress8,
        kDirection,
        kRepeated,
        kRegister,
        kBytes,
        kAcks,
        kStop,
        kName,
        kColumns
    };
    static_assert(kColumns == monitor::kTransferColumns.size(), "one enumerator per column of the table");

    // `log` and the two functions outlive the window (MainDialog owns all three).
    // `names` gives the register name for an 8-bit write address and a
    // register; `nowUs` the monitor time now.
    TransfersWindow(const monitor::TransferLog& log, monitor::RegisterNamer names,
                    std::function<std::int64_t()> nowUs, QWidget* parent = nullptr);
    ~TransfersWindow() override;

    // New transfers arrived (a poll pass ended): rows for them, unless paused.
    void Refresh();
    // The monitor started afresh: the log was emptied.
    void Reset();

    // The rows shown, after filter and search, as the log's transfers.
    std::vector<monitor::SeenTransfer> ShownTransfers() const;
    QTableView* Table() const { return table_; }
    QComboBox* AddressFilter() const { return address_; }
    QComboBox* DirectionFilter() const { return direction_; }
    QLineEdit* Search() const { return search_; }
    QPushButton* PauseButton() const { return pause_; }
    TransferRateChart* Chart() const { return chart_; }
    bool Paused() const { return paused_; }

    void ExportCsv();
    void ExportCapture();

private:
    void TogglePause();
    void FilterChanged();
    void UpdateAddressChoices();
    void UpdateStatus();
    bool Export(const QString& initialName, const std::string& text);

    const monitor::TransferLog& log_;
    std::function<std::int64_t()> nowUs_;
    TransfersModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QComboBox* address_ = nullptr;
    QComboBox* direction_ = nullptr;
    QLineEdit* search_ = nullptr;
    QPushButton* pause_ = nullptr;
    QLabel* status_ = nullptr;
    TransferRateChart* chart_ = nullptr;
    bool paused_ = false;
    std::uint32_t addressesSeen_[4] = {};  // 7-bit addresses offered in the filter, as a bit set
    int addressesNext_ = 0;                // the first log index not yet looked at for them
};

}  // namespace ui
