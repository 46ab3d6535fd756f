// Windows fitted to the screen: the rectangle arithmetic, and the splitter
// states that are taken or refused before Qt reads them.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>
#include <QSplitter>
#include <QWidget>

#include "ui/main/window_fit.h"
#include "ui/programmer/buffer_edits.h"

namespace {

using ui::FitInside;
using ui::RestoreSplitterState;

TEST(WindowFit, AFrameIsMovedAndShrunkIntoTheAvailableArea) {
    const QRect screen(0, 30, 1024, 670);  // a panel along the top
    const struct {
        QRect frame;
        QSize minimum;
        QRect fitted;
    } cases[] = {
        {{100, 100, 1116, 820}, {400, 300}, {0, 30, 1024, 670}},   // too large: shrunk into the area
        {{900, 600, 400, 300}, {400, 300}, {624, 400, 400, 300}},  // off the bottom right: moved back
        {{-50, -20, 400, 300}, {400, 300}, {0, 30, 400, 300}},     // off the top left, above the panel
        {{10, 40, 400, 300}, {1200, 800}, {0, 30, 1200, 800}},     // its minimum is more: title bar on screen
        {{10, 40, 400, 300}, {100, 100}, {10, 40, 400, 300}},      // fits: left alone
    };
    for (const auto& c : cases) EXPECT_EQ(FitInside(c.frame, c.minimum, screen), c.fitted) << c.frame.x();
}

QByteArray SplitterState(qint32 marker, qint32 version, quint32 count, std::initializer_list<qint32> sizes) {
    QByteArray state;
    QDataStream out(&state, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_5_0);
    out << marker << version << count;
    for (qint32 size : sizes) out << size;
    return state;
}

TEST(WindowFit, ASplitterTakesItsOwnStateAndRefusesADamagedOne) {
    QSplitter saved;
    saved.addWidget(new QWidget);
    saved.addWidget(new QWidget);
    saved.resize(600, 400);
    saved.setSizes({150, 450});
    const QByteArray good = saved.saveState();

    QSplitter splitter;
    splitter.addWidget(new QWidget);
    splitter.addWidget(new QWidget);
    splitter.resize(600, 400);
    EXPECT_TRUE(RestoreSplitterState(splitter, good));
    for (const QByteArray& bad :
         {QByteArray(), good.left(10), SplitterState(0xff, 1, 0x7fffffff, {}),
          SplitterState(0xff, 1, 3, {1, 2, 3}), SplitterState(0xff, 1, 2, {100, 900000000}),
          SplitterState(0xff, 1, 2, {-5, 100}), SplitterState(0x12, 1, 2, {100, 100})})
        EXPECT_FALSE(RestoreSplitterState(splitter, bad)) << bad.toHex().toStdString();
}

TEST(BufferEdits, HexTextAndFillPatterns) {
    std::vector<std::uint8_t> bytes;
    QString error;
    const struct {
        const char* text;
        std::vector<std::uint8_t> bytes;  // empty: refused
    } cases[] = {{"DE AD be,ef", {0xDE, 0xAD, 0xBE, 0xEF}},
                 {"0x12 0x34", {0x12, 0x34}},
                 {"0102\n03", {1, 2, 3}},
                 {"12 3", {}},
                 {"zz", {}},
                 {"  ", {}}};
    for (const auto& c : cases) {
        EXPECT_EQ(ui::HexTextBytes(QString::fromLatin1(c.text), bytes, error), !c.bytes.empty()) << c.text;
        if (!c.bytes.empty()) {
            EXPECT_EQ(bytes, c.bytes) << c.text;
        }
    }
    std::vector<std::uint8_t> data(8, 0);
    ui::FillWith(data, 2, 5, {0xA, 0xB});
    EXPECT_EQ(data, std::vector<std::uint8_t>({0, 0, 0xA, 0xB, 0xA, 0xB, 0xA, 0}));
    EXPECT_EQ(ui::Overwrite(data, 6, {1, 2, 3}), 2);
    EXPECT_EQ(data[7], 2);
}

}  // namespace
