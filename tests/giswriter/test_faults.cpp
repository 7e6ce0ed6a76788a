// Faults every file format must survive: folders where no file can be created, a
// full disk, a disk filling up during the run, a second Close, Drop at any point,
// and a writer that is destroyed without being closed. One row per writer: a new
// file format joins the suite with its row.

#include "faults.h"
#include "output_files.h"
#include "readers.h"
#include "temp_dir.h"

#include <dlfcn.h>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <unistd.h>

using namespace pwnet;
using namespace gwtest;
using testutil::OpenFdCount;

namespace {

struct FormatCase {
    const char* name;
    TGISFormat format;
    std::vector<std::string> dataFiles; // the output: what Drop removes
    std::string firstCreated;           // the data file the writer creates first
    std::vector<std::string> sideFiles; // what stays
    bool createdByStartHeader;          // else by the last AddField
    // A full disk shows only when Close writes the files out; else it may show as soon
    // as a file is finished (the GML schema with its last field), at the latest at Close.
    bool fullDiskOnlyAtClose;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

const FormatCase Formats[] = {
    {.name = "shp",
     .format = gfSHP,
     .dataFiles = {".shp", ".shx", ".dbf"},
     .firstCreated = ".dbf",
     .sideFiles = {".prj", ".cpg"},
     .createdByStartHeader = true,
     .fullDiskOnlyAtClose = true},
    {.name = "dbf",
     .format = gfDBF,
     .dataFiles = {".dbf"},
     .firstCreated = ".dbf",
     .sideFiles = {},
     .createdByStartHeader = true,
     .fullDiskOnlyAtClose = true},
    {.name = "mif",
     .format = gfMIF,
     .dataFiles = {".mif", ".mid"},
     .firstCreated = ".mif",
     .sideFiles = {},
     .createdByStartHeader = false,
     .fullDiskOnlyAtClose = true},
    {.name = "mif8",
     .format = gfMIF8,
     .dataFiles = {".mif", ".mid"},
     .firstCreated = ".mif",
     .sideFiles = {},
     .createdByStartHeader = false,
     .fullDiskOnlyAtClose = true},
    {.name = "gml",
     .format = gfGML2,
     .dataFiles = {".xml", ".xsd"},
     .firstCreated = ".xml",
     .sideFiles = {},
     .createdByStartHeader = true,
     .fullDiskOnlyAtClose = false},
    {.name = "csv",
     .format = gfCSV,
     .dataFiles = {".csv"},
     .firstCreated = ".csv",
     .sideFiles = {},
     .createdByStartHeader = true,
     .fullDiskOnlyAtClose = false},
    {.name = "kml",
     .format = gfKML2,
     .dataFiles = {".kml"},
     .firstCreated = ".kml",
     .sideFiles = {},
     .createdByStartHeader = true,
     .fullDiskOnlyAtClose = false},
    {.name = "geojson",
     .format = gfGeoJSON,
     .dataFiles = {".geojson"},
     .firstCreated = ".geojson",
     .sideFiles = {},
     .createdByStartHeader = true,
     .fullDiskOnlyAtClose = false},
};

class WriterFaults : public ::testing::TestWithParam<FormatCase> {
protected:
    std::unique_ptr<TGISWrite> NewWriter(const std::string& folder) {
        return gwtest::NewWriter(GetParam().format, folder + "/grid");
    }
    static void Declare(TGISWrite& w) {
        w.StartHeader(1, otRegion);
        w.AddField("KN1kmDK", gfChar, 20, 0);
    }
    static void WriteCells(TGISWrite& w, int n) {
        for (int i = 0; i < n; ++i)
            AddCell(w, "\"1km_" + std::to_string(i) + "\"",
                    Square(440000 + i * 1000.0, 6200000, 1000));
    }
    static std::string File(const std::string& folder, const std::string& ext) {
        return folder + "/grid" + ext;
    }
    // The names of the side files, which stay whatever becomes of the output.
    static std::set<std::string> SideFiles() {
        std::set<std::string> names;
        for (const auto& ext : GetParam().sideFiles)
            names.insert("grid" + ext);
        return names;
    }
    bool AnyDataFile(const std::string& folder) {
        for (const auto& ext : GetParam().dataFiles)
            if (std::filesystem::exists(std::filesystem::symlink_status(File(folder, ext))))
                return true;
        return false;
    }
};

TEST_P(WriterFaults, FolderWhereNoFileCanBeCreated) {
    testutil::TempDir dir;
    const std::string folders[] = {testutil::UnwritableFolder(dir), dir / "missing/deeper"};
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        const int fds = OpenFdCount();
        auto w = NewWriter(folder);
        const std::string first = File(folder, GetParam().firstCreated);
        std::string message;
        try {
            w->StartHeader(1, otRegion);
            EXPECT_FALSE(GetParam().createdByStartHeader) << "StartHeader should have failed";
            w->AddField("KN1kmDK", gfChar, 20, 0);
        } catch (const EFCreateError& e) {
            message = e.what();
        }
        EXPECT_TRUE(message.starts_with("Cannot create file \"" + first + "\". ")) << message;
        EXPECT_EQ(OpenFdCount(), fds); // no handle stays open
        EXPECT_NO_THROW(w->Close());   // the output is already abandoned
        EXPECT_THROW(w->AddObject(1, false, "x"), Exception);
        EXPECT_FALSE(AnyDataFile(folder));
    }
}

// A disk that takes no byte of the output's data (a file-size limit of 0 once the
// side files are out): Close fails, and nothing of the output is left, not even a
// temporary.
TEST_P(WriterFaults, FullDiskIsReportedAndLeavesNoOutput) {
    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    const int fds = OpenFdCount();
    auto w = NewWriter(folder);
    w->StartHeader(1, otRegion);
    std::optional<testutil::FileSizeLimit> full(std::in_place, 0);
    std::vector<std::string> errors;
    int refusals = 0;
    auto attempt = [&](const std::function<void()>& step) {
        try {
            step();
        } catch (const EWriteError& e) {
            errors.push_back(e.what());
        } catch (const Exception&) {
            ++refusals; // a later step refused after the failure
        }
    };
    attempt([&] { w->AddField("KN1kmDK", gfChar, 20, 0); });
    attempt([&] { WriteCells(*w, 10); });
    const size_t before = errors.size();
    if (GetParam().fullDiskOnlyAtClose) {
        EXPECT_TRUE(errors.empty() && refusals == 0) << "a step before Close raised";
    }
    attempt([&] { w->Close(); });
    full.reset();
    EXPECT_EQ(errors.size(), before + 1) << "Close reported success on a full disk";
    for (const auto& e : errors)
        EXPECT_EQ(e, "Stream write error");
    EXPECT_EQ(OpenFdCount(), fds);
    EXPECT_FALSE(AnyDataFile(folder));
    EXPECT_EQ(testutil::FilesIn(folder), SideFiles());
    EXPECT_NO_THROW(w->Close()); // a second Close does nothing
}

// The disk fills up half-way: the file-size limit stands in for a small file system.
TEST_P(WriterFaults, DiskFillingUpDuringTheRunIsReportedAndNothingLooksComplete) {
    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    auto w = NewWriter(folder);
    std::string during, atClose;
    {
        testutil::FileSizeLimit limit(1536 * 1024);
        Declare(*w);
        try {
            WriteCells(*w, 200000);
        } catch (const EWriteError& e) {
            during = e.what();
        }
        try {
            w->Close();
        } catch (const EWriteError& e) {
            atClose = e.what();
        }
    }
    EXPECT_EQ(during, "Stream write error");
    EXPECT_EQ(atClose, "Stream write error");
    EXPECT_FALSE(AnyDataFile(folder));
}

TEST_P(WriterFaults, SecondCloseChangesNothing) {
    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    auto w = NewWriter(folder);
    Declare(*w);
    WriteCells(*w, 3);
    w->Close();
    std::vector<std::string> before;
    for (const auto& ext : GetParam().dataFiles)
        before.push_back(testutil::ReadFileBytes(File(folder, ext)));
    EXPECT_NO_THROW(w->Close());
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(testutil::ReadFileBytes(File(folder, GetParam().dataFiles[i])), before[i]);
    EXPECT_EQ(w->WrittenRecords(), 3);
}

// Destroying a writer that was never closed abandons its output: no crash, and no
// file is left that looks like a finished grid.
TEST_P(WriterFaults, DestroyingAnUnclosedWriterRemovesItsOutput) {
    enum Stage { NotStarted, Started, Declared, MidObject, Written };
    for (Stage stage : {NotStarted, Started, Declared, MidObject, Written}) {
        SCOPED_TRACE(stage);
        testutil::TempDir dir;
        const std::string folder = dir.path().string();
        const int fds = OpenFdCount();
        {
            auto w = NewWriter(folder);
            if (stage >= Started)
                w->StartHeader(1, otRegion);
            if (stage >= Declared)
                w->AddField("KN1kmDK", gfChar, 20, 0);
            if (stage >= MidObject)
                w->AddObject(2, false, "\"x\"");
            if (stage == Written) {
                auto ring = Section(Square(0, 0, 1));
                w->AddSection(0, ring);
                w->AddSection(0, ring);
                WriteCells(*w, 100);
            }
        }
        EXPECT_EQ(OpenFdCount(), fds);
        EXPECT_FALSE(AnyDataFile(folder));
        for (const auto& ext : GetParam().sideFiles)
            EXPECT_EQ(Exists(File(folder, ext)), stage >= Started);
    }
}

TEST_P(WriterFaults, DropRemovesTheOutputAtAnyPoint) {
    for (bool closedFirst : {false, true}) {
        testutil::TempDir dir;
        const std::string folder = dir.path().string();
        auto w = NewWriter(folder);
        Declare(*w);
        WriteCells(*w, 5);
        w->AddObject(1, false, "\"half\"");
        if (closedFirst)
            w->Close();
        EXPECT_NO_THROW(w->Drop());
        EXPECT_FALSE(AnyDataFile(folder));
        for (const auto& ext : GetParam().sideFiles)
            EXPECT_TRUE(Exists(File(folder, ext)));
        EXPECT_NO_THROW(w->Drop());
        EXPECT_NO_THROW(w->Close());
    }
}

TEST_P(WriterFaults, ClosingBeforeAllFieldsAreDeclaredIsRefused) {
    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    auto w = NewWriter(folder);
    w->StartHeader(2, otRegion);
    w->AddField("a", gfChar, 5, 0);
    EXPECT_THROW(w->Close(), Exception);
    EXPECT_FALSE(AnyDataFile(folder));
}

INSTANTIATE_TEST_SUITE_P(Formats, WriterFaults, ::testing::ValuesIn(Formats),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Faults of one format ------------------------------------------------------

// The GML schema cannot be created after the collection was: the collection goes too.
TEST(GmlFaults, SchemaThatCannotBeCreatedTakesTheCollectionAlong) {
    testutil::TempDir dir;
    std::filesystem::create_directory(dir / "grid.xsd"); // a folder in the file's place
    auto w = NewWriter(gfGML2, dir / "grid");
    EXPECT_THROW(w->StartHeader(1, otRegion), EFCreateError);
    EXPECT_FALSE(Exists(dir / "grid.xml"));
}

// The collection vanished before Close could patch its box: the patch cannot open it
// and says so.
TEST(GmlFaults, CollectionGoneBeforeTheBoxPatch) {
    testutil::TempDir dir;
    auto w = NewWriter(gfGML2, dir / "grid");
    w->StartHeader(1, otRegion);
    w->AddField("id", gfInteger, 5, 0);
    AddCell(*w, "1", Square(0, 0, 1));
    // Until Close the collection is its temporary.
    std::filesystem::remove(TemporaryPathFor(dir / "grid", dir / "grid.xml"));
    try {
        w->Close();
        ADD_FAILURE() << "Close reported success";
    } catch (const EFOpenError& e) {
        EXPECT_TRUE(std::string(e.what()).starts_with("Cannot open file")) << e.what();
    }
    EXPECT_FALSE(Exists(dir / "grid.xml"));
    EXPECT_FALSE(Exists(dir / "grid.xsd"));
}

// ---- Whole or nothing ------------------------------------------------------------
//
// Every format, TAB included: an earlier output of the same names stays whole until
// the new one is closed, whatever happens to the new one (a failure, Drop, a kill at
// any moment, a concurrent writer, a file that may not be replaced), and links under
// the output's names are replaced, never written through.

// Kills the process when the rename with this number (1 for the first) is about to be
// made; 0 leaves every rename alone. The writers' renames come here: this program's
// own rename stands in front of the C library's.
int RenameToKillAt = 0;

} // namespace

extern "C" int rename(const char* From, const char* To) {
    static const auto real =
        reinterpret_cast<int (*)(const char*, const char*)>(dlsym(RTLD_NEXT, "rename"));
    if (RenameToKillAt > 0 && --RenameToKillAt == 0)
        raise(SIGKILL);
    return real(From, To);
}

namespace {

struct SafeCase {
    const char* name;
    TGISFormat format;
    std::vector<std::string> files; // the output, its main file first
    std::vector<std::string> sideFiles;
};

void PrintTo(const SafeCase& c, std::ostream* os) {
    *os << c.name;
}

const SafeCase SafeFormats[] = {
    {"shp", gfSHP, {".shp", ".shx", ".dbf"}, {".prj", ".cpg"}},
    {"dbf", gfDBF, {".dbf"}, {}},
    {"mif", gfMIF, {".mif", ".mid"}, {}},
    {"mif8", gfMIF8, {".mif", ".mid"}, {}},
    {"tab", gfMITAB, {".tab", ".map", ".dat", ".id"}, {}},
    {"gml", gfGML2, {".xml", ".xsd"}, {}},
    {"csv", gfCSV, {".csv"}, {}},
    {"kml", gfKML2, {".kml"}, {}},
    {"geojson", gfGeoJSON, {".geojson"}, {}},
    {"gpkg", gfGPKG, {".gpkg"}, {}},
};

constexpr const char* DknClause = "CoordSys Earth Projection 8, 33, \"m\", 9, 0, 0.9996, 500000, "
                                  "0 Bounds (100000, 6000000) (1000000,6500000)";

// The bytes of every file of an output, by extension.
using Snapshot = std::map<std::string, std::string>;

// Two writes of the same cells: equal bytes but for the times a file stamps itself
// with (a GeoPackage dates its contents and its style to the millisecond).
bool SameOutput(const std::string& A, const std::string& B) {
    static const std::regex stamp(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
    return A.size() == B.size() &&
           std::regex_replace(A, stamp, "T") == std::regex_replace(B, stamp, "T");
}

class WholeOrNothing : public ::testing::TestWithParam<SafeCase> {
protected:
    void SetUp() override {
        if (GetParam().format == gfMITAB && !TGISWrite::MITAB_supported())
            GTEST_SKIP() << "no MITAB library";
    }
    static std::unique_ptr<TGISWrite> Writer(const std::string& Folder) {
        auto w = gwtest::NewWriter(GetParam().format, Folder + "/grid");
        w->CoordSys = DknClause;
        return w;
    }
    static void Cells(TGISWrite& w, const std::string& Name, int From, int To) {
        for (int i = From; i < To; ++i)
            AddCell(w, "\"" + Name + std::to_string(i) + "\"",
                    Square(440000 + i * 1000.0, 6200000, 1000));
    }
    // A whole output of n cells named Name0, Name1, ...
    static void WriteOutput(const std::string& Folder, const std::string& Name, int n) {
        auto w = Writer(Folder);
        w->StartHeader(1, otRegion);
        w->AddField("KN1kmDK", gfChar, 20, 0);
        Cells(*w, Name, 0, n);
        w->Close();
    }
    static Snapshot Read(const std::string& Folder) {
        Snapshot s;
        for (const auto& ext : GetParam().files)
            if (Exists(Folder + "/grid" + ext))
                s[ext] = testutil::ReadFileBytes(Folder + "/grid" + ext);
        return s;
    }
    // The names of the output and its side files, nothing else.
    static std::set<std::string> OutputNames() {
        std::set<std::string> names;
        for (const auto& ext : GetParam().files)
            names.insert("grid" + ext);
        for (const auto& ext : GetParam().sideFiles)
            names.insert("grid" + ext);
        return names;
    }
    static int64_t Features(const std::string& Folder) {
        const std::string main = Folder + "/grid" + GetParam().files[0];
        if (GetParam().format == gfCSV) { // GDAL takes a CSV of one column for no table
            const std::string text = testutil::ReadFileBytes(main);
            return std::count(text.begin(), text.end(), '\n') - 1;
        }
        return gwtest::ReadWithOgr(main).featureCount;
    }
};

// An earlier output stays byte for byte as it was until Close succeeds, and after
// every ending but a successful Close; the folder then holds the output and nothing
// else (no temporary).
TEST_P(WholeOrNothing, EarlierOutputStaysWholeUntilClose) {
    enum Ending { Closed, Dropped, Destroyed, DiskFull };
    for (const Ending ending : {Closed, Dropped, Destroyed, DiskFull}) {
        SCOPED_TRACE(ending);
        testutil::TempDir dir;
        const std::string folder = dir.path().string();
        WriteOutput(folder, "old", 3);
        const Snapshot old = Read(folder);
        {
            auto w = Writer(folder);
            w->StartHeader(1, otRegion);
            bool failed = false;
            try {
                std::optional<testutil::FileSizeLimit> full;
                if (ending == DiskFull)
                    full.emplace(0);
                w->AddField("KN1kmDK", gfChar, 20, 0);
                Cells(*w, "new", 0, 5);
                EXPECT_EQ(Read(folder), old) << "changed before Close";
                if (ending == Closed || ending == DiskFull)
                    w->Close();
                if (ending == Dropped)
                    w->Drop();
            } catch (const EWriteError&) {
                failed = true;
            }
            EXPECT_EQ(failed, ending == DiskFull);
        }
        EXPECT_EQ(testutil::FilesIn(folder), OutputNames());
        if (ending == Closed) {
            EXPECT_EQ(Features(folder), 5);
        } else {
            EXPECT_EQ(Read(folder), old);
        }
    }
}

// A link under every name of the output and of its side files, pointing outside the
// folder to a file or to nothing: Close replaces the links with the files; what they
// point to is never written or created.
TEST_P(WholeOrNothing, LinksUnderEveryNameAreReplacedNotFollowed) {
    for (const bool dangling : {false, true}) {
        SCOPED_TRACE(dangling ? "dangling" : "to a file");
        testutil::TempDir dir, elsewhere;
        const std::string folder = dir.path().string();
        for (const std::string& name : OutputNames()) {
            if (!dangling)
                std::ofstream(elsewhere / name) << "not yours";
            std::filesystem::create_symlink(elsewhere / name, dir / name);
        }
        WriteOutput(folder, "new", 5);
        for (const std::string& name : OutputNames()) {
            EXPECT_FALSE(std::filesystem::is_symlink(dir / name)) << name;
            EXPECT_TRUE(std::filesystem::is_regular_file(dir / name)) << name;
        }
        EXPECT_EQ(Features(folder), 5);
        const auto left = testutil::FilesIn(elsewhere.path());
        EXPECT_EQ(left.size(), dangling ? 0u : OutputNames().size());
        for (const std::string& name : left)
            EXPECT_EQ(testutil::ReadFileBytes(elsewhere / name), "not yours") << name;
    }
}

// One file of the earlier output may not be written by the user of the run (a
// colleague's file in a shared folder): the new output is refused (TAB: no table is
// made) before anything of the earlier one changes.
TEST_P(WholeOrNothing, FileThatMayNotBeReplacedLeavesTheEarlierOutputWhole) {
    for (const std::string& locked : GetParam().files) {
        SCOPED_TRACE(locked);
        testutil::TempDir dir;
        const std::string folder = dir.path().string();
        WriteOutput(folder, "old", 3);
        const Snapshot old = Read(folder);
        const bool asNobody = geteuid() == 0;
        if (asNobody) { // the folder and the other files become nobody's; one stays root's
            for (const auto& e : std::filesystem::directory_iterator(folder))
                if (e.path().filename() != "grid" + locked) {
                    ASSERT_EQ(chown(e.path().c_str(), testutil::NobodyId, testutil::NobodyId), 0);
                }
            ASSERT_EQ(chown(folder.c_str(), testutil::NobodyId, testutil::NobodyId), 0);
        } else {
            std::filesystem::permissions(folder + "/grid" + locked, std::filesystem::perms(0444));
        }
        enum { Refused = 1, Inert = 2, Written = 3, NotNobody = 4 };
        const int result = testutil::RunInChild([&] {
            if (asNobody && !testutil::BecomeNobody())
                return int{NotNobody};
            auto w = Writer(folder);
            try {
                w->StartHeader(1, otRegion);
                w->AddField("KN1kmDK", gfChar, 20, 0);
                Cells(*w, "new", 0, 5);
                w->Close();
            } catch (const EFCreateError&) {
                return int{Refused};
            }
            const auto* tab = dynamic_cast<const TGISWriteMITAB*>(w.get());
            return tab && !tab->TableCreated() ? int{Inert} : int{Written};
        });
        EXPECT_EQ(result, GetParam().format == gfMITAB ? Inert : Refused);
        EXPECT_EQ(Read(folder), old);
        EXPECT_EQ(testutil::FilesIn(folder), OutputNames());
    }
}

// The process is killed while it writes a new output over an earlier one: before its
// Close, between the renames of Close, or after it. Every file is then the earlier
// one or the new one, besides it stand only named temporaries (and the record of the
// renames), and the earlier main file stays until every companion is in place. The
// next writer of the output completes the renames that were begun, or throws the
// temporaries away: the earlier output or the new one, whole.
TEST_P(WholeOrNothing, KilledAtAnyPointLeavesTheEarlierOrTheNewOutput) {
    testutil::TempDir reference;
    WriteOutput(reference.path().string(), "new", 5);
    const Snapshot fresh = Read(reference.path().string());
    const size_t files = GetParam().files.size();
    struct Point {
        const char* name;
        int cells;        // written before the kill (5: all)
        int renameToKill; // 0: no kill during Close
        bool killedAfter; // killed once Close returned
    };
    const Point points[] = {
        {"AfterStartHeader", 0, 0, false},
        {"MidRun", 3, 0, false},
        {"BeforeTheFirstRename", 5, 1, false},
        {"AfterTheFirstRename", 5, 2, false},
        {"AfterClose", 5, 0, true},
    };
    for (const Point& p : points) {
        SCOPED_TRACE(p.name);
        testutil::TempDir dir;
        const std::string folder = dir.path().string();
        WriteOutput(folder, "old", 3);
        const Snapshot old = Read(folder);
        const int result = testutil::RunInChild([&] {
            auto w = Writer(folder);
            w->StartHeader(1, otRegion);
            w->AddField("KN1kmDK", gfChar, 20, 0);
            Cells(*w, "new", 0, p.cells);
            if (p.cells < 5)
                raise(SIGKILL);
            RenameToKillAt = p.renameToKill;
            w->Close();
            if (p.killedAfter)
                raise(SIGKILL);
            return 0;
        });
        // A one-file output has no second rename: that child ends normally.
        const bool completes = p.renameToKill > static_cast<int>(files);
        EXPECT_EQ(result, completes ? 0 : testutil::Killed);

        const Snapshot now = Read(folder);
        ASSERT_EQ(now.size(), files);
        for (const auto& [ext, bytes] : now)
            EXPECT_TRUE(bytes == old.at(ext) || SameOutput(bytes, fresh.at(ext)))
                << ext << " is neither";
        const bool renamed = p.killedAfter || completes;
        const std::string& main = GetParam().files[0];
        EXPECT_TRUE(renamed ? SameOutput(now.at(main), fresh.at(main))
                            : now.at(main) == old.at(main));
        for (const std::string& name : testutil::FilesIn(folder))
            if (OutputNames().count(name) == 0) {
                EXPECT_NE(name.find(".quadrel-"), std::string::npos) << name;
            }

        RecoverOutput(folder + "/grid");
        // The renames were under way once the record was written: a kill at the first
        // rename of an output of several files is completed as well.
        const bool whole = renamed || (p.renameToKill > 0 && files > 1);
        const Snapshot recovered = Read(folder);
        ASSERT_EQ(recovered.size(), files);
        for (const auto& [ext, bytes] : recovered)
            EXPECT_TRUE(whole ? SameOutput(bytes, fresh.at(ext)) : bytes == old.at(ext)) << ext;
        EXPECT_EQ(testutil::FilesIn(folder), OutputNames());
    }
}

// A second writer of the same names while the first is still writing (two programs
// without the run's lock): the second is refused when it would create its first file
// (TAB: no table), the first completes, and the folder holds its output alone.
TEST_P(WholeOrNothing, ConcurrentWriterOfTheSameNamesIsRefused) {
    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    auto first = Writer(folder);
    first->StartHeader(1, otRegion);
    first->AddField("KN1kmDK", gfChar, 20, 0);
    Cells(*first, "first", 0, 2);
    auto second = Writer(folder);
    if (GetParam().format == gfMITAB) {
        second->StartHeader(1, otRegion);
        EXPECT_FALSE(dynamic_cast<const TGISWriteMITAB&>(*second).TableCreated());
    } else {
        try {
            second->StartHeader(1, otRegion);
            second->AddField("KN1kmDK", gfChar, 20, 0);
            ADD_FAILURE() << "the second writer created its files";
        } catch (const EFCreateError& e) {
            EXPECT_NE(std::string(e.what()).find("another run may be writing the same files"),
                      std::string::npos)
                << e.what();
        }
    }
    second.reset();
    Cells(*first, "first", 2, 5);
    first->Close();
    EXPECT_EQ(Features(folder), 5);
    EXPECT_EQ(testutil::FilesIn(folder), OutputNames());
}

INSTANTIATE_TEST_SUITE_P(Formats, WholeOrNothing, ::testing::ValuesIn(SafeFormats),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
