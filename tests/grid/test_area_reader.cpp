// Areas read from files through libquadrel_area.so: polygons of one layer in the
// grid's metres (checked against GDAL's own transformation), the choice of layer,
// the notices, the errors, mended polygons and buffers; and the built-in "Denmark
// land", whose cells must match GEOS cell by cell and hold the places it should.

#include "area_cells.h"
#include "area_reader.h"
#include "cell_naming.h"
#include "cellenavn.h"
#include "geos_cells.h"
#include "lonlat_points.h"
#include "ogr_layer.h"
#include "program_files.h"
#include "run_test_helpers.h"
#include "temp_dir.h"

#include <cmath>
#include <fstream>
#include <gdal.h>
#include <gtest/gtest.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <string>
#include <tuple>
#include <vector>

using namespace quadrel;
using namespace testutil;

namespace {

bool Mentions(const std::vector<std::string>& Texts, const std::string& Part) {
    for (const std::string& t : Texts)
        if (t.find(Part) != std::string::npos)
            return true;
    return false;
}

struct FixtureLayer {
    const char* Name;
    int Epsg; // 0: no coordinate system
    std::vector<const char*> Wkt;
};

// Writes the layers into a new file of GDAL's driver Driver.
void WriteLayers(const std::string& Path, const char* Driver,
                 const std::vector<FixtureLayer>& Layers) {
    GDALAllRegister();
    GDALDatasetH data =
        GDALCreate(GDALGetDriverByName(Driver), Path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    ASSERT_NE(data, nullptr) << Path;
    for (const FixtureLayer& l : Layers) {
        OGRSpatialReferenceH srs = nullptr;
        if (l.Epsg) {
            srs = OSRNewSpatialReference(nullptr);
            OSRImportFromEPSG(srs, l.Epsg);
        }
        // The layer declares the type its geometries share, as files usually do.
        OGRwkbGeometryType type = wkbUnknown;
        for (size_t k = 0; k < l.Wkt.size(); ++k) {
            OGRGeometryH g = nullptr;
            char* text = const_cast<char*>(l.Wkt[k]);
            OGR_G_CreateFromWkt(&text, nullptr, &g);
            const OGRwkbGeometryType t = OGR_G_GetGeometryType(g);
            type = k == 0 || t == type ? t : wkbUnknown;
            OGR_G_DestroyGeometry(g);
        }
        OGRLayerH layer = GDALDatasetCreateLayer(data, l.Name, srs, type, nullptr);
        ASSERT_NE(layer, nullptr);
        for (const char* wkt : l.Wkt) {
            OGRGeometryH g = nullptr;
            char* text = const_cast<char*>(wkt);
            ASSERT_EQ(OGR_G_CreateFromWkt(&text, srs, &g), OGRERR_NONE) << wkt;
            OGRFeatureH f = OGR_F_Create(OGR_L_GetLayerDefn(layer));
            OGR_F_SetGeometryDirectly(f, g);
            ASSERT_EQ(OGR_L_CreateFeature(layer, f), OGRERR_NONE);
            OGR_F_Destroy(f);
        }
        if (srs)
            OSRDestroySpatialReference(srs);
    }
    GDALClose(data);
}

TEST(AreaReader, PolygonsInTheGridsMetres) {
    TempDir dir;
    const std::string path = dir / "parks.gpkg";
    WriteLayers(path, "GPKG",
                {{"parks",
                  4326,
                  {"POLYGON ((12.50 55.60, 12.60 55.60, 12.60 55.70, 12.50 55.70, 12.50 55.60), "
                   "(12.52 55.62, 12.52 55.65, 12.55 55.65, 12.55 55.62, 12.52 55.62))",
                   "MULTIPOLYGON (((12.70 55.60, 12.75 55.65, 12.70 55.70, 12.70 55.60)), "
                   "((12.80 55.60, 12.85 55.60, 12.85 55.62, 12.80 55.60)))",
                   "LINESTRING (12.5 55.5, 12.6 55.5)", "POINT (12.5 55.5)"}}});
    std::vector<std::string> notices;
    const auto area = ReadAreaFile({path, "", 0}, 25832, &notices);
    EXPECT_EQ(area->Name, "parks.gpkg");
    EXPECT_EQ(area->Layer, ""); // the file's name says it
    EXPECT_EQ(area->Epsg, 25832);
    EXPECT_TRUE(Mentions(notices, "2 points and lines of layer \"parks\" are ignored"))
        << notices[0];

    // Outer rings counter-clockwise, the hole clockwise, each point where GDAL puts it.
    ASSERT_EQ(area->Rings.size(), 4u);
    EXPECT_GT(SignedArea(area->Rings[0]), 0);
    EXPECT_LT(SignedArea(area->Rings[1]), 0);
    EXPECT_GT(SignedArea(area->Rings[2]), 0);
    EXPECT_GT(SignedArea(area->Rings[3]), 0);
    const GdalTransform toGrid(4326, 25832);
    const auto corner = toGrid(12.50, 55.60);
    bool found = false;
    for (const auto& p : area->Rings[0])
        found |= std::fabs(p.x - corner.first) < 1e-6 && std::fabs(p.y - corner.second) < 1e-6;
    EXPECT_TRUE(found) << "the corner (12.50, 55.60) at " << corner.first << ", " << corner.second;
    EXPECT_EQ(area->Rings[0].size(), 4u); // the closing point is not repeated

    // The same file for EuroGrid: LAEA metres.
    const auto laea = ReadAreaFile({path, "", 0}, 3035);
    const auto expected = GdalTransform(4326, 3035)(12.50, 55.60);
    EXPECT_NEAR(laea->Rings[0][0].x, expected.first, 1e-6);
    EXPECT_NEAR(laea->Rings[0][0].y, expected.second, 1e-6);
}

TEST(AreaReader, LayerWithoutCoordinateSystemIsInTheGridsMetres) {
    TempDir dir;
    const std::string path = dir / "plot.shp";
    WriteLayers(path, "ESRI Shapefile",
                {{"plot",
                  0,
                  {"POLYGON ((440000 6200000, 441500 6200000, 441500 6201500, 440000 6200000))"}}});
    std::vector<std::string> notices;
    const auto area = ReadAreaFile({path, "", 0}, 25832, &notices);
    ASSERT_EQ(area->Rings.size(), 1u);
    EXPECT_EQ(area->Bounds().xmin, 440000);
    EXPECT_EQ(area->Bounds().ymax, 6201500);
    EXPECT_TRUE(Mentions(notices, "has no coordinate system")) << notices.size();
}

TEST(AreaReader, ChoosesTheFirstLayerWithPolygonsOrTheOneNamed) {
    TempDir dir;
    const std::string path = dir / "study.gpkg";
    WriteLayers(path, "GPKG",
                {{"roads", 25832, {"LINESTRING (440000 6200000, 441000 6201000)"}},
                 {"parks", 25832, {"POLYGON ((0 0, 10 0, 10 10, 0 0))"}},
                 {"lakes", 25832, {"POLYGON ((100 100, 110 100, 110 110, 100 100))"}}});
    std::vector<std::string> notices;
    const auto first = ReadAreaFile({path, "", 0}, 25832, &notices);
    EXPECT_EQ(first->Layer, "parks");
    EXPECT_EQ(first->Description(), "study.gpkg, layer parks");
    EXPECT_TRUE(Mentions(notices, "holds 3 layers; the area is read from layer \"parks\""));

    notices.clear();
    const auto lakes = ReadAreaFile({path, "lakes", 0}, 25832, &notices);
    EXPECT_EQ(lakes->Layer, "lakes");
    EXPECT_EQ(lakes->Bounds().xmin, 100);
    EXPECT_TRUE(notices.empty());
}

TEST(AreaReader, RefusesWhatIsNoArea) {
    TempDir dir;
    const std::string layers = dir / "layers.gpkg";
    WriteLayers(layers, "GPKG",
                {{"roads", 25832, {"LINESTRING (0 0, 1 1)", "LINESTRING (3 3, 4 4)"}},
                 {"parks", 25832, {"POLYGON ((0 0, 10 0, 10 10, 0 0))"}}});
    const std::string empty = dir / "empty.geojson";
    std::ofstream(empty) << R"({"type": "FeatureCollection", "features": []})";
    const std::string text = dir / "notes.txt";
    std::ofstream(text) << "not a map\n";
    struct Case {
        TAreaFile File;
        double Buffer;
        const char* Message;
    } cases[] = {
        {{dir / "missing.shp", "", 0}, 0, "Cannot open the area file \""},
        {{dir / "missing.shp", "", 0}, 0, "no such file"},
        {{text, "", 0}, 0, "Cannot open the area file"},
        {{layers, "nope", 0}, 0, "has no layer \"nope\"; its layers: \"roads\", \"parks\""},
        {{layers, "roads", 0}, 0, "Layer \"roads\" of \""},
        {{layers, "roads", 0}, 0, "holds no polygons (only points and lines)"},
        {{empty, "", 0}, 0, "holds no polygons"},
        {{layers, "parks", 0}, -50, "Nothing is left of the area"},
        {{layers, "parks", 0}, NAN, "The buffer must be a finite number of metres"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.Message);
        c.File.Buffer = c.Buffer;
        try {
            (void)ReadAreaFile(c.File, 25832);
            ADD_FAILURE() << "no error";
        } catch (const EAreaError& e) {
            EXPECT_NE(std::string(e.what()).find(c.Message), std::string::npos) << e.what();
        }
    }
}

// A bow-tie has no valid interior as drawn; GEOS mends it into its two triangles,
// which is what the cells then follow.
TEST(AreaReader, MendsInvalidPolygons) {
    TempDir dir;
    const std::string path = dir / "bowtie.shp";
    WriteLayers(path, "ESRI Shapefile",
                {{"bowtie", 25832, {"POLYGON ((0 0, 1000 1000, 1000 0, 0 1000, 0 0))"}}});
    std::vector<std::string> notices;
    const auto area = ReadAreaFile({path, "", 0}, 25832, &notices);
    EXPECT_TRUE(Mentions(notices, "1 invalid polygon of layer \"bowtie\" was mended"));
    double total = 0;
    for (const TAreaRing& r : area->Rings)
        total += SignedArea(r);
    EXPECT_DOUBLE_EQ(total, 500000); // two triangles of a quarter of the square each
    const Grid g{0, 0, 100, 10, 10};
    const GeosArea geos(
        {{{{0, 0}, {500, 500}, {0, 1000}}}, {{{1000, 0}, {500, 500}, {1000, 1000}}}});
    ExpectSameCells(geos.Covered(g), ByScanLine(area->Rings, g));
}

// A buffer grows the area by its distance (the cells nearer than it, within the
// error of the rounded corners' segments) or shrinks it.
TEST(AreaReader, Buffers) {
    TempDir dir;
    const std::string path = dir / "el.shp";
    // An L with a hole, so that the buffer grows into a concave corner and a hole.
    const char* wkt = "POLYGON ((0 0, 1000 0, 1000 400, 400 400, 400 1000, 0 1000, 0 0), "
                      "(100 100, 300 100, 300 300, 100 300, 100 100))";
    WriteLayers(path, "ESRI Shapefile", {{"el", 25832, {wkt}}});
    const Polygon el = {{{0, 0}, {1000, 0}, {1000, 400}, {400, 400}, {400, 1000}, {0, 1000}},
                        {{100, 100}, {300, 100}, {300, 300}, {100, 300}}};
    const GeosArea geos({el});
    const Grid g{-300, -300, 25, 64, 64};
    const auto grown = ReadAreaFile({path, "", 60}, 25832);
    EXPECT_EQ(grown->Description(), "el.shp with a 60 m buffer");
    const CellSet cells = ByScanLine(grown->Rings, g);
    // The segments of a 60 m arc come within 0.08 m of the circle.
    for (auto cell : geos.Nearer(g, 59.9))
        EXPECT_TRUE(cells.count(cell)) << "missing " << cell.first << "," << cell.second;
    const CellSet nearer = geos.Nearer(g, 60);
    for (auto cell : cells)
        EXPECT_TRUE(nearer.count(cell)) << "too far " << cell.first << "," << cell.second;

    // An island smaller than its buffer: buffered as a closed line, its ring would
    // get a hole of several square kilometres.
    TAreaRing round;
    std::string wkt25 = "POLYGON ((";
    for (int k = 0; k <= 25; ++k) {
        const double a = 2 * M_PI * (k % 25) / 25;
        if (k < 25)
            round.push_back({2000 * std::cos(a), 2000 * std::sin(a)});
        wkt25 += std::to_string(2000 * std::cos(a)) + " " + std::to_string(2000 * std::sin(a)) +
                 (k < 25 ? ", " : "))");
    }
    const std::string islet = dir / "islet.shp";
    WriteLayers(islet, "ESRI Shapefile", {{"islet", 25832, {wkt25.c_str()}}});
    const GeosArea island({{round}});
    const Grid around{-20000, -20000, 1000, 40, 40};
    const CellSet grownIslet = ByScanLine(ReadAreaFile({islet, "", 15000}, 25832)->Rings, around);
    for (auto cell : island.Nearer(around, 14980))
        EXPECT_TRUE(grownIslet.count(cell)) << "missing " << cell.first << "," << cell.second;
    const CellSet nearIslet = island.Nearer(around, 15000);
    for (auto cell : grownIslet)
        EXPECT_TRUE(nearIslet.count(cell)) << "too far " << cell.first << "," << cell.second;

    // Inwards, a square keeps its sharp corners.
    const std::string square = dir / "square.shp";
    WriteLayers(square, "ESRI Shapefile",
                {{"square", 25832, {"POLYGON ((0 0, 1000 0, 1000 1000, 0 1000, 0 0))"}}});
    const auto shrunk = ReadAreaFile({square, "", -50}, 25832);
    const GeosArea inner({{{{50, 50}, {950, 50}, {950, 950}, {50, 950}}}});
    ExpectSameCells(inner.Covered(g), ByScanLine(shrunk->Rings, g));
}

// --- Denmark land ------------------------------------------------------------------

const TBuiltInArea& DenmarkLand() {
    const TBuiltInArea* area = FindBuiltInArea("denmark LAND");
    EXPECT_NE(area, nullptr);
    return *area;
}

TGridState DknGrid(const char* Size) {
    TGridState s;
    s.ChooseGridKind(gkDKN);
    s.ChooseSize(FindSizeByLabel(gkDKN, Size)->Tag);
    return s;
}

TEST(DenmarkLand, HoldsDenmarkAndNothingElse) {
    TGridState state = DknGrid("1km");
    ChooseArea(state, ReadBuiltInArea(DenmarkLand(), 25832));
    EXPECT_EQ(state.Area->Description(), "Denmark land");
    // All of Denmark, Bornholm and Christiansø included, snapped outwards.
    EXPECT_EQ(state.GridExtent.X1, 441000);
    EXPECT_EQ(state.GridExtent.Y1, 6049000);
    EXPECT_EQ(state.GridExtent.X2, 894000);
    EXPECT_EQ(state.GridExtent.Y2, 6402000);

    const TLonLatPoints lonLat(25832);
    struct Place {
        const char* Name;
        double Lon, Lat; // or, with Lon 0, UTM 32N metres in Lat's place
        bool In;
        double X = 0, Y = 0;
    } places[] = {
        {"Copenhagen city hall", 0, 0, true, 724352, 6175804},
        {"Skagen", 10.5917, 57.7209, true},
        {"Rønne", 14.7069, 55.1009, true},
        {"Tønder", 8.8655, 54.9331, true},
        {"Christiansø", 15.1855, 55.3207, true},
        {"the middle of the Kattegat", 11.5, 56.95, false},
        {"Malmö", 13.0038, 55.6050, false},
        {"Flensburg", 9.4370, 54.7819, false},
    };
    for (Place& p : places) {
        SCOPED_TRACE(p.Name);
        pwnet::TFloatPoint m{p.X, p.Y};
        if (p.Lon != 0) {
            ASSERT_TRUE(lonLat.FromLonLat({p.Lon, p.Lat}, m));
        }
        EXPECT_EQ(CellIsWritten(state, m.x, m.y), p.In) << CellNameAt(state, m.x, m.y);
    }
}

// Denmark land read with OGR and decided by GEOS, in the grid's system.
std::vector<unsigned char> DenmarkLandWkb(int Epsg) {
    GDALAllRegister();
    const std::string path = ProgramDataFile("denmark_land.gpkg");
    GDALDatasetH data = GDALOpenEx(path.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
    EXPECT_NE(data, nullptr) << path;
    OGRLayerH layer = GDALDatasetGetLayer(data, 0);
    OGRFeatureH f = OGR_L_GetNextFeature(layer);
    OGRGeometryH g = OGR_G_Clone(OGR_F_GetGeometryRef(f));
    OGRSpatialReferenceH from = OSRClone(OGR_L_GetSpatialRef(layer));
    OGRSpatialReferenceH to = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(to, Epsg);
    OSRSetAxisMappingStrategy(from, OAMS_TRADITIONAL_GIS_ORDER);
    OSRSetAxisMappingStrategy(to, OAMS_TRADITIONAL_GIS_ORDER);
    OGRCoordinateTransformationH ct = OCTNewCoordinateTransformation(from, to);
    EXPECT_EQ(OGR_G_Transform(g, ct), OGRERR_NONE);
    std::vector<unsigned char> wkb(static_cast<size_t>(OGR_G_WkbSize(g)));
    OGR_G_ExportToWkb(g, wkbNDR, wkb.data());
    OCTDestroyCoordinateTransformation(ct);
    OSRDestroySpatialReference(from);
    OSRDestroySpatialReference(to);
    OGR_G_DestroyGeometry(g);
    OGR_F_Destroy(f);
    GDALClose(data);
    return wkb;
}

struct LandCase {
    const char* Name;
    int Epsg;
    Grid G;
};

void PrintTo(const LandCase& C, std::ostream* Out) {
    *Out << C.Name;
}

class DenmarkLandAgainstGeos : public testing::TestWithParam<LandCase> {};

TEST_P(DenmarkLandAgainstGeos, SameCells) {
    const LandCase& c = GetParam();
    const GeosArea geos(DenmarkLandWkb(c.Epsg));
    ASSERT_TRUE(geos.Valid());
    const auto area = ReadBuiltInArea(DenmarkLand(), c.Epsg);
    const CellSet expected = geos.Covered(c.G);
    EXPECT_FALSE(expected.empty());
    ExpectSameCells(expected, ByScanLine(area->Rings, c.G));
}

INSTANTIATE_TEST_SUITE_P(
    Grids, DenmarkLandAgainstGeos,
    testing::Values(LandCase{"Dkn10kmAll", 25832, {440000, 6040000, 10000, 46, 37}},
                    LandCase{"Dkn1kmOresund", 25832, {700000, 6140000, 1000, 60, 60}},
                    LandCase{"Dkn100mBorderWestOfTonder", 25832, {488000, 6082000, 100, 40, 40}},
                    LandCase{"Dkn100mChristianso", 25832, {891000, 6147000, 100, 20, 20}},
                    LandCase{"EuroGrid10kmAll", 3035, {4200000, 3500000, 10000, 50, 42}}),
    [](const auto& Info) { return std::string(Info.param.Name); });

// A 10 km grid of Denmark land as the run writes it, read back with GDAL: the cells
// GEOS finds, each named, in the run's order.
TEST(DenmarkLand, RunReadBackWithGdal) {
    TGridState state = DknGrid("10km");
    state.ChooseFormat(ftSHP);
    ChooseArea(state, ReadBuiltInArea(DenmarkLand(), 25832));
    TempDir dir;
    RunInto(dir, state);
    const OgrLayer layer = ReadOgrLayer(dir / "DKN_10km_euref89.shp");
    // The grid's cells are those GEOS finds (DenmarkLandAgainstGeos.Dkn10kmAll).
    const TGridExtent& e = state.GridExtent;
    const CellSet cells = ByScanLine(state.Area->Rings, {e.X1, e.Y1, 10000, e.CellsX, e.CellsY});
    ASSERT_EQ(layer.Features.size(), cells.size());
    size_t k = 0;
    for (auto [i, j] : cells) {
        const int32_t x = static_cast<int32_t>(e.X1) + i * 10000;
        const int32_t y = static_cast<int32_t>(e.Y1) + j * 10000;
        EXPECT_EQ(layer.Features[k].Values[0], CellId(state, x, y));
        EXPECT_EQ(layer.Features[k].Values[1], PlaceName(x, y));
        EXPECT_EQ(layer.Features[k].Outline, Square(x, y, 10000));
        ++k;
    }
}

// The EEA's country grids take the border plus 15 km: Malmö and Flensburg are then
// in, the middle of the Kattegat still out.
TEST(DenmarkLand, WithABuffer) {
    TGridState state = DknGrid("1km");
    ChooseArea(state, ReadBuiltInArea(DenmarkLand(), 25832, 15000));
    EXPECT_EQ(state.Area->Description(), "Denmark land with a 15000 m buffer");
    const TLonLatPoints lonLat(25832);
    for (auto [lon, lat, in] : {std::tuple{13.0038, 55.6050, true},
                                {9.4370, 54.7819, true},
                                {11.5, 56.95, false},
                                {14.7069, 55.1009, true}}) {
        pwnet::TFloatPoint m;
        ASSERT_TRUE(lonLat.FromLonLat({lon, lat}, m));
        EXPECT_EQ(CellIsWritten(state, m.x, m.y), in) << lon << " " << lat;
    }
    EXPECT_LT(state.GridExtent.X1, 441000 - 14000);
}

} // namespace
