#pragma once
// One writer of an output at a time. A run takes the lock of its output (folder and
// base name, as output_files.h names it) before it writes any file of it; a second run
// of the same output in the same folder finds the lock held and is refused at once,
// instead of mixing two grids in the same files. Outputs of other names in the folder
// have locks of their own.
//
// The lock is flock(2) on ".<name>.quadrel-lock" beside the files: the kernel releases
// it when the process ends, however it ends, so a killed run leaves no lock behind
// (only, at most, the empty lock file, which the next run takes over). A run that ends
// normally removes the lock file.

#include <string>

namespace pwnet {

std::string LockPathFor(const std::string& Base);

class TOutputLock {
public:
    enum TStatus {
        lsHeld,       // this process holds the lock
        lsBusy,       // another process holds it
        lsUnavailable // the folder or its file system gives no lock (no permission, no
                      // support): the run goes on without one and meets the folder's
                      // refusal, if any, when it writes
    };

    // Tries once and never waits.
    explicit TOutputLock(const std::string& Base);
    ~TOutputLock();
    TOutputLock(const TOutputLock&) = delete;
    TOutputLock& operator=(const TOutputLock&) = delete;

    TStatus Status() const { return FStatus; }
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
    int FHandle = -1;
    TStatus FStatus = lsUnavailable;
};

} // namespace pwnet
