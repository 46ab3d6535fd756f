// The widget suites' shared fixture; see bench_fixture.h.
#include "support/bench_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QSettings>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <algorithm>

#include "ui/main/app_state.h"
#include "ui/main/startup.h"

namespace testsupport {

std::vector<std::uint8_t> Outs(const RecordingPortIo& recorder, std::uint16_t port) {
    std::vector<std::uint8_t> values;
    for (const RecordingPortIo::Access& a : recorder.log) {
        if (a.out && a.port == port) values.push_back(a.value);
    }
    return values;
}

bool Touched(const RecordingPortIo& recorder, std::uint16_t first, int count) {
    return std::any_of(recorder.log.cbegin(), recorder.log.cend(), [&](const RecordingPortIo::Access& a) {
        return a.port >= first && a.port < first + count;
    });
}

QRect SliderHandleRect(const QSlider* slider) {
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.singleStep = slider->singleStep();
    option.pageStep = slider->pageStep();
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
}

platform::PortIo* TwoPortBench::Route(std::uint16_t port) {
    auto near = [port](int base) { return (port >= base && port <= base + 7) || port == base + 0x402; };
    if (near(0x378)) return &lpt1_;
    if (near(0x278)) return &lpt2_;
    return nullptr;
}

std::uint8_t TwoPortBench::In(std::uint16_t port) {
    platform::PortIo* bench = Route(port);
    return bench ? bench->In(port) : lpt1_.In(port);
}

void TwoPortBench::Out(std::uint16_t port, std::uint8_t value) {
    if (platform::PortIo* bench = Route(port)) {
        bench->Out(port, value);
        return;
    }
    // The configuration pair belongs to the board, which both adapters share.
    lpt1_.Out(port, value);
    lpt2_.Out(port, value);
}

void BenchFixture::SetUp() {
    ResetAppState();
    // Every write backs the chip up: into this test's own folder, never the
    // real home. Each test starts from the default settings.
    ASSERT_TRUE(home_.isValid());
    previousDataHome_ = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", home_.filePath(QStringLiteral("data")).toLocal8Bit());
    QSettings(QStringLiteral("merlix"), QStringLiteral("merlix")).clear();
    simulator::SimulatedBench::Config config;
    Configure(config);
    bench_ = std::make_unique<simulator::SimulatedBench>(clock_, config);
    recorder_ = std::make_unique<RecordingPortIo>(*bench_);
    SetActiveBench(bench_.get());
    previousSeams_ = InstallUiSeams({
        [this](const QString& text) { messages << text; },
        [this](const QString& initialName) {
            openRequests << initialName;
            return openPathAnswer;
        },
        [this](const QString& initialName) {
            saveRequests << initialName;
            return savePathAnswer;
        },
    });
    if (StartWindowInSetUp()) StartWindow();
}

void BenchFixture::TearDown() {
    dialog_.reset();
    InstallUiSeams(previousSeams_);
    SetActiveBench(nullptr);
    recorder_.reset();
    bench_.reset();
    ResetAppState();
    qputenv("XDG_DATA_HOME", previousDataHome_);
}

std::unique_ptr<eeprom::Session> BenchFixture::NewSession() {
    return std::make_unique<eeprom::Session>(*recorder_, clock_);
}

void BenchFixture::StartWindow(platform::PortIo* io) {
    StartWindowWith(std::make_unique<eeprom::Session>(io ? *io : *recorder_, clock_));
}

void BenchFixture::StartWindowWith(std::unique_ptr<eeprom::Session> session) {
    dialog_ = std::make_unique<MainDialog>(nullptr, std::move(session));
    dialog_->show();
    QApplication::setActiveWindow(dialog_.get());
    QCoreApplication::processEvents();
}

void BenchFixture::Click(int id) {
    auto* button = dialog_->Control<QAbstractButton>(id);
    ASSERT_NE(button, nullptr) << "no button " << id;
    button->click();
}

void BenchFixture::PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
}

void BenchFixture::Focus(QWidget* widget) {
    widget->setFocus(Qt::OtherFocusReason);
    QCoreApplication::processEvents();
}

void BenchFixture::ClickHexItem(int item) {
    HexView* view = dialog_->Chip().m_hexView;
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, view->ItemRect(item).center());
}

void BenchFixture::ChooseChip(const QString& entry) {
    QComboBox* list = dialog_->Chip().m_chipList;
    const int index = list->findText(entry, Qt::MatchExactly);
    ASSERT_GE(index, 0) << entry.toStdString();
    list->setCurrentIndex(index);
    emit list->activated(index);
}

void BenchFixture::TypeInto(int editId, const QString& text) {
    QLineEdit* edit = dialog_->Edit(editId);
    Focus(edit);
    edit->clear();
    QTest::keyClicks(edit, text);
}

QString BenchFixture::Text(int id) {
    if (auto* edit = dialog_->Control<QLineEdit>(id)) return edit->text();
    if (auto* button = dialog_->Control<QAbstractButton>(id)) return button->text();
    return {};
}

}  // namespace testsupport
