// The GML 2 writer: the collection and its schema byte for byte, the box patch,
// attribute forms by field type, and collections read by GDAL through their schema
// and checked by xmllint.

#include "parsers.h"
#include "readers.h"
#include "temp_dir.h"

using namespace pwnet;
using namespace gwtest;

namespace {

const std::string Bom = "\xEF\xBB\xBF";
const std::string Ns = "http://quadrel.dk/gml/grid";

std::unique_ptr<TGISWrite> NewGml(const testutil::TempDir& dir, const std::string& name = "grid") {
    return NewWriter(gfGML2, dir / name);
}

std::string XmlHead(const std::string& box) {
    return Bom + "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><Features xmlns=\"" + Ns +
           "\" xmlns:gml=\"http://www.opengis.net/gml\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:schemaLocation=\"" +
           Ns + " grid.xsd\"><gml:boundedBy><gml:Box>" + box + "</gml:Box></gml:boundedBy>";
}

std::string Box(const std::string& x1, const std::string& y1, const std::string& x2,
                const std::string& y2) {
    return "<gml:coord><gml:X>" + x1 + "</gml:X><gml:Y>" + y1 + "</gml:Y></gml:coord>" +
           "<gml:coord><gml:X>" + x2 + "</gml:X><gml:Y>" + y2 + "</gml:Y></gml:coord>";
}

// The text between the box and the end of the collection.
std::string Members(const testutil::TempDir& dir, const std::string& name = "grid") {
    const std::string xml = testutil::ReadFileBytes(dir / (name + ".xml"));
    const size_t from = xml.find("</gml:boundedBy>");
    const size_t to = xml.rfind("</Features>");
    if (from == std::string::npos || to == std::string::npos)
        return "(no collection)";
    return xml.substr(from + 16, to - from - 16);
}

void ExpectWellFormed(const testutil::TempDir& dir, const std::string& name = "grid") {
    EXPECT_EQ(XmlProblems({dir / (name + ".xml"), dir / (name + ".xsd")}), "");
}

// ---- Bytes -------------------------------------------------------------------------

TEST(GmlBytes, RegionFileOfOneCellAndItsSchema) {
    testutil::TempDir dir;
    auto w = NewGml(dir);
    w->StartHeader(1, otRegion);
    w->AddField("KN1kmDK", gfChar, 20, 0);
    AddCell(*w, "\"1km_6200_440\"", Square(440000, 6200000, 1000));
    w->Close();

    EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.xml"),
              XmlHead(Box("440000.000000000", "6200000.00000000", "441000.000000000",
                          "6201000.00000000")) +
                  "<gml:featureMember><grid><KN1kmDK>1km_6200_440</KN1kmDK><_SHAPE_>"
                  "<gml:MultiPolygon srsName = 'epsg:4326'><gml:polygonMember><gml:Polygon>"
                  "<gml:outerBoundaryIs><gml:LinearRing><gml:coordinates>440000,6200000 "
                  "440000,6201000 441000,6201000 441000,6200000 440000,6200000 "
                  "</gml:coordinates></gml:LinearRing></gml:outerBoundaryIs></gml:Polygon>"
                  "</gml:polygonMember></gml:MultiPolygon></_SHAPE_></grid>"
                  "</gml:featureMember></Features>");
    EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.xsd"),
              Bom + "<?xml version=\"1.0\" encoding=\"UTF-8\"?><schema targetNamespace=\"" + Ns +
                  "\" xmlns:wfs=\"" + Ns +
                  "\" xmlns:gml=\"http://www.opengis.net/gml\" "
                  "xmlns=\"http://www.w3.org/2001/XMLSchema\" elementFormDefault=\"qualified\">"
                  "<import namespace=\"http://www.opengis.net/gml\" "
                  "schemaLocation=\"http://schemas.opengis.net/gml/2.1.2/feature.xsd\"/>"
                  "<element name=\"Features\" type=\"wfs:featuresType\" "
                  "substitutionGroup=\"gml:_FeatureCollection\"/>"
                  "<complexType name=\"featuresType\"><complexContent>"
                  "<extension base=\"gml:AbstractFeatureCollectionType\"/></complexContent>"
                  "</complexType><element name=\"grid\" type=\"wfs:gridType\" "
                  "substitutionGroup=\"gml:_Feature\"/><complexType name=\"gridType\">"
                  "<complexContent><extension base=\"gml:AbstractFeatureType\"><sequence>"
                  "<element name=\"KN1kmDK\" type=\"string\"/>"
                  "<element name=\"_SHAPE_\" type=\"gml:MultiPolygonPropertyType\"/>"
                  "</sequence></extension></complexContent></complexType></schema>");
    ExpectWellFormed(dir);
}

