// Undo and redo of the image; see undo.h.
#include "ui/eeprom/undo.h"

#include <QUndoCommand>

#include "ui/main/main_dialog.h"

namespace ui {

namespace {

class ImageCommand final : public QUndoCommand {
public:
    ImageCommand(const QString& text, ImageState before, ImageState after,
                 const std::function<void(const ImageState&)>& apply)
        : QUndoCommand(text), before_(std::move(before)), after_(std::move(after)), apply_(apply) {}
    void undo() override { apply_(before_); }
    void redo() override {
        // QUndoStack::push runs redo() at once; the change is already made.
        if (pushed_) apply_(after_);
        pushed_ = true;
    }

private:
    ImageState before_;
    ImageState after_;
    std::function<void(const ImageState&)> apply_;
    bool pushed_ = false;
};

}  // namespace

ImageHistory::ImageHistory(std::function<ImageState()> capture, std::function<void(const ImageState&)> apply)
    : capture_(std::move(capture)), apply_(std::move(apply)) {
    stack_.setUndoLimit(kUndoSteps);
}

void ImageHistory::Record(const QString& text, const ImageState& before) {
    ImageState after = capture_();
    // Only the image and its marks make a step; a page move alone does not.
    if (after.image == before.image && after.marks == before.marks) return;
    stack_.push(new ImageCommand(text, before, std::move(after), apply_));
}

ImageStep::ImageStep(ChipController& chip, const char* text)
    : history_(chip.History()), text_(text), before_(history_.Capture()) {}

ImageStep::~ImageStep() { history_.Record(QString::fromLatin1(text_), before_); }

}  // namespace ui
