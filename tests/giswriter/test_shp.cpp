// The shapefile writer: exact ".shp"/".shx" bytes for the worked examples, the side
// files, and grids read back by shapelib and by GDAL in code pages 1252 and 65001.

#include "readers.h"
#include "temp_dir.h"

using namespace pwnet;
using namespace gwtest;

namespace {

std::unique_ptr<TGISWrite> NewShp(const testutil::TempDir& dir, uint16_t codepage = 1252) {
    auto w = NewWriter(gfSHP, dir / "grid");
    w->SetCodepage(codepage);
    return w;
}

// The 100-byte header of ".shp" and ".shx".
Bytes Header(uint32_t lengthWords, uint32_t shapeType, double xmin, double ymin, double xmax,
             double ymax) {
    Bytes b;
    b.be32(9994).zeros(20).be32(lengthWords).le32(1000).le32(shapeType);
    b.f64(xmin).f64(ymin).f64(xmax).f64(ymax).zeros(32);
    return b;
}

const double Unset = static_cast<double>(1.0e38f);

// The worked example: one polygon of one ring of five points.
TEST(ShpBytes, OnePolygonGivesTheExampleRecordAndIndex) {
    testutil::TempDir dir;
    auto w = NewShp(dir);
    w->StartHeader(1, otRegion);
    w->AddField("KN1kmDK", gfChar, 20, 0);
    const Part ring = Square(440000, 6200000, 1000);
    AddCell(*w, "1km_6200_440", ring);
    w->Close();

    Bytes shp = Header(118, 5, 440000, 6200000, 441000, 6201000);
    shp.be32(1).be32(64).le32(5).f64(440000).f64(6200000).f64(441000).f64(6201000);
    shp.le32(1).le32(5).le32(0);
    for (const auto& p : ring)
        shp.f64(p.x).f64(p.y);
    EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.shp"), shp.str());

    Bytes shx = Header(54, 5, 440000, 6200000, 441000, 6201000);
    shx.be32(50).be32(64);
    EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.shx"), shx.str());

    EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.prj"), DefaultPRJ);
    EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.cpg"), "1252");
}

TEST(ShpBytes, FileWithoutObjectsHasEmptyBounds) {
    testutil::TempDir dir;
    auto w = NewShp(dir);
    w->StartHeader(1, otPline);
    w->AddField("a", gfChar, 5, 0);
    w->Close();
    const auto expected = Header(50, 3, Unset, Unset, -Unset, -Unset).str();
    EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.shp"), expected);
    EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.shx"), expected);
}

TEST(ShpBytes, ObjectWithoutPartsIsANullShape) {
    testutil::TempDir dir;
    auto w = NewShp(dir);
    w->StartHeader(1, otRegion);
    w->AddField("a", gfChar, 5, 0);
    w->AddObject(0, false, "none");
    w->Close();
    Bytes shp = Header(56, 5, Unset, Unset, -Unset, -Unset);
    shp.be32(1).be32(2).le32(0);
    EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.shp"), shp.str());
    Bytes shx = Header(54, 5, Unset, Unset, -Unset, -Unset);
    shx.be32(50).be32(2);
    EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.shx"), shx.str());
    EXPECT_EQ(ReadDbf(dir / "grid.dbf").rows.size(), 1u);
}

TEST(ShpBytes, PolylineOfTwoPartsIndexesItsParts) {
    testutil::TempDir dir;
    auto w = NewShp(dir);
    w->StartHeader(1, otPline);
    w->AddField("a", gfChar, 5, 0);
    w->AddObject(2, false, "l");
    auto a = Section({{1, 5}, {2, 6}});
    auto b = Section({{0, 7}, {3, 4}, {2, 2}});
    w->AddSection(0, a);
    w->AddSection(0, b);
    w->Close();
    Bytes shp = Header((100 + 8 + 132) / 2, 3, 0, 2, 3, 7);
    shp.be32(1).be32(66).le32(3).f64(0).f64(2).f64(3).f64(7).le32(2).le32(5).le32(0).le32(2);
    for (const auto& p : Part{{1, 5}, {2, 6}, {0, 7}, {3, 4}, {2, 2}})
        shp.f64(p.x).f64(p.y);
    EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.shp"), shp.str());
}

// One-part objects are built straight into the 1 MiB stream window, the others
// part by part: a file of some 2.8 MB mixing both, with empty objects and rings of
// other lengths among them, crosses that window twice and must hold exactly the
// records of the layout, and an index that points at them.
TEST(ShpBytes, ManyRecordsAcrossWindowsKeepTheLayout) {
    testutil::TempDir dir;
    auto w = NewShp(dir);
    w->StartHeader(1, otRegion);
    w->AddField("a", gfChar, 5, 0);
    Bytes records, index;
    uint32_t offset = 100;
    double xmin = Unset, ymin = Unset, xmax = -Unset, ymax = -Unset;
    auto expectRecord = [&](uint32_t number, const std::vector<Part>& parts) {
        uint32_t points = 0;
        for (const Part& p : parts)
            points += static_cast<uint32_t>(p.size());
        const uint32_t content =
            parts.empty() ? 4 : 44 + 4 * static_cast<uint32_t>(parts.size()) + 16 * points;
        records.be32(number).be32(content / 2);
        index.be32(offset / 2).be32(content / 2);
        offset += 8 + content;
        if (parts.empty()) {
            records.le32(0);
            return;
        }
        double bx0 = Unset, by0 = Unset, bx1 = -Unset, by1 = -Unset;
        for (const Part& p : parts)
            for (const TFloatPoint& q : p)
                bx0 = std::min(bx0, q.x), by0 = std::min(by0, q.y), bx1 = std::max(bx1, q.x),
                by1 = std::max(by1, q.y);
        xmin = std::min(xmin, bx0), ymin = std::min(ymin, by0);
        xmax = std::max(xmax, bx1), ymax = std::max(ymax, by1);
        records.le32(5).f64(bx0).f64(by0).f64(bx1).f64(by1);
        records.le32(static_cast<uint32_t>(parts.size())).le32(points);
        uint32_t start = 0;
        for (const Part& p : parts) {
            records.le32(start);
            start += static_cast<uint32_t>(p.size());
        }
        for (const Part& p : parts)
            for (const TFloatPoint& q : p)
                records.f64(q.x).f64(q.y);
    };
    for (uint32_t i = 1; i <= 20000; ++i) {
        const double x = 440000 + 100.0 * (i / 1000), y = 6040000 + 100.0 * (i % 1000);
        std::vector<Part> parts;
        if (i % 1500 == 0) {
            // no geometry
        } else if (i % 997 == 0) {
            parts = {Square(x, y, 100), Square(x + 25, y + 25, 50)};
        } else if (i % 7 == 0) {
            Part hexagon{
                {x, y},           {x, y + 50}, {x + 50, y + 100}, {x + 100, y + 50}, {x + 100, y},
                {x + 50, y - 50}, {x, y}};
            parts = {hexagon};
        } else {
            parts = {Square(x, y, 100)};
        }
        w->AddObject(static_cast<int32_t>(parts.size()), false, "c");
        for (const Part& p : parts) {
            auto section = Section(p);
            w->AddSection(0, section);
        }
        expectRecord(i, parts);
    }
    w->Close();
    Bytes shp = Header(offset / 2, 5, xmin, ymin, xmax, ymax);
    shp.text(records.str());
    const std::string written = testutil::ReadFileBytes(dir / "grid.shp");
    ASSERT_GT(written.size(), 2u << 20);
    EXPECT_TRUE(written == shp.str()) << "the .shp differs from the layout";
    Bytes shx = Header((100 + 8 * 20000) / 2, 5, xmin, ymin, xmax, ymax);
    shx.text(index.str());
    EXPECT_TRUE(testutil::ReadFileBytes(dir / "grid.shx") == shx.str())
        << "the .shx differs from the layout";
    EXPECT_EQ(ReadShp(dir / "grid.shp").count, 20000);
}

TEST(ShpBytes, PointFileHasTwentyByteRecords) {
    testutil::TempDir dir;
    auto w = NewShp(dir);
    w->StartHeader(1, otPoint);
    w->AddField("a", gfChar, 5, 0);
    w->AddPoint(1.5, -2.5, "p1");
    w->AddPoint2(TFloatPoint{3, 4}, "p2");
    w->Close();
    Bytes shp = Header((100 + 2 * 28) / 2, 1, 1.5, -2.5, 3, 4);
    shp.be32(1).be32(10).le32(1).f64(1.5).f64(-2.5);
    shp.be32(2).be32(10).le32(1).f64(3).f64(4);
    EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.shp"), shp.str());
    Bytes shx = Header((100 + 16) / 2, 1, 1.5, -2.5, 3, 4);
    shx.be32(50).be32(10).be32(64).be32(10);
    EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.shx"), shx.str());
}

TEST(ShpBytes, PointsInAFileOfAnotherKindAreIgnored) {
    testutil::TempDir dir;
    auto w = NewShp(dir);
    w->StartHeader(1, otRegion);
    w->AddField("a", gfChar, 5, 0);
    w->AddPoint(1, 2, "x");
    w->Close();
    EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.shp").size(), 100u);
    EXPECT_TRUE(ReadDbf(dir / "grid.dbf").rows.empty());
}

TEST(ShpBytes, RingsAreStoredInTheOrderGiven) {
    testutil::TempDir dir;
    auto w = NewShp(dir);
    w->StartHeader(1, otRegion);
    w->AddField("a", gfChar, 5, 0);
    const Part counterClockwise = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}};
    AddCell(*w, "x", counterClockwise);
    w->Close();
    EXPECT_EQ(ReadShp(dir / "grid.shp").shapes[0].points, counterClockwise);
}

