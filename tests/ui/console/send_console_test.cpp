// The send console on the simulated bench: what "Send", the slider and the
// spin put on the port and the bus, "Online" and "Tie", the hex-view
// follow-up and a bus held busy.
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "eeprom/hex_layout.h"
#include "eeprom/image.h"
#include "support/bench_fixture.h"
#include "ui/main/app_state.h"

namespace {

using simulator::SimulatedBench;
using testsupport::BenchFixture;
using testsupport::Outs;

constexpr std::uint16_t kS1 = 0x37B;
constexpr std::uint16_t kS0 = 0x37C;
constexpr std::uint8_t kStart = 0xC5;

class SendConsole : public BenchFixture {
protected:
    // The console as a technician leaves it before a transfer: the I2C
    // (blank) chip entry, the three fields, and "Online".
    void SetConsole(const QString& address, const QString& sub, const QString& data, bool online) {
        MainDialog& d = dialog();
        d.Chip().m_chipList->setCurrentIndex(0);
        d.Edit(ids::kSendAddress)->setText(address);
        d.Edit(ids::kSendSubAddress)->setText(sub);
        d.Edit(ids::kSendData)->setText(data);
        d.Console().m_online->setChecked(online);
        d.UpdateData(true);
        recorder().log.clear();
    }
    // START conditions put on the bus since the log was last cleared.
    int Starts() {
        int n = 0;
        for (const auto& a : recorder().log) n += a.out && a.port == kS1 && a.value == kStart;
        return n;
    }
    // ConfigurePort, then ResetAdapter(0, latch): the configuration pair set
    // for LPT1 and EPP, the ECR through byte mode into EPP, standard mode for
    // the latch load, and back into EPP for the controller.
    bool Reinitialised() {
        const std::vector<std::uint8_t> config = Outs(recorder(), 0x3F0);
        const std::vector<std::uint8_t> ecr = Outs(recorder(), 0x378 + 0x402);
        const std::vector<std::uint8_t> data = Outs(recorder(), 0x378);
        return config == std::vector<std::uint8_t>{0x01, 0x04} &&
               ecr == std::vector<std::uint8_t>{0x34, 0x80, 0x00, 0x80} &&
               data == std::vector<std::uint8_t>{0x55, 0xFD};
    }
    void Key(int key) { PressKey(dialog().Console().m_slider, key); }
    void Wheel(int steps) {
        resources::TrackBar* slider = dialog().Console().m_slider;
        const QPointF at = slider->rect().center();
        QWheelEvent wheel(at, slider->mapToGlobal(at), QPoint(), QPoint(0, 120 * steps), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(slider, &wheel);
    }
    QRect HandleRect() { return testsupport::SliderHandleRect(dialog().Console().m_slider); }
    // The bytes the console last wrote to register 0x05 of device 0x40.
    std::uint8_t Register05() { return bench().Register(0x40, 0x05); }
};

// --- "Online" ------------------------------------------------------------------

TEST_F(SendConsole, OfflineSendAndMovesReinitialiseButWriteNothing) {
    SetConsole("40", "05", "33", false);
    const std::uint64_t writes = bench().RegisterWrites();
    Click(ids::kSend);
    EXPECT_TRUE(Reinitialised());
    EXPECT_EQ(Starts(), 0);

    recorder().log.clear();
    Key(Qt::Key_Right);
    EXPECT_TRUE(Reinitialised());
    EXPECT_EQ(Starts(), 0);
    EXPECT_EQ(bench().RegisterWrites(), writes);
    EXPECT_EQ(Text(ids::kSendData), "81");  // the fields still follow the slider
    EXPECT_EQ(dialog().Console().m_spin->Pos(), 0x81);
}

TEST_F(SendConsole, ASerialChipInTheListKeepsTheConsoleOffThePort) {
    SetConsole("40", "05", "33", true);
    dialog().Chip().m_chipList->setCurrentIndex(dialog().Chip().m_chipList->findText("93C46 (8)"));
    Click(ids::kSend);
    Key(Qt::Key_Right);
    EXPECT_TRUE(recorder().log.empty());
    EXPECT_EQ(Text(ids::kSendData), "81");
}

TEST_F(SendConsole, OnlineSendWritesTheRegister) {
    SetConsole("40", "05", "33", true);
    Click(ids::kSend);
    EXPECT_TRUE(Reinitialised());
    EXPECT_EQ(Starts(), 1);
    EXPECT_EQ(Register05(), 0x33);
    const std::vector<std::uint8_t> s0 = Outs(recorder(), kS0);
    ASSERT_GE(s0.size(), 3u);
    EXPECT_EQ(std::vector<std::uint8_t>(s0.end() - 3, s0.end()),
              (std::vector<std::uint8_t>{0x40, 0x05, 0x33}));
    EXPECT_TRUE(messages.isEmpty());
}

// Every way of moving the slider gives exactly one write of its new position.
TEST_F(SendConsole, EachSliderMoveWritesItsNewPositionOnce) {
    SetConsole("40", "05", "80", true);
    MainDialog& d = dialog();
    const auto expectOneWrite = [&](const char* how, auto move) {
        recorder().log.clear();
        const std::uint64_t before = bench().RegisterWrites();
        const int oldValue = d.Console().m_slider->value();
        move();
        EXPECT_NE(d.Console().m_slider->value(), oldValue) << how;
        EXPECT_EQ(bench().RegisterWrites(), before + 1) << how;
        EXPECT_EQ(Starts(), 1) << how;
        EXPECT_EQ(Register05(), d.Console().m_slider->value()) << how;
        EXPECT_EQ(Text(ids::kSendData), HexByteText(d.Console().m_slider->value())) << how;
        EXPECT_EQ(d.Console().m_spin->Pos(), d.Console().m_slider->value()) << how;
    };
    expectOneWrite("right arrow", [&] { Key(Qt::Key_Right); });
    expectOneWrite("left arrow", [&] { Key(Qt::Key_Left); });
    expectOneWrite("wheel", [&] { Wheel(1); });
    expectOneWrite("page up", [&] { Key(Qt::Key_PageUp); });
    expectOneWrite("page down", [&] { Key(Qt::Key_PageDown); });
    expectOneWrite("home", [&] { Key(Qt::Key_Home); });
    expectOneWrite("end", [&] { Key(Qt::Key_End); });
    // At the end of the range a key moves nothing, and still sends the
    // register what the console shows.
    recorder().log.clear();
    bench().SetRegister(0x40, 0x05, 0x00);
    Key(Qt::Key_Right);
    Key(Qt::Key_End);
    EXPECT_EQ(Starts(), 2);
    EXPECT_EQ(d.Console().m_slider->value(), 0xFF);
    EXPECT_EQ(Register05(), 0xFF);
}

TEST_F(SendConsole, DragWritesTheGrabEachMoveAndTheRelease) {
    SetConsole("40", "05", "80", true);
    resources::TrackBar* slider = dialog().Console().m_slider;
    const QPoint grab = HandleRect().center();
    std::uint64_t before = bench().RegisterWrites();
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, grab);
    // Grabbing the handle moves nothing, and is a notification all the same.
    EXPECT_EQ(bench().RegisterWrites(), ++before);
    EXPECT_EQ(Register05(), 0x80);
    std::vector<int> positions;
    for (int dx : {-30, -60, -45}) {
        QMouseEvent move(QEvent::MouseMove, QPointF(grab + QPoint(dx, 0)),
                         slider->mapToGlobal(QPointF(grab + QPoint(dx, 0))), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(slider, &move);
        positions.push_back(slider->value());
        EXPECT_EQ(Register05(), slider->value());
    }
    EXPECT_EQ(bench().RegisterWrites(), before + 3);
    EXPECT_LT(positions[1], positions[0]);
    EXPECT_GT(positions[2], positions[1]);
    // The release: its scroll notification, then the capture's end.
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, grab + QPoint(-45, 0));
    EXPECT_EQ(bench().RegisterWrites(), before + 5);
    EXPECT_EQ(Register05(), positions[2]);
}

TEST_F(SendConsole, ClickOnTheGrooveWritesTheNewPositionThenTheRelease) {
    SetConsole("40", "05", "80", true);
    resources::TrackBar* slider = dialog().Console().m_slider;
    const QRect handle = HandleRect();
    const std::uint64_t before = bench().RegisterWrites();
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier,
                      QPoint(slider->width() - 3, handle.center().y()));
    EXPECT_GT(slider->value(), 0x80);
    EXPECT_EQ(bench().RegisterWrites(), before + 1);
    EXPECT_EQ(Register05(), slider->value());
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier,
                        QPoint(slider->width() - 3, handle.center().y()));
    EXPECT_EQ(bench().RegisterWrites(), before + 3);
}

