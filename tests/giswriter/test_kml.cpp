// The KML writer: the document byte for byte, styles, descriptions by field type,
// and documents read back by GDAL and checked by xmllint.

#include "parsers.h"
#include "readers.h"
#include "temp_dir.h"

using namespace pwnet;
using namespace gwtest;

namespace {

const std::string Bom = "\xEF\xBB\xBF";

std::unique_ptr<TGISWrite> NewKml(const testutil::TempDir& dir) {
    return NewWriter(gfKML2, dir / "grid");
}

std::string Lines(std::initializer_list<std::string> lines) {
    std::string out;
    for (const auto& l : lines)
        out += l + "\r\n";
    return out;
}

// The Placemark elements of the document, from the first to the last.
std::string Placemarks(const testutil::TempDir& dir) {
    const std::string kml = testutil::ReadFileBytes(dir / "grid.kml");
    const size_t from = kml.find("<Placemark>");
    const size_t to = kml.rfind("</Document>");
    if (from == std::string::npos || to == std::string::npos)
        return "(none)";
    return kml.substr(from, to - from);
}

TEST(KmlBytes, RegionDocumentOfOneCell) {
    testutil::TempDir dir;
    auto w = NewKml(dir);
    w->StartHeader(1, otRegion);
    w->AddField("KN1kmDK", gfChar, 20, 0);
    AddCell(*w, "\"1km_6200_440\"", Square(9.5, 55.5, 0.25));
    w->Close();
    EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.kml"),
              Bom + Lines({
                        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>",
                        "<kml xmlns=\"http://www.opengis.net/kml/2.2\">",
                        "<Document>",
                        "<name>grid</name>",
                        "<Style id=\"region\">",
                        "<LineStyle>",
                        "<color>ff000000</color>",
                        "<width>0</width>",
                        "</LineStyle>",
                        "<PolyStyle>",
                        "<color>7fffffff</color>",
                        "<outline>0</outline>",
                        "</PolyStyle>",
                        "</Style>",
                        "<Placemark>",
                        "<name>Record: 0</name>",
                        "<styleUrl>#region</styleUrl>",
                        "<description>",
                        "<![CDATA[KN1kmDK: 1km_6200_440<br>]]>",
                        "</description>",
                        "<MultiGeometry>",
                        "<Polygon>",
                        "<outerBoundaryIs>",
                        "<LinearRing>",
                        "<coordinates>9.5,55.5,0.00000 9.5,55.75,0.00000 9.75,55.75,0.00000 "
                        "9.75,55.5,0.00000 9.5,55.5,0.00000 </coordinates>",
                        "</LinearRing>",
                        "</outerBoundaryIs>",
                        "</Polygon>",
                        "</MultiGeometry>",
                        "</Placemark>",
                        "</Document>",
                        "</kml>",
                    }));
    EXPECT_EQ(XmlProblems(dir / "grid.kml"), "");
}

