#include "output_files.h"

#include "errors.h"
#include "pwnet_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace pwnet {

namespace {

constexpr std::string_view CommitMarker = ".quadrel-commit";
// A commit record: this line, then for each step its kind ('R' rename, 'D' remove),
// the final name and the temporary's name, each ended by a NUL, then the last line.
// A record without its last line was cut short by a kill before the first rename.
constexpr std::string_view RecordHead = "quadrel commit 1\n";
constexpr std::string_view RecordTail = "end\n";
constexpr size_t MaxRecordSize = 1 << 20;

// Folder (with its '/', or empty for the working folder) and name of a path.
struct TSplitPath {
    std::string Folder;
    std::string Name;
};

TSplitPath Split(const std::string& Path) {
    const size_t slash = Path.rfind('/');
    if (slash == std::string::npos)
        return {"", Path};
    return {Path.substr(0, slash + 1), Path.substr(slash + 1)};
}

std::string FolderToOpen(const std::string& Folder) {
    return Folder.empty() ? "." : Folder;
}

// Why FinalPath cannot be replaced by a rename, as an errno value; 0 when it can (or
// when nothing is there).
int ReplaceRefusal(const std::string& FinalPath) {
    struct stat st {};
    if (::lstat(FinalPath.c_str(), &st) != 0)
        return 0; // nothing there, or a folder problem that creating the temporary reports
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    // A file this user may not write is not overwritten: the earlier version of the
    // program failed to open it and left it alone. Root passes, unless it is immutable.
    if (!S_ISLNK(st.st_mode) && ::faccessat(AT_FDCWD, FinalPath.c_str(), W_OK, AT_EACCESS) != 0)
        return errno;
    // In a sticky folder (/tmp and shared folders) only the owner replaces a name.
    const uid_t me = ::geteuid();
    struct stat folder {};
    if (me != 0 && st.st_uid != me &&
        ::stat(FolderToOpen(Split(FinalPath).Folder).c_str(), &folder) == 0 &&
        (folder.st_mode & S_ISVTX) && folder.st_uid != me)
        return EPERM;
    return 0;
}

int OpenNoFollow(const std::string& Path, int Flags) {
    int fd;
    do {
        fd = ::open(Path.c_str(), Flags | O_NOFOLLOW | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// An earlier regular file's permission bits pass to the file that replaces it.
void CarryOverMode(const std::string& Temporary, const std::string& FinalPath) {
    struct stat st {};
    if (::lstat(FinalPath.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        ::chmod(Temporary.c_str(), st.st_mode & 07777);
}

bool WriteAll(int fd, std::string_view Bytes) {
    for (size_t done = 0; done < Bytes.size();) {
        const ssize_t n = ::write(fd, Bytes.data() + done, Bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A plain name inside the folder: no separator, not "." or "..".
bool PlainName(std::string_view Name) {
    return !Name.empty() && Name != "." && Name != ".." && Name.find('/') == std::string::npos;
}

std::string ReadSmallFile(const std::string& Path) {
    const int fd = OpenNoFollow(Path, O_RDONLY);
    if (fd < 0)
        return {};
    std::string bytes;
    char chunk[4096];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || bytes.size() + static_cast<size_t>(n) > MaxRecordSize) {
            bytes.clear();
            break;
        }
        bytes.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    return bytes;
}

// Completes the steps of a whole commit record of Base; a record cut short is ignored.
void RollForward(const std::string& Base, const std::string& Record) {
    if (!Record.starts_with(RecordHead) || !Record.ends_with(RecordTail))
        return;
    const std::string folder = Split(Base).Folder;
    std::string_view rest(Record);
    rest.remove_prefix(RecordHead.size());
    rest.remove_suffix(RecordTail.size());
    auto next = [&rest](std::string_view& field) {
        const size_t end = rest.find('\0');
        if (end == std::string_view::npos)
            return false;
        field = rest.substr(0, end);
        rest.remove_prefix(end + 1);
        return true;
    };
    struct TStep {
        bool Rename;
        std::string Final, Temporary;
    };
    std::vector<TStep> steps;
    std::string_view kind, final, temporary;
    while (next(kind) && next(final) && next(temporary)) {
        const std::string finalPath = folder + std::string(final);
        // Only this output's own temporary of that very name is moved: a record
        // naming anything else is not this program's, and nothing of it is done.
        if ((kind != "R" && kind != "D") || !PlainName(final) || !PlainName(temporary) ||
            Split(TemporaryPathFor(Base, finalPath)).Name != temporary)
            return;
        steps.push_back({kind == "R", finalPath, folder + std::string(temporary)});
    }
    if (!rest.empty())
        return;
    for (const TStep& s : steps) {
        struct stat st {};
        if (!s.Rename)
            ::unlink(s.Final.c_str());
        else if (::lstat(s.Temporary.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            ::rename(s.Temporary.c_str(), s.Final.c_str());
    }
}

// Removes the regular files and links of Folder whose names begin with Prefix.
void RemoveStartingWith(const std::string& Folder, const std::string& Prefix) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(FolderToOpen(Folder).c_str()), ::closedir);
    if (!dir)
        return;
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir.get()))
        if (std::string_view(e->d_name).starts_with(Prefix))
            names.emplace_back(e->d_name);
    for (const std::string& name : names) {
        const std::string path = Folder + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
            ::unlink(path.c_str());
    }
}

} // namespace

std::string TemporaryPathFor(const std::string& Base, const std::string& FinalPath) {
    const TSplitPath base = Split(Base);
    if (FinalPath.starts_with(Base)) {
        const std::string_view extension = std::string_view(FinalPath).substr(Base.size());
        if (extension.find('/') == std::string_view::npos)
            return base.Folder + "." + base.Name + std::string(PartialMarker) +
                   std::string(extension);
    }
    const TSplitPath final = Split(FinalPath);
    return final.Folder + "." + final.Name + std::string(PartialMarker);
}

std::string CommitRecordPathFor(const std::string& Base) {
    const TSplitPath base = Split(Base);
    return base.Folder + "." + base.Name + std::string(CommitMarker);
}

// ---- TOutputFiles ----------------------------------------------------------------

TOutputFiles::TOutputFiles(std::string Base) : FBase(std::move(Base)) {}

TOutputFiles::~TOutputFiles() {
    if (!FCommitted)
        RemoveFiles();
}

TOutputFiles::TEntry* TOutputFiles::Find(const std::string& FinalPath) {
    for (TEntry& e : FEntries)
        if (e.Final == FinalPath)
            return &e;
    return nullptr;
}

const TOutputFiles::TEntry* TOutputFiles::Find(const std::string& FinalPath) const {
    return const_cast<TOutputFiles*>(this)->Find(FinalPath);
}

TOutputFiles::TCreated TOutputFiles::Create(const std::string& FinalPath, bool MustNotExist) {
    auto failed = [](int Error, std::string Reason, bool FolderRefused) {
        return TCreated{-1, Error, std::move(Reason), FolderRefused};
    };
    if (FCommitted)
        return failed(EINVAL, std::strerror(EINVAL), false);
    if (TEntry* e = Find(FinalPath); e && e->State == esPending) {
        // Truncated only when it holds something: ext4 writes out at close every file
        // that was truncated to nothing (a guard for programs that rewrite a file in
        // place), which made a 165 MB shapefile wait 60 ms for the disk at its close.
        const int fd = OpenNoFollow(e->Temporary, O_RDWR | O_CREAT);
        if (fd < 0)
            return failed(errno, std::strerror(errno), true);
        struct stat st {};
        if (::fstat(fd, &st) != 0 || (st.st_size > 0 && ::ftruncate(fd, 0) != 0)) {
            const int error = errno;
            ::close(fd);
            return failed(error, std::strerror(error), true);
        }
        return {fd, 0, {}, false};
    }
    if (const int refusal = ReplaceRefusal(FinalPath))
        return failed(refusal, std::strerror(refusal), false);
    struct stat st {};
    if (MustNotExist && ::lstat(FinalPath.c_str(), &st) == 0)
        return failed(EEXIST, std::strerror(EEXIST), false);
    const std::string temporary = TemporaryPathFor(FBase, FinalPath);
    const int fd = OpenNoFollow(temporary, O_RDWR | O_CREAT | O_EXCL);
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST)
            return failed(error,
                          std::string(std::strerror(error)) + ": \"" + FullPath(temporary) +
                              "\" (another run may be writing the same files)",
                          false);
        return failed(error, std::strerror(error), error != ELOOP && error != EISDIR);
    }
    if (TEntry* e = Find(FinalPath))
        *e = TEntry{FinalPath, temporary, esPending};
    else
        FEntries.push_back(TEntry{FinalPath, temporary, esPending});
    return {fd, 0, {}, false};
}

std::string TOutputFiles::Reserve(const std::string& FinalPath) {
    if (const TEntry* e = Find(FinalPath); e && e->State == esPending)
        return e->Temporary;
    const TCreated created = Create(FinalPath);
    if (created.Handle >= 0) {
        ::close(created.Handle);
        return Find(FinalPath)->Temporary;
    }
    if (!created.FolderRefused)
        throw EFCreateError("Cannot create file \"" + FullPath(FinalPath) + "\". " +
                            created.Reason);
    const std::string temporary = TemporaryPathFor(FBase, FinalPath);
    FEntries.push_back(TEntry{FinalPath, temporary, esPending});
    return temporary;
}

const std::string* TOutputFiles::TemporaryOf(const std::string& FinalPath) const {
    const TEntry* e = Find(FinalPath);
    return e && e->State == esPending ? &e->Temporary : nullptr;
}

void TOutputFiles::Discard(const std::string& FinalPath) {
    const auto it = std::find_if(FEntries.begin(), FEntries.end(),
                                 [&](const TEntry& e) { return e.Final == FinalPath; });
    if (it == FEntries.end() || it->State != esPending)
        return;
    ::unlink(it->Temporary.c_str());
    FEntries.erase(it);
}

void TOutputFiles::Withdraw(const std::string& FinalPath) {
    TEntry* e = Find(FinalPath);
    if (!e) {
        FEntries.push_back(TEntry{FinalPath, TemporaryPathFor(FBase, FinalPath), esRemoved});
        return;
    }
    if (e->State == esPending)
        ::unlink(e->Temporary.c_str());
    e->State = esRemoved;
}

bool TOutputFiles::WriteCommitRecord(const std::vector<const TEntry*>& Steps) const {
    const std::string folder = Split(FBase).Folder;
    std::string record(RecordHead);
    for (const TEntry* e : Steps) {
        const TSplitPath final = Split(e->Final), temporary = Split(e->Temporary);
        if (final.Folder != folder || temporary.Folder != folder)
            return false; // a file outside the output's folder: no record can name it
        record += e->State == esRemoved ? 'D' : 'R';
        record += '\0';
        record.append(final.Name).append(1, '\0');
        record.append(temporary.Name).append(1, '\0');
    }
    record += RecordTail;
    const std::string path = CommitRecordPathFor(FBase);
    int fd = OpenNoFollow(path, O_WRONLY | O_CREAT | O_EXCL);
    if (fd < 0 && errno == EEXIST) {
        ::unlink(path.c_str()); // one left by a writer that was not under the lock
        fd = OpenNoFollow(path, O_WRONLY | O_CREAT | O_EXCL);
    }
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, record);
    if (::close(fd) != 0 || !written) {
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

void TOutputFiles::Commit() {
    if (FCommitted)
        return;
    std::vector<const TEntry*> steps;
    for (auto it = FEntries.rbegin(); it != FEntries.rend(); ++it)
        steps.push_back(&*it);
    // Without a record (a disk too full even for it) the renames are made all the same:
    // the files are complete, only a kill in the window would go unrepaired.
    const bool recorded = steps.size() > 1 && WriteCommitRecord(steps);
    int error = 0;
    std::string failed;
    for (auto it = FEntries.rbegin(); it != FEntries.rend() && error == 0; ++it) {
        TEntry& e = *it;
        if (e.State == esRemoved) {
            if (::unlink(e.Final.c_str()) != 0 && errno != ENOENT && errno != ENOTDIR) {
                error = errno;
                failed = e.Final;
            }
            continue;
        }
        CarryOverMode(e.Temporary, e.Final);
        if (::rename(e.Temporary.c_str(), e.Final.c_str()) == 0) {
            e.State = esInPlace;
        } else {
            error = errno;
            failed = e.Final;
        }
    }
    if (recorded)
        ::unlink(CommitRecordPathFor(FBase).c_str());
    FCommitted = true;
    if (error == 0)
        return;
    for (const TEntry& e : FEntries)
        if (e.State == esPending)
            ::unlink(e.Temporary.c_str());
    throw EWriteError("Stream write error", FullPath(failed), std::strerror(error));
}

void TOutputFiles::RemoveFiles() noexcept {
    for (const TEntry& e : FEntries) {
        if (!FCommitted && e.State == esPending)
            ::unlink(e.Temporary.c_str());
        else if (FCommitted && e.State == esInPlace)
            ::unlink(e.Final.c_str());
    }
    FEntries.clear();
}

// ---- Recovery --------------------------------------------------------------------

void RecoverOutput(const std::string& Base) noexcept {
    try {
        const std::string record = CommitRecordPathFor(Base);
        RollForward(Base, ReadSmallFile(record));
        ::unlink(record.c_str());
        const TSplitPath base = Split(Base);
        RemoveStartingWith(base.Folder, "." + base.Name + std::string(PartialMarker));
    } catch (...) {
        // Memory exhausted: what is left stays for the next run.
    }
}

} // namespace pwnet
