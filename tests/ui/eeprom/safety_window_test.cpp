// The window's safety net on the bench: the backup before a write and what
// stops a write when it fails, restoring a backup with its verify, undo and
// redo of the image, the verify report, F3 between marked bytes and the
// checksums window.
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include <algorithm>
#include <vector>

#include "eeprom/backup.h"
#include "eeprom/hex_layout.h"
#include "support/bench_fixture.h"
#include "ui/eeprom/checksums_dialog.h"
#include "ui/eeprom/restore_dialog.h"

namespace {

using testsupport::BenchFixture;

class SafetyWindow : public BenchFixture {
protected:
    QAction* Entry(const QString& text) {
        for (QAction* action : dialog().actions()) {
            if (action->text().startsWith(text)) return action;
        }
        ADD_FAILURE() << "no entry " << text.toStdString();
        return nullptr;
    }
    std::vector<std::uint8_t> Memory(int from, int size) {
        const auto& memory = bench().SocketChip()->Memory();
        return {memory.begin() + from, memory.begin() + from + size};
    }
    std::vector<std::uint8_t> Image(int from, int size) {
        return {session().image.begin() + from, session().image.begin() + from + size};
    }
    // Saves a picture for review when MERLIX_SCREENSHOT_DIR is set, then
    // gives the window back its keys.
    void Shot(QWidget& widget, const char* name) {
        const QByteArray dir = qgetenv("MERLIX_SCREENSHOT_DIR");
        if (dir.isEmpty()) return;
        widget.show();
        QCoreApplication::processEvents();
        EXPECT_TRUE(widget.grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QLatin1String(name)));
        widget.hide();
        QApplication::setActiveWindow(&dialog());
        QCoreApplication::processEvents();
    }
};

TEST_F(SafetyWindow, WriteKeepsTheOldChipAndRestoreWritesItBackVerified) {
    ChooseChip("93C46 (8)");
    auto& memory = bench().SocketChip()->Memory();
    for (int i = 0; i < 128; ++i) memory[i] = static_cast<std::uint8_t>(0x80 + i);
    const std::vector<std::uint8_t> old = Memory(0, 128);
    for (int i = 0; i < kImageSize; ++i) session().image[i] = static_cast<std::uint8_t>(i * 3);
    Click(ids::kWriteEeprom);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
    EXPECT_EQ(Memory(0, 128), Image(0, 128));

    std::vector<BackupEntry> backups = ListBackups(BackupFolder(), "93C46x8");
    ASSERT_EQ(backups.size(), 1u);
    std::vector<std::uint8_t> saved;
    std::string error;
    ASSERT_TRUE(LoadBackup(backups[0].path, 128, saved, error)) << error;
    EXPECT_EQ(saved, old);

    // Through the context menu: the list comes up with the newest chosen.
    Entry("Restore last backup")->trigger();
    auto* chooser = dialog().findChild<RestoreListDialog*>();
    ASSERT_NE(chooser, nullptr);
    chooser->accept();
    EXPECT_EQ(Memory(0, 128), old);
    EXPECT_EQ(Image(0, 128), old);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Restored and verified: 93C46x8-")) << messages[0].toStdString();
    // The restore's own write was backed up first, and the list shows both.
    backups = ListBackups(BackupFolder(), "93C46x8");
    ASSERT_EQ(backups.size(), 2u);
    RestoreListDialog list(backups, &dialog());
    ASSERT_EQ(list.List()->topLevelItemCount(), 2);
    EXPECT_EQ(list.List()->topLevelItem(1)->text(1), "93C46x8");
    EXPECT_EQ(list.Chosen()->path, backups[0].path);
    Shot(list, "restore-list.png");

    // A backup of another size is refused and changes nothing.
    QFile::resize(backups[0].path, 100);
    memory[0] = 0x11;
    EXPECT_FALSE(dialog().Chip().RestoreBackup(backups[0]));
    EXPECT_TRUE(messages.last().contains("shorter than the 128 bytes")) << messages.last().toStdString();
    EXPECT_EQ(memory[0], 0x11);
}

TEST_F(SafetyWindow, I2cPageRestoresVerifiedAndAFailedBackupStopsTheWrite) {
    // I2C mode, page 2 at A4.
    ChooseChip("");
    Click(ids::kNextPage);
    Click(ids::kNextPage);
    const auto eepromPage = [this] {
        return std::vector<std::uint8_t>(bench().Eeprom().begin() + 2 * kPageSize,
                                         bench().Eeprom().begin() + 3 * kPageSize);
    };
    const std::vector<std::uint8_t> old = eepromPage();
    std::fill_n(session().image.begin() + 2 * kPageSize, kPageSize, std::uint8_t{0x42});
    Click(ids::kWriteEeprom);
    ASSERT_EQ(eepromPage(), std::vector<std::uint8_t>(kPageSize, 0x42));
    const std::vector<BackupEntry> backups = ListBackups(BackupFolder(), "24C16");
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(QFileInfo(backups[0].path).fileName().left(12), "24C16-A4-p2-");
    Click(ids::kPrevPage);
    ASSERT_TRUE(dialog().Chip().RestoreBackup(backups[0]));
    EXPECT_EQ(eepromPage(), old);
    EXPECT_EQ(dialog().m_page, 2);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Restored and verified: 24C16-A4-p2-"));
    messages.clear();
    std::fill_n(session().image.begin() + 2 * kPageSize, kPageSize, std::uint8_t{0x42});

    // Controller absent: the backup read cannot complete.
    bench().SetControllerPresent(false);
    Click(ids::kWriteEeprom);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Nothing was written: the backup of the chip failed. The backup read "
                                       "failed: Time Out"))
        << messages[0].toStdString();
    bench().SetControllerPresent(true);
    Click(ids::kResetPcf);

    // A folder that cannot be made: the read works, the write still must not start.
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    ASSERT_TRUE(QDir(data + "/merlix").removeRecursively());
    QFile blocker(data + "/merlix");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    messages.clear();
    Click(ids::kWriteEeprom);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("Cannot create the backup folder")) << messages[0].toStdString();
    EXPECT_EQ(eepromPage(), old);

    // Off for a batch, and remembered by the next window.
    Entry("Back up the chip before writing")->trigger();
    messages.clear();
    Click(ids::kWriteEeprom);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(bench().Eeprom()[2 * kPageSize], 0x42);
    MainDialog next(nullptr, NewSession());
    EXPECT_FALSE(next.Chip().BackupAction()->isChecked());
}

