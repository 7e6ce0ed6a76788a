// The generation run's output under kills, concurrent runs and interrupted renames,
// for every format; and its size estimates against what the writers really write.

#include "errors.h"
#include "faults.h"
#include "generation_run.h"
#include "output_files.h"
#include "output_lock.h"
#include "run_preview.h"
#include "run_test_helpers.h"
#include "temp_dir.h"

#include <algorithm>
#include <dlfcn.h>
#include <filesystem>
#include <gdal.h>
#include <map>
#include <ogr_api.h>
#include <set>
#include <unistd.h>

using namespace quadrel;
using testutil::FakeFileSystem;
using testutil::FakeUserInterface;
using testutil::FilesIn;
using testutil::ReadFileBytes;
using testutil::TempDir;
namespace fs = std::filesystem;

namespace {

// Kills the process when the rename with this number (1 for the first) is about to be
// made; 0 leaves every rename alone. The runs' renames come here: this program's own
// rename stands in front of the C library's.
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

// Every file of a folder with its bytes.
std::map<std::string, std::string> Contents(const fs::path& Folder) {
    std::map<std::string, std::string> files;
    for (const std::string& name : FilesIn(Folder))
        files[name] = ReadFileBytes(Folder / name);
    return files;
}

// The cells of the grid's main file, as GDAL counts them (a CSV of one column GDAL
// does not take for a table: its lines but the header).
int64_t CellsIn(const std::string& MainFile) {
    if (MainFile.ends_with(".csv")) {
        const std::string text = ReadFileBytes(MainFile);
        return std::count(text.begin(), text.end(), '\n') - 1;
    }
    GDALAllRegister();
    GDALDatasetH ds = GDALOpenEx(MainFile.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
    if (!ds)
        return -1;
    const int64_t n = OGR_L_GetFeatureCount(GDALDatasetGetLayer(ds, 0), TRUE);
    GDALClose(ds);
    return n;
}

bool IsTemporaryName(const std::string& Name) {
    return Name.find(".quadrel-") != std::string::npos;
}

// The earlier grid: SmallDkn, 3 x 2 cells. The new one has the same file names and
// 20 x 10 cells.
TGridState NewDkn(int32_t Format) {
    return testutil::MakeGrid(gkDKN, "1km", Format, {440000, 6200000}, {460000, 6210000});
}

struct FormatCase {
    const char* Name;
    int32_t Format;
    const char* Extension; // of the main file
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.Name;
}

const FormatCase Formats[] = {
    {"shp", ftSHP, ".shp"},    {"shp83", ftSHP83, ".shp"},
    {"mif", ftMIF, ".mif"},    {"tab", ftTAB, ".tab"},
    {"gml", ftGML, ".xml"},    {"csv", ftCSV, ".csv"},
    {"kml", ftKML, ".kml"},    {"geojson", ftGeoJSON, ".geojson"},
    {"gpkg", ftGPKG, ".gpkg"},
};

class EveryFormat : public ::testing::TestWithParam<FormatCase> {
protected:
    void SetUp() override {
        if (ResolveRunFormat(GetParam().Format).FellBack())
            GTEST_SKIP() << "no writer for " << GetParam().Name << " in this build";
    }
    std::string MainFile(const TGridState& S) const {
        return (dir.path() / (S.FilePrefix + GetParam().Extension)).string();
    }
    TempDir dir;
};

// A run killed half-way leaves the earlier grid byte for byte, beside it only named
// temporaries and the lock file; the next run of the grid removes them and writes
// the new grid, and the folder holds that alone.
TEST_P(EveryFormat, KilledRunLeavesTheEarlierGridAndTheNextRunTidiesUp) {
    testutil::RunInto(dir, testutil::SmallDkn(GetParam().Format));
    const auto earlier = Contents(dir.path());
    const int result = testutil::RunInChild([&] {
        FakeUserInterface ui;
        ui.FolderToChoose = dir.path().string();
        int columns = 0;
        ui.OnProcessMessages = [&] {
            if (columns++ == 5) // the first call follows the dialogs
                raise(SIGKILL);
        };
        TGenerationRun().Execute(NewDkn(GetParam().Format), ui);
        return 0;
    });
    ASSERT_EQ(result, testutil::Killed);
    auto left = Contents(dir.path());
    std::erase_if(left, [](const auto& file) { return IsTemporaryName(file.first); });
    EXPECT_EQ(left, earlier);
    EXPECT_GT(FilesIn(dir.path()).size(), earlier.size()) << "no temporary: nothing written?";

    testutil::RunInto(dir, NewDkn(GetParam().Format));
    for (const std::string& name : FilesIn(dir.path()))
        EXPECT_FALSE(IsTemporaryName(name)) << name;
    EXPECT_EQ(FilesIn(dir.path()).size(), earlier.size());
    EXPECT_EQ(CellsIn(MainFile(NewDkn(GetParam().Format))), 200);
}

INSTANTIATE_TEST_SUITE_P(Formats, EveryFormat, ::testing::ValuesIn(Formats),
                         [](const auto& info) { return std::string(info.param.Name); });

// A run killed between the renames of its grid's files leaves the record of the
// renames; the next run of that grid completes them before anything else, even when
// it is then refused (here: no free space), so the folder holds the whole new grid.
TEST(RunRecovery, NextRunCompletesTheRenamesOfAKilledRun) {
    TempDir dir;
    testutil::RunInto(dir, testutil::SmallDkn(ftSHP));
    const auto earlier = Contents(dir.path());
    const TGridState grid = NewDkn(ftSHP);
    const int result = testutil::RunInChild([&] {
        FakeUserInterface ui;
        ui.FolderToChoose = dir.path().string();
        int columns = 0;
        ui.OnProcessMessages = [&] {
            if (++columns == grid.GridExtent.CellsX + 1) // after the last column: Close
                RenameToKillAt = 2;                      // comes next
        };
        TGenerationRun().Execute(grid, ui);
        return 0;
    });
    ASSERT_EQ(result, testutil::Killed);
    const std::string base = (dir.path() / grid.FilePrefix).string();
    EXPECT_TRUE(fs::exists(pwnet::CommitRecordPathFor(base)));
    // The main file is renamed last. (A reader opening the grid now would find the new
    // index beside the old ".shp": the window the record closes at the next run.)
    EXPECT_EQ(ReadFileBytes(base + ".shp"), earlier.at("DKN_1km_euref89.shp"));
    EXPECT_NE(ReadFileBytes(base + ".shx"), earlier.at("DKN_1km_euref89.shx"));

    FakeUserInterface ui;
    ui.FolderToChoose = dir.path().string();
    FakeFileSystem full;
    full.Free = 0;
    EXPECT_EQ(TGenerationRun(full).Execute(grid, ui).Outcome, TRunOutcome::NoSpace);
    EXPECT_EQ(CellsIn(base + ".shp"), 200);
    EXPECT_EQ(FilesIn(dir.path()),
              (std::set<std::string>{"DKN_1km_euref89.avl", "DKN_1km_euref89.cpg",
                                     "DKN_1km_euref89.dbf", "DKN_1km_euref89.prj",
                                     "DKN_1km_euref89.shp", "DKN_1km_euref89.shx"}));
}

// Two runs of the same grid into one folder: while the first writes, the second is
// refused at once with its message, writes nothing (not even the side files) and
// leaves the first to finish its grid alone. A grid of another name in the same
// folder runs meanwhile.
TEST(ConcurrentRuns, SecondRunOfTheSameGridIsRefusedAtOnce) {
    TempDir dir;
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    const TGridState grid = NewDkn(ftSHP);
    testutil::ChildProcess first([&] {
        FakeUserInterface ui;
        ui.FolderToChoose = dir.path().string();
        int columns = 0;
        ui.OnProcessMessages = [&] {
            if (columns++ != 3)
                return;
            char c = 'w';
            if (write(toParent[1], &c, 1) != 1 || read(toChild[0], &c, 1) != 1)
                _exit(97); // the test is gone
        };
        return TGenerationRun().Execute(grid, ui).Outcome == TRunOutcome::Done ? 0 : 1;
    });
    char c;
    ASSERT_EQ(read(toParent[0], &c, 1), 1); // the first run is writing its cells

    FakeUserInterface ui;
    ui.FolderToChoose = dir.path().string();
    const TRunResult second = TGenerationRun().Execute(testutil::SmallDkn(ftSHP), ui);
    EXPECT_EQ(second.Outcome, TRunOutcome::Busy);
    EXPECT_EQ(ui.Messages,
              std::vector<std::string>{BusyMessage(dir.path().string() + "/", "DKN_1km_euref89")});
    EXPECT_EQ(ui.CursorDepth, 0);
    for (const std::string& name : FilesIn(dir.path()))
        EXPECT_TRUE(IsTemporaryName(name) || name.ends_with(".avl") || name.ends_with(".prj") ||
                    name.ends_with(".cpg"))
            << name << ": a grid file before the first run ended";

    testutil::RunInto(
        dir, testutil::MakeGrid(gkDKN, "10km", ftSHP, {440000, 6200000}, {460000, 6210000}));

    ASSERT_EQ(write(toChild[1], &c, 1), 1);
    EXPECT_EQ(first.Wait(), 0);
    EXPECT_EQ(CellsIn((dir.path() / "DKN_1km_euref89.shp").string()), 200);
    EXPECT_EQ(CellsIn((dir.path() / "DKN_10km_euref89.shp").string()), 2);
    for (const std::string& name : FilesIn(dir.path()))
        EXPECT_FALSE(IsTemporaryName(name)) << name;
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]})
        close(fd);
}

