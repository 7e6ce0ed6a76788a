// TGISWriteGML2: a GML 2.1.2 feature collection ".xml" and the XML schema ".xsd"
// of its feature type. Both are UTF-8 with a byte-order mark and hold no line
// break: every fragment follows the previous one directly.
//
// The feature type T is named after the file; its namespace is GmlNamespaceBase
// followed by T, and the ".xml" points to the schema beside it. The bounding box
// at the top of the ".xml" is written as four 16-character zeros and patched in
// place by Close, so the collection can be streamed in one pass.
//
// A feature is assembled in reused buffers and written when its last part has
// arrived, so a feature left incomplete is still written, without geometry, and
// the collection stays well-formed.

#include "giswrite_text.h"
#include "giswrite_gml2.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace pwnet {

namespace {

constexpr uint16_t Utf8CodePage = 65001;

constexpr std::string_view GmlNamespace = "http://www.opengis.net/gml";
constexpr std::string_view XsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";
constexpr std::string_view XsdNamespace = "http://www.w3.org/2001/XMLSchema";
constexpr std::string_view FeatureSchema = "http://schemas.opengis.net/gml/2.1.2/feature.xsd";

constexpr std::string_view BoxPlaceholder = "0.00000000000000"; // 16 characters
constexpr size_t BoxTextLength = 16;

// Decodes one UTF-8 character at s[p] and advances p; a stray byte gives 0xFFFD.
uint32_t NextCodePoint(std::string_view s, size_t& p) {
    const auto b = static_cast<unsigned char>(s[p]);
    const int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || p + len > s.size()) {
        ++p;
        return 0xFFFD;
    }
    uint32_t cp = len == 1 ? b : b & (0x7F >> len);
    for (int i = 1; i < len; ++i) {
        const auto c = static_cast<unsigned char>(s[p + i]);
        if ((c & 0xC0) != 0x80) {
            ++p;
            return 0xFFFD;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    p += len;
    return cp;
}

bool IsNameStartChar(uint32_t c) {
    return (c >= 'A' && c <= 'Z') || c == '_' || (c >= 'a' && c <= 'z') ||
           (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) ||
           (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD && c != 0xFFFD) ||
           (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameChar(uint32_t c) {
    return IsNameStartChar(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// The feature type's name: the file name where it is an XML name (the usual case,
// DKN_1km_euref89); otherwise every character an element name cannot hold becomes
// '_', and a name that cannot start an element gets a leading '_'.
std::string FeatureTypeName(std::string_view FileName) {
    std::string name;
    size_t p = 0;
    while (p < FileName.size()) {
        const size_t start = p;
        const uint32_t c = NextCodePoint(FileName, p);
        if (IsNameChar(c))
            name.append(FileName.substr(start, p - start));
        else
            name += '_';
    }
    size_t first = 0;
    if (name.empty() || !IsNameStartChar(NextCodePoint(name, first)))
        name.insert(0, "_");
    return name;
}

// The schema's file name as a relative URI reference: bytes outside the unreserved
// characters are percent-encoded.
std::string SchemaReference(std::string_view FileName) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : FileName) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += ch;
        } else {
            out += '%';
            out += Hex[c >> 4];
            out += Hex[c & 15];
        }
    }
    return out + ".xsd";
}

const char* SchemaTypeText(TGISField t) {
    switch (t) {
    case gfChar:
        return "\" type=\"string\"/>";
    case gfInteger:
    case gfSmallInt:
        return "\" type=\"integer\"/>";
    case gfDecimal:
    case gfFloat:
        return "\" type=\"double\"/>";
    case gfDate:
        return "\" type=\"date\" nillable=\"true\"/>";
    case gfLogical:
        return "\" type=\"boolean\"/>";
    case gfTime:
        return "\" type=\"time\" nillable=\"true\"/>";
    case gfDateTime:
        return "\" type=\"dateTime\" nillable=\"true\"/>";
    }
    return "\" type=\"string\"/>";
}

void GrowBox(const TFloatPoint& P, double& xmin, double& ymin, double& xmax, double& ymax) {
    xmin = std::min(xmin, P.x);
    ymin = std::min(ymin, P.y);
    xmax = std::max(xmax, P.x);
    ymax = std::max(ymax, P.y);
}

} // namespace

TGISWriteGML2::TGISWriteGML2() = default;
TGISWriteGML2::~TGISWriteGML2() = default;

// ---------------------------------------------------------------------------
// The heads of both files and the schema

void TGISWriteGML2::DoStartHeader() {
    const std::string fileName = std::filesystem::path(FileName).filename().string();
    const std::string xml = FileName + ".xml";
    const std::string xsd = FileName + ".xsd";
    FOutGML = std::make_unique<TTextFileWriter>(xml, Utf8CodePage, true);
    RegisterOutputFile(xml);
    FOutXSD = std::make_unique<TTextFileWriter>(xsd, Utf8CodePage, true);
    RegisterOutputFile(xsd);
    FFileName2 = FeatureTypeName(fileName);
    const std::string ns = std::string(GmlNamespaceBase) + FFileName2;

    std::string& t = FHead;
    t.clear();
    t.append("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>");
    t.append("<Features xmlns=\"").append(ns);
    t.append("\" xmlns:gml=\"").append(GmlNamespace);
    t.append("\" xmlns:xsi=\"").append(XsiNamespace);
    t.append("\" xsi:schemaLocation=\"").append(ns).append(" ");
    t.append(SchemaReference(fileName)).append("\">");
    t.append("<gml:boundedBy><gml:Box>");
    for (int i = 0; i < 2; ++i) {
        t.append("<gml:coord><gml:X>").append(BoxPlaceholder).append("</gml:X>");
        t.append("<gml:Y>").append(BoxPlaceholder).append("</gml:Y></gml:coord>");
    }
    t.append("</gml:Box></gml:boundedBy>");
    FOutGML->write(t);

    t.clear();
    t.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    t.append("<schema targetNamespace=\"").append(ns).append("\" xmlns:wfs=\"").append(ns);
    t.append("\" xmlns:gml=\"").append(GmlNamespace).append("\" xmlns=\"").append(XsdNamespace);
    t.append("\" elementFormDefault=\"qualified\">");
    t.append("<import namespace=\"").append(GmlNamespace);
    t.append("\" schemaLocation=\"").append(FeatureSchema).append("\"/>");
    t.append("<element name=\"Features\" type=\"wfs:featuresType\" "
             "substitutionGroup=\"gml:_FeatureCollection\"/>");
    t.append("<complexType name=\"featuresType\"><complexContent>"
             "<extension base=\"gml:AbstractFeatureCollectionType\"/>"
             "</complexContent></complexType>");
    t.append("<element name=\"").append(FFileName2).append("\" type=\"wfs:").append(FFileName2);
    t.append("Type\" substitutionGroup=\"gml:_Feature\"/>");
    t.append("<complexType name=\"").append(FFileName2).append("Type\"><complexContent>");
    t.append("<extension base=\"gml:AbstractFeatureType\"><sequence>");
    FOutXSD->write(t);

    FXMinG = FYMinG = UnsetCoordinate;
    FXMaxG = FYMaxG = -UnsetCoordinate;
    // No field will complete the schema of a table without columns.
    if (FNumFields == 0)
        FinishSchema();
}

void TGISWriteGML2::DoAddField() {
    const TFieldInfo& field = FFieldInfo[FWrittenFields];
    std::string& t = FHead;
    t.assign("<element name=\"").append(field.Name).append(SchemaTypeText(field.FieldType));
    FOutXSD->write(t);
    if (FWrittenFields == FNumFields)
        FinishSchema();
}

void TGISWriteGML2::FinishSchema() {
    switch (FObjectTypes) {
    case otPline:
        FOutXSD->write("<element name=\"_SHAPE_\" type=\"gml:MultiLineStringPropertyType\"/>");
        break;
    case otRegion:
        FOutXSD->write("<element name=\"_SHAPE_\" type=\"gml:MultiPolygonPropertyType\"/>");
        break;
    case otPoint:
        FOutXSD->write("<element name=\"_SHAPE_\" type=\"gml:PointPropertyType\"/>");
        break;
    case otNone:
        break;
    }
    FOutXSD->write("</sequence></extension></complexContent></complexType></schema>");
    FOutXSD->Close();
    FOutXSD.reset();
}

// ---------------------------------------------------------------------------
// Features

void TGISWriteGML2::WriteAttributes(std::string_view Attrib) {
    SplitAttrib(Attrib);
    ++FWrittenRecords;
    std::string& t = FHead;
    for (int32_t k = 1; k <= FNumFields; ++k) {
        const TFieldInfo& field = FFieldInfo[k];
        const std::string& v = FSL[k - 1];
        t.append("<").append(field.Name);
        const size_t open = t.size();
        t += '>';
        bool present = true;
        switch (field.FieldType) {
        case gfDate:
            present = AppendIsoDate(t, v);
            break;
        case gfTime:
            present = AppendIsoTime(t, v);
            break;
        case gfDateTime:
            present = AppendIsoDateTime(t, v);
            break;
        case gfLogical:
            t += LogicalIsTrue(v) ? '1' : '0';
            break;
        default:
            AppendXMLEscaped(t, v);
            break;
        }
        if (present) {
            t.append("</").append(field.Name).append(">");
        } else {
            t.resize(open);
            t.append(" xsi:nil=\"true\"/>");
        }
    }
}

void TGISWriteGML2::AppendSrsName() {
    FGeom.append(" srsName = 'epsg:");
    AppendInt(FGeom, epsg);
    FGeom.append("'>");
}

void TGISWriteGML2::AppendCoordinates(const TFloatPointArrayEx& SegList) {
    FGeom.append("<gml:coordinates>");
    for (int32_t i = 0; i < SegList.Count; ++i) {
        const TFloatPoint& p = SegList.Pnt[i];
        AppendFloat(FGeom, p.x);
        FGeom += ',';
        AppendFloat(FGeom, p.y);
        FGeom += ' ';
        GrowBox(p, FObjXMin, FObjYMin, FObjXMax, FObjYMax);
    }
    FGeom.append("</gml:coordinates>");
}

void TGISWriteGML2::BeginObject(int32_t NumParts, std::string_view Attrib) {
    TGISWrite::BeginObject(NumParts, Attrib);
    FHead.clear();
    FGeom.clear();
    FHead.append("<gml:featureMember><").append(FFileName2).append(">");
    WriteAttributes(Attrib);
    if (FObjectTypes != otNone)
        FHead.append("<_SHAPE_>");
    FObjXMin = FObjYMin = UnsetCoordinate;
    FObjXMax = FObjYMax = -UnsetCoordinate;
    Fprevious = false;
    if (NumParts <= 0 || FObjectTypes == otNone) {
        WriteWithoutGeometry(); // the feature is complete
        return;
    }
    if (FObjectTypes == otPline) {
        FGeom.append("<gml:MultiLineString");
        AppendSrsName();
    } else if (FObjectTypes == otRegion) {
        FGeom.append("<gml:MultiPolygon");
        AppendSrsName();
    }
    FPending = true;
}

void TGISWriteGML2::WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) {
    TGISWrite::WriteSection(Index, SegList);
    if (!FPending)
        return;
    switch (FObjectTypes) {
    case otPline:
        FGeom.append("<gml:lineStringMember><gml:LineString>");
        AppendCoordinates(SegList);
        FGeom.append("</gml:LineString></gml:lineStringMember>");
        break;
    case otRegion: {
        // A hole needs the polygon it belongs to: before any outer ring, the ring
        // starts a polygon of its own.
        const bool inner = Index > 0 && Fprevious;
        if (inner) {
            FGeom.append("<gml:innerBoundaryIs>");
        } else {
            if (Fprevious)
                FGeom.append("</gml:Polygon></gml:polygonMember>");
            FGeom.append("<gml:polygonMember><gml:Polygon>");
            Fprevious = true;
            FGeom.append("<gml:outerBoundaryIs>");
        }
        FGeom.append("<gml:LinearRing>");
        AppendCoordinates(SegList);
        FGeom.append("</gml:LinearRing>");
        FGeom.append(inner ? "</gml:innerBoundaryIs>" : "</gml:outerBoundaryIs>");
        break;
    }
    case otPoint:
        // The schema gives a point feature one gml:Point: the object's first point.
        if (FWrittenParts == 1) {
            FGeom.append("<gml:Point");
            AppendSrsName();
            FGeom.append("<gml:coordinates>");
            AppendFloat(FGeom, SegList.Pnt[0].x);
            FGeom += ',';
            AppendFloat(FGeom, SegList.Pnt[0].y);
            FGeom.append("</gml:coordinates></gml:Point>");
            GrowBox(SegList.Pnt[0], FObjXMin, FObjYMin, FObjXMax, FObjYMax);
        }
        break;
    case otNone:
        break;
    }
    if (FWrittenParts < FNumParts)
        return;
    if (FObjectTypes == otRegion)
        FGeom.append("</gml:Polygon></gml:polygonMember></gml:MultiPolygon>");
    else if (FObjectTypes == otPline)
        FGeom.append("</gml:MultiLineString>");
    FGeom.append("</_SHAPE_></").append(FFileName2).append("></gml:featureMember>");
    WriteFeature();
}