// ---- Side files -------------------------------------------------------------------

TEST(ShpSideFiles, PrjAndCpgFollowTheirSettings) {
    testutil::TempDir dir;
    {
        auto w = NewShp(dir, 65001);
        w->PRJ = "PROJCS[\"ETRS_1989_UTM_Zone_32N\"]";
        w->StartHeader(0, otRegion);
        w->Close();
        EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.prj"), "PROJCS[\"ETRS_1989_UTM_Zone_32N\"]");
        EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.cpg"), "65001");
    }
    {
        auto w = NewShp(dir); // an empty PRJ writes none and leaves an existing one alone
        w->PRJ.clear();
        w->StartHeader(0, otRegion);
        w->Close();
        EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.prj"), "PROJCS[\"ETRS_1989_UTM_Zone_32N\"]");
        EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.cpg"), "1252");
    }
}

TEST(ShpSideFiles, TableWithoutGeometryIsOnlyADbf) {
    testutil::TempDir dir;
    auto w = NewShp(dir);
    w->StartHeader(1, otNone);
    w->AddField("a", gfChar, 5, 0);
    AddCell(*w, "x", Square(0, 0, 1));
    w->Close();
    EXPECT_TRUE(Exists(dir / "grid.dbf"));
    for (const char* ext : {".shp", ".shx", ".prj", ".cpg"})
        EXPECT_FALSE(Exists(dir / ("grid" + std::string(ext))));
    EXPECT_EQ(ReadDbf(dir / "grid.dbf").rows.size(), 1u);
}

