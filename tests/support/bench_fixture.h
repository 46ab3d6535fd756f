// The fixture the widget suites share: a fresh simulated bench (as configured
// by the test) on the fixture's virtual counter, behind a recorder that the
// window's adapter talks through, all process
// state back at its program-load values, message boxes and file dialogs
// replaced by recorders, and a MainDialog built (its OnInitDialog and port
// choice ran) and shown on the offscreen platform, never exec'd.
#pragma once

#include <gtest/gtest.h>

#include <QRect>
#include <QSlider>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <vector>

#include "hardware/bench_support.h"
#include "monitor/monitor_logic.h"
#include "platform/counter.h"
#include "platform/port_io.h"
#include "simulator/simulated_bench.h"
#include "ui/main/main_dialog.h"
#include "ui/main/ui_seams.h"

// The suites speak of the window's and the engine's names unqualified.
using namespace ui;
using namespace eeprom;
using namespace monitor;
using namespace console;

namespace testsupport {

// The access recorder of the bench suites; the helpers below read its log.
using RecordingPortIo = benchtest::RecordingPortIo;
// Values written to one port, in order.
std::vector<std::uint8_t> Outs(const RecordingPortIo& recorder, std::uint16_t port);
// Whether any access touched a port in [first, first + count).
bool Touched(const RecordingPortIo& recorder, std::uint16_t first, int count);

// Where a slider's thumb is drawn, in the slider's coordinates.
QRect SliderHandleRect(const QSlider* slider);

// A machine with an adapter on each port: accesses near 0x378 go to one
// bench, those near 0x278 to the other, the configuration pair to both.
class TwoPortBench final : public platform::PortIo {
public:
    TwoPortBench(simulator::SimulatedBench& lpt1, simulator::SimulatedBench& lpt2)
        : lpt1_(lpt1), lpt2_(lpt2) {}
    std::uint8_t In(std::uint16_t port) override;
    void Out(std::uint16_t port, std::uint8_t value) override;

private:
    platform::PortIo* Route(std::uint16_t port);
    simulator::SimulatedBench& lpt1_;
    simulator::SimulatedBench& lpt2_;
};

class BenchFixture : public ::testing::Test {
protected:
    // Adjusts the bench before it is built (the default: adapter on LPT1,
    // controller present, 24C16 and register devices on the bus).
    virtual void Configure(simulator::SimulatedBench::Config&) {}
    // False: SetUp leaves the window to the test (StartWindow).
    virtual bool StartWindowInSetUp() const { return true; }

    void SetUp() override;
    void TearDown() override;

    // Builds and shows the window with `io` (default: the recorder over the
    // bench) as the port I/O.
    void StartWindow(platform::PortIo* io = nullptr);
    // Builds and shows the window on `session` (another adapter's, say).
    void StartWindowWith(std::unique_ptr<eeprom::Session> session);
    // A session for another window: on the recorder and the fixture's counter.
    std::unique_ptr<eeprom::Session> NewSession();

    MainDialog& dialog() { return *dialog_; }
    eeprom::Session& session() { return dialog_->session(); }
    simulator::SimulatedBench& bench() { return *bench_; }
    platform::VirtualCounter& clock() { return clock_; }
    RecordingPortIo& recorder() { return *recorder_; }

    // --- Acting as the user -----------------------------------------------
    void Click(int id);  // a push button, check box or radio button
    void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void Focus(QWidget* widget);                     // gives the focus (focus events included)
    void ClickHexItem(int item);                     // a mouse click on a hex-view item
    void TypeInto(int editId, const QString& text);  // focus, clear, type key by key
    void ChooseChip(const QString& entry);           // a chip-list entry ("" is the first blank one)
    QString Text(int id);                            // caption of a button, text of an edit

    // --- What the seams saw ------------------------------------------------
    QStringList messages;      // ShowMessage texts
    QStringList openRequests;  // initial names AskOpenPath was given
    QStringList saveRequests;  // initial names AskSavePath was given
    QString openPathAnswer;    // what AskOpenPath returns ("" = cancelled)
    QString savePathAnswer;    // what AskSavePath returns

private:
    platform::VirtualCounter clock_;
    std::unique_ptr<simulator::SimulatedBench> bench_;
    std::unique_ptr<RecordingPortIo> recorder_;
    std::unique_ptr<MainDialog> dialog_;
    QTemporaryDir home_;
    QByteArray previousDataHome_;
    UiSeams previousSeams_;
};

}  // namespace testsupport