TEST(GmlBytes, CollectionWithoutFeaturesKeepsTheZeroPlaceholders) {
    testutil::TempDir dir;
    auto w = NewGml(dir);
    w->StartHeader(1, otRegion);
    w->AddField("KN1kmDK", gfChar, 20, 0);
    w->Close();
    const std::string zero = "0.00000000000000";
    ASSERT_EQ(zero.size(), 16u);
    EXPECT_EQ(testutil::ReadFileBytes(dir / "grid.xml"),
              XmlHead(Box(zero, zero, zero, zero)) + "</Features>");
    ExpectWellFormed(dir);
}

TEST(GmlBytes, SchemaElementsByFieldTypeAndKind) {
    struct Case {
        TObjectTypes kind;
        std::string shape; // the geometry element, empty for none
    };
    const Case kinds[] = {
        {otPline, "<element name=\"_SHAPE_\" type=\"gml:MultiLineStringPropertyType\"/>"},
        {otRegion, "<element name=\"_SHAPE_\" type=\"gml:MultiPolygonPropertyType\"/>"},
        {otPoint, "<element name=\"_SHAPE_\" type=\"gml:PointPropertyType\"/>"},
        {otNone, ""},
    };
    for (const auto& c : kinds) {
        testutil::TempDir dir;
        auto w = NewGml(dir);
        w->StartHeader(9, c.kind);
        const TGISField types[] = {gfChar, gfInteger, gfSmallInt, gfDecimal, gfFloat,
                                   gfDate, gfLogical, gfTime,     gfDateTime};
        for (TGISField t : types)
            w->AddField("f" + std::to_string(t), t, 10, 2);
        w->Close();
        const std::string xsd = testutil::ReadFileBytes(dir / "grid.xsd");
        EXPECT_NE(xsd.find("<sequence><element name=\"f0\" type=\"string\"/>"
                           "<element name=\"f1\" type=\"integer\"/>"
                           "<element name=\"f2\" type=\"integer\"/>"
                           "<element name=\"f3\" type=\"double\"/>"
                           "<element name=\"f4\" type=\"double\"/>"
                           "<element name=\"f5\" type=\"date\" nillable=\"true\"/>"
                           "<element name=\"f6\" type=\"boolean\"/>"
                           "<element name=\"f7\" type=\"time\" nillable=\"true\"/>"
                           "<element name=\"f8\" type=\"dateTime\" nillable=\"true\"/>" +
                           c.shape + "</sequence></extension>"),
                  std::string::npos)
            << xsd;
        ExpectWellFormed(dir);
    }
}

// A table without columns still gets a complete schema.
TEST(GmlBytes, SchemaWithoutFieldsIsCompletedByStartHeader) {
    testutil::TempDir dir;
    auto w = NewGml(dir);
    w->StartHeader(0, otRegion);
    AddCell(*w, "", Square(0, 0, 1));
    w->Close();
    EXPECT_TRUE(testutil::ReadFileBytes(dir / "grid.xsd")
                    .ends_with("<sequence><element name=\"_SHAPE_\" "
                               "type=\"gml:MultiPolygonPropertyType\"/></sequence></extension>"
                               "</complexContent></complexType></schema>"));
    ExpectWellFormed(dir);
    EXPECT_EQ(ReadWithOgr(dir / "grid.xml").featureCount, 1);
}

// ---- Box ---------------------------------------------------------------------------

TEST(GmlBox, ValuesBecomeSixteenCharacters) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {440000, "440000.000000000"},
        {6200000, "6200000.00000000"},
        {-0.5, "-0.5000000000000"},
        {1234567.891, "1234567.89100000"},
        {0, "0.00000000000000"},
        {-1234567.12345678, "-1234567.1234567"}, // 17 characters are cut to 16
        {123456789012345, "123456789012345."},
        // an exponent stays whole, so the text is still the number
        {1e15, "1.00000000000E15"},
        {0.00005, "5.00000000000E-5"},
        {-1.5e-7, "-1.5000000000E-7"},
        {1e300, "1.0000000000E300"},
    };
    for (const auto& c : cases) {
        const std::string text = TGISWriteGML2::BoxValueText(c.value);
        EXPECT_EQ(text, c.text) << c.value;
        EXPECT_EQ(text.size(), 16u);
        // what a reader makes of the patched text
        EXPECT_NEAR(std::stod(text), c.value, std::abs(c.value) * 1e-9 + 1e-300) << c.value;
    }
}

