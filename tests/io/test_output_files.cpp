// Whole-or-nothing output at the level of its files: temporaries, their commit, the
// recovery after a kill, and the lock of one output.

#include "errors.h"
#include "faults.h"
#include "output_files.h"
#include "output_lock.h"
#include "pwnet_io.h"
#include "temp_dir.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace pwnet;
using testutil::FilesIn;
using testutil::ReadFileBytes;
using testutil::TempDir;
namespace fs = std::filesystem;

namespace {

void WriteText(const std::string& Path, const std::string& Text) {
    std::ofstream(Path, std::ios::binary) << Text;
}

// Creates FinalPath in Files through the stream layer, as a writer does, with Text.
void CreateThroughStream(TOutputFiles& Files, const std::string& FinalPath,
                         const std::string& Text) {
    TOutputScope scope(&Files);
    TPWFileStream s(FinalPath, fmCreate);
    s.WriteBuffer(Text.data(), static_cast<int32_t>(Text.size()));
}

std::string Temporary(const TempDir& Dir, const std::string& Name) {
    return TemporaryPathFor(Dir / "grid", Dir / Name);
}

} // namespace

TEST(OutputNames, SayWhatTheyAreAndKeepTheExtensionLast) {
    struct Case {
        std::string base, final, temporary;
    };
    const Case cases[] = {
        {"/data/DKN_1km", "/data/DKN_1km.shp", "/data/.DKN_1km.quadrel-partial.shp"},
        {"/data/DKN_1km", "/data/DKN_1km.gpkg-journal",
         "/data/.DKN_1km.quadrel-partial.gpkg-journal"},
        {"grid", "grid.tab", ".grid.quadrel-partial.tab"},
        {"/data/a.b", "/data/a.b.dbf", "/data/.a.b.quadrel-partial.dbf"},
        // A file not named after the output keeps its own name in its temporary's.
        {"/data/grid", "/data/other.txt", "/data/.other.txt.quadrel-partial"},
        {"/data/grid", "/data/grid/inner.txt", "/data/grid/.inner.txt.quadrel-partial"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TemporaryPathFor(c.base, c.final), c.temporary) << c.final;
    EXPECT_EQ(CommitRecordPathFor("/data/DKN_1km"), "/data/.DKN_1km.quadrel-commit");
    EXPECT_EQ(LockPathFor("/data/DKN_1km"), "/data/.DKN_1km.quadrel-lock");
    EXPECT_EQ(LockPathFor("grid"), ".grid.quadrel-lock");
}

// Until Commit the earlier files stay as they were and the new ones are temporaries;
// Commit puts the new ones in their place, carries the earlier permission bits over
// and leaves nothing else behind.
TEST(OutputFiles, EarlierFilesStayUntilTheCommit) {
    TempDir dir;
    WriteText(dir / "grid.shp", "old shp");
    WriteText(dir / "grid.dbf", "old dbf");
    fs::permissions(dir / "grid.dbf", fs::perms(0640));
    TOutputFiles files(dir / "grid");
    CreateThroughStream(files, dir / "grid.shp", "new shp");
    CreateThroughStream(files, dir / "grid.dbf", "new dbf");
    CreateThroughStream(files, dir / "grid.shx", "new shx");
    EXPECT_EQ(ReadFileBytes(dir / "grid.shp"), "old shp");
    EXPECT_EQ(ReadFileBytes(dir / "grid.dbf"), "old dbf");
    EXPECT_FALSE(fs::exists(dir / "grid.shx"));
    EXPECT_EQ(ReadFileBytes(Temporary(dir, "grid.shp")), "new shp");
    // Opening a file of the output opens its temporary.
    {
        TOutputScope scope(&files);
        TPWFileStream reopened(dir / "grid.dbf", fmOpenRead);
        EXPECT_EQ(reopened.ReadString(7), "new dbf");
    }
    files.Commit();
    EXPECT_EQ(ReadFileBytes(dir / "grid.shp"), "new shp");
    EXPECT_EQ(ReadFileBytes(dir / "grid.dbf"), "new dbf");
    EXPECT_EQ(ReadFileBytes(dir / "grid.shx"), "new shx");
    EXPECT_EQ(fs::status(dir / "grid.dbf").permissions(), fs::perms(0640));
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"grid.dbf", "grid.shp", "grid.shx"}));
}