TEST_F(SafetyWindow, UndoAndRedoWalkALoadAndAnEditBackExactly) {
    for (int i = 0; i < 3; ++i) Click(ids::kNextPage);
    const eeprom::Image start = session().image;
    QTemporaryDir temp;
    QFile file(temp.filePath("image.bin"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(kImageSize, '\x5A'));
    file.close();
    openPathAnswer = file.fileName();
    Click(ids::kLoadImage);
    const eeprom::Image loaded = session().image;
    ASSERT_EQ(dialog().m_page, 0);

    Focus(dialog().Chip().m_hexView);
    ClickHexItem(HexOffsetItem(4));
    PressKey(dialog().Chip().m_hexView, Qt::Key_1);
    const eeprom::Image edited = session().image;
    ASSERT_EQ(edited[4], 0x1A);

    PressKey(&dialog(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(session().image, loaded);
    PressKey(&dialog(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(session().image, start);
    EXPECT_EQ(dialog().m_page, 3);  // the page follows the step undone
    EXPECT_EQ(Text(ids::kPage), "3");
    PressKey(&dialog(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(session().image, loaded);
    EXPECT_EQ(dialog().m_page, 0);
    PressKey(&dialog(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(session().image, edited);
    EXPECT_EQ(dialog().Chip().History().Stack().undoLimit(), 1000);
}

TEST_F(SafetyWindow, VerifyReportExplainsAChipNotStoringAndF3WalksTheMarks) {
    ChooseChip("93C46 (8)");
    bench().SetChipNoStore(true);
    for (int i = 0; i < kImageSize; ++i) session().image[i] = static_cast<std::uint8_t>(i);
    Click(ids::kWriteEeprom);
    ASSERT_EQ(messages.size(), 1);
    const QString report = messages[0];
    EXPECT_TRUE(report.startsWith("Verify failed: 128 bytes differ.\nEvery differing byte reads FF"))
        << report.toStdString();
    EXPECT_TRUE(report.contains("0001: expected 01, read FF"));
    EXPECT_EQ(session().marks[1], kMarkMismatch);  // the red marks stay
    QMessageBox box(QMessageBox::NoIcon, "merlix", report, QMessageBox::Ok);
    Shot(box, "verify-report.png");

    // F3 from byte 0 goes to the next red byte; a byte differing from the
    // compare snapshot on page 2 is reached across pages, and Shift+F3 comes back.
    // Bytes 00-7F of page 0 are red, 05 of page 2 is the last mark.
    dialog().Chip().m_compBuffer->setChecked(true);
    session().image[2 * kPageSize + 5] ^= 0xFF;
    ClickHexItem(HexOffsetItem(0));
    PressKey(&dialog(), Qt::Key_F3);
    EXPECT_EQ(Text(ids::kByteOffset), "01");
    ClickHexItem(HexOffsetItem(127));
    PressKey(&dialog(), Qt::Key_F3);
    EXPECT_EQ(dialog().m_page, 2);
    EXPECT_EQ(Text(ids::kByteOffset), "05");
    PressKey(&dialog(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(dialog().m_page, 0);
    EXPECT_EQ(Text(ids::kByteOffset), "7F");
    // Past the image's ends the walk wraps: from the last mark to the first and back.
    PressKey(&dialog(), Qt::Key_F3);
    PressKey(&dialog(), Qt::Key_F3);
    EXPECT_EQ(dialog().m_page, 0);
    EXPECT_EQ(Text(ids::kByteOffset), "00");
    PressKey(&dialog(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(dialog().m_page, 2);
    EXPECT_EQ(Text(ids::kByteOffset), "05");
}

TEST_F(SafetyWindow, ChecksumsShowThePageAndTheChip) {
    ChooseChip("93C46 (8)");
    session().image.fill(0);
    Entry("Checksums")->trigger();
    auto* box = dialog().findChild<ChecksumsDialog*>();
    ASSERT_NE(box, nullptr);
    const QString text = box->Text();
    // CRC-32 of 256 zero bytes, then of the chip's 128.
    EXPECT_TRUE(text.startsWith("Page 0 (bytes 0000-00FF)\n  CRC-32   0D968558\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("Whole chip, 93C46 (8) (128 bytes)\n  CRC-32   C2A8FA9D\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("Sum-8    00"));
}

}  // namespace
