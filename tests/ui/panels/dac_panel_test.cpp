// The DAC panel on the simulated bench: its template, the frame each slider
// move sends (checked on the latch line sequence), the channel a release
// picks, the fixed port of the converters, and the converters themselves.
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QTest>

#include "eeprom/hex_layout.h"
#include "eeprom/image.h"
#include "panel_support.h"
#include "support/serial_socket.h"
#include "ui/main/app_state.h"
#include "ui/panels/dac_panel_dialog.h"
#include "ui/panels/dac_panel_link.h"
#include "ui/resources/controls.h"

namespace {

using paneltest::LatchLoads;
using simulator::SimulatedBench;
using testsupport::BenchFixture;

class DacPanel : public BenchFixture {
protected:
    DacPanelDialog& Open() {
        OpenDacPanel(&dialog());
        EXPECT_NE(g_dacPanel, nullptr);
        return *g_dacPanel;
    }
    resources::TrackBar* Slider(int channel) { return g_dacPanel->m_sliders[channel]; }
    QString ValueText(int channel) {
        return g_dacPanel->Builder().Control<QLineEdit>(dac_ids::kFirstValue + channel)->text();
    }
    // The user moves slider `channel` one step right (a scroll notification).
    void MoveTo(int channel, int value) {
        Slider(channel)->setValue(value - 1);  // silent: a position the program sets
        QTest::keyClick(Slider(channel), Qt::Key_Right);
        ASSERT_EQ(Slider(channel)->value(), value);
    }
    void Release(int channel) { QTest::mouseRelease(Slider(channel), Qt::LeftButton); }
    // Chooses a chip-list entry as the user does; "" is the first blank entry.
    void ChooseChip(const QString& entry) {
        QComboBox* list = dialog().Chip().m_chipList;
        const int index = list->findText(entry, Qt::MatchExactly);
        ASSERT_GE(index, 0) << entry.toStdString();
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    // Data bits of the frames sent at 0x378 since log entry `from`.
    std::vector<std::vector<int>> Frames(std::size_t from) {
        return testsupport::SelectedFrames(LatchLoads(recorder(), 0x378, from), true, simulator::kSocketOrg);
    }
};

TEST_F(DacPanel, TemplateLaysOutTwelveChannelsAndTheRangeList) {
    DacPanelDialog& panel = Open();
    EXPECT_TRUE((g_dacPanel != nullptr));
    EXPECT_NE(g_dacPanel, nullptr);
    EXPECT_TRUE(panel.isVisible());
    EXPECT_FALSE(panel.isModal());
    EXPECT_EQ(panel.parentWidget(), &dialog());
    const resources::DialogBuilder& b = panel.Builder();
    EXPECT_EQ(panel.size(), QSize(b.X(172), b.Y(277)));
    EXPECT_EQ(panel.pos(), dialog().geometry().topLeft() + QPoint(b.X(210), 0));
    EXPECT_FALSE(panel.windowTitle().isEmpty());
    EXPECT_FALSE(panel.windowFlags() & Qt::WindowCloseButtonHint);

    auto label = [&panel](const QString& text) -> const QLabel* {
        for (const QLabel* l : panel.findChildren<QLabel*>()) {
            if (l->text() == text) return l;
        }
        return nullptr;
    };
    // The heading, Cyrillic and all (U+0423 is its first letter).
    const QLabel* heading = label(QString::fromUtf8("Управление M62358 и M62359"));
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->text().front(), QChar(0x0423));
    // Row labels "01".."12", top to bottom, each level with its slider.
    for (int k = 0; k < 12; ++k) {
        const QLabel* row = label(QString::asprintf("%02d", k + 1));
        ASSERT_NE(row, nullptr) << k;
        resources::TrackBar* slider = b.Control<resources::TrackBar>(dac_ids::kFirstSlider + k);
        ASSERT_NE(slider, nullptr) << k;
        EXPECT_LT(row->x(), slider->x());
        EXPECT_TRUE(row->geometry().top() < slider->geometry().bottom() &&
                    slider->geometry().top() < row->geometry().bottom())
            << k;
        EXPECT_EQ(slider->minimum(), 0);
        EXPECT_EQ(slider->maximum(), 255);
        EXPECT_EQ(slider->value(), 0);
        auto* value = b.Control<QLineEdit>(dac_ids::kFirstValue + k);
        ASSERT_NE(value, nullptr) << k;
        EXPECT_TRUE(value->isReadOnly());
        EXPECT_EQ(value->maxLength(), 2);
        EXPECT_EQ(value->text(), "00");
        if (k > 0) {
            EXPECT_GT(slider->y(), b.Control(dac_ids::kFirstSlider + k - 1)->y());
        }
    }
    auto* range = b.Control<QComboBox>(dac_ids::kRange);
    ASSERT_NE(range, nullptr);
    ASSERT_EQ(range->count(), 4);
    EXPECT_EQ(range->itemText(0), "0 0 DAC output range 0-5V");
    EXPECT_EQ(range->itemText(1), "0 1 DAC output range 0-8V");
    EXPECT_EQ(range->itemText(2), "1 0 DAC output range 0-9V");
    EXPECT_EQ(range->itemText(3), "1 1 DAC output range 0-12V");
    EXPECT_EQ(range->currentIndex(), 0);
    EXPECT_GT(range->y(), b.Control(dac_ids::kFirstSlider + 11)->y());
}

TEST_F(DacPanel, FrameCarriesAddressRangeAndValueInClockOrder) {
    DacPanelDialog& panel = Open();
    panel.m_range->setCurrentIndex(2);
    const std::size_t from = recorder().log.size();
    MoveTo(0, 0x80);
    const auto frames = Frames(from);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], (std::vector<int>{1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0}));
    // The frame ends with the load line rising while the frame line falls,
    // and the device and user lines keep the main window's state throughout.
    const auto loads = LatchLoads(recorder(), 0x378, from);
    ASSERT_GE(loads.size(), 2u);
    EXPECT_EQ(loads.front() & 0x30, 0x10);
    EXPECT_EQ(loads.back() & 0x30, 0x20);
    for (std::uint8_t load : loads) EXPECT_EQ(load & 0x0F, session().Parallel()->Latch() & 0x0F);
    EXPECT_EQ(loads.size(), 2u + 14u * 3u);  // frame line, 3 loads per bit, load line
}

