// Grids with cell codes, parent cells, centre points and listed cells, written by
// the generation run and read back with GDAL; and the run's size estimates of such
// grids against the bytes really written.

#include "cell_codes.h"
#include "cell_list.h"
#include "cell_naming.h"
#include "generation_run.h"
#include "mitab.h"
#include "ogr_layer.h"
#include "run_preview.h"
#include "run_test_helpers.h"
#include "temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

using namespace quadrel;
namespace fs = std::filesystem;

namespace {

using testutil::MakeGrid;
using testutil::OgrLayer;
using testutil::Ring;
using testutil::RunInto;
using testutil::Square;

OgrLayer Read(const std::string& Path) {
    return testutil::ReadOgrLayer(Path, {.OnePolygonMultiIsPolygon = true});
}

// EuroGrid 1 km over 4321000..4324000 by 3209000..3211000 (3 by 2 cells).
TGridState EuroGrid1km(int32_t Format, TCellCodeStyle Code, bool Parents = false) {
    TGridState s = MakeGrid(gkEuroGrid, "1km", Format, {4321000, 3209000}, {4324000, 3211000});
    s.CellCode = Code;
    s.ParentCells = Parents;
    return s;
}

// The EuroGrid 1 km grid in each style: one field more, after the origins, as wide as
// the longest code; every cell named as the code's rules say.
TEST(CellCodeGrids, EuroGridOneKilometreInEachStyle) {
    const struct {
        TCellCodeStyle Style;
        const char* Field;
        int Width;
        const char* FirstCode;
    } cases[] = {
        {TCellCodeStyle::EEA, "CELLCODE", 13, "1kmE4321N3209"},
        {TCellCodeStyle::Inspire, "GRD_ID", 31, "CRS3035RES1000mN3209000E4321000"},
        {TCellCodeStyle::InspireShort, "GRD_ID", 13, "1kmN3209E4321"},
    };
    const TGridSize& km = *FindSizeByLabel(gkEuroGrid, "1km");
    for (const auto& c : cases) {
        for (int32_t format : {ftSHP, ftMIF}) {
            SCOPED_TRACE(std::string(c.Field) + (format == ftSHP ? " shp" : " mif"));
            testutil::TempDir dir;
            RunInto(dir, EuroGrid1km(format, c.Style));
            const OgrLayer layer =
                Read(dir / (format == ftSHP ? "EuroGrid_1km.shp" : "EuroGrid_1km.mif"));
            EXPECT_EQ(layer.FieldNames,
                      (std::vector<std::string>{"eoforigin", "noforigin", c.Field}));
            EXPECT_EQ(layer.FieldTypes[2], OFTString);
            EXPECT_EQ(layer.FieldWidths[2], c.Width);
            ASSERT_EQ(layer.Features.size(), 6u);
            EXPECT_EQ(layer.Features[0].Values[2], c.FirstCode);
            for (const auto& f : layer.Features)
                EXPECT_EQ(f.Values[2], EuroGridCode(c.Style, km, std::stoll(f.Values[0]),
                                                    std::stoll(f.Values[1])));
        }
    }
}

// DKN 100 m cells with their 1 km, 10 km and 100 km cells: a plain GROUP BY away from
// the sums per larger cell. The cells straddle the lines of 1 km, 10 km and 100 km.
TEST(CellCodeGrids, DknHundredMetresWithParents) {
    testutil::TempDir dir;
    TGridState s = MakeGrid(gkDKN, "100m", ftSHP, {699900, 6099900}, {700100, 6100100});
    s.ParentCells = true;
    RunInto(dir, s);
    const OgrLayer layer = Read(dir / "DKN_100m_euref89.shp");
    EXPECT_EQ(layer.FieldNames,
              (std::vector<std::string>{"KN100mDK", "KN1kmDK", "KN10kmDK", "KN100kmDK"}));
    EXPECT_EQ(layer.FieldWidths, (std::vector<int>{20, 20, 20, 20}));
    const std::vector<std::vector<std::string>> expected = {
        {"100m_60999_6999", "1km_6099_699", "10km_609_69", "100km_60_6"},
        {"100m_61000_6999", "1km_6100_699", "10km_610_69", "100km_61_6"},
        {"100m_60999_7000", "1km_6099_700", "10km_609_70", "100km_60_7"},
        {"100m_61000_7000", "1km_6100_700", "10km_610_70", "100km_61_7"},
    };
    ASSERT_EQ(layer.Features.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(layer.Features[i].Values, expected[i]);
    EXPECT_EQ(layer.Features[3].Outline, Square(700000, 6100000, 100));
}

// ---- Centre points -----------------------------------------------------------------

struct PointFormat {
    int32_t Tag;
    const char* File; // what GDAL opens
    bool Geometry;    // CSV holds the names only
};

const PointFormat PointFormats[] = {
    {ftSHP, ".shp", true},         {ftMIF, ".mif", true}, {ftGML, ".xml", true},
    {ftGeoJSON, ".geojson", true}, {ftKML, ".kml", true}, {ftCSV, ".csv", false},
    {ftTAB, ".tab", true},         {ftGPKG, ".gpkg", true},
};

// Every format but TAB, which needs the MITAB adapter (built beside the tests when
// GDAL is there).
bool Available(int32_t Tag) {
    if (Tag != ftTAB)
        return true;
    pwnet::LoadMitab();
#ifdef QUADREL_TEST_TAB
    EXPECT_FALSE(ResolveRunFormat(Tag).FellBack()) << "the MITAB adapter is built beside the tests";
#endif
    return !ResolveRunFormat(Tag).FellBack();
}

// Each cell as a point at its centre with the fields of its square, in every format
// of the run: MapInfo's points lose the LAEA false origin as its rings do, KML's lie
// at the longitude and latitude GDAL gives the centre.
TEST(CentrePoints, EveryFormatBothSystems) {
    for (const PointFormat& f : PointFormats) {
        if (!Available(f.Tag))
            continue;
        for (TGridKind kind : {gkDKN, gkEuroGrid}) {
            SCOPED_TRACE(std::string(f.File) + (kind == gkDKN ? " DKN" : " EuroGrid"));
            if (kind == gkEuroGrid && f.Tag == ftTAB)
                continue; // the window offers TAB for DKN only
            testutil::TempDir dir;
            TGridState s = kind == gkDKN ? testutil::SmallDkn(f.Tag) : EuroGrid1km(f.Tag, {});
            s.CentrePoints = true;
            s.ParentCells = true;
            RunInto(dir, s);
            const OgrLayer layer = Read(dir / (s.FilePrefix + f.File));
            ASSERT_EQ(layer.Features.size(), 6u);
            const std::vector<std::string> expectedFields =
                kind == gkDKN ? std::vector<std::string>{"KN1kmDK", "KN10kmDK", "KN100kmDK"}
                              : std::vector<std::string>{"eoforigin", "noforigin", "CC_10km",
                                                         "CC_100km", "CC_1000km"};
            if (f.Tag != ftKML) { // KML keeps the fields in each Placemark's description
                EXPECT_EQ(std::vector<std::string>(layer.FieldNames.end() - expectedFields.size(),
                                                   layer.FieldNames.end()),
                          expectedFields);
            }
            const pwnet::TFloatPoint shift = CoordinateShift(*FindRunFormat(f.Tag), kind);
            const testutil::GdalTransform toLonLat(GridEpsg(kind), 4326);
            const TGridExtent& e = s.GridExtent;
            size_t k = 0;
            for (int32_t i = 0; i < e.CellsX; ++i)
                for (int32_t j = 0; j < e.CellsY; ++j, ++k) {
                    const double x = e.X1 + i * 1000 + 500, y = e.Y1 + j * 1000 + 500;
                    const auto& feature = layer.Features[k];
                    if (!f.Geometry) {
                        EXPECT_TRUE(feature.Point.empty());
                        continue;
                    }
                    ASSERT_EQ(feature.Point.size(), 1u) << k;
                    EXPECT_TRUE(feature.Outline.empty());
                    auto [px, py] = feature.Point[0];
                    if (f.Tag == ftKML) {
                        const auto [lon, lat] = toLonLat(x, y);
                        EXPECT_NEAR(px, lon, 1e-9);
                        EXPECT_NEAR(py, lat, 1e-9);
                    } else {
                        EXPECT_EQ(px, x + shift.x);
                        EXPECT_EQ(py, y + shift.y);
                    }
                }
        }
    }
}

// A DKN centre point takes the outline colour of its size.
TEST(CentrePoints, DknSymbolsInTheOutlineColour) {
    testutil::TempDir dir;
    TGridState s = MakeGrid(gkDKN, "100m", ftMIF, {700000, 6100000}, {700100, 6100100});
    s.CentrePoints = true;
    RunInto(dir, s);
    const OgrLayer layer = Read(dir / "DKN_100m_euref89.mif");
    ASSERT_EQ(layer.Features.size(), 1u);
    EXPECT_NE(layer.Features[0].Style.find("c:#0000ff"), std::string::npos)
        << layer.Features[0].Style;
    EXPECT_EQ(layer.Features[0].Point, (Ring{{700050, 6100050}}));
}

// ---- Listed cells ------------------------------------------------------------------

// The names of a written grid, listed in another order, give back exactly its cells
// in the list's order: the same rings and the same names.
TEST(ListedCells, NamesOfAWrittenGridGiveBackItsCells) {
    const struct {
        const char* Name;
        TGridState Grid;
        std::string File;
        size_t NameField;
    } cases[] = {
        {"EuroGrid INSPIRE", EuroGrid1km(ftSHP, TCellCodeStyle::Inspire, true), "EuroGrid_1km.shp",
         2},
        {"EuroGrid EEA, shifted", EuroGrid1km(ftMIF, TCellCodeStyle::EEA), "EuroGrid_1km.mif", 2},
        {"DKN 10 km", MakeGrid(gkDKN, "10km", ftSHP, {860000, 6100000}, {900000, 6150000}),
         "DKN_10km_euref89.shp", 0},
        {"DKN 250 m in KML", MakeGrid(gkDKN, "250m", ftKML, {724000, 6175000}, {725000, 6175500}),
         "DKN_250m_euref89.kml", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        testutil::TempDir whole, listed;
        RunInto(whole, c.Grid);
        const OgrLayer original = Read(whole / c.File);
        ASSERT_GT(original.Features.size(), 1u);
        // KML keeps the names in its description: take them from the grid's own rule.
        std::vector<std::string> names;
        for (const auto& f : original.Features)
            names.push_back(f.Values.empty() ? "" : f.Values[c.NameField]);
        if (c.Grid.OutputFormatTag == ftKML) {
            names.clear();
            const TGridExtent& e = c.Grid.GridExtent;
            for (int32_t i = 0; i < e.CellsX; ++i)
                for (int32_t j = 0; j < e.CellsY; ++j)
                    names.push_back(CellName(gkDKN, {}, *c.Grid.Size(),
                                             static_cast<int64_t>(e.X1) + i * c.Grid.CellSize,
                                             static_cast<int64_t>(e.Y1) + j * c.Grid.CellSize));
        }
        std::vector<size_t> order(names.size());
        for (size_t k = 0; k < order.size(); ++k)
            order[k] = order.size() - 1 - k;
        std::ostringstream text;
        for (size_t k : order)
            text << names[k] << "\n";
        std::istringstream in(text.str());

        TGridState s = c.Grid;
        ChooseListedCells(s, std::make_shared<const TCellList>(ReadCellList(in)));
        RunInto(listed, s);
        const OgrLayer back = Read(listed / c.File);
        ASSERT_EQ(back.Features.size(), original.Features.size());
        EXPECT_EQ(back.FieldNames, original.FieldNames);
        // A KML Placemark's name counts the records; its description holds the fields.
        const size_t firstField = c.Grid.OutputFormatTag == ftKML ? 1 : 0;
        for (size_t k = 0; k < order.size(); ++k) {
            const auto& want = original.Features[order[k]];
            EXPECT_EQ(std::vector<std::string>(back.Features[k].Values.begin() + firstField,
                                               back.Features[k].Values.end()),
                      std::vector<std::string>(want.Values.begin() + firstField, want.Values.end()))
                << k;
            ASSERT_EQ(back.Features[k].Outline.size(), 5u);
            for (size_t p = 0; p < 5; ++p) {
                EXPECT_NEAR(back.Features[k].Outline[p].first, want.Outline[p].first, 1e-9);
                EXPECT_NEAR(back.Features[k].Outline[p].second, want.Outline[p].second, 1e-9);
            }
        }
    }
}

// ---- Size estimates ----------------------------------------------------------------

// The bytes of the files that grow with the cells: of the one with Extension, of the
// largest, of all.
struct TCellBytes {
    double Of = 0, Largest = 0, All = 0;
};
TCellBytes Bytes(const fs::path& Folder, const std::string& Extension = "") {
    TCellBytes b;
    for (const auto& e : fs::directory_iterator(Folder)) {
        const std::string ext = e.path().extension().string();
        // The side files and the table's header are no cell's bytes.
        if (ext == ".prj" || ext == ".avl" || ext == ".cpg" || ext == ".xsd" || ext == ".tab" ||
            ext == ".id")
            continue;
        const auto size = static_cast<double>(e.file_size());
        if (ext == Extension)
            b.Of += size;
        b.Largest = std::max(b.Largest, size);
        b.All += size;
    }
    return b;
}

// A grid of 2500 cells of each system, as squares or points, with codes and parents.
TGridState EstimatedGrid(int32_t Format, TGridKind Kind, bool Points, bool Codes) {
    TGridState s =
        Kind == gkDKN ? MakeGrid(gkDKN, "100m", Format, {700000, 6100000}, {705000, 6105000})
                      : MakeGrid(gkEuroGrid, "1km", Format, {4000000, 3000000}, {4050000, 3050000});
    s.CentrePoints = Points;
    s.ParentCells = Codes;
    s.CellCode = Codes ? TCellCodeStyle::Inspire : TCellCodeStyle::None;
    return s;
}

// What the run estimates for a grid and what its writer spent.
struct TMeasured {
    TRunEstimates Estimates;
    TCellBytes Written;
    double Room; // per cell: the widths of the text fields of codes and parents
};
TMeasured Measure(const TGridState& State, const char* GeometryFile) {
    testutil::TempDir dir;
    RunInto(dir, State);
    std::vector<TCellField> extra;
    AppendCodeFields(State, extra);
    double room = 0;
    for (const TCellField& field : extra)
        room += field.Width;
    return {EstimateGrid(*FindRunFormat(State.OutputFormatTag), State),
            Bytes(dir.path(), GeometryFile), room};
}

// The estimates cover what the writers spend on centre points and on code and parent
// fields, and stay close to it: the first estimate against the file of the geometry
// (and the largest file, which the fields may make the .dbf), the second against all
// files of the cells. Headers are no cell's bytes; short values leave part of a text
// field's width unused in the formats without fixed records.
TEST(CellEstimates, FollowTheRecordsWritten) {
    const struct {
        int32_t Tag;
        const char* GeometryFile;
    } formats[] = {{ftSHP, ".shp"}, {ftMIF, ".mif"},         {ftTAB, ".map"}, {ftGML, ".xml"},
                   {ftCSV, ".csv"}, {ftGeoJSON, ".geojson"}, {ftKML, ".kml"}};
    constexpr double Cells = 2500, Headers = 4096, Slack = 1.25, RoomPerCell = 16;
    for (const auto& f : formats) {
        if (!Available(f.Tag))
            continue;
        for (TGridKind kind : {gkDKN, gkEuroGrid}) {
            if (kind == gkEuroGrid && f.Tag == ftTAB)
                continue;
            for (bool codes : {false, true}) {
                SCOPED_TRACE(std::string(f.GeometryFile) +
                             (codes ? " points with codes" : " points") +
                             (kind == gkDKN ? " DKN" : " EuroGrid"));
                const TMeasured m =
                    Measure(EstimatedGrid(f.Tag, kind, true, codes), f.GeometryFile);
                const double room = (RoomPerCell + m.Room) * Cells;
                ASSERT_EQ(m.Estimates.Cells, Cells);
                EXPECT_GE(m.Estimates.First + Headers, m.Written.Of);
                EXPECT_LE(m.Estimates.First, m.Written.Largest * Slack + room);
                EXPECT_GE(m.Estimates.Second + Headers, m.Written.All);
                if (kind == gkEuroGrid) { // the DKN figure serves 10 km cells' place names too
                    EXPECT_LE(m.Estimates.Second, m.Written.All * Slack + room);
                }
            }
            // The squares' own estimates are the grid's of old: the fields add what they take.
            SCOPED_TRACE(std::string(f.GeometryFile) + " squares with codes" +
                         (kind == gkDKN ? " DKN" : " EuroGrid"));
            const TMeasured plain =
                Measure(EstimatedGrid(f.Tag, kind, false, false), f.GeometryFile);
            const TMeasured coded =
                Measure(EstimatedGrid(f.Tag, kind, false, true), f.GeometryFile);
            const double added = coded.Written.All - plain.Written.All;
            const double estimated = coded.Estimates.Second - plain.Estimates.Second;
            EXPECT_GE(estimated + Headers, added); // a dBASE header grows by 32 bytes a field
            EXPECT_LE(estimated, added * Slack + coded.Room * Cells);
            EXPECT_EQ(coded.Estimates.First - plain.Estimates.First, estimated);
        }
    }
    // DKN 10 km centre points with their place names, Denmark only.
    for (const auto& f : formats) {
        if (!Available(f.Tag))
            continue;
        SCOPED_TRACE(f.GeometryFile);
        TGridState s = MakeGrid(gkDKN, "10km", f.Tag, {440000, 6040000}, {900000, 6410000});
        s.CentrePoints = true;
        const TMeasured m = Measure(s, f.GeometryFile);
        EXPECT_GE(m.Estimates.Second + Headers, m.Written.All);
    }
}

} // namespace