// A writer that creates one of its files a second time (the shapefile does, once to
// claim the name and once to write it) starts from an empty file, whether the first
// time left it empty or not.
TEST(OutputFiles, CreatingAFileAgainStartsItEmpty) {
    TempDir dir;
    TOutputFiles files(dir / "grid");
    for (const std::string first : {"", "a longer first text"}) {
        SCOPED_TRACE(first);
        CreateThroughStream(files, dir / "grid.shp", first);
        CreateThroughStream(files, dir / "grid.shp", "second");
        EXPECT_EQ(ReadFileBytes(Temporary(dir, "grid.shp")), "second");
    }
    files.Commit();
    EXPECT_EQ(ReadFileBytes(dir / "grid.shp"), "second");
}

// Removing the files before the commit removes the temporaries only; after it, the
// files of the output.
TEST(OutputFiles, RemoveFilesBeforeAndAfterTheCommit) {
    for (const bool committed : {false, true}) {
        SCOPED_TRACE(committed);
        TempDir dir;
        WriteText(dir / "grid.mif", "old");
        {
            TOutputFiles files(dir / "grid");
            CreateThroughStream(files, dir / "grid.mif", "new");
            CreateThroughStream(files, dir / "grid.mid", "new");
            if (committed)
                files.Commit();
            files.RemoveFiles();
        }
        EXPECT_EQ(FilesIn(dir.path()),
                  committed ? std::set<std::string>{} : std::set<std::string>{"grid.mif"});
        if (!committed) {
            EXPECT_EQ(ReadFileBytes(dir / "grid.mif"), "old");
        }
    }
}

// A link under a final name is replaced by the new file; what it points to (inside
// the folder or outside, existing or not) is never written.
TEST(OutputFiles, LinksAreReplacedNeverFollowed) {
    TempDir dir, elsewhere;
    WriteText(elsewhere / "secret", "secret");
    fs::create_symlink(elsewhere / "secret", dir / "grid.shp");
    fs::create_symlink(elsewhere / "planted", dir / "grid.dbf"); // dangling
    TOutputFiles files(dir / "grid");
    CreateThroughStream(files, dir / "grid.shp", "shp");
    CreateThroughStream(files, dir / "grid.dbf", "dbf");
    files.Commit();
    EXPECT_FALSE(fs::is_symlink(dir / "grid.shp"));
    EXPECT_EQ(ReadFileBytes(dir / "grid.shp"), "shp");
    EXPECT_EQ(ReadFileBytes(dir / "grid.dbf"), "dbf");
    EXPECT_EQ(ReadFileBytes(elsewhere / "secret"), "secret");
    EXPECT_FALSE(fs::exists(elsewhere / "planted"));
}

