// Tables written through the library in the TAB writer's call order and read back with
// GDAL's OGR: geometry, attributes, styles, coordinate system, bounds and charset.

#include "mitab_library.h"
#include "ogr_table.h"
#include "temp_dir.h"

#include <cpl_conv.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace mitabtest;
using Values = std::vector<std::optional<std::string>>;

namespace {

bool Exists(const testutil::TempDir& dir, const std::string& name) {
    return std::filesystem::exists(dir.path() / name);
}

// A DKN 1 km cell as the grid run hands it over: its identifier and its closed ring.
struct Cell {
    std::string id;
    Ring ring;
};

std::vector<Cell> DknCells() {
    std::vector<Cell> cells;
    for (int e = 440; e < 443; ++e)     // west to east
        for (int n = 6200; n < 6202; ++n) // south to north
            cells.push_back({"1km_" + std::to_string(n) + "_" + std::to_string(e),
                             Square(e * 1000.0, n * 1000.0, 1000)});
    return cells;
}

} // namespace

// The application's DKN 1 km run: one Char(20) field, one region per cell with pen and
// transparent brush, bounds passed as numbers.
TEST_F(MitabTest, DknRegionTableReadsBackCellForCell) {
    testutil::TempDir dir;
    const std::vector<Cell> cells = DknCells();
    const PenSpec pen{1, 2, 0x0000FF};
    {
        TableWriter table(dir / "KN1kmDK.tab", kDknClause, 6500000, 6000000, 1000000, 100000);
        ASSERT_NE(table.Handle(), nullptr);
        EXPECT_EQ(table.CharsetResult(), 0);
        EXPECT_EQ(table.Field("KN1kmDK", TABFT_Char, 20), 0);
        for (const Cell& cell : cells)
            EXPECT_EQ(table.Region({cell.id}, {{0, cell.ring}}, pen, BrushSpec{}), 1);
    }
    for (const char* name : {"KN1kmDK.tab", "KN1kmDK.map", "KN1kmDK.dat", "KN1kmDK.id"})
        EXPECT_TRUE(Exists(dir, name)) << name;

    OgrTable read(dir / "KN1kmDK.tab");
    ASSERT_TRUE(read.Ok());
    ASSERT_EQ(read.Count(), static_cast<long long>(cells.size()));
    const std::vector<FieldDef> fields = read.Fields();
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_EQ(fields[0].name, "KN1kmDK");
    EXPECT_EQ(fields[0].type, OFTString);
    EXPECT_EQ(fields[0].width, 20);

    const std::vector<Row> rows = read.Rows();
    ASSERT_EQ(rows.size(), cells.size());
    for (size_t i = 0; i < cells.size(); ++i) {
        SCOPED_TRACE(cells[i].id);
        EXPECT_EQ(rows[i].values, Values{cells[i].id});
        EXPECT_EQ(rows[i].geometryType, wkbPolygon);
        ASSERT_EQ(rows[i].polygons.size(), 1u);
        EXPECT_EQ(rows[i].polygons[0], std::vector<Ring>{cells[i].ring});

        const auto penParams = StyleParams(rows[i].style, "PEN");
        EXPECT_EQ(penParams.at("c"), "#0000ff");
        EXPECT_EQ(penParams.at("w"), "1px");
        EXPECT_EQ(MapInfoId(penParams.at("id"), "pen"), 2);
        const auto brushParams = StyleParams(rows[i].style, "BRUSH");
        EXPECT_EQ(brushParams.at("fc"), "#ffffff");
        EXPECT_EQ(MapInfoId(brushParams.at("id"), "brush"), 2);
        EXPECT_EQ(brushParams.count("bc"), 0u) << "a transparent brush has no background";
    }
}

// ---------------------------------------------------------------------------------------
// Coordinate systems

struct CoordSysCase {
    const char* name;
    const char* clause;
    void (*check)(OGRSpatialReferenceH srs);
    friend void PrintTo(const CoordSysCase& c, std::ostream* out) { *out << c.name; }
};

class MitabCoordSys : public MitabTest, public ::testing::WithParamInterface<CoordSysCase> {};

