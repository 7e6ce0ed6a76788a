// What the GeoPackage writer does when things go wrong: folders where no file can
// be created, a disk that fills up, Drop and destruction at any point, names SQLite
// or the format cannot take, coordinates that are not numbers. A GeoPackage under
// its final name is always complete: until Close it is written under another name.

#include "faults.h"
#include "gpkg_checks.h"
#include "readers.h"
#include "temp_dir.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/mount.h>

using namespace pwnet;
using namespace gwtest;
using testutil::FilesIn;
using testutil::OpenFdCount;

namespace {

std::unique_ptr<TGISWrite> Declared(const std::string& FileName) {
    auto w = NewWriter(gfGPKG, FileName);
    w->epsg = 25832;
    w->StartHeader(1, otRegion);
    w->AddField("KN1kmDK", gfChar, 20, 0);
    return w;
}

void WriteCells(TGISWrite& w, int n) {
    for (int i = 0; i < n; ++i)
        AddCell(w, "\"1km_" + std::to_string(i) + "\"",
                Square(440000 + (i / 100) * 1000.0, 6200000 + (i % 100) * 1000.0, 1000));
}

// A complete GeoPackage of n cells at FileName + ".gpkg".
void WriteGeoPackage(const std::string& FileName, int n) {
    auto w = Declared(FileName);
    WriteCells(*w, n);
    w->Close();
}

// An empty tmpfs of Bytes mounted on a fresh folder (root only); unmounted at the end.
class TinyFileSystem {
public:
    explicit TinyFileSystem(const testutil::TempDir& Dir, const char* Size) : FPath(Dir / "tiny") {
        std::filesystem::create_directory(FPath);
        const std::string options = std::string("size=") + Size;
        FMounted = ::mount("tmpfs", FPath.c_str(), "tmpfs", 0, options.c_str()) == 0;
        FError = errno;
    }
    ~TinyFileSystem() {
        if (FMounted)
            ::umount2(FPath.c_str(), MNT_DETACH);
    }
    TinyFileSystem(const TinyFileSystem&) = delete;
    TinyFileSystem& operator=(const TinyFileSystem&) = delete;
    bool Mounted() const { return FMounted; }
    std::string Error() const { return std::strerror(FError); }
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
    bool FMounted = false;
    int FError = 0;
};

// ---- Creating the file ---------------------------------------------------------------

TEST(GpkgFaults, FolderWhereNoFileCanBeCreated) {
    testutil::TempDir dir;
    std::filesystem::create_directory(dir / "grid.gpkg"); // a folder in the file's place
    const std::string folders[] = {testutil::UnwritableFolder(dir), dir / "missing/deeper",
                                   dir.path().string()};
    for (const std::string& folder : folders) {
        SCOPED_TRACE(folder);
        const auto before =
            std::filesystem::exists(folder) ? FilesIn(folder) : std::set<std::string>{};
        const int fds = OpenFdCount();
        auto w = NewWriter(gfGPKG, folder + "/grid");
        std::string message;
        try {
            w->StartHeader(1, otRegion);
        } catch (const EFCreateError& e) {
            message = e.what();
        }
        EXPECT_TRUE(message.starts_with("Cannot create file \"" + folder + "/grid.gpkg\". "))
            << message;
        EXPECT_GT(message.size(), folder.size() + 30) << "no reason given";
        EXPECT_EQ(OpenFdCount(), fds);
        EXPECT_NO_THROW(w->Close());
        EXPECT_THROW(w->AddObject(1, false, "x"), Exception);
        if (std::filesystem::exists(folder)) {
            EXPECT_EQ(FilesIn(folder), before);
        }
    }
}

// ---- A disk that fills up ----------------------------------------------------------------

struct FullDiskCase {
    const char* name;
    bool tmpfs; // a real small file system; else a file-size limit stands in for it
};

void PrintTo(const FullDiskCase& c, std::ostream* os) {
    *os << c.name;
}

class GpkgFullDisk : public ::testing::TestWithParam<FullDiskCase> {};

// The write fails with SQLite's message naming the file, Close does not pretend
// success, and nothing of the new output is left; a complete GeoPackage of the same
// name from before stays as it was.
TEST_P(GpkgFullDisk, FailedWriteLeavesNothingNew) {
    testutil::TempDir dir;
    std::unique_ptr<TinyFileSystem> tiny;
    std::string folder = dir.path().string();
    if (GetParam().tmpfs) {
        tiny = std::make_unique<TinyFileSystem>(dir, "512k");
        if (!tiny->Mounted())
            GTEST_SKIP() << "cannot mount a tmpfs here: " << tiny->Error();
        folder = tiny->Path();
    }
    WriteGeoPackage(folder + "/grid", 3);
    const std::string before = testutil::ReadFileBytes(folder + "/grid.gpkg");
    const int fds = OpenFdCount();

    std::vector<std::string> errors;
    {
        std::unique_ptr<testutil::FileSizeLimit> limit;
        if (!GetParam().tmpfs)
            limit = std::make_unique<testutil::FileSizeLimit>(512 * 1024);
        auto w = Declared(folder + "/grid");
        try {
            WriteCells(*w, 30000);
        } catch (const EWriteError& e) {
            errors.push_back(e.what());
        }
        try {
            w->Close();
        } catch (const EWriteError& e) {
            errors.push_back(e.what());
        }
    }
    ASSERT_FALSE(errors.empty()) << "the write reported success";
    const std::string prefix = "Cannot write file \"" + folder + "/grid.gpkg\". ";
    EXPECT_TRUE(errors[0].starts_with(prefix)) << errors[0];
    EXPECT_GT(errors[0].size(), prefix.size()) << "no message from SQLite";
    EXPECT_EQ(OpenFdCount(), fds);
    EXPECT_EQ(FilesIn(folder), std::set<std::string>{"grid.gpkg"});
    EXPECT_EQ(testutil::ReadFileBytes(folder + "/grid.gpkg"), before);
}

INSTANTIATE_TEST_SUITE_P(Disks, GpkgFullDisk,
                         ::testing::Values(FullDiskCase{"file_size_limit", false},
                                           FullDiskCase{"tiny_tmpfs", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- Names and lifetimes -----------------------------------------------------------------

// While the grid is being written, nothing bears its name; Close gives it the name
// and leaves nothing else behind.
TEST(GpkgFaults, NothingLooksCompleteBeforeClose) {
    testutil::TempDir dir;
    auto w = Declared(dir / "grid");
    WriteCells(*w, 1000);
    const auto during = FilesIn(dir.path());
    ASSERT_EQ(during.size(), 1u);
    EXPECT_EQ(*during.begin(), ".grid.quadrel-partial.gpkg"); // the output's temporary
    w->Close();
    EXPECT_EQ(FilesIn(dir.path()), std::set<std::string>{"grid.gpkg"});
    EXPECT_EQ(ReadWithOgr(dir / "grid.gpkg", "GPKG").featureCount, 1000);
}

// A file of the grid's name is replaced, never appended to or written through: an
// earlier GeoPackage, a file that is no GeoPackage, and a symbolic link, whose target
// stays untouched.
TEST(GpkgFaults, FileOfTheSameNameIsReplaced) {
    testutil::TempDir dir;
    const std::string path = dir / "grid.gpkg";
    enum { Earlier, NotAGeoPackage, Link } kinds[] = {Earlier, NotAGeoPackage, Link};
    for (const auto kind : kinds) {
        SCOPED_TRACE(kind);
        std::filesystem::remove(path);
        if (kind == Earlier)
            WriteGeoPackage(dir / "grid", 5);
        if (kind == NotAGeoPackage) {
            std::ofstream(path) << "some text";
        }
        if (kind == Link) {
            std::ofstream(dir / "target") << "keep me";
            std::filesystem::create_symlink(dir / "target", path);
        }
        WriteGeoPackage(dir / "grid", 2);
        EXPECT_FALSE(std::filesystem::is_symlink(path));
        EXPECT_EQ(testutil::GpkgValidatorComplaints(path), "");
        EXPECT_EQ(testutil::SqlValue(path, "SELECT count(*) FROM grid"), "2");
        EXPECT_EQ(testutil::SqlValue(path, "SELECT count(*) FROM gpkg_contents"), "2");
        if (kind == Link) {
            EXPECT_EQ(testutil::ReadFileBytes(dir / "target"), "keep me");
        }
    }
}

// Drop at any point, and destroying a writer that was never closed, leave nothing;
// a closed writer keeps its file when destroyed, and Drop removes it.
TEST(GpkgFaults, DropAndDestructionRemoveTheOutput) {
    {
        // PROJ keeps its database open once it was read: that is no handle of ours.
        testutil::TempDir warmUp;
        WriteGeoPackage(warmUp / "grid", 1);
    }
    enum Stage { NotStarted, Started, Declared_, MidObject, Written, Closed };
    for (Stage stage : {NotStarted, Started, Declared_, MidObject, Written, Closed})
        for (bool drop : {false, true}) {
            SCOPED_TRACE(testing::Message() << "stage " << stage << (drop ? ", Drop" : ""));
            testutil::TempDir dir;
            const int fds = OpenFdCount();
            {
                auto w = NewWriter(gfGPKG, dir / "grid");
                if (stage >= Started)
                    w->StartHeader(1, otRegion);
                if (stage >= Declared_)
                    w->AddField("KN1kmDK", gfChar, 20, 0);
                if (stage >= MidObject) {
                    WriteCells(*w, 100);
                    w->AddObject(2, false, "\"half\"");
                }
                if (stage >= Written) {
                    auto ring = Section(Square(0, 0, 1));
                    w->AddSection(0, ring);
                    w->AddSection(0, ring);
                }
                if (stage == Closed)
                    w->Close();
                if (drop) {
                    EXPECT_NO_THROW(w->Drop());
                    EXPECT_NO_THROW(w->Drop());
                }
            }
            EXPECT_EQ(OpenFdCount(), fds);
            const bool kept = stage == Closed && !drop;
            EXPECT_EQ(FilesIn(dir.path()),
                      kept ? std::set<std::string>{"grid.gpkg"} : std::set<std::string>{});
        }
}

// ---- Input the format cannot take -----------------------------------------------------

// Field names SQLite would not tell apart from the layer's own columns or from each
// other, and layer names the format reserves, are refused with a message before
// anything is written; a refused field is not declared and another may take its place.
TEST(GpkgFaults, NamesTheFormatCannotTakeAreRefused) {
    testutil::TempDir dir;
    for (const char* bad : {"", "fid", "FID", "geom", "Geom", "KN1kmDK", "kn1KMdk"}) {
        SCOPED_TRACE(bad);
        auto w = NewWriter(gfGPKG, dir / "grid");
        w->StartHeader(2, otRegion);
        w->AddField("KN1kmDK", gfChar, 20, 0);
        EXPECT_THROW(w->AddField(bad, gfChar, 20, 0), Exception);
        w->AddField("Stednavn", gfChar, 40, 0);
        AddCell(*w, "\"a\",\"b\"", Square(0, 0, 1));
        w->Close();
        const OgrLayer layer = ReadWithOgr(dir / "grid.gpkg", "GPKG");
        ASSERT_EQ(layer.fields.size(), 2u);
        EXPECT_EQ(layer.fields[1].name, "Stednavn");
        EXPECT_EQ(layer.features.at(0).values, (std::vector<std::string>{"a", "b"}));
    }
    std::filesystem::remove(dir / "grid.gpkg");
    for (const std::string name : {"gpkg_grid", "SQLITE_grid", "Layer_Styles", ""}) {
        SCOPED_TRACE(name);
        auto w = NewWriter(gfGPKG, dir / name);
        EXPECT_THROW(w->StartHeader(1, otRegion), Exception);
        EXPECT_TRUE(FilesIn(dir.path()).empty());
    }
}

// Coordinates that are not finite numbers have no place in an envelope or an index:
// the object is refused with a message and kept without geometry, the file stays valid.
TEST(GpkgFaults, CoordinatesThatAreNotNumbersAreRefused) {
    testutil::TempDir dir;
    for (TObjectTypes kind : {otRegion, otPline, otPoint}) {
        SCOPED_TRACE(kind);
        auto w = NewWriter(gfGPKG, dir / "grid");
        w->StartHeader(1, kind);
        w->AddField("n", gfInteger, 5, 0);
        Part bad = Square(0, 0, 1);
        bad[2] = {NAN, 1};
        if (kind == otPoint) {
            EXPECT_THROW(w->AddPoint(INFINITY, 0, "1"), Exception);
            w->AddPoint(1, 1, "2");
        } else {
            w->AddObject(1, false, "1");
            auto s = Section(bad);
            EXPECT_THROW(w->AddSection(0, s), Exception);
            AddCell(*w, "2", Square(1, 1, 1));
        }
        w->Close();
        const std::string path = dir / "grid.gpkg";
        EXPECT_EQ(testutil::GpkgValidatorComplaints(path), "");
        EXPECT_EQ(testutil::RtreeCheck(path, "rtree_grid_geom"), "ok");
        const OgrLayer layer = ReadWithOgr(path, "GPKG");
        if (kind == otPoint) {
            ASSERT_EQ(layer.features.size(), 1u); // the refused point was never an object
        } else {
            ASSERT_EQ(layer.features.size(), 2u);
            EXPECT_EQ(layer.features[0].geometryType, "");
        }
        EXPECT_EQ(layer.features.back().values, std::vector<std::string>{"2"});
        EXPECT_EQ(layer.extent.MinX, 1);
        std::filesystem::remove(path);
    }
}

} // namespace
