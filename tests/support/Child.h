#pragma once

// Parts of a test that need another user, or mounts of their own, run in a
// forked child that reports through its exit status (tests run as root here).

#include <QString>
#include <functional>
#include <sys/types.h>

namespace moss::test {

inline constexpr uid_t kNobody = 65534;

enum class ChildSetup {
    asNobody,  // the unprivileged user and group 65534, no other groups
    ownMounts, // a private mount namespace: its mounts vanish with it
};

// Runs `body` in a forked child set up as asked; its exit status, or -1 when
// the child could not be set up (the caller skips then).
int runInChild(ChildSetup setup, const std::function<int()>& body);

// Gives every user search permission on the folder and all folders above it.
void letIn(const QString& folder);
// Makes `user` the owner of the entry and of everything below it.
void handOver(const QString& path, uid_t user);

} // namespace moss::test