// Names that cannot take a file are refused before anything is written: a folder in
// a file's place, a temporary's name that is taken (by a link, or by another run's
// file); the message names the final file and says why.
TEST(OutputFiles, NamesThatCannotTakeTheFileAreRefused) {
    struct Case {
        const char* name;
        std::function<void(const TempDir&)> arrange;
        const char* reason;
    };
    const Case cases[] = {
        {"FolderInThePlace", [](const TempDir& d) { fs::create_directory(d / "grid.shp"); },
         "Is a directory"},
        {"LinkUnderTheTemporary",
         [](const TempDir& d) { fs::create_symlink(d / "target", Temporary(d, "grid.shp")); },
         "File exists"},
        {"TemporaryOfAnotherRun",
         [](const TempDir& d) { WriteText(Temporary(d, "grid.shp"), "theirs"); },
         "another run may be writing the same files"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        c.arrange(dir);
        const std::set<std::string> before = FilesIn(dir.path());
        TOutputFiles files(dir / "grid");
        for (const bool library : {false, true}) {
            try {
                if (library) {
                    files.Reserve(dir / "grid.shp");
                } else {
                    TOutputScope scope(&files);
                    TPWFileStream s(dir / "grid.shp", fmCreate);
                }
                ADD_FAILURE() << "created";
            } catch (const EFCreateError& e) {
                const std::string message = e.what();
                EXPECT_TRUE(
                    message.starts_with("Cannot create file \"" + (dir / "grid.shp") + "\". "))
                    << message;
                EXPECT_NE(message.find(c.reason), std::string::npos) << message;
            }
        }
        files.Commit();
        EXPECT_EQ(FilesIn(dir.path()), before);
        EXPECT_FALSE(fs::exists(dir / "target"));
    }
}

// Where the folder refuses new files, a library is handed the path all the same (its
// own attempt fails there); a file it manages to make is the output's like any other.
TEST(OutputFiles, ReserveHandsALibraryItsPath) {
    TempDir dir;
    TOutputFiles files(dir / "grid");
    const std::string tab = files.Reserve(dir / "grid.tab");
    EXPECT_EQ(tab, Temporary(dir, "grid.tab"));
    EXPECT_EQ(fs::file_size(tab), 0u); // made empty, exclusively
    EXPECT_EQ(files.Reserve(dir / "grid.tab"), tab);
    WriteText(tab, "table");
    WriteText(dir / "grid.map", "old map");
    WriteText(dir / "grid.id", "old id");
    files.Reserve(dir / "grid.map");
    files.Reserve(dir / "grid.id");
    files.Withdraw(dir / "grid.map"); // the table has no geometry after all
    files.Discard(dir / "grid.id");   // nor that file, and an earlier one stays
    files.Commit();
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"grid.id", "grid.tab"}));
    EXPECT_EQ(ReadFileBytes(dir / "grid.id"), "old id");

    TOutputFiles missing(dir / "no-such-folder/grid");
    EXPECT_EQ(missing.Reserve(dir / "no-such-folder/grid.tab"),
              dir / "no-such-folder/.grid.quadrel-partial.tab");
}

// A write that fails keeps the stream's message and says which file and why.
TEST(OutputFiles, WriteErrorsNameTheFileAndTheReason) {
    TempDir dir;
    TOutputFiles files(dir / "grid");
    try {
        testutil::FileSizeLimit full(0);
        CreateThroughStream(files, dir / "grid.shp", "shp");
        ADD_FAILURE() << "written";
    } catch (const EWriteError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
        EXPECT_EQ(e.FileName(), dir / "grid.shp");
        EXPECT_EQ(e.Reason(), std::strerror(EFBIG));
        EXPECT_EQ(e.Description(),
                  "Cannot write file \"" + (dir / "grid.shp") + "\": " + std::strerror(EFBIG));
    }
    EXPECT_EQ(EWriteError("Stream write error").Description(), "Stream write error");
}

// ---- After a kill --------------------------------------------------------------------