TEST(ShpSideFiles, DropRemovesTheDataFilesAndKeepsTheSideFiles) {
    testutil::TempDir dir;
    auto w = NewShp(dir);
    w->StartHeader(1, otRegion);
    w->AddField("a", gfChar, 5, 0);
    AddCell(*w, "x", Square(0, 0, 1));
    w->Drop();
    for (const char* ext : {".shp", ".shx", ".dbf"})
        EXPECT_FALSE(Exists(dir / ("grid" + std::string(ext))));
    EXPECT_TRUE(Exists(dir / "grid.prj"));
    EXPECT_TRUE(Exists(dir / "grid.cpg"));
}

// ---- Read back by shapelib and GDAL ---------------------------------------------------

struct GridCase {
    uint16_t codepage;
    std::string expectedCpg; // what shapelib reports as the table's code page
};

void PrintTo(const GridCase& c, std::ostream* os) {
    *os << "code page " << c.codepage;
}

class ShpGrid : public ::testing::TestWithParam<GridCase> {};

// A 4 x 3 DKN-like grid of 1 km cells with a name and a Danish place name.
TEST_P(ShpGrid, ReadersSeeEveryCellRingAndValue) {
    testutil::TempDir dir;
    auto w = NewShp(dir, GetParam().codepage);
    w->StartHeader(2, otRegion);
    w->AddField("KN1kmDK", gfChar, 20, 0);
    w->AddField("Stednavn", gfChar, 40, 0);
    const char* names[] = {"Ærøskøbing", "Øster Åby", "Æbelø", "Ålbæk"};
    std::vector<Part> rings;
    std::vector<std::string> ids;
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 3; ++row) {
            const double x = 440000 + 1000 * col, y = 6200000 + 1000 * row;
            ids.push_back("1km_" + std::to_string(6200 + row) + "_" + std::to_string(440 + col));
            rings.push_back(Square(x, y, 1000));
            AddCell(*w, "\"" + ids.back() + "\",\"" + names[col] + "\"", rings.back());
        }
    EXPECT_EQ(w->WrittenRecords(), 12);
    w->Close();

    const auto shp = ReadShp(dir / "grid.shp");
    EXPECT_EQ(shp.shapeType, SHPT_POLYGON);
    ASSERT_EQ(shp.count, 12);
    EXPECT_EQ(shp.min[0], 440000);
    EXPECT_EQ(shp.min[1], 6200000);
    EXPECT_EQ(shp.max[0], 444000);
    EXPECT_EQ(shp.max[1], 6203000);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(shp.shapes[i].points, rings[i]);
        EXPECT_EQ(shp.shapes[i].partStarts, std::vector<int>{0});
    }
    const auto dbf = ReadDbf(dir / "grid.dbf");
    ASSERT_EQ(dbf.rows.size(), 12u);
    EXPECT_EQ(dbf.codePage, GetParam().expectedCpg);
    EXPECT_EQ(dbf.rows[0][1], UnicodeToCodePage("Ærøskøbing", GetParam().codepage));

    const auto layer = ReadWithOgr(dir / "grid.shp");
    ASSERT_EQ(layer.featureCount, 12);
    ASSERT_EQ(layer.fields.size(), 2u);
    EXPECT_EQ(layer.fields[0].name, "KN1kmDK");
    EXPECT_EQ(layer.fields[0].type, OFTString);
    EXPECT_EQ(layer.fields[0].width, 20);
    EXPECT_EQ(layer.fields[1].width, 40);
    ASSERT_TRUE(layer.hasExtent);
    EXPECT_EQ(layer.extent.MinX, 440000);
    EXPECT_EQ(layer.extent.MinY, 6200000);
    EXPECT_EQ(layer.extent.MaxX, 444000);
    EXPECT_EQ(layer.extent.MaxY, 6203000);
    for (int i = 0; i < 12; ++i) {
        const auto& f = layer.features[i];
        EXPECT_EQ(f.geometryType, "POLYGON");
        EXPECT_EQ(f.parts, std::vector<Part>{rings[i]});
        EXPECT_EQ(f.values[0], ids[i]);
        EXPECT_EQ(f.values[1], names[i / 3]);
    }
}

