#pragma once
// Provoking and detecting faults: a file-size limit that makes writes fail as on a
// full disk, and the number of open file descriptors, to show that no handle leaks.

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

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

// Number of open file descriptors of this process.
inline int OpenFdCount() {
    int n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

} // namespace testutil
