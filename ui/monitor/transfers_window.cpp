// The "Bus transfers" window and its table model.
#include "ui/monitor/transfers_window.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "eeprom/file_access.h"
#include "eeprom/hex_text.h"
#include "ui/main/ui_seams.h"
#include "ui/monitor/transfer_rate_chart.h"

namespace ui {

using monitor::DecodedTransfer;
using monitor::SeenTransfer;

namespace {

const QColor kNackBackground(0xFF, 0xC8, 0xC8);
const QColor kNoStopBackground(0xFF, 0xDD, 0x99);

QString Hex(int value) { return QString::fromStdString(eeprom::HexByte(value)); }

}  // namespace

// The table's rows: the log's transfers that pass the filter and the search,
// by their running index. Rows are only ever added at the end (new
// transfers) or dropped at the front (transfers the log let go).
class TransfersModel final : public QAbstractTableModel {
public:
    TransfersModel(const monitor::TransferLog& log, monitor::RegisterNamer names, QObject* parent)
        : QAbstractTableModel(parent), log_(log), names_(std::move(names)) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : TransfersWindow::kColumns;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section >= TransfersWindow::kColumns)
            return {};
        return QString::fromLatin1(monitor::kTransferColumns[static_cast<std::size_t>(section)].title);
    }

    QVariant data(const QModelIndex& index, int role) const override {
        const SeenTransfer* seen = At(index.row());
        if (!seen) return {};
        const DecodedTransfer& t = seen->transfer;
        switch (role) {
            case Qt::DisplayRole:
                return Cell(*seen, index.column());
            case Qt::BackgroundRole:
                if (index.column() == TransfersWindow::kAcks && t.Refusals() > 0) return kNackBackground;
                if (index.column() == TransfersWindow::kStop && !t.stopSeen) return kNoStopBackground;
                return {};
            case Qt::ToolTipRole:
                if (index.column() == TransfersWindow::kAcks)
                    return QStringLiteral("Acknowledge of each byte, A yes, N no; | at a repeated START. The "
                                          "controller does not report an address's acknowledge.");
                if (index.column() == TransfersWindow::kBytes) return Cell(*seen, index.column());
                if (index.column() == TransfersWindow::kStop && !t.stopSeen)
                    return QStringLiteral("The transfer did not end with a STOP the monitor saw");
                return {};
            case Qt::TextAlignmentRole:
                return index.column() <= TransfersWindow::kTime ? int(Qt::AlignRight | Qt::AlignVCenter)
                                                                : int(Qt::AlignLeft | Qt::AlignVCenter);
            default:
                return {};
        }
    }

    QString Cell(const SeenTransfer& seen, int column) const {
        if (column < 0 || column >= TransfersWindow::kColumns) return {};
        const monitor::TransferColumn& c = monitor::kTransferColumns[static_cast<std::size_t>(column)];
        return QString::fromStdString(c.text(seen, names_, monitor::ColumnText::Window));
    }

    const SeenTransfer* At(int row) const {
        if (row < 0 || row >= static_cast<int>(rows_.size())) return nullptr;
        const auto& items = log_.Items();
        if (items.empty()) return nullptr;
        const long long position =
            static_cast<long long>(rows_[static_cast<std::size_t>(row)]) - items.front().index;
        if (position < 0 || position >= static_cast<long long>(items.size())) return nullptr;
        return &items[static_cast<std::size_t>(position)];
    }

    bool Passes(const SeenTransfer& seen) const {
        const DecodedTransfer& t = seen.transfer;
        if (address_ >= 0 && t.Address7() != address_) return false;
        if (direction_ == 1 && t.Read()) return false;
        if (direction_ == 2 && !t.Read()) return false;
        if (search_.isEmpty()) return true;
        for (int c = 0; c < TransfersWindow::kColumns; ++c) {
            if (Cell(seen, c).contains(search_, Qt::CaseInsensitive)) return true;
        }
        return false;
    }

    // Rows for the transfers the log got since the last call; rows whose
    // transfers the log let go leave at the front.
    void TakeNew() {
        const auto& items = log_.Items();
        const int first = items.empty() ? log_.NextIndex() : items.front().index;
        std::size_t gone = 0;
        while (gone < rows_.size() && rows_[gone] < first) ++gone;
        if (gone > 0) {
            beginRemoveRows({}, 0, static_cast<int>(gone) - 1);
            rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(gone));
            endRemoveRows();
        }
        std::vector<int> added;
        for (auto it = items.rbegin(); it != items.rend() && it->index >= next_; ++it) {
            if (Passes(*it)) added.push_back(it->index);
        }
        next_ = log_.NextIndex();
        if (added.empty()) return;
        beginInsertRows({}, static_cast<int>(rows_.size()),
                        static_cast<int>(rows_.size() + added.size()) - 1);
        rows_.insert(rows_.end(), added.rbegin(), added.rend());
        endInsertRows();
    }

    // Rows built again from the whole log (a filter changed, the log restarted).
    void Rebuild() {
        beginResetModel();
        rows_.clear();
        next_ = 0;
        endResetModel();
        TakeNew();
    }

    void SetFilter(int address, int direction, QString search) {
        address_ = address;
        direction_ = direction;
        search_ = std::move(search);
        Rebuild();
    }

    std::vector<SeenTransfer> Shown() const {
        std::vector<SeenTransfer> shown;
        shown.reserve(rows_.size());
        for (int r = 0; r < rowCount(); ++r) {
            if (const SeenTransfer* seen = At(r)) shown.push_back(*seen);
        }
        return shown;
    }

    monitor::RegisterNamer Names() const { return names_; }