TEST_P(MitabCoordSys, LayerCarriesTheClausesReference) {
    testutil::TempDir dir;
    {
        TableWriter table(dir / "grid.tab", GetParam().clause);
        ASSERT_NE(table.Handle(), nullptr);
        table.Field("id", TABFT_Integer);
        table.Region({"1"}, {{0, Square(0, 0, 1)}});
    }
    OgrTable read(dir / "grid.tab");
    ASSERT_TRUE(read.Ok());
    ASSERT_NE(read.Srs(), nullptr);
    GetParam().check(read.Srs());
}

void ExpectEtrs89Utm32(OGRSpatialReferenceH srs) {
    OGRSpatialReferenceH epsg = OSRNewSpatialReference(nullptr);
    ASSERT_EQ(OSRImportFromEPSG(epsg, 25832), OGRERR_NONE);
    EXPECT_TRUE(OSRIsSame(srs, epsg));
    OSRDestroySpatialReference(epsg);
}

void ExpectUtm32OnGrs80(OGRSpatialReferenceH srs) {
    int north = 0;
    EXPECT_EQ(OSRGetUTMZone(srs, &north), 32);
    EXPECT_TRUE(north);
    OGRErr error = OGRERR_NONE;
    EXPECT_EQ(OSRGetSemiMajor(srs, &error), 6378137.0);
    EXPECT_NEAR(OSRGetInvFlattening(srs, &error), 298.257222101, 1e-9);
}

void ExpectEuroGridLaea(OGRSpatialReferenceH srs) {
    EXPECT_STREQ(OSRGetAttrValue(srs, "PROJECTION", 0), SRS_PT_LAMBERT_AZIMUTHAL_EQUAL_AREA);
    OGRErr error = OGRERR_NONE;
    EXPECT_EQ(OSRGetProjParm(srs, SRS_PP_LATITUDE_OF_CENTER, -1, &error), 52.0);
    EXPECT_EQ(OSRGetProjParm(srs, SRS_PP_LONGITUDE_OF_CENTER, -1, &error), 10.0);
    // The writer shifts the coordinates itself; the clause carries no false origin.
    EXPECT_EQ(OSRGetProjParm(srs, SRS_PP_FALSE_EASTING, -1, &error), 0.0);
    EXPECT_EQ(OSRGetProjParm(srs, SRS_PP_FALSE_NORTHING, -1, &error), 0.0);
    EXPECT_EQ(OSRGetSemiMajor(srs, &error), 6378137.0);
    EXPECT_NEAR(OSRGetInvFlattening(srs, &error), 298.257222101, 1e-9);
    EXPECT_NE(std::string(OSRGetAttrValue(srs, "DATUM", 0)).find("European"), std::string::npos);
}