// A commit record complete to its last line is finished by the next run: every
// temporary still there takes its name, every removal is made. One cut short (the
// kill came before the first rename) is ignored; either way the temporaries of the
// output go, and nothing of another output is touched.
TEST(OutputRecovery, FinishesAWholeCommitRecordAndRemovesTemporaries) {
    const std::string head = "quadrel commit 1\n";
    auto step = [](char kind, const std::string& final, const std::string& temporary) {
        return std::string(1, kind) + '\0' + final + '\0' + temporary + '\0';
    };
    const std::string steps = step('R', "grid.shx", ".grid.quadrel-partial.shx") +
                              step('R', "grid.shp", ".grid.quadrel-partial.shp") +
                              step('D', "grid.map", ".grid.quadrel-partial.map");
    struct Case {
        const char* name;
        std::string record;
        std::set<std::string> left;
        const char* shp; // the content of grid.shp afterwards
    };
    const Case cases[] = {
        {"Whole", head + steps + "end\n", {"grid.shp", "grid.shx", "other.shp"}, "new"},
        {"CutShort", head + steps, {"grid.map", "grid.shp", "other.shp"}, "old"},
        // A record that would move a file that is not this output's temporary.
        {"ForeignName",
         head + step('R', "grid.shp", "other.shp") + "end\n",
         {"grid.map", "grid.shp", "other.shp"},
         "old"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir, elsewhere;
        WriteText(dir / "grid.shp", "old");
        WriteText(dir / "grid.map", "old");
        WriteText(dir / "other.shp", "other");
        WriteText(dir / ".other.quadrel-partial.shp", "another output's");
        WriteText(Temporary(dir, "grid.shp"), "new");
        // The shx was renamed before the kill; a stale link and a folder of the prefix.
        WriteText(dir / "grid.shx", "new");
        fs::create_symlink(elsewhere / "x", Temporary(dir, "grid.dbf"));
        fs::create_directory(Temporary(dir, "grid.dir"));
        WriteText(CommitRecordPathFor(dir / "grid"), c.record);
        RecoverOutput(dir / "grid");
        std::set<std::string> left = c.left;
        left.insert({".other.quadrel-partial.shp", ".grid.quadrel-partial.dir"});
        if (c.left.count("grid.shx") == 0)
            left.insert("grid.shx");
        EXPECT_EQ(FilesIn(dir.path()), left);
        EXPECT_EQ(ReadFileBytes(dir / "grid.shp"), c.shp);
        EXPECT_EQ(ReadFileBytes(dir / "other.shp"), "other");
    }
}

// ---- The lock of an output -------------------------------------------------------

TEST(OutputLock, OneHolderPerOutput) {
    TempDir dir;
    {
        const TOutputLock first(dir / "grid");
        EXPECT_EQ(first.Status(), TOutputLock::lsHeld);
        EXPECT_TRUE(fs::exists(LockPathFor(dir / "grid")));
        const TOutputLock second(dir / "grid");
        EXPECT_EQ(second.Status(), TOutputLock::lsBusy);
        const TOutputLock other(dir / "other");
        EXPECT_EQ(other.Status(), TOutputLock::lsHeld);
        // Another process is refused too (flock is per open file, not per process).
        EXPECT_EQ(testutil::RunInChild([&] {
                      return TOutputLock(dir / "grid").Status() == TOutputLock::lsBusy ? 0 : 1;
                  }),
                  0);
    }
    EXPECT_TRUE(FilesIn(dir.path()).empty()) << "a lock released removes its file";
    const TOutputLock again(dir / "grid");
    EXPECT_EQ(again.Status(), TOutputLock::lsHeld);
}

// A holder that is killed leaves its lock file but no lock: the next run takes it.
TEST(OutputLock, KilledHolderLeavesNoLock) {
    TempDir dir;
    EXPECT_EQ(testutil::RunInChild([&] {
                  const TOutputLock held(dir / "grid");
                  if (held.Status() == TOutputLock::lsHeld)
                      raise(SIGKILL);
                  return 1;
              }),
              testutil::Killed);
    EXPECT_TRUE(fs::exists(LockPathFor(dir / "grid")));
    const TOutputLock next(dir / "grid");
    EXPECT_EQ(next.Status(), TOutputLock::lsHeld);
}

// A lock file that is a link is not followed; the folder gives no lock then.
TEST(OutputLock, LinkInThePlaceOfTheLockFileIsNotFollowed) {
    TempDir dir, elsewhere;
    fs::create_symlink(elsewhere / "planted", LockPathFor(dir / "grid"));
    const TOutputLock lock(dir / "grid");
    EXPECT_EQ(lock.Status(), TOutputLock::lsUnavailable);
    EXPECT_FALSE(fs::exists(elsewhere / "planted"));
}
