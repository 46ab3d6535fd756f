// The template builder and the controls it makes: dialog units from the
// font, ids and types, the main window's layout (everything inside the
// window, nothing clipped), and the control behaviours the handlers rely on.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QTest>
#include <QToolButton>

#include <set>

#include "ui/resources/controls.h"
#include "ui/resources/dialog_template.h"
#include "ui/resources/icons.h"
#include "ui/resources/main_window_ids.h"

using namespace ui;

namespace {

using namespace resources;

struct Built {
    QDialog dialog;
    DialogBuilder builder;
    explicit Built(const DialogTemplate& t) { builder.Build(dialog, t); }
};

TEST(DialogUnits, FollowTheDialogFont) {
    const ControlTemplate one[] = {{ControlKind::Edit, 7, "", 0, 8, 16, 40, 24}};
    const DialogTemplate small{1, "small", 0, 0, 100, 80, 0, 8, one};
    const DialogTemplate large{1, "large", 0, 0, 100, 80, 0, 16, one};
    Built a(small), b(large);
    const QSize base = DialogBaseUnits(a.dialog.font());
    EXPECT_EQ(a.builder.BaseUnits(), base);
    // x: a quarter of the average character width, y: an eighth of its height.
    EXPECT_EQ(a.builder.Control(7)->geometry(),
              QRect(2 * base.width(), 2 * base.height(), 10 * base.width(), 3 * base.height()));
    EXPECT_EQ(a.dialog.size(), QSize(25 * base.width(), 10 * base.height()));
    // A larger font keeps the proportions.
    EXPECT_GT(b.builder.BaseUnits().width(), base.width());
    EXPECT_GT(b.dialog.width(), a.dialog.width());
    // Neighbours that touch in dialog units touch on screen.
    EXPECT_EQ(a.builder.X(7) + (a.builder.X(7 + 19) - a.builder.X(7)), a.builder.X(26));
}

TEST(MainTemplate, EveryControlIsThereWithItsTypeAndStyle) {
    Built w(DialogTemplate102());
    const DialogBuilder& b = w.builder;
    EXPECT_EQ(w.dialog.windowTitle(), "MERLIX   ver4.22");
    EXPECT_TRUE(w.dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(w.dialog.size(), QSize(b.X(489), b.Y(301)));

    auto* reset = b.Control<QPushButton>(ids::kResetPcf);
    ASSERT_NE(reset, nullptr);
    EXPECT_EQ(reset->text(), "Reset PCF ");
    EXPECT_TRUE(reset->isDefault());
    EXPECT_EQ(b.Control<QPushButton>(ids::kExit)->text(), "Exit");
    EXPECT_FALSE(b.Control<QPushButton>(ids::kExit)->autoDefault());
    EXPECT_TRUE(b.Control(ids::kExample)->isHidden());
    for (int id : {ids::kOutput1, ids::kOutput2, ids::kResetDev, ids::kStopDev, ids::kCompBuffer, ids::kTie,
                   ids::kOnline}) {
        EXPECT_NE(b.Control<QCheckBox>(id), nullptr) << id;
    }
    for (int id : {ids::kChipList, ids::kRemarks, ids::kLogHistory})
        EXPECT_NE(b.Control<QComboBox>(id), nullptr);
    EXPECT_NE(b.Control<ListBox>(ids::kBusLog), nullptr);
    EXPECT_TRUE(b.Control<ListBox>(ids::kHexView)->IsMultiColumn());
    EXPECT_NE(b.Control<TrackBar>(ids::kSlider), nullptr);
    EXPECT_NE(b.Control<SpinButton>(ids::kSpin), nullptr);
    EXPECT_TRUE(b.Control<QLineEdit>(ids::kSendData)->isReadOnly());
    EXPECT_TRUE(b.Control<QLineEdit>(ids::kPage)->isReadOnly());
    EXPECT_TRUE(b.Control<QLineEdit>(ids::kByteOffset)->isReadOnly());
    EXPECT_FALSE(b.Control<QLineEdit>(ids::kByteValue)->isReadOnly());
    EXPECT_TRUE(b.Control<QLineEdit>(ids::kSendAddress)->alignment() & Qt::AlignRight);
    EXPECT_TRUE(w.dialog.findChild<QLabel*>() != nullptr);
    EXPECT_EQ(ControlId(b.Control(ids::kHexView)), ids::kHexView);
    EXPECT_EQ(FindControl(&w.dialog, ids::kBusLog), b.Control(ids::kBusLog));
    EXPECT_EQ(b.Control(4242), nullptr);
    EXPECT_EQ(b.Control<QCheckBox>(ids::kResetPcf), nullptr);  // wrong type

    // LPT1 and LPT2 exclude each other.
    auto* lpt1 = b.Control<QRadioButton>(ids::kLpt1);
    auto* lpt2 = b.Control<QRadioButton>(ids::kLpt2);
    lpt1->click();
    lpt2->click();
    EXPECT_FALSE(lpt1->isChecked());
    EXPECT_TRUE(lpt2->isChecked());
}

TEST(MainTemplate, ControlsSitWhereTheLayoutPutsThem) {
    Built w(DialogTemplate102());
    const DialogBuilder& b = w.builder;
    struct Place {
        int id, x, y, cx, cy;
    };
    // A sample across the window: corners, the hex view, the right column.
    const Place places[] = {{ids::kSendAddress, 7, 7, 19, 12}, {ids::kFilter, 187, 7, 14, 12},
                            {ids::kSlider, 7, 21, 149, 15},    {ids::kHexView, 7, 160, 197, 134},
                            {ids::kBusLog, 208, 21, 220, 273}, {ids::kResetPcf, 432, 31, 50, 14},
                            {ids::kExit, 432, 280, 50, 14},    {ids::kByteValue, 185, 144, 14, 12}};
    for (const Place& p : places)
        EXPECT_EQ(b.Control(p.id)->geometry(), b.ToPixels(p.x, p.y, p.cx, p.cy)) << p.id;
    // Every control lies inside the window, and no two controls share an id.
    std::set<int> seen;
    for (const ControlTemplate& c : DialogTemplate102().controls) {
        if (c.id >= 0) {
            EXPECT_TRUE(seen.insert(c.id).second) << "duplicate id " << c.id;
        }
        EXPECT_LE(c.x + c.cx, 489) << c.id;
        EXPECT_LE(c.y + (c.kind == ControlKind::ComboBox ? 14 : c.cy), 301) << c.id;
    }
}

// The room the style gives a check box's or radio button's caption.
int CaptionRoom(QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
    return button->style()
        ->subElementRect(radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &option,
                         button)
        .width();
}

TEST(MainTemplate, NoCaptionIsClipped) {
    for (const DialogTemplate* t : {&DialogTemplate102(), &DialogTemplate100()}) {
        Built w(*t);
        for (QAbstractButton* button : w.dialog.findChildren<QAbstractButton*>()) {
            if (button->text().isEmpty() || qobject_cast<QToolButton*>(button)) continue;
            const int text = button->fontMetrics().horizontalAdvance(button->text());
            const int room = qobject_cast<QPushButton*>(button) ? button->width() - 4 : CaptionRoom(button);
            EXPECT_LE(text, room) << button->text().toStdString();
        }
        for (QLabel* label : w.dialog.findChildren<QLabel*>()) {
            if (label->text().isEmpty()) continue;
            const QFontMetrics metrics = label->fontMetrics();
            const QRect needed =
                metrics.boundingRect(QRect(0, 0, label->width(), 1000), Qt::TextWordWrap, label->text());
            EXPECT_LE(needed.width(), label->width()) << label->text().toStdString();
            // Whole lines of the font must fit (the ink of a line is never
            // taller than the font's height).
            const int lines = qRound(double(needed.height()) / metrics.lineSpacing());
            EXPECT_LE(lines * metrics.height(), label->height()) << label->text().toStdString();
        }
    }
}

TEST(AboutTemplate, HoldsIconVersionOkAndContacts) {
    Built w(DialogTemplate100());
    EXPECT_EQ(w.dialog.windowTitle(), "About Orvex");
    EXPECT_EQ(w.dialog.size(), QSize(w.builder.X(196), w.builder.Y(103)));
    auto* ok = w.builder.Control<QPushButton>(1);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    QStringList texts;
    bool icon = false;
    for (QLabel* label : w.dialog.findChildren<QLabel*>()) {
        texts << label->text();
        icon = icon || !label->pixmap().isNull();
    }
    EXPECT_TRUE(icon);
    EXPECT_TRUE(texts.contains("Version 4.22"));
    EXPECT_EQ(texts.filter(QRegularExpression("^Technical support :")).size(), 1);
    EXPECT_EQ(texts.filter(QRegularExpression("^Web support:")).size(), 1);
}

TEST(Resources, IconAndStrings) {
    // The embedded PNGs are found and are the drawing: the marked bytes sit in the chip's body.
    const QImage icon = IconPixmap(kIconApp, 32).toImage();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(icon.pixelColor(13, 17).rgb(), QColor(0x00, 0xFF, 0x00).rgb());
    EXPECT_EQ(icon.pixelColor(21, 17).rgb(), QColor(0xFF, 0x00, 0x00).rgb());
    EXPECT_EQ(icon.pixelColor(0, 31).alpha(), 0);
    EXPECT_EQ(IconPixmap(kIconApp, 256).size(), QSize(256, 256));
    EXPECT_TRUE(IconPixmap(4242, 32).isNull());
    EXPECT_EQ(LoadIcon(kIconApp).availableSizes(), (QList<QSize>{QSize(48, 48), QSize(256, 256)}));
    EXPECT_EQ(LoadString(kStringAboutEntry), "&About Orvex...");
    EXPECT_EQ(LoadString(4242), "");
}

// --- Controls ------------------------------------------------------------------

TEST(HexEdit, TakesOnlyHexDigitsUpperCasedAsTyped) {
    QLineEdit edit;
    MakeHexEdit(&edit, 2);
    QTest::keyClicks(&edit, "zq");
    EXPECT_EQ(edit.text(), "");
    QTest::keyClicks(&edit, "a-G9c");
    EXPECT_EQ(edit.text(), "A9");
    HexTextValidator validator;
    QString text = "0f";
    int pos = 0;
    EXPECT_EQ(validator.validate(text, pos), QValidator::Acceptable);
    EXPECT_EQ(text, "0F");
    text = "1G";
    EXPECT_EQ(validator.validate(text, pos), QValidator::Invalid);
    validator.fixup(text);
    EXPECT_EQ(text, "1");
}

TEST(ListBoxControl, ReportsOnlyTheUsersSelections) {
    ListBox list;
    list.resize(200, 200);
    for (int i = 0; i < 5; ++i) list.addItem(QString::number(i));
    list.show();
    QSignalSpy spy(&list, &ListBox::selChange);
    list.SetCurSel(2);
    EXPECT_EQ(list.CurSel(), 2);
    EXPECT_EQ(spy.count(), 0);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, list.ItemRect(3).center());
    EXPECT_EQ(list.CurSel(), 3);
    EXPECT_EQ(spy.count(), 1);
    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(list.CurSel(), 4);
    EXPECT_EQ(spy.count(), 2);
    list.SetCurSel(-1);
    EXPECT_EQ(list.CurSel(), -1);
    list.clear();
    EXPECT_EQ(spy.count(), 2);
}

TEST(ListBoxControl, MultiColumnArrowsMoveByEntryAndByColumn) {
    ListBox list;
    list.SetMultiColumn(30, 10);
    list.resize(400, 45 + 2 * list.frameWidth());  // four entries per column
    for (int i = 0; i < 12; ++i) list.addItem(QString::number(i));
    list.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(list.RowsPerColumn(), 4);
    EXPECT_EQ(list.ItemRect(4).top(), list.ItemRect(0).top());
    EXPECT_EQ(list.ItemRect(4).left(), list.ItemRect(0).left() + 30);
    list.SetCurSel(5);
    QTest::keyClick(&list, Qt::Key_Right);
    EXPECT_EQ(list.CurSel(), 9);
    QTest::keyClick(&list, Qt::Key_Right);  // no column beyond: stays
    EXPECT_EQ(list.CurSel(), 9);
    QTest::keyClick(&list, Qt::Key_Up);
    EXPECT_EQ(list.CurSel(), 8);
    QTest::keyClick(&list, Qt::Key_Left);
    EXPECT_EQ(list.CurSel(), 4);
}

TEST(TrackBarControl, ReportsUserScrollingOnly) {
    TrackBar slider;
    slider.setRange(0, 255);
    slider.resize(200, 30);
    slider.show();
    QSignalSpy scrolled(&slider, &TrackBar::scrolled);
    QSignalSpy released(&slider, &TrackBar::releasedCapture);
    slider.setValue(100);
    EXPECT_EQ(scrolled.count(), 0);
    QTest::keyClick(&slider, Qt::Key_Right);
    EXPECT_EQ(slider.value(), 101);
    ASSERT_EQ(scrolled.count(), 1);
    QTest::keyClick(&slider, Qt::Key_PageUp);
    EXPECT_EQ(scrolled.count(), 2);
    QTest::mouseClick(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(5, 15));
    EXPECT_EQ(released.count(), 1);
    // Only the left button ends a drag.
    QTest::mouseClick(&slider, Qt::RightButton, Qt::NoModifier, QPoint(5, 15));
    QTest::mouseClick(&slider, Qt::MiddleButton, Qt::NoModifier, QPoint(150, 15));
    EXPECT_EQ(released.count(), 1);
    // A key that finds the thumb at the end of the range still notifies.
    slider.setValue(255);
    const qsizetype before = scrolled.count();
    QTest::keyClick(&slider, Qt::Key_End);
    EXPECT_EQ(scrolled.count(), before + 1);
}

TEST(SpinButtonControl, NotifiesBeforeItStepsWithinItsRange) {
    SpinButton spin;
    spin.SetRange(0, 255);
    spin.SetPos(254);
    QList<int> seen;
    QObject::connect(&spin, &SpinButton::deltaPos,
                     [&](int position, int delta) { seen << position << delta << spin.Pos(); });
    spin.UpButton()->click();
    EXPECT_EQ(seen, QList<int>({254, 1, 254}));  // position not yet moved
    EXPECT_EQ(spin.Pos(), 255);
    spin.UpButton()->click();
    EXPECT_EQ(spin.Pos(), 255);  // clamped, but still notified
    EXPECT_EQ(seen.size(), 6);
    spin.DownButton()->click();
    EXPECT_EQ(spin.Pos(), 254);
    spin.SetRange(10, 0);  // reversed range: up lowers the position
    spin.SetPos(5);
    spin.UpButton()->click();
    EXPECT_EQ(spin.Pos(), 4);
}

TEST(ComboControl, SortedCombosInsertInOrder) {
    QComboBox plain, sorted;
    sorted.setProperty("sorted", true);
    for (const char* text : {"", "b1", "A0 10", "a2"}) {
        AddComboString(&plain, text);
        AddComboString(&sorted, text);
    }
    EXPECT_EQ(plain.itemText(1), "b1");
    QStringList order;
    for (int i = 0; i < sorted.count(); ++i) order << sorted.itemText(i);
    EXPECT_EQ(order, QStringList({"", "A0 10", "a2", "b1"}));
}

TEST(ComboControl, HistoryAndRemarksShowTheChosenLineInAnEditThatAddsNothing) {
    Built w(DialogTemplate102());
    EXPECT_FALSE(w.builder.Control<QComboBox>(ids::kChipList)->isEditable());
    for (int id : {ids::kRemarks, ids::kLogHistory}) {
        auto* combo = w.builder.Control<QComboBox>(id);
        ASSERT_TRUE(combo->isEditable()) << id;
        AddComboString(combo, "");
        AddComboString(combo, " W A0 10 55 ");
        QSignalSpy activated(combo, &QComboBox::activated);
        combo->setCurrentIndex(1);
        EXPECT_EQ(combo->lineEdit()->text(), " W A0 10 55 ");  // there to select and copy
        combo->lineEdit()->setText("A0");
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(combo->count(), 2) << id;
        EXPECT_EQ(combo->currentIndex(), 1) << id;
        EXPECT_EQ(activated.count(), 0) << id;
    }
}

TEST(FocusSignals, FollowFocusInAndOut) {
    QWidget window;
    auto* a = new QLineEdit(&window);
    auto* b = new QLineEdit(&window);
    window.show();
    QApplication::setActiveWindow(&window);
    QCoreApplication::processEvents();
    b->setFocus();
    FocusNotifier* notifier = FocusNotifier::Watch(a);
    EXPECT_EQ(FocusNotifier::Watch(a), notifier);
    QSignalSpy in(notifier, &FocusNotifier::setFocus);
    QSignalSpy out(notifier, &FocusNotifier::killFocus);
    a->setFocus();
    b->setFocus();
    EXPECT_EQ(in.count(), 1);
    EXPECT_EQ(out.count(), 1);
}

}  // namespace
