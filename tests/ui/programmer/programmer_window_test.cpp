// The chip programmer window on the bench, through each adapter's real code on
// its fake: a part of each family written from the buffer and read back in a
// fresh window; a 24C256 strapped to 0x57 detected there, read, edited,
// written, verified and the edit undone; the addresses each I2C part offers;
// a write cancelled halfway; a HEX file dropped on the editor.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>
#include <QUndoStack>
#include <QUrl>

#include <algorithm>
#include <csignal>
#include <memory>

#include "eeprom/image_formats.h"
#include "hardware/ch341a/ch341a_adapter.h"
#include "hardware/i2c_dev/i2c_dev_adapter.h"
#include "hardware/spidev/spidev_adapter.h"
#include "simulator/fake_ch341a.h"
#include "simulator/fake_i2c_dev.h"
#include "simulator/fake_spidev.h"
#include "support/bench_fixture.h"
#include "ui/main/exit_signals.h"
#include "ui/programmer/hex_editor.h"
#include "ui/programmer/hex_search_bar.h"
#include "ui/programmer/programmer_window.h"

namespace {

using testsupport::BenchFixture;

enum class Adapter { Parallel, Ch341a, Spidev, I2cDev };

std::vector<std::uint8_t> Pattern(int size, int seed) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    for (int k = 0; k < size; ++k)
        bytes[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(k * 7 + (k >> 8) + seed);
    return bytes;
}

class ProgrammerFixture : public BenchFixture {
protected:
    bool StartWindowInSetUp() const override { return false; }
    void TearDown() override {
        fresh_.reset();
        BenchFixture::TearDown();  // the main window first: its session holds the adapter
        ch341a_.reset();
        ch341aFake_.reset();
        spidev_.reset();
        spidevNode_.reset();
        i2cDev_.reset();
        i2cDevNode_.reset();
    }

    // The main window on `adapter` (its real code on the bench's fake), and
    // the programmer window opened from it.
    ProgrammerWindow& Start(Adapter adapter) {
        platform::Counter& clock =
            adapterClock_ ? *adapterClock_ : static_cast<platform::Counter&>(this->clock());
        // Questions are answered `answer` and kept apart from the messages.
        UiSeams seams = InstallUiSeams({});
        seams.askYesNo = [this](const QString& question) {
            questions << question;
            return answer;
        };
        InstallUiSeams(seams);
        std::string error;
        hardware::BusInterfaces bus;
        switch (adapter) {
            case Adapter::Parallel:
                StartWindowWith(std::make_unique<eeprom::Session>(recorder(), clock));
                break;
            case Adapter::Ch341a:
                ch341aFake_ = std::make_unique<simulator::FakeCh341a>(bench());
                ch341a_ = std::make_unique<hardware::Ch341aAdapter>(*ch341aFake_, clock);
                EXPECT_TRUE(ch341a_->Open(0, error)) << error;
                bus = {.i2c = ch341a_.get(), .lines = ch341a_.get(), .spi = ch341a_.get()};
                break;
            case Adapter::Spidev:
                spidevNode_ = std::make_unique<simulator::FakeSpidev>(bench());
                spidev_ = std::make_unique<hardware::SpidevAdapter>(*spidevNode_, clock);
                EXPECT_TRUE(spidev_->Open(spidevNode_->Path(), error)) << error;
                bus.spi = spidev_.get();
                break;
            case Adapter::I2cDev:
                i2cDevNode_ = std::make_unique<simulator::FakeI2cDev>(bench());
                i2cDev_ = std::make_unique<hardware::I2cDevAdapter>(*i2cDevNode_, clock);
                EXPECT_TRUE(i2cDev_->Open(i2cDevNode_->Path(), error)) << error;
                bus.i2c = i2cDev_.get();
        }
        if (adapter != Adapter::Parallel) StartWindowWith(std::make_unique<eeprom::Session>(bus));
        dialog().ShowProgrammerWindow();
        ProgrammerWindow* window = dialog().OpenedProgrammerWindow();
        EXPECT_NE(window, nullptr);
        return *window;
    }
    // Another programmer window on the same session, as after a restart.
    ProgrammerWindow& Fresh() {
        fresh_ = std::make_unique<ProgrammerWindow>(session(), &dialog());
        return *fresh_;
    }
    std::vector<std::uint8_t>& Chip(const std::string& part) {
        std::vector<std::uint8_t>* memory = bench().PartMemory(part);
        if (memory == nullptr) memory = &bench().SocketChip()->Memory();
        return *memory;
    }

