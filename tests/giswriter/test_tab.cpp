// MapInfo TAB tables written by TGISWriteMITAB through the program's MITAB binding
// (the adapter beside this test program) and read back with GDAL's OGR: features,
// rings, values, field definitions, styles, coordinate system and bounds.

#include "mitab.h"
#include "ogr_style.h"
#include "pwnet_giswriter.h"
#include "readers.h"
#include "temp_dir.h"

#include <algorithm>
#include <cpl_conv.h>
#include <filesystem>
#include <gdal.h>
#include <gtest/gtest.h>
#include <map>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <string>
#include <vector>

using namespace pwnet;
using gwtest::Part;
using gwtest::Section;
using gwtest::Square;
using testutil::StyleParam;

namespace {

constexpr const char* DknCoordSys = "CoordSys Earth Projection 8, 33, \"m\", 9, 0, 0.9996, 500000, "
                                    "0 Bounds (100000, 6000000) (1000000,6500000)";
constexpr const char* EuroGridCoordSys = "CoordSys Earth Projection 29, 115, \"m\", 10, 52, 90 "
                                         "Bounds (-4321000, -3210000) (4179000, 4290000)";
// The EuroGrid clause has no false origin: the run shifts every coordinate by it.
constexpr double EuroShiftX = -4321000, EuroShiftY = -3210000;

using Feature = gwtest::OgrFeature;
using Table = gwtest::OgrLayer;

// One MapInfo table as GDAL's MapInfo driver reads it.
Table ReadTab(const std::string& path) {
    return gwtest::ReadWithOgr(path, "MapInfo File");
}

class TabTables : public ::testing::Test {
protected:
    void SetUp() override {
        LoadMitab();
        if (!MitabAvailable())
            GTEST_SKIP() << "no MITAB library beside the test program";
    }
    // A TAB writer from the factory, as the run gets it.
    std::unique_ptr<TGISWrite> Writer(const std::string& name, const std::string& coordSys) {
        auto w = TGISWrite::GetGISObject(gfMITAB);
        EXPECT_NE(dynamic_cast<TGISWriteMITAB*>(w.get()), nullptr);
        w->FileName = dir / name;
        w->CoordSys = coordSys;
        return w;
    }
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    testutil::TempDir dir;
};

// The application's DKN 1 km run: one Char(20) identifier, one region per cell,
// column by column from west to east, south to north within a column.
TEST_F(TabTables, DknOneKilometreGrid) {
    struct Cell {
        std::string id;
        Part ring;
    };
    std::vector<Cell> cells;
    for (int e = 440; e < 443; ++e)
        for (int n = 6200; n < 6204; ++n)
            cells.push_back({"1km_" + std::to_string(n) + "_" + std::to_string(e),
                             Square(e * 1000.0, n * 1000.0, 1000)});
    auto w = Writer("KN1kmDK", DknCoordSys);
    w->Brush = DefaultBrush;
    w->Pen = DefaultPen;
    w->Pen.Color = 0x0080FF; // orange as a Windows colour value (0x00BBGGRR)
    w->PRJ = "";
    w->StartHeader(1, otRegion);
    w->AddField("KN1kmDK", gfChar, 20, 0);
    for (const Cell& c : cells)
        gwtest::AddCell(*w, c.id, c.ring);
    w->Close();
    EXPECT_EQ(Files(), (std::vector<std::string>{"KN1kmDK.dat", "KN1kmDK.id", "KN1kmDK.map",
                                                 "KN1kmDK.tab"}));

    const Table t = ReadTab(dir / "KN1kmDK.tab");
    ASSERT_EQ(t.fields.size(), 1u);
    EXPECT_EQ(t.fields[0].name, "KN1kmDK");
    EXPECT_EQ(t.fields[0].type, OFTString);
    EXPECT_EQ(t.fields[0].width, 20);
    ASSERT_EQ(t.featureCount, static_cast<long long>(cells.size()));
    ASSERT_EQ(t.features.size(), cells.size());
    for (size_t i = 0; i < cells.size(); ++i) {
        SCOPED_TRACE(cells[i].id);
        const Feature& f = t.features[i];
        EXPECT_EQ(f.values, std::vector<std::string>{cells[i].id});
        EXPECT_EQ(f.geometryType, "POLYGON");
        EXPECT_EQ(f.polygons, std::vector<std::vector<Part>>{{cells[i].ring}});
        EXPECT_EQ(StyleParam(f.style, "PEN", "c"), "#ff8000");
        EXPECT_EQ(StyleParam(f.style, "PEN", "w"), "1px");
        EXPECT_NE(StyleParam(f.style, "PEN", "id").find("mapinfo-pen-2"), std::string::npos);
        EXPECT_EQ(StyleParam(f.style, "BRUSH", "fc"), "#ffffff");
        EXPECT_NE(StyleParam(f.style, "BRUSH", "id").find("mapinfo-brush-2"), std::string::npos);
        EXPECT_EQ(StyleParam(f.style, "BRUSH", "bc"), "") << "transparent: no background";
    }
    // MapInfo's datum 33 is read as a GRS 80 datum: UTM zone 32 north on GRS 80.
    EXPECT_EQ(t.utmZone, 32);
    EXPECT_TRUE(t.utmNorth);
    EXPECT_EQ(t.semiMajor, 6378137.0);
    EXPECT_NEAR(t.inverseFlattening, 298.257222101, 1e-9);
}

// The table's bounds are those of the clause: MapInfo stores integer coordinates
// spread over the bounds, so a coordinate beyond them is held at the edge, and inside
// them a millimetre survives (GDAL's default UTM bounds keep only centimetres).
TEST_F(TabTables, DknBoundsAreTheClausesBounds) {
    auto w = Writer("bounds", DknCoordSys);
    w->StartHeader(1, otRegion);
    w->AddField("n", gfInteger, 10, 0);
    gwtest::AddCell(*w, "1",
                    {{90000, 5990000},
                     {90000, 6510000},
                     {1010000, 6510000},
                     {1010000, 5990000},
                     {90000, 5990000}});
    gwtest::AddCell(*w, "2", Square(440000.001, 6200000.001, 999.998));
    w->Close();
    const Table t = ReadTab(dir / "bounds.tab");
    ASSERT_EQ(t.features.size(), 2u);
    ASSERT_EQ(t.features[0].polygons.size(), 1u);
    const Part held = t.features[0].polygons[0][0];
    const Part edges = {{100000, 6000000},
                        {100000, 6500000},
                        {1000000, 6500000},
                        {1000000, 6000000},
                        {100000, 6000000}};
    ASSERT_EQ(held.size(), edges.size());
    for (size_t i = 0; i < edges.size(); ++i) {
        EXPECT_NEAR(held[i].x, edges[i].x, 1e-3) << i;
        EXPECT_NEAR(held[i].y, edges[i].y, 1e-3) << i;
    }
    const Part fine = t.features[1].polygons.at(0).at(0);
    EXPECT_NEAR(fine[0].x, 440000.001, 2e-4);
    EXPECT_NEAR(fine[0].y, 6200000.001, 2e-4);
}

// DKN 10 km: identifier and place name, quoted (a name may hold a comma), stored in
// the table's Windows Latin 1 and read back as the same text.
TEST_F(TabTables, DknTenKilometreNamesInTheTablesCharset) {
    auto w = Writer("KN10kmDK", DknCoordSys);
    w->StartHeader(2, otRegion);
    w->AddField("KN10kmDK", gfChar, 20, 0);
    w->AddField("Stednavn", gfChar, 40, 0);
    gwtest::AddCell(*w, "\"10km_620_44\",\"Ærø, Søby\"", Square(440000, 6200000, 10000));
    gwtest::AddCell(*w, "\"10km_621_44\",\"Å \"\"Ny\"\"\"", Square(440000, 6210000, 10000));
    w->Close();
    const Table t = ReadTab(dir / "KN10kmDK.tab");
    ASSERT_EQ(t.fields.size(), 2u);
    EXPECT_EQ(t.fields[1].name, "Stednavn");
    EXPECT_EQ(t.fields[1].width, 40);
    ASSERT_EQ(t.features.size(), 2u);
    EXPECT_EQ(t.features[0].values, (std::vector<std::string>{"10km_620_44", "Ærø, Søby"}));
    EXPECT_EQ(t.features[1].values, (std::vector<std::string>{"10km_621_44", "Å \"Ny\""}));
    const std::string header = testutil::ReadFileBytes(dir.path() / "KN10kmDK.tab");
    EXPECT_NE(header.find("WindowsLatin1"), std::string::npos) << header;
}

// EuroGrid: the run hands over coordinates shifted by the false origin that the
// clause lacks; the table keeps them as given, inside the clause's shifted bounds,
// with the cell's unshifted origin as two Decimal(7,0) values.
TEST_F(TabTables, EuroGridWithItsShift) {
    auto w = Writer("EUgrid10km", EuroGridCoordSys);
    w->StartHeader(2, otRegion);
    w->AddField("eoforigin", gfDecimal, 7, 0);
    w->AddField("noforigin", gfDecimal, 7, 0);
    std::vector<std::pair<double, double>> origins;
    for (double e = 4320000; e < 4350000; e += 10000)
        for (double n = 3620000; n < 3640000; n += 10000)
            origins.push_back({e, n});
    for (const auto& [e, n] : origins)
        gwtest::AddCell(*w, FloatToStrDot(e) + "," + FloatToStrDot(n),
                        Square(e + EuroShiftX, n + EuroShiftY, 10000));
    w->Close();

    const Table t = ReadTab(dir / "EUgrid10km.tab");
    ASSERT_EQ(t.fields.size(), 2u);
    for (const auto& f : t.fields) {
        EXPECT_EQ(f.type, OFTReal) << f.name;
        EXPECT_EQ(f.width, 7) << f.name;
        EXPECT_EQ(f.precision, 0) << f.name;
    }
    ASSERT_EQ(t.features.size(), origins.size());
    for (size_t i = 0; i < origins.size(); ++i) {
        const auto [e, n] = origins[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(std::stod(t.features[i].values.at(0)), e);
        EXPECT_EQ(std::stod(t.features[i].values.at(1)), n);
        const Part ring = t.features[i].polygons.at(0).at(0);
        const Part expected = Square(e + EuroShiftX, n + EuroShiftY, 10000);
        ASSERT_EQ(ring.size(), expected.size());
        for (size_t k = 0; k < ring.size(); ++k) {
            EXPECT_NEAR(ring[k].x, expected[k].x, 1e-3);
            EXPECT_NEAR(ring[k].y, expected[k].y, 1e-3);
        }
    }
    EXPECT_NE(t.projection.find("Lambert_Azimuthal_Equal_Area"), std::string::npos) << t.projection;
    EXPECT_EQ(t.parameters.at(SRS_PP_LATITUDE_OF_CENTER), 52.0);
    EXPECT_EQ(t.parameters.at(SRS_PP_LONGITUDE_OF_CENTER), 10.0);
    EXPECT_EQ(t.parameters.at(SRS_PP_FALSE_EASTING), 0.0);
    EXPECT_EQ(t.parameters.at(SRS_PP_FALSE_NORTHING), 0.0);
    EXPECT_EQ(t.semiMajor, 6378137.0);
}

TEST_F(TabTables, PointTableWithSymbols) {
    struct Case {
        TFloatPoint where;
        TMISymbol symbol;
        const char* colour; // as GDAL gives it
    };
    const Case cases[] = {
        {{440500.25, 6200500.75}, DefaultSymbol, "#000000"},
        {{441000, 6201000}, {34, 0x0000FF, 24}, "#ff0000"},
        {{442250.5, 6199999.5}, {67, 0xFF8000, 48}, "#0080ff"},
    };
    auto w = Writer("points", DknCoordSys);
    w->StartHeader(1, otPoint);
    w->AddField("n", gfInteger, 10, 0);
    for (size_t i = 0; i < std::size(cases); ++i) {
        w->Symbol = cases[i].symbol;
        w->AddPoint2(cases[i].where, std::to_string(i + 1));
    }
    w->Close();
    const Table t = ReadTab(dir / "points.tab");
    ASSERT_EQ(t.features.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        const Feature& f = t.features[i];
        EXPECT_EQ(f.values, std::vector<std::string>{std::to_string(i + 1)});
        EXPECT_EQ(f.geometryType, "POINT");
        ASSERT_EQ(f.points.size(), 1u);
        EXPECT_NEAR(f.points[0].x, cases[i].where.x, 1e-3);
        EXPECT_NEAR(f.points[0].y, cases[i].where.y, 1e-3);
        EXPECT_NE(StyleParam(f.style, "SYMBOL", "id")
                      .find("mapinfo-sym-" + std::to_string(cases[i].symbol.Shape)),
                  std::string::npos)
            << f.style;
        EXPECT_EQ(StyleParam(f.style, "SYMBOL", "c"), cases[i].colour);
        EXPECT_EQ(StyleParam(f.style, "SYMBOL", "s"), std::to_string(cases[i].symbol.Size) + "pt");
    }
}

// Index -1 hands MITAB a negative part number: a new polygon rather than a hole.
TEST_F(TabTables, NegativeIndexMakesAnIslandAndZeroAHole) {
    const Part outer = Square(440000, 6200000, 3000), hole = Square(441000, 6201000, 1000),
               island = Square(450000, 6200000, 1000);
    auto w = Writer("parts", DknCoordSys);
    w->StartHeader(0, otRegion);
    w->AddObject(3, false, "");
    for (const auto& [index, ring] : {std::pair{0, outer}, {0, hole}, {-1, island}}) {
        auto s = Section(ring);
        w->AddSection(index, s);
    }
    w->Close();
    const Table t = ReadTab(dir / "parts.tab");
    ASSERT_EQ(t.features.size(), 1u);
    EXPECT_EQ(t.features[0].geometryType, "MULTIPOLYGON");
    EXPECT_EQ(t.features[0].polygons, (std::vector<std::vector<Part>>{{outer, hole}, {island}}));
}

// A table without geometry keeps only ".tab" and ".dat", and GDAL reads its rows.
TEST_F(TabTables, TableWithoutGeometry) {
    auto w = Writer("attributes", DknCoordSys);
    w->StartHeader(2, otNone);
    w->AddField("name", gfChar, 10, 0);
    w->AddField("ok", gfLogical, 1, 0);
    w->AddObject(0, false, "first,yes");
    w->AddObject(1, false, "second,no");
    auto ring = Section(Square(0, 0, 1));
    w->AddSection(0, ring); // ignored: no geometry in this table
    w->Close();
    EXPECT_EQ(Files(), (std::vector<std::string>{"attributes.dat", "attributes.tab"}));
    const Table t = ReadTab(dir / "attributes.tab");
    ASSERT_EQ(t.features.size(), 2u);
    EXPECT_EQ(t.features[0].values, (std::vector<std::string>{"first", "T"}));
    EXPECT_EQ(t.features[1].values, (std::vector<std::string>{"second", "F"}));
    for (const Feature& f : t.features)
        EXPECT_EQ(f.geometryType, "");
}

// A folder that cannot be written: the table is not created, nothing is raised, and
// the writer says so; Drop removes nothing that is not its own.
TEST_F(TabTables, FolderThatCannotBeWrittenGivesNoTable) {
    auto w = TGISWrite::GetGISObject(gfMITAB);
    auto* tab = dynamic_cast<TGISWriteMITAB*>(w.get());
    ASSERT_NE(tab, nullptr);
    const std::string folder = testutil::UnwritableFolder(dir);
    w->FileName = folder + "/grid";
    w->CoordSys = DknCoordSys;
    EXPECT_NO_THROW({
        w->StartHeader(1, otRegion);
        w->AddField("KN1kmDK", gfChar, 20, 0);
        gwtest::AddCell(*w, "1km_6200_440", Square(440000, 6200000, 1000));
        w->Close();
    });
    EXPECT_FALSE(tab->TableCreated());
    EXPECT_FALSE(std::filesystem::exists(folder + "/grid.tab"));

    // A folder that does not exist, a clause GDAL cannot read, and a folder in the
    // place of the ".tab" (which GDAL's driver would only find out when it closes the
    // table, leaving one without its header), the same.
    std::filesystem::create_directories(dir.path() / "blocked" / "grid.tab");
    for (const auto& [file, coordSys] :
         {std::pair<std::string, std::string>{dir / "missing/grid", DknCoordSys},
          {dir / "grid", "CoordSys Nonsense 1, 2"},
          {dir / "blocked/grid", DknCoordSys}}) {
        SCOPED_TRACE(file + " " + coordSys);
        TGISWriteMITAB other;
        other.FileName = file;
        other.CoordSys = coordSys;
        other.StartHeader(1, otRegion);
        other.AddField("id", gfChar, 10, 0);
        gwtest::AddCell(other, "a", Square(440000, 6200000, 1000));
        other.Close();
        EXPECT_FALSE(other.TableCreated());
        EXPECT_FALSE(std::filesystem::is_regular_file(file + ".tab"));
        for (const char* ext : {".map", ".dat", ".id"})
            EXPECT_FALSE(std::filesystem::exists(file + ext)) << ext;
    }
}

} // namespace
