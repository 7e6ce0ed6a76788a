// quadrel-cli's area of interest in-process: --within FILE, --within-layer, --buffer
// and the built-in --area "Denmark land"; which options go together, how they set
// the grid state, and what a dry run and a run print.

#include "area.h"
#include "area_cells.h"
#include "cli_area.h"
#include "cli_main.h"
#include "cli_options.h"
#include "temp_dir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

using namespace quadrel;
using namespace quadrel::cli;

namespace {

const std::string StudyArea = QUADREL_CLI_TEST_DATA "/study_area.geojson";

TCliOptions Parse(std::vector<std::string_view> Args) {
    return ParseCommandLine(Args);
}

TEST(AreaOptions, Parsed) {
    const TCliOptions o = Parse({"--grid", "dkn", "--within", " my parks.gpkg", "--within-layer",
                                 "parks", "--buffer", "+15000", "--output", "x"});
    EXPECT_EQ(o.Within, " my parks.gpkg"); // a path is taken as given
    EXPECT_EQ(o.WithinLayer, "parks");
    EXPECT_EQ(o.Buffer, 15000);
    EXPECT_TRUE(o.HasBuffer);
    EXPECT_EQ(Parse({"--grid", "dkn", "-w", "a.shp", "--buffer=-20.5", "-n"}).Buffer, -20.5);
    // A built-in area may be narrowed by corners; a preset may narrow a file's area.
    EXPECT_TRUE(Parse({"--grid", "dkn", "--area", "denmark LAND", "--corners", "1,2,3,4", "-n"})
                    .HasCorners);
    EXPECT_EQ(Parse({"--grid", "dkn", "--area", "Bornholm", "--within", "a.shp", "-n"}).Area,
              "Bornholm");
    EXPECT_TRUE(
        Parse({"--grid", "dkn", "--area", "Denmark land", "--bbox-lonlat", "12,55.5,13,56", "-n"})
            .HasLonLatBox);
}

TEST(AreaOptions, UsageErrors) {
    const struct {
        std::vector<std::string_view> Args;
        const char* Reason;
    } cases[] = {
        {{"--grid", "dkn", "--within", "a.shp", "--buffer", "15 km", "-n"},
         "--buffer: \"15 km\" is not a number of metres"},
        {{"--grid", "dkn", "--within", "a.shp", "--buffer", "inf", "-n"},
         "--buffer: \"inf\" is not a number of metres"},
        {{"--grid", "dkn", "--area", "All", "--within-layer", "parks", "-n"},
         "--within-layer needs --within FILE"},
        {{"--grid", "dkn", "--area", "Denmark only", "--buffer", "100", "-n"},
         "--buffer needs an area to grow: --within FILE or --area \"Denmark land\""},
        {{"--grid", "dkn", "--area", "Denmark land", "--within", "a.shp", "-n"},
         "give either --within FILE or --area \"Denmark land\", not both"},
        {{"--grid", "dkn", "--area", "All", "--corners", "1,2,3,4", "-n"},
         "give either --area or --corners, not both"},
        // A list of cells and the cells at a point are not cut to an area.
        {{"--from-ids", "cells.txt", "--within", "a.shp", "-n"},
         "--from-ids names the cells to write: leave out --within and --buffer"},
        {{"--cell-at", "724352,6175804", "--grid", "dkn", "--buffer", "100"},
         "--cell-at prints the cells at a point and writes nothing: it takes no --within or "
         "--buffer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Reason);
        try {
            (void)Parse(c.Args);
            ADD_FAILURE() << "no usage error";
        } catch (const EUsageError& e) {
            EXPECT_EQ(std::string(e.what()), c.Reason);
        }
    }
}

TEST(AreaOptions, SetTheGridState) {
    // The file alone: the extent is its bounds, snapped.
    TGridState alone;
    TCliChoice choice = ApplyToGridState(
        Parse({"--grid", "dkn", "--size", "1km", "--within", StudyArea, "-n"}), alone);
    ASSERT_NE(alone.Area, nullptr);
    EXPECT_EQ(alone.Area->Description(), "study_area.geojson");
    EXPECT_EQ(alone.GridExtent, (TGridExtent{593000, 6229000, 601000, 6237000, 8, 8}));
    ASSERT_EQ(choice.AreaNotices.size(), 1u);
    EXPECT_EQ(choice.AreaNotices[0],
              "1 point or line of layer \"study_area\" is ignored: only polygons make an area");

    // With corners, the extent is theirs.
    TGridState cut;
    ApplyToGridState(Parse({"--grid", "dkn", "--size", "1km", "--within", StudyArea, "--corners",
                            "595000,6230000,598000,6240000", "-n"}),
                     cut);
    EXPECT_EQ(cut.GridExtent, (TGridExtent{595000, 6230000, 598000, 6240000, 3, 10}));
    EXPECT_LT(CellsToWrite(cut), CellsToWrite(alone));

    // Denmark land with a buffer, for DKN only; an unreadable file is a usage error.
    TGridState land;
    ApplyToGridState(Parse({"--grid", "dkn", "--size", "10km", "--area", "denmark land", "-n"}),
                     land);
    EXPECT_EQ(land.Area->Description(), "Denmark land");
    EXPECT_THROW(
        ApplyToGridState(Parse({"--grid", "eurogrid", "--area", "Denmark land", "-n"}), land),
        EUsageError);
    TGridState missing;
    try {
        ApplyToGridState(Parse({"--grid", "dkn", "--within", "/nonexistent/a.shp", "-n"}), missing);
        ADD_FAILURE() << "no usage error";
    } catch (const EUsageError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open the area file \"/nonexistent/a.shp\": no such file");
    }
}

TEST(AreaOptions, HelpNamesThem) {
    const std::string help = HelpText();
    for (const char* word : {"--within FILE", "--within-layer NAME", "--buffer METRES",
                             "\"Denmark land\"", "--area \"Denmark land\" --buffer 15000"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

struct Output {
    int Status;
    std::string Out, Err;
};

Output RunCli(std::vector<std::string_view> Args) {
    std::istringstream in;
    std::ostringstream out, err;
    const int status = RunQuadrelCli(Args, in, out, err, TProcessFacts{});
    return {status, out.str(), err.str()};
}

// The status texts, then the cells within the area on a line of their own; the dry
// run shows the candidates and those within, and estimates only these.
TEST(AreaOptions, DryRunAndRunPrintTheCellsWithin) {
    const Output dry = RunCli({"--grid", "dkn", "--size", "1km", "--within", StudyArea, "-n"});
    EXPECT_EQ(dry.Status, esDone);
    EXPECT_EQ(dry.Out, "X1: 593000\nY1: 6229000\nX2: 601000\nY2: 6237000\nCells X: 8\nCells Y: 8\n"
                       "Cells within study_area.geojson: 52\n"
                       "Format: ESRI SHP\nFiles: DKN_1km_euref89.shp\nCells: 64\n"
                       "Cells within study_area.geojson: 52\n"
                       "Size estimate: 10712 bytes (10.7 kB)\n");
    EXPECT_EQ(dry.Err, "quadrel-cli: notice: 1 point or line of layer \"study_area\" is "
                       "ignored: only polygons make an area\n");

    // --json counts the same cells; --quiet keeps the notices back too.
    const Output json = RunCli(
        {"--grid", "dkn", "--size", "1km", "--within", StudyArea, "-n", "--json", "--quiet"});
    EXPECT_EQ(json.Status, esDone);
    EXPECT_NE(json.Out.find(R"("cells":{"x":8,"y":8,"total":52})"), std::string::npos) << json.Out;
    EXPECT_NE(json.Out.find(R"("size_estimate":10712)"), std::string::npos);
    EXPECT_NE(json.Out.find(R"("area":"study_area.geojson")"), std::string::npos);
    EXPECT_EQ(json.Err, "");

    testutil::TempDir dir;
    const std::string folder = dir.path().string();
    const Output run = RunCli({"--grid", "dkn", "--size", "1km", "--within", StudyArea, "--buffer",
                               "500", "--format", "csv", "--output", folder});
    EXPECT_EQ(run.Status, esDone) << run.Err;
    EXPECT_NE(run.Out.find("\nCells within study_area.geojson with a 500 m buffer: "),
              std::string::npos);
    // Every cell written is one line of the CSV file, after its header.
    const std::string csv = testutil::ReadFileBytes(dir.path() / "DKN_1km_euref89.csv");
    const auto lines = std::count(csv.begin(), csv.end(), '\n') - 1;
    EXPECT_NE(run.Out.find("\n" + std::to_string(lines) + " cells written to "), std::string::npos)
        << run.Out;
}

} // namespace
