// Dialog templates as data. Each dialog of the tool is a list of controls
// (kind, id, caption, style, rectangle in dialog units) copied from the
// template tables, and one builder turns such a list into widgets. Dialog
// units follow the dialog font
// (x: average character width / 4, y: character height / 8), so a layout keeps
// its proportions at any font size or screen resolution.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>
#include <map>
#include <span>

class QDialog;

namespace ui {

namespace resources {

enum class ControlKind {
    PushButton,     // plain push button
    DefPushButton,  // the default button: Enter reaches it from anywhere in the dialog
    CheckBox,       // automatic check box
    RadioButton,    // automatic radio button; kGroup starts a new exclusive group
    GroupBox,       // frame with an optional caption, drawn behind the controls it surrounds
    Text,           // static text (left-aligned unless kCentered / kRight)
    Icon,           // static icon; the caption is the icon resource id in decimal
    Edit,           // single-line edit
    ComboBox,       // drop-down combo box (selection only, or with kEditField an edit above it)
    ListBox,        // list box; kMultiColumn for the column-by-column grid
    Slider,         // horizontal track bar
    Spin,           // up/down arrows without a buddy
    Progress,       // progress bar
};

// The styles that matter to this tool's dialogs.
enum Style : unsigned {
    kHidden = 1u << 0,  // created but not visible
    kDisabled = 1u << 1,
    kGroup = 1u << 2,         // first radio button of an exclusive group
    kUpperCase = 1u << 3,     // edit: letters are upper-cased as typed
    kRightAlign = 1u << 4,    // edit and text: right-aligned
    kCentered = 1u << 5,      // text: centred
    kReadOnly = 1u << 6,      // edit: read-only
    kSunken = 1u << 7,        // text: sunken frame
    kMultiColumn = 1u << 8,   // list box: items run down one column, then the next
    kSorted = 1u << 9,        // list/combo: adding an entry places it in sorted order
    kNoSysMenu = 1u << 10,    // dialog: caption without system menu or close box
    kMinimizeBox = 1u << 11,  // dialog: minimise box
    kPositioned = 1u << 12,   // dialog: place at the template's x, y (dialog units) from the owner
    kEditField = 1u << 13,    // combo: an edit field above the list, whose text can be selected and copied
};

struct ControlTemplate {
    ControlKind kind;
    int id;               // -1 for statics nobody looks up
    const char* caption;  // UTF-8
    unsigned style;
    int x, y, cx, cy;  // dialog units
    // What a screen reader announces for a control without a caption of its own.
    const char* accessibleName = nullptr;
};

struct DialogTemplate {
    int id;
    const char* caption;  // UTF-8
    int x, y, cx, cy;     // dialog units
    unsigned style;
    int fontPoints;  // dialog font size; the family is the desktop's default
    std::span<const ControlTemplate> controls;
};

// The templates of the tool. Each is defined in its own data file
// (ui/resources/template_<id>.cpp); a window that uses one calls its function,
// which links the data in.
const DialogTemplate& DialogTemplate100();  // About box
const DialogTemplate& DialogTemplate102();  // main window
const DialogTemplate& DialogTemplate133();  // DAC panel
const DialogTemplate& DialogTemplate134();  // extended sliders panel

// Builds a template's controls as children of a dialog and finds them again by
// id. One builder per dialog; it must outlive the lookups, not the widgets.
class DialogBuilder {
public:
    // Makes the widget for a control instead of the standard one (for example
    // a list box subclass); it must be a child of parent.
    using Factory = std::function<QWidget*(const ControlTemplate& control, QWidget* parent)>;

    // Sets the dialog's caption, font, window flags and fixed size and creates
    // every control at its place. Controls whose id has a factory are made by it.
    void Build(QDialog& dialog, const DialogTemplate& dialogTemplate,
               const std::map<int, Factory>& factories = {});

    // The control with this id (the first, if several share it), or nullptr.
    QWidget* Control(int id) const;
    // Typed lookup; nullptr when the id is missing or the control has another type.
    template <class T>
    T* Control(int id) const {
        return qobject_cast<T*>(Control(id));
    }

    // Dialog units to pixels in the font the dialog was built with.
    int X(int dialogUnits) const;
    int Y(int dialogUnits) const;
    QRect ToPixels(int x, int y, int cx, int cy) const;
    // Average character width and height of the dialog font, in pixels.
    QSize BaseUnits() const { return base_; }

private:
    QSize base_{6, 13};
    std::map<int, QWidget*> controls_;
};

// Average character size (pixels) of a font, the way dialog units measure it.
QSize DialogBaseUnits(const QFont& font);

// The id a builder gave a widget (-1 for none); tests find controls with it.
int ControlId(const QWidget* widget);
// Searches a window's descendants for the control with this id.
QWidget* FindControl(const QWidget* window, int id);
template <class T>
T* FindControl(const QWidget* window, int id) {
    return qobject_cast<T*>(FindControl(window, id));
}

}  // namespace resources

}  // namespace ui
