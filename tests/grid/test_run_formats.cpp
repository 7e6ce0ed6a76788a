// The run's format table: estimates, refusal texts, shifts, and what a format
// choice amounts to with the writers of this build.

#include "errors.h"
#include "run_formats.h"

#include <gtest/gtest.h>
#include <limits>

using namespace quadrel;

namespace {

const std::string NoLargeFiles =
    "Only a file system that can hold files larger than 2 GB can handle >2 GB as output";
const std::string TryShpOrTab = "You can try with SHP or TAB format - they are more compact";
const std::string TryAnother = "You can try with another format - they are more compact";
const std::string NoSpace = "There is not enough space on your harddisk";

std::vector<std::string> Strings(const std::vector<std::string_view>& v) {
    return {v.begin(), v.end()};
}

// Every "File format" item has its row, of the same tag and caption; the formats
// without a menu item (CSV, KML, GeoJSON) follow them.
TEST(RunFormats, MatchTheFormatItemsOfTheCatalogue) {
    ASSERT_EQ(RunFormats().size(), FormatItems().size() + 3);
    std::vector<std::string_view> withoutItem;
    for (const TRunFormat& f : RunFormats()) {
        EXPECT_TRUE(IsOutputFormatTag(f.Tag)) << f.Name;
        if (const TFormatItem* item = FindFormatByTag(f.Tag))
            EXPECT_EQ(item->Caption, f.Caption);
        else
            withoutItem.push_back(f.Name);
        EXPECT_EQ(FindRunFormat(f.Tag), &f);
        EXPECT_EQ(FindRunFormatByName(f.Name), &f);
    }
    EXPECT_EQ(withoutItem, (std::vector<std::string_view>{"csv", "kml", "geojson"}));
    EXPECT_EQ(FindRunFormatByName("SHP83")->Tag, ftSHP83); // case is ignored
    EXPECT_EQ(FindRunFormatByName("GeoJSON")->Tag, ftGeoJSON);
    EXPECT_EQ(FindRunFormatByName("json"), nullptr);
    EXPECT_EQ(FindRunFormatByName("GPKG")->Tag, ftGPKG);
    EXPECT_EQ(FindRunFormat(9), nullptr);
    EXPECT_FALSE(IsOutputFormatTag(9));
}

struct EstimateCase {
    int32_t Tag;
    TGridKind Kind;
    int64_t First, Second; // for 10 x 20 cells
};

TEST(RunFormats, EstimateBytesPerCellByWriterAndGridSystem) {
    const EstimateCase cases[] = {
        {ftSHP, gkEuroGrid, 136, 160}, {ftSHP, gkDKN, 136, 206},      {ftSHP83, gkDKN, 136, 206},
        {ftMIF, gkEuroGrid, 116, 124}, {ftMIF, gkDKN, 116, 322},      {ftTAB, gkEuroGrid, 158, 171},
        {ftTAB, gkDKN, 158, 223},      {ftGML, gkEuroGrid, 470, 470}, {ftGML, gkDKN, 470, 462},
        {ftCSV, gkEuroGrid, 28, 20},   {ftCSV, gkDKN, 28, 28},        {ftKML, gkEuroGrid, 600, 600},
        {ftKML, gkDKN, 600, 600},      {ftGeoJSON, gkDKN, 240, 240},
        {ftGPKG, gkDKN, 230, 230},     {ftGPKG, gkEuroGrid, 230, 210},
    };
    const TGridExtent extent{0, 0, 0, 0, 10, 20};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(FindRunFormat(c.Tag)->Name) + (c.Kind == gkDKN ? " DKN" : " EG"));
        const TRunEstimates e = EstimateRun(*FindRunFormat(c.Tag), c.Kind, extent);
        EXPECT_EQ(e.Cells, 200);
        EXPECT_EQ(e.First, 200 * c.First);
        EXPECT_EQ(e.Second, 200 * c.Second);
    }
}

// 2147483647 x 2147483647 cells of 322 bytes do not fit 64 bits: the estimate must
// stay huge rather than wrap round to a small or negative number that passes.
TEST(RunFormats, AnEstimateTooLargeFor64BitsStaysAtTheMaximum) {
    constexpr int32_t most = std::numeric_limits<int32_t>::max();
    const TRunEstimates e = EstimateRun(*FindRunFormat(ftMIF), gkDKN, {0, 0, 0, 0, most, most});
    EXPECT_EQ(e.Cells, int64_t{most} * most);
    EXPECT_EQ(e.First, std::numeric_limits<int64_t>::max());
    EXPECT_EQ(e.Second, std::numeric_limits<int64_t>::max());
    EXPECT_EQ(FreeSpaceRefusal(*FindRunFormat(ftMIF), e, std::numeric_limits<int64_t>::max() - 1),
              (std::vector<std::string_view>{NoSpace, TryShpOrTab}));
}

struct RefusalCase {
    const char* Name;
    int32_t Tag;
    int64_t First, Second;
    std::string FileSystem;
    int64_t Free;
    std::string SizeLimit;
    std::vector<std::string> LargeFile, FreeSpace;
};

