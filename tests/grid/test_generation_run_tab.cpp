// MapInfo TAB grids from the generation run, through the MITAB library the program
// binds at start (the adapter beside this test program), read back with GDAL/OGR:
// cells, names, styles and projection; and a folder where MITAB cannot create the
// table, which must end the run with an error, not with "Done".

#include "errors.h"
#include "faults.h"
#include "generation_run.h"
#include "mitab.h"
#include "ogr_layer.h"
#include "run_test_helpers.h"
#include "temp_dir.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <set>

using namespace quadrel;
namespace fs = std::filesystem;

namespace {

using testutil::FilesIn;
using testutil::OgrLayer;
using testutil::SmallDkn;
using testutil::SmallEuroGrid;
using testutil::Square;

// The table at Path as GDAL's MapInfo driver reads it; Probe is a point in the
// table's coordinates to be placed on ETRS89 longitude and latitude.
OgrLayer ReadTab(const std::string& Path, std::pair<double, double> Probe) {
    return testutil::ReadOgrLayer(Path, {.Driver = "MapInfo File", .Probe = Probe});
}

class GridRunTab : public ::testing::Test {
protected:
    void SetUp() override {
        pwnet::LoadMitab();
        ASSERT_TRUE(pwnet::MitabAvailable()) << "the MITAB adapter is built beside the tests";
        ASSERT_FALSE(ResolveRunFormat(ftTAB).FellBack());
    }
    void RunInto(const TGridState& State) { testutil::RunInto(dir, State); }
    testutil::TempDir dir;
};

// DKN 1 km: the four files of a TAB table and nothing else, six cells column by
// column, each named by its identifier, outlined in the 1 km red with the
// transparent white brush, on UTM zone 32 north.
TEST_F(GridRunTab, DknOneKilometreTable) {
    RunInto(SmallDkn(ftTAB));
    EXPECT_EQ(FilesIn(dir.path()),
              (std::set<std::string>{"DKN_1km_euref89.tab", "DKN_1km_euref89.map",
                                     "DKN_1km_euref89.dat", "DKN_1km_euref89.id"}));
    const OgrLayer t = ReadTab(dir / "DKN_1km_euref89.tab", {500000, 6200000});
    EXPECT_EQ(t.FieldNames, std::vector<std::string>{"KN1kmDK"});
    EXPECT_EQ(t.FieldWidths, std::vector<int>{20});
    const auto& expected = testutil::SmallDknCells;
    ASSERT_EQ(t.Features.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(expected[i].Values[0]);
        EXPECT_EQ(t.Features[i].Values, expected[i].Values);
        EXPECT_EQ(t.Features[i].Outline, Square(expected[i].X, expected[i].Y, 1000));
        EXPECT_NE(t.Features[i].Style.find("PEN(w:1px,c:#ff0000"), std::string::npos)
            << t.Features[i].Style;
        EXPECT_NE(t.Features[i].Style.find("BRUSH(fc:#ffffff,id:\"mapinfo-brush-2"),
                  std::string::npos)
            << t.Features[i].Style;
    }
    EXPECT_EQ(t.UtmZone, 32);
    EXPECT_NEAR(t.Lon, 9.0, 1e-9);
    EXPECT_NEAR(t.Lat, 55.94, 0.01);
}

// DKN 10 km over Bornholm: the place names, Danish letters included, come back as
// written; the outlines are the 10 km green.
TEST_F(GridRunTab, DknTenKilometresOverBornholmWithPlaceNames) {
    TGridState grid;
    grid.ChooseGridKind(gkDKN);
    grid.ChooseFormat(ftTAB);
    grid.ChooseSize(FindSizeByLabel(gkDKN, "10km")->Tag);
    grid.ChoosePreset(*FindPresetByCaption("Bornholm"));
    RunInto(grid);
    const OgrLayer t = ReadTab(dir / "DKN_10km_euref89.tab", {870000, 6120000});
    EXPECT_EQ(t.FieldNames, (std::vector<std::string>{"KN10kmDK", "Stednavn"}));
    EXPECT_EQ(t.FieldWidths, (std::vector<int>{20, 40}));
    ASSERT_EQ(t.Features.size(), 20u);
    EXPECT_EQ(t.Features[1].Values, (std::vector<std::string>{"10km_611_86", "Rønne S"}));
    EXPECT_EQ(t.Features[7].Values, (std::vector<std::string>{"10km_612_87", "Østerlars"}));
    EXPECT_EQ(t.Features[16].Values, (std::vector<std::string>{"10km_611_89", "Nexø"}));
    EXPECT_EQ(t.Features[0].Values, (std::vector<std::string>{"10km_610_86", ""}));
    EXPECT_EQ(t.Features[16].Outline, Square(890000, 6110000, 10000));
    EXPECT_NE(t.Features[16].Style.find("c:#00ff00"), std::string::npos) << t.Features[16].Style;
    EXPECT_NEAR(t.Lon, 14.80, 0.01);
    EXPECT_NEAR(t.Lat, 55.09, 0.01);
}

// EuroGrid: the geometry loses the LAEA false origin that MapInfo's clause lacks,
// the names keep the true origins, and GDAL puts the shifted (0, 0) at the
// projection's centre.
TEST_F(GridRunTab, EuroGridIsShiftedByTheFalseOrigin) {
    RunInto(SmallEuroGrid(ftTAB));
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"EuroGrid_1km.tab", "EuroGrid_1km.map",
                                                          "EuroGrid_1km.dat", "EuroGrid_1km.id"}));
    const OgrLayer t = ReadTab(dir / "EuroGrid_1km.tab", {0, 0});
    EXPECT_EQ(t.FieldNames, (std::vector<std::string>{"eoforigin", "noforigin"}));
    EXPECT_EQ(t.FieldWidths, (std::vector<int>{7, 7}));
    const auto& expected = testutil::SmallEuroGridShiftedCells;
    ASSERT_EQ(t.Features.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(t.Features[i].Values, expected[i].Values);
        EXPECT_EQ(t.Features[i].Outline, Square(expected[i].X, expected[i].Y, 1000));
        EXPECT_NE(t.Features[i].Style.find("c:#000000"), std::string::npos) << t.Features[i].Style;
    }
    EXPECT_NEAR(t.Lon, 10.0, 1e-6);
    EXPECT_NEAR(t.Lat, 52.0, 1e-6);
}