TEST_F(DacPanel, ReleaseChoosesTheChannelOfTheNextFrames) {
    Open();
    std::size_t from = recorder().log.size();
    MoveTo(11, 0x31);  // dragging slider 12 before any release: still channel 1
    auto frames = Frames(from);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(testsupport::Bits(frames[0], 0, 4), 0b1000);  // address 1, LSB first
    EXPECT_EQ(testsupport::Bits(frames[0], 6, 8), 0);       // channel 1's value

    Release(11);
    from = recorder().log.size();
    MoveTo(11, 0x32);
    MoveTo(11, 0x33);
    frames = Frames(from);
    ASSERT_EQ(frames.size(), 2u);
    for (const auto& frame : frames) {
        EXPECT_EQ(std::vector<int>(frame.begin(), frame.begin() + 4), (std::vector<int>{0, 0, 1, 1}));
    }
    EXPECT_EQ(testsupport::Bits(frames[1], 6, 8), 0x33);
    // Moving another slider sends channel 12's frame with the values read fresh.
    from = recorder().log.size();
    MoveTo(0, 0x10);
    frames = Frames(from);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(testsupport::Bits(frames[0], 0, 4), 0b0011);
    EXPECT_EQ(testsupport::Bits(frames[0], 6, 8), 0x33);
}

TEST_F(DacPanel, KeysAtTheEndAndAThumbClickSendButOnlyTheLeftReleaseChoosesAChannel) {
    DacPanelDialog& panel = Open();
    MoveTo(0, 255);
    panel.m_range->setCurrentIndex(3);  // a new range reaches the converter at the next notification
    std::size_t from = recorder().log.size();
    QTest::keyClick(Slider(0), Qt::Key_End);
    auto frames = Frames(from);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(testsupport::Bits(frames[0], 4, 2), 0b11);
    EXPECT_EQ(testsupport::Bits(frames[0], 6, 8), 0xFF);

    // The right and middle buttons end no drag: the channel stays 1.
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        QTest::mouseRelease(Slider(5), button);
    }
    from = recorder().log.size();
    QTest::keyClick(Slider(0), Qt::Key_Home);
    frames = Frames(from);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(testsupport::Bits(frames[0], 0, 4), 0b1000);

    // A left click on the thumb moves nothing, and still sends on the press
    // and on the release; the release then makes its channel current.
    from = recorder().log.size();
    QTest::mouseClick(Slider(5), Qt::LeftButton, Qt::NoModifier,
                      testsupport::SliderHandleRect(Slider(5)).center());
    ASSERT_EQ(Slider(5)->value(), 0);
    EXPECT_EQ(Frames(from).size(), 2u);
    from = recorder().log.size();
    QTest::keyClick(Slider(0), Qt::Key_Home);
    frames = Frames(from);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(testsupport::Bits(frames[0], 0, 4), 0b0110);  // address 6, LSB first
}

