// The GeoPackage writer, read back by readers we did not write: GDAL/OGR for the
// layer, GDAL's GeoPackage validator, SQLite's integrity and R*Tree checks for the
// file and its packed spatial index, GDAL's XML parser for the style.

#include "gpkg_checks.h"
#include "readers.h"
#include "temp_dir.h"

#include <cpl_minixml.h>
#include <cstdlib>
#include <functional>
#include <random>

using namespace pwnet;
using namespace gwtest;
using testutil::GpkgValidatorComplaints;
using testutil::IntegrityCheck;
using testutil::RtreeCheck;
using testutil::SqlRows;
using testutil::SqlValue;

namespace {

// The file is valid for GDAL's validator and for SQLite, and its index is sound.
void ExpectValidGeoPackage(const std::string& Path, const std::string& Layer,
                           bool Features = true) {
    EXPECT_EQ(GpkgValidatorComplaints(Path), "");
    EXPECT_EQ(IntegrityCheck(Path), "ok");
    if (Features) {
        EXPECT_EQ(RtreeCheck(Path, "rtree_" + Layer + "_geom"), "ok");
    }
}

// A writer of Kind into Dir/Name with the fields given as (name, type, width, decimals).
struct FieldDef {
    const char* name;
    TGISField type;
    uint8_t width, decimals;
};
std::unique_ptr<TGISWrite> OpenWriter(const testutil::TempDir& Dir, const std::string& Name,
                                      TObjectTypes Kind, const std::vector<FieldDef>& Fields,
                                      int32_t Epsg = 25832, uint16_t Codepage = 1252) {
    auto w = NewWriter(gfGPKG, Dir / Name);
    w->epsg = Epsg;
    w->SetCodepage(Codepage); // GeoPackage text is UTF-8 whatever the code page
    w->StartHeader(static_cast<int32_t>(Fields.size()), Kind);
    for (const FieldDef& f : Fields)
        w->AddField(f.name, f.type, f.width, f.decimals);
    return w;
}

// ---- The layer as GDAL reads it ------------------------------------------------------

// DKN 10 km cells with place names: every cell in order with its values and ring,
// the fields with their types and widths, the grid's system and extent, and the
// GeoPackage's identity in the SQLite header.
TEST(GpkgWriter, CellsReadBackByGdal) {
    testutil::TempDir dir;
    auto w = OpenWriter(dir, "DKN_10km_euref89", otRegion,
                        {{"KN10kmDK", gfChar, 20, 0}, {"Stednavn", gfChar, 40, 0}});
    const std::vector<std::pair<std::string, std::string>> names = {
        {"10km_611_86", "Rønne S"}, {"10km_612_86", "Rønne N"}, {"10km_611_87", ""}};
    const double corners[][2] = {{860000, 6110000}, {860000, 6120000}, {870000, 6110000}};
    for (size_t i = 0; i < names.size(); ++i)
        AddCell(*w, "\"" + names[i].first + "\",\"" + names[i].second + "\"",
                Square(corners[i][0], corners[i][1], 10000));
    w->Close();
    EXPECT_EQ(w->WrittenRecords(), 3);

    const std::string path = dir / "DKN_10km_euref89.gpkg";
    EXPECT_EQ(testutil::FilesIn(dir.path()), std::set<std::string>{"DKN_10km_euref89.gpkg"});
    ExpectValidGeoPackage(path, "DKN_10km_euref89");
    EXPECT_EQ(SqlValue(path, "PRAGMA application_id"), "1196444487"); // 'GPKG'
    EXPECT_EQ(SqlValue(path, "PRAGMA user_version"), "10200");
    EXPECT_EQ(SqlValue(path, "PRAGMA journal_mode"), "delete"); // an ordinary file

    const OgrLayer layer = ReadWithOgr(path, "GPKG");
    ASSERT_EQ(layer.fields.size(), 2u);
    EXPECT_EQ(layer.fields[0].name, "KN10kmDK");
    EXPECT_EQ(layer.fields[0].type, OFTString);
    EXPECT_EQ(layer.fields[0].width, 20);
    EXPECT_EQ(layer.fields[1].name, "Stednavn");
    EXPECT_EQ(layer.fields[1].width, 40);
    EXPECT_EQ(layer.featureCount, 3);
    ASSERT_EQ(layer.features.size(), 3u);
    for (size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(i);
        const OgrFeature& f = layer.features[i];
        EXPECT_EQ(f.values, (std::vector<std::string>{names[i].first, names[i].second}));
        EXPECT_EQ(f.geometryType, "POLYGON");
        ASSERT_EQ(f.parts.size(), 1u);
        const Part square = Square(corners[i][0], corners[i][1], 10000);
        ASSERT_EQ(f.parts[0].size(), 5u);
        for (size_t k = 0; k < 5; ++k)
            EXPECT_EQ(f.parts[0][k], square[k]) << "point " << k;
    }
    EXPECT_EQ(layer.utmZone, 32);
    EXPECT_NE(layer.projection.find("AUTHORITY[\"EPSG\",\"25832\"]"), std::string::npos)
        << layer.projection;
    EXPECT_EQ(layer.extent.MinX, 860000);
    EXPECT_EQ(layer.extent.MaxX, 880000);
    EXPECT_EQ(layer.extent.MinY, 6110000);
    EXPECT_EQ(layer.extent.MaxY, 6130000);
    // gpkg_contents holds the same extent and names the layer
    EXPECT_EQ(
        SqlRows(path, "SELECT identifier, data_type, min_x, min_y, max_x, max_y, srs_id "
                      "FROM gpkg_contents WHERE table_name = 'DKN_10km_euref89'"),
        (std::vector<std::vector<std::string>>{{"DKN_10km_euref89", "features", "860000.0",
                                                "6110000.0", "880000.0", "6130000.0", "25832"}}));
    EXPECT_EQ(SqlValue(path, "SELECT organization || ':' || organization_coordsys_id || ' ' || "
                             "srs_name FROM gpkg_spatial_ref_sys WHERE srs_id = 25832"),
              "EPSG:25832 ETRS89 / UTM zone 32N");
}

// Each field type: its declared column type, what SQLite stores for a value, and
// the empty or malformed values that become NULL.
TEST(GpkgWriter, FieldTypesAndTheirValues) {
    struct Value {
        const char* text;   // in the attribute row
        const char* type;   // typeof() of what SQLite stores
        const char* stored; // the stored value as SQLite gives it as text
    };
    struct Case {
        FieldDef field;
        const char* declared; // the column's type
        OGRFieldType gdal;
        Value first, second; // the second mostly blank or malformed
    };
    const Case cases[] = {
        {{"name", gfChar, 12, 0},
         "TEXT(12)",
         OFTString,
         {"\"a,b \"\"c\"\"\"", "text", "a,b \"c\""},
         {"\"\"", "text", ""}},
        {{"free", gfChar, 0, 0}, "TEXT", OFTString, {"\"Ærø\"", "text", "Ærø"}, {"x", "text", "x"}},
        {{"count", gfInteger, 11, 0},
         "INTEGER",
         OFTInteger64,
         {"-42", "integer", "-42"},
         {"\" \"", "null", ""}},
        {{"small", gfSmallInt, 6, 0},
         "INTEGER",
         OFTInteger64,
         {"7", "integer", "7"},
         {"\"\"", "null", ""}},
        {{"origin", gfDecimal, 7, 0},
         "INTEGER",
         OFTInteger64,
         {"4321000", "integer", "4321000"},
         {"12.6", "integer", "13"}}, // rounded to the column's whole numbers
        {{"area", gfDecimal, 10, 2},
         "REAL",
         OFTReal,
         {"12.25", "real", "12.25"},
         {"\"\"", "null", ""}},
        // not a number: read as the dBASE table reads it, as far as it is one
        {{"ratio", gfFloat, 0, 0},
         "REAL",
         OFTReal,
         {"1.5e3", "real", "1500.0"},
         {"abc", "real", "0.0"}},
        {{"day", gfDate, 8, 0},
         "DATE",
         OFTDate,
         {"20240229", "text", "2024-02-29"},
         {"2024-02-29", "null", ""}},
        {{"at", gfTime, 9, 0},
         "TEXT(12)",
         OFTString,
         {"235959123", "text", "23:59:59.123"},
         {"2359", "null", ""}},
        {{"stamp", gfDateTime, 17, 0},
         "DATETIME",
         OFTDateTime,
         {"20240229235959123", "text", "2024-02-29T23:59:59.123Z"},
         {"\"\"", "null", ""}},
        {{"ok", gfLogical, 1, 0},
         "BOOLEAN",
         OFTInteger,
         {"Yes", "integer", "1"},
         {"no", "integer", "0"}},
    };
    std::vector<FieldDef> fields;
    std::string first, second;
    for (const Case& c : cases) {
        fields.push_back(c.field);
        first += std::string(first.empty() ? "" : ",") + c.first.text;
        second += std::string(second.empty() ? "" : ",") + c.second.text;
    }
    testutil::TempDir dir;
    auto w = OpenWriter(dir, "types", otPoint, fields);
    w->AddPoint(1, 2, first);
    w->AddPoint(3, 4, second);
    w->Close();
    const std::string path = dir / "types.gpkg";
    ExpectValidGeoPackage(path, "types");

    const auto columns = SqlRows(path, "SELECT name, type FROM pragma_table_info('types')");
    ASSERT_EQ(columns.size(), std::size(cases) + 2);
    EXPECT_EQ(columns[0], (std::vector<std::string>{"fid", "INTEGER"}));
    EXPECT_EQ(columns[1], (std::vector<std::string>{"geom", "POINT"}));
    const OgrLayer layer = ReadWithOgr(path, "GPKG");
    ASSERT_EQ(layer.fields.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.field.name);
        const std::string column = std::string("\"") + c.field.name + "\"";
        EXPECT_EQ(columns[i + 2], (std::vector<std::string>{c.field.name, c.declared}));
        EXPECT_EQ(
            SqlRows(path, "SELECT typeof(" + column + "), " + column + " FROM types ORDER BY fid"),
            (std::vector<std::vector<std::string>>{{c.first.type, c.first.stored},
                                                   {c.second.type, c.second.stored}}));
        EXPECT_EQ(layer.fields[i].type, c.gdal);
    }
    EXPECT_EQ(layer.features[0].values[9], "2024/02/29 23:59:59.123+00"); // read as UTC
}

