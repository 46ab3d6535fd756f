#include "cli/output_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/regular_file.h"

namespace cli {
namespace {

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string LastName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether two paths name the same file: by device and inode when both exist,
// by their folder and last name when neither does yet.
bool SamePath(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    const bool aExists = ::stat(a.c_str(), &sa) == 0;
    const bool bExists = ::stat(b.c_str(), &sb) == 0;
    if (aExists || bExists) return aExists && bExists && SameFile(sa, sb);
    struct stat fa {};
    struct stat fb {};
    return LastName(a) == LastName(b) && ::stat(FolderOf(a).c_str(), &fa) == 0 &&
           ::stat(FolderOf(b).c_str(), &fb) == 0 && SameFile(fa, fb);
}

}  // namespace

std::string OutputClash(const ReplacedFile& out, const std::vector<CommandFile>& files,
                        const std::vector<CommandFile>& folders) {
    if (out.path.empty() || out.path == "-") return {};
    for (const CommandFile& file : files) {
        bool same = false;
        if (file.path.empty()) {
            struct stat st {};
            struct stat mine {};
            same = ::fstat(file.descriptor, &st) == 0 && ::stat(out.path.c_str(), &mine) == 0 &&
                   SameFile(st, mine);
        } else {
            same = SamePath(out.path, file.path);
        }
        if (same)
            return out.option + " " + out.path + " is " + file.named + "; the " + out.what +
                   " would replace it, choose another file";
    }
    struct stat within {};
    if (::stat(FolderOf(out.path).c_str(), &within) != 0) return {};
    for (const CommandFile& folder : folders) {
        struct stat st {};
        if (::stat(folder.path.c_str(), &st) == 0 && SameFile(st, within))
            return out.option + " " + out.path + " is in " + folder.named +
                   ", whose files the command uses; the " + out.what +
                   " would replace it, choose another folder";
    }
    return {};
}

std::string SaveTargetProblem(const std::string& path) {
    const std::string folder = FolderOf(path);
    const std::string cannot = "cannot save \"" + path + "\": ";
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return cannot + "the folder " + folder + " does not exist";
    if (const std::string kind = platform::NotRegularFile(path); !kind.empty()) return cannot + kind;
    if (::access(folder.c_str(), W_OK) != 0) return cannot + "the folder " + folder + " is not writable";
    return {};
}

}  // namespace cli
