// The child process seam; see child_process.h.
#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace platform {
namespace {

// How much of the child's standard error is kept: enough for its last lines.
constexpr std::size_t kErrorTail = 4096;
// A line the child never ends is given in pieces of this size rather than
// growing without bound.
constexpr std::size_t kLongestLine = 64 * 1024;
// The size asked for the output pipe: the most an unprivileged process may
// ask by default (/proc/sys/fs/pipe-max-size).
constexpr int kPipeBytes = 1 << 20;
// The spool gives its read pages back in pieces of this size.
constexpr std::uint64_t kSpoolReleaseBytes = 4u << 20;

// The file PATH resolves `name` to, or "" when none can be run.
std::string FindProgram(const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* path = std::getenv("PATH");
    const std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    for (std::size_t begin = 0; begin <= dirs.size();) {
        std::size_t end = dirs.find(':', begin);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = end == begin ? "." : dirs.substr(begin, end - begin);
        const std::string candidate = dir + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        begin = end + 1;
    }
    return {};
}

std::string Describe(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
}

}  // namespace

ChildProcess::Start ChildProcess::Begin(const std::vector<std::string>& argv, std::string& error,
                                        Output output) {
    Stop();
    errors_.clear();
    partial_.clear();
    ending_.clear();
    const std::string program = argv.empty() ? std::string() : FindProgram(argv.front());
    if (program.empty()) {
        error = (argv.empty() ? std::string("no program") : argv.front()) + " is not installed";
        return Start::NotFound;
    }
    // Everything the child needs is made before fork: after it, only calls
    // that are safe between fork and exec.
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    int exec[2] = {-1, -1};  // carries errno when exec fails; closes on success
    // Standard input is a pipe whose write end we keep and never write.
    // sigrok-cli with --continuous watches its standard input and stops the
    // acquisition at its first event, and end of file (what /dev/null gives at
    // once) is one: sigrok-cli's anykey.c (add_anykey: g_io_add_watch(G_IO_IN)
    // calling sr_session_stop), armed by session.c's run_session when
    // opt_continuous is set.
    int in[2] = {-1, -1};
    // Spooled, both ends are the one memory file: the child writes at the
    // offset it shares with us, and we read with pread at an offset of our own.
    const auto makeOutput = [&out, output] {
        if (output == Output::Pipe) return ::pipe2(out, O_CLOEXEC) == 0;
        out[0] = ::memfd_create("merlix-child-output", MFD_CLOEXEC);
        out[1] = out[0] >= 0 ? ::fcntl(out[0], F_DUPFD_CLOEXEC, 0) : -1;
        return out[1] >= 0;
    };
    if (::pipe2(in, O_CLOEXEC) != 0 || !makeOutput() || ::pipe2(err, O_CLOEXEC) != 0 ||
        ::pipe2(exec, O_CLOEXEC) != 0) {
        error = std::string("cannot make the pipes for ") + argv.front() + ": " + std::strerror(errno);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1], exec[0], exec[1]})
            if (fd >= 0) ::close(fd);
        return Start::Failed;
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Ends with us, even when we are killed outright; and not at all when
        // we were gone before the request took hold.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(127);
        ::setpgid(0, 0);
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::execv(program.c_str(), args.data());
        const int code = errno;
        [[maybe_unused]] const ssize_t written = ::write(exec[1], &code, sizeof code);
        ::_exit(127);
    }
    const int forkErrno = errno;
    for (int fd : {in[0], out[1], err[1], exec[1]}) ::close(fd);
    if (pid < 0) {
        for (int fd : {in[1], out[0], err[0], exec[0]}) ::close(fd);
        error = std::string("cannot start ") + argv.front() + ": " + std::strerror(forkErrno);
        return Start::Failed;
    }
    // Set here as well, so that the group exists whichever of the two runs first.
    ::setpgid(pid, pid);
    int code = 0;
    ssize_t n = 0;
    do {
        n = ::read(exec[0], &code, sizeof code);
    } while (n < 0 && errno == EINTR);
    ::close(exec[0]);
    pid_ = pid;
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
    if (n == static_cast<ssize_t>(sizeof code)) {
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        CloseAll();
        error = std::string("cannot run ") + program + ": " + std::strerror(code);
        return code == ENOENT || code == EACCES ? Start::NotFound : Start::Failed;
    }
    peakWaiting_ = 0;
    spooled_ = output == Output::Spool;
    spoolRead_ = spoolReleased_ = 0;
    pipeSize_ = 0;
    if (!spooled_) {
        ::fcntl(out_, F_SETFL, ::fcntl(out_, F_GETFL) | O_NONBLOCK);
        // Room for a fast writer between two of our reads (a logic analyzer at
        // tens of megabytes a second); the kernel's default is 64 KiB.
        const int size = ::fcntl(out_, F_SETPIPE_SZ, kPipeBytes);
        pipeSize_ = static_cast<std::size_t>(size > 0 ? size : ::fcntl(out_, F_GETPIPE_SZ));
    }
    ::fcntl(err_, F_SETFL, ::fcntl(err_, F_GETFL) | O_NONBLOCK);
    return Start::Started;
}

