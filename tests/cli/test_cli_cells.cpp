// quadrel-cli's cell options and look-up modes: the options in-process (how they
// are read and how they set the grid state), then the built program: --cell-at,
// --from-ids on the names of a written grid (both grids read back with GDAL), the
// faults of a list, and --help.

#include "cli_cells.h"
#include "cli_runner.h"
#include "ogr_layer.h"
#include "temp_dir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

using namespace quadrel;
using namespace quadrel::cli;
namespace fs = std::filesystem;

namespace {

TCliOptions Parse(std::initializer_list<std::string_view> Args) {
    const std::vector<std::string_view> args(Args);
    return ParseCommandLine(args);
}

TEST(CellOptions, SetTheGridState) {
    TGridState e;
    ApplyToGridState(Parse({"--grid", "eurogrid", "--size", "1km", "--corners", "1,1,2,2",
                            "--cellcode", "INSPIRE-short", "--parents", "--points", "--dry-run"}),
                     e);
    EXPECT_EQ(e.CellCode, TCellCodeStyle::InspireShort);
    EXPECT_TRUE(e.ParentCells);
    EXPECT_TRUE(e.CentrePoints);

    TGridState d;
    ApplyToGridState(Parse({"--grid", "dkn", "--area", "bornholm", "--dry-run"}), d);
    EXPECT_EQ(d.CellCode, TCellCodeStyle::None);
    EXPECT_FALSE(d.ParentCells);
    EXPECT_FALSE(d.CentrePoints);

    const TCliOptions at = Parse({"--cell-at", " 12.5683 , +55.6761", "--lonlat", "-g", "dkn"});
    EXPECT_TRUE(at.HasCellAt);
    EXPECT_EQ(at.CellAt, (TCornerPoint{12.5683, 55.6761}));
    EXPECT_TRUE(at.LonLat);
    EXPECT_EQ(Parse({"--from-ids", "cells.txt", "--dry-run"}).FromIds, "cells.txt");
}

TEST(CellOptions, UsageErrors) {
    const struct {
        std::vector<std::string_view> Args;
        const char* Reason;
    } cases[] = {
        {{"--cell-at", "1,2"}, "--cell-at needs --grid (dkn or eurogrid)"},
        {{"--cell-at", "1", "--grid", "dkn"}, "--cell-at takes two numbers X,Y"},
        {{"--cell-at", "1,2,3", "--grid", "dkn"}, "--cell-at takes two numbers X,Y"},
        {{"--cell-at", "1,x", "--grid", "dkn"}, "--cell-at: \"x\" is not a number"},
        {{"--cell-at", "1,inf", "--grid", "dkn"}, "--cell-at: \"inf\" is not a number"},
        {{"--cell-at", "1,2", "--grid", "dkn", "--output", "x"},
         "--cell-at prints the cells at a point and writes nothing: it takes --grid, --size, "
         "--lonlat and --cellcode only"},
        {{"--cell-at", "1,2", "--grid", "dkn", "--area", "All"},
         "--cell-at prints the cells at a point and writes nothing: it takes --grid, --size, "
         "--lonlat and --cellcode only"},
        {{"--cell-at", "1,2", "--grid", "dkn", "--from-ids", "f"},
         "give either --cell-at or --from-ids, not both"},
        {{"--lonlat", "--grid", "dkn", "--area", "All", "--output", "x"},
         "--lonlat goes with --cell-at"},
        {{"--from-ids", "f", "--area", "All", "--output", "x"},
         "--from-ids names the cells to write: leave out --area, --corners and --bbox-lonlat"},
        {{"--from-ids", "f", "--bbox-lonlat", "8,54,9,55", "--output", "x"},
         "--from-ids names the cells to write: leave out --area, --corners and --bbox-lonlat"},
        {{"--cell-at", "1,2", "--grid", "dkn", "--json"},
         "--cell-at prints the cells at a point and writes nothing: it takes --grid, --size, "
         "--lonlat and --cellcode only"},
        {{"--from-ids", "f"}, "missing --output DIR (the folder for the grid files)"},
        {{"--parents=yes"}, "--parents takes no value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Reason);
        try {
            ParseCommandLine(c.Args);
            ADD_FAILURE() << "accepted";
        } catch (const EUsageError& e) {
            EXPECT_STREQ(e.what(), c.Reason);
        }
    }
    const struct {
        std::vector<std::string_view> Args;
        const char* Reason;
    } stateCases[] = {
        {{"--grid", "eurogrid", "--corners", "1,1,2,2", "--cellcode", "inspire2", "--dry-run"},
         "unknown cell code style \"inspire2\" (choose eea, inspire or inspire-short)"},
        {{"--grid", "dkn", "--area", "All", "--cellcode", "eea", "--dry-run"},
         "--cellcode names EuroGrid cells; DKN cells carry their identifiers (their parents' "
         "with --parents)"},
    };
    for (const auto& c : stateCases) {
        SCOPED_TRACE(c.Reason);
        TGridState s;
        try {
            ApplyToGridState(ParseCommandLine(c.Args), s);
            ADD_FAILURE() << "accepted";
        } catch (const EUsageError& e) {
            EXPECT_STREQ(e.what(), c.Reason);
        }
    }
}

// ---- The program -------------------------------------------------------------------

using clitest::RunCli;

// "<size>: names... x1,y1 x2,y2 [place]" -> size -> the rest, split at blanks.
std::map<std::string, std::vector<std::string>> CellLines(const std::string& Out) {
    std::map<std::string, std::vector<std::string>> lines;
    std::istringstream in(Out);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string size, word;
        words >> size;
        while (words >> word)
            lines[size].push_back(word);
    }
    return lines;
}

// Copenhagen city hall (12.5683 E, 55.6761 N) lies at about (724352, 6175804) in UTM
// zone 32N: in the 1 km cell 1km_6175_724, and in the 100 m, 10 km and 100 km cells
// that a 100 m grid with --parents names for it.
TEST(CellAt, CopenhagenCityHall) {
    const clitest::Result r = RunCli({"--cell-at", "12.5683,55.6761", "--lonlat", "--grid", "dkn"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    auto lines = CellLines(r.Out);
    ASSERT_EQ(lines["Point:"].size(), 2u) << r.Out;
    const std::string point = lines["Point:"][0];
    const double x = std::stod(point), y = std::stod(point.substr(point.find(',') + 1));
    EXPECT_NEAR(x, 724352, 50);
    EXPECT_NEAR(y, 6175804, 50);
    EXPECT_EQ(lines["Point:"][1], "EPSG:25832");
    EXPECT_EQ(lines["1km:"],
              (std::vector<std::string>{"1km_6175_724", "724000,6175000", "725000,6176000"}));
    EXPECT_EQ(lines["100m:"],
              (std::vector<std::string>{"100m_61758_7243", "724300,6175800", "724400,6175900"}));
    EXPECT_EQ(lines["10km:"], (std::vector<std::string>{"10km_617_72", "720000,6170000",
                                                        "730000,6180000", "\"København\""}));
    EXPECT_EQ(lines["100km:"],
              (std::vector<std::string>{"100km_61_7", "700000,6100000", "800000,6200000"}));
    EXPECT_EQ(lines.size(), 9u); // the point and the eight sizes

    // The parents of the 100 m cell in a grid are the same cells.
    testutil::TempDir dir;
    ASSERT_EQ(
        RunCli({"--grid", "dkn", "--size", "100m", "--corners", "724300,6175800,724400,6175900",
                "--parents", "--format", "csv", "--output", dir.path().string()})
            .Status,
        0);
    EXPECT_EQ(testutil::ReadOgrLayer(dir / "DKN_100m_euref89.csv").Features.at(0).Values,
              (std::vector<std::string>{lines["100m:"][0], lines["1km:"][0], lines["10km:"][0],
                                        lines["100km:"][0]}));
}

TEST(CellAt, EuroGridPointOnACellLine) {
    const clitest::Result all =
        RunCli({"--cell-at", "4321000,3210000", "--grid", "eurogrid", "--size", "1km"});
    ASSERT_EQ(all.Status, 0) << all.Err;
    EXPECT_EQ(all.Out, "Point: 4321000.00,3210000.00 EPSG:3035\n"
                       "1km: 1kmE4321N3210 CRS3035RES1000mN3210000E4321000 1kmN3210E4321 "
                       "4321000,3210000 4322000,3211000\n");
    const clitest::Result eea = RunCli(
        {"--cell-at", "-0.5,-10000", "--grid", "eurogrid", "--size", "10km", "--cellcode", "eea"});
    EXPECT_EQ(eea.Out, "Point: -0.50,-10000.00 EPSG:3035\n10km: 10kmE-1N-1 -10000,-10000 0,0\n");
}

TEST(CellAt, FaultsExitWith2) {
    const struct {
        std::vector<std::string> Args;
        const char* Reason;
    } cases[] = {
        {{"--cell-at", "1e12,0", "--grid", "dkn"},
         "--cell-at: the point lies beyond the range of cell names"},
        {{"--cell-at", "200,55", "--lonlat", "--grid", "dkn"},
         "--cell-at with --lonlat takes a longitude (-180 to 180) and a latitude (-90 to 90)"},
        {{"--cell-at", "1,2", "--grid", "dkn", "--size", "3km"},
         "unknown grid size \"3km\" for DKN"},
        {{"--cell-at", "1,2", "--grid", "dkn", "--cellcode", "eea"},
         "--cellcode names EuroGrid cells"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Reason);
        const clitest::Result r = RunCli(c.Args);
        EXPECT_EQ(r.Status, 2);
        EXPECT_EQ(r.Out, "");
        EXPECT_TRUE(r.Err.starts_with(std::string("quadrel-cli: ") + c.Reason)) << r.Err;
    }
}

void WriteText(const std::string& Path, const std::string& Text) {
    std::ofstream(Path, std::ios::binary) << Text;
}

// --from-ids on the names of a written grid gives back the same cells: GDAL reads
// both grids, and the rings and names agree, in the list's order.
TEST(FromIds, NamesOfAWrittenGridGiveBackItsCells) {
    const struct {
        std::vector<std::string> Grid;
        std::string File;
        size_t NameField;
    } cases[] = {
        {{"--grid", "eurogrid", "--size", "1km", "--corners", "4321000,3209000,4324000,3211000",
          "--cellcode", "inspire-short", "--parents"},
         "EuroGrid_1km.shp",
         2},
        {{"--grid", "dkn", "--size", "250m", "--corners", "724000,6175000,725000,6175500",
          "--format", "mif"},
         "DKN_250m_euref89.mif",
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        testutil::TempDir dir;
        std::vector<std::string> args = c.Grid;
        args.insert(args.end(), {"--output", dir / "whole"});
        ASSERT_EQ(RunCli(args).Status, 0);
        const auto whole = testutil::ReadOgrLayer(dir / ("whole/" + c.File));
        ASSERT_GT(whole.Features.size(), 2u);
        std::string names;
        for (auto f = whole.Features.rbegin(); f != whole.Features.rend(); ++f)
            names += f->Values[c.NameField] + "\n";
        WriteText(dir / "names.txt", names);

        // The grid's options, without its area; the format and codes come along.
        std::vector<std::string> listed{"--from-ids", dir / "names.txt", "--output",
                                        dir / "listed"};
        for (size_t k = 0; k < c.Grid.size(); ++k) {
            if (c.Grid[k] == "--corners" || c.Grid[k] == "--size" || c.Grid[k] == "--grid")
                ++k;
            else
                listed.push_back(c.Grid[k]);
        }
        const clitest::Result r = RunCli(listed);
        ASSERT_EQ(r.Status, 0) << r.Err;
        EXPECT_TRUE(r.Out.find(std::to_string(whole.Features.size()) + " cells written to ") !=
                    std::string::npos)
            << r.Out;
        const auto back = testutil::ReadOgrLayer(dir / ("listed/" + c.File));
        EXPECT_EQ(back.FieldNames, whole.FieldNames);
        ASSERT_EQ(back.Features.size(), whole.Features.size());
        for (size_t k = 0; k < back.Features.size(); ++k) {
            const auto& want = whole.Features[whole.Features.size() - 1 - k];
            EXPECT_EQ(back.Features[k].Values, want.Values);
            EXPECT_EQ(back.Features[k].Outline, want.Outline);
        }
    }
}

// A list the run cannot write stops the tool before anything is written: the line
// is named, the exit status is 2, and the output folder is not even made.
TEST(FromIds, AFaultyListNamesItsLineAndWritesNothing) {
    const struct {
        const char* Text;
        const char* Reason;
    } cases[] = {
        {"1km_6175_724\n1km_6175_0724\n",
         "names.txt, line 2: \"1km_6175_0724\" is not a cell name: the grid writes this cell as "
         "1km_6175_724"},
        {"1km_6175_724\n\n1kmE4321N3210\n",
         "names.txt, line 3: \"1kmE4321N3210\" is a EuroGrid cell, but the list begins with DKN "
         "cells (line 1)"},
        {"1kmE4321N3210\n10kmE432N321\n",
         "names.txt, line 2: \"10kmE432N321\" is a 10km cell, but the list begins with 1km cells"},
        {"\n", "names.txt: the list names no cells"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        testutil::TempDir dir;
        WriteText(dir / "names.txt", c.Text);
        const clitest::Result r =
            RunCli({"--from-ids", dir / "names.txt", "--output", dir / "out"});
        EXPECT_EQ(r.Status, 2);
        EXPECT_EQ(r.Out, "");
        EXPECT_TRUE(r.Err.starts_with("quadrel-cli: --from-ids " + (dir / "") + c.Reason)) << r.Err;
        EXPECT_FALSE(fs::exists(dir / "out"));
    }
    testutil::TempDir dir;
    WriteText(dir / "names.txt", "1km_6175_724\n");
    const clitest::Result other =
        RunCli({"--from-ids", dir / "names.txt", "--grid", "eurogrid", "--output", dir / "out"});
    EXPECT_EQ(other.Status, 2);
    EXPECT_TRUE(other.Err.starts_with("quadrel-cli: --grid eurogrid, but ")) << other.Err;
    const clitest::Result missing = RunCli({"--from-ids", dir / "none.txt", "--output", dir / "o"});
    EXPECT_EQ(missing.Status, 2);
    EXPECT_TRUE(missing.Err.starts_with("quadrel-cli: --from-ids: cannot read ")) << missing.Err;
    EXPECT_FALSE(fs::exists(dir / "out"));
}

// The cells of a list far apart span a wide extent; the report counts the listed ones.
TEST(FromIds, TheJsonReportCountsTheListedCells) {
    testutil::TempDir dir;
    WriteText(dir / "names.txt", "1km_6175_724\n1km_6175_7245\n");
    const clitest::Result r =
        RunCli({"--from-ids", dir / "names.txt", "--json", "--output", dir / "out"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Out.find(R"("cells":{"x":6522,"y":1,"total":2})"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find(R"("size_estimate":412,)"), std::string::npos) << r.Out;
}

// Centre points make a smaller grid, and the dry run says so.
TEST(CellOptions, DryRunEstimatesThePointFile) {
    auto estimate = [](std::vector<std::string> Args) {
        Args.insert(Args.end(),
                    {"--grid", "dkn", "--size", "100m", "--area", "Bornholm", "--dry-run"});
        const clitest::Result r = RunCli(Args);
        EXPECT_EQ(r.Status, 0);
        const size_t at = r.Out.find("Size estimate: ");
        return std::stoll(r.Out.substr(at + 15));
    };
    const long long squares = estimate({}), points = estimate({"--points"});
    EXPECT_EQ(squares, 400LL * 500 * 206);
    EXPECT_EQ(points, 400LL * 500 * 98);
    EXPECT_EQ(estimate({"--points", "--parents"}), 400LL * 500 * (98 + 3 * 20));
}

TEST(CellOptions, HelpDocumentsThem) {
    const clitest::Result r = RunCli({"--help"});
    ASSERT_EQ(r.Status, 0);
    for (const char* text :
         {"--cellcode STYLE", "--parents", "--points", "--from-ids FILE", "--cell-at X,Y",
          "--lonlat", "so an\n                        identifier names exactly one cell",
          "quadrel-cli --cell-at 12.5683,55.6761 --lonlat --grid dkn"})
        EXPECT_NE(r.Out.find(text), std::string::npos) << text;
}

} // namespace