INSTANTIATE_TEST_SUITE_P(CodePages, ShpGrid,
                         ::testing::Values(GridCase{1252, "1252"}, GridCase{65001, "65001"}),
                         [](const auto& info) {
                             return "cp" + std::to_string(info.param.codepage);
                         });

TEST(ShpReaders, PolylinesAndPointsReadBack) {
    testutil::TempDir dir;
    {
        auto w = NewShp(dir);
        w->StartHeader(1, otPline);
        w->AddField("id", gfInteger, 0, 0);
        w->AddLine(0, 0, 10, 10, "1");
        w->AddObject(2, false, "2");
        auto a = Section({{0, 0}, {1, 1}, {2, 0}});
        auto b = Section({{5, 5}, {6, 6}});
        w->AddSection(0, a);
        w->AddSection(0, b);
        w->Close();
        const auto layer = ReadWithOgr(dir / "grid.shp");
        ASSERT_EQ(layer.featureCount, 2);
        EXPECT_EQ(layer.features[0].geometryType, "LINESTRING");
        EXPECT_EQ(layer.features[1].geometryType, "MULTILINESTRING");
        EXPECT_EQ(layer.features[1].parts,
                  (std::vector<Part>{{{0, 0}, {1, 1}, {2, 0}}, {{5, 5}, {6, 6}}}));
        EXPECT_EQ(ReadShp(dir / "grid.shp").shapes[1].partStarts, (std::vector<int>{0, 3}));
    }
    {
        testutil::TempDir pdir;
        auto w = NewWriter(gfSHP, pdir / "pts");
        w->StartHeader(1, otPoint);
        w->AddField("id", gfInteger, 0, 0);
        for (int i = 0; i < 5; ++i)
            w->AddPoint(i * 1.25, -i * 0.5, std::to_string(i));
        w->Close();
        const auto layer = ReadWithOgr(pdir / "pts.shp");
        ASSERT_EQ(layer.featureCount, 5);
        EXPECT_EQ(layer.features[4].parts, (std::vector<Part>{{{5, -2}}}));
        EXPECT_EQ(layer.features[4].values[0], "4");
        EXPECT_EQ(layer.extent.MaxX, 5);
        EXPECT_EQ(layer.extent.MinY, -2);
    }
}

