#include "Child.h"

#include "platform/FileSystem.h"

#include <ftw.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace moss::test {

namespace {

constexpr int kCannotSetUp = 125;

uid_t handedTo = 0;

int giveAway(const char* path, const struct stat*, int, FTW*) {
    return ::lchown(path, handedTo, handedTo);
}

bool setUp(ChildSetup setup) {
    switch (setup) {
    case ChildSetup::asNobody:
        return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
    case ChildSetup::ownMounts:
        return ::unshare(CLONE_NEWNS) == 0 &&
               ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }
    return false;
}

} // namespace

int runInChild(ChildSetup setup, const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0)
        ::_exit(setUp(setup) ? body() : kCannotSetUp);
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return 126; // killed: a failure, not a skip
    return WEXITSTATUS(status) == kCannotSetUp ? -1 : WEXITSTATUS(status);
}

void letIn(const QString& folder) {
    for (QString path = folder;; path = fs::parentPath(path)) {
        const QByteArray encoded = fs::encodePath(path);
        struct stat st {};
        if (::stat(encoded.constData(), &st) == 0 && !(st.st_mode & S_IXOTH))
            ::chmod(encoded.constData(), (st.st_mode & 07777) | S_IXOTH);
        if (path == u"/")
            break;
    }
}

void handOver(const QString& path, uid_t user) {
    handedTo = user;
    ::nftw(fs::encodePath(path).constData(), giveAway, 64, FTW_PHYS);
}

} // namespace moss::test
