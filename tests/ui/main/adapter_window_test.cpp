// The window on an adapter without the parallel adapter's latch: the i2c-dev
// adapter's real code on the bench's fake /dev/i2c-1.
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QStandardItemModel>

#include "eeprom/chip_table.h"
#include "hardware/i2c_dev/i2c_dev_adapter.h"
#include "simulator/fake_i2c_dev.h"
#include "support/bench_fixture.h"
#include "ui/main/startup.h"

namespace {

using testsupport::BenchFixture;

class I2cDevWindow : public BenchFixture {
protected:
    bool StartWindowInSetUp() const override { return false; }
    void SetUp() override {
        BenchFixture::SetUp();
        fake_ = std::make_unique<simulator::FakeI2cDev>(bench());
        adapter_ = std::make_unique<hardware::I2cDevAdapter>(*fake_, clock());
        std::string error;
        ASSERT_TRUE(adapter_->Open(fake_->Path(), error)) << error;
        hardware::BusInterfaces bus;
        bus.i2c = adapter_.get();
        recorder().log.clear();
        StartWindowWith(std::make_unique<eeprom::Session>(bus));
    }
    void TearDown() override {
        BenchFixture::TearDown();  // the window first: its session holds the adapter
        adapter_.reset();
        fake_.reset();
    }

    std::unique_ptr<simulator::FakeI2cDev> fake_;
    std::unique_ptr<hardware::I2cDevAdapter> adapter_;
};

TEST_F(I2cDevWindow, LatchControlsSayWhyAndThePageIsReadOverTheAdaptersOwnBus) {
    for (int id : {ids::kResetDev, ids::kStopDev, ids::kOutput1, ids::kOutput2, ids::kLpt1, ids::kLpt2,
                   ids::kExtended}) {
        QWidget* control = dialog().Control(id);
        EXPECT_FALSE(control->isEnabled()) << id;
        EXPECT_TRUE(control->toolTip().contains("has no output latch: this needs the parallel adapter"))
            << id << " " << control->toolTip().toStdString();
    }
    auto* chips = qobject_cast<QStandardItemModel*>(dialog().Chip().m_chipList->model());
    EXPECT_FALSE(chips->item(dialog().Chip().m_chipList->findText(QLatin1String(kDacEntry)))->isEnabled());
    QAction* fast = dialog().Chip().FastTransfersAction();
    EXPECT_TRUE(fast->isChecked() && !fast->isEnabled());
    EXPECT_EQ(Text(ids::kResetPcf), "I2C bus Ok");

    Click(ids::kNextPage);
    Click(ids::kNextPage);
    const int callsBefore = fake_->Calls();
    Click(ids::kReadEeprom);
    for (int i = 512; i < 768; ++i) ASSERT_EQ(session().image[i], bench().Eeprom()[i]) << i;
    // A sequential read: a few I2C_RDWR calls for the page, not one per byte.
    EXPECT_LT(fake_->Calls() - callsBefore, 8);
    EXPECT_TRUE(messages.isEmpty()) << messages.join("\n").toStdString();

    Click(ids::kMonitor);
    ChooseChip("93C46 (16)");
    Click(ids::kReadEeprom);
    EXPECT_EQ(messages,
              QStringList({QString::fromLatin1(monitor::kCannotWatchMessage),
                           "This adapter has no serial lines or SPI bus for a Microwire or SPI memory"}));
    EXPECT_FALSE(testsupport::Touched(recorder(), 0x378, 8)) << "the parallel port is not this run's";

    // Another adapter from the context menu: remembered for the next start, which the window says.
    messages.clear();
    QMenu* menu = dialog().AdapterAction()->menu();
    const auto entries = menu->actions();
    const auto spidev = std::find_if(entries.begin(), entries.end(),
                                     [](QAction* a) { return a->data().toString() == "bench:spidev"; });
    ASSERT_NE(spidev, entries.end());
    (*spidev)->trigger();
    EXPECT_EQ(RememberedAdapter(), "bench:spidev");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("\"Bench: spidev\" is used from the next start of Merlix"))
        << messages[0].toStdString();
}

}  // namespace