void TGISWriteGML2::WriteFeature() {
    FOutGML->write(FHead);
    FOutGML->write(FGeom);
    FPending = false;
    if (FObjXMin <= FObjXMax) {
        GrowBox({FObjXMin, FObjYMin}, FXMinG, FYMinG, FXMaxG, FYMaxG);
        GrowBox({FObjXMax, FObjYMax}, FXMinG, FYMinG, FXMaxG, FYMaxG);
    }
}

// The feature is written without geometry: its attributes stay in the collection.
void TGISWriteGML2::AbandonObject() {
    TGISWrite::AbandonObject();
    if (FPending)
        WriteWithoutGeometry();
}

void TGISWriteGML2::WriteWithoutGeometry() {
    if (FObjectTypes != otNone)
        FHead.append("</_SHAPE_>");
    FHead.append("</").append(FFileName2).append("></gml:featureMember>");
    FOutGML->write(FHead);
    FHead.clear();
    FGeom.clear();
    FPending = false;
}

void TGISWriteGML2::DoAddPoint(double X, double Y, std::string_view Attrib) {
    if (FObjectTypes != otPoint)
        return;
    FHead.clear();
    FGeom.clear();
    FHead.append("<gml:featureMember><").append(FFileName2).append(">");
    WriteAttributes(Attrib);
    FHead.append("<_SHAPE_>");
    FGeom.append("<gml:Point");
    AppendSrsName();
    FGeom.append("<gml:coordinates>");
    AppendFloat(FGeom, X);
    FGeom += ',';
    AppendFloat(FGeom, Y);
    FGeom.append("</gml:coordinates></gml:Point></_SHAPE_></");
    FGeom.append(FFileName2).append("></gml:featureMember>");
    FObjXMin = FObjXMax = X;
    FObjYMin = FObjYMax = Y;
    WriteFeature();
}

