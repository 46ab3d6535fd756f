// SIGINT and SIGTERM end the window as its close button does (the chip
// programmer asks about its edits, --bench-vcd is written and the bench's
// state saved on the way out), instead of killing the process on the spot
// or being ignored. The handler only writes a byte to a socket pair; the
// event loop reads it and runs the close.
#pragma once

#include <QObject>

#include <csignal>
#include <functional>

class QSocketNotifier;

namespace ui {

class ExitSignals final : public QObject {
    Q_OBJECT
public:
    // `onSignal` runs in the event loop once per signal delivered.
    ExitSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    // The handlers in force before come back.
    ~ExitSignals() override;
    ExitSignals(const ExitSignals&) = delete;
    ExitSignals& operator=(const ExitSignals&) = delete;

    // False when the socket pair could not be made (the signals then act as
    // they did before).
    bool Installed() const { return notifier_ != nullptr; }

private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
    int fds_[2] = {-1, -1};
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

}  // namespace ui
