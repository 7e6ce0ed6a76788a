// Real grids written by the generation run into a temporary folder and read back
// with GDAL/OGR, a reader this project did not write: the polygons, their order,
// rings and names, the side files, the projection GDAL recognises, the MapInfo
// shift and the short file names.

#include "cellenavn.h"
#include "generation_run.h"
#include "ogr_layer.h"
#include "run_test_helpers.h"
#include "side_files.h"
#include "temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

using namespace quadrel;
namespace fs = std::filesystem;

namespace {

using testutil::FilesIn;
using testutil::MakeGrid;
using testutil::OgrLayer;
using testutil::ReadOgrLayer;
using testutil::RunInto;
using testutil::SmallDkn;
using testutil::SmallEuroGrid;
using testutil::Square;

const std::string DataFolder = QUADREL_GRID_TEST_DATA;

// DKN 1 km over 440000..443000 by 6200000..6202000: six cells, column by column,
// each ring clockwise from its lower-left corner, named by its identifier.
TEST(GridRunReadByGdal, DknOneKilometreShapefile) {
    testutil::TempDir dir;
    RunInto(dir, SmallDkn(ftSHP));
    EXPECT_EQ(FilesIn(dir.path()),
              (std::set<std::string>{"DKN_1km_euref89.avl", "DKN_1km_euref89.prj",
                                     "DKN_1km_euref89.cpg", "DKN_1km_euref89.shp",
                                     "DKN_1km_euref89.shx", "DKN_1km_euref89.dbf"}));
    const OgrLayer layer =
        ReadOgrLayer(dir / "DKN_1km_euref89.shp", {.MatchEpsg = true, .Probe = {500000, 6200000}});
    EXPECT_EQ(layer.FieldNames, std::vector<std::string>{"KN1kmDK"});
    EXPECT_EQ(layer.FieldWidths, std::vector<int>{20});
    const auto& expected = testutil::SmallDknCells;
    ASSERT_EQ(layer.Features.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(expected[i].Values[0]);
        EXPECT_EQ(layer.Features[i].Values, expected[i].Values);
        EXPECT_EQ(layer.Features[i].Outline, Square(expected[i].X, expected[i].Y, 1000));
    }
    // The projection file is the run's, not the writer's default, and GDAL places
    // the grid where it belongs: the central meridian of UTM zone 32 is 9 east.
    EXPECT_EQ(testutil::ReadFileBytes(dir / "DKN_1km_euref89.prj"), PrjText(gkDKN));
    EXPECT_EQ(layer.BestEpsg, 25832);
    EXPECT_EQ(layer.BestEpsgConfidence, 100);
    EXPECT_NEAR(layer.Lon, 9.0, 1e-9);
    EXPECT_NEAR(layer.Lat, 55.94, 0.01);
    EXPECT_EQ(testutil::ReadFileBytes(dir / "DKN_1km_euref89.avl"),
              testutil::ReadFileBytes(fs::path(DataFolder) / "avl" / "DKN_1km.avl"));
}

// DKN 10 km over "Bornholm": 4 x 5 cells with their place names, empty in the sea;
// the same through the shapefile's dBASE table (code page 1252) and through MIF/MID.
TEST(GridRunReadByGdal, DknTenKilometresOverBornholmWithPlaceNames) {
    // Column by column from 860000 east, each from 6100000 north.
    const char* names[20] = {"", "Rønne S",   "Rønne N",    "Hasle",   "Sandvig/Allinge",
                             "", "Aakirkeby", "Østerlars",  "Gudhjem", "",
                             "", "Pedersker", "Østermarie", "",        "",
                             "", "Nexø",      "Svaneke",    "",        ""};
    for (int32_t format : {ftSHP, ftMIF}) {
        SCOPED_TRACE(format == ftSHP ? "SHP" : "MIF");
        testutil::TempDir dir;
        TGridState grid;
        grid.ChooseGridKind(gkDKN);
        grid.ChooseFormat(format);
        grid.ChooseSize(FindSizeByLabel(gkDKN, "10km")->Tag);
        grid.ChoosePreset(*FindPresetByCaption("Bornholm"));
        RunInto(dir, grid);
        const OgrLayer layer =
            ReadOgrLayer(dir / (format == ftSHP ? "DKN_10km_euref89.shp" : "DKN_10km_euref89.mif"));
        EXPECT_EQ(layer.FieldNames, (std::vector<std::string>{"KN10kmDK", "Stednavn"}));
        EXPECT_EQ(layer.FieldWidths, (std::vector<int>{20, 40}));
        ASSERT_EQ(layer.Features.size(), 20u);
        for (int i = 0; i < 20; ++i) {
            const int e = 86 + i / 5, n = 610 + i % 5;
            const std::string id = "10km_" + std::to_string(n) + "_" + std::to_string(e);
            SCOPED_TRACE(id);
            EXPECT_EQ(layer.Features[i].Values, (std::vector<std::string>{id, names[i]}));
            EXPECT_EQ(layer.Features[i].Outline, Square(e * 10000.0, n * 10000.0, 10000));
        }
    }
}

// EuroGrid as MIF: the geometry loses the LAEA false origin, as MapInfo's
// CoordSys clause has none, while the names keep the true origins. GDAL, reading
// that clause, must still put the shifted (0, 0) at the projection centre.
TEST(GridRunReadByGdal, EuroGridMifIsShiftedByTheFalseOrigin) {
    testutil::TempDir dir;
    RunInto(dir, SmallEuroGrid(ftMIF));
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"EuroGrid_1km.mif", "EuroGrid_1km.mid"}));
    const std::string mif = testutil::ReadFileBytes(dir / "EuroGrid_1km.mif");
    EXPECT_NE(mif.find("CoordSys Earth Projection 29, 115, \"m\", 10, 52, 90 Bounds (-4321000, "
                       "-3210000) (4179000, 4290000)\r\n"),
              std::string::npos);
    const OgrLayer layer = ReadOgrLayer(dir / "EuroGrid_1km.mif", {.Probe = {0, 0}});
    EXPECT_EQ(layer.FieldNames, (std::vector<std::string>{"eoforigin", "noforigin"}));
    const auto& expected = testutil::SmallEuroGridShiftedCells;
    ASSERT_EQ(layer.Features.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(layer.Features[i].Values, expected[i].Values);
        EXPECT_EQ(layer.Features[i].Outline, Square(expected[i].X, expected[i].Y, 1000));
    }
    EXPECT_NEAR(layer.Lon, 10.0, 1e-6);
    EXPECT_NEAR(layer.Lat, 52.0, 1e-6);
}