TEST_F(SendConsole, SpinClicksWriteThePositionTheyStepTo) {
    SetConsole("40", "05", "80", true);
    MainDialog& d = dialog();
    d.Console().m_spin->UpButton()->click();
    EXPECT_EQ(Register05(), 0x81);
    EXPECT_EQ(d.Console().m_spin->Pos(), 0x81);
    EXPECT_EQ(d.Console().m_slider->value(), 0x81);
    EXPECT_EQ(Text(ids::kSendData), "81");
    d.Console().m_spin->DownButton()->click();
    d.Console().m_spin->DownButton()->click();
    EXPECT_EQ(Register05(), 0x7F);
    EXPECT_EQ(d.Console().m_spin->Pos(), 0x7F);
    // At the top of the range a click sends the top value again.
    d.Console().m_spin->SetPos(255);
    const std::uint64_t before = bench().RegisterWrites();
    d.Console().m_spin->UpButton()->click();
    EXPECT_EQ(bench().RegisterWrites(), before + 1);
    EXPECT_EQ(Register05(), 0xFF);
    EXPECT_EQ(d.Console().m_spin->Pos(), 255);
}

TEST_F(SendConsole, AWheelTurnOverTheSliderKeepsAnAddressBeingTyped) {
    SetConsole("40", "05", "80", true);
    // The focus stays in the edit while the wheel turns the slider.
    TypeInto(ids::kSendAddress, "42");
    TypeInto(ids::kSendSubAddress, "07");
    Wheel(1);
    EXPECT_EQ(Text(ids::kSendAddress), "42");
    EXPECT_EQ(bench().Register(0x42, 0x07), dialog().Console().m_slider->value());
}

