// The GeoJSON writer and its sink: collections in memory byte for byte, geometry
// types and properties, files read back by GDAL and parsed by a strict JSON parser,
// and the lifecycle of the sink (Close once, Drop after Close).

#include "parsers.h"
#include "readers.h"
#include "temp_dir.h"

#include <cpl_vsi.h>
#include <fstream>
#include <ogr_srs_api.h>

using namespace pwnet;
using namespace gwtest;

namespace {

const std::string Head = "{\"type\":\"FeatureCollection\",\"features\":[";

// A writer into memory (no FileName).
std::unique_ptr<TGISWrite> NewJson() {
    return TGISWrite::GetGISObject(gfGeoJSON);
}

// Strict JSON check of texts, through files; the complaint names the text's number.
std::string JsonTextProblems(const std::vector<std::string>& texts) {
    testutil::TempDir dir;
    std::vector<std::string> paths;
    for (size_t i = 0; i < texts.size(); ++i) {
        paths.push_back(dir / ("text" + std::to_string(i) + ".json"));
        std::ofstream(paths.back(), std::ios::binary) << texts[i];
    }
    return JsonProblems(paths);
}

std::string JsonTextProblems(const std::string& text) {
    return JsonTextProblems(std::vector<std::string>{text});
}

// GDAL's reading of a GeoJSON text.
OgrLayer ReadJsonText(const std::string& text) {
    const std::string path = "/vsimem/further_test.geojson";
    VSILFILE* f =
        VSIFileFromMemBuffer(path.c_str(), reinterpret_cast<GByte*>(const_cast<char*>(text.data())),
                             static_cast<vsi_l_offset>(text.size()), FALSE);
    VSIFCloseL(f);
    OgrLayer layer = ReadWithOgr(path);
    VSIUnlink(path.c_str());
    return layer;
}

TEST(GeoJsonBytes, EmptyCollectionInMemory) {
    struct Case {
        int32_t epsg;
        std::string text;
    };
    const Case cases[] = {
        {4326, "{\"type\":\"FeatureCollection\",\"features\":[]}"},
        {25832, "{\"type\":\"FeatureCollection\",\"crs\":{\"type\":\"name\",\"properties\":{"
                "\"name\":\"EPSG:25832\"}},\"features\":[]}"},
    };
    for (const auto& c : cases) {
        auto w = NewJson();
        w->epsg = c.epsg;
        EXPECT_EQ(w->GeoJSON, "");
        w->StartHeader(1, otRegion);
        w->AddField("KN1kmDK", gfChar, 20, 0);
        EXPECT_EQ(w->GeoJSON, ""); // filled by Close
        w->Close();
        EXPECT_EQ(w->GeoJSON, c.text);
    }
}

TEST(GeoJsonBytes, GeometryByKindPartsAndFlag) {
    const Part ring = {{0, 0}, {0, 1}, {1, 1}, {0, 0}};
    const std::string r = "[[0,0],[0,1],[1,1],[0,0]]";
    const Part far = {{5, 5}, {5, 6}, {6, 6}, {5, 5}};
    const std::string f = "[[5,5],[5,6],[6,6],[5,5]]";
    struct Case {
        const char* name;
        TObjectTypes kind;
        bool multiPolygon;
        std::vector<std::pair<int32_t, Part>> parts;
        std::string geometry;
    };
    const Case cases[] = {
        {"polygon",
         otRegion,
         false,
         {{0, ring}},
         "{\"type\":\"Polygon\",\"coordinates\":[" + r + "]}"},
        {"multipolygon flag",
         otRegion,
         true,
         {{0, ring}},
         "{\"type\":\"MultiPolygon\",\"coordinates\":[[" + r + "]]}"},
        {"polygon with hole",
         otRegion,
         false,
         {{0, ring}, {1, far}},
         "{\"type\":\"Polygon\",\"coordinates\":[" + r + "," + f + "]}"},
        {"multipolygon with hole",
         otRegion,
         true,
         {{0, ring}, {1, far}, {0, far}},
         "{\"type\":\"MultiPolygon\",\"coordinates\":[[" + r + "," + f + "],[" + f + "]]}"},
        // two outer rings need a MultiPolygon even without the flag
        {"two outer rings",
         otRegion,
         false,
         {{0, ring}, {0, far}},
         "{\"type\":\"MultiPolygon\",\"coordinates\":[[" + r + "],[" + f + "]]}"},
        {"hole before any polygon",
         otRegion,
         false,
         {{1, ring}, {1, far}},
         "{\"type\":\"Polygon\",\"coordinates\":[" + r + "," + f + "]}"},
        {"line",
         otPline,
         false,
         {{0, {{0, 0}, {1.5, -2}}}},
         "{\"type\":\"LineString\",\"coordinates\":[[0,0],[1.5,-2]]}"},
        {"multiline",
         otPline,
         true,
         {{0, {{0, 0}, {1, 1}}}, {0, {{2, 2}, {3, 3}}}},
         "{\"type\":\"MultiLineString\",\"coordinates\":[[[0,0],[1,1]],[[2,2],[3,3]]]}"},
        {"point", otPoint, false, {{0, {{7, 8}}}}, "{\"type\":\"Point\",\"coordinates\":[7,8]}"},
        {"points",
         otPoint,
         false,
         {{0, {{7, 8}, {9, 10}}}},
         "{\"type\":\"MultiPoint\",\"coordinates\":[[7,8],[9,10]]}"},
        {"no parts", otRegion, false, {}, "null"},
        {"no geometry kind", otNone, false, {{0, ring}}, "null"},
    };
    std::vector<std::string> texts;
    for (const auto& c : cases) {
        auto w = NewJson();
        w->StartHeader(1, c.kind);
        w->AddField("id", gfInteger, 5, 0);
        w->AddObject(static_cast<int32_t>(c.parts.size()), c.multiPolygon, "1");
        for (const auto& [index, points] : c.parts) {
            auto s = Section(points);
            w->AddSection(index, s);
        }
        w->Close();
        EXPECT_EQ(w->GeoJSON, Head +
                                  "{\"type\":\"Feature\",\"properties\":{\"id\":1},"
                                  "\"geometry\":" +
                                  c.geometry + "}]}")
            << c.name;
        texts.push_back(w->GeoJSON);
        const OgrLayer layer = ReadJsonText(w->GeoJSON);
        ASSERT_EQ(layer.featureCount, 1) << c.name;
    }
    EXPECT_EQ(JsonTextProblems(texts), ""); // textN is case N
}

TEST(GeoJsonBytes, FeaturesAreSeparatedAndPointsTakenInAnyFile) {
    auto w = NewJson();
    w->StartHeader(1, otRegion);
    w->AddField("id", gfInteger, 5, 0);
    w->AddPoint(1, 2, "1");
    AddCell(*w, "2", {{0, 0}, {0, 1}, {1, 1}, {0, 0}});
    w->AddPoint(0.5, -0.25, "3");
    w->Close();
    EXPECT_EQ(w->GeoJSON,
              Head + "{\"type\":\"Feature\",\"properties\":{\"id\":1},\"geometry\":{\"type\":"
                     "\"Point\",\"coordinates\":[1,2]}},"
                     "{\"type\":\"Feature\",\"properties\":{\"id\":2},\"geometry\":{\"type\":"
                     "\"Polygon\",\"coordinates\":[[[0,0],[0,1],[1,1],[0,0]]]}},"
                     "{\"type\":\"Feature\",\"properties\":{\"id\":3},\"geometry\":{\"type\":"
                     "\"Point\",\"coordinates\":[0.5,-0.25]}}]}");
    EXPECT_EQ(w->WrittenRecords(), 3);
}

TEST(GeoJsonBytes, PropertiesByFieldType) {
    struct Case {
        TGISField type;
        std::string value; // as it stands in the row, quotes included
        std::string json;
    };
    const Case cases[] = {
        {gfChar, "\"a \"\"b\"\" \\c\"", "\"a \\\"b\\\" \\\\c\""},
        {gfChar, "\"tab\there\"", "\"tab\\there\""},
        {gfChar, "\"\x01\"", "\"\\u0001\""},
        {gfChar, "\"Ærø\"", "\"Ærø\""},
        {gfChar, "\"\"", "\"\""},
        {gfInteger, "42", "42"},
        {gfSmallInt, "-7", "-7"},
        {gfDecimal, "440000", "440000"},
        {gfFloat, "1.5e3", "1.5e3"},
        // numbers JSON cannot hold as they stand
        {gfDecimal, "\"\"", "null"},
        {gfFloat, "\"1,5\"", "\"1,5\""},
        {gfInteger, "007", "\"007\""},
        {gfDecimal, ".5", "\".5\""},
        {gfDate, "20240131", "\"2024-01-31\""},
        {gfDate, "2024013", "null"},
        {gfTime, "123456789", "\"12:34:56.789\""},
        {gfTime, "\"\"", "null"},
        {gfDateTime, "20240131123456789", "\"2024-01-31T12:34:56.789\""},
        {gfDateTime, "2024", "null"},
        {gfLogical, "T", "\"true\""},
        {gfLogical, "no", "\"false\""},
    };
    std::vector<std::string> texts;
    for (const auto& c : cases) {
        auto w = NewJson();
        w->StartHeader(2, otNone);
        w->AddField("v", c.type, 20, 0);
        w->AddField("say \"x\"", gfChar, 5, 0); // a name with quotes stays a JSON string
        w->AddObject(0, false, c.value + ",z");
        w->Close();
        EXPECT_EQ(w->GeoJSON, Head + "{\"type\":\"Feature\",\"properties\":{\"v\":" + c.json +
                                  ",\"say \\\"x\\\"\":\"z\"},\"geometry\":null}]}")
            << c.value;
        texts.push_back(w->GeoJSON);
    }
    EXPECT_EQ(JsonTextProblems(texts), ""); // textN is case N
}

// ---- Files read back ----------------------------------------------------------------------

TEST(GeoJsonRead, FileOfAGridReadByGdalWithItsCrs) {
    testutil::TempDir dir;
    auto w = NewWriter(gfGeoJSON, dir / "grid");
    w->epsg = 3035;
    w->StartHeader(2, otRegion);
    w->AddField("eoforigin", gfDecimal, 7, 0);
    w->AddField("noforigin", gfDecimal, 7, 0);
    for (int i = 0; i < 50; ++i) {
        const double x = 4321000 + 1000.0 * (i / 10), y = 3210000 + 1000.0 * (i % 10);
        AddCell(*w, std::to_string(static_cast<int>(x)) + "," + std::to_string(static_cast<int>(y)),
                Square(x, y, 1000));
    }
    w->Close();
    EXPECT_EQ(w->GeoJSON, ""); // written to the file
    const std::string text = testutil::ReadFileBytes(dir / "grid.geojson");
    EXPECT_TRUE(text.starts_with("{\"type\":\"FeatureCollection\",\"crs\":")); // no BOM
    EXPECT_EQ(JsonProblems(dir / "grid.geojson"), "");

    const OgrLayer layer = ReadWithOgr(dir / "grid.geojson");
    ASSERT_EQ(layer.featureCount, 50);
    ASSERT_EQ(layer.fields.size(), 2u);
    EXPECT_EQ(layer.fields[0].type, OFTInteger);
    EXPECT_EQ(layer.features[13].values, (std::vector<std::string>{"4322000", "3213000"}));
    EXPECT_EQ(layer.features[13].geometryType, "POLYGON");
    EXPECT_EQ(layer.features[13].parts, (std::vector<Part>{Square(4322000, 3213000, 1000)}));
    EXPECT_DOUBLE_EQ(layer.extent.MaxX, 4326000);

    GDALDatasetH ds = OpenVector(dir / "grid.geojson");
    OGRSpatialReferenceH srs = OGR_L_GetSpatialRef(GDALDatasetGetLayer(ds, 0));
    ASSERT_NE(srs, nullptr);
    EXPECT_STREQ(OSRGetAuthorityCode(srs, nullptr), "3035");
    GDALClose(ds);
}

// ---- Lifecycle -------------------------------------------------------------------------

TEST(GeoJsonLifecycle, CloseRunsOnceAndDropAfterCloseLeavesTheReleasedSinkAlone) {
    for (bool inMemory : {true, false}) {
        SCOPED_TRACE(inMemory ? "memory" : "file");
        testutil::TempDir dir;
        auto w = TGISWrite::GetGISObject(gfGeoJSON);
        if (!inMemory)
            w->FileName = dir / "grid";
        w->StartHeader(1, otRegion);
        w->AddField("id", gfInteger, 5, 0);
        AddCell(*w, "1", Square(0, 0, 1));
        w->Close();
        const std::string text = w->GeoJSON;
        const std::string bytes = inMemory ? "" : testutil::ReadFileBytes(dir / "grid.geojson");
        EXPECT_EQ(JsonTextProblems(inMemory ? text : bytes), "");
        w->Close(); // nothing more is appended
        EXPECT_EQ(w->GeoJSON, text);
        if (!inMemory) {
            EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.geojson"), bytes);
        }
        EXPECT_NO_THROW(w->Drop());
        EXPECT_EQ(w->GeoJSON, "");
        EXPECT_FALSE(Exists(dir / "grid.geojson"));
        EXPECT_NO_THROW(w->Drop());
        EXPECT_NO_THROW(w->Close());
    }
}

TEST(GeoJsonLifecycle, DropWhileOpenLeavesNothing) {
    for (bool inMemory : {true, false}) {
        testutil::TempDir dir;
        auto w = TGISWrite::GetGISObject(gfGeoJSON);
        if (!inMemory)
            w->FileName = dir / "grid";
        w->StartHeader(1, otRegion);
        w->AddField("id", gfInteger, 5, 0);
        AddCell(*w, "1", Square(0, 0, 1));
        w->AddObject(1, false, "2");
        w->Drop();
        EXPECT_EQ(w->GeoJSON, "");
        EXPECT_FALSE(Exists(dir / "grid.geojson"));
        w->Close();
        EXPECT_EQ(w->GeoJSON, "");
    }
}

TEST(GeoJsonLifecycle, ObjectLeftIncompleteGetsANullGeometry) {
    auto w = NewJson();
    w->StartHeader(1, otRegion);
    w->AddField("id", gfInteger, 5, 0);
    w->AddObject(2, false, "1");
    auto ring = Section(Square(0, 0, 1));
    w->AddSection(0, ring);
    AddCell(*w, "2", {{0, 0}, {0, 1}, {1, 1}, {0, 0}});
    w->AddObject(1, false, "3");
    w->Close();
    EXPECT_EQ(w->GeoJSON,
              Head + "{\"type\":\"Feature\",\"properties\":{\"id\":1},\"geometry\":null},"
                     "{\"type\":\"Feature\",\"properties\":{\"id\":2},\"geometry\":{\"type\":"
                     "\"Polygon\",\"coordinates\":[[[0,0],[0,1],[1,1],[0,0]]]}},"
                     "{\"type\":\"Feature\",\"properties\":{\"id\":3},\"geometry\":null}]}");
}

TEST(FlexWriter, MemoryAndFileModes) {
    TFlexWriter memory("");
    EXPECT_FALSE(memory.FileStyle());
    memory.append("ab");
    memory.append("cd");
    EXPECT_EQ(memory.ToString(), "abcd");
    memory.clear();
    EXPECT_EQ(memory.ToString(), "");
    memory.append("e");
    memory.Close();
    EXPECT_EQ(memory.ToString(), "e");

    testutil::TempDir dir;
    {
        TFlexWriter file(dir / "out.txt");
        EXPECT_TRUE(file.FileStyle());
        file.append("Ærø");
        file.clear(); // nothing to do in a file
        file.append("!");
        EXPECT_EQ(file.ToString(), "");
        file.Close();
    }
    EXPECT_EQ(testutil::ReadFileBytes(dir / "out.txt"), "Ærø!");
    EXPECT_THROW(TFlexWriter(dir / "missing/out.txt"), EFCreateError);
}

} // namespace