private:
    const monitor::TransferLog& log_;
    monitor::RegisterNamer names_;
    std::vector<int> rows_;
    int next_ = 0;  // the first index not yet looked at
    int address_ = -1;
    int direction_ = 0;
    QString search_;
};

TransfersWindow::TransfersWindow(const monitor::TransferLog& log, monitor::RegisterNamer names,
                                 std::function<std::int64_t()> nowUs, QWidget* parent)
    : QWidget(parent, Qt::Window), log_(log), nowUs_(std::move(nowUs)) {
    setWindowTitle(QStringLiteral("Bus transfers"));
    setAccessibleName(QStringLiteral("Bus transfers"));

    address_ = new QComboBox(this);
    address_->setAccessibleName(QStringLiteral("Address filter"));
    address_->addItem(QStringLiteral("All addresses"), -1);
    direction_ = new QComboBox(this);
    direction_->setAccessibleName(QStringLiteral("Direction filter"));
    direction_->addItems({QStringLiteral("Read and write"), QStringLiteral("Write"), QStringLiteral("Read")});
    search_ = new QLineEdit(this);
    search_->setAccessibleName(QStringLiteral("Search"));
    search_->setPlaceholderText(QStringLiteral("Search (bytes, register, name...)"));
    search_->setClearButtonEnabled(true);
    pause_ = new QPushButton(QStringLiteral("Pause"), this);
    pause_->setAccessibleName(QStringLiteral("Pause"));
    auto* csv = new QPushButton(QStringLiteral("Export CSV..."), this);
    csv->setAccessibleName(QStringLiteral("Export CSV"));
    auto* capture = new QPushButton(QStringLiteral("Export capture..."), this);
    capture->setAccessibleName(QStringLiteral("Export capture"));
    capture->setToolTip(QStringLiteral("The rows shown as I2C decoder text, which --traffic plays back"));

    auto* bar = new QHBoxLayout;
    bar->addWidget(new QLabel(QStringLiteral("Address:"), this));
    bar->addWidget(address_);
    bar->addWidget(direction_);
    bar->addWidget(search_, 1);
    bar->addWidget(pause_);
    bar->addWidget(csv);
    bar->addWidget(capture);

    model_ = new TransfersModel(log_, std::move(names), this);
    table_ = new QTableView(this);
    table_->setAccessibleName(QStringLiteral("Transfers"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    table_->horizontalHeader()->setStretchLastSection(true);
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (int c = 0; c < kColumns; ++c)
        table_->setColumnWidth(c, (monitor::kTransferColumns[static_cast<std::size_t>(c)].width + 2) * digit);

    chart_ = new TransferRateChart(this);
    status_ = new QLabel(this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(table_, 1);
    layout->addWidget(new QLabel(QStringLiteral("Transfers per second by address, last minute:"), this));
    layout->addWidget(chart_);
    layout->addWidget(status_);
    resize(1000, 560);

    connect(address_, &QComboBox::currentIndexChanged, this, &TransfersWindow::FilterChanged);
    connect(direction_, &QComboBox::currentIndexChanged, this, &TransfersWindow::FilterChanged);
    connect(search_, &QLineEdit::textChanged, this, &TransfersWindow::FilterChanged);
    connect(pause_, &QPushButton::clicked, this, &TransfersWindow::TogglePause);
    connect(csv, &QPushButton::clicked, this, &TransfersWindow::ExportCsv);
    connect(capture, &QPushButton::clicked, this, &TransfersWindow::ExportCapture);
    Reset();
}

TransfersWindow::~TransfersWindow() = default;

void TransfersWindow::Refresh() {
    if (paused_) return;
    const int before = model_->rowCount();
    UpdateAddressChoices();
    model_->TakeNew();
    if (model_->rowCount() != before) table_->scrollToBottom();
    chart_->Show(log_.Items(), nowUs_ ? nowUs_() - log_.StartUs() : 0);
    UpdateStatus();
}

void TransfersWindow::Reset() {
    addressesNext_ = 0;
    model_->Rebuild();
    UpdateAddressChoices();
    chart_->Show(log_.Items(), nowUs_ ? nowUs_() - log_.StartUs() : 0);
    UpdateStatus();
}

void TransfersWindow::TogglePause() {
    paused_ = !paused_;
    pause_->setText(paused_ ? QStringLiteral("Continue") : QStringLiteral("Pause"));
    pause_->setAccessibleName(pause_->text());
    if (!paused_) Refresh();  // nothing seen meanwhile is lost: it comes now
    UpdateStatus();
}

void TransfersWindow::FilterChanged() {
    model_->SetFilter(address_->currentData().toInt(), direction_->currentIndex(), search_->text().trimmed());
    UpdateStatus();
}

// Offers each 7-bit address once it has been seen, in ascending order.
void TransfersWindow::UpdateAddressChoices() {
    const auto& items = log_.Items();
    for (auto it = items.rbegin(); it != items.rend() && it->index >= addressesNext_; ++it) {
        const int a = it->transfer.Address7();
        if (addressesSeen_[a / 32] & (1u << (a % 32))) continue;
        addressesSeen_[a / 32] |= 1u << (a % 32);
        int at = 1;
        while (at < address_->count() && address_->itemData(at).toInt() < a) ++at;
        const QSignalBlocker quiet(address_);
        address_->insertItem(at, QStringLiteral("0x%1 (%2)").arg(Hex(a), Hex(a << 1)), a);
    }
    addressesNext_ = log_.NextIndex();
}

void TransfersWindow::UpdateStatus() {
    const std::size_t total = log_.Items().size();
    QString text = QStringLiteral("%1 of %2 transfers shown").arg(model_->rowCount()).arg(total);
    if (paused_) text += QStringLiteral("; paused, new transfers are kept and shown on Continue");
    status_->setText(text);
}

std::vector<SeenTransfer> TransfersWindow::ShownTransfers() const { return model_->Shown(); }

bool TransfersWindow::Export(const QString& initialName, const std::string& text) {
    const QString path = AskSavePath(initialName);
    if (path.isEmpty()) return false;
    std::string error;
    if (!eeprom::WriteFileAtomically(path, text.data(), static_cast<qint64>(text.size()), error)) {
        ShowMessage(QString::fromStdString(error));
        return false;
    }
    status_->setText(QStringLiteral("Saved %1 transfers to \"%2\".").arg(model_->rowCount()).arg(path));
    return true;
}

void TransfersWindow::ExportCsv() {
    Export(QStringLiteral("transfers.csv"), monitor::TransfersCsv(ShownTransfers(), model_->Names()));
}

void TransfersWindow::ExportCapture() {
    Export(QStringLiteral("transfers.i2c.txt"), monitor::TransfersCaptureText(ShownTransfers()));
}

}  // namespace ui