void ChildProcess::Drain(int& fd, std::string& into, std::size_t keep, std::size_t most) {
    char chunk[64 * 1024];
    const std::size_t from = into.size();
    while (fd >= 0) {
        std::size_t want = sizeof chunk;
        if (most > 0) {
            if (into.size() - from >= most) return;
            want = std::min(want, most - (into.size() - from));
        }
        const ssize_t n = ::read(fd, chunk, want);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n <= 0) {  // the end, or an error that no later read mends
            ::close(fd);
            fd = -1;
            return;
        }
        into.append(chunk, static_cast<std::size_t>(n));
        if (keep > 0 && into.size() > keep) into.erase(0, into.size() - keep);
        if (keep == 0 && most == 0 && into.size() > 4 * kLongestLine) return;  // the caller takes lines first
    }
}

bool ChildProcess::Poll(std::vector<std::string>& lines) {
    if (pid_ < 0 && out_ < 0) return false;
    // The output first, then whether the child has ended, then the output
    // again: whatever it wrote before it ended is read before the end is told.
    bool ended = false;
    for (int round = 0; round < 2; ++round) {
        Drain(out_, partial_, 0);
        Drain(err_, errors_, kErrorTail);
        std::size_t begin = 0;
        for (std::size_t end; (end = partial_.find('\n', begin)) != std::string::npos; begin = end + 1)
            lines.push_back(partial_.substr(begin, end - begin));
        partial_.erase(0, begin);
        while (partial_.size() >= kLongestLine) {
            lines.push_back(partial_.substr(0, kLongestLine));
            partial_.erase(0, kLongestLine);
        }
        if (round == 0) ended = Reaped();
        if (!ended) break;
    }
    if (pid_ > 0) return true;
    // The child is gone; its pipes close once whatever it left behind is done.
    if (out_ >= 0) return true;
    if (!partial_.empty()) lines.push_back(std::move(partial_));
    partial_.clear();
    CloseAll();
    return false;
}

bool ChildProcess::Reaped() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
    ending_ = Describe(status);
    ::kill(-pid_, SIGKILL);  // what it left behind, which may hold its pipes
    pid_ = -1;
    return true;
}