void ExpectWgs84Geographic(OGRSpatialReferenceH srs) {
    EXPECT_TRUE(OSRIsGeographic(srs));
    OGRSpatialReferenceH wgs84 = OSRNewSpatialReference(nullptr);
    ASSERT_EQ(OSRImportFromEPSG(wgs84, 4326), OGRERR_NONE);
    const char* const options[] = {"IGNORE_DATA_AXIS_TO_SRS_AXIS_MAPPING=YES",
                                   "CRITERION=EQUIVALENT_EXCEPT_AXIS_ORDER_GEOGCRS", nullptr};
    EXPECT_TRUE(OSRIsSameEx(srs, wgs84, options));
    OSRDestroySpatialReference(wgs84);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MitabCoordSys,
    ::testing::Values(CoordSysCase{"Etrs89Utm32IsEpsg25832", kUtm32Etrs89, ExpectEtrs89Utm32},
                      CoordSysCase{"DknClauseIsUtm32OnGrs80", kDknClause, ExpectUtm32OnGrs80},
                      CoordSysCase{"EuroGridClauseIsLaea", kEuroGridClause, ExpectEuroGridLaea},
                      CoordSysCase{"EmptyClauseIsWgs84LongLat", "", ExpectWgs84Geographic},
                      CoordSysCase{"NullClauseIsWgs84LongLat", nullptr, ExpectWgs84Geographic}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Bounds. A TAB file stores integer coordinates spread over its bounds: inside them a
// 10 m wide table resolves nanometres, outside them coordinates are held at the edge.
// GDAL's default bounds for UTM span 60000 km and resolve only centimetres.

struct BoundsCase {
    const char* name;
    const char* clause;
    double north, south, east, west;
    friend void PrintTo(const BoundsCase& c, std::ostream* out) { *out << c.name; }
};

class MitabBounds : public MitabTest, public ::testing::WithParamInterface<BoundsCase> {};

TEST_P(MitabBounds, TableUsesTheGivenBounds) {
    const BoundsCase& c = GetParam();
    testutil::TempDir dir;
    const Ring fine = {{1.23456789, 2.3456789}, {1.23456789, 8.7654321}, {9.87654321, 8.7654321},
                       {1.23456789, 2.3456789}};
    const Ring beyond = {{2, 2}, {2, 25}, {40, 25}, {2, 2}};
    {
        TableWriter table(dir / "bounds.tab", c.clause, c.north, c.south, c.east, c.west);
        ASSERT_NE(table.Handle(), nullptr);
        table.Field("id", TABFT_Integer);
        EXPECT_EQ(table.Region({"1"}, {{0, fine}}), 1);
        EXPECT_EQ(table.Region({"2"}, {{0, beyond}}), 1);
    }
    OgrTable read(dir / "bounds.tab");
    ASSERT_TRUE(read.Ok());
    const std::vector<Row> rows = read.Rows();
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(rows[0].polygons.size(), 1u);
    const Ring got = rows[0].polygons[0][0];
    ASSERT_EQ(got.size(), fine.size());
    for (size_t i = 0; i < fine.size(); ++i) {
        EXPECT_NEAR(got[i].x, fine[i].x, 1e-7);
        EXPECT_NEAR(got[i].y, fine[i].y, 1e-7);
    }
    ASSERT_EQ(rows[1].polygons.size(), 1u);
    const Ring held = rows[1].polygons[0][0];
    ASSERT_EQ(held.size(), beyond.size());
    EXPECT_NEAR(held[1].y, 10.0, 1e-6) << "held at the northern bound";
    EXPECT_NEAR(held[2].x, 10.0, 1e-6) << "held at the eastern bound";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MitabBounds,
    ::testing::Values(BoundsCase{"GivenAsNumbers", kUtm32Etrs89, 10, 0, 10, 0},
                      BoundsCase{"GivenReversed", kUtm32Etrs89, 0, 10, 0, 10},
                      BoundsCase{"FromTheClausesBoundsPart",
                                 "CoordSys Earth Projection 8, 115, \"m\", 9, 0, 0.9996, 500000, "
                                 "0 Bounds (0, 0) (10, 10)",
                                 0, 0, 0, 0},
                      BoundsCase{"NumbersOverrideTheClause",
                                 "CoordSys Earth Projection 8, 115, \"m\", 9, 0, 0.9996, 500000, "
                                 "0 bounds (-5000, -5000) (5000, 5000)",
                                 10, 0, 10, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Parts: MITAB's numbering. Regions: a part > 0 is a hole in the last polygon, part 0 or
// a negative part opens a new polygon. Polylines: part 0 begins the line, parts > 0 add
// sections.

struct PartsCase {
    const char* name;
    int type;
    std::vector<PartSpec> parts;
    OGRwkbGeometryType expectedType;
    std::vector<std::vector<Ring>> expectedPolygons;
    std::vector<Ring> expectedLines;
    friend void PrintTo(const PartsCase& c, std::ostream* out) { *out << c.name; }
};

class MitabParts : public MitabTest, public ::testing::WithParamInterface<PartsCase> {};

TEST_P(MitabParts, ReadBackAsMitabNumberedThem) {
    const PartsCase& c = GetParam();
    testutil::TempDir dir;
    {
        TableWriter table(dir / "parts.tab", kUtm32Etrs89, 1000, 0, 1000, 0);
        ASSERT_NE(table.Handle(), nullptr);
        table.Field("id", TABFT_Char, 10);
        EXPECT_EQ(table.Object(c.type, {"x"}, c.parts), 1);
    }
    OgrTable read(dir / "parts.tab");
    ASSERT_TRUE(read.Ok());
    const std::vector<Row> rows = read.Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].geometryType, c.expectedType);
    EXPECT_EQ(rows[0].polygons, c.expectedPolygons);
    EXPECT_EQ(rows[0].lines, c.expectedLines);
}

const Ring kOuter = Square(100, 100, 300);
const Ring kHole = Square(150, 150, 50);
const Ring kIsland = Square(500, 100, 200);
const Ring kIslandHole = Square(550, 150, 20);
const Ring kLine1 = {{10, 10}, {20, 30}, {40, 30}};
const Ring kLine2 = {{50, 50}, {60, 70}};
const Ring kLine3 = {{80, 80}, {90, 95}, {99, 99}};

INSTANTIATE_TEST_SUITE_P(
    Cases, MitabParts,
    ::testing::Values(
        PartsCase{"RegionWithHole", TABFC_Region, {{0, kOuter}, {1, kHole}}, wkbPolygon,
                  {{kOuter, kHole}}, {}},
        PartsCase{"NegativePartOpensIsland", TABFC_Region, {{0, kOuter}, {-1, kIsland}},
                  wkbMultiPolygon, {{kOuter}, {kIsland}}, {}},
        // The writer's third section with Index -1 arrives as part -2.
        PartsCase{"HoleThenIsland", TABFC_Region, {{0, kOuter}, {1, kHole}, {-2, kIsland}},
                  wkbMultiPolygon, {{kOuter, kHole}, {kIsland}}, {}},
        PartsCase{"HoleInSecondIsland", TABFC_Region,
                  {{0, kOuter}, {1, kHole}, {-2, kIsland}, {3, kIslandHole}}, wkbMultiPolygon,
                  {{kOuter, kHole}, {kIsland, kIslandHole}}, {}},
        PartsCase{"PartZeroAgainOpensIsland", TABFC_Region, {{0, kOuter}, {0, kIsland}},
                  wkbMultiPolygon, {{kOuter}, {kIsland}}, {}},
        PartsCase{"SingleLine", TABFC_Polyline, {{0, kLine1}}, wkbLineString, {}, {kLine1}},
        PartsCase{"ThreeSections", TABFC_Polyline, {{0, kLine1}, {1, kLine2}, {2, kLine3}},
                  wkbMultiLineString, {}, {kLine1, kLine2, kLine3}},
        PartsCase{"PartZeroBeginsTheLineAnew", TABFC_Polyline,
                  {{0, kLine1}, {1, kLine2}, {0, kLine3}}, wkbLineString, {}, {kLine3}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Points and symbols

TEST_F(MitabTest, PointTableCarriesLocationsAndSymbols) {
    struct PointCase {
        XY where;
        SymbolSpec symbol;
    };
    const std::vector<PointCase> points = {{{440500.25, 6200500.75}, {33, 12, 0x000000}},
                                           {{441000, 6201000}, {34, 24, 0xFF0000}},
                                           {{442250.5, 6199999.5}, {67, 48, 0x00A0FF}}};
    testutil::TempDir dir;
    {
        TableWriter table(dir / "points.tab", kUtm32Etrs89, 6500000, 6000000, 1000000, 100000);
        ASSERT_NE(table.Handle(), nullptr);
        table.Field("n", TABFT_Integer);
        for (size_t i = 0; i < points.size(); ++i)
            EXPECT_EQ(table.Point({std::to_string(i)}, points[i].where, points[i].symbol), 1);
    }
    OgrTable read(dir / "points.tab");
    ASSERT_TRUE(read.Ok());
    const std::vector<Row> rows = read.Rows();
    ASSERT_EQ(rows.size(), points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].geometryType, wkbPoint);
        EXPECT_EQ(rows[i].point, points[i].where);
        const auto symbol = StyleParams(rows[i].style, "SYMBOL");
        ASSERT_FALSE(symbol.empty()) << rows[i].style;
        EXPECT_EQ(MapInfoId(symbol.at("id"), "sym"), points[i].symbol.number);
        EXPECT_EQ(symbol.at("s"), std::to_string(points[i].symbol.size) + "pt");
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%06x", points[i].symbol.color);
        EXPECT_EQ(symbol.at("c"), colour);
        EXPECT_EQ(StyleParams(rows[i].style, "PEN").size(), 0u) << "points have no pen";
    }
}

// ---------------------------------------------------------------------------------------
// Pens and brushes: MIF pen widths (pixels 1-7, 10 + tenths of a point above 10),
// patterns and colours as the driver reads them back.

struct StyleCase {
    const char* name;
    PenSpec pen;
    BrushSpec brush;
    const char* width;      // pen width as read back
    const char* background; // brush background, nullptr when transparent
    friend void PrintTo(const StyleCase& c, std::ostream* out) { *out << c.name; }
};

class MitabStyles : public MitabTest, public ::testing::WithParamInterface<StyleCase> {};

TEST_P(MitabStyles, RegionAndPolylineStylesReadBack) {
    const StyleCase& c = GetParam();
    testutil::TempDir dir;
    {
        TableWriter region(dir / "region.tab", kUtm32Etrs89, 1000, 0, 1000, 0);
        region.Field("id", TABFT_Integer);
        EXPECT_EQ(region.Region({"1"}, {{0, Square(10, 10, 10)}}, c.pen, c.brush), 1);
        TableWriter line(dir / "line.tab", kUtm32Etrs89, 1000, 0, 1000, 0);
        line.Field("id", TABFT_Integer);
        EXPECT_EQ(line.Polyline({"1"}, {{0, kLine1}}, c.pen), 1);
    }
    char penColour[8], fg[8], bg[8];
    std::snprintf(penColour, sizeof penColour, "#%06x", c.pen.color);
    std::snprintf(fg, sizeof fg, "#%06x", c.brush.fg);
    std::snprintf(bg, sizeof bg, "#%06x", c.brush.bg);
    for (const char* name : {"region.tab", "line.tab"}) {
        SCOPED_TRACE(name);
        OgrTable read(dir / name);
        ASSERT_TRUE(read.Ok());
        const std::string style = read.Rows().at(0).style;
        const auto pen = StyleParams(style, "PEN");
        ASSERT_FALSE(pen.empty()) << style;
        EXPECT_EQ(pen.at("w"), c.width);
        EXPECT_EQ(pen.at("c"), penColour);
        EXPECT_EQ(MapInfoId(pen.at("id"), "pen"), c.pen.pattern);
        const auto brush = StyleParams(style, "BRUSH");
        if (std::string(name) == "line.tab") {
            EXPECT_TRUE(brush.empty()) << "lines have no brush";
            continue;
        }
        ASSERT_FALSE(brush.empty()) << style;
        EXPECT_EQ(brush.at("fc"), fg);
        EXPECT_EQ(MapInfoId(brush.at("id"), "brush"), c.brush.pattern);
        if (c.background)
            EXPECT_EQ(brush.at("bc"), c.background);
        else
            EXPECT_EQ(brush.count("bc"), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MitabStyles,
    ::testing::Values(
        StyleCase{"DefaultPenTransparentBrush", {1, 2, 0}, {0xFFFFFF, 0, 2, 1}, "1px", nullptr},
        StyleCase{"WidePixelPen", {5, 2, 0xFF0000}, {0x00FF00, 0, 8, 1}, "5px", nullptr},
        StyleCase{"DashedPenHollowBrush", {3, 5, 0x123456}, {0xABCDEF, 0, 1, 1}, "3px", nullptr},
        StyleCase{"OpaqueBrushKeepsBackground", {2, 2, 0}, {0xFF8000, 0x0080FF, 5, 0}, "2px",
                  "#0080ff"},
        StyleCase{"ZeroWidthIsOnePixel", {0, 2, 0}, {}, "1px", nullptr},
        StyleCase{"PixelWidthHeldAtSeven", {9, 2, 0}, {}, "7px", nullptr},
        StyleCase{"PointWidth", {160, 2, 0x00FF00}, {}, "15pt", nullptr},
        StyleCase{"SmallPointWidthBecomesPixels", {35, 2, 0}, {}, "2px", nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// The nine field types: what GDAL's driver makes of each and the values read back from
// their text forms.

TEST_F(MitabTest, NineFieldTypesReadBackWithTheirValues) {
    struct FieldCase {
        const char* name;
        int type, width, decimals;
        OGRFieldType ogrType;
        int ogrWidth, ogrPrecision;
    };
    const std::vector<FieldCase> fields = {
        {"name", TABFT_Char, 12, 0, OFTString, 12, 0},
        {"count", TABFT_Integer, 0, 0, OFTInteger, 0, 0},
        {"small", TABFT_SmallInt, 0, 0, OFTInteger, 0, 0}, // the driver has no small integers
        {"amount", TABFT_Decimal, 12, 3, OFTReal, 12, 3},
        {"ratio", TABFT_Float, 0, 0, OFTReal, 0, 0},
        {"day", TABFT_Date, 0, 0, OFTDate, 10, 0},
        {"flag", TABFT_Logical, 0, 0, OFTString, 1, 0}, // read as T or F, as MapInfo logicals
        {"clock", TABFT_Time, 0, 0, OFTTime, 9, 0},
        {"stamp", TABFT_DateTime, 0, 0, OFTDateTime, 19, 0},
    };
    struct RowCase {
        std::vector<std::string> in;
        Values out;
    };
    const std::vector<RowCase> rows = {
        {{"Ribe", "42", "-7", "3.14159", "2.5e10", "20240131", "T", "134512345",
          "20240229235958500"},
         {"Ribe", "42", "-7", "3.142", "25000000000", "2024/01/31", "T", "13:45:12.345",
          "2024/02/29 23:59:58.500"}},
        {{"a name too long", " 17", "32767", "-0.5", "1.25", "2024/12/24", "t", "07:08:09",
          "1999/12/31 23:59:59"},
         {"a name too l", "17", "32767", "-0.500", "1.25", "2024/12/24", "T", "07:08:09",
          "1999/12/31 23:59:59"}},
        {{"", "abc", "0", "0", "-1e-3", "31/01/2024", "F", "000000000", "20000101000000000"},
         {"", "0", "0", "0.000", "-0.001", "2024/01/31", "F", "00:00:00",
          "2000/01/01 00:00:00"}},
        // Dates and times that cannot be read stay empty; anything not T is false.
        {{"x", "1", "1", "1", "1", "2024-13-01", "no", "25:00:00", "not a date"},
         {"x", "1", "1", "1.000", "1", std::nullopt, "F", std::nullopt, std::nullopt}},
        {{"z", "3", "3", "3", "3", "19700101", "T", "130013007", "20240101235959999"},
         {"z", "3", "3", "3.000", "3", "1970/01/01", "T", "13:00:13.007",
          "2024/01/01 23:59:59.999"}},
        {{"y", "2", "2", "2", "2", "", "", "", ""},
         {"y", "2", "2", "2.000", "2", std::nullopt, "F", std::nullopt, std::nullopt}},
    };
    testutil::TempDir dir;
    {
        TableWriter table(dir / "fields.tab", kUtm32Etrs89, 1000, 0, 1000, 0);
        ASSERT_NE(table.Handle(), nullptr);
        for (size_t i = 0; i < fields.size(); ++i)
            EXPECT_EQ(table.Field(fields[i].name, fields[i].type, fields[i].width,
                                  fields[i].decimals),
                      static_cast<int>(i));
        for (const RowCase& row : rows) EXPECT_EQ(table.Object(TABFC_NoGeom, row.in), 1);
    }
    OgrTable read(dir / "fields.tab");
    ASSERT_TRUE(read.Ok());
    const std::vector<FieldDef> defs = read.Fields();
    ASSERT_EQ(defs.size(), fields.size());
    for (size_t i = 0; i < fields.size(); ++i) {
        SCOPED_TRACE(fields[i].name);
        EXPECT_EQ(defs[i].name, fields[i].name);
        EXPECT_EQ(defs[i].type, fields[i].ogrType);
        EXPECT_EQ(defs[i].width, fields[i].ogrWidth);
        EXPECT_EQ(defs[i].precision, fields[i].ogrPrecision);
    }
    const std::vector<Row> got = read.Rows();
    ASSERT_EQ(got.size(), rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(got[r].values, rows[r].out);
    }
    const std::string tab = testutil::ReadFileBytes(dir.path() / "fields.tab");
    for (const char* line : {"name Char (12)", "amount Decimal (12,3)", "ratio Float",
                             "day Date", "flag Char (1)", "clock Time", "stamp DateTime"})
        EXPECT_NE(tab.find(line), std::string::npos) << line << " in\n" << tab;
}

// Widths and decimals outside MapInfo's limits are brought inside them.
TEST_F(MitabTest, FieldWidthsAreHeldToMapInfoLimits) {
    testutil::TempDir dir;
    {
        TableWriter table(dir / "widths.tab", kUtm32Etrs89, 1000, 0, 1000, 0);
        EXPECT_EQ(table.Field("wide", TABFT_Char, 300), 0);
        EXPECT_EQ(table.Field("unsized", TABFT_Char, 0), 1);
        EXPECT_EQ(table.Field("big", TABFT_Decimal, 30, 20), 2);
        EXPECT_EQ(table.Field("tight", TABFT_Decimal, 4, 4), 3);
        table.Object(TABFC_NoGeom, {"a", "b", "1.5", "1.5"});
    }
    OgrTable read(dir / "widths.tab");
    ASSERT_TRUE(read.Ok());
    const std::vector<FieldDef> defs = read.Fields();
    ASSERT_EQ(defs.size(), 4u);
    EXPECT_EQ(defs[0].width, 254);
    EXPECT_EQ(defs[1].width, 254);
    EXPECT_EQ(defs[2].width, 20);
    EXPECT_EQ(defs[2].precision, 16);
    EXPECT_EQ(defs[3].width, 4);
    EXPECT_EQ(defs[3].precision, 2);
    EXPECT_EQ(read.Rows().at(0).values, (Values{"a", "b", "1.5000000000000000", "1.50"}));
}

// ---------------------------------------------------------------------------------------
// Tables without geometry, without features, without fields

TEST_F(MitabTest, TableOfTypeNoneHoldsAttributesOnly) {
    testutil::TempDir dir;
    {
        TableWriter table(dir / "none.tab", kUtm32Etrs89, 1000, 0, 1000, 0);
        table.Field("name", TABFT_Char, 10);
        table.Field("n", TABFT_Integer);
        // Coordinates handed to a feature without geometry are ignored.
        EXPECT_EQ(table.Object(TABFC_NoGeom, {"first", "1"}, {{0, Square(1, 1, 1)}}), 1);
        EXPECT_EQ(table.Object(TABFC_NoGeom, {"second", "2"}), 1);
    }
    EXPECT_TRUE(Exists(dir, "none.tab"));
    EXPECT_TRUE(Exists(dir, "none.dat"));
    OgrTable read(dir / "none.tab");
    ASSERT_TRUE(read.Ok());
    const std::vector<Row> rows = read.Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].values, (Values{"first", "1"}));
    EXPECT_EQ(rows[1].values, (Values{"second", "2"}));
    for (const Row& row : rows) EXPECT_EQ(row.geometryType, wkbNone);
}

TEST_F(MitabTest, EmptyTablesAreReadable) {
    testutil::TempDir dir;
    {
        TableWriter withFields(dir / "fields.tab", kUtm32Etrs89, 1000, 0, 1000, 0);
        withFields.Field("name", TABFT_Char, 10);
        TableWriter bare(dir / "bare.tab", kUtm32Etrs89, 1000, 0, 1000, 0);
        TableWriter noFields(dir / "nofields.tab", kUtm32Etrs89, 1000, 0, 1000, 0);
        EXPECT_EQ(noFields.Region({}, {{0, Square(1, 1, 1)}}), 1);
    }
    OgrTable withFields(dir / "fields.tab");
    ASSERT_TRUE(withFields.Ok());
    EXPECT_EQ(withFields.Count(), 0);
    ASSERT_EQ(withFields.Fields().size(), 1u);
    EXPECT_EQ(withFields.Fields()[0].name, "name");

    // MapInfo tables need a column; MITAB adds an integer NDX to a table without one.
    for (const char* name : {"bare.tab", "nofields.tab"}) {
        SCOPED_TRACE(name);
        OgrTable read(dir / name);
        ASSERT_TRUE(read.Ok());
        ASSERT_EQ(read.Fields().size(), 1u);
        EXPECT_EQ(read.Fields()[0].name, "NDX");
        EXPECT_EQ(read.Fields()[0].type, OFTInteger);
    }
    OgrTable noFields(dir / "nofields.tab");
    ASSERT_EQ(noFields.Count(), 1);
    EXPECT_EQ(noFields.Rows().at(0).polygons, (std::vector<std::vector<Ring>>{{Square(1, 1, 1)}}));
}

// ---------------------------------------------------------------------------------------
// Character sets: text arrives in the table's code page and is stored in it.

struct CharsetCase {
    const char* name;
    const char* charset;
    int result;            // of mitab_c_set_charset
    const char* header;    // the table's !charset line
    std::string fieldName; // as handed over
    std::string value;     // as handed over
    std::string utf8Name;  // what GDAL reads back
    std::string utf8Value;
    friend void PrintTo(const CharsetCase& c, std::ostream* out) { *out << c.name; }
};

class MitabCharsets : public MitabTest, public ::testing::WithParamInterface<CharsetCase> {};

TEST_P(MitabCharsets, TextIsStoredInTheTablesCodePage) {
    const CharsetCase& c = GetParam();
    testutil::TempDir dir;
    {
        TableWriter table(dir / "text.tab", kUtm32Etrs89, 1000, 0, 1000, 0, c.charset);
        ASSERT_NE(table.Handle(), nullptr);
        EXPECT_EQ(table.CharsetResult(), c.result);
        EXPECT_EQ(table.Field(c.fieldName.c_str(), TABFT_Char, 40), 0);
        EXPECT_EQ(table.Object(TABFC_NoGeom, {c.value}), 1);
    }
    const std::string tab = testutil::ReadFileBytes(dir.path() / "text.tab");
    EXPECT_NE(tab.find(std::string("!charset ") + c.header), std::string::npos) << tab;
    EXPECT_NE(tab.find(c.fieldName), std::string::npos) << "the header holds the name as given";
    const std::string dat = testutil::ReadFileBytes(dir.path() / "text.dat");
    EXPECT_NE(dat.find(c.value), std::string::npos) << "the data holds the bytes as given";

    OgrTable read(dir / "text.tab");
    ASSERT_TRUE(read.Ok());
    ASSERT_EQ(read.Fields().size(), 1u);
    EXPECT_EQ(read.Fields()[0].name, c.utf8Name);
    EXPECT_EQ(read.Rows().at(0).values, Values{c.utf8Value});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MitabCharsets,
    ::testing::Values(
        // "Områdenavn" and "Ærø, Sønderborg, Åbenrå" in code page 1252.
        CharsetCase{"WindowsLatin1", "WindowsLatin1", 0, "WindowsLatin1", "Omr\xE5" "denavn",
                    "\xC6r\xF8, S\xF8nderborg, \xC5" "benr\xE5", "Områdenavn",
                    "Ærø, Sønderborg, Åbenrå"},
        CharsetCase{"NamesIgnoreCase", "windowslatin1", 0, "WindowsLatin1", "navn",
                    "\xE6\xF8\xE5", "navn", "æøå"},
        // The same letters in the DOS Nordic code page.
        CharsetCase{"CodePage865", "CodePage865", 0, "CodePage865", "navn", "\x92r\x9B",
                    "navn", "Ærø"},
        CharsetCase{"NeutralKeepsBytes", "Neutral", 0, "Neutral", "navn", "plain ascii",
                    "navn", "plain ascii"},
        // The driver has no UTF-8 charset: the table stays Neutral and keeps the bytes.
        CharsetCase{"Utf8StaysNeutral", "UTF-8", -1, "Neutral", "navn", "Ærø", "navn", "Ærø"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// MIF/MID through the same calls

TEST_F(MitabTest, MifKindWritesMifAndMid) {
    testutil::TempDir dir;
    {
        TableWriter table(dir / "grid.mif", kUtm32Etrs89, 0, 0, 0, 0, "WindowsLatin1", "mif");
        ASSERT_NE(table.Handle(), nullptr);
        table.Field("KN1kmDK", TABFT_Char, 20);
        EXPECT_EQ(table.Region({"1km_6200_440"}, {{0, Square(440000, 6200000, 1000)}}), 1);
    }
    EXPECT_TRUE(Exists(dir, "grid.mif"));
    EXPECT_TRUE(Exists(dir, "grid.mid"));
    OgrTable read(dir / "grid.mif");
    ASSERT_TRUE(read.Ok());
    const std::vector<Row> rows = read.Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].values, Values{"1km_6200_440"});
    EXPECT_EQ(rows[0].polygons,
              (std::vector<std::vector<Ring>>{{Square(440000, 6200000, 1000)}}));
}