    std::unique_ptr<simulator::FakeCh341a> ch341aFake_;
    std::unique_ptr<hardware::Ch341aAdapter> ch341a_;
    std::unique_ptr<simulator::FakeSpidev> spidevNode_;
    std::unique_ptr<hardware::SpidevAdapter> spidev_;
    std::unique_ptr<simulator::FakeI2cDev> i2cDevNode_;
    std::unique_ptr<hardware::I2cDevAdapter> i2cDev_;
    std::unique_ptr<ProgrammerWindow> fresh_;
    platform::Counter* adapterClock_ = nullptr;  // the adapters' time, when not the bench's own
    QStringList questions;
    bool answer = true;
};

// The bench's clock as a busy machine shows it to a program: every few
// readings the process has lost the processor for a while, and time jumps.
class StallingClock final : public platform::Counter {
public:
    StallingClock(platform::VirtualCounter& inner, int every, std::int64_t stallUs)
        : inner_(inner), every_(every), stallUs_(stallUs) {}
    bool Frequency(std::int64_t& countsPerSecond) override { return inner_.Frequency(countsPerSecond); }
    bool Now(std::int64_t& count) override {
        if (++reads_ % every_ == 0) inner_.Advance(stallUs_);
        return inner_.Now(count);
    }
    void SleepMs(int ms) override { inner_.SleepMs(ms); }
    bool Observe(std::int64_t& count) override { return inner_.Observe(count); }
    void Advance(std::int64_t counts) override { inner_.Advance(counts); }

private:
    platform::VirtualCounter& inner_;
    int every_;
    std::int64_t stallUs_;
    std::int64_t reads_ = 0;
};

struct PartCase {
    const char* part;    // as the chooser lists it
    const char* socket;  // what goes on the bench ("" : the window's choice puts it there)
    Adapter adapter;
};

class EveryFamily : public ProgrammerFixture, public ::testing::WithParamInterface<PartCase> {};

TEST_P(EveryFamily, WrittenFromTheBufferWithBackupAndVerifyReadsBackInAFreshWindow) {
    const PartCase& c = GetParam();
    if (*c.socket) {
        std::string error;
        ASSERT_TRUE(bench().PutPart(c.socket, error)) << error;
    }
    ProgrammerWindow& window = Start(c.adapter);
    if (ch341aFake_) ch341aFake_->StrapOrg(QString(c.part).endsWith("x16"));  // the 93C66's wiring
    ASSERT_TRUE(window.ChoosePart(c.part));
    EXPECT_EQ(window.Action("wordView")->isChecked(), window.Part()->organisation == 16);  // words for x16
    const int bytes = window.Part()->bytes;
    ASSERT_EQ(window.Editor().Data(), std::vector<std::uint8_t>(static_cast<std::size_t>(bytes), 0xFF));
    const std::vector<std::uint8_t> old = Chip(window.Part()->name.data());
    const std::vector<std::uint8_t> pattern = Pattern(bytes, 3);
    window.Editor().ReplaceData(pattern, QStringLiteral("pattern"));

    window.Write();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_TRUE(window.Status().contains(QStringLiteral("written and verified")))
        << window.Status().toStdString();
    EXPECT_EQ(Chip(window.Part()->name.data()), pattern);

    ProgrammerWindow& again = Fresh();  // the part is remembered
    ASSERT_EQ(again.Part(), window.Part());
    again.Read();
    EXPECT_EQ(again.Editor().Data(), pattern) << again.Status().toStdString();
    // The restore list holds the backup the write took; loading it puts the old contents in the buffer.
    ASSERT_EQ(again.BackupList()->count(), 1);
    ASSERT_TRUE(again.LoadBackupEntry(0));
    EXPECT_EQ(again.Editor().Data(), old);
}

INSTANTIATE_TEST_SUITE_P(
    Programmer, EveryFamily,
    ::testing::Values(PartCase{"24C02", "24C02", Adapter::Parallel},
                      PartCase{"24C256", "24C256", Adapter::Ch341a}, PartCase{"93C66x8", "", Adapter::Ch341a},
                      PartCase{"93C66x16", "", Adapter::Ch341a}, PartCase{"25M02", "25M02", Adapter::Spidev},
                      PartCase{"24M02", "24M02", Adapter::I2cDev}),
    [](const ::testing::TestParamInfo<PartCase>& info) { return std::string(info.param.part); });

// Twenty jobs in a row on each adapter, on a machine that takes the processor
// away now and then (50 ms, longer than any part's write cycle allows): every
// write and erase finishes and verifies, as on an idle machine.
class OnABusyMachine : public ProgrammerFixture, public ::testing::WithParamInterface<PartCase> {};

TEST_P(OnABusyMachine, TwentyWritesAndErasesInARowAllVerify) {
    const PartCase& c = GetParam();
    StallingClock stalling(clock(), 7, 50'000);
    adapterClock_ = &stalling;
    std::string error;
    if (*c.socket) {
        ASSERT_TRUE(bench().PutPart(c.socket, error)) << error;
    }
    ProgrammerWindow& window = Start(c.adapter);
    ASSERT_TRUE(window.ChoosePart(c.part));
    window.BackupBox()->setChecked(false);
    const int bytes = window.Part()->bytes;
    for (int round = 0; round < 10; ++round) {
        const std::vector<std::uint8_t> pattern = Pattern(bytes, round);
        window.Editor().ReplaceData(pattern, QStringLiteral("pattern"));
        window.Write();
        ASSERT_TRUE(window.Status().contains("written and verified"))
            << round << ": " << window.Status().toStdString();
        ASSERT_EQ(Chip(window.Part()->name.data()), pattern);
        window.Erase();
        ASSERT_TRUE(window.Status().contains("erased and verified"))
            << round << ": " << window.Status().toStdString();
    }
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Programmer, OnABusyMachine,
                         ::testing::Values(PartCase{"24C04", "24C04", Adapter::Parallel},
                                           PartCase{"24C32", "24C32", Adapter::Ch341a},
                                           PartCase{"25080", "25080", Adapter::Spidev},
                                           PartCase{"24C64", "24C64", Adapter::I2cDev}),
                         [](const ::testing::TestParamInfo<PartCase>& info) {
                             return std::string(info.param.part);
                         });

using ProgrammerWindowTest = ProgrammerFixture;

TEST_F(ProgrammerWindowTest, A24C512At0x57DetectedReadEditedWrittenVerifiedAndTheEditUndone) {
    std::string error;
    ASSERT_TRUE(bench().PutPart("24C512", error, 0x57)) << error;  // A2..A0 strapped high
    const std::vector<std::uint8_t> board = Pattern(65536, 9);
    Chip("24C512") = board;
    ProgrammerWindow& window = Start(Adapter::Ch341a);
    window.PartFilter()->setText(QStringLiteral("512"));
    QTreeWidget* list = window.PartList();
    const auto shown = [list] {
        QStringList rows;
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            if (!list->topLevelItem(row)->isHidden())
                rows << list->topLevelItem(row)->text(0) + ' ' + list->topLevelItem(row)->text(1);
        return rows;
    };
    EXPECT_EQ(shown(), QStringList({"24C512 64 KiB", "25128 16 KiB", "25512 64 KiB"}));
    list->sortByColumn(1, Qt::AscendingOrder);  // by size, the filter kept
    EXPECT_EQ(shown(), QStringList({"25128 16 KiB", "24C512 64 KiB", "25512 64 KiB"}));
    // Down from the filter highlights without choosing; Enter takes the highlighted row.
    const hardware::ChipPart* before = window.Part();
    QTest::keyClick(window.PartFilter(), Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(window.Part(), before);
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_STREQ(window.Part()->name.data(), "25512");
    // Detect finds the 24C512 as no wrap below 64 KiB shows, and chooses it at the address it answered.
    window.Action("detect")->trigger();
    ASSERT_STREQ(window.Part()->name.data(), "24C512") << window.ReportPane()->toPlainText().toStdString();
    EXPECT_EQ(window.Status(), "Detected the 24C512 at 0x57 and chose it");
    EXPECT_EQ(window.DeviceBox()->currentText(), "0x57 (AE)");
    EXPECT_TRUE(window.FactsLabel()->text().contains(
        "128-byte pages, 2 address bytes (I2C), 1.7-5.5 V, write cycle up to 5 ms, at I2C address 0x57 (AE)"))
        << window.FactsLabel()->text().toStdString();

    window.Action("read")->trigger();
    ASSERT_EQ(window.Editor().Data(), board) << window.Status().toStdString();
    std::vector<std::uint8_t> edited = board;
    edited[0x1234] = 0x5A;
    window.Editor().SetCursorOffset(0x1234);
    QTest::keyClicks(&window.Editor(), "5a");
    ASSERT_EQ(window.Editor().Data(), edited);
    EXPECT_TRUE(window.windowTitle().startsWith("Chip programmer - untitled*"));
    window.Action("write")->trigger();
    EXPECT_EQ(Chip("24C512"), edited);
    EXPECT_TRUE(window.Status().contains("written and verified")) << window.Status().toStdString();
    // Its backup names the address, as the command line's do.
    ASSERT_EQ(window.BackupList()->count(), 1);
    EXPECT_TRUE(window.BackupList()->item(0)->toolTip().contains("/24C512-AE-"))
        << window.BackupList()->item(0)->toolTip().toStdString();

    window.Action("undo")->trigger();
    EXPECT_EQ(window.Editor().Data(), board);
    window.Action("verify")->trigger();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.last(), "Verify: 1 byte of the 24C512 differs from the buffer");
    EXPECT_TRUE(window.ReportPane()->toPlainText().contains("1234: expected"))
        << window.ReportPane()->toPlainText().toStdString();

    // Erase leaves FF everywhere, which the blank check confirms.
    window.Action("erase")->trigger();
    EXPECT_EQ(std::count(Chip("24C512").begin(), Chip("24C512").end(), 0xFF), 65536);
    window.Action("blankCheck")->trigger();
    EXPECT_EQ(window.Status(), "The 24C512 is blank: every byte reads FF");

    // At 0x50, where it is not, nothing answers, and the address is remembered.
    messages.clear();
    ASSERT_TRUE(window.ChooseDevice(0xA0));
    window.Action("read")->trigger();
    EXPECT_EQ(messages, QStringList("Read of the 24C512 failed: No I2C memory answered at 0x50"));
    EXPECT_EQ(Fresh().Device(), 0xA0);
}

TEST_F(ProgrammerWindowTest, EveryWayOutAsksBeforeTheBuffersEditsAreLost) {
    ProgrammerWindow& window = Start(Adapter::Parallel);
    ASSERT_TRUE(window.ChoosePart("24C02"));
    window.Editor().ReplaceData(Pattern(256, 1), QStringLiteral("edit"));
    answer = false;
    // Exit, Esc, the programmer's own close and SIGTERM (as the window handles
    // it) each ask; No keeps the windows and the edits.
    dialog().Button(ids::kExit)->click();
    QTest::keyClick(&dialog(), Qt::Key_Escape);
    EXPECT_FALSE(window.close());
    {
        const ExitSignals exitSignals([this] { dialog().reject(); });
        ASSERT_TRUE(exitSignals.Installed());
        std::raise(SIGTERM);
        for (int k = 0; k < 10 && questions.size() < 4; ++k) QCoreApplication::processEvents();
    }
    const QString quit = "The buffer holds changes that are in no file. Throw them away and quit?";
    EXPECT_EQ(questions, QStringList({quit, quit,
                                      "The buffer holds changes that are in no file. Throw them away and "
                                      "close the chip programmer?",
                                      quit}));
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_TRUE(window.HasUnsavedEdits());
    // Yes lets them go, once: the window closes without a second question.
    answer = true;
    dialog().Button(ids::kExit)->click();
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_FALSE(window.HasUnsavedEdits());
    EXPECT_EQ(questions.size(), 5);
}

TEST_F(ProgrammerWindowTest, PasteAndFillAreOneStepEachAndEditsShowUntilWritten) {
    ProgrammerWindow& window = Start(Adapter::Parallel);
    ASSERT_TRUE(window.ChoosePart("24C02"));
    window.Editor().SetCursorOffset(0xFE);
    // Hex text in any of the usual spellings; what runs past the end is cut and said.
    ASSERT_TRUE(window.PasteText("0x12, 34\nab"));
    EXPECT_EQ(window.Status(), "Pasted 2 of 3 bytes at 0xFE: the rest would run past the end");
    EXPECT_EQ(window.Editor().Data()[0xFE], 0x12);
    EXPECT_EQ(window.Editor().Data()[0xFF], 0x34);
    EXPECT_TRUE(window.Editor().EditedAt(0xFF));
    EXPECT_FALSE(window.Editor().EditedAt(0xFD));
    EXPECT_FALSE(window.PasteText("12 3"));
    EXPECT_EQ(messages.value(0), "\"3\" has a hex digit left over (bytes take two); nothing was pasted");
    window.Editor().SelectRange(0x10, 5);
    ASSERT_TRUE(window.FillSelection("de ad"));
    EXPECT_EQ(std::vector<std::uint8_t>(window.Editor().Data().begin() + 0x10,
                                        window.Editor().Data().begin() + 0x16),
              std::vector<std::uint8_t>({0xDE, 0xAD, 0xDE, 0xAD, 0xDE, 0xFF}));
    EXPECT_TRUE(window.CursorStatus()->text().contains("Selection 0x0010..0x0014, 5 bytes"))
        << window.CursorStatus()->text().toStdString();
    window.Editor().UndoStack().undo();  // the fill, whole
    EXPECT_EQ(window.Editor().Data()[0x10], 0xFF);
    window.Editor().UndoStack().redo();
    // Written to the chip, nothing is an edit any more.
    window.Write();
    EXPECT_TRUE(window.Status().contains("written and verified")) << window.Status().toStdString();
    EXPECT_FALSE(window.Editor().EditedAt(0x10));
}

TEST_F(ProgrammerWindowTest, EachMessageSaysWhatIsTrueNow) {
    ProgrammerWindow& window = Start(Adapter::Spidev);
    ASSERT_TRUE(window.ChoosePart("93C46x8"));
    window.Detect();
    EXPECT_TRUE(
        window.Status().endsWith("93Cxx (Microwire) parts cannot be detected: choose yours from the list"))
        << window.Status().toStdString();
    // A later job leaves no Detect line behind; Erase asks first, naming part and adapter.
    window.Erase();
    EXPECT_TRUE(window.DetectLabel()->text().isEmpty());
    EXPECT_TRUE(questions.value(0).startsWith("Erase the 93C46x8 on ")) << questions.value(0).toStdString();
    // A compare lists both sides' bytes, and follows an edit.
    window.Editor().SetCursorOffset(3);
    QTest::keyClicks(&window.Editor(), "22");
    window.CompareWithChip();
    EXPECT_EQ(window.ReportPane()->toPlainText(),
              "The buffer compared with the 93C46x8: 1 byte differs\n0003: buffer 22, the 93C46x8 FF");
    QTest::keyClicks(&window.Editor(), "33");
    EXPECT_TRUE(window.ReportPane()->toPlainText().startsWith(
        "The buffer compared with the 93C46x8: 2 bytes differ"));
    // Save as a name that says no format asks (the seam answers No: nothing is written).
    answer = false;
    savePathAnswer = QDir(qEnvironmentVariable("XDG_DATA_HOME")).filePath("dump.txt");
    EXPECT_FALSE(window.SaveAs());
    EXPECT_EQ(saveRequests.value(0), "93C46x8.bin");
    EXPECT_TRUE(questions.last().startsWith("dump.txt names no image format"))
        << questions.last().toStdString();
    EXPECT_FALSE(QFile::exists(savePathAnswer));
}

TEST_F(ProgrammerWindowTest, AWriteCancelledHalfwaySaysWhatTheChipHolds) {
    std::string error;
    ASSERT_TRUE(bench().PutPart("24C256", error)) << error;
    Chip("24C256").assign(32768, 0x11);
    ProgrammerWindow& window = Start(Adapter::Ch341a);
    ASSERT_TRUE(window.ChoosePart("24C256"));
    const std::vector<std::uint8_t> pattern = Pattern(32768, 1);
    window.Editor().ReplaceData(pattern, QStringLiteral("pattern"));
    bool clicked = false;
    bool undone = false;
    QObject::connect(&window, &ProgrammerWindow::JobProgressed, &window,
                     [&](const QString& phase, int done, int) {
                         // Only Cancel works meanwhile: the main window is disabled for the job.
                         // Whatever moves the buffer meanwhile, the write goes on with its own copy.
                         if (phase == "Writing" && done >= 0x800 && !undone) {
                             undone = true;
                             EXPECT_FALSE(window.Action("undo")->isEnabled());
                             window.Editor().UndoStack().undo();
                         }
                         if (phase == "Writing" && done >= 0x1200 && !clicked) {
                             clicked = true;
                             EXPECT_FALSE(dialog().Button(ids::kReadEeprom)->isEnabled());
                             EXPECT_FALSE(window.Action("read")->isEnabled());
                             EXPECT_TRUE(window.CancelButton()->isEnabled());
                             window.CancelButton()->click();
                         }
                     });
    window.Write();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(
        messages[0].startsWith("Interrupted: bytes 0x0000..0x11FF (4608 of 32768) of the 24C256 hold the new "
                               "data; bytes 0x1200..0x7FFF were not written and hold their old contents; the "
                               "old contents are in "))
        << messages[0].toStdString();
    const std::vector<std::uint8_t>& chip = Chip("24C256");
    EXPECT_TRUE(std::equal(pattern.begin(), pattern.begin() + 0x1200, chip.begin()));
    EXPECT_EQ(std::count(chip.begin() + 0x1200, chip.end(), 0x11), 0x8000 - 0x1200);
    EXPECT_TRUE(dialog().Button(ids::kReadEeprom)->isEnabled());
    EXPECT_TRUE(window.Action("read")->isEnabled());
    EXPECT_TRUE(window.Action("redo")->isEnabled());  // Undo and Redo follow the stack again
    window.Editor().UndoStack().redo();

    // A read stops between chunks too, and leaves the buffer as it was.
    QObject::connect(&window, &ProgrammerWindow::JobProgressed, &window,
                     [&](const QString& phase, int done, int) {
                         if (phase == "Reading" && done >= 0x2000) window.CancelJob();
                     });
    window.Read();
    EXPECT_TRUE(window.Status().startsWith("Read cancelled after 0x")) << window.Status().toStdString();
    EXPECT_EQ(window.Editor().Data(), pattern);
}

TEST_F(ProgrammerWindowTest, AHexFileDroppedOnTheEditorOpensAndTheTitleFollowsTheBuffer) {
    ProgrammerWindow& window = Start(Adapter::Parallel);
    ASSERT_TRUE(window.ChoosePart("24C02"));
    const std::vector<std::uint8_t> bytes = Pattern(100, 5);
    const QString path = QDir(qEnvironmentVariable("XDG_DATA_HOME")).filePath("board.hex");
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(eeprom::EncodeImage(bytes, eeprom::ImageFormat::IntelHex));
    file.close();

    // The addresses the file leaves out keep the buffer's bytes.
    window.Editor().ReplaceData(std::vector<std::uint8_t>(256, 0x5A), QStringLiteral("Fill"));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.Editor().viewport(), &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.Editor().viewport(), &drop);

    std::vector<std::uint8_t> expected = bytes;
    expected.resize(256, 0x5A);
    EXPECT_EQ(window.Editor().Data(), expected);
    EXPECT_EQ(messages, QStringList("The file defines 100 of 256 bytes; the others keep their contents"));
    EXPECT_EQ(window.FilePath(), path);
    EXPECT_EQ(window.RecentFiles().value(0), path);
    EXPECT_TRUE(window.windowTitle().startsWith("Chip programmer - board.hex (24C02)"));

    // An edit marks the title and differs from the file by one byte; Save as S-record clears the mark.
    window.Editor().SetCursorOffset(7);
    QTest::keyClicks(&window.Editor(), "00");
    EXPECT_TRUE(window.windowTitle().startsWith("Chip programmer - board.hex* (24C02)"));
    openPathAnswer = path;
    window.Action("compareFile")->trigger();
    EXPECT_EQ(window.Editor().DifferenceCount(), 1);
    EXPECT_EQ(window.Status(), "1 byte of the buffer differs from board.hex");
    savePathAnswer = path + ".srec";
    window.Action("saveAs")->trigger();
    EXPECT_TRUE(window.windowTitle().startsWith("Chip programmer - board.hex.srec (24C02)"));
    QFile saved(savePathAnswer);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    std::vector<std::uint8_t> back;
    std::string error;
    ASSERT_TRUE(eeprom::DecodeImage(saved.readAll(), eeprom::ImageFormat::SRecord, 256, "f", back, error))
        << error;
    EXPECT_EQ(back, window.Editor().Data());

    // Esc belongs to the find bar while no job runs (the window's Cancel takes it during one).
    auto* bar = window.findChild<HexSearchBar*>();
    bar->ShowFind();
    ASSERT_TRUE(bar->isVisible());
    QTest::keyClick(bar->findChild<QLineEdit*>(), Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());

    // A file larger than the part is refused and the buffer stays.
    messages.clear();
    const std::vector<std::uint8_t> kept = window.Editor().Data();
    QFile large(path + ".bin");
    ASSERT_TRUE(large.open(QIODevice::WriteOnly));
    large.write(QByteArray(300, 'x'));
    large.close();
    EXPECT_FALSE(window.OpenFile(path + ".bin"));
    EXPECT_EQ(window.Editor().Data(), kept);
    // A smaller raw file loads at 0 with FF after it, and says both sizes.
    ASSERT_TRUE(large.open(QIODevice::WriteOnly | QIODevice::Truncate));
    large.write(QByteArray(200, 'x'));
    large.close();
    EXPECT_TRUE(window.OpenFile(path + ".bin"));
    EXPECT_EQ(
        messages,
        QStringList({"board.hex.bin holds 300 bytes, more than the 256 of the 24C02; nothing was loaded",
                     "board.hex.bin holds 200 bytes and the 24C02 256: loaded at 0, the rest is FF"}));
    EXPECT_EQ(window.Editor().Data()[199], 'x');
    EXPECT_EQ(window.Editor().Data()[200], 0xFF);
}

// A 25xx whose block protection guards part of the write is refused before
// anything is touched: no backup pushes an older one out, the chip keeps its
// bytes; so is a buffer that does not match the part.
TEST_F(ProgrammerWindowTest, AWriteTheChipWouldRefuseIsRefusedBeforeTheBackup) {
    std::string error;
    ASSERT_TRUE(bench().PutPart("25640", error)) << error;
    ProgrammerWindow& window = Start(Adapter::Spidev);
    bench().SocketChip()->SetKeptStatus(0x08);  // BP1: the upper half is guarded
    ASSERT_TRUE(window.ChoosePart("25640"));
    const std::vector<std::uint8_t> old = Chip("25640");
    window.Editor().ReplaceData(Pattern(8192, 5), QStringLiteral("pattern"));
    window.Write();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("protect"))) << messages[0].toStdString();
    EXPECT_EQ(window.BackupList()->count(), 0);
    EXPECT_EQ(Chip("25640"), old);
}

