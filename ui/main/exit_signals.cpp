// The self-pipe that turns SIGINT and SIGTERM into a close in the event loop.
#include "ui/main/exit_signals.h"

#include <QSocketNotifier>

#include <cerrno>

#include <sys/socket.h>
#include <unistd.h>

namespace ui {

namespace {

// The write end for the handler: a signal handler reaches no object.
volatile std::sig_atomic_t g_signalFd = -1;

void OnExitSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // A full socket already holds a wake-up; nothing else can be done here.
    if (g_signalFd >= 0) (void)!::write(g_signalFd, &byte, 1);
    errno = saved;
}

}  // namespace

ExitSignals::ExitSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) return;
    g_signalFd = fds_[1];
    notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        int delivered = 0;
        for (ssize_t n = 0; (n = ::read(fds_[0], bytes, sizeof bytes)) > 0;) delivered += static_cast<int>(n);
        if (delivered > 0 && onSignal_) onSignal_();
    });
    struct sigaction action {};
    action.sa_handler = OnExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousInt_);
    sigaction(SIGTERM, &action, &previousTerm_);
}

ExitSignals::~ExitSignals() {
    if (notifier_ == nullptr) return;
    sigaction(SIGINT, &previousInt_, nullptr);
    sigaction(SIGTERM, &previousTerm_, nullptr);
    g_signalFd = -1;
    ::close(fds_[0]);
    ::close(fds_[1]);
}

}  // namespace ui
