// TGISWriteGeoJSON and its sink TFlexWriter: a GeoJSON FeatureCollection without
// line breaks, into a ".geojson" file (UTF-8, no byte-order mark) or into a string.
//
// A feature is assembled in reused buffers and written when its last part has
// arrived. Its geometry type is chosen then: a region object is a Polygon unless
// the client asked for a MultiPolygon or the object holds more than one outer
// ring, which only a MultiPolygon can carry. A feature left incomplete is written
// with a null geometry, so the collection stays valid JSON.

#include "giswrite_text.h"
#include "giswrite_geojson.h"

namespace pwnet {

namespace {

constexpr uint16_t Utf8CodePage = 65001;

bool IsBlankText(std::string_view v) {
    for (const char c : v)
        if (static_cast<unsigned char>(c) > 32)
            return false;
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// TFlexWriter

TFlexWriter::TFlexWriter(const std::string& filename) : fFileStyle(!filename.empty()) {
    if (fFileStyle)
        f = std::make_unique<TTextFileWriter>(filename, Utf8CodePage, false);
}

TFlexWriter::~TFlexWriter() = default;

void TFlexWriter::append(std::string_view s) {
    if (!fFileStyle)
        SB.append(s);
    else if (f)
        f->write(s);
}

void TFlexWriter::clear() {
    if (!fFileStyle)
        SB.clear();
}

std::string TFlexWriter::ToString() const {
    return fFileStyle ? std::string() : SB;
}

void TFlexWriter::Close() {
    if (!f)
        return;
    std::unique_ptr<TTextFileWriter> file = std::move(f);
    file->Close();
}

// ---------------------------------------------------------------------------
// TGISWriteGeoJSON

TGISWriteGeoJSON::TGISWriteGeoJSON() = default;
TGISWriteGeoJSON::~TGISWriteGeoJSON() = default;

void TGISWriteGeoJSON::DoStartHeader() {
    if (FileName.empty()) {
        s = std::make_unique<TFlexWriter>(std::string());
    } else {
        const std::string path = FileName + ".geojson";
        s = std::make_unique<TFlexWriter>(path);
        RegisterOutputFile(path);
    }
    FHead.assign("{\"type\":\"FeatureCollection\",");
    if (epsg != DefaultEPSG) {
        FHead.append("\"crs\":{\"type\":\"name\",\"properties\":{\"name\":\"EPSG:");
        AppendInt(FHead, epsg);
        FHead.append("\"}},");
    }
    FHead.append("\"features\":[");
    s->append(FHead);
}

// ",", when a feature came before, then the feature up to "geometry":. Numbers are
// copied as they are when JSON can hold them; an empty one is null and any other
// text stays a string, so the collection remains valid JSON. Dates and times are
// ISO strings, null when their length is wrong; logicals are the strings "true" and
// "false".
void TGISWriteGeoJSON::AppendFeatureHead(std::string_view Attrib) {
    SplitAttrib(Attrib);
    std::string& t = FHead;
    t.clear();
    if (FWrittenRecords > 0)
        t += ',';
    ++FWrittenRecords;
    t.append("{\"type\":\"Feature\",\"properties\":{");
    for (int32_t k = 1; k <= FNumFields; ++k) {
        const TFieldInfo& field = FFieldInfo[k];
        const std::string& v = FSL[k - 1];
        if (k > 1)
            t += ',';
        AppendJsonString(t, field.Name);
        t += ':';
        switch (field.FieldType) {
        case gfChar:
            AppendJsonString(t, v);
            break;
        case gfInteger:
        case gfSmallInt:
        case gfDecimal:
        case gfFloat:
            if (IsJsonNumber(v))
                t.append(v);
            else if (IsBlankText(v))
                t.append("null");
            else
                AppendJsonString(t, v);
            break;
        case gfDate:
        case gfTime:
        case gfDateTime: {
            FScratch.clear();
            const bool ok = field.FieldType == gfDate   ? AppendIsoDate(FScratch, v)
                            : field.FieldType == gfTime ? AppendIsoTime(FScratch, v)
                                                        : AppendIsoDateTime(FScratch, v);
            if (ok)
                AppendJsonString(t, FScratch);
            else
                t.append("null");
            break;
        }
        case gfLogical:
            t.append(LogicalIsTrue(v) ? "\"true\"" : "\"false\"");
            break;
        }
    }
    t.append("},\"geometry\":");
}

void TGISWriteGeoJSON::AppendPosition(const TFloatPoint& P) {
    FGeom += '[';
    AppendFloat(FGeom, P.x);
    FGeom += ',';
    AppendFloat(FGeom, P.y);
    FGeom += ']';
}

void TGISWriteGeoJSON::AppendPositions(const TFloatPointArrayEx& SegList) {
    FGeom += '[';
    for (int32_t i = 0; i < SegList.Count; ++i) {
        if (i > 0)
            FGeom += ',';
        AppendPosition(SegList.Pnt[i]);
    }
    FGeom += ']';
}

void TGISWriteGeoJSON::BeginObject(int32_t NumParts, std::string_view Attrib) {
    TGISWrite::BeginObject(NumParts, Attrib);
    AppendFeatureHead(Attrib);
    FGeom.clear();
    FPolygons = 0;
    FPending = true;
    if (NumParts <= 0 || FObjectTypes == otNone)
        WriteWithoutGeometry();
}

void TGISWriteGeoJSON::WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) {
    TGISWrite::WriteSection(Index, SegList);
    if (!FPending)
        return;
    switch (FObjectTypes) {
    case otRegion:
        // Index > 0 is a hole of the polygon opened last; before any polygon the
        // ring opens one.
        if (Index <= 0 || FPolygons == 0) {
            if (FPolygons > 0)
                FGeom.append("],");
            FGeom += '[';
            ++FPolygons;
        } else {
            FGeom += ',';
        }
        AppendPositions(SegList);
        break;
    case otPline:
        if (FWrittenParts > 1)
            FGeom += ',';
        AppendPositions(SegList);
        break;
    case otPoint:
        for (int32_t i = 0; i < SegList.Count; ++i) {
            if (FPolygons > 0)
                FGeom += ',';
            AppendPosition(SegList.Pnt[i]);
            ++FPolygons;
        }
        break;
    case otNone:
        break;
    }
    if (FWrittenParts == FNumParts)
        WriteFeature();
}

void TGISWriteGeoJSON::WriteFeature() {
    s->append(FHead);
    bool multi = false;
    switch (FObjectTypes) {
    case otRegion:
        FGeom += ']'; // closes the last polygon
        multi = FmultiPolygon || FPolygons > 1;
        s->append(multi ? "{\"type\":\"MultiPolygon" : "{\"type\":\"Polygon");
        break;
    case otPline:
        multi = FNumParts > 1;
        s->append(multi ? "{\"type\":\"MultiLineString" : "{\"type\":\"LineString");
        break;
    default:
        multi = FPolygons > 1;
        s->append(multi ? "{\"type\":\"MultiPoint" : "{\"type\":\"Point");
        break;
    }
    s->append("\",\"coordinates\":");
    if (multi)
        s->append("[");
    s->append(FGeom);
    s->append(multi ? "]}}" : "}}");
    FPending = false;
}

void TGISWriteGeoJSON::WriteWithoutGeometry() {
    FHead.append("null}");
    s->append(FHead);
    FGeom.clear();
    FPending = false;
}

void TGISWriteGeoJSON::AbandonObject() {
    TGISWrite::AbandonObject();
    if (FPending)
        WriteWithoutGeometry();
}

void TGISWriteGeoJSON::DoAddPoint(double X, double Y, std::string_view Attrib) {
    AppendFeatureHead(Attrib);
    FHead.append("{\"type\":\"Point\",\"coordinates\":[");
    AppendFloat(FHead, X);
    FHead += ',';
    AppendFloat(FHead, Y);
    FHead.append("]}}");
    s->append(FHead);
}

// Runs once: the base Close calls it only while the output is open.
void TGISWriteGeoJSON::DoClose() {
    s->append("]}");
    GeoJSON = s->ToString();
    s->Close();
    s.reset();
}

void TGISWriteGeoJSON::DoDrop() {
    GeoJSON.clear();
}

void TGISWriteGeoJSON::ReleaseFiles() noexcept {
    TGISWrite::ReleaseFiles();
    s.reset();
    FPending = false;
}

} // namespace pwnet
