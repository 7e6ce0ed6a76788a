#include "output_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pwnet {

std::string LockPathFor(const std::string& Base) {
    const size_t slash = Base.rfind('/');
    const size_t name = slash == std::string::npos ? 0 : slash + 1;
    return Base.substr(0, name) + "." + Base.substr(name) + ".quadrel-lock";
}

TOutputLock::TOutputLock(const std::string& Base) : FPath(LockPathFor(Base)) {
    // A lock file removed by its holder between our open and our flock is a file no
    // one else will ever lock: the lock counts only when the name still leads to the
    // file locked. Another try then takes the new file.
    for (int attempt = 0; attempt < 8; ++attempt) {
        int fd;
        do {
            // Read-only is enough for flock and works on a lock file of another user.
            fd = ::open(FPath.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0)
            return;
        int locked;
        do {
            locked = ::flock(fd, LOCK_EX | LOCK_NB);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            FStatus = errno == EWOULDBLOCK ? lsBusy : lsUnavailable;
            ::close(fd);
            return;
        }
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::lstat(FPath.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            FHandle = fd;
            FStatus = lsHeld;
            return;
        }
        ::close(fd);
    }
}

TOutputLock::~TOutputLock() {
    if (FHandle < 0)
        return;
    // Removed while still held, so no other process can lock the file being removed
    // and take it for the lock.
    ::unlink(FPath.c_str());
    ::close(FHandle);
}

} // namespace pwnet