TEST(GmlBox, CloseWritesTheBoxOfAllCoordinatesOverThePlaceholders) {
    testutil::TempDir dir;
    auto w = NewGml(dir);
    w->StartHeader(1, otPoint);
    w->AddField("n", gfInteger, 5, 0);
    w->AddPoint(1234567.891, 3, "1");
    w->AddPoint(-0.5, -2, "2");
    w->AddPoint(7, 6200000, "3");
    w->Close();
    const std::string xml = testutil::ReadFileBytes(dir / "grid.xml");
    EXPECT_TRUE(xml.starts_with(XmlHead(
        Box("-0.5000000000000", "-2.0000000000000", "1234567.89100000", "6200000.00000000"))))
        << xml.substr(0, 700);
    ExpectWellFormed(dir);
    const OgrLayer layer = ReadWithOgr(dir / "grid.xml");
    EXPECT_EQ(layer.featureCount, 3);
    EXPECT_DOUBLE_EQ(layer.extent.MinX, -0.5);
    EXPECT_DOUBLE_EQ(layer.extent.MaxY, 6200000);
}

// ---- Attributes ----------------------------------------------------------------------

TEST(GmlAttributes, ValuesByFieldType) {
    struct Case {
        TGISField type;
        std::string value;
        std::string element; // written for a field named v
    };
    const Case cases[] = {
        {gfChar, "a&b<c>\"d'", "<v>a&amp;b&lt;c&gt;&quot;d&apos;</v>"}, // the name stays as given
        {gfChar, "Ærø", "<v>Ærø</v>"},
        {gfInteger, "42", "<v>42</v>"},
        {gfSmallInt, "-7", "<v>-7</v>"},
        {gfDecimal, "440000", "<v>440000</v>"},
        {gfFloat, "1.5", "<v>1.5</v>"},
        {gfDate, "20240131", "<v>2024-01-31</v>"},
        {gfDate, "2024131", "<v xsi:nil=\"true\"/>"},
        {gfDate, "", "<v xsi:nil=\"true\"/>"},
        {gfTime, "123456789", "<v>12:34:56.789</v>"},
        {gfTime, "1234567890", "<v xsi:nil=\"true\"/>"},
        {gfDateTime, "20240131123456789", "<v>2024-01-31T12:34:56.789</v>"},
        {gfDateTime, "20240131", "<v xsi:nil=\"true\"/>"},
        {gfLogical, "T", "<v>1</v>"},
        {gfLogical, "yes", "<v>1</v>"},
        {gfLogical, "1", "<v>1</v>"},
        {gfLogical, "F", "<v>0</v>"},
        {gfLogical, "", "<v>0</v>"},
    };
    testutil::TempDir dir;
    std::vector<std::string> files;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::string name = "v" + std::to_string(i);
        auto w = NewGml(dir, name);
        w->StartHeader(1, otNone);
        w->AddField("v", c.type, 20, 0);
        std::string row = "\"";
        for (char ch : c.value)
            row += ch == '"' ? std::string("\"\"") : std::string(1, ch);
        w->AddObject(0, false, row + "\"");
        w->Close();
        EXPECT_EQ(Members(dir, name), "<gml:featureMember><" + name + ">" + c.element + "</" +
                                          name + "></gml:featureMember>")
            << c.value;
        files.push_back(dir / (name + ".xml"));
    }
    EXPECT_EQ(XmlProblems(files), "");
}

TEST(GmlAttributes, RowWithAnotherNumberOfValuesWritesNothing) {
    testutil::TempDir dir;
    auto w = NewGml(dir);
    w->StartHeader(2, otRegion);
    w->AddField("a", gfChar, 5, 0);
    w->AddField("b", gfChar, 5, 0);
    EXPECT_THROW(w->AddObject(1, false, "only"), Exception);
    AddCell(*w, "x,y", Square(0, 0, 1));
    w->Close();
    EXPECT_EQ(w->WrittenRecords(), 1);
    ExpectWellFormed(dir);
    EXPECT_EQ(ReadWithOgr(dir / "grid.xml").featureCount, 1);
}