TEST(KmlBytes, StylesByKindAndColour) {
    struct Case {
        const char* name;
        TObjectTypes kind;
        TMIPen pen;
        TMIBrush brush;
        std::string documentStyle; // the shared style after the document's name
        std::string placemarkStyle;
    };
    const std::string pointStyle = Lines(
        {"<Style id=\"point\">", "<IconStyle>", "<color>ff00ff00</color>", "<scale>0.8</scale>",
         "<Icon>", "<href>http://maps.google.com/mapfiles/kml/shapes/placemark_circle.png</href>",
         "</Icon>", "</IconStyle>", "</Style>"});
    const std::string plineStyle =
        Lines({"<Style id=\"pline\">", "<LineStyle>", "<color>ff0000ff</color>", "<width>2</width>",
               "</LineStyle>", "</Style>"});
    const std::string regionStyle =
        Lines({"<Style id=\"region\">", "<LineStyle>", "<color>ff000000</color>",
               "<width>0</width>", "</LineStyle>", "<PolyStyle>", "<color>7fffffff</color>",
               "<outline>0</outline>", "</PolyStyle>", "</Style>"});
    const Case cases[] = {
        {"default pen", otPline, DefaultPen, DefaultBrush, plineStyle,
         Lines({"<styleUrl>#pline</styleUrl>"})},
        {"red pen", otPline, TMIPen{1, 2, 0x0000FF}, DefaultBrush, plineStyle,
         Lines({"<Style>", "<LineStyle>", "<color>FF0000FF</color>", "<width>2</width>",
                "</LineStyle>", "</Style>"})},
        {"pen width and pattern do not count", otPline, TMIPen{5, 7, 0}, DefaultBrush, plineStyle,
         Lines({"<styleUrl>#pline</styleUrl>"})},
        {"default brush", otRegion, TMIPen{1, 2, 0xFF}, DefaultBrush, regionStyle,
         Lines({"<styleUrl>#region</styleUrl>"})},
        {"green brush", otRegion, DefaultPen, TMIBrush{2, 0x00FF00, 0}, regionStyle,
         Lines({"<Style>", "<LineStyle>", "<color>ff000000</color>", "<width>0</width>",
                "</LineStyle>", "<PolyStyle>", "<color>7F00FF00</color>", "<outline>0</outline>",
                "</PolyStyle>", "</Style>"})},
        {"brush colour in Windows order", otRegion, DefaultPen, TMIBrush{2, 0x123456, 0},
         regionStyle,
         Lines({"<Style>", "<LineStyle>", "<color>ff000000</color>", "<width>0</width>",
                "</LineStyle>", "<PolyStyle>", "<color>7F123456</color>", "<outline>0</outline>",
                "</PolyStyle>", "</Style>"})},
        {"point", otPoint, TMIPen{1, 2, 0xFF}, TMIBrush{2, 0xFF, 0}, pointStyle,
         Lines({"<styleUrl>#point</styleUrl>"})},
        {"no geometry", otNone, DefaultPen, DefaultBrush, "", ""},
    };
    for (const auto& c : cases) {
        testutil::TempDir dir;
        auto w = NewKml(dir);
        w->Pen = c.pen;
        w->Brush = c.brush;
        w->StartHeader(0, c.kind);
        if (c.kind == otPoint)
            w->AddPoint(1, 2, "");
        else
            AddCell(*w, "", Square(0, 0, 1));
        w->Close();
        const std::string kml = testutil::ReadFileBytes(dir / "grid.kml");
        EXPECT_NE(kml.find("<name>grid</name>\r\n" + c.documentStyle + "<Placemark>\r\n"),
                  std::string::npos)
            << c.name;
        if (c.kind == otPoint)
            EXPECT_NE(kml.find("<name>Record: 0</name>\r\n" + c.placemarkStyle + "<Point>\r\n"),
                      std::string::npos)
                << c.name;
        else
            EXPECT_NE(kml.find("<name>Record: 0</name>\r\n" + c.placemarkStyle +
                               (c.kind == otNone ? "</Placemark>" : "<MultiGeometry>")),
                      std::string::npos)
                << c.name << "\n"
                << kml;
        EXPECT_EQ(XmlProblems(dir / "grid.kml"), "") << c.name;
    }
}

TEST(KmlBytes, DescriptionByFieldType) {
    struct Case {
        TGISField type;
        std::string value;
        std::string text; // after "v: "
    };
    const Case cases[] = {
        {gfChar, "a&b<c>", "a&amp;b&lt;c&gt;"},
        {gfDecimal, "440000", "440000"},
        {gfInteger, "-7", "-7"},
        {gfDate, "20240131", "2024-01-31"},
        {gfDate, "2024", ""},
        {gfTime, "123456789", "12:34:56.789"},
        {gfTime, "12345678", ""},
        {gfDateTime, "20240131123456789", "2024-01-31T12:34:56.789"},
        {gfDateTime, "", ""},
        {gfLogical, "y", "True"},
        {gfLogical, "0", "False"},
    };
    for (const auto& c : cases) {
        testutil::TempDir dir;
        auto w = NewKml(dir);
        w->StartHeader(2, otRegion);
        w->AddField("v", c.type, 20, 0);
        w->AddField("n", gfInteger, 5, 0);
        AddCell(*w, "\"" + c.value + "\",5", Square(0, 0, 1));
        w->Close();
        EXPECT_NE(Placemarks(dir).find(
                      Lines({"<description>", "<![CDATA[v: " + c.text + "<br>n: 5<br>]]>",
                             "</description>", "<MultiGeometry>"})),
                  std::string::npos)
            << c.value << "\n"
            << Placemarks(dir);
    }
}

TEST(KmlBytes, RecordNamesCountFromZeroAndRowsAreChecked) {
    testutil::TempDir dir;
    auto w = NewKml(dir);
    w->StartHeader(1, otPoint);
    w->AddField("id", gfInteger, 5, 0);
    w->AddPoint(1, 2, "10");
    EXPECT_THROW(w->AddPoint(1, 2, "11,12"), Exception); // two values for one field
    w->AddPoint(3, 4, "13");
    w->Close();
    EXPECT_EQ(Placemarks(dir), Lines({"<Placemark>",    "<name>Record: 0</name>",
                                      "<description>",  "<![CDATA[id: 10<br>]]>",
                                      "</description>", "<styleUrl>#point</styleUrl>",
                                      "<Point>",        "<coordinates>1,2,0</coordinates>",
                                      "</Point>",       "</Placemark>",
                                      "<Placemark>",    "<name>Record: 1</name>",
                                      "<description>",  "<![CDATA[id: 13<br>]]>",
                                      "</description>", "<styleUrl>#point</styleUrl>",
                                      "<Point>",        "<coordinates>3,4,0</coordinates>",
                                      "</Point>",       "</Placemark>"}));
}

