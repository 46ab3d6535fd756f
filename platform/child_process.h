// A program run beside ours as a child process: started with its argument
// list, its standard output read line by line without ever waiting (so a
// timer pass that polls it stays short), its standard error kept for the
// sentence that says why it ended, and ended for sure: by the owner's Stop()
// or destructor, and by the kernel when our process dies first (the child
// asks for SIGTERM when its parent goes). The child runs in a process group
// of its own, so a Ctrl-C at the terminal reaches us alone and we end it in
// order; Stop() signals the whole group, so a script's own children go too.
// The kernel's signal follows the thread that started the child: start it
// from one that lives as long as the child should (the main thread).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class ChildProcess {
public:
    enum class Start { Started, NotFound, Failed };
    // Where the child's standard output goes. A pipe makes a writer faster
    // than our reading wait, which is what a recorded capture should do (its
    // samples then take no memory of ours). A live device must never wait: a
    // logic analyzer's driver that finds its output blocked stops taking
    // samples from the USB and loses them. Spooled, the output goes to an
    // anonymous memory file (memfd) that the child writes at its own pace and
    // we read behind it, giving back the pages we have read.
    enum class Output { Pipe, Spool };

    ChildProcess() = default;
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Runs argv[0], looked up on PATH unless it holds a slash, with standard
    // input a pipe that we hold open and never write: a program that stops
    // at the first input or at end of file on its standard input (sigrok-cli
    // with --continuous) runs until it is stopped. NotFound when no such program can be run; Failed
    // with the reason in `error` for anything else. A child still running is
    // stopped first.
    Start Begin(const std::vector<std::string>& argv, std::string& error, Output output = Output::Pipe);

    // Appends the whole lines the child has written since the last call
    // (without their newline) and keeps a partial line for the next. Returns
    // false once the child has ended and everything it wrote has been read;
    // a last line without a newline is given then.
    bool Poll(std::vector<std::string>& lines);
    // The same for a child that writes bytes rather than lines: appends at
    // most `most` bytes of its standard output to `into`. Returns false once
    // the child has ended and everything it wrote has been read.
    bool PollBytes(std::string& into, std::size_t most);

    // The most bytes PollBytes found waiting in the output, and the pipe's
    // size (0 when spooled: nothing ever makes the child wait). A writer
    // faster than our reading fills a pipe; spooled, it leaves us behind.
    std::size_t PeakWaiting() const { return peakWaiting_; }
    std::size_t PipeSize() const { return pipeSize_; }
    // Spooled: the bytes written and not yet read.
    std::size_t Waiting() const;
    // Waits at most `ms` for the child to write (or end); true when it has.
    bool WaitForOutput(int ms) const;

    // Ends the child: SIGTERM to its group, SIGKILL after `graceMs`, and
    // always reaped. Nothing happens when none runs.
    void Stop(int graceMs = 500);

    // The child's process id while it runs or until it is reaped; -1 before.
    pid_t Pid() const { return pid_; }
    // After Poll returned false: how it ended ("exit status 1", "signal 9").
    const std::string& Ending() const { return ending_; }
    // The last line that was not blank on the child's standard error; empty
    // when there is none.
    std::string LastErrorLine() const;

private:
    pid_t pid_ = -1;
    int in_ = -1;   // the write end of the child's standard input
    int out_ = -1;  // the output pipe's read end, or the spool
    bool spooled_ = false;
    std::uint64_t spoolRead_ = 0;      // the next spooled byte to read
    std::uint64_t spoolReleased_ = 0;  // the spool's pages before this were given back
    int err_ = -1;
    std::size_t peakWaiting_ = 0;
    std::size_t pipeSize_ = 0;
    std::string partial_;
    std::string errors_;  // the tail of standard error
    std::string ending_;

    void Drain(int& fd, std::string& into, std::size_t keep, std::size_t most = 0);
    void ReadSpool(std::string& into, std::size_t most);
    // Reaps the child when it has ended; true then.
    bool Reaped();
    void CloseAll();
};

}  // namespace platform
