#include "platform/privileges.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform {
namespace {

class LinuxPrivileges final : public PrivilegeSystem {
public:
    uid_t RealUid() override { return getuid(); }
    uid_t EffectiveUid() override { return geteuid(); }
    std::optional<std::string> Env(const char* name) override {
        const char* value = std::getenv(name);
        if (!value) return std::nullopt;
        return std::string(value);
    }
    void SetEnv(const char* name, const std::string& value) override { setenv(name, value.c_str(), 1); }
    bool Account(uid_t uid, std::string& name, gid_t& gid, std::string& home) override {
        std::vector<char> buffer(16384);
        passwd entry{};
        passwd* found = nullptr;
        if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return false;
        name = found->pw_name ? found->pw_name : "";
        gid = found->pw_gid;
        home = found->pw_dir ? found->pw_dir : "";
        return true;
    }
    int InitGroups(const std::string& name, gid_t gid) override {
        const int result = name.empty() ? setgroups(1, &gid) : initgroups(name.c_str(), gid);
        return result == 0 ? 0 : -errno;
    }
    int SetResGid(gid_t gid) override { return setresgid(gid, gid, gid) == 0 ? 0 : -errno; }
    int SetResUid(uid_t uid) override { return setresuid(uid, uid, uid) == 0 ? 0 : -errno; }
};

// A user or group id as sudo and pkexec write it: decimal digits only, not root's.
std::optional<unsigned long> NonRootId(const std::optional<std::string>& text) {
    if (!text || text->empty() || text->size() > 10) return std::nullopt;
    unsigned long value = 0;
    for (const char c : *text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (value == 0 || value > 0xFFFFFFFEul) return std::nullopt;  // root, or (uid_t)-1
    return value;
}

std::string Failure(const char* call, int result) {
    return std::string("Could not leave root (") + call + ": " + std::strerror(-result) +
           "), so the window does not start.";
}

}  // namespace

PrivilegeSystem& HostPrivileges() {
    static LinuxPrivileges system;
    return system;
}

std::optional<InvokingUser> FindInvokingUser(PrivilegeSystem& system) {
    InvokingUser user;
    std::optional<unsigned long> gid;
    if (const uid_t real = system.RealUid(); real != 0) {
        user.uid = real;  // set-user-id root: the caller is the real user, whatever the variables say
    } else if (const auto sudo = NonRootId(system.Env("SUDO_UID"))) {
        user.uid = static_cast<uid_t>(*sudo);
        gid = NonRootId(system.Env("SUDO_GID"));
    } else if (const auto pkexec = NonRootId(system.Env("PKEXEC_UID"))) {
        user.uid = static_cast<uid_t>(*pkexec);
    } else {
        return std::nullopt;
    }
    gid_t accountGid = 0;
    const bool known = system.Account(user.uid, user.name, accountGid, user.home);
    if (gid) {
        user.gid = static_cast<gid_t>(*gid);
    } else if (known && accountGid != 0) {
        user.gid = accountGid;
    } else {
        // Never keep root's group: with nothing better, the user's own id.
        user.gid = static_cast<gid_t>(user.uid);
    }
    return user;
}

DropResult DropRootPrivileges(PrivilegeSystem& system, bool requireUser, std::string& error) {
    if (system.EffectiveUid() != 0) return DropResult::NotRoot;
    const std::optional<InvokingUser> user = FindInvokingUser(system);
    if (!user) {
        if (!requireUser) return DropResult::NotRoot;
        error = "The window would run as root with --direct, and no user is known to return to "
                "(neither SUDO_UID nor PKEXEC_UID is set); start it with sudo or pkexec from your own "
                "account, or use ppdev without root: add yourself to the group lp "
                "(sudo usermod -aG lp $USER, then log in again) and start merlix with --ppdev.";
        return DropResult::Refused;
    }
    // Groups first: once the user id is gone, the groups can no longer change.
    if (const int r = system.InitGroups(user->name, user->gid); r != 0) {
        error = Failure("setgroups", r);
        return DropResult::Failed;
    }
    if (const int r = system.SetResGid(user->gid); r != 0) {
        error = Failure("setresgid", r);
        return DropResult::Failed;
    }
    if (const int r = system.SetResUid(user->uid); r != 0) {
        error = Failure("setresuid", r);
        return DropResult::Failed;
    }
    // Root must be gone for good, the saved id included.
    if (system.SetResUid(0) == 0 || system.EffectiveUid() == 0) {
        error = "Could not leave root for good, so the window does not start.";
        return DropResult::Failed;
    }
    // sudo may leave root's home in HOME: settings and recent files belong in the user's.
    if (!user->home.empty()) system.SetEnv("HOME", user->home);
    if (!user->name.empty()) {
        system.SetEnv("USER", user->name);
        system.SetEnv("LOGNAME", user->name);
    }
    return DropResult::Dropped;
}

}  // namespace platform
