// Chip dumps: the raw files, and the bench window's Load and Save of the
// 24C16, of the part in the I2C socket and of the chip in the serial socket.
#include "ui/bench/chip_dump.h"

#include <QLabel>

#include <cstring>

#include "eeprom/file_access.h"
#include "simulator/i2c_memory.h"
#include "ui/bench/bench_look.h"
#include "ui/bench/bench_window.h"
#include "ui/main/ui_seams.h"

namespace ui {

ChipDumpLoad LoadChipDump(const QString& path, std::vector<std::uint8_t>& memory, std::string& error) {
    ChipDumpLoad result;
    QByteArray data;
    bool longer = false;
    if (!eeprom::ReadFileHead(path, static_cast<qint64>(memory.size()), data, longer, error)) return result;
    std::memcpy(memory.data(), data.constData(), static_cast<std::size_t>(data.size()));
    result.ok = true;
    result.bytesLoaded = static_cast<int>(data.size());
    result.fileLonger = longer;
    return result;
}

bool SaveChipDump(const QString& path, const std::vector<std::uint8_t>& memory, std::string& error) {
    return eeprom::WriteFileAtomically(path, reinterpret_cast<const char*>(memory.data()),
                                       static_cast<qint64>(memory.size()), error);
}

// --- The window's Load and Save ----------------------------------------------

namespace {
const QString kEepromName = QStringLiteral("24C16");
}  // namespace

void BenchWindow::LoadEeprom() { LoadInto(DumpChip::Eeprom); }
void BenchWindow::SaveEeprom() { SaveFrom(DumpChip::Eeprom); }
void BenchWindow::LoadSocketChip() { LoadInto(DumpChip::SerialSocket); }
void BenchWindow::SaveSocketChip() { SaveFrom(DumpChip::SerialSocket); }
void BenchWindow::LoadI2cPart() { LoadInto(DumpChip::I2cSocket); }
void BenchWindow::SaveI2cPart() { SaveFrom(DumpChip::I2cSocket); }

std::vector<std::uint8_t>* BenchWindow::SocketMemory() {
    simulator::SerialChip* chip = bench_.SocketChip();
    if (!chip || chip->Memory().empty()) return nullptr;
    return &chip->Memory();
}

std::vector<std::uint8_t>* BenchWindow::ChipMemory(DumpChip chip, QString& name) {
    if (chip == DumpChip::Eeprom) {
        name = kEepromName;
        return &bench_.Eeprom();
    }
    if (chip == DumpChip::I2cSocket) {
        simulator::I2cMemory* part = bench_.I2cPart();
        if (!part) {
            ShowMessage(QStringLiteral("The I2C socket holds no part: choose one above its contents."));
            return nullptr;
        }
        name =
            QString::fromLatin1(part->Part().name.data(), static_cast<qsizetype>(part->Part().name.size()));
        return &part->Memory();
    }
    std::vector<std::uint8_t>* memory = SocketMemory();
    if (!memory) {
        ShowMessage(
            QStringLiteral("The serial socket holds no memory chip: choose one in the chip list or here."));
        return nullptr;
    }
    name = QString::fromStdString(bench_.SocketChip()->Name());
    return memory;
}

void BenchWindow::LoadInto(DumpChip chip) {
    QString name;
    if (!ChipMemory(chip, name)) return;
    const QString path = AskOpenPath(QStringLiteral("*.bin"));
    if (path.isEmpty()) return;
    // The file dialog ran the event loop: take the chip again.
    std::vector<std::uint8_t>* memory = ChipMemory(chip, name);
    if (!memory) return;
    std::string error;
    const ChipDumpLoad result = LoadChipDump(path, *memory, error);
    if (!result.ok) {
        ShowMessage(QString::fromStdString(error));
        return;
    }
    const int size = static_cast<int>(memory->size());
    QString note =
        QStringLiteral("Loaded %1 bytes of \"%2\" into the %3.").arg(result.bytesLoaded).arg(path, name);
    if (result.bytesLoaded == 0)
        note = QStringLiteral("\"%1\" is empty: the %2 is unchanged.").arg(path, name);
    if (result.bytesLoaded > 0 && result.bytesLoaded < size)
        note += QStringLiteral(" Bytes %1 to %2 keep their contents.")
                    .arg(Hex(result.bytesLoaded, 3), Hex(size - 1, 3));
    noteLabel_->setText(note);
    if (result.fileLonger) {
        ShowMessage(
            QStringLiteral("\"%1\" holds more than the %2's %3 bytes: only its first %3 bytes were loaded.")
                .arg(path, name)
                .arg(size));
    }
    Refresh();
}

void BenchWindow::SaveFrom(DumpChip chip) {
    QString name;
    if (!ChipMemory(chip, name)) return;
    const QString path = AskSavePath(name.toLower() + QStringLiteral(".bin"));
    if (path.isEmpty()) return;
    std::vector<std::uint8_t>* memory = ChipMemory(chip, name);
    if (!memory) return;
    std::string error;
    if (!SaveChipDump(path, *memory, error)) {
        ShowMessage(QString::fromStdString(error));
        return;
    }
    noteLabel_->setText(
        QStringLiteral("Saved the %1 (%2 bytes) to \"%3\".").arg(name).arg(memory->size()).arg(path));
}

}  // namespace ui