// ---- Read back by GDAL ------------------------------------------------------------------

struct OgrFieldType {
    std::string name;
    OGRFieldType type;
    OGRFieldSubType subtype;
};

std::vector<OgrFieldType> FieldTypes(const std::string& path) {
    GDALDatasetH ds = OpenVector(path);
    if (!ds)
        return {};
    std::vector<OgrFieldType> out;
    OGRFeatureDefnH defn = OGR_L_GetLayerDefn(GDALDatasetGetLayer(ds, 0));
    for (int i = 0; i < OGR_FD_GetFieldCount(defn); ++i) {
        OGRFieldDefnH f = OGR_FD_GetFieldDefn(defn, i);
        out.push_back({OGR_Fld_GetNameRef(f), OGR_Fld_GetType(f), OGR_Fld_GetSubType(f)});
    }
    GDALClose(ds);
    return out;
}

// Every field type, region objects with holes and several polygons, a feature
// without geometry: GDAL takes the field types from the schema (the text field
// holding digits stays text) and the rings from the collection.
TEST(GmlRead, GdalReadsTypesValuesAndRingsThroughTheSchema) {
    testutil::TempDir dir;
    auto w = NewGml(dir);
    w->epsg = 25832;
    w->StartHeader(8, otRegion);
    w->AddField("name", gfChar, 20, 0);
    w->AddField("code", gfChar, 5, 0);
    w->AddField("num", gfInteger, 10, 0);
    w->AddField("dec", gfDecimal, 10, 2);
    w->AddField("day", gfDate, 8, 0);
    w->AddField("tim", gfTime, 9, 0);
    w->AddField("dt", gfDateTime, 17, 0);
    w->AddField("ok", gfLogical, 1, 0);
    const Part outer = Square(0, 0, 10), hole = {{2, 2}, {2, 4}, {4, 4}, {4, 2}, {2, 2}},
               second = Square(20, 0, 10);
    w->AddObject(3, false, "\"a & <b>\",\"00123\",42,3.25,20240131,123456789,20240131123456789,T");
    for (auto [index, ring] : {std::pair{0, outer}, {1, hole}, {0, second}}) {
        auto s = Section(ring);
        w->AddSection(index, s);
    }
    AddCell(*w, "Ærø,9,-7,1.5,2024,1,2,F", Square(440000, 6200000, 1000));
    w->AddObject(0, false, "none,1,0,0,20000101,000000000,20000101000000000,1");
    w->Close();
    ExpectWellFormed(dir);
    EXPECT_NE(testutil::ReadFileBytes(dir / "grid.xml").find("srsName = 'epsg:25832'"),
              std::string::npos);

    const std::vector<OgrFieldType> expectedTypes = {
        {"name", OFTString, OFSTNone}, {"code", OFTString, OFSTNone},
        {"num", OFTInteger, OFSTNone}, {"dec", OFTReal, OFSTNone},
        {"day", OFTDate, OFSTNone},    {"tim", OFTTime, OFSTNone},
        {"dt", OFTDateTime, OFSTNone}, {"ok", OFTInteger, OFSTBoolean},
    };
    const auto types = FieldTypes(dir / "grid.xml");
    ASSERT_EQ(types.size(), expectedTypes.size());
    for (size_t i = 0; i < types.size(); ++i) {
        EXPECT_EQ(types[i].name, expectedTypes[i].name);
        EXPECT_EQ(types[i].type, expectedTypes[i].type) << types[i].name;
        EXPECT_EQ(types[i].subtype, expectedTypes[i].subtype) << types[i].name;
    }

    const OgrLayer layer = ReadWithOgr(dir / "grid.xml");
    ASSERT_EQ(layer.featureCount, 3);
    using V = std::vector<std::string>;
    EXPECT_EQ(layer.features[0].values, (V{"a & <b>", "00123", "42", "3.25", "2024/01/31",
                                           "12:34:56.789", "2024/01/31 12:34:56.789", "1"}));
    EXPECT_EQ(layer.features[1].values[0], "Ærø");
    EXPECT_EQ(layer.features[1].isSet,
              (std::vector<bool>{true, true, true, true, false, false, false, true}));
    EXPECT_EQ(layer.features[0].geometryType, "MULTIPOLYGON");
    EXPECT_EQ(layer.features[0].parts, (std::vector<Part>{outer, hole, second}));
    // the hole belongs to the first polygon
    GDALDatasetH ds = OpenVector(dir / "grid.xml");
    OGRLayerH l = GDALDatasetGetLayer(ds, 0);
    OGRFeatureH f = OGR_L_GetNextFeature(l);
    OGRGeometryH g = OGR_F_GetGeometryRef(f);
    ASSERT_EQ(OGR_G_GetGeometryCount(g), 2);
    EXPECT_EQ(OGR_G_GetGeometryCount(OGR_G_GetGeometryRef(g, 0)), 2);
    EXPECT_EQ(OGR_G_GetGeometryCount(OGR_G_GetGeometryRef(g, 1)), 1);
    EXPECT_DOUBLE_EQ(OGR_G_Area(g), 100 - 4 + 100);
    OGR_F_Destroy(f);
    GDALClose(ds);
    EXPECT_EQ(layer.features[1].parts, (std::vector<Part>{Square(440000, 6200000, 1000)}));
    EXPECT_EQ(layer.features[2].geometryType, "");
    EXPECT_DOUBLE_EQ(layer.extent.MaxX, 441000);
}

