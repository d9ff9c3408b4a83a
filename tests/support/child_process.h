// Run a piece of a test in a child process, for what must not touch the test
// process itself: resource limits, another user, the umask.
#ifndef KESTRANE_TESTS_CHILD_PROCESS_H
#define KESTRANE_TESTS_CHILD_PROCESS_H

#if !defined(_WIN32)

#include <functional>

#include <pwd.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrane_test {

// The child's exit code: 0 when body returned true, 1 when it returned
// false; -1 when the child died of a signal or could not be started.
inline int RunInChild(const std::function<bool()>& body)
{
    const pid_t child = fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        _exit(body() ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// An unprivileged account for permission tests when the tests run as root
// (root passes every permission check).
inline uid_t NobodyUid()
{
    const passwd* const nobody = getpwnam("nobody");
    return nobody != nullptr ? nobody->pw_uid : 65534;
}

inline gid_t NobodyGid()
{
    const passwd* const nobody = getpwnam("nobody");
    return nobody != nullptr ? nobody->pw_gid : 65534;
}

// In a child: give up root for the nobody account, if root. True when the
// process is now unprivileged.
inline bool DropToNobody()
{
    if (geteuid() != 0) {
        return true;
    }
    return setgid(NobodyGid()) == 0 && setuid(NobodyUid()) == 0;
}

}  // namespace kestrane_test

#endif
#endif
