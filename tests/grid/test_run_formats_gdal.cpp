// The run's formats without a menu item (CSV, KML, GeoJSON), GML and GeoPackage:
// real grids from the generation run read back with GDAL. GML, GeoJSON and
// GeoPackage name the grid's EPSG code over grid metres; KML holds WGS 84 longitude
// and latitude, checked against GDAL's own transformation and against a landmark of
// Copenhagen.

#include "generation_run.h"
#include "lonlat_columns.h"
#include "ogr_layer.h"
#include "pwnet_functions.h"
#include "run_test_helpers.h"
#include "temp_dir.h"

#include <cmath>
#include <filesystem>
#include <gdal.h>
#include <gtest/gtest.h>
#include <ogr_api.h>
#include <set>

using namespace quadrel;
namespace fs = std::filesystem;

namespace {

using testutil::FilesIn;
using testutil::GdalTransform;
using testutil::MakeGrid;
using testutil::OgrFeature;
using testutil::OgrLayer;
using testutil::Ring;
using testutil::RunInto;
using testutil::Square;

// The layer as GDAL reads it; a multipolygon of one polygon counts as the polygon.
OgrLayer ReadWithGdal(const std::string& Path) {
    return testutil::ReadOgrLayer(Path, {.OnePolygonMultiIsPolygon = true});
}

// ---- The corners in longitude and latitude ---------------------------------------------

TEST(LonLatColumns, CornersAgreeWithGdalAndNeighboursShareThem) {
    struct Case {
        const char* name;
        int32_t epsg;
        double x1, y1;
        int64_t size;
        int32_t rows;
    };
    const Case cases[] = {
        {"DKN 1 km", 25832, 440000, 6200000, 1000, 3},
        {"DKN 100 km", 25832, 400000, 6000000, 100000, 5},
        {"EuroGrid 10 km", 3035, 4300000, 3200000, 10000, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const GdalTransform toLonLat(c.epsg, 4326);
        TLonLatColumns columns(c.epsg, c.x1, c.y1, c.size, c.rows);
        pwnet::TFloatPointArrayEx ring, below;
        ring.Pnt.resize(5);
        below.Pnt.resize(5);
        // in order, then a jump ahead and one back: the same corners either way
        for (int32_t i : {0, 1, 2, 5, 1}) {
            columns.SetColumn(i);
            for (int32_t j = 0; j < c.rows; ++j) {
                columns.FillRing(ring, j);
                ASSERT_EQ(ring.Count, 5);
                const double x = c.x1 + static_cast<double>(i * c.size);
                const double y = c.y1 + static_cast<double>(j * c.size);
                const Ring grid = Square(x, y, static_cast<double>(c.size));
                for (int k = 0; k < 5; ++k) {
                    const auto [lon, lat] = toLonLat(grid[k].first, grid[k].second);
                    EXPECT_NEAR(ring.Pnt[k].x, lon, 1e-9) << i << "," << j << " corner " << k;
                    EXPECT_NEAR(ring.Pnt[k].y, lat, 1e-9) << i << "," << j << " corner " << k;
                }
                EXPECT_EQ(ring.Pnt[4], ring.Pnt[0]); // closed
                if (j > 0) {
                    // the cell's lower corners are the upper ones of the cell below, exactly
                    EXPECT_EQ(ring.Pnt[0], below.Pnt[1]);
                    EXPECT_EQ(ring.Pnt[3], below.Pnt[2]);
                }
                below.Pnt = ring.Pnt;
            }
        }
    }
}

TEST(LonLatColumns, SystemPROJCannotTransformIsRefused) {
    EXPECT_THROW(TLonLatColumns(999999, 0, 0, 1000, 1), Exception);
}

// ---- Whole grids ---------------------------------------------------------------------------

struct FormatCase {
    const char* name;
    int32_t format;
    std::vector<std::string> files;
    bool hasGeometry;
    bool lonLat;
    int epsgRead; // what GDAL reads as the layer's EPSG code; -1: not checked
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

class RunFormatsReadByGdal : public ::testing::TestWithParam<FormatCase> {};

// DKN 10 km over Bornholm (two fields, place names) and EuroGrid 10 km over
// 4320000..4340000 by 3210000..3230000: every cell with its name, column by column,
// the ring in grid metres or, for KML, in longitude and latitude of the same corners.
TEST_P(RunFormatsReadByGdal, DknAndEuroGridGrids) {
    const FormatCase& c = GetParam();
    struct Grid {
        TGridKind kind;
        const char* size;
        TCornerPoint a, b;
        std::string prefix;
        int epsg;
        std::vector<std::string> fields;
        std::vector<std::vector<std::string>> names; // in run order
        std::vector<std::pair<double, double>> corners;
        double cellSize;
    };
    const Grid grids[] = {
        {gkDKN,
         "10km",
         {860000, 6110000},
         {880000, 6130000},
         "DKN_10km_euref89",
         25832,
         {"KN10kmDK", "Stednavn"},
         {{"10km_611_86", "Rønne S"},
          {"10km_612_86", "Rønne N"},
          {"10km_611_87", "Aakirkeby"},
          {"10km_612_87", "Østerlars"}},
         {{860000, 6110000}, {860000, 6120000}, {870000, 6110000}, {870000, 6120000}},
         10000},
        {gkEuroGrid,
         "10km",
         {4320000, 3210000},
         {4340000, 3230000},
         "EuroGrid_10km",
         3035,
         {"eoforigin", "noforigin"},
         {{"4320000", "3210000"},
          {"4320000", "3220000"},
          {"4330000", "3210000"},
          {"4330000", "3220000"}},
         {{4320000, 3210000}, {4320000, 3220000}, {4330000, 3210000}, {4330000, 3220000}},
         10000},
    };
    for (const Grid& g : grids) {
        SCOPED_TRACE(g.prefix);
        testutil::TempDir dir;
        RunInto(dir, MakeGrid(g.kind, g.size, c.format, g.a, g.b));
        std::set<std::string> expectedFiles;
        for (const auto& ext : c.files)
            expectedFiles.insert(g.prefix + ext);
        EXPECT_EQ(FilesIn(dir.path()), expectedFiles);

        const std::string main = dir / (g.prefix + c.files[0]);
        const OgrLayer layer = ReadWithGdal(main);
        ASSERT_EQ(layer.Features.size(), g.names.size());
        const GdalTransform toGrid(4326, g.epsg);
        for (size_t i = 0; i < g.names.size(); ++i) {
            SCOPED_TRACE(i);
            const OgrFeature& f = layer.Features[i];
            if (c.lonLat) {
                // KML: the name and description fields of GDAL's KML reader
                std::string description;
                for (size_t k = 0; k < g.fields.size(); ++k)
                    description += g.fields[k] + ": " + g.names[i][k] + "<br>";
                ASSERT_GE(f.Values.size(), 2u);
                EXPECT_EQ(f.Values[0], "Record: " + std::to_string(i));
                EXPECT_NE(f.Values[1].find(description), std::string::npos) << f.Values[1];
            } else {
                EXPECT_EQ(layer.FieldNames, g.fields);
                std::vector<std::string> values = g.names[i];
                if (c.format == ftCSV) // text in the writer's code page, 1252
                    for (auto& v : values)
                        v = pwnet::UnicodeToCodePage(v, 1252);
                EXPECT_EQ(f.Values, values);
            }
            if (!c.hasGeometry) {
                EXPECT_TRUE(f.Outline.empty());
                continue;
            }
            const Ring square = Square(g.corners[i].first, g.corners[i].second, g.cellSize);
            if (!c.lonLat) {
                EXPECT_EQ(f.Outline, square);
                continue;
            }
            ASSERT_EQ(f.Outline.size(), 5u);
            for (int k = 0; k < 5; ++k) {
                const auto [x, y] = toGrid(f.Outline[k].first, f.Outline[k].second);
                EXPECT_NEAR(x, square[k].first, 1e-3) << "corner " << k;
                EXPECT_NEAR(y, square[k].second, 1e-3) << "corner " << k;
            }
        }
        if (c.epsgRead >= 0) {
            EXPECT_EQ(layer.Epsg, c.epsgRead == 0 ? g.epsg : c.epsgRead);
        }
        if (c.format == ftGML) {
            const std::string xml = testutil::ReadFileBytes(main);
            EXPECT_NE(xml.find("srsName = 'epsg:" + std::to_string(g.epsg) + "'"),
                      std::string::npos);
            EXPECT_EQ(xml.find("epsg:4326"), std::string::npos);
            // Through its schema GDAL does not scan the geometries for their system;
            // the collection alone it scans, and finds the grid's.
            fs::create_directory(dir / "alone");
            fs::copy_file(main, dir / ("alone/" + g.prefix + ".xml"));
            EXPECT_EQ(ReadWithGdal(dir / ("alone/" + g.prefix + ".xml")).Epsg, g.epsg);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, RunFormatsReadByGdal,
    ::testing::Values(
        // GDAL takes the GML's fields from its schema; the srsName is checked in the text
        FormatCase{"gml", ftGML, {".xml", ".xsd"}, true, false, -1},
        FormatCase{"csv", ftCSV, {".csv"}, false, false, -1},
        FormatCase{"kml", ftKML, {".kml"}, true, true, 4326},
        // 0: the grid system's own code, from the crs member
        FormatCase{"geojson", ftGeoJSON, {".geojson"}, true, false, 0},
        FormatCase{"gpkg", ftGPKG, {".gpkg"}, true, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The DKN cell named for the ground under Copenhagen's city hall: in the KML grid its
// polygon, in longitude and latitude, holds the city hall, and its neighbours do not.
TEST(RunFormatsReadByGdal, DknKmlCellLandsOnItsSpotInDenmark) {
    const double lon = 12.5683, lat = 55.6761; // Copenhagen city hall
    const auto [x, y] = GdalTransform(4326, 25832)(lon, lat);
    const double cellX = std::floor(x / 1000) * 1000, cellY = std::floor(y / 1000) * 1000;
    const std::string id = "1km_" + std::to_string(static_cast<int>(cellY / 1000)) + "_" +
                           std::to_string(static_cast<int>(cellX / 1000));
    ASSERT_EQ(id, "1km_6175_724"); // where the grid puts it

    testutil::TempDir dir;
    RunInto(dir, MakeGrid(gkDKN, "1km", ftKML, {cellX - 1000, cellY - 1000},
                          {cellX + 2000, cellY + 2000}));
    GDALAllRegister();
    GDALDatasetH ds = GDALOpenEx((dir / "DKN_1km_euref89.kml").c_str(), GDAL_OF_VECTOR, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(ds, nullptr);
    OGRLayerH layer = GDALDatasetGetLayer(ds, 0);
    EXPECT_EQ(OGR_L_GetFeatureCount(layer, TRUE), 9);
    OGRGeometryH hall = OGR_G_CreateGeometry(wkbPoint);
    OGR_G_SetPoint_2D(hall, 0, lon, lat);
    int holding = 0;
    std::string holder;
    while (OGRFeatureH f = OGR_L_GetNextFeature(layer)) {
        OGRGeometryH g = OGR_G_Clone(OGR_F_GetGeometryRef(f));
        OGR_G_FlattenTo2D(g);
        // every cell lies in Denmark, on Zealand
        OGREnvelope e;
        OGR_G_GetEnvelope(g, &e);
        EXPECT_GT(e.MinX, 12.5);
        EXPECT_LT(e.MaxX, 12.65);
        EXPECT_GT(e.MinY, 55.65);
        EXPECT_LT(e.MaxY, 55.71);
        if (OGR_G_Contains(g, hall)) {
            ++holding;
            holder = OGR_F_GetFieldAsString(f, OGR_F_GetFieldIndex(f, "description"));
        }
        OGR_G_DestroyGeometry(g);
        OGR_F_Destroy(f);
    }
    OGR_G_DestroyGeometry(hall);
    GDALClose(ds);
    EXPECT_EQ(holding, 1);
    EXPECT_NE(holder.find("KN1kmDK: " + id + "<br>"), std::string::npos) << holder;
}

} // namespace