TEST_F(ProgrammerWindowTest, RefusesAPartTheAdapterCannotReachAndAnyJobWhileTheMonitorRuns) {
    ProgrammerWindow& window = Start(Adapter::I2cDev);
    ASSERT_TRUE(window.ChoosePart("25M02"));  // listed and chosen, refused when a job runs
    window.Read();
    EXPECT_EQ(messages,
              QStringList("This adapter has no serial lines or SPI bus for a Microwire or SPI memory"));
    EXPECT_FALSE(window.DeviceBox()->isVisibleTo(&window));
    messages.clear();
    // Each I2C part offers the addresses its blocks leave free, and keeps the
    // pins of the address before where it can.
    const struct {
        const char* part;
        const char* offered;
        int device;
    } parts[] = {{"24C02", "A0 A2 A4 A6 A8 AA AC AE", 0xAE},
                 {"24C04", "A0 A4 A8 AC", 0xAC},
                 {"24M02", "A0 A8", 0xA8},
                 {"24C515", "A0 A2 A4 A6", 0xA0},
                 {"24C16", "A0", 0xA0}};
    for (const auto& c : parts) {
        ASSERT_TRUE(window.ChoosePart(c.part));
        if (c.device == 0xAE) QTest::keyClick(window.DeviceBox(), Qt::Key_End);  // the last it offers
        QStringList offered;
        for (int k = 0; k < window.DeviceBox()->count(); ++k)
            offered << QString::number(window.DeviceBox()->itemData(k).toInt(), 16).toUpper();
        EXPECT_EQ(offered.join(' '), c.offered) << c.part;
        EXPECT_EQ(window.Device(), c.device) << c.part;
        EXPECT_TRUE(window.DeviceBox()->isVisibleTo(&window));
    }
    ASSERT_TRUE(window.ChoosePart("24C02"));
    // Edits are not thrown away unasked.
    answer = false;
    window.Editor().ReplaceData(std::vector<std::uint8_t>(256, 0), QStringLiteral("Fill"));
    EXPECT_FALSE(window.ChoosePart("24C04"));
    EXPECT_EQ(questions.value(0),
              "The buffer holds changes that are in no file. Throw them away and choose the 24C04?");
    EXPECT_STREQ(window.Part()->name.data(), "24C02");
    messages.clear();
    session().monitorOn = 1;
    window.Write();
    EXPECT_EQ(messages,
              QStringList("Write waits: the bus monitor in the main window is using the adapter; stop it "
                          "first"));
    session().monitorOn = 0;
}

}  // namespace
