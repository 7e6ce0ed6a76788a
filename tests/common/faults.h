#pragma once
// Provoking and detecting faults: a file-size limit that makes writes fail as on a
// full disk, a child process to kill at a chosen point or to run as another user, and
// the number of open file descriptors, to show that no handle leaks.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testutil {

// Files beyond RLIMIT_FSIZE cannot grow: write() fails with EFBIG, a real I/O error,
// standing in for a small file system that fills up. SIGXFSZ is ignored meanwhile (it
// would end the process). Restores the limit and the signal's action afterwards.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t Bytes) {
        getrlimit(RLIMIT_FSIZE, &FOld);
        FOldAction = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = FOld;
        limited.rlim_cur = Bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldAction);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit FOld{};
    void (*FOldAction)(int) = nullptr;
};

// Body run in a child process of its own. Wait returns Body's result as the child's
// exit status or, when a signal ended the child, 128 + the signal's number. A run
// killed at a chosen point is a child that raises SIGKILL there: the kernel ends it
// exactly as a kill from outside would. Nothing of the child's assertions reaches
// the test; it reports through its result only. A child not waited for is killed.
class ChildProcess {
public:
    explicit ChildProcess(const std::function<int()>& Body) {
        std::fflush(nullptr);
        FPid = fork();
        if (FPid == 0) {
            int result = 99;
            try {
                result = Body();
            } catch (...) {
                result = 98;
            }
            _exit(result);
        }
    }
    ~ChildProcess() {
        if (FPid > 0) {
            kill(FPid, SIGKILL);
            Wait();
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int Wait() {
        int status = 0;
        while (waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
        }
        FPid = -1;
        return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    }

private:
    pid_t FPid = -1;
};

inline int RunInChild(const std::function<int()>& Body) {
    return ChildProcess(Body).Wait();
}
inline constexpr int Killed = 128 + SIGKILL;

// For a child of a root test: becomes user nobody, so that file permissions apply to
// it. False when that is not possible (the test does not run as root).
inline constexpr uid_t NobodyId = 65534;
inline bool BecomeNobody() {
    return geteuid() == 0 && setgroups(0, nullptr) == 0 && setgid(NobodyId) == 0 &&
           setuid(NobodyId) == 0;
}

// Number of open file descriptors of this process.
inline int OpenFdCount() {
    int n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

} // namespace testutil