// ---- Estimates -------------------------------------------------------------------

struct EstimateCase {
    const char* Name;
    TGridKind Kind;
    const char* Size;
    TCornerPoint A, B;
    bool CentrePoints = false;
};

void PrintTo(const EstimateCase& c, std::ostream* os) {
    *os << c.Name;
}

// Grids whose cells take the most room: DKN's longest identifiers, its 10 km cells
// with their place names, EuroGrid cells whose shifted MapInfo coordinates and names
// have the most digits.
const EstimateCase EstimateGrids[] = {
    {"Dkn250m", gkDKN, "250m", {560000, 6150000}, {585000, 6175000}},
    {"Dkn10kmAll", gkDKN, "10km", {100000, 6000000}, {1000000, 6500000}},
    {"EuroGrid10km", gkEuroGrid, "10km", {2500000, 1400000}, {3500000, 2400000}},
    {"Dkn250mPoints", gkDKN, "250m", {560000, 6150000}, {585000, 6175000}, true},
    {"EuroGrid10kmPoints", gkEuroGrid, "10km", {2500000, 1400000}, {3500000, 2400000}, true},
};

class Estimates : public ::testing::TestWithParam<std::tuple<FormatCase, EstimateCase>> {};

// A grid of each format: its files together take no more than the free-space
// estimate, and no file more than the estimate of the 2 GB checks.
TEST_P(Estimates, HoldForWhatTheWritersWrite) {
    const auto& [format, grid] = GetParam();
    if (ResolveRunFormat(format.Format).FellBack())
        GTEST_SKIP() << "no writer for " << format.Name << " in this build";
    TempDir dir;
    TGridState state = testutil::MakeGrid(grid.Kind, grid.Size, format.Format, grid.A, grid.B);
    state.CentrePoints = grid.CentrePoints;
    testutil::RunInto(dir, state);
    const TRunEstimates e = EstimateGrid(*FindRunFormat(format.Format), state);
    ASSERT_GE(e.Cells, 1000);
    // The estimates count bytes per cell; a file's fixed part (a shapefile's 100-byte
    // header, a side file) is allowed on top, as it would be on a grid of millions.
    constexpr int64_t FixedBytes = 1024;
    int64_t total = 0, fixed = 0;
    for (const std::string& name : FilesIn(dir.path())) {
        const auto bytes = static_cast<int64_t>(fs::file_size(dir.path() / name));
        EXPECT_LE(bytes, e.First + FixedBytes)
            << name << ": " << bytes / static_cast<double>(e.Cells) << " bytes per cell";
        total += bytes;
        fixed += FixedBytes;
    }
    EXPECT_LE(total, e.Second + fixed) << total / static_cast<double>(e.Cells) << " bytes per cell";
}

INSTANTIATE_TEST_SUITE_P(Grids, Estimates,
                         ::testing::Combine(::testing::ValuesIn(Formats),
                                            ::testing::ValuesIn(EstimateGrids)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).Name) + "_" +
                                    std::get<1>(info.param).Name;
                         });

} // namespace