// EuroGrid as a shapefile: no legend, the LAEA projection file, true coordinates.
TEST(GridRunReadByGdal, EuroGridShapefileHasNoLegendAndIsNotShifted) {
    testutil::TempDir dir;
    RunInto(dir, MakeGrid(gkEuroGrid, "10km", ftSHP, {4320000, 3210000}, {4340000, 3220000}));
    EXPECT_EQ(FilesIn(dir.path()),
              (std::set<std::string>{"EuroGrid_10km.prj", "EuroGrid_10km.cpg", "EuroGrid_10km.shp",
                                     "EuroGrid_10km.shx", "EuroGrid_10km.dbf"}));
    const OgrLayer layer =
        ReadOgrLayer(dir / "EuroGrid_10km.shp", {.MatchEpsg = true, .Probe = {4321000, 3210000}});
    EXPECT_EQ(layer.FieldNames, (std::vector<std::string>{"eoforigin", "noforigin"}));
    EXPECT_EQ(layer.FieldWidths, (std::vector<int>{7, 7}));
    ASSERT_EQ(layer.Features.size(), 2u);
    EXPECT_EQ(layer.Features[0].Values, (std::vector<std::string>{"4320000", "3210000"}));
    EXPECT_EQ(layer.Features[0].Outline, Square(4320000, 3210000, 10000));
    EXPECT_EQ(layer.Features[1].Values, (std::vector<std::string>{"4330000", "3210000"}));
    EXPECT_EQ(layer.Features[1].Outline, Square(4330000, 3210000, 10000));
    EXPECT_EQ(layer.BestEpsg, 3035);
    EXPECT_NEAR(layer.Lon, 10.0, 1e-9);
    EXPECT_NEAR(layer.Lat, 52.0, 1e-9);
}

