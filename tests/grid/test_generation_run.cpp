// The generation run against a scripted user and scripted file-system answers:
// the order of its calls, every refusal with its messages and the files it leaves,
// errors in the middle of a run, and the folder kept between runs. The grids that
// would exceed 2 GB are never written: the checks refuse them first.

#include "errors.h"
#include "failing_shapefile_writer.h"
#include "faults.h"
#include "generation_run.h"
#include "pwnet_giswriter.h"
#include "run_preview.h"
#include "run_test_helpers.h"
#include "temp_dir.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <optional>
#include <set>

using namespace quadrel;
namespace fs = std::filesystem;

namespace {

using testutil::FakeFileSystem;
using testutil::FilesIn;
using testutil::MakeGrid;
using testutil::SmallDkn;

const std::string Caption = "Choose where to store the grid:";
const std::string NotLocal =
    "It is MUCH faster to store on a local harddisk.\nDo you want to continue?";
const std::string ShpTooLarge = "SHP format can not handle >2 GB as output";
const std::string TabTooLarge = "TAB format can not handle >2 GB as output";
const std::string NoLargeFiles =
    "Only a file system that can hold files larger than 2 GB can handle >2 GB as output";
const std::string TryShpOrTab = "You can try with SHP or TAB format - they are more compact";
const std::string TryAnother = "You can try with another format - they are more compact";
const std::string NoSpace = "There is not enough space on your harddisk";

// DKN 100 m over "All": 8500 x 4400 = 37,400,000 cells, more than 2 GB in any format.
TGridState HugeDkn(int32_t Format) {
    return MakeGrid(gkDKN, "100m", Format, {140000, 6020000}, {990000, 6460000});
}

// DKN 100 m, Columns x Rows cells.
TGridState DknCells(int32_t Format, int32_t Columns, int32_t Rows) {
    return MakeGrid(gkDKN, "100m", Format, {440000, 6000000},
                    {440000 + 100.0 * Columns, 6000000 + 100.0 * Rows});
}

// Records in a dBASE table: the 32-bit count at byte 4.
uint32_t DbfRecords(const std::string& Path) {
    const std::string bytes = testutil::ReadFileBytes(Path);
    uint32_t n = 0;
    if (bytes.size() >= 8)
        std::memcpy(&n, bytes.data() + 4, 4);
    return n;
}

struct RunFixture : testing::Test {
    testutil::TempDir dir;
    testutil::FakeUserInterface ui;
    FakeFileSystem files;
    std::string folder = dir.path().string();