// The layer's system: the grid's EPSG code with PROJ's definition, the code alone for
// one PROJ does not know, and the undefined Cartesian system for no code at all; the
// three systems every GeoPackage holds are always there.
TEST(GpkgWriter, SpatialReferenceSystems) {
    struct Case {
        int32_t epsg;
        const char* srsId;
        const char* rows;     // the systems in the table
        const char* wktStart; // of the definition; "" for none
        int gdalEpsg;         // what GDAL reads as the layer's code; 0 for none
    };
    const Case cases[] = {
        {25832, "25832", "-1 0 4326 25832", "PROJCS[\"ETRS89 / UTM zone 32N\"", 25832},
        {3035, "3035", "-1 0 3035 4326", "PROJCS[\"ETRS89", 3035},
        {4326, "4326", "-1 0 4326", "GEOGCS[\"WGS 84\"", 4326},
        {0, "-1", "-1 0 4326", "undefined", 0},
        {999999, "999999", "-1 0 4326 999999", "undefined", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.epsg);
        testutil::TempDir dir;
        auto w = OpenWriter(dir, "grid", otRegion, {}, c.epsg);
        AddCell(*w, "", Square(0, 0, 1));
        w->Close();
        const std::string path = dir / "grid.gpkg";
        ExpectValidGeoPackage(path, "grid");
        EXPECT_EQ(SqlValue(path, "SELECT srs_id FROM gpkg_geometry_columns"), c.srsId);
        EXPECT_EQ(SqlValue(path, "SELECT group_concat(srs_id, ' ') FROM "
                                 "(SELECT srs_id FROM gpkg_spatial_ref_sys ORDER BY srs_id)"),
                  c.rows);
        EXPECT_TRUE(SqlValue(path, "SELECT definition FROM gpkg_spatial_ref_sys WHERE srs_id = " +
                                       std::string(c.srsId))
                        .starts_with(c.wktStart));
        CPLPushErrorHandler(CPLQuietErrorHandler); // GDAL warns of the unknown code
        const OgrLayer layer = ReadWithOgr(path, "GPKG");
        CPLPopErrorHandler();
        const std::string authority = "AUTHORITY[\"EPSG\",\"" + std::to_string(c.gdalEpsg) + "\"]]";
        if (c.gdalEpsg) {
            EXPECT_TRUE(layer.projection.ends_with(authority)) << layer.projection;
        } else {
            EXPECT_EQ(layer.projection.find("AUTHORITY"), std::string::npos) << layer.projection;
        }
    }
}