TEST_F(DacPanel, EveryMoveRefreshesAllTwelveValueTexts) {
    DacPanelDialog& panel = Open();
    for (int k = 0; k < 12; ++k) Slider(k)->setValue(0x10 * k + 1);  // silent
    for (int k = 0; k < 12; ++k) ASSERT_EQ(ValueText(k), "00");
    MoveTo(5, 0xA7);
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(ValueText(k), HexByteText(k == 5 ? 0xA7 : 0x10 * k + 1)) << k;
        EXPECT_EQ(panel.m_channelValues[k], Slider(k)->value()) << k;
    }
}

TEST_F(DacPanel, ChipListOpensOnePanelAndAnotherEntryClosesIt) {
    ChooseChip("M62358,M62359");
    ASSERT_TRUE((g_dacPanel != nullptr));
    DacPanelDialog* first = g_dacPanel;
    ChooseChip("M62358,M62359");
    EXPECT_EQ(g_dacPanel, first);
    EXPECT_EQ(dialog().findChildren<DacPanelDialog*>().size(), 1);
    ChooseChip("");
    EXPECT_FALSE((g_dacPanel != nullptr));
    EXPECT_EQ(g_dacPanel, nullptr);
    EXPECT_EQ(g_dacPanel, nullptr);
    EXPECT_TRUE(dialog().findChildren<DacPanelDialog*>().isEmpty());
    CloseDacPanel();  // nothing open: nothing happens
    ChooseChip("M62358,M62359");
    ASSERT_TRUE((g_dacPanel != nullptr));
    ChooseChip("93C46 (8)");
    EXPECT_FALSE((g_dacPanel != nullptr));
}

TEST_F(DacPanel, ConvertersHoldEachSliderAfterItsReleaseAndAMove) {
    ChooseChip("M62358,M62359");  // the bench's socket follows the list
    ASSERT_TRUE((g_dacPanel != nullptr));
    g_dacPanel->m_range->setCurrentIndex(3);
    for (int k = 0; k < 12; ++k) {
        Release(k);
        MoveTo(k, 0x15 + 0x11 * k);
    }
    const std::vector<simulator::DacChannel> channels = bench().DacChannels();
    ASSERT_EQ(channels.size(), 12u);
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(channels[k].value, 0x15 + 0x11 * k) << k;
        EXPECT_EQ(channels[k].range, 3) << k;
    }
}

TEST_F(DacPanel, EscapeAndEnterLeaveThePanelOpen) {
    DacPanelDialog& panel = Open();
    PressKey(Slider(0), Qt::Key_Escape);
    PressKey(Slider(0), Qt::Key_Return);
    EXPECT_FALSE(panel.close());
    EXPECT_TRUE(panel.isVisible());
    EXPECT_TRUE((g_dacPanel != nullptr));
}

TEST_F(DacPanel, HexDoubleClickStoresTheCurrentChannelValue) {
    Open();
    Release(3);
    MoveTo(3, 0x42);
    EXPECT_EQ(g_dacPanel->CurrentChannelValue(), 0x42);
    const int item = HexOffsetItem(0x17);
    dialog().Chip().m_hexView->SetCurSel(item);
    emit dialog().Chip().m_hexView->dblClk();
    EXPECT_EQ(session().image[0x17], 0x42);
    EXPECT_EQ(dialog().Chip().m_hexView->item(item)->text(), "42 ");
}

TEST_F(DacPanel, MainWindowGoingAwayTakesThePanelWithIt) {
    auto second = std::make_unique<MainDialog>(nullptr, NewSession());
    OpenDacPanel(second.get());
    QPointer<DacPanelDialog> panel = g_dacPanel;
    second.reset();
    EXPECT_TRUE(panel.isNull());
    EXPECT_FALSE((g_dacPanel != nullptr));
    EXPECT_EQ(g_dacPanel, nullptr);
}

class DacPanelOnLpt2 : public DacPanel {
    void Configure(SimulatedBench::Config& config) override { config.port = SimulatedBench::Port::Lpt2; }
};

TEST_F(DacPanelOnLpt2, FramesGoTo0x378WhateverPortTheWindowUses) {
    ASSERT_EQ(session().portBase, 0x278);
    Open();
    recorder().log.clear();
    MoveTo(0, 0x55);
    EXPECT_FALSE(testsupport::Touched(recorder(), 0x278, 8));
    EXPECT_EQ(Frames(0).size(), 1u);
    for (const auto& access : recorder().log) {
        EXPECT_TRUE(access.port == 0x378 || access.port == 0x37A) << std::hex << access.port;
    }
}

}  // namespace