// ---- Read back by GDAL ------------------------------------------------------------------

TEST(KmlRead, GdalReadsPlacemarksWithTheirRings) {
    testutil::TempDir dir;
    auto w = NewKml(dir);
    w->StartHeader(1, otRegion);
    w->AddField("KN1kmDK", gfChar, 20, 0);
    const Part outer = Square(9, 55, 1), hole = Square(9.25, 55.25, 0.25),
               second = Square(11, 55, 0.5);
    w->AddObject(3, false, "\"with hole\"");
    for (auto [index, ring] : {std::pair{0, outer}, {1, hole}, {0, second}}) {
        auto s = Section(ring);
        w->AddSection(index, s);
    }
    for (int i = 0; i < 20; ++i)
        AddCell(*w, "\"cell " + std::to_string(i) + "\"", Square(8 + 0.1 * i, 56, 0.1));
    w->AddObject(0, false, "\"empty\"");
    w->AddObject(1, false, "\"left incomplete\"");
    w->Close();
    EXPECT_EQ(XmlProblems(dir / "grid.kml"), "");

    const OgrLayer layer = ReadWithOgr(dir / "grid.kml");
    ASSERT_EQ(layer.featureCount, 23);
    EXPECT_EQ(layer.features[0].values[0], "Record: 0");
    EXPECT_NE(layer.features[0].values[1].find("KN1kmDK: with hole<br>"), std::string::npos);
    EXPECT_EQ(layer.features[0].geometryType, "MULTIPOLYGON");
    EXPECT_EQ(layer.features[0].parts.size(), 3u);
    GDALDatasetH ds = OpenVector(dir / "grid.kml");
    OGRFeatureH f = OGR_L_GetNextFeature(GDALDatasetGetLayer(ds, 0));
    OGRGeometryH g = OGR_F_GetGeometryRef(f);
    ASSERT_EQ(OGR_G_GetGeometryCount(g), 2);
    EXPECT_EQ(OGR_G_GetGeometryCount(OGR_G_GetGeometryRef(g, 0)), 2); // outer ring and hole
    EXPECT_DOUBLE_EQ(OGR_G_Area(g), 1 - 0.0625 + 0.25);
    OGR_F_Destroy(f);
    GDALClose(ds);
    EXPECT_EQ(layer.features[5].values[0], "Record: 5");
    ASSERT_EQ(layer.features[5].parts.size(), 1u);
    EXPECT_DOUBLE_EQ(layer.features[5].parts[0][0].x, 8.4);
    EXPECT_DOUBLE_EQ(layer.features[5].parts[0][0].y, 56);
    EXPECT_EQ(layer.features[21].geometryType, "");
    EXPECT_EQ(layer.features[22].values[0], "Record: 22");
    EXPECT_EQ(layer.features[22].geometryType, "");
}

TEST(KmlRead, PolylinesAndPoints) {
    struct Case {
        TObjectTypes kind;
        std::string geometryType;
        std::vector<Part> parts; // as GDAL gives them
    };
    const Case cases[] = {
        {otPline, "MULTILINESTRING", {{{0, 0}, {1, 1}, {2, 0}}, {{5, 5}, {6, 6}}}},
        {otPoint, "MULTIPOINT", {{{0, 0}}, {{1, 1}}, {{2, 0}}, {{5, 5}}, {{6, 6}}}},
    };
    for (const auto& c : cases) {
        testutil::TempDir dir;
        auto w = NewKml(dir);
        w->StartHeader(1, c.kind);
        w->AddField("id", gfInteger, 5, 0);
        w->AddObject(2, false, "1");
        auto a = Section({{0, 0}, {1, 1}, {2, 0}}), b = Section({{5, 5}, {6, 6}});
        w->AddSection(0, a);
        w->AddSection(0, b);
        w->Close();
        EXPECT_EQ(XmlProblems(dir / "grid.kml"), "");
        const OgrLayer layer = ReadWithOgr(dir / "grid.kml");
        ASSERT_EQ(layer.featureCount, 1);
        EXPECT_EQ(layer.features[0].geometryType, c.geometryType);
        EXPECT_EQ(layer.features[0].parts, c.parts);
    }
}

} // namespace