bool ChildProcess::WaitForOutput(int ms) const {
    if (out_ < 0) return true;
    if (spooled_) {  // a memory file is always readable: look until it grows or the child ends
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            siginfo_t info{};
            if (Waiting() > 0 ||
                (pid_ > 0 &&
                 ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                 info.si_pid == pid_))
                return true;
            if (std::chrono::steady_clock::now() >= end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    pollfd ready{out_, POLLIN, 0};
    return ::poll(&ready, 1, ms) > 0;
}

std::size_t ChildProcess::Waiting() const {
    struct stat st {};
    if (!spooled_ || out_ < 0 || ::fstat(out_, &st) != 0) return 0;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    return size > spoolRead_ ? static_cast<std::size_t>(size - spoolRead_) : 0;
}

void ChildProcess::ReadSpool(std::string& into, std::size_t most) {
    if (out_ < 0) return;
    const std::size_t waiting = Waiting();
    peakWaiting_ = std::max(peakWaiting_, waiting);
    const std::size_t want = std::min(most, waiting);
    const std::size_t from = into.size();
    into.resize(from + want);
    std::size_t got = 0;
    while (got < want) {
        const ssize_t n = ::pread(out_, into.data() + from + got, want - got, static_cast<off_t>(spoolRead_));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
        spoolRead_ += static_cast<std::uint64_t>(n);
    }
    into.resize(from + got);
    // What has been read goes back to the system; the file keeps its size.
    if (spoolRead_ - spoolReleased_ >= kSpoolReleaseBytes) {
        const std::uint64_t upTo = spoolRead_ / kSpoolReleaseBytes * kSpoolReleaseBytes;
        ::fallocate(out_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(spoolReleased_),
                    static_cast<off_t>(upTo - spoolReleased_));
        spoolReleased_ = upTo;
    }
}

bool ChildProcess::PollBytes(std::string& into, std::size_t most) {
    if (pid_ < 0 && out_ < 0) return false;
    const std::size_t before = into.size();
    if (spooled_) {
        ReadSpool(into, most);
        Drain(err_, errors_, kErrorTail);
        // Whatever it wrote before it ended is read before the end is told.
        if (Reaped() && into.size() - before < most) ReadSpool(into, most - (into.size() - before));
        if (pid_ > 0 || Waiting() > 0) return true;
        Drain(err_, errors_, kErrorTail);
        CloseAll();
        return false;
    }
    int waiting = 0;
    if (out_ >= 0 && ::ioctl(out_, FIONREAD, &waiting) == 0)
        peakWaiting_ = std::max(peakWaiting_, static_cast<std::size_t>(waiting));
    Drain(out_, into, 0, most);
    Drain(err_, errors_, kErrorTail);
    // Whatever it wrote before it ended is read before the end is told.
    if (Reaped() && into.size() - before < most) {
        Drain(out_, into, 0, most - (into.size() - before));
        Drain(err_, errors_, kErrorTail);
    }
    if (pid_ > 0 || out_ >= 0) return true;
    CloseAll();
    return false;
}

void ChildProcess::Stop(int graceMs) {
    if (pid_ > 0) {
        ::kill(-pid_, SIGTERM);
        ::kill(pid_, SIGTERM);
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
        int status = 0;
        pid_t reaped = 0;
        while ((reaped = ::waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (reaped == 0) {
            ::kill(-pid_, SIGKILL);
            ::kill(pid_, SIGKILL);
            while ((reaped = ::waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
            }
        }
        // What the group left behind (a script's own children) goes too.
        ::kill(-pid_, SIGKILL);
        if (ending_.empty() && reaped == pid_) ending_ = Describe(status);
        pid_ = -1;
    }
    CloseAll();
}

void ChildProcess::CloseAll() {
    for (int* fd : {&in_, &out_, &err_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

std::string ChildProcess::LastErrorLine() const {
    std::size_t end = errors_.size();
    while (end > 0) {
        while (end > 0 && (errors_[end - 1] == '\n' || errors_[end - 1] == '\r' || errors_[end - 1] == ' '))
            --end;
        const std::size_t begin = errors_.rfind('\n', end == 0 ? 0 : end - 1);
        const std::size_t from = begin == std::string::npos ? 0 : begin + 1;
        if (end > from) return errors_.substr(from, end - from);
        end = from;
    }
    return {};
}

}  // namespace platform