// ---- Geometry types ------------------------------------------------------------------

struct GeometryCase {
    const char* name;
    TObjectTypes kind;
    std::function<void(TGISWrite&)> write;
    const char* columnType;                  // "" for a layer without geometry
    std::vector<std::string> gdalGeometries; // per feature, "" for none
    std::vector<size_t> parts;               // rings, lines or points per feature
};

void PrintTo(const GeometryCase& c, std::ostream* os) {
    *os << c.name;
}

void Ring(TGISWrite& w, int32_t Index, double X, double Y, double Size) {
    auto s = Section(Square(X, Y, Size));
    w.AddSection(Index, s);
}

class GpkgGeometry : public ::testing::TestWithParam<GeometryCase> {};

// The layer's type follows its objects, and every geometry in it has that type: a
// layer holding a multi geometry is of the multi type through and through.
TEST_P(GpkgGeometry, LayerTypeFollowsTheObjects) {
    const GeometryCase& c = GetParam();
    testutil::TempDir dir;
    auto w = OpenWriter(dir, "layer", c.kind, {{"id", gfInteger, 5, 0}});
    c.write(*w);
    w->Close();
    const std::string path = dir / "layer.gpkg";
    const bool features = *c.columnType != '\0';
    ExpectValidGeoPackage(path, "layer", features);
    EXPECT_EQ(SqlValue(path, "SELECT data_type FROM gpkg_contents WHERE table_name = 'layer'"),
              features ? "features" : "attributes");
    EXPECT_EQ(SqlValue(path, "SELECT geometry_type_name FROM gpkg_geometry_columns"), c.columnType);
    if (features) {
        EXPECT_EQ(SqlValue(path, "SELECT type FROM pragma_table_info('layer') WHERE name = 'geom'"),
                  c.columnType);
    }
    const OgrLayer layer = ReadWithOgr(path, "GPKG");
    ASSERT_EQ(layer.features.size(), c.gdalGeometries.size());
    for (size_t i = 0; i < layer.features.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(layer.features[i].values, std::vector<std::string>{std::to_string(i + 1)});
        EXPECT_EQ(layer.features[i].geometryType, c.gdalGeometries[i]);
        EXPECT_EQ(layer.features[i].parts.size(), c.parts[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Objects, GpkgGeometry,
    ::testing::Values(GeometryCase{"cells",
                                   otRegion,
                                   [](TGISWrite& w) {
                                       AddCell(w, "1", Square(0, 0, 1));
                                       AddCell(w, "2", Square(1, 0, 1));
                                   },
                                   "POLYGON",
                                   {"POLYGON", "POLYGON"},
                                   {1, 1}},
                      GeometryCase{"hole",
                                   otRegion,
                                   [](TGISWrite& w) {
                                       w.AddObject(2, false, "1");
                                       Ring(w, 0, 0, 0, 10);
                                       Ring(w, 1, 2, 2, 2);
                                   },
                                   "POLYGON",
                                   {"POLYGON"},
                                   {2}},
                      // the first object was written as a polygon before the second one needed
                      // two outer rings
                      GeometryCase{"two_outer_rings",
                                   otRegion,
                                   [](TGISWrite& w) {
                                       AddCell(w, "1", Square(0, 0, 1));
                                       w.AddObject(3, false, "2");
                                       Ring(w, 0, 5, 5, 1);
                                       Ring(w, 0, 7, 7, 3);
                                       Ring(w, 1, 8, 8, 1);
                                       AddCell(w, "3", Square(2, 0, 1));
                                   },
                                   "MULTIPOLYGON",
                                   {"MULTIPOLYGON", "MULTIPOLYGON", "MULTIPOLYGON"},
                                   {1, 3, 1}},
                      GeometryCase{"asked_for_multipolygon",
                                   otRegion,
                                   [](TGISWrite& w) {
                                       w.AddObject(1, true, "1");
                                       Ring(w, 0, 0, 0, 1);
                                   },
                                   "MULTIPOLYGON",
                                   {"MULTIPOLYGON"},
                                   {1}},
                      GeometryCase{"lines",
                                   otPline,
                                   [](TGISWrite& w) {
                                       w.AddLine(0, 0, 1, 1, "1");
                                       w.AddObject(1, false, "2");
                                       w.AddSection2(0, 1, 1, 2, 3);
                                   },
                                   "LINESTRING",
                                   {"LINESTRING", "LINESTRING"},
                                   {1, 1}},
                      GeometryCase{"lines_of_two_parts",
                                   otPline,
                                   [](TGISWrite& w) {
                                       w.AddLine(0, 0, 1, 1, "1");
                                       w.AddObject(2, false, "2");
                                       w.AddSection2(0, 1, 1, 2, 3);
                                       w.AddSection2(0, 5, 5, 6, 6);
                                   },
                                   "MULTILINESTRING",
                                   {"MULTILINESTRING", "MULTILINESTRING"},
                                   {1, 2}},
                      GeometryCase{"points",
                                   otPoint,
                                   [](TGISWrite& w) {
                                       w.AddPoint(440500, 6200500, "1");
                                       w.AddPoint(441500, 6200500, "2");
                                   },
                                   "POINT",
                                   {"POINT", "POINT"},
                                   {1, 1}},
                      GeometryCase{"points_and_a_pair",
                                   otPoint,
                                   [](TGISWrite& w) {
                                       w.AddPoint(0, 0, "1");
                                       w.AddObject(1, false, "2");
                                       w.AddSection2(0, 1, 1, 2, 2);
                                   },
                                   "MULTIPOINT",
                                   {"MULTIPOINT", "MULTIPOINT"},
                                   {1, 2}},
                      // an object without parts, an abandoned one and a point in a region file
                      GeometryCase{"without_geometry",
                                   otRegion,
                                   [](TGISWrite& w) {
                                       w.AddObject(0, false, "1");
                                       w.AddObject(2, false, "2");
                                       Ring(w, 0, 0, 0, 1);
                                       w.AddPoint(5, 5, "9"); // not a region: not taken
                                       AddCell(w, "3", Square(0, 0, 1));
                                   },
                                   "POLYGON",
                                   {"", "", "POLYGON"},
                                   {0, 0, 1}},
                      GeometryCase{"attributes_only",
                                   otNone,
                                   [](TGISWrite& w) {
                                       w.AddObject(0, false, "1");
                                       AddCell(w, "2", Square(0, 0, 1));
                                   },
                                   "",
                                   {"", ""},
                                   {0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- The packed spatial index --------------------------------------------------------

// Cells of 100 m, Rows to a column, column by column as the run writes them.
struct CellGrid {
    int64_t Count, Rows;
    double X(int64_t i) const { return 500000 + 100.0 * static_cast<double>(i / Rows); }
    double Y(int64_t i) const { return 6100000 + 100.0 * static_cast<double>(i % Rows); }
};

void WriteGrid(const testutil::TempDir& Dir, const CellGrid& G) {
    auto w = OpenWriter(Dir, "grid", otRegion, {{"n", gfInteger, 9, 0}});
    for (int64_t i = 0; i < G.Count; ++i)
        AddCell(*w, std::to_string(i + 1), Square(G.X(i), G.Y(i), 100));
    w->Close();
}

// The fids of the cells whose square meets the rectangle, found without an index.
std::vector<long long> CellsMeeting(const CellGrid& G, double X1, double Y1, double X2, double Y2) {
    std::vector<long long> fids;
    for (int64_t i = 0; i < G.Count; ++i)
        if (G.X(i) <= X2 && G.X(i) + 100 >= X1 && G.Y(i) <= Y2 && G.Y(i) + 100 >= Y1)
            fids.push_back(i + 1);
    return fids;
}

std::vector<long long> Numbers(const std::vector<std::vector<std::string>>& Rows) {
    std::vector<long long> out;
    for (const auto& r : Rows)
        out.push_back(std::atoll(r[0].c_str()));
    return out;
}

// A number of cells in terms of the node capacity C of SQLite's R*Tree:
// Leaves * C + Extra, or with Squared Leaves * C * C + Extra.
struct IndexSize {
    const char* name;
    int64_t Leaves;
    bool Squared;
    int64_t Extra;
};

void PrintTo(const IndexSize& s, std::ostream* os) {
    *os << s.name;
}

// The capacity of a node as this SQLite lays them out, learnt from a first file.
int64_t NodeCapacity() {
    static const int64_t capacity = [] {
        testutil::TempDir probe;
        WriteGrid(probe, {1, 1});
        const std::string size =
            SqlValue(probe / "grid.gpkg", "SELECT length(data) FROM rtree_grid_geom_node");
        return (std::atoll(size.c_str()) - 4) / 24; // a count, then id and box per cell
    }();
    return capacity;
}

class GpkgIndex : public ::testing::TestWithParam<IndexSize> {};

// Around the sizes where a packed tree changes shape (one leaf, one more than a
// leaf, a full two-level tree, one more): the module's own check passes, every cell
// is in the index exactly once, the tree is as deep as a packed tree of that many
// cells must be, and random windows find exactly the cells a search without the
// index finds, through SQL on the index and through GDAL's spatial filter.
TEST_P(GpkgIndex, PackedTreeIsSoundAndFindsExactlyTheCells) {
    const int64_t capacity = NodeCapacity();
    ASSERT_GE(capacity, 2);
    const IndexSize& s = GetParam();
    const int64_t count = s.Leaves * capacity * (s.Squared ? capacity : 1) + s.Extra;
    const CellGrid grid{count, 37};
    SCOPED_TRACE("cells " + std::to_string(count) + ", node capacity " + std::to_string(capacity));
    testutil::TempDir dir;
    WriteGrid(dir, grid);
    const std::string path = dir / "grid.gpkg";

    ExpectValidGeoPackage(path, "grid");
    EXPECT_EQ(SqlValue(path, "SELECT count(*) FROM rtree_grid_geom_rowid"), std::to_string(count));
    EXPECT_EQ(SqlValue(path, "SELECT count(DISTINCT id) FROM rtree_grid_geom"),
              std::to_string(count));
    int depth = 0;
    for (int64_t span = capacity; span < count; span *= capacity)
        ++depth;
    EXPECT_EQ(SqlValue(path, "SELECT hex(substr(data, 1, 2)) FROM rtree_grid_geom_node "
                             "WHERE nodeno = 1"),
              "000" + std::to_string(depth));

    std::mt19937 random(static_cast<unsigned>(count));
    const double width = 100.0 * static_cast<double>((count + 36) / 37);
    std::uniform_real_distribution<double> x(499000, 501000 + width), y(6099000, 6105000);
    for (int q = 0; q < 20; ++q) {
        double x1 = x(random), x2 = x(random), y1 = y(random), y2 = y(random);
        if (x1 > x2)
            std::swap(x1, x2);
        if (y1 > y2)
            std::swap(y1, y2);
        SCOPED_TRACE(testing::Message() << "window " << x1 << " " << y1 << " " << x2 << " " << y2);
        const std::vector<long long> expected = CellsMeeting(grid, x1, y1, x2, y2);
        char sql[256];
        std::snprintf(sql, sizeof sql,
                      "SELECT id FROM rtree_grid_geom WHERE maxx >= %.17g AND minx <= %.17g "
                      "AND maxy >= %.17g AND miny <= %.17g ORDER BY id",
                      x1, x2, y1, y2);
        EXPECT_EQ(Numbers(SqlRows(path, sql)), expected);
        if (q < 3) {
            const auto gdal = testutil::GdalSpatialFilter(path, "grid", x1, y1, x2, y2);
            EXPECT_TRUE(gdal.HasSpatialIndex);
            std::vector<long long> fids = gdal.Fids;
            std::sort(fids.begin(), fids.end());
            EXPECT_EQ(fids, expected);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, GpkgIndex,
                         ::testing::Values(IndexSize{"empty", 0, false, 0},
                                           IndexSize{"one_cell", 0, false, 1},
                                           IndexSize{"one_full_leaf", 1, false, 0},
                                           IndexSize{"a_leaf_and_one", 1, false, 1},
                                           IndexSize{"full_two_levels", 1, true, 0},
                                           IndexSize{"two_levels_and_one", 1, true, 1},
                                           IndexSize{"three_levels", 3, true, 17}),
                         [](const auto& info) { return std::string(info.param.name); });

// Later edits go through SQLite's R*Tree module, which must take the packed nodes as
// its own: entries removed and added by the module leave a sound tree.
TEST(GpkgIndex, ModuleEditsThePackedTree) {
    testutil::TempDir dir;
    WriteGrid(dir, {3000, 37});
    const std::string path = dir / "grid.gpkg";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const char* edits = "DELETE FROM rtree_grid_geom WHERE id BETWEEN 100 AND 1900;"
                        "INSERT INTO rtree_grid_geom VALUES (5000, 0, 1, 0, 1);"
                        "UPDATE rtree_grid_geom SET maxx = 600000 WHERE id = 2500;";
    EXPECT_EQ(sqlite3_exec(db, edits, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
    EXPECT_EQ(RtreeCheck(path, "rtree_grid_geom"), "ok");
    EXPECT_EQ(SqlValue(path, "SELECT count(*) FROM rtree_grid_geom"), "1200");
    EXPECT_EQ(SqlValue(path, "SELECT group_concat(id) FROM rtree_grid_geom WHERE minx <= 0.5"),
              "5000");
    EXPECT_EQ(SqlValue(path, "SELECT count(*) FROM rtree_grid_geom WHERE maxx >= 590000"), "1");
}

// The index's boxes are 32-bit floats: a coordinate that a float cannot hold is
// rounded outwards, so the box still holds its cell and a window on the cell finds it.
TEST(GpkgIndex, BoxesRoundOutwards) {
    testutil::TempDir dir;
    auto w = OpenWriter(dir, "fine", otRegion, {{"n", gfInteger, 9, 0}});
    const double x = 500000.123456789, y = 6100000.987654321;
    AddCell(*w, "1", Square(x, y, 0.25));
    w->Close();
    const std::string path = dir / "fine.gpkg";
    ExpectValidGeoPackage(path, "fine");
    const auto box = SqlRows(path, "SELECT minx, maxx, miny, maxy FROM rtree_fine_geom");
    ASSERT_EQ(box.size(), 1u);
    EXPECT_LE(std::stod(box[0][0]), x);
    EXPECT_GE(std::stod(box[0][1]), x + 0.25);
    EXPECT_LE(std::stod(box[0][2]), y);
    EXPECT_GE(std::stod(box[0][3]), y + 0.25);
    const auto gdal = testutil::GdalSpatialFilter(path, "fine", x, y, x + 0.01, y + 0.01);
    EXPECT_EQ(gdal.Fids, std::vector<long long>{1});
}

// ---- The default style for QGIS ---------------------------------------------------------

struct StyleCase {
    const char* name;
    TObjectTypes kind;
    uint32_t windowsColour; // 0x00BBGGRR, the pen's (the symbol's for points)
    const char *symbolType, *layerClass, *colourOption, *qgisColour, *sldColour;
};

// The QML's symbol layer options as name -> value, from the document GDAL's XML
// parser read; empty when the document is not well-formed.
std::map<std::string, std::string> SymbolOptions(const std::string& Qml, std::string& SymbolType,
                                                 std::string& LayerClass) {
    std::map<std::string, std::string> options;
    CPLXMLNode* root = CPLParseXMLString(Qml.c_str());
    if (!root)
        return options;
    const CPLXMLNode* symbol = CPLGetXMLNode(root, "=qgis.renderer-v2.symbols.symbol");
    if (symbol) {
        SymbolType = CPLGetXMLValue(symbol, "type", "");
        const CPLXMLNode* layer = CPLGetXMLNode(symbol, "layer");
        LayerClass = layer ? CPLGetXMLValue(layer, "class", "") : "";
        const CPLXMLNode* map = layer ? CPLGetXMLNode(layer, "Option") : nullptr;
        for (const CPLXMLNode* o = map ? map->psChild : nullptr; o; o = o->psNext)
            if (o->eType == CXT_Element && std::string(o->pszValue) == "Option")
                options[CPLGetXMLValue(o, "name", "")] = CPLGetXMLValue(o, "value", "");
        // the older form of the same options
        for (const CPLXMLNode* p = layer ? layer->psChild : nullptr; p; p = p->psNext)
            if (p->eType == CXT_Element && std::string(p->pszValue) == "prop") {
                EXPECT_EQ(options[CPLGetXMLValue(p, "k", "")], CPLGetXMLValue(p, "v", ""));
            }
    }
    CPLDestroyXMLNode(root);
    return options;
}

class GpkgStyle : public ::testing::TestWithParam<StyleCase> {};

// The layer_styles row QGIS applies when it opens the layer: well-formed documents
// naming the outline colour, the fill left transparent.
TEST_P(GpkgStyle, DefaultStyleNamesTheColour) {
    const StyleCase& c = GetParam();
    testutil::TempDir dir;
    auto w = NewWriter(gfGPKG, dir / "DKN_1km_euref89");
    w->Pen.Color = c.windowsColour;
    w->Symbol.Color = c.windowsColour;
    w->StartHeader(0, c.kind);
    w->Close();
    const std::string path = dir / "DKN_1km_euref89.gpkg";
    ExpectValidGeoPackage(path, "DKN_1km_euref89");

    const auto rows = SqlRows(path, "SELECT f_table_name, f_geometry_column, styleName, "
                                    "useAsDefault, styleQML, styleSLD FROM layer_styles");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "DKN_1km_euref89");
    EXPECT_EQ(rows[0][1], "geom");
    EXPECT_EQ(rows[0][2], "DKN_1km_euref89");
    EXPECT_EQ(rows[0][3], "1");
    std::string symbolType, layerClass;
    auto options = SymbolOptions(rows[0][4], symbolType, layerClass);
    ASSERT_FALSE(options.empty()) << rows[0][4];
    EXPECT_EQ(symbolType, c.symbolType);
    EXPECT_EQ(layerClass, c.layerClass);
    EXPECT_EQ(options[c.colourOption], c.qgisColour);
    if (c.kind == otRegion) {
        EXPECT_EQ(options["style"], "no"); // no fill: the map shows through
        EXPECT_EQ(options["outline_style"], "solid");
    }
    CPLXMLNode* sld = CPLParseXMLString(rows[0][5].c_str());
    ASSERT_NE(sld, nullptr) << rows[0][5];
    CPLDestroyXMLNode(sld);
    EXPECT_NE(rows[0][5].find(c.sldColour), std::string::npos) << rows[0][5];
    // QGIS lists the table of styles as a table of attributes
    EXPECT_EQ(
        SqlValue(path, "SELECT data_type FROM gpkg_contents WHERE table_name = 'layer_styles'"),
        "attributes");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, GpkgStyle,
    ::testing::Values(
        // DKN 1 km: OutlineColour red, 0xFF0000, reaches the writer as 0x0000FF
        StyleCase{"dkn_1km_cells", otRegion, 0x0000FF, "fill", "SimpleFill", "outline_color",
                  "255,0,0,255", "#ff0000"},
        // DKN 250 m: orange
        StyleCase{"dkn_250m_cells", otRegion, 0x00C0FF, "fill", "SimpleFill", "outline_color",
                  "255,192,0,255", "#ffc000"},
        StyleCase{"eurogrid_cells", otRegion, 0, "fill", "SimpleFill", "outline_color", "0,0,0,255",
                  "#000000"},
        StyleCase{"lines", otPline, 0xFF0000, "line", "SimpleLine", "line_color", "0,0,255,255",
                  "#0000ff"},
        StyleCase{"points", otPoint, 0x00FF00, "marker", "SimpleMarker", "color", "0,255,0,255",
                  "#00ff00"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