// ---------------------------------------------------------------------------
// Closing and the box patch

std::string TGISWriteGML2::BoxValueText(double Value) {
    std::string t = FloatToStrDot(Value);
    if (!std::isfinite(Value)) {
        t.resize(BoxTextLength, ' '); // xs:double allows blanks around INF and NaN
        return t;
    }
    // An exponent stays at the end: the mantissa is padded or cut instead.
    const size_t e = t.find('E');
    std::string exponent = e == std::string::npos ? std::string() : t.substr(e);
    t.resize(std::min(t.size(), e));
    const size_t room = BoxTextLength - exponent.size();
    if (t.size() < room) {
        if (t.find('.') == std::string::npos)
            t += '.';
        t.append(room - std::min(room, t.size()), '0');
    }
    t.resize(room);
    return t + exponent;
}

void TGISWriteGML2::DoClose() {
    if (FOutXSD)
        FOutXSD->Close(); // only when the schema was never completed
    FOutXSD.reset();
    FOutGML->write("</Features>");
    FOutGML->Close();
    FOutGML.reset();
    if (FXMinG > FXMaxG)
        return; // no coordinate was written: the zeros stay
    PatchBox();
}

// The first four <gml:X>/<gml:Y> tags of the file are the box's; the 16 bytes after
// each become (Xmin, Ymin) and (Xmax, Ymax).
void TGISWriteGML2::PatchBox() {
    static constexpr std::string_view Tags[4] = {"<gml:X>", "<gml:Y>", "<gml:X>", "<gml:Y>"};
    const double values[4] = {FXMinG, FYMinG, FXMaxG, FYMaxG};
    constexpr int32_t TagLength = 7;
    TPWFileStream file(FileName + ".xml", fmOpenReadWrite);
    std::string chunk(64 * 1024, '\0');
    int64_t chunkStart = 0;
    int found = 0;
    while (found < 4) {
        file.SetPosition(chunkStart);
        const int32_t n = file.Read(chunk.data(), static_cast<int32_t>(chunk.size()));
        if (n < TagLength)
            break;
        const std::string_view text(chunk.data(), static_cast<size_t>(n));
        int64_t patchedUpTo = 0; // a later tag is looked for after the bytes just patched
        size_t p = 0;
        while (found < 4) {
            p = text.find(Tags[found], p);
            if (p == std::string_view::npos)
                break;
            const int64_t at = chunkStart + static_cast<int64_t>(p) + TagLength;
            const std::string value = BoxValueText(values[found]);
            file.SetPosition(at);
            file.WriteBuffer(value.data(), static_cast<int32_t>(BoxTextLength));
            patchedUpTo = static_cast<int64_t>(p) + TagLength + BoxTextLength;
            p = static_cast<size_t>(patchedUpTo);
            ++found;
        }
        if (n < static_cast<int32_t>(chunk.size()))
            break;
        // The next chunk overlaps this one by a tag's length less one byte.
        chunkStart += std::max<int64_t>(patchedUpTo, n - (TagLength - 1));
    }
}

void TGISWriteGML2::ReleaseFiles() noexcept {
    TGISWrite::ReleaseFiles();
    FOutGML.reset();
    FOutXSD.reset();
    FPending = false;
}

} // namespace pwnet
