// The side files of a shapefile grid: the projection file, checked byte for byte
// and read back with GDAL/OGR, and the ArcView legend, checked against fixtures.

#include "errors.h"
#include "faults.h"
#include "side_files.h"
#include "temp_dir.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cpl_conv.h>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <ogr_srs_api.h>

using namespace quadrel;
namespace fs = std::filesystem;

namespace {

const std::string DataFolder = QUADREL_GRID_TEST_DATA;

// The two texts as the grid's users' GIS programs expect them, one line each.
const std::string ExpectedEuroGridPrj =
    "PROJCS[\"ETRS89 / ETRS-LAEA\",GEOGCS[\"ETRS89\",DATUM[\"D_ETRS_1989\",SPHEROID[\"GRS_1980\","
    "6378137,298.257222101]],PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.017453292519943295]],"
    "PROJECTION[\"Lambert_Azimuthal_Equal_Area\"],PARAMETER[\"latitude_of_origin\",52],"
    "PARAMETER[\"central_meridian\",10],PARAMETER[\"false_easting\",4321000],"
    "PARAMETER[\"false_northing\",3210000],UNIT[\"Meter\",1]]";
const std::string ExpectedDknPrj =
    "PROJCS[\"ETRS_1989_UTM_Zone_32N\",GEOGCS[\"GCS_ETRS_1989\",DATUM[\"D_ETRS_1989\","
    "SPHEROID[\"GRS_1980\",6378137.0,298.257222101]],PRIMEM[\"Greenwich\",0.0],"
    "UNIT[\"Degree\",0.0174532925199433]],PROJECTION[\"Transverse_Mercator\"],"
    "PARAMETER[\"False_Easting\",500000.0],PARAMETER[\"False_Northing\",0.0],"
    "PARAMETER[\"Central_Meridian\",9.0],PARAMETER[\"Scale_Factor\",0.9996],"
    "PARAMETER[\"Latitude_Of_Origin\",0.0],UNIT[\"Meter\",1.0]]";

TEST(PrjFile, BytesOfBothGridSystems) {
    testutil::TempDir dir;
    struct Case {
        TGridKind Kind;
        const char* Prefix;
        const std::string& Text;
    } cases[] = {
        {gkEuroGrid, "EuroGrid_10km", ExpectedEuroGridPrj},
        {gkDKN, "DKN_1km_euref89", ExpectedDknPrj},
        {gkNone, "none", ExpectedDknPrj}, // any kind but EuroGrid gets the DKN text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Prefix);
        WritePrjFile(dir / c.Prefix, c.Kind);
        const std::string bytes = testutil::ReadFileBytes(dir / (std::string(c.Prefix) + ".prj"));
        EXPECT_EQ(bytes, c.Text);
        EXPECT_EQ(bytes.find_first_of("\r\n"), std::string::npos); // one line, no line end
        EXPECT_EQ(PrjText(c.Kind), c.Text);
    }
}

TEST(PrjFile, OverwritesALongerFile) {
    testutil::TempDir dir;
    const std::string name = dir / "grid.prj";
    { std::ofstream(name) << std::string(5000, 'x'); }
    TGridState state;
    state.ChooseGridKind(gkEuroGrid);
    WritePrjFile(state, dir / "grid");
    EXPECT_EQ(testutil::ReadFileBytes(name), ExpectedEuroGridPrj);
}

// --- Read back with GDAL/OGR ------------------------------------------------------

struct SrsDeleter {
    void operator()(void* p) const {
        OSRDestroySpatialReference(static_cast<OGRSpatialReferenceH>(p));
    }
};
using SrsPtr = std::unique_ptr<void, SrsDeleter>;

SrsPtr ReadPrjWithGdal(const std::string& FileName) {
    const std::string text = testutil::ReadFileBytes(FileName);
    char* lines[] = {const_cast<char*>(text.c_str()), nullptr};
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    EXPECT_EQ(OSRImportFromESRI(srs, lines), OGRERR_NONE);
    OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
    return SrsPtr(srs);
}

// GDAL's best EPSG match for the text and its confidence (0 to 100).
std::pair<int, int> BestEpsgMatch(OGRSpatialReferenceH Srs) {
    int count = 0;
    int* confidence = nullptr;
    OGRSpatialReferenceH* matches = OSRFindMatches(Srs, nullptr, &count, &confidence);
    std::pair<int, int> best{0, 0};
    if (count > 0) {
        const char* authority = OSRGetAuthorityName(matches[0], nullptr);
        const char* value = OSRGetAuthorityCode(matches[0], nullptr);
        if (authority && value && std::strcmp(authority, "EPSG") == 0)
            best = {std::atoi(value), confidence[0]};
    }
    OSRFreeSRSArray(matches);
    CPLFree(confidence);
    return best;
}

SrsPtr EpsgSrs(int Code) {
    SrsPtr srs(OSRNewSpatialReference(nullptr));
    EXPECT_EQ(OSRImportFromEPSG(static_cast<OGRSpatialReferenceH>(srs.get()), Code), OGRERR_NONE);
    OSRSetAxisMappingStrategy(static_cast<OGRSpatialReferenceH>(srs.get()),
                              OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

// (Easting, Northing) in the projection of Srs to (longitude, latitude) on ETRS89.
std::pair<double, double> ToLonLat(OGRSpatialReferenceH Srs, double X, double Y) {
    SrsPtr geographic = EpsgSrs(4258);
    OGRCoordinateTransformationH ct =
        OCTNewCoordinateTransformation(Srs, static_cast<OGRSpatialReferenceH>(geographic.get()));
    EXPECT_NE(ct, nullptr);
    if (!ct)
        return {NAN, NAN};
    EXPECT_TRUE(OCTTransform(ct, 1, &X, &Y, nullptr));
    OCTDestroyCoordinateTransformation(ct);
    return {X, Y};
}

struct GdalCase {
    const char* Name;
    TGridKind Kind;
    int Epsg;
    int MinConfidence; // of GDAL's match; the ESRI names of LAEA differ from EPSG's
    double X, Y;       // a point in the grid's metres
    double Lon, Lat;   // where it lies
    double LatTolerance;
    double FarX, FarY; // a point far from the projection's centre
    friend std::ostream& operator<<(std::ostream& os, const GdalCase& c) { return os << c.Name; }
};

class PrjReadByGdal : public testing::TestWithParam<GdalCase> {};

// The projection text is what puts the grid on the map in every GIS: GDAL must
// recognise the projection and put a known point where it belongs.
TEST_P(PrjReadByGdal, MatchesTheEpsgProjectionAndPlacesAKnownPoint) {
    const GdalCase& c = GetParam();
    testutil::TempDir dir;
    WritePrjFile(dir / "grid", c.Kind);
    SrsPtr srs = ReadPrjWithGdal(dir / "grid.prj");
    auto h = static_cast<OGRSpatialReferenceH>(srs.get());
    const auto [code, confidence] = BestEpsgMatch(h);
    EXPECT_EQ(code, c.Epsg);
    EXPECT_GE(confidence, c.MinConfidence);
    const auto [lon, lat] = ToLonLat(h, c.X, c.Y);
    EXPECT_NEAR(lon, c.Lon, 1e-9);
    EXPECT_NEAR(lat, c.Lat, c.LatTolerance);
    // Away from the centre too, the text projects exactly as the EPSG definition.
    SrsPtr epsg = EpsgSrs(c.Epsg);
    const auto [farLon, farLat] = ToLonLat(h, c.FarX, c.FarY);
    const auto [epsgLon, epsgLat] =
        ToLonLat(static_cast<OGRSpatialReferenceH>(epsg.get()), c.FarX, c.FarY);
    EXPECT_NEAR(farLon, epsgLon, 1e-9);
    EXPECT_NEAR(farLat, epsgLat, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    BothGridSystems, PrjReadByGdal,
    testing::Values(
        // On the central meridian of UTM zone 32: 9 degrees east, about 55.94 north.
        // A prime meridian of 9 degrees would put it at 18 east, off Bornholm's coast.
        GdalCase{"DknOnTheCentralMeridian", gkDKN, 25832, 100, 500000, 6200000, 9.0, 55.94, 0.01,
                 890000, 6120000},
        // The LAEA false origin is the projection centre, 10 east 52 north.
        GdalCase{"EuroGridAtItsCentre", gkEuroGrid, 3035, 70, 4321000, 3210000, 10.0, 52.0, 1e-9,
                 2600000, 1700000}),
    [](const auto& info) { return std::string(info.param.Name); });

// --- The ArcView legend -----------------------------------------------------------

struct AvlCase {
    int32_t SizeTag;
    const char* Fixture;
    int Lines;
    friend std::ostream& operator<<(std::ostream& os, const AvlCase& c) {
        return os << "tag " << c.SizeTag;
    }
};

class AvlFile : public testing::TestWithParam<AvlCase> {};

TEST_P(AvlFile, MatchesTheLegendOfItsSize) {
    const AvlCase& c = GetParam();
    testutil::TempDir dir;
    WriteAvlFile(dir / "grid", c.SizeTag);
    const std::string bytes = testutil::ReadFileBytes(dir / "grid.avl");
    const std::string expected = testutil::ReadFileBytes(fs::path(DataFolder) / "avl" / c.Fixture);
    ASSERT_FALSE(expected.empty()) << "fixture missing";
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(AvlText(c.SizeTag), expected);

    // Every line, the last one included, ends in CR LF; no bare LF or CR.
    int crlf = 0;
    for (size_t p = bytes.find('\n'); p != std::string::npos; p = bytes.find('\n', p + 1)) {
        EXPECT_TRUE(p > 0 && bytes[p - 1] == '\r') << "bare LF at " << p;
        ++crlf;
    }
    EXPECT_EQ(crlf, c.Lines);
    EXPECT_EQ(bytes.substr(bytes.size() - 3), ")\r\n");
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), c.Lines);
}

INSTANTIATE_TEST_SUITE_P(DknSizes, AvlFile,
                         testing::Values(AvlCase{1, "DKN_100m.avl", 88}, // outline: blue only
                                         AvlCase{2, "DKN_250m.avl", 90}, // every colour line
                                         AvlCase{3, "DKN_1km.avl", 88},  // outline: red only
                                         AvlCase{4, "DKN_10km.avl", 86},
                                         AvlCase{5, "DKN_100km.avl", 88},
                                         AvlCase{6, "DKN_500m.avl", 87},  // no outline line
                                         AvlCase{7, "DKN_500m.avl", 87},  // 5 km as 500 m
                                         AvlCase{8, "DKN_500m.avl", 87}), // 2 km as 500 m
                         [](const auto& info) {
                             return "Tag" + std::to_string(info.param.SizeTag);
                         });

TEST(AvlFile, ColourBlocksOfTheExamples) {
    // 1 km: three fill lines and only the outline's red line.
    EXPECT_NE(AvlText(3).find("(TClr.5\r\n  Red:    0xbca5\r\n \tGreen:  0x201b\r\n"
                              "  Blue:   0xd844\r\n)\r\n\r\n(TClr.6\r\n \tRed:    0xffff\r\n)\r\n"),
              std::string::npos);
    // 500 m, 2 km, 5 km: block 6 empty.
    for (int32_t tag : {6, 7, 8})
        EXPECT_NE(AvlText(tag).find("(TClr.6\r\n)\r\n"), std::string::npos) << tag;
    // 100 m: block 6 holds only its blue line, with its two leading spaces.
    EXPECT_NE(AvlText(1).find("(TClr.6\r\n  Blue:   0xffff\r\n)\r\n"), std::string::npos);
}

TEST(AvlFile, UnknownSizeTagWritesNothing) {
    testutil::TempDir dir;
    for (int32_t tag : {0, 9, -1, 13}) {
        EXPECT_THROW(WriteAvlFile(dir / "grid", tag), ERangeError) << tag;
        EXPECT_FALSE(fs::exists(dir / "grid.avl")) << tag;
    }
}

// --- Failures ---------------------------------------------------------------------

// The message names the file and carries the system's reason.
void ExpectInOutError(const std::function<void()>& Write, const std::string& FileName,
                      const std::string& Reason) {
    try {
        Write();
        ADD_FAILURE() << "no error for " << FileName;
    } catch (const EInOutError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(FileName), std::string::npos) << message;
        EXPECT_NE(message.find(Reason), std::string::npos) << message;
    }
}

TEST(SideFileErrors, FolderWhereNoFileCanBeCreated) {
    testutil::TempDir dir;
    const std::string locked = testutil::UnwritableFolder(dir);
    const std::string path = (fs::path(locked) / "DKN_1km_euref89").string();
    // The reason differs between a locked folder and sysfs; either way it is stated.
    try {
        WritePrjFile(path, gkDKN);
        ADD_FAILURE() << "created a file in " << locked;
    } catch (const EInOutError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find("Cannot create file"), std::string::npos) << message;
        EXPECT_NE(message.find(path + ".prj"), std::string::npos) << message;
        EXPECT_GT(message.size(), message.find("\": ") + 4) << "no reason in: " << message;
    }
}