TEST(GmlRead, PolylineAndPointFiles) {
    struct Case {
        TObjectTypes kind;
        std::string geometryType;
        std::vector<Part> parts;
    };
    const Case cases[] = {
        {otPline, "MULTILINESTRING", {{{0, 0}, {1, 1}, {2, 0}}, {{5, 5}, {6, 6}}}},
        // a point feature holds one gml:Point: the first point of the object
        {otPoint, "POINT", {{{3, 4}}, {{9, 9}}}},
    };
    for (const auto& c : cases) {
        testutil::TempDir dir;
        auto w = NewGml(dir);
        w->StartHeader(1, c.kind);
        w->AddField("id", gfInteger, 5, 0);
        w->AddObject(2, false, "1");
        for (const Part& p : c.parts) {
            auto s = Section(p);
            w->AddSection(0, s);
        }
        w->AddLine(0, 0, 1, 0, "2");
        w->AddPoint(7.5, -1.25, "3");
        w->Close();
        ExpectWellFormed(dir);
        const OgrLayer layer = ReadWithOgr(dir / "grid.xml");
        ASSERT_EQ(layer.features.size(), 2u);
        EXPECT_EQ(layer.features[0].geometryType, c.geometryType);
        if (c.kind == otPline) {
            EXPECT_EQ(layer.features[0].parts, c.parts);
            EXPECT_EQ(layer.features[1].parts, (std::vector<Part>{{{0, 0}, {1, 0}}}));
        } else {
            EXPECT_EQ(layer.features[0].parts, (std::vector<Part>{{{3, 4}}}));
            EXPECT_EQ(layer.features[1].parts, (std::vector<Part>{{{7.5, -1.25}}}));
            EXPECT_NE(testutil::ReadFileBytes(dir / "grid.xml")
                          .find("<gml:Point srsName = 'epsg:4326'><gml:coordinates>7.5,-1.25"
                                "</gml:coordinates></gml:Point>"),
                      std::string::npos);
        }
    }
}

// Index 0, 1, 0 gives two polygons, the first with a hole; a hole announced before
// any outer ring has no polygon to go into and starts one.
TEST(GmlRead, RingRolesFromIndex) {
    struct Case {
        std::vector<int32_t> indexes;
        std::vector<int> ringsPerPolygon;
    };
    const Case cases[] = {
        {{0, 1, 0}, {2, 1}},
        {{0, 1, 2}, {3}},
        {{0, -1, 0}, {1, 1, 1}},
        {{1, 1}, {2}},
    };
    for (const auto& c : cases) {
        testutil::TempDir dir;
        auto w = NewGml(dir);
        w->StartHeader(1, otRegion);
        w->AddField("id", gfInteger, 5, 0);
        w->AddObject(static_cast<int32_t>(c.indexes.size()), false, "1");
        for (size_t i = 0; i < c.indexes.size(); ++i) {
            auto s = Section(i == 0 || c.indexes[i] <= 0 ? Square(100.0 * i, 0, 50)
                                                         : Square(10.0 * i, 10, 5));
            w->AddSection(c.indexes[i], s);
        }
        w->Close();
        ExpectWellFormed(dir);
        GDALDatasetH ds = OpenVector(dir / "grid.xml");
        ASSERT_NE(ds, nullptr);
        OGRFeatureH f = OGR_L_GetNextFeature(GDALDatasetGetLayer(ds, 0));
        OGRGeometryH g = OGR_F_GetGeometryRef(f);
        std::vector<int> rings;
        for (int i = 0; i < OGR_G_GetGeometryCount(g); ++i)
            rings.push_back(OGR_G_GetGeometryCount(OGR_G_GetGeometryRef(g, i)));
        EXPECT_EQ(rings, c.ringsPerPolygon);
        OGR_F_Destroy(f);
        GDALClose(ds);
    }
}