// Regression: MITAB cannot create the table, the TAB writer raises nothing and
// writes nothing, and the run used to show "Done". It must end with the error, the
// cursor restored, the progress bar back at 0, and no file of the grid.
TEST_F(GridRunTab, TableThatCannotBeCreatedIsAnErrorNotDone) {
    const std::string unwritable = testutil::UnwritableFolder(dir);
    // A folder holding a folder of the table's name: MITAB cannot create the table
    // there even for root.
    const fs::path blocked = dir.path() / "blocked";
    fs::create_directories(blocked / "DKN_1km_euref89.tab");
    const struct {
        std::string Folder;
        const char* Reason; // the end of the message; empty: any
    } cases[] = {
        {unwritable, ""},
        {(dir.path() / "missing").string(), "No such file or directory"},
        {blocked.string(), "The MITAB library could not create the table"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Folder);
        testutil::FakeFileSystem disk; // a local disk with room for anything
        testutil::FakeUserInterface ui;
        ui.FolderToChoose = c.Folder;
        TGenerationRun run(disk);
        const std::string table = c.Folder + "/DKN_1km_euref89.tab";
        try {
            run.Execute(SmallDkn(ftTAB), ui);
            ADD_FAILURE() << "no error";
        } catch (const EFCreateError& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind("Cannot create file \"" + table + "\". ", 0), 0u) << message;
            EXPECT_TRUE(message.ends_with(c.Reason)) << message;
        }
        EXPECT_TRUE(ui.Messages.empty()) << "no Done for a grid that was not written";
        EXPECT_EQ(ui.CursorDepth, 0);
        ASSERT_FALSE(ui.Calls.empty());
        EXPECT_EQ(ui.Calls.back(), "RestoreCursor");
        EXPECT_EQ(ui.Calls[ui.Calls.size() - 2], "Progress 0");
        EXPECT_FALSE(fs::is_regular_file(table));
    }
    EXPECT_EQ(FilesIn(blocked), std::set<std::string>{"DKN_1km_euref89.tab"}) << "left as it was";
}

