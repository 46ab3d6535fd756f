// Leaving root before the window exists. Direct port I/O needs root (or
// CAP_SYS_RAWIO) only to be granted: ioperm() permissions and an open
// /dev/port or ppdev descriptor stay usable after the process gives up its
// identity. So the program opens its ports as root, then becomes the user who
// started it (through sudo or pkexec) before any file dialog can read or write
// as root.
//
// The system calls go through PrivilegeSystem so that every path (root via
// sudo, via pkexec, a plain root login, a refused call) runs in a test as any
// user.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace platform {

// Results follow the kernel's convention: 0 on success, -errno on failure.
class PrivilegeSystem {
public:
    virtual ~PrivilegeSystem() = default;
    virtual uid_t RealUid() = 0;
    virtual uid_t EffectiveUid() = 0;
    // The variable's value, or nullopt when unset.
    virtual std::optional<std::string> Env(const char* name) = 0;
    virtual void SetEnv(const char* name, const std::string& value) = 0;
    // The account's name, primary group and home folder; false when unknown.
    virtual bool Account(uid_t uid, std::string& name, gid_t& gid, std::string& home) = 0;
    // The account's supplementary groups (initgroups); `name` may be empty,
    // then only `gid` is kept.
    virtual int InitGroups(const std::string& name, gid_t gid) = 0;
    virtual int SetResGid(gid_t gid) = 0;  // real, effective and saved
    virtual int SetResUid(uid_t uid) = 0;  // real, effective and saved
};

// The machine's own calls.
PrivilegeSystem& HostPrivileges();

// The user to return to, when the process runs as root on someone's behalf.
struct InvokingUser {
    uid_t uid = 0;
    gid_t gid = 0;
    std::string name;  // empty when the account is not in the password database
    std::string home;
};

// Who started this root process: the real user of a set-user-id start, else
// SUDO_UID/SUDO_GID, else PKEXEC_UID (its group from the account). The
// variables count only when the real user is root, since anyone can set them.
// nullopt when nobody but root is known.
std::optional<InvokingUser> FindInvokingUser(PrivilegeSystem& system);

enum class DropResult {
    NotRoot,  // nothing to do
    Dropped,  // now the invoking user, for good
    Refused,  // root with no invoking user known, and the caller asked for a user
    Failed,   // a call failed; the process must not go on
};

// Gives up root for the invoking user, if the process runs as root. With
// `requireUser`, a root process whose invoker is unknown is Refused rather
// than left as root. On Refused and Failed, `error` is one sentence.
DropResult DropRootPrivileges(PrivilegeSystem& system, bool requireUser, std::string& error);

}  // namespace platform