// --- No controller -----------------------------------------------------------------

class SendConsoleNoController : public SendConsole {
protected:
    void Configure(SimulatedBench::Config& config) override { config.controllerPresent = false; }
};

TEST_F(SendConsoleNoController, SendDoesNothingAndTheSliderOnlyUpdatesTheFields) {
    ASSERT_EQ(session().controllerPresent, 0);
    SetConsole("40", "05", "33", true);
    Click(ids::kSend);
    EXPECT_EQ(Text(ids::kSendData), "33");
    Key(Qt::Key_Right);
    dialog().Console().m_spin->UpButton()->click();
    EXPECT_TRUE(recorder().log.empty());
    EXPECT_EQ(Text(ids::kSendData), "82");
    EXPECT_EQ(dialog().Console().m_slider->value(), 0x82);
    EXPECT_TRUE(messages.isEmpty());
}

// --- "Tie" and the hex view ------------------------------------------------------------

TEST_F(SendConsole, TieMirrorsTheByteIntoTheEepromAndTheImage) {
    SetConsole("A0", "10", "5A", true);
    MainDialog& d = dialog();
    d.Console().m_tie->setChecked(true);
    d.Edit(ids::kByteOffset)->setText("10");
    const int item = HexOffsetItem(0x10);
    const QString viewBefore = d.Chip().m_hexView->item(item)->text();
    Click(ids::kSend);
    EXPECT_EQ(Starts(), 2);
    // Both writes: device 0xA0, register 0x10, data 0x5A.
    const std::vector<std::uint8_t> s0 = Outs(recorder(), kS0);
    EXPECT_EQ(std::count(s0.begin(), s0.end(), 0xA0), 2);
    EXPECT_EQ(bench().Eeprom()[0x10], 0x5A);
    EXPECT_EQ(session().image[0x10], 0x5A);
    EXPECT_EQ(Text(ids::kByteValue), "5A");
    // An address in the EEPROM range leaves the view alone.
    EXPECT_EQ(d.Chip().m_hexView->item(item)->text(), viewBefore);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(SendConsole, TieOnAnotherPageAndAnotherDeviceShowsTheByte) {
    MainDialog& d = dialog();
    Click(ids::kNextPage);  // page 1, device address A3
    SetConsole("40", "05", "3C", true);
    d.Console().m_tie->setChecked(true);
    d.Edit(ids::kByteOffset)->setText("20");
    Click(ids::kSend);
    EXPECT_EQ(Register05(), 0x3C);
    EXPECT_EQ(bench().Eeprom()[256 + 0x20], 0x3C);  // block 1 is device 0xA2
    EXPECT_EQ(session().image[256 + 0x20], 0x3C);
    const int item = HexOffsetItem(0x20);
    EXPECT_EQ(d.Chip().m_hexView->item(item)->text().trimmed(), "3C");
    EXPECT_EQ(d.Chip().m_hexView->CurSel(), item);
}

TEST_F(SendConsole, WritingTheDeviceOnShowFollowsInTheHexView) {
    MainDialog& d = dialog();
    session().image[0x00] = 0x11;
    d.Chip().RefreshHexView();
    SetConsole("A1", "23", "77", true);
    Click(ids::kSend);
    const int item = HexOffsetItem(0x23);
    EXPECT_EQ(d.Chip().m_hexView->item(item)->text().trimmed(), "77");
    EXPECT_EQ(d.Chip().m_hexView->CurSel(), item);
    EXPECT_EQ(d.Chip().m_hexView->ItemOffset(item), 0x23);
    EXPECT_EQ(Text(ids::kByteOffset), "23");
    EXPECT_EQ(bench().Eeprom()[0x23], 0x77);
    // The value edit shows the image byte under the new offset, so that Enter
    // cannot carry the old offset's value there.
    EXPECT_EQ(Text(ids::kByteValue), "00");
    Click(ids::kResetPcf);
    EXPECT_EQ(session().image[0x23], 0x00);
    EXPECT_EQ(session().image[0x00], 0x11);
}

TEST_F(SendConsole, OnlyTheExactDeviceTextFollowsInTheHexView) {
    MainDialog& d = dialog();
    SetConsole("A0", "23", "77", true);  // the same chip, but not the text "A1"
    Click(ids::kSend);
    EXPECT_EQ(d.Chip().m_hexView->item(HexOffsetItem(0x23))->text().trimmed(), "00");
    EXPECT_EQ(Text(ids::kByteOffset), "00");
    EXPECT_EQ(bench().Eeprom()[0x23], 0x77);
}

// --- Bus held busy -------------------------------------------------------------------

TEST_F(SendConsole, BusyBusIsReportedOncePerWriteAndTheWindowGoesOn) {
    SetConsole("40", "05", "33", true);
    bench().SetBusHeldBusy(true);
    Click(ids::kSend);
    EXPECT_EQ(messages, QStringList{"ERROR I2c"});
    EXPECT_EQ(Register05(), 0x00);

    messages.clear();
    dialog().Console().m_tie->setChecked(true);
    Click(ids::kSend);
    EXPECT_EQ(messages, (QStringList{"ERROR I2c", "ERROR I2c"}));

    messages.clear();
    dialog().Console().m_tie->setChecked(false);
    bench().SetBusHeldBusy(false);
    Key(Qt::Key_Right);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(Register05(), dialog().Console().m_slider->value());
}

// A device that does not acknowledge is told once per run of failed writes,
// however many slider steps "Online" sends; a write that lands ends the run.
TEST_F(SendConsole, AnUnacknowledgedWriteIsToldOncePerRunOfFailures) {
    SetConsole("40", "05", "80", true);
    Click(ids::kSend);
    ASSERT_EQ(Register05(), 0x80);
    bench().SetSlavesNack(true);
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    Click(ids::kSend);
    EXPECT_EQ(messages, QStringList{"Device 40 did not acknowledge: register 05 was not written."});
    EXPECT_EQ(Register05(), 0x80);

    bench().SetSlavesNack(false);
    Key(Qt::Key_Right);
    EXPECT_EQ(Register05(), 0x83);
    bench().SetSlavesNack(true);
    Key(Qt::Key_Right);
    EXPECT_EQ(messages.size(), 2);
}

}  // namespace
