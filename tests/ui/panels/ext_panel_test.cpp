// The extended sliders panel on the simulated bench: opening and closing from
// the main window, its layout, start-up on its own adapter, slot selection
// with the range from the maximum text, the register write on every move,
// and the exchange with the console.
#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "panel_support.h"
#include "ui/main/app_state.h"
#include "ui/panels/ext_panel_link.h"
#include "ui/panels/ext_sliders_dialog.h"
#include "ui/panels/panel_placement.h"
#include "ui/resources/controls.h"

namespace {

using paneltest::TextOf;
using simulator::SimulatedBench;
using testsupport::BenchFixture;

class ExtPanel : public BenchFixture {
protected:
    ExtSlidersDialog& Open() {
        if (!g_extPanel) Click(ids::kExtended);
        EXPECT_NE(g_extPanel, nullptr);
        return *g_extPanel;
    }
    QString SlotText(const ext_ids::SlotIds& column, int slot) {
        return TextOf(g_extPanel->Builder().Control(column[slot - 1]));
    }
    void TypeIntoSlot(const ext_ids::SlotIds& column, int slot, const QString& text) {
        auto* edit = g_extPanel->Builder().Control<QLineEdit>(column[slot - 1]);
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    // A key on a slot's slider, as the user presses it.
    void SliderKey(int slot, Qt::Key key) { QTest::keyClick(g_extPanel->Slider(slot), key); }
};

TEST_F(ExtPanel, ButtonOpensAndClosesThePanelBesideTheMainWindow) {
    EXPECT_EQ(Text(ids::kExtended), "Extended");
    ExtSlidersDialog& panel = Open();
    EXPECT_EQ(Text(ids::kExtended), "Close Ext.");
    EXPECT_NE(g_extPanel, nullptr);
    EXPECT_TRUE((g_extPanel != nullptr));
    EXPECT_TRUE(panel.isVisible());
    EXPECT_FALSE(panel.isModal());
    EXPECT_EQ(panel.windowTitle(), "Extended Sliders");
    EXPECT_TRUE(panel.windowFlags() & Qt::WindowTitleHint);
    EXPECT_FALSE(panel.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(panel.windowFlags() & Qt::WindowSystemMenuHint);
    // Beside the main window as far as the (small offscreen) screen allows.
    EXPECT_EQ(panel.pos(), PanelPositionBeside(dialog().frameGeometry(), panel.frameGeometry().size(),
                                               dialog().screen()->availableGeometry()));

    Click(ids::kExtended);
    EXPECT_EQ(Text(ids::kExtended), "Extended");
    EXPECT_EQ(g_extPanel, nullptr);
    EXPECT_EQ(g_extPanel, nullptr);
    EXPECT_FALSE((g_extPanel != nullptr));
    EXPECT_TRUE(dialog().findChildren<ExtSlidersDialog*>().isEmpty());
}

TEST(PanelPlacement, RightOfTheOwnerElseLeftElseAtTheScreenEdge) {
    const QRect screen(0, 0, 1600, 1000);
    const QRect owner(100, 50, 900, 600);  // frame right edge at x = 999
    EXPECT_EQ(PanelPositionBeside(owner, QSize(500, 500), screen), QPoint(1008, 50));
    // No room on the right: left of the owner if it fits there...
    const QRect rightHand(700, 20, 800, 600);
    EXPECT_EQ(PanelPositionBeside(rightHand, QSize(400, 500), screen), QPoint(292, 20));
    // ...else at the screen's left edge rather than off it.
    EXPECT_EQ(PanelPositionBeside(QRect(0, 0, 1500, 600), QSize(400, 500), screen), QPoint(0, 0));
    // A panel that just fits on the right stays there.
    EXPECT_EQ(PanelPositionBeside(owner, QSize(592, 500), screen), QPoint(1008, 50));
    EXPECT_EQ(PanelPositionBeside(owner, QSize(593, 500), screen).x(), 0);
    // A screen on the right of another one.
    EXPECT_EQ(PanelPositionBeside(QRect(1700, 0, 800, 600), QSize(400, 300), QRect(1600, 0, 1600, 1000)),
              QPoint(2508, 0));
}

TEST_F(ExtPanel, EightSlotsOneRowApartWithTheirStartValues) {
    ExtSlidersDialog& panel = Open();
    const resources::DialogBuilder& b = panel.Builder();
    EXPECT_EQ(panel.size(), QSize(b.X(262), b.Y(262)));
    const ext_ids::SlotIds* columns[] = {&ext_ids::kAddress, &ext_ids::kSubAddress, &ext_ids::kLabel,
                                         &ext_ids::kValue,   &ext_ids::kMaximum,    &ext_ids::kSlider,
                                         &ext_ids::kSpareBox};
    for (const ext_ids::SlotIds* column : columns) {
        for (int s = 0; s < 8; ++s) {
            QWidget* control = b.Control((*column)[s]);
            ASSERT_NE(control, nullptr) << (*column)[s];
            if (s == 0) continue;
            const QWidget* above = b.Control((*column)[s - 1]);
            EXPECT_EQ(control->y() - above->y(), b.Y(ext_ids::kRowPitch)) << (*column)[s];
            EXPECT_EQ(control->x(), above->x()) << (*column)[s];
        }
    }
    EXPECT_LT(b.Control(ext_ids::kSlider[0])->y(), b.Y(ext_ids::kRowPitch));  // slot 1 at the top
    for (int slot = 1; slot <= 8; ++slot) {
        EXPECT_EQ(SlotText(ext_ids::kAddress, slot), "00");
        EXPECT_EQ(SlotText(ext_ids::kSubAddress, slot), "00");
        EXPECT_EQ(SlotText(ext_ids::kLabel, slot), "");
        EXPECT_EQ(SlotText(ext_ids::kValue, slot), "00");
        EXPECT_EQ(SlotText(ext_ids::kMaximum, slot), "FF");
        EXPECT_EQ(SlotText(ext_ids::kSpareBox, slot), "");
        EXPECT_EQ(panel.Slider(slot)->minimum(), 0);
        EXPECT_EQ(panel.Slider(slot)->maximum(), 255);
        EXPECT_EQ(panel.Slider(slot)->value(), 0);
        auto* address = b.Control<QLineEdit>(ext_ids::kAddress[slot - 1]);
        EXPECT_EQ(address->maxLength(), 2);
        EXPECT_EQ(address->accessibleName(), QStringLiteral("Slot %1 device address").arg(slot));
    }
    EXPECT_EQ(panel.m_selectedSlot, 1);
    EXPECT_EQ(panel.m_busy, 0);
}

TEST_F(ExtPanel, ClosingAndReopeningGivesAFreshPanel) {
    Open();
    TypeIntoSlot(ext_ids::kAddress, 2, "90");
    SliderKey(2, Qt::Key_PageUp);
    ASSERT_EQ(g_extPanel->m_selectedSlot, 2);
    Click(ids::kExtended);
    ExtSlidersDialog& again = Open();
    EXPECT_EQ(again.m_selectedSlot, 1);
    EXPECT_EQ(SlotText(ext_ids::kAddress, 2), "00");
    EXPECT_EQ(SlotText(ext_ids::kValue, 2), "00");
    EXPECT_EQ(again.Slider(2)->value(), 0);
    EXPECT_EQ(dialog().findChildren<ExtSlidersDialog*>().size(), 1);
}

TEST_F(ExtPanel, StartsUpOnItsOwnAdapterWithTheMainBaseAndLatch) {
    Click(ids::kOutput2);  // latch 0xF5
    ASSERT_EQ(session().Parallel()->Latch(), 0xF5);
    recorder().log.clear();
    Open();
    EXPECT_EQ(g_extPanel->m_adapter.GetBase(), 0x378);
    EXPECT_EQ(g_extPanel->m_latch, 0xF5);
    EXPECT_EQ(g_extPanel->m_portBase, 0x378);
    EXPECT_EQ(bench().Latch(), 0xF5);
    // The start-up goes to the adapter only: no port below the parallel
    // port is touched (an unset base would put it on the machine's own).
    for (const auto& access : recorder().log) {
        EXPECT_TRUE(access.port >= 0x378 || access.port == 0x3F0 || access.port == 0x3F1) << access.port;
    }
    EXPECT_EQ(testsupport::Outs(recorder(), 0x378).front(), 0xF5);  // WriteLatch(latch) first
    EXPECT_EQ(testsupport::Outs(recorder(), 0x77A).back(), 0x80);   // and the controller set up in EPP mode
}

TEST_F(ExtPanel, OutputLinesKeepThePanelLatchCopyCurrent) {
    Open();
    Click(ids::kOutput1);
    EXPECT_EQ(g_extPanel->m_latch, session().Parallel()->Latch());
    EXPECT_EQ(g_extPanel->m_latch, 0xF9);
    Click(ids::kOutput1);
    EXPECT_EQ(g_extPanel->m_latch, 0xFD);
}

TEST_F(ExtPanel, SliderMoveWritesTheSlotRegisterAlsoOffline) {
    ASSERT_FALSE(dialog().Console().m_online->isChecked());
    Open();
    TypeIntoSlot(ext_ids::kAddress, 3, "42");
    TypeIntoSlot(ext_ids::kSubAddress, 3, "1c");
    const std::uint64_t writes = bench().RegisterWrites();
    const std::uint8_t untouched = bench().Register(0x42, 0x1D);
    SliderKey(3, Qt::Key_PageUp);  // one page step
    const int value = g_extPanel->Slider(3)->value();
    ASSERT_GT(value, 0);
    EXPECT_EQ(g_extPanel->m_selectedSlot, 3);
    EXPECT_EQ(bench().Register(0x42, 0x1C), value);
    EXPECT_EQ(SlotText(ext_ids::kValue, 3), HexByteText(value));
    EXPECT_EQ(bench().RegisterWrites(), writes + 1);
    // Every move writes, up and down.
    SliderKey(3, Qt::Key_Left);
    EXPECT_EQ(bench().Register(0x42, 0x1C), value - 1);
    SliderKey(3, Qt::Key_End);
    EXPECT_EQ(bench().Register(0x42, 0x1C), 0xFF);
    EXPECT_EQ(SlotText(ext_ids::kValue, 3), "FF");
    // Only that register changes.
    EXPECT_EQ(bench().Register(0x42, 0x1D), untouched);
    EXPECT_EQ(bench().RegisterWrites(), writes + 3);
}

class ExtPanelOnLpt2 : public ExtPanel {
    void Configure(SimulatedBench::Config& config) override { config.port = SimulatedBench::Port::Lpt2; }
};

TEST_F(ExtPanelOnLpt2, WritesGoToThePortTheMainWindowUses) {
    Open();
    EXPECT_EQ(g_extPanel->m_adapter.GetBase(), 0x278);
    TypeIntoSlot(ext_ids::kAddress, 1, "70");
    TypeIntoSlot(ext_ids::kSubAddress, 1, "03");
    SliderKey(1, Qt::Key_Right);
    EXPECT_EQ(bench().Register(0x70, 0x03), 1);
}

TEST_F(ExtPanel, MaximumTextLimitsTheSliderFromItsNextNotification) {
    Open();
    TypeIntoSlot(ext_ids::kAddress, 2, "90");
    TypeIntoSlot(ext_ids::kMaximum, 2, "7f");
    EXPECT_EQ(SlotText(ext_ids::kMaximum, 2), "7F");
    EXPECT_EQ(g_extPanel->Slider(2)->maximum(), 255);  // nothing notified yet
    SliderKey(2, Qt::Key_End);
    EXPECT_EQ(g_extPanel->Slider(2)->maximum(), 0x7F);
    EXPECT_EQ(g_extPanel->Slider(2)->value(), 0x7F);
    EXPECT_EQ(bench().Register(0x90, 0x00), 0x7F);
    // A lower maximum pulls the position in on the next notification.
    TypeIntoSlot(ext_ids::kMaximum, 2, "10");
    QTest::mousePress(g_extPanel->Slider(2), Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    QTest::mouseRelease(g_extPanel->Slider(2), Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    EXPECT_EQ(g_extPanel->Slider(2)->maximum(), 0x10);
    EXPECT_LE(g_extPanel->Slider(2)->value(), 0x10);
    // Other slots keep their range.
    EXPECT_EQ(g_extPanel->Slider(1)->maximum(), 255);
}

TEST_F(ExtPanel, FocusSelectsASlot) {
    ExtSlidersDialog& panel = Open();
    QApplication::setActiveWindow(&panel);
    Focus(panel.Slider(6));
    EXPECT_EQ(panel.m_selectedSlot, 6);
    Focus(panel.Slider(4));
    EXPECT_EQ(panel.m_selectedSlot, 4);
}

TEST_F(ExtPanel, EnterAndEscapeLeaveThePanelOpen) {
    ExtSlidersDialog& panel = Open();
    PressKey(panel.Slider(1), Qt::Key_Escape);
    PressKey(panel.Builder().Control(ext_ids::kAddress[0]), Qt::Key_Return);
    PressKey(panel.Slider(1), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(panel.close());  // the window manager's close is refused too
    QCoreApplication::processEvents();
    EXPECT_EQ(g_extPanel, &panel);
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(Text(ids::kExtended), "Close Ext.");
}

TEST_F(ExtPanel, ConsoleFillsTheSelectedSlotWithoutWriting) {
    ExtSlidersDialog& panel = Open();
    SliderKey(5, Qt::Key_Home);  // selects slot 5
    const std::uint64_t writes = bench().RegisterWrites();
    ExtPanelFillSelectedSlot("40", "21", "5A", " gain, left");
    EXPECT_EQ(SlotText(ext_ids::kAddress, 5), "40");
    EXPECT_EQ(SlotText(ext_ids::kSubAddress, 5), "21");
    EXPECT_EQ(SlotText(ext_ids::kValue, 5), "5A");
    EXPECT_EQ(SlotText(ext_ids::kLabel, 5), " gain, left");  // the leading blank stays
    EXPECT_EQ(panel.Slider(5)->value(), 0x5A);
    EXPECT_EQ(panel.m_selectedSlot, 5);
    EXPECT_EQ(panel.m_busy, 0);
    EXPECT_EQ(bench().RegisterWrites(), writes);
    EXPECT_EQ(SlotText(ext_ids::kAddress, 1), "00");  // only the selected slot
    // The next move writes the filled register.
    SliderKey(5, Qt::Key_Right);
    EXPECT_EQ(bench().Register(0x40, 0x21), 0x5B);
}

TEST_F(ExtPanel, ChosenRemarkFillsTheSelectedSlotWithItsNote) {
    MainDialog& d = dialog();
    d.Edit(ids::kSendAddress)->setText("42");
    d.Edit(ids::kSendSubAddress)->setText("07");
    d.Edit(ids::kSendData)->setText("3C");
    TypeInto(ids::kRemarkText, "treble");
    Click(ids::kAddRemark);  // panel closed: only the remark line
    ExtSlidersDialog& panel = Open();
    SliderKey(4, Qt::Key_Home);
    const std::uint64_t writes = bench().RegisterWrites();
    const int line = d.Console().m_remarks->findText("42 07 3C treble");
    ASSERT_GE(line, 0);
    d.Console().m_remarks->setCurrentIndex(line);
    emit d.Console().m_remarks->activated(line);
    EXPECT_EQ(SlotText(ext_ids::kAddress, 4), "42");
    EXPECT_EQ(SlotText(ext_ids::kSubAddress, 4), "07");
    EXPECT_EQ(SlotText(ext_ids::kValue, 4), "3C");
    EXPECT_EQ(SlotText(ext_ids::kLabel, 4), " treble");  // the blank before the note included
    EXPECT_EQ(panel.Slider(4)->value(), 0x3C);
    EXPECT_EQ(bench().RegisterWrites(), writes);
    // A new note added from the console labels the slot too.
    TypeInto(ids::kRemarkText, "bass");
    d.Edit(ids::kSendSubAddress)->setText("08");
    Click(ids::kAddRemark);
    EXPECT_EQ(SlotText(ext_ids::kSubAddress, 4), "08");
    EXPECT_EQ(SlotText(ext_ids::kLabel, 4), "bass");
}

TEST_F(ExtPanel, AFillKeepsWhatOtherSlotsShowAndAFreeTextLineFillsNothing) {
    MainDialog& d = dialog();
    QTemporaryDir dir;
    QFile base(dir.filePath("notes.baz"));
    ASSERT_TRUE(base.open(QIODevice::WriteOnly));
    base.write("42 07 3C treble\r\nAmplifier board\r\n");
    base.close();
    openPathAnswer = base.fileName();
    Click(ids::kLoadBase);
    ExtSlidersDialog& panel = Open();
    SliderKey(4, Qt::Key_Home);
    TypeIntoSlot(ext_ids::kAddress, 2, "70");  // typed, not yet read by the panel
    const auto choose = [&d](const QString& line) {
        const int index = d.Console().m_remarks->findText(line);
        ASSERT_GE(index, 0);
        d.Console().m_remarks->setCurrentIndex(index);
        emit d.Console().m_remarks->activated(index);
    };
    choose("42 07 3C treble");
    EXPECT_EQ(SlotText(ext_ids::kAddress, 4), "42");
    EXPECT_EQ(SlotText(ext_ids::kAddress, 2), "70");
    d.Edit(ids::kSendAddress)->setText("40");  // what a stray fill would carry
    choose("Amplifier board");
    EXPECT_EQ(SlotText(ext_ids::kAddress, 4), "42");
    EXPECT_EQ(SlotText(ext_ids::kLabel, 4), " treble");
    EXPECT_EQ(panel.Slider(4)->value(), 0x3C);
}

TEST_F(ExtPanel, AClickOnTheThumbWritesWithoutAMove) {
    Open();
    TypeIntoSlot(ext_ids::kAddress, 6, "42");
    TypeIntoSlot(ext_ids::kSubAddress, 6, "30");
    bench().SetRegister(0x42, 0x30, 0x77);
    resources::TrackBar* slider = g_extPanel->Slider(6);
    QTest::mouseClick(slider, Qt::LeftButton, Qt::NoModifier, testsupport::SliderHandleRect(slider).center());
    EXPECT_EQ(slider->value(), 0);
    EXPECT_EQ(g_extPanel->m_selectedSlot, 6);
    EXPECT_EQ(bench().Register(0x42, 0x30), 0);
}

TEST_F(ExtPanel, FocusOnTheRemarkEditCopiesTheSlotIntoTheConsole) {
    MainDialog& d = dialog();
    const int mainSlider = d.Console().m_slider->value();
    Open();
    TypeIntoSlot(ext_ids::kAddress, 2, "70");
    TypeIntoSlot(ext_ids::kSubAddress, 2, "05");
    SliderKey(2, Qt::Key_PageUp);
    QApplication::setActiveWindow(&d);
    Focus(d.Edit(ids::kRemarkText));
    EXPECT_EQ(Text(ids::kSendAddress), "70");
    EXPECT_EQ(Text(ids::kSendSubAddress), "05");
    EXPECT_EQ(Text(ids::kSendData), HexByteText(g_extPanel->Slider(2)->value()));
    EXPECT_EQ(d.m_sendAddress, "70");
    EXPECT_EQ(d.Console().m_slider->value(), mainSlider);  // the main slider stays
}

TEST_F(ExtPanel, SelectedSlotReadsBackWhatItsEditsShow) {
    QString address = "xx", sub = "yy", data = "zz";
    EXPECT_FALSE(ExtPanelSelectedSlot(address, sub, data));
    EXPECT_EQ(address, "xx");                             // closed: untouched
    ExtPanelFillSelectedSlot("40", "21", "5A", " note");  // closed: nothing opens
    EXPECT_EQ(g_extPanel, nullptr);
    Open();
    SliderKey(7, Qt::Key_PageUp);
    TypeIntoSlot(ext_ids::kAddress, 7, "A0");  // typed after the slider was touched
    TypeIntoSlot(ext_ids::kSubAddress, 7, "3");
    ASSERT_TRUE(ExtPanelSelectedSlot(address, sub, data));
    EXPECT_EQ(address, "A0");
    EXPECT_EQ(sub, "3");
    EXPECT_EQ(data, HexByteText(g_extPanel->Slider(7)->value()));
}

TEST_F(ExtPanel, MainWindowGoingAwayTakesThePanelWithIt) {
    auto second = std::make_unique<MainDialog>(nullptr, NewSession());
    second->Panels().OnExtended();
    ASSERT_NE(g_extPanel, nullptr);
    QPointer<ExtSlidersDialog> panel = g_extPanel;
    second.reset();
    EXPECT_TRUE(panel.isNull());
    EXPECT_EQ(g_extPanel, nullptr);
    EXPECT_EQ(g_extPanel, nullptr);
    EXPECT_FALSE((g_extPanel != nullptr));
}

}  // namespace