TEST(SideFileErrors, MissingFolder) {
    testutil::TempDir dir;
    const std::string path = dir / "no-such-folder/grid";
    ExpectInOutError([&] { WritePrjFile(path, gkEuroGrid); }, path + ".prj", std::strerror(ENOENT));
    ExpectInOutError([&] { WriteAvlFile(path, 3); }, path + ".avl", std::strerror(ENOENT));
}

// A full disk must be reported, not taken for a written file (a file-size limit of 0
// stands in for it). A link in the file's place is never written through: it stays
// as it was when the write fails.
TEST(SideFileErrors, FullDiskIsReported) {
    testutil::TempDir dir;
    fs::create_symlink("/dev/full", dir / "grid.prj");
    fs::create_symlink("/dev/full", dir / "grid.avl");
    {
        testutil::FileSizeLimit full(0);
        ExpectInOutError([&] { WritePrjFile(dir / "grid", gkDKN); }, dir / "grid.prj",
                         std::strerror(EFBIG));
        ExpectInOutError([&] { WriteAvlFile(dir / "grid", 1); }, dir / "grid.avl",
                         std::strerror(EFBIG));
    }
    EXPECT_TRUE(fs::is_symlink(dir / "grid.prj"));
    EXPECT_TRUE(fs::is_symlink(dir / "grid.avl"));
    EXPECT_EQ(testutil::FilesIn(dir.path()), (std::set<std::string>{"grid.avl", "grid.prj"}));
}

} // namespace
