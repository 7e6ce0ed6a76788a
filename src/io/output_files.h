#pragma once
// Whole-or-nothing output. The files of one output (a grid's ".shp", ".shx", ".dbf",
// ...) are written under temporary names beside their final names and take those
// names only once the output is complete. Until then the earlier files of those names
// stay as they were; after a kill at any moment the folder holds either the old files
// or the new ones, plus temporaries whose names say what they are.
//
// An output is named by its Base: folder and base name without extension (a writer's
// FileName). For Base "/data/DKN_1km" the names beside the files are
//   /data/.DKN_1km.quadrel-partial.shp   the temporary of /data/DKN_1km.shp
//   /data/.DKN_1km.quadrel-commit        the renames of a commit while it runs
//   /data/.DKN_1km.quadrel-lock          the lock of the run writing it (output_lock.h)
// The extension stays last, so a library that derives companion files from a name
// (".tab" -> ".dat", ".map", ".id") derives temporaries of the same output.
//
// Temporaries are created exclusively (O_EXCL, O_NOFOLLOW): never through an existing
// name, never through a link. Commit renames them over the final names, which replaces
// a link standing there, never what it points to; an earlier file's permission bits
// carry over to its replacement. A final name that cannot be replaced (a folder, a
// file this user may not write, another user's file in a sticky folder) is refused
// when its temporary is made, before anything is written.
//
// The rename window: Commit renames the files in the reverse order of their making,
// so the main file (a format makes it first: ".shp", ".mif", ".tab", ".xml") takes
// its name last, and a reader in a fresh folder never finds a main file without its
// companions. Where earlier files are replaced, a reader opening them in the
// microseconds between two renames may see new companions beside the old main file.
// For more than one file a commit record lists the renames before the first one and
// is removed after the last; a process killed between them leaves the record, and the
// next run of that output (holding its lock) completes the renames (RecoverOutput).
// Nothing is synced to the disk: the order holds against a killed process, not
// against a power cut.

#include <string>
#include <string_view>
#include <vector>

namespace pwnet {

// Marks the temporaries of an output: ".<name>.quadrel-partial<extension>".
inline constexpr std::string_view PartialMarker = ".quadrel-partial";

// The temporary path of FinalPath in the output Base (FinalPath is Base plus an
// extension); any other FinalPath gets ".<its name>.quadrel-partial" beside it.
std::string TemporaryPathFor(const std::string& Base, const std::string& FinalPath);
// The commit record of the output Base.
std::string CommitRecordPathFor(const std::string& Base);

// The files of one output while it is written.
class TOutputFiles {
public:
    explicit TOutputFiles(std::string Base);
    // Removes the temporaries of an output that was not committed.
    ~TOutputFiles();
    TOutputFiles(const TOutputFiles&) = delete;
    TOutputFiles& operator=(const TOutputFiles&) = delete;

    const std::string& Base() const { return FBase; }

    // A temporary opened for reading and writing (the caller closes Handle), or
    // Handle -1 with the system's Error and a Reason to show after the file's name.
    struct TCreated {
        int Handle = -1;
        int Error = 0;
        std::string Reason;
        // The folder took no new file (no permission, no such folder, a full disk),
        // rather than the name being taken by something that must not be written.
        bool FolderRefused = false;
    };
    // Creates the temporary of FinalPath. MustNotExist also refuses a FinalPath that
    // exists already. Creating a file of this output a second time truncates its
    // temporary.
    TCreated Create(const std::string& FinalPath, bool MustNotExist = false);
    // For a library that opens its files itself: creates the temporary of FinalPath
    // empty (as Create) and returns its path, for the library to open and overwrite.
    // Raises EFCreateError ("Cannot create file "<FinalPath>". <reason>") when the
    // final name cannot be replaced or the temporary's name is taken. Where the folder
    // itself refuses new files the path is returned all the same: the library's own
    // attempt then fails as it would have, and whatever it did make is cleaned up.
    std::string Reserve(const std::string& FinalPath);
    // The temporary of a file of this output not yet renamed, or nullptr.
    const std::string* TemporaryOf(const std::string& FinalPath) const;
    // The output has no such file after all: its temporary goes; the final name is
    // left as it is.
    void Discard(const std::string& FinalPath);
    // The output has no such file: its temporary goes, and Commit removes an earlier
    // file of that name.
    void Withdraw(const std::string& FinalPath);

    // Gives every file its final name (see the top of this file). A rename that fails
    // stops the commit: the files not yet renamed are removed, and EWriteError names
    // the file and the system's reason. A second call does nothing.
    void Commit();
    bool Committed() const { return FCommitted; }
    // Removes the temporaries (before Commit) or the files that took their final
    // names (after it). Never throws.
    void RemoveFiles() noexcept;

    // The output whose files TPWFileStream creates and opens on this thread, or
    // nullptr: set for the lifetime of a TOutputScope.
    static TOutputFiles* Current() { return FCurrent; }

private:
    enum TState { esPending, esRemoved, esInPlace };
    struct TEntry {
        std::string Final;
        std::string Temporary;
        TState State = esPending;
    };
    TEntry* Find(const std::string& FinalPath);
    const TEntry* Find(const std::string& FinalPath) const;
    bool WriteCommitRecord(const std::vector<const TEntry*>& Steps) const;

    std::string FBase;
    std::vector<TEntry> FEntries; // in the order they were made
    bool FCommitted = false;

    // Set and restored by TOutputScope around every call of a writer, hence inline.
    static inline thread_local TOutputFiles* FCurrent = nullptr;
    friend class TOutputScope;
};

// Makes Files (which may be null: no output) the current output of this thread for
// its lifetime and restores the previous one afterwards.
class TOutputScope {
public:
    explicit TOutputScope(TOutputFiles* Files) : FPrevious(TOutputFiles::FCurrent) {
        TOutputFiles::FCurrent = Files;
    }
    ~TOutputScope() { TOutputFiles::FCurrent = FPrevious; }
    TOutputScope(const TOutputScope&) = delete;
    TOutputScope& operator=(const TOutputScope&) = delete;

private:
    TOutputFiles* FPrevious;
};

// Before an output is written again, by the one process that holds its lock: completes
// the renames of a commit that a killed process left behind, then removes the
// temporaries of the output that are still there. Never throws.
void RecoverOutput(const std::string& Base) noexcept;

} // namespace pwnet