// Regression: a table the library could not complete at its close (a full disk; here
// a file-size limit from the last column on) was reported as "Done" and left a ".tab"
// of 0 bytes. The run ends with the error, naming the table and the reason, whether
// the disk fills at the close or half-way (the limit from the start); an earlier
// table of the grid stays as it was, and nothing else is left.
TEST_F(GridRunTab, TableThatCannotBeWrittenIsAnErrorNotDone) {
    testutil::RunInto(dir, SmallDkn(ftTAB));
    auto contents = [this] {
        std::map<std::string, std::string> files;
        for (const std::string& name : FilesIn(dir.path()))
            files[name] = testutil::ReadFileBytes(dir.path() / name);
        return files;
    };
    const auto earlier = contents();
    for (const bool atClose : {true, false}) {
        SCOPED_TRACE(atClose ? "at the close" : "half-way");
        const TGridState grid =
            testutil::MakeGrid(gkDKN, "1km", ftTAB, {440000, 6200000}, {460000, 6210000});
        testutil::FakeFileSystem disk;
        testutil::FakeUserInterface ui;
        ui.FolderToChoose = dir.path().string();
        std::optional<testutil::FileSizeLimit> full;
        int calls = 0;
        ui.OnProcessMessages = [&] {
            if (++calls == (atClose ? grid.GridExtent.CellsX + 1 : 1))
                full.emplace(0);
        };
        TGenerationRun run(disk);
        std::string message;
        try {
            run.Execute(grid, ui);
        } catch (const EWriteError& e) {
            message = e.what();
        }
        full.reset();
        const std::string table = (dir.path() / "DKN_1km_euref89.tab").string();
        EXPECT_EQ(message.rfind("Cannot write file \"" + table + "\": ", 0), 0u) << message;
        EXPECT_EQ(message.find(".quadrel-partial"), std::string::npos) << message;
        EXPECT_TRUE(ui.Messages.empty()) << "no Done";
        EXPECT_TRUE(contents() == earlier) << "the earlier table changed";
    }
}

// Regression: a MapInfo table keeps coordinates only within the Bounds of its
// CoordSys and moves anything beyond them to the edge, so cells outside came out
// squashed in a table that looked complete. The run refuses such a grid, before any
// file is made; a grid on the bounds themselves is written.
TEST_F(GridRunTab, CellsBeyondTheBoundsAreRefusedBeforeAnyFile) {
    const std::string dkn =
        "TAB format can only hold cells within (100000, 6000000) (1000000, 6500000)";
    const std::string euro = "TAB format can only hold cells within (0, 0) (8500000, 7500000)";
    const struct {
        const char* Name;
        TGridState Grid;
        std::string Refusal; // empty: written
    } cases[] = {
        {"DKN west of the bounds",
         testutil::MakeGrid(gkDKN, "1km", ftTAB, {98000, 6200000}, {101000, 6201000}), dkn},
        {"DKN north of the bounds",
         testutil::MakeGrid(gkDKN, "10km", ftTAB, {900000, 6480000}, {910000, 6510000}), dkn},
        {"DKN along the south-east corner",
         testutil::MakeGrid(gkDKN, "100km", ftTAB, {900000, 6000000}, {1000000, 6100000}), ""},
        {"EuroGrid east of the bounds",
         testutil::MakeGrid(gkEuroGrid, "100km", ftTAB, {8400000, 100000}, {8600000, 200000}),
         euro},
        {"EuroGrid at the origin", testutil::MakeGrid(gkEuroGrid, "1000km", ftTAB, {1, 1}, {2, 2}),
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        testutil::TempDir folder;
        testutil::FakeFileSystem disk;
        testutil::FakeUserInterface ui;
        ui.FolderToChoose = folder.path().string();
        TGenerationRun run(disk);
        const TRunResult r = run.Execute(c.Grid, ui);
        if (c.Refusal.empty()) {
            EXPECT_EQ(r.Outcome, TRunOutcome::Done);
            EXPECT_EQ(FilesIn(folder.path()).size(), 4u);
        } else {
            EXPECT_EQ(r.Outcome, TRunOutcome::OutsideBounds);
            EXPECT_EQ(ui.Messages, std::vector<std::string>{c.Refusal});
            EXPECT_TRUE(FilesIn(folder.path()).empty());
            EXPECT_EQ(ui.CursorDepth, 0);
        }
    }
}

} // namespace