// Each check on its own, for every format, including those whose writers this
// build may not have (TAB without MITAB, GML).
TEST(RunFormats, RefusalTexts) {
    constexpr int64_t limit = 2147483648;
    const RefusalCase cases[] = {
        {"ShpAtTheLimit", ftSHP, limit, 0, "vfat", 0, "", {}, {}},
        {"ShpOverTheLimit",
         ftSHP,
         limit + 1,
         0,
         "ext4",
         0,
         "SHP format can not handle >2 GB as output",
         {},
         {}},
        {"Shp83OverTheLimit",
         ftSHP83,
         limit + 1,
         0,
         "ext4",
         0,
         "SHP format can not handle >2 GB as output",
         {},
         {}},
        {"TabOverTheLimit",
         ftTAB,
         limit + 1,
         0,
         "ext4",
         0,
         "TAB format can not handle >2 GB as output",
         {},
         {}},
        {"MifOverTheLimitOnFat",
         ftMIF,
         limit + 1,
         0,
         "vfat",
         0,
         "",
         {NoLargeFiles, TryShpOrTab},
         {}},
        {"MifOverTheLimitOnExt4", ftMIF, limit + 1, 0, "ext4", 0, "", {}, {}},
        {"MifOverTheLimitOnNtfs", ftMIF, limit + 1, 0, "ntfs3", 0, "", {}, {}},
        {"GmlOverTheLimitOnFat",
         ftGML,
         limit + 1,
         0,
         "msdos",
         0,
         "",
         {NoLargeFiles, TryAnother},
         {}},
        {"GmlOverTheLimitUnknownFileSystem",
         ftGML,
         limit + 1,
         0,
         "",
         0,
         "",
         {NoLargeFiles, TryAnother},
         {}},
        {"ShpShortOfSpace", ftSHP, 10, 100, "ext4", 99, "", {}, {NoSpace}},
        {"MifShortOfSpace", ftMIF, 10, 100, "ext4", 99, "", {}, {NoSpace, TryShpOrTab}},
        {"GmlShortOfSpace", ftGML, 10, 100, "ext4", 99, "", {}, {NoSpace, TryAnother}},
        {"KmlOverTheLimitOnFat",
         ftKML,
         limit + 1,
         0,
         "vfat",
         0,
         "",
         {NoLargeFiles, TryAnother},
         {}},
        {"CsvShortOfSpace", ftCSV, 10, 100, "ext4", 99, "", {}, {NoSpace, TryAnother}},
        {"GeoJsonShortOfSpace", ftGeoJSON, 10, 100, "ext4", 99, "", {}, {NoSpace, TryAnother}},
        {"TabShortOfSpace", ftTAB, 10, 100, "ext4", 99, "", {}, {NoSpace}},
        // A GeoPackage has no 2 GB limit of its own, but a file system without large
        // files cannot hold one above it either.
        {"GpkgOverTheLimitOnExt4", ftGPKG, limit + 1, 0, "ext4", 0, "", {}, {}},
        {"GpkgOverTheLimitOnFat",
         ftGPKG,
         limit + 1,
         0,
         "vfat",
         0,
         "",
         {NoLargeFiles, TryAnother},
         {}},
        {"GpkgShortOfSpace", ftGPKG, 10, 100, "ext4", 99, "", {}, {NoSpace, TryAnother}},
        {"FreeSpaceUnknown", ftSHP, 0, 0, "ext4", -1, "", {}, {NoSpace}},
        {"ExactlyEnoughSpace", ftMIF, 10, 100, "ext4", 100, "", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TRunFormat& f = *FindRunFormat(c.Tag);
        const TRunEstimates e{1, c.First, c.Second};
        EXPECT_EQ(SizeLimitRefusal(f, e), c.SizeLimit);
        EXPECT_EQ(Strings(LargeFileRefusal(f, e, c.FileSystem)), c.LargeFile);
        EXPECT_EQ(Strings(FreeSpaceRefusal(f, e, c.Free)), c.FreeSpace);
    }
}

// MapInfo's EuroGrid CoordSys carries no false origin: MIF and TAB coordinates
// lose it; nothing else is shifted.
TEST(RunFormats, CoordinateShiftAndCoordSys) {
    const struct {
        int32_t Tag;
        TGridKind Kind;
        double X, Y;
    } cases[] = {
        {ftMIF, gkEuroGrid, -4321000, -3210000},
        {ftTAB, gkEuroGrid, -4321000, -3210000},
        {ftSHP, gkEuroGrid, 0, 0},
        {ftSHP83, gkEuroGrid, 0, 0},
        {ftGML, gkEuroGrid, 0, 0},
        {ftCSV, gkEuroGrid, 0, 0},
        {ftKML, gkEuroGrid, 0, 0},
        {ftGeoJSON, gkEuroGrid, 0, 0},
        {ftGPKG, gkEuroGrid, 0, 0},
        {ftMIF, gkDKN, 0, 0},
        {ftTAB, gkDKN, 0, 0},
        {ftSHP, gkDKN, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(FindRunFormat(c.Tag)->Name) + (c.Kind == gkDKN ? " DKN" : " EG"));
        const pwnet::TFloatPoint shift = CoordinateShift(*FindRunFormat(c.Tag), c.Kind);
        EXPECT_EQ(shift.x, c.X);
        EXPECT_EQ(shift.y, c.Y);
    }
    EXPECT_EQ(GridCoordSys(gkEuroGrid), "CoordSys Earth Projection 29, 115, \"m\", 10, 52, 90 "
                                        "Bounds (-4321000, -3210000) (4179000, 4290000)");
    EXPECT_EQ(GridCoordSys(gkDKN), "CoordSys Earth Projection 8, 33, \"m\", 9, 0, 0.9996, 500000, "
                                   "0 Bounds (100000, 6000000) (1000000,6500000)");
}

// Only TAB keeps its coordinates within the bounds of its CoordSys; the bounds are
// those of the clause, in the grid system's own metres.
TEST(RunFormats, BoundsRefusalOnlyForTab) {
    const std::string dkn = "TAB format can only hold cells within (100000, 6000000) (1000000, 6500000)";
    const struct {
        int32_t Tag;
        TGridKind Kind;
        TGridExtent Extent;
        std::string Refusal;
    } cases[] = {
        {ftTAB, gkDKN, {440000, 6200000, 443000, 6202000, 3, 2}, ""},
        {ftTAB, gkDKN, {100000, 6000000, 1000000, 6500000, 9, 5}, ""},
        {ftTAB, gkDKN, {99000, 6200000, 101000, 6201000, 2, 1}, dkn},
        {ftTAB, gkDKN, {440000, 5999000, 441000, 6001000, 1, 2}, dkn},
        {ftTAB, gkDKN, {999000, 6200000, 1001000, 6201000, 2, 1}, dkn},
        {ftTAB, gkDKN, {440000, 6499000, 441000, 6501000, 1, 2}, dkn},
        {ftTAB, gkEuroGrid, {0, 0, 8500000, 7500000, 85, 75}, ""},
        {ftTAB, gkEuroGrid, {-1000, 0, 0, 1000, 1, 1},
         "TAB format can only hold cells within (0, 0) (8500000, 7500000)"},
        {ftMIF, gkDKN, {99000, 6200000, 101000, 6201000, 2, 1}, ""},
        {ftSHP, gkEuroGrid, {-1000, 0, 0, 1000, 1, 1}, ""},
        {ftGML, gkDKN, {0, 0, 1000, 1000, 1, 1}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(FindRunFormat(c.Tag)->Name) + " " +
                     std::to_string(c.Extent.X1) + " " + std::to_string(c.Extent.Y1));
        EXPECT_EQ(BoundsRefusal(*FindRunFormat(c.Tag), c.Kind, c.Extent), c.Refusal);
    }
}

// A format whose writer the factory replaces by MIF/MID is written, estimated and
// shifted as MIF; the formats this build writes itself stay as chosen.
TEST(RunFormats, ResolveToTheWriterTheFactoryHandsOut) {
    for (int32_t tag : {ftMIF, ftSHP, ftSHP83, ftGML, ftCSV, ftKML, ftGeoJSON}) {
        const TResolvedFormat r = ResolveRunFormat(tag);
        EXPECT_FALSE(r.FellBack()) << tag;
        EXPECT_EQ(r.Effective->Tag, tag);
    }
    const TResolvedFormat tab = ResolveRunFormat(ftTAB);
    EXPECT_EQ(tab.FellBack(), !pwnet::TGISWrite::MITAB_supported());
    EXPECT_EQ(tab.Effective->Tag, tab.FellBack() ? ftMIF : ftTAB);

    const TRunFormat& gml = *FindRunFormat(ftGML);
    pwnet::TGISWriteMIF mif;
    pwnet::TGISWriteMIF8 mif8;
    EXPECT_EQ(EffectiveRunFormat(gml, mif).Tag, ftMIF);  // the factory's fallback
    EXPECT_EQ(EffectiveRunFormat(gml, mif8).Tag, ftGML); // a writer of its own
    EXPECT_THROW(ResolveRunFormat(42), ERangeError);
}

// The coordinates' system the writer names (GML srsName, GeoJSON crs): the grid
// system's, except for KML, whose readers take WGS 84 longitude and latitude only.
TEST(RunFormats, EpsgOfTheWrittenCoordinates) {
    EXPECT_EQ(GridEpsg(gkDKN), 25832);
    EXPECT_EQ(GridEpsg(gkEuroGrid), 3035);
    EXPECT_EQ(GridEpsg(gkNone), 0);
    for (const TRunFormat& f : RunFormats()) {
        SCOPED_TRACE(f.Name);
        EXPECT_EQ(f.LonLat, f.Tag == ftKML);
        EXPECT_EQ(WrittenEpsg(f, gkDKN), f.LonLat ? 4326 : 25832);
        EXPECT_EQ(WrittenEpsg(f, gkEuroGrid), f.LonLat ? 4326 : 3035);
    }
}

} // namespace
