// The files a run writes besides its data (the port trace, the bench's
// waveform): checked before anything is written, so one never replaces a
// file the command reads or writes, nor lands in a folder whose files the
// command uses by names of its own.
#pragma once

#include <string>
#include <vector>

namespace cli {

// A file the command reads or writes: its path (the system's bytes), or the
// descriptor of standard input or output, and how the user named it.
struct CommandFile {
    std::string path;
    int descriptor = -1;
    std::string named;
};

// A file a run replaces: its option ("--trace") and path, and what it is
// ("trace", "waveform") for the sentences.
struct ReplacedFile {
    std::string option;
    std::string path;
    std::string what;
};

// Empty when `out` is none of `files` under any name (the same device and
// inode: a hard or symbolic link, another spelling; or, for names not made
// yet, the same folder and name) and not in one of `folders` (the backups,
// the bench's chips), whose files the command uses by names of its own.
// Otherwise the sentence that refuses it.
std::string OutputClash(const ReplacedFile& out, const std::vector<CommandFile>& files,
                        const std::vector<CommandFile>& folders = {});

// Empty when a file can be saved at `path`: its folder exists and may be
// written, and `path` is not a folder, device or pipe. Otherwise one sentence.
std::string SaveTargetProblem(const std::string& path);

}  // namespace cli
