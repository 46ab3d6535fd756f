// Undo and redo of the image: every change a handler makes to the image (a
// nibble typed, "H/L", "Fill (00)", a load, a chip read, a monitor replay, a
// restore) is one step on a QUndoStack, kept as the whole image, marks and
// page before and after it. 2048 bytes twice is small, and a whole snapshot
// cannot drift from the image the way replayed edits could.
#pragma once

#include <QString>
#include <QUndoStack>

#include <functional>

#include "eeprom/image.h"

namespace ui {

class ChipController;

struct ImageState {
    eeprom::Image image{eeprom::kImageSize};
    eeprom::Image marks{eeprom::kImageSize};
    int page = 0;
};

inline constexpr int kUndoSteps = 1000;

class ImageHistory {
public:
    // `capture` reads the window's state, `apply` puts a state back and shows it.
    ImageHistory(std::function<ImageState()> capture, std::function<void(const ImageState&)> apply);

    QUndoStack& Stack() { return stack_; }
    ImageState Capture() const { return capture_(); }
    // Pushes the change from `before` to the state now as one step named
    // `text`; nothing when the handler changed nothing.
    void Record(const QString& text, const ImageState& before);

private:
    std::function<ImageState()> capture_;
    std::function<void(const ImageState&)> apply_;
    QUndoStack stack_;
};

// One handler's change as one step: the state is taken when the step is
// built and the step pushed when it goes out of scope, so a handler gets its
// undo step from one line at its top, whichever way it returns.
class ImageStep {
public:
    ImageStep(ChipController& chip, const char* text);
    ~ImageStep();
    ImageStep(const ImageStep&) = delete;
    ImageStep& operator=(const ImageStep&) = delete;

private:
    ImageHistory& history_;
    const char* text_;
    ImageState before_;
};

}  // namespace ui
