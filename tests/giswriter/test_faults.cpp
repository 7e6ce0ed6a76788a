// Faults every file format must survive: folders where no file can be created, a
// full disk, a disk filling up during the run, a second Close, Drop at any point,
// and a writer that is destroyed without being closed. One row per writer: a new
// file format joins the suite with its row.

#include "faults.h"
#include "readers.h"
#include "temp_dir.h"

#include <functional>
#include <optional>
#include <set>

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

} // namespace