// An object whose parts did not all arrive keeps its attributes, without geometry,
// and the collection stays well-formed.
TEST(GmlRead, ObjectLeftIncompleteIsWrittenWithoutGeometry) {
    testutil::TempDir dir;
    auto w = NewGml(dir);
    w->StartHeader(1, otRegion);
    w->AddField("id", gfInteger, 5, 0);
    w->AddObject(2, false, "1");
    auto ring = Section(Square(0, 0, 1));
    w->AddSection(0, ring);
    auto open = Section({{0, 0}, {1, 1}, {2, 0}, {3, 3}});
    EXPECT_THROW(w->AddSection(0, open), Exception); // "Region objects must be closed"
    AddCell(*w, "2", Square(5, 5, 1));
    w->AddObject(1, false, "3"); // closed before its ring arrives
    w->Close();
    ExpectWellFormed(dir);
    const OgrLayer layer = ReadWithOgr(dir / "grid.xml");
    ASSERT_EQ(layer.features.size(), 3u);
    EXPECT_EQ(layer.features[0].values[0], "1");
    EXPECT_EQ(layer.features[0].geometryType, "");
    EXPECT_EQ(layer.features[1].parts, (std::vector<Part>{Square(5, 5, 1)}));
    EXPECT_EQ(layer.features[2].geometryType, "");
    // the box holds only what was written
    EXPECT_NE(testutil::ReadFileBytes(dir / "grid.xml")
                  .find(Box("5.00000000000000", "5.00000000000000", "6.00000000000000",
                            "6.00000000000000")),
              std::string::npos);
}

// A file name that is no XML name still gives a well-formed collection: the feature
// type's name keeps what an element name can hold, and the schema is referenced as
// a relative URI.
TEST(GmlRead, FileNameThatIsNoXmlName) {
    struct Case {
        std::string file;
        std::string type;
        std::string schemaRef;
    };
    const Case cases[] = {
        {"DKN_1km_euref89", "DKN_1km_euref89", "DKN_1km_euref89.xsd"},
        {"my grid&1", "my_grid_1", "my%20grid%261.xsd"},
        {"1km", "_1km", "1km.xsd"},
        {"Ærø-grid.v2", "Ærø-grid.v2", "%C3%86r%C3%B8-grid.v2.xsd"},
    };
    for (const auto& c : cases) {
        testutil::TempDir dir;
        auto w = NewGml(dir, c.file);
        w->StartHeader(1, otRegion);
        w->AddField("code", gfChar, 5, 0);
        AddCell(*w, "007", Square(0, 0, 1));
        w->Close();
        ExpectWellFormed(dir, c.file);
        const std::string xml = testutil::ReadFileBytes(dir / (c.file + ".xml"));
        EXPECT_NE(xml.find("<gml:featureMember><" + c.type + "><code>007</code>"),
                  std::string::npos)
            << c.file;
        EXPECT_NE(xml.find("xsi:schemaLocation=\"http://quadrel.dk/gml/" + c.type + " " +
                           c.schemaRef + "\""),
                  std::string::npos)
            << c.file;
        const OgrLayer layer = ReadWithOgr(dir / (c.file + ".xml"));
        EXPECT_EQ(layer.featureCount, 1) << c.file;
        ASSERT_EQ(layer.fields.size(), 1u) << c.file;
        EXPECT_EQ(layer.fields[0].type, OFTString) << c.file; // typed by the schema
        EXPECT_EQ(layer.features[0].values[0], "007") << c.file;
    }
}

} // namespace