// A ring rejected half-way through an object used to leave its ".dbf" row without
// a ".shp" record (or a record without a length), so every later shape belonged
// to the wrong row. The object now becomes a Null shape beside its row.
TEST(ShpFaults, RejectedRingKeepsShpShxAndDbfInStep) {
    testutil::TempDir dir;
    auto w = NewShp(dir);
    w->StartHeader(1, otRegion);
    w->AddField("n", gfInteger, 0, 0);
    AddCell(*w, "1", Square(0, 0, 1));
    EXPECT_THROW(AddCell(*w, "2", {{0, 0}, {0, 1}, {1, 1}, {1, 0}}), Exception); // open ring
    AddCell(*w, "3", Square(2, 0, 1));
    w->AddObject(2, false, "4");
    auto ring = Section(Square(4, 0, 1));
    w->AddSection(0, ring);
    EXPECT_THROW(AddCell(*w, "bad row, two values", Square(9, 9, 1)), Exception); // count check
    w->Close(); // object 4 lacks its second ring

    const auto layer = ReadWithOgr(dir / "grid.shp");
    ASSERT_EQ(layer.featureCount, 4);
    const std::string ids[] = {"1", "2", "3", "4"};
    const bool hasGeometry[] = {true, false, true, false};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(layer.features[i].values[0], ids[i]);
        EXPECT_EQ(!layer.features[i].geometryType.empty(), hasGeometry[i]) << i;
    }
    EXPECT_EQ(layer.features[2].parts, std::vector<Part>{Square(2, 0, 1)});
    const auto shp = ReadShp(dir / "grid.shp");
    ASSERT_EQ(shp.count, 4);
    EXPECT_EQ(shp.shapes[1].type, SHPT_NULL);
    EXPECT_EQ(shp.max[0], 3); // the abandoned ring of object 4 is not in the bounds
}

// Offsets and lengths are 32-bit: a ".shp" that would pass 4 GiB is refused instead
// of wrapping its offsets, and the output is removed at Close.
TEST(ShpFaults, ShapefileReachingFourGigabytesIsRefused) {
    class TNearlyFullShp : public TGISWriteSHP {
    public:
        void SkipTo(uint32_t offset) { FSHPOffset = offset; }
    };
    testutil::TempDir dir;
    TNearlyFullShp w;
    w.FileName = dir / "grid";
    w.StartHeader(1, otRegion);
    w.AddField("a", gfChar, 5, 0);
    AddCell(w, "x", Square(0, 0, 1));
    w.SkipTo(0xFFFFFF80u);
    EXPECT_EQ(
        [&]() -> std::string {
            try {
                AddCell(w, "y", Square(1, 0, 1));
            } catch (const Exception& e) {
                return e.what();
            }
            return "";
        }(),
        "A shapefile holds at most 4 GB");
    EXPECT_THROW(w.Close(), Exception);
    for (const char* ext : {".shp", ".shx", ".dbf"})
        EXPECT_FALSE(Exists(dir / ("grid" + std::string(ext))));
}

} // namespace
