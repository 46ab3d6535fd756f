// Leaving root before the window: who the invoking user is (sudo, pkexec,
// set-user-id, forged variables), the order of the calls, and the refusals,
// on a fake process identity that behaves like the kernel's.
#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/privileges.h"

namespace {

using platform::DropResult;

class FakePrivileges : public platform::PrivilegeSystem {
public:
    uid_t realUid = 0;
    uid_t effectiveUid = 0;
    std::map<std::string, std::string> env;
    int failSetResUid = 0;  // -errno for the first setresuid
    std::vector<std::string> calls;

    uid_t RealUid() override { return realUid; }
    uid_t EffectiveUid() override { return effectiveUid; }
    std::optional<std::string> Env(const char* name) override {
        const auto it = env.find(name);
        if (it == env.end()) return std::nullopt;
        return it->second;
    }
    void SetEnv(const char* name, const std::string& value) override { env[name] = value; }
    bool Account(uid_t uid, std::string& name, gid_t& gid, std::string& home) override {
        if (uid != 1000 && uid != 1002) return false;
        name = uid == 1000 ? "tech" : "other";
        gid = uid == 1000 ? 100 : 1002;
        home = "/home/" + name;
        return true;
    }
    int InitGroups(const std::string& name, gid_t gid) override {
        calls.push_back("groups " + name + " " + std::to_string(gid));
        return effectiveUid == 0 ? 0 : -EPERM;
    }
    int SetResGid(gid_t gid) override {
        calls.push_back("gid " + std::to_string(gid));
        return effectiveUid == 0 ? 0 : -EPERM;
    }
    int SetResUid(uid_t uid) override {
        calls.push_back("uid " + std::to_string(uid));
        if (failSetResUid != 0) return std::exchange(failSetResUid, 0);
        if (effectiveUid != 0 && uid != realUid) return -EPERM;
        realUid = effectiveUid = uid;
        return 0;
    }
};

DropResult Drop(FakePrivileges& system, bool requireUser, std::string& error) {
    return platform::DropRootPrivileges(system, requireUser, error);
}

TEST(Privileges, SudoAndPkexecRunsBecomeTheInvokingUserForGood) {
    FakePrivileges sudo;
    sudo.env = {{"SUDO_UID", "1000"}, {"SUDO_GID", "1000"}, {"HOME", "/root"}};
    std::string error;
    EXPECT_EQ(Drop(sudo, true, error), DropResult::Dropped) << error;
    // Groups before the group id before the user id; then root cannot come back.
    EXPECT_EQ(sudo.calls, (std::vector<std::string>{"groups tech 1000", "gid 1000", "uid 1000", "uid 0"}));
    EXPECT_EQ(sudo.effectiveUid, 1000u);
    EXPECT_EQ(sudo.env["HOME"], "/home/tech");
    EXPECT_EQ(sudo.env["USER"], "tech");

    // pkexec gives no group: the account's primary group.
    FakePrivileges pkexec;
    pkexec.env = {{"PKEXEC_UID", "1000"}};
    EXPECT_EQ(Drop(pkexec, true, error), DropResult::Dropped) << error;
    EXPECT_EQ(pkexec.calls.at(1), "gid 100");

    // A set-user-id start returns to the real user; the variables are anyone's to set.
    FakePrivileges setuid;
    setuid.realUid = 1002;
    setuid.env = {{"SUDO_UID", "1000"}};
    EXPECT_EQ(Drop(setuid, true, error), DropResult::Dropped) << error;
    EXPECT_EQ(setuid.effectiveUid, 1002u);
    EXPECT_EQ(setuid.calls.at(1), "gid 1002");
}

TEST(Privileges, RootWithNoKnownUserIsRefusedOnlyWhenAUserIsRequired) {
    for (const char* forged : {"0", "", "1000x", "-5", "99999999999"}) {
        FakePrivileges root;
        root.env = {{"SUDO_UID", forged}};
        std::string error;
        EXPECT_EQ(Drop(root, true, error), DropResult::Refused) << forged;
        EXPECT_NE(error.find("ppdev"), std::string::npos) << error;
        EXPECT_NE(error.find("group lp"), std::string::npos) << error;
        EXPECT_TRUE(root.calls.empty()) << forged;
        EXPECT_EQ(Drop(root, false, error), DropResult::NotRoot) << forged;
        EXPECT_EQ(root.effectiveUid, 0u);
    }

    FakePrivileges user;
    user.realUid = user.effectiveUid = 1000;
    std::string error;
    EXPECT_EQ(Drop(user, true, error), DropResult::NotRoot);
    EXPECT_TRUE(user.calls.empty());
}

TEST(Privileges, AFailedCallStopsTheStart) {
    FakePrivileges root;
    root.env = {{"SUDO_UID", "1000"}, {"SUDO_GID", "1000"}};
    root.failSetResUid = -EAGAIN;
    std::string error;
    EXPECT_EQ(Drop(root, true, error), DropResult::Failed);
    EXPECT_NE(error.find("setresuid"), std::string::npos) << error;
    EXPECT_EQ(root.effectiveUid, 0u);
}

}  // namespace