    void SetUp() override { ui.FolderToChoose = folder; }
};

// --- A normal run -------------------------------------------------------------------

TEST_F(RunFixture, TalksToItsUserInTheOrderOfTheRun) {
    TGenerationRun run(files);
    const TRunResult r = run.Execute(SmallDkn(), ui);
    EXPECT_EQ(r.Outcome, TRunOutcome::Done);
    EXPECT_EQ(ui.Calls, (std::vector<std::string>{
                            "ChooseFolder " + Caption + " | ",
                            "ProcessMessages",
                            "BusyCursor",
                            "ProgressMax 3",
                            "Progress 1",
                            "ProcessMessages",
                            "Progress 2",
                            "ProcessMessages",
                            "Progress 3",
                            "ProcessMessages",
                            "Progress 0",
                            "RestoreCursor",
                            "ShowMessage Done",
                        }));
    const std::string base = folder + "/";
    EXPECT_EQ(files.Asked, (std::vector<std::string>{"DriveType " + base, "FileSystemName " + base,
                                                     "DiskFree " + base}));
    EXPECT_EQ(FilesIn(dir.path()),
              (std::set<std::string>{"DKN_1km_euref89.avl", "DKN_1km_euref89.prj",
                                     "DKN_1km_euref89.cpg", "DKN_1km_euref89.shp",
                                     "DKN_1km_euref89.shx", "DKN_1km_euref89.dbf"}));
    EXPECT_EQ(DbfRecords(dir / "DKN_1km_euref89.dbf"), 6u);
    EXPECT_EQ(r.OutputBase, base + "DKN_1km_euref89");
    ASSERT_NE(r.Format, nullptr);
    EXPECT_EQ(r.Format->Tag, ftSHP);
    EXPECT_EQ(r.Estimates.Cells, 6);
    EXPECT_EQ(r.Estimates.Second, 6 * 206);
}

// The run works on a copy: what pending events do to the grid state while the
// cells are written must not mix two grids.
TEST_F(RunFixture, AChangeOfTheGridStateDuringTheRunDoesNotReachIt) {
    TGridState state = SmallDkn();
    ui.OnProcessMessages = [&] {
        state.ChooseSize(FindSizeByLabel(gkDKN, "100m")->Tag);
        state.ChooseGridKind(gkEuroGrid);
    };
    TGenerationRun run(files);
    EXPECT_EQ(run.Execute(state, ui).Outcome, TRunOutcome::Done);
    EXPECT_EQ(DbfRecords(dir / "DKN_1km_euref89.dbf"), 6u);
    EXPECT_FALSE(fs::exists(dir / "EuroGrid_10km.shp"));
}

TEST_F(RunFixture, AnEmptyExtentWritesEmptyFilesAndIsDone) {
    for (const auto& [columns, rows] : {std::pair{0, 3}, std::pair{3, 0}}) {
        SCOPED_TRACE(std::to_string(columns) + " x " + std::to_string(rows));
        testutil::FakeUserInterface fresh;
        fresh.FolderToChoose = folder;
        TGenerationRun run(files);
        const TRunResult r = run.Execute(DknCells(ftSHP, columns, rows), fresh);
        EXPECT_EQ(r.Outcome, TRunOutcome::Done);
        EXPECT_EQ(fresh.Messages, std::vector<std::string>{"Done"});
        EXPECT_TRUE(fs::exists(dir / "DKN_100m_euref89.shp"));
        EXPECT_EQ(DbfRecords(dir / "DKN_100m_euref89.dbf"), 0u);
        EXPECT_NE(std::find(fresh.Calls.begin(), fresh.Calls.end(),
                            "ProgressMax " + std::to_string(columns)),
                  fresh.Calls.end());
    }
}

// --- The folder ---------------------------------------------------------------------

TEST_F(RunFixture, TheFolderChosenLastIsOfferedAgain) {
    TGenerationRun run(files);
    EXPECT_EQ(run.OutputFolder, "");
    run.Execute(SmallDkn(), ui);
    EXPECT_EQ(run.OutputFolder, folder + "/");

    testutil::FakeUserInterface second;
    second.ChooseAFolder = false; // looks, then cancels
    EXPECT_EQ(run.Execute(SmallDkn(), second).Outcome, TRunOutcome::Cancelled);
    EXPECT_EQ(second.Calls,
              std::vector<std::string>{"ChooseFolder " + Caption + " | " + folder + "/"});
    EXPECT_EQ(run.OutputFolder, folder + "/"); // a cancelled dialog keeps it
}

TEST_F(RunFixture, TheSeparatorIsAppendedEvenAfterOne) {
    ui.FolderToChoose = folder + "/";
    TGenerationRun run(files);
    EXPECT_EQ(run.Execute(SmallDkn(), ui).Outcome, TRunOutcome::Done);
    EXPECT_EQ(run.OutputFolder, folder + "//");
    EXPECT_TRUE(fs::exists(dir / "DKN_1km_euref89.shp"));
}

// --- Refusals -------------------------------------------------------------------------

struct RefusalCase {
    const char* Name;
    std::function<TGridState()> Grid;
    bool ChooseAFolder = true;
    TDriveType Drive = dtFixed;
    bool AnswerYes = true;
    std::string FileSystemName = "ext4";
    int64_t Free = std::numeric_limits<int64_t>::max();
    TRunOutcome Outcome;
    std::vector<std::string> Messages = {};
    bool Asked = false;                   // the local-disk question came up
    std::set<std::string> FilesLeft = {}; // exactly these files are in the folder afterwards
    friend std::ostream& operator<<(std::ostream& os, const RefusalCase& c) { return os << c.Name; }
};

class RunChecks : public RunFixture, public testing::WithParamInterface<RefusalCase> {};

TEST_P(RunChecks, EndTheRunWithTheirMessages) {
    const RefusalCase& c = GetParam();
    ui.ChooseAFolder = c.ChooseAFolder;
    ui.AnswerYes = c.AnswerYes;
    files.Drive = c.Drive;
    files.Name = c.FileSystemName;
    files.Free = c.Free;
    TGenerationRun run(files);
    const TRunResult r = run.Execute(c.Grid(), ui);
    EXPECT_EQ(r.Outcome, c.Outcome);
    EXPECT_EQ(ui.Messages, c.Messages);
    const bool asked =
        std::find(ui.Calls.begin(), ui.Calls.end(), "AskYesNo " + NotLocal) != ui.Calls.end();
    EXPECT_EQ(asked, c.Asked);
    EXPECT_EQ(FilesIn(dir.path()), c.FilesLeft);
    EXPECT_EQ(ui.CursorDepth, 0);
    // The preview makes the run's checks through the same functions.
    if (c.Outcome != TRunOutcome::Cancelled && c.Outcome != TRunOutcome::Declined) {
        const TRunPreview p = PreviewRun(c.Grid(), &files, dir.path().string() + "/");
        EXPECT_EQ(p.Refusal ? p.Refusal->Outcome : TRunOutcome::Done, c.Outcome);
        if (p.Refusal) {
            EXPECT_EQ(p.Refusal->Texts, c.Messages);
        }
    }
    if (c.Outcome != TRunOutcome::Done) { // refused before the cursor or the progress bar moved
        for (const std::string& call : ui.Calls)
            EXPECT_TRUE(call.rfind("BusyCursor", 0) != 0 && call.rfind("Progress", 0) != 0) << call;
    }
}

const std::set<std::string> DknShpSideFiles{"DKN_100m_euref89.avl", "DKN_100m_euref89.prj"};
const std::set<std::string> SmallShpFiles{"DKN_1km_euref89.avl", "DKN_1km_euref89.prj",
                                          "DKN_1km_euref89.cpg", "DKN_1km_euref89.shp",
                                          "DKN_1km_euref89.shx", "DKN_1km_euref89.dbf"};
const std::set<std::string> SmallMifFiles{"DKN_1km_euref89.mif", "DKN_1km_euref89.mid"};

// Which writer TAB gets depends on whether the MITAB library could be loaded.
const bool TabFallsBack = ResolveRunFormat(ftTAB).FellBack();

INSTANTIATE_TEST_SUITE_P(
    AllPaths, RunChecks,
    testing::Values(
        RefusalCase{.Name = "CancelledFolderDialog",
                    .Grid = [] { return SmallDkn(); },
                    .ChooseAFolder = false,
                    .Outcome = TRunOutcome::Cancelled},
        RefusalCase{.Name = "NoToANetworkFolder",
                    .Grid = [] { return SmallDkn(); },
                    .Drive = dtRemote,
                    .AnswerYes = false,
                    .Outcome = TRunOutcome::Declined,
                    .Asked = true},
        RefusalCase{.Name = "YesToANetworkFolder",
                    .Grid = [] { return SmallDkn(); },
                    .Drive = dtRemote,
                    .AnswerYes = true,
                    .Outcome = TRunOutcome::Done,
                    .Messages = {"Done"},
                    .Asked = true,
                    .FilesLeft = SmallShpFiles},
        RefusalCase{.Name = "NoToAFolderThatCannotBeAskedAbout",
                    .Grid = [] { return SmallDkn(); },
                    .Drive = dtNoRootDir,
                    .AnswerYes = false,
                    .Outcome = TRunOutcome::Declined,
                    .Asked = true},
        // The side files are written before the checks and stay; no grid file is made.
        RefusalCase{.Name = "ShpOver2GB",
                    .Grid = [] { return HugeDkn(ftSHP); },
                    .Outcome = TRunOutcome::TooLarge,
                    .Messages = {ShpTooLarge},
                    .FilesLeft = DknShpSideFiles},
        RefusalCase{.Name = "Shp83Over2GB",
                    .Grid = [] { return HugeDkn(ftSHP83); },
                    .Outcome = TRunOutcome::TooLarge,
                    .Messages = {ShpTooLarge},
                    .FilesLeft = {"KN_100m.avl", "KN_100m.prj"}},
        // 3856 x 4095 cells of 136 bytes are 2147483520 bytes, just within 2 GB; one
        // row more is not.
        RefusalCase{.Name = "ShpJustWithin2GB",
                    .Grid = [] { return DknCells(ftSHP, 3856, 4095); },
                    .Free = 0,
                    .Outcome = TRunOutcome::NoSpace,
                    .Messages = {NoSpace},
                    .FilesLeft = DknShpSideFiles},
        RefusalCase{.Name = "ShpJustOver2GB",
                    .Grid = [] { return DknCells(ftSHP, 3856, 4096); },
                    .Outcome = TRunOutcome::TooLarge,
                    .Messages = {ShpTooLarge},
                    .FilesLeft = DknShpSideFiles},
        RefusalCase{.Name = "TabOver2GB",
                    .Grid = [] { return HugeDkn(ftTAB); },
                    .FileSystemName = "vfat",
                    .Outcome = TabFallsBack ? TRunOutcome::NoLargeFiles : TRunOutcome::TooLarge,
                    .Messages = TabFallsBack ? std::vector<std::string>{NoLargeFiles, TryShpOrTab}
                                             : std::vector<std::string>{TabTooLarge}},
        RefusalCase{.Name = "MifOver2GBOnFat",
                    .Grid = [] { return HugeDkn(ftMIF); },
                    .FileSystemName = "vfat",
                    .Outcome = TRunOutcome::NoLargeFiles,
                    .Messages = {NoLargeFiles, TryShpOrTab}},
        RefusalCase{.Name = "MifOver2GBOnMsdos",
                    .Grid = [] { return HugeDkn(ftMIF); },
                    .FileSystemName = "msdos",
                    .Outcome = TRunOutcome::NoLargeFiles,
                    .Messages = {NoLargeFiles, TryShpOrTab}},
        RefusalCase{.Name = "MifOver2GBOnAnUnknownFileSystem",
                    .Grid = [] { return HugeDkn(ftMIF); },
                    .FileSystemName = "",
                    .Outcome = TRunOutcome::NoLargeFiles,
                    .Messages = {NoLargeFiles, TryShpOrTab}},
        RefusalCase{.Name = "MifOver2GBOnExt4ButNoSpace",
                    .Grid = [] { return HugeDkn(ftMIF); },
                    .FileSystemName = "ext4",
                    .Free = 1000000000,
                    .Outcome = TRunOutcome::NoSpace,
                    .Messages = {NoSpace, TryShpOrTab}},
        RefusalCase{.Name = "MifOver2GBOnExfatButNoSpace",
                    .Grid = [] { return HugeDkn(ftMIF); },
                    .FileSystemName = "exfat",
                    .Free = 0,
                    .Outcome = TRunOutcome::NoSpace,
                    .Messages = {NoSpace, TryShpOrTab}},
        // 6 cells of 206 bytes (SHP, DKN) need 1236 bytes.
        RefusalCase{.Name = "ShpOneByteShort",
                    .Grid = [] { return SmallDkn(); },
                    .Free = 1235,
                    .Outcome = TRunOutcome::NoSpace,
                    .Messages = {NoSpace},
                    .FilesLeft = {"DKN_1km_euref89.avl", "DKN_1km_euref89.prj"}},
        RefusalCase{.Name = "ShpExactlyEnough",
                    .Grid = [] { return SmallDkn(); },
                    .Free = 1236,
                    .Outcome = TRunOutcome::Done,
                    .Messages = {"Done"},
                    .FilesLeft = SmallShpFiles},
        RefusalCase{.Name = "FreeSpaceUnknown",
                    .Grid = [] { return SmallDkn(); },
                    .Free = -1,
                    .Outcome = TRunOutcome::NoSpace,
                    .Messages = {NoSpace},
                    .FilesLeft = {"DKN_1km_euref89.avl", "DKN_1km_euref89.prj"}},
        // 6 cells of 322 bytes (MIF, DKN) need 1932 bytes.
        RefusalCase{.Name = "MifOneByteShort",
                    .Grid = [] { return SmallDkn(ftMIF); },
                    .Free = 1931,
                    .Outcome = TRunOutcome::NoSpace,
                    .Messages = {NoSpace, TryShpOrTab}},
        RefusalCase{.Name = "MifExactlyEnough",
                    .Grid = [] { return SmallDkn(ftMIF); },
                    .Free = 1932,
                    .Outcome = TRunOutcome::Done,
                    .Messages = {"Done"},
                    .FilesLeft = SmallMifFiles},
        // EuroGrid: 2 x 1 cells of 1 km; SHP needs 2 x 160 bytes, with no legend file.
        RefusalCase{.Name = "EuroGridShpOneByteShort",
                    .Grid =
                        [] {
                            return MakeGrid(gkEuroGrid, "1km", ftSHP, {4321000, 3210000},
                                            {4323000, 3211000});
                        },
                    .Free = 319,
                    .Outcome = TRunOutcome::NoSpace,
                    .Messages = {NoSpace},
                    .FilesLeft = {"EuroGrid_1km.prj"}}),
    [](const auto& info) { return std::string(info.param.Name); });

// --- Errors that end a run ---------------------------------------------------------

struct ErrorCase {
    const char* Name;
    // Sets the fault up; returns the run to use.
    std::function<TGenerationRun(const FakeFileSystem&, testutil::FakeUserInterface&)> Arrange;
    const char* Message;
    bool LimitFileSize = false;
    friend std::ostream& operator<<(std::ostream& os, const ErrorCase& c) { return os << c.Name; }
};

class RunErrors : public RunFixture, public testing::WithParamInterface<ErrorCase> {};

// Whatever ends a run in the middle, the error reaches the caller with its message,
// the grid files written so far are gone, the cursor is back and the progress bar
// is reset; "Done" is never shown.
TEST_P(RunErrors, LeaveNoGridFilesAndRestoreTheCursor) {
    const ErrorCase& c = GetParam();
    TGenerationRun run = c.Arrange(files, ui);
    const TGridState grid = DknCells(ftSHP, 40, 50); // 2000 cells, 272 kB of ".shp"
    std::string message;
    try {
        std::optional<testutil::FileSizeLimit> limit;
        if (c.LimitFileSize)
            limit.emplace(64 * 1024);
        run.Execute(grid, ui);
    } catch (const std::exception& e) {
        message = e.what();
    }
    // A message that names a file of the folder names it as <dir>.
    if (const size_t at = message.find(dir.path().string()); at != std::string::npos)
        message.replace(at, dir.path().string().size(), "<dir>");
    EXPECT_EQ(message, c.Message);
    for (const char* ext : {".shp", ".shx", ".dbf"})
        EXPECT_FALSE(fs::exists(dir / (std::string("DKN_100m_euref89") + ext))) << ext;
    EXPECT_EQ(ui.CursorDepth, 0);
    EXPECT_EQ(ui.Calls.back(), "RestoreCursor");
    ASSERT_GE(ui.Calls.size(), 2u);
    EXPECT_EQ(ui.Calls[ui.Calls.size() - 2], "Progress 0");
    EXPECT_TRUE(ui.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    MidRun, RunErrors,
    testing::Values(ErrorCase{"WriterFailsAfter1234Cells",
                              [](const FakeFileSystem& fsq, testutil::FakeUserInterface&) {
                                  return TGenerationRun(fsq, [](pwnet::TGISFormat) {
                                      return std::make_unique<testutil::FailingShapefileWriter>(
                                          1234);
                                  });
                              },
                              "Stream write error"},
                    ErrorCase{"UserInterfaceThrowsAfterColumn7",
                              [](const FakeFileSystem& fsq, testutil::FakeUserInterface& ui) {
                                  auto columns = std::make_shared<int>(0);
                                  ui.OnProcessMessages = [columns] {
                                      if ((*columns)++ == 7) // the first call follows the dialogs
                                          throw Exception("Interrupted");
                                  };
                                  return TGenerationRun(fsq);
                              },
                              "Interrupted"},
                    ErrorCase{"FileSizeLimitReached",
                              [](const FakeFileSystem& fsq, testutil::FakeUserInterface&) {
                                  return TGenerationRun(fsq);
                              },
                              "Cannot write file \"<dir>/DKN_100m_euref89.shp\": File too large",
                              true}),
    [](const auto& info) { return std::string(info.param.Name); });

// Side files that cannot be written end the run before any grid file or cursor.
TEST_F(RunFixture, ASideFileThatCannotBeWrittenEndsTheRun) {
    ui.FolderToChoose = testutil::UnwritableFolder(dir);
    TGenerationRun run(files);
    EXPECT_THROW(run.Execute(SmallDkn(), ui), EInOutError);
    EXPECT_EQ(ui.CursorDepth, 0);
    EXPECT_TRUE(ui.Messages.empty());
}

// A grid file that cannot be created ends the run with the writer's message.
TEST_F(RunFixture, AGridFileThatCannotBeCreatedEndsTheRun) {
    ui.FolderToChoose = testutil::UnwritableFolder(dir);
    TGenerationRun run(files);
    try {
        run.Execute(SmallDkn(ftMIF), ui);
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot create file"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ui.CursorDepth, 0);
    EXPECT_EQ(ui.Calls.back(), "RestoreCursor");
}

// --- Grids that cannot be run ------------------------------------------------------

struct NotReadyCase {
    const char* Name;
    std::function<TGridState()> Grid;
    const char* MessageStart;
    friend std::ostream& operator<<(std::ostream& os, const NotReadyCase& c) {
        return os << c.Name;
    }
};

class GridNotReady : public RunFixture, public testing::WithParamInterface<NotReadyCase> {};

// Refused before the folder dialog, with the reason; nothing is written.
TEST_P(GridNotReady, IsRefusedBeforeTheDialog) {
    const NotReadyCase& c = GetParam();
    const TGridState grid = c.Grid();
    TGenerationRun run(files);
    try {
        run.Execute(grid, ui);
        ADD_FAILURE() << "no error";
    } catch (const ERangeError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(c.MessageStart, 0), 0u) << e.what();
    }
    EXPECT_THROW(CheckGridReady(grid), ERangeError);
    EXPECT_TRUE(ui.Calls.empty());
    EXPECT_TRUE(FilesIn(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GridNotReady,
    testing::Values(
        NotReadyCase{"NoGridSystem", [] { return TGridState{}; }, "No grid has been chosen"},
        NotReadyCase{"GridClosed",
                     [] {
                         TGridState s = SmallDkn();
                         s.CloseGrid();
                         return s;
                     },
                     "No grid has been chosen"},
        NotReadyCase{"NoCorners",
                     [] {
                         TGridState s;
                         s.ChooseGridKind(gkDKN);
                         return s;
                     },
                     "No area has been chosen"},
        NotReadyCase{"OneCornerAtXZero",
                     [] {
                         TGridState s = SmallDkn();
                         s.SetFirstCorner({0, 6200000});
                         return s;
                     },
                     "No area has been chosen"},
        NotReadyCase{"UnknownFormatTag",
                     [] {
                         TGridState s = SmallDkn();
                         s.OutputFormatTag = 9;
                         return s;
                     },
                     "Unknown file format tag 9"},
        NotReadyCase{"BeyondThirtyTwoBits",
                     [] {
                         return MakeGrid(gkDKN, "100km", ftSHP, {3e9, 6e6}, {3.1e9, 6.1e6});
                     },
                     "The area lies beyond the range of cell names"},
        // The origins are stored in 7-character number fields: 10000000 would lose a digit.
        NotReadyCase{
            "EuroGridEastOfSevenDigits",
            [] {
                return MakeGrid(gkEuroGrid, "1km", ftSHP, {9990000, 3210000}, {10001000, 3211000});
            },
            "The area lies beyond EuroGrid's range"},
        NotReadyCase{
            "EuroGridSouthOfSevenCharacters",
            [] {
                return MakeGrid(gkEuroGrid, "1000km", ftMIF, {-1500000, -1500000}, {1000, 1000});
            },
            "The area lies beyond EuroGrid's range"},
        // "250m_20000000_10000000" has 22 characters; the field holds 20.
        NotReadyCase{"DknIdentifierLongerThanItsField",
                     [] {
                         return MakeGrid(gkDKN, "250m", ftSHP, {100000000, 200000000},
                                         {100000250, 200000250});
                     },
                     "The area lies beyond DKN's range"}),
    [](const auto& info) { return std::string(info.param.Name); });

// The limits themselves are grids like any other.
TEST_F(RunFixture, GridsAtTheLimitsOfTheirFieldsAreReady) {
    EXPECT_NO_THROW(
        CheckGridReady(MakeGrid(gkEuroGrid, "1km", ftSHP, {9998000, 9998000}, {9999500, 9999500})));
    EXPECT_NO_THROW(
        CheckGridReady(MakeGrid(gkEuroGrid, "1km", ftSHP, {-999000, -999000}, {-998000, -998000})));
    // "250m_9999975_9999975" has exactly 20 characters.
    EXPECT_NO_THROW(
        CheckGridReady(MakeGrid(gkDKN, "250m", ftSHP, {99999990, 99999990}, {99999999, 99999999})));
}

} // namespace