// "ESRI SHP, 8+3 filename": every file of the output has at most eight characters
// before a three-letter extension, and GDAL opens the set.
TEST(GridRunReadByGdal, ShortFileNames) {
    const struct {
        TGridKind Kind;
        const char* Size;
        TCornerPoint A, B;
        const char* Base;
        size_t Files;
    } cases[] = {
        {gkDKN, "100km", {400000, 6000000}, {600000, 6100000}, "KN_100km", 6},
        {gkEuroGrid, "1000km", {4000000, 3000000}, {6000000, 4000000}, "EG1000km", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Base);
        testutil::TempDir dir;
        RunInto(dir, MakeGrid(c.Kind, c.Size, ftSHP83, c.A, c.B));
        const auto files = FilesIn(dir.path());
        EXPECT_EQ(files.size(), c.Files);
        for (const std::string& name : files) {
            const fs::path p(name);
            EXPECT_EQ(p.stem().string(), c.Base);
            EXPECT_LE(p.stem().string().size(), 8u);
            EXPECT_EQ(p.extension().string().size(), 4u) << name; // the dot and three letters
        }
        EXPECT_EQ(ReadOgrLayer(dir / (std::string(c.Base) + ".shp")).Features.size(), 2u);
    }
}

// The cell outlines of a DKN grid take the colour of their size: blue 100 m,
// orange 250 m, red 1 km, green 10 km, silver 100 km; the non-standard sizes keep
// the default black pen, which MIF leaves unwritten.
TEST(GridRunReadByGdal, DknOutlinesHaveTheColourOfTheirSize) {
    const struct {
        const char* Size;
        const char* PenLine; // in the ".mif"; empty: none
        const char* Colour;  // in GDAL's style string
    } cases[] = {
        {"100m", "    Pen(1,2,255)\r\n", "c:#0000ff"},
        {"250m", "    Pen(1,2,16760832)\r\n", "c:#ffc000"},
        {"1km", "    Pen(1,2,16711680)\r\n", "c:#ff0000"},
        {"10km", "    Pen(1,2,65280)\r\n", "c:#00ff00"},
        {"100km", "    Pen(1,2,12632256)\r\n", "c:#c0c0c0"},
        {"500m", "", "c:#000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Size);
        testutil::TempDir dir;
        const double half = FindSizeByLabel(gkDKN, c.Size)->CellSize / 2.0;
        RunInto(dir, MakeGrid(gkDKN, c.Size, ftMIF, {500000, 6200000},
                              {500000 + half, 6200000 + half})); // one cell
        const std::string base = std::string("DKN_") + c.Size + "_euref89";
        const std::string mif = testutil::ReadFileBytes(dir / (base + ".mif"));
        if (*c.PenLine)
            EXPECT_NE(mif.find(c.PenLine), std::string::npos) << mif;
        else
            EXPECT_EQ(mif.find("Pen("), std::string::npos) << mif;
        const OgrLayer layer = ReadOgrLayer(dir / (base + ".mif"));
        ASSERT_EQ(layer.Features.size(), 1u);
        EXPECT_NE(layer.Features[0].Style.find(c.Colour), std::string::npos)
            << layer.Features[0].Style;
    }
}

// No cells at all: the files are complete, readable and empty.
TEST(GridRunReadByGdal, AnEmptyGridOpensWithNoFeatures) {
    for (int32_t format : {ftSHP, ftMIF}) {
        testutil::TempDir dir;
        RunInto(dir, MakeGrid(gkDKN, "1km", format, {440000, 6200000}, {440000, 6205000}));
        const OgrLayer layer =
            ReadOgrLayer(dir / (format == ftSHP ? "DKN_1km_euref89.shp" : "DKN_1km_euref89.mif"));
        EXPECT_TRUE(layer.Features.empty());
        EXPECT_EQ(layer.FieldNames, std::vector<std::string>{"KN1kmDK"});
    }
}

} // namespace
