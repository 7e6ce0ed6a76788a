// GeoPackage grids from the generation run, checked by readers we did not write:
// GDAL/OGR reads the layer, its system and its spatial index; GDAL's GeoPackage
// validator and SQLite's own checks judge the file; the QGIS style names the
// colour of the grid's outline.

#include "generation_run.h"
#include "gpkg_checks.h"
#include "ogr_layer.h"
#include "run_test_helpers.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <set>

using namespace quadrel;

namespace {

using testutil::MakeGrid;
using testutil::RunInto;
using testutil::SqlValue;

struct GpkgGrid {
    const char* name;
    TGridKind kind;
    const char* size;
    TCornerPoint a, b;
    const char* layer;
    int epsg;
    std::vector<std::string> fields;
    std::vector<OGRFieldType> types;
    double cellSize;
    int columns, rows;
    // Two cells by their place in the run's order, with their values.
    std::vector<std::pair<int, std::vector<std::string>>> cells;
    const char* outline; // the style's outline colour, as QGIS writes colours
};

void PrintTo(const GpkgGrid& g, std::ostream* os) {
    *os << g.name;
}

class RunGeoPackage : public ::testing::TestWithParam<GpkgGrid> {};

TEST_P(RunGeoPackage, ReadersWeDidNotWriteAcceptIt) {
    const GpkgGrid& g = GetParam();
    testutil::TempDir dir;
    RunInto(dir, MakeGrid(g.kind, g.size, ftGPKG, g.a, g.b));
    const std::string path = dir / (std::string(g.layer) + ".gpkg");
    EXPECT_EQ(testutil::FilesIn(dir.path()), std::set<std::string>{std::string(g.layer) + ".gpkg"});
    EXPECT_EQ(testutil::GpkgValidatorComplaints(path), "");
    EXPECT_EQ(testutil::IntegrityCheck(path), "ok");
    EXPECT_EQ(testutil::RtreeCheck(path, std::string("rtree_") + g.layer + "_geom"), "ok");

    const testutil::OgrLayer layer = testutil::ReadOgrLayer(path, {.Driver = "GPKG"});
    const int cells = g.columns * g.rows;
    EXPECT_EQ(layer.FeatureCount, cells);
    ASSERT_EQ(layer.Features.size(), static_cast<size_t>(cells));
    EXPECT_EQ(layer.FieldNames, g.fields);
    EXPECT_EQ(layer.FieldTypes, g.types);
    EXPECT_EQ(layer.Epsg, g.epsg);
    for (const auto& [index, values] : g.cells) {
        SCOPED_TRACE(index);
        const double x = g.a.X + g.cellSize * (index / g.rows);
        const double y = g.a.Y + g.cellSize * (index % g.rows);
        EXPECT_EQ(layer.Features[index].Values, values);
        EXPECT_EQ(layer.Features[index].Outline, testutil::Square(x, y, g.cellSize));
    }

    // A window over the middle of the grid, half a cell off the cell lines: GDAL
    // finds the cells through the index, in the run's order (fid = place + 1).
    const int c0 = g.columns / 3, c1 = g.columns / 2, r0 = g.rows / 3, r1 = g.rows / 2;
    const auto found = testutil::GdalSpatialFilter(
        path, g.layer, g.a.X + g.cellSize * (c0 + 0.5), g.a.Y + g.cellSize * (r0 + 0.5),
        g.a.X + g.cellSize * (c1 + 0.5), g.a.Y + g.cellSize * (r1 + 0.5));
    EXPECT_TRUE(found.HasSpatialIndex);
    std::vector<long long> expected;
    for (int c = c0; c <= c1; ++c)
        for (int r = r0; r <= r1; ++r)
            expected.push_back(static_cast<long long>(c) * g.rows + r + 1);
    std::vector<long long> fids = found.Fids;
    std::sort(fids.begin(), fids.end());
    EXPECT_EQ(fids, expected);

    // QGIS's default style: the outline in the grid's colour, no fill.
    const std::string qml = SqlValue(path, "SELECT styleQML FROM layer_styles WHERE "
                                           "useAsDefault AND f_table_name = '" +
                                               std::string(g.layer) + "'");
    EXPECT_NE(qml.find("name=\"outline_color\" value=\"" + std::string(g.outline) + "\""),
              std::string::npos)
        << qml;
    EXPECT_NE(qml.find("name=\"style\" value=\"no\""), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Grids, RunGeoPackage,
    ::testing::Values(GpkgGrid{"dkn_1km_bornholm",
                               gkDKN,
                               "1km",
                               {860000, 6100000},
                               {900000, 6150000},
                               "DKN_1km_euref89",
                               25832,
                               {"KN1kmDK"},
                               {OFTString},
                               1000,
                               40,
                               50,
                               {{0, {"1km_6100_860"}}, {1999, {"1km_6149_899"}}},
                               "255,0,0,255"},
                      GpkgGrid{"dkn_10km_bornholm_with_place_names",
                               gkDKN,
                               "10km",
                               {860000, 6100000},
                               {900000, 6150000},
                               "DKN_10km_euref89",
                               25832,
                               {"KN10kmDK", "Stednavn"},
                               {OFTString, OFTString},
                               10000,
                               4,
                               5,
                               {{2, {"10km_612_86", "Rønne N"}}, {7, {"10km_612_87", "Østerlars"}}},
                               "0,255,0,255"},
                      GpkgGrid{"eurogrid_100km",
                               gkEuroGrid,
                               "100km",
                               {2500000, 1400000},
                               {7400000, 5500000},
                               "EuroGrid_100km",
                               3035,
                               {"eoforigin", "noforigin"},
                               {OFTInteger64, OFTInteger64},
                               100000,
                               49,
                               41,
                               {{0, {"2500000", "1400000"}}, {2008, {"7300000", "5400000"}}},
                               "0,0,0,255"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
