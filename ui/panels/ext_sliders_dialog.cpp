// The extended sliders panel: start-up, slot selection, the register write
// on every slider move, and the fill from the main window's console.
#include "ui/panels/ext_sliders_dialog.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>

#include "ui/eeprom/hex_view.h"
#include "ui/resources/controls.h"

namespace ui {

namespace {

QString ControlText(QWidget* control) {
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
    return {};
}

void SetControlText(QWidget* control, const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    }
}

}  // namespace

ExtSlidersDialog::ExtSlidersDialog(QWidget* owner, const hardware::PortAdapter& mainAdapter)
    : QDialog(owner),
      m_adapter(mainAdapter.Io(), mainAdapter.Clock(), mainAdapter.CounterErrors()),
      m_latch(mainAdapter.Latch()),
      m_portBase(mainAdapter.GetBase()) {
    builder_.Build(*this, resources::DialogTemplate134());
    for (int s = 0; s < kSlots; ++s) {
        m_sliders[s] = builder_.Control<resources::TrackBar>(ext_ids::kSlider[s]);
        for (const ext_ids::SlotIds* column :
             {&ext_ids::kAddress, &ext_ids::kSubAddress, &ext_ids::kMaximum}) {
            resources::MakeHexEdit(builder_.Control<QLineEdit>((*column)[s]), 2);
        }
        // Eight rows of the same controls: a screen reader says which slot.
        for (const ext_ids::SlotIds* column : {&ext_ids::kAddress, &ext_ids::kSubAddress, &ext_ids::kSlider,
                                               &ext_ids::kValue, &ext_ids::kMaximum}) {
            QWidget* control = builder_.Control((*column)[s]);
            control->setAccessibleName(
                QStringLiteral("Slot %1 %2").arg(s + 1).arg(control->accessibleName()));
        }
    }
    ConnectMessageMap();
    OnInitDialog();
}

ExtSlidersDialog::~ExtSlidersDialog() {
    // Also when the main window takes the panel down with it.
    if (g_extPanel == this) {
        g_extPanel = nullptr;
    }
}

void ExtSlidersDialog::ConnectMessageMap() {
    for (resources::TrackBar* slider : m_sliders) {
        // Every slider's scrolling writes the selected slot.
        connect(slider, &resources::TrackBar::scrolled, this, &ExtSlidersDialog::OnHScroll);
        slider->installEventFilter(this);
    }
}

void ExtSlidersDialog::OnInitDialog() {
    for (int s = 0; s < kSlots; ++s) {
        m_sliders[s]->setRange(0, 255);
        m_sliders[s]->setValue(0);
        m_address[s] = QStringLiteral("00");
        m_subAddress[s] = QStringLiteral("00");
        m_label[s].clear();
        m_value[s] = QStringLiteral("00");
        m_maximum[s] = QStringLiteral("FF");
    }
    m_selectedSlot = 1;
    m_busy = 0;
    UpdateData(false);
    m_adapter.SetBase(m_portBase);
    m_adapter.WriteLatch(m_latch);
    m_adapter.ConfigurePort();
    m_adapter.ResetAdapter(0, m_latch);
}

void ExtSlidersDialog::UpdateData(bool save) {
    auto exchange = [this, save](int id, QString& field) {
        QWidget* control = builder_.Control(id);
        if (save) {
            field = ControlText(control);
        } else {
            SetControlText(control, field);
        }
    };
    for (int s = 0; s < kSlots; ++s) {
        exchange(ext_ids::kAddress[s], m_address[s]);
        exchange(ext_ids::kSubAddress[s], m_subAddress[s]);
        exchange(ext_ids::kLabel[s], m_label[s]);
        exchange(ext_ids::kValue[s], m_value[s]);
        exchange(ext_ids::kMaximum[s], m_maximum[s]);
    }
}

int ExtSlidersDialog::SlotOf(const QObject* widget) const {
    for (int s = 0; s < kSlots; ++s) {
        if (m_sliders[s] == widget) return s + 1;
    }
    return 0;
}

bool ExtSlidersDialog::eventFilter(QObject* watched, QEvent* event) {
    // A slider reports being pressed, focused, keyed or wheeled before it
    // moves, so the move that follows finds its slot selected.
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::FocusIn:
        case QEvent::KeyPress:
        case QEvent::Wheel:
            if (const int slot = SlotOf(watched)) OnSliderNotify(slot);
            break;
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

void ExtSlidersDialog::OnSliderNotify(int slot) {
    if (m_busy != 0 || slot < 1 || slot > kSlots) return;
    m_selectedSlot = static_cast<std::uint8_t>(slot);
    // Read the controls before taking the maximum, so that a maximum just
    // typed limits the slider at once rather than one notification later.
    UpdateData(true);
    m_sliders[slot - 1]->setRange(0, HexTextValue(m_maximum[slot - 1]));
}

void ExtSlidersDialog::OnHScroll() {
    const int s = m_selectedSlot - 1;
    m_value[s] = HexByteText(m_sliders[s]->value());
    const auto sub = static_cast<std::uint8_t>(HexTextValue(m_subAddress[s]));
    const auto address = static_cast<std::uint8_t>(HexTextValue(m_address[s]));
    const auto data = static_cast<std::uint8_t>(HexTextValue(m_value[s]));
    m_adapter.SetBase(m_portBase);
    // The slider is the control: no bus-busy message, no retry, no delay.
    (void)m_adapter.I2cWriteByte(sub, address, data);
    UpdateData(false);
}

void ExtSlidersDialog::FillSelectedSlot(const QString& address, const QString& subAddress,
                                        const QString& data, const QString& label) {
    m_busy = 1;
    // The write-back below covers every slot: read what the user typed into
    // the edits first, or it would be put back to the old texts.
    UpdateData(true);
    const int s = m_selectedSlot - 1;
    m_address[s] = address;
    m_subAddress[s] = subAddress;
    m_value[s] = data;
    m_sliders[s]->setValue(HexTextValue(data));
    m_sliders[s]->update();
    m_label[s] = label;
    UpdateData(false);
    m_busy = 0;
}

}  // namespace ui
