// TGISWriteKML2: a KML 2.2 document, UTF-8 with a byte-order mark, CR LF lines.
// One Placemark per object, named "Record: n" (n counting from 0), with the
// attribute values as an HTML description and the geometry in a MultiGeometry.
// KML colours are aabbggrr, the byte order of a Windows colour value, so the
// writer's colours are written as they are, behind an alpha byte.
//
// A Placemark is assembled in reused buffers and written when its last part has
// arrived, so one left incomplete is still written, without geometry.

#include "giswrite_text.h"
#include "giswrite_kml2.h"

#include <filesystem>

namespace pwnet {

namespace {

constexpr uint16_t Utf8CodePage = 65001;

void AppendLine(std::string& out, std::string_view s) {
    out.append(s).append("\r\n");
}

// The six hexadecimal digits of a Windows colour value, upper case.
void AppendColour(std::string& out, uint32_t colour) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    for (int shift = 20; shift >= 0; shift -= 4)
        out += Hex[(colour >> shift) & 15];
}

} // namespace

TGISWriteKML2::TGISWriteKML2() = default;
TGISWriteKML2::~TGISWriteKML2() = default;

void TGISWriteKML2::DoStartHeader() {
    const std::string kml = FileName + ".kml";
    FOutKML = std::make_unique<TTextFileWriter>(kml, Utf8CodePage, true);
    RegisterOutputFile(kml);
    std::string& t = FHead;
    t.clear();
    AppendLine(t, "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>");
    AppendLine(t, "<kml xmlns=\"http://www.opengis.net/kml/2.2\">");
    AppendLine(t, "<Document>");
    t.append("<name>");
    AppendXMLEscaped(t, std::filesystem::path(FileName).filename().string());
    AppendLine(t, "</name>");
    switch (FObjectTypes) {
    case otRegion:
        for (const char* line :
             {"<Style id=\"region\">", "<LineStyle>", "<color>ff000000</color>", "<width>0</width>",
              "</LineStyle>", "<PolyStyle>", "<color>7fffffff</color>", "<outline>0</outline>",
              "</PolyStyle>", "</Style>"})
            AppendLine(t, line);
        break;
    case otPline:
        for (const char* line : {"<Style id=\"pline\">", "<LineStyle>", "<color>ff0000ff</color>",
                                 "<width>2</width>", "</LineStyle>", "</Style>"})
            AppendLine(t, line);
        break;
    case otPoint:
        for (const char* line : {"<Style id=\"point\">", "<IconStyle>", "<color>ff00ff00</color>",
                                 "<scale>0.8</scale>", "<Icon>"})
            AppendLine(t, line);
        t.append("<href>").append(KmlPointIcon);
        AppendLine(t, "</href>");
        for (const char* line : {"</Icon>", "</IconStyle>", "</Style>"})
            AppendLine(t, line);
        break;
    case otNone:
        break;
    }
    FOutKML->write(t);
}

// "<Placemark>", the name and, for an object, its style; then the description. The
// row is checked before the Placemark counts.
void TGISWriteKML2::AppendPlacemarkHead(std::string_view Attrib, bool Point) {
    std::string& t = FHead;
    t.clear();
    AppendLine(t, "<Placemark>");
    t.append("<name>Record: ");
    AppendInt(t, FWrittenRecords);
    AppendLine(t, "</name>");
    if (!Point) {
        if (FObjectTypes == otPline) {
            if (Pen.Color == DefaultPen.Color) {
                AppendLine(t, "<styleUrl>#pline</styleUrl>");
            } else {
                AppendLine(t, "<Style>");
                AppendLine(t, "<LineStyle>");
                t.append("<color>FF");
                AppendColour(t, Pen.Color);
                AppendLine(t, "</color>");
                AppendLine(t, "<width>2</width>");
                AppendLine(t, "</LineStyle>");
                AppendLine(t, "</Style>");
            }
        } else if (FObjectTypes == otRegion) {
            if (Brush.fg_color == DefaultBrush.fg_color) {
                AppendLine(t, "<styleUrl>#region</styleUrl>");
            } else {
                for (const char* line : {"<Style>", "<LineStyle>", "<color>ff000000</color>",
                                         "<width>0</width>", "</LineStyle>", "<PolyStyle>"})
                    AppendLine(t, line);
                t.append("<color>7F");
                AppendColour(t, Brush.fg_color);
                AppendLine(t, "</color>");
                for (const char* line : {"<outline>0</outline>", "</PolyStyle>", "</Style>"})
                    AppendLine(t, line);
            }
        } else if (FObjectTypes == otPoint) {
            AppendLine(t, "<styleUrl>#point</styleUrl>");
        }
    }

    SplitAttrib(Attrib);
    ++FWrittenRecords;
    if (FNumFields == 0)
        return;
    AppendLine(t, "<description>");
    t.append("<![CDATA[");
    for (int32_t k = 1; k <= FNumFields; ++k) {
        const TFieldInfo& field = FFieldInfo[k];
        const std::string& v = FSL[k - 1];
        t.append(field.Name).append(": ");
        switch (field.FieldType) {
        case gfDate:
            AppendIsoDate(t, v);
            break;
        case gfTime:
            AppendIsoTime(t, v);
            break;
        case gfDateTime:
            AppendIsoDateTime(t, v);
            break;
        case gfLogical:
            t.append(LogicalIsTrue(v) ? "True" : "False");
            break;
        default:
            AppendXMLEscaped(t, v);
            break;
        }
        t.append("<br>");
    }
    AppendLine(t, "]]>");
    AppendLine(t, "</description>");
}

void TGISWriteKML2::AppendCoordinates(const TFloatPointArrayEx& SegList) {
    FGeom.append("<coordinates>");
    for (int32_t i = 0; i < SegList.Count; ++i) {
        AppendFloat(FGeom, SegList.Pnt[i].x);
        FGeom += ',';
        AppendFloat(FGeom, SegList.Pnt[i].y);
        FGeom.append(",0.00000 ");
    }
    AppendLine(FGeom, "</coordinates>");
}

void TGISWriteKML2::BeginObject(int32_t NumParts, std::string_view Attrib) {
    TGISWrite::BeginObject(NumParts, Attrib);
    FGeom.clear();
    AppendPlacemarkHead(Attrib, false);
    Fprevious = false;
    FPending = true;
    if (NumParts <= 0 || FObjectTypes == otNone) {
        WriteWithoutGeometry();
        return;
    }
    AppendLine(FGeom, "<MultiGeometry>");
}

void TGISWriteKML2::WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) {
    TGISWrite::WriteSection(Index, SegList);
    if (!FPending)
        return;
    switch (FObjectTypes) {
    case otRegion: {
        // A hole needs the polygon it belongs to: before any outer ring, the ring
        // starts a polygon of its own.
        const bool inner = Index > 0 && Fprevious;
        if (inner) {
            AppendLine(FGeom, "<innerBoundaryIs>");
        } else {
            if (Fprevious)
                AppendLine(FGeom, "</Polygon>");
            AppendLine(FGeom, "<Polygon>");
            AppendLine(FGeom, "<outerBoundaryIs>");
            Fprevious = true;
        }
        AppendLine(FGeom, "<LinearRing>");
        AppendCoordinates(SegList);
        AppendLine(FGeom, "</LinearRing>");
        AppendLine(FGeom, inner ? "</innerBoundaryIs>" : "</outerBoundaryIs>");
        break;
    }
    case otPline:
        AppendLine(FGeom, "<LineString>");
        AppendCoordinates(SegList);
        AppendLine(FGeom, "</LineString>");
        break;
    case otPoint:
        for (int32_t i = 0; i < SegList.Count; ++i) {
            AppendLine(FGeom, "<Point>");
            FGeom.append("<coordinates>");
            AppendFloat(FGeom, SegList.Pnt[i].x);
            FGeom += ',';
            AppendFloat(FGeom, SegList.Pnt[i].y);
            AppendLine(FGeom, ",0</coordinates>");
            AppendLine(FGeom, "</Point>");
        }
        break;
    case otNone:
        break;
    }
    if (FWrittenParts < FNumParts)
        return;
    if (Fprevious)
        AppendLine(FGeom, "</Polygon>");
    AppendLine(FGeom, "</MultiGeometry>");
    AppendLine(FGeom, "</Placemark>");
    FOutKML->write(FHead);
    FOutKML->write(FGeom);
    FPending = false;
}

void TGISWriteKML2::WriteWithoutGeometry() {
    AppendLine(FHead, "</Placemark>");
    FOutKML->write(FHead);
    FGeom.clear();
    FPending = false;
}

// The Placemark is written without geometry: its description stays in the document.
void TGISWriteKML2::AbandonObject() {
    TGISWrite::AbandonObject();
    if (FPending)
        WriteWithoutGeometry();
}

void TGISWriteKML2::DoAddPoint(double X, double Y, std::string_view Attrib) {
    if (FObjectTypes != otPoint)
        return;
    AppendPlacemarkHead(Attrib, true);
    std::string& t = FHead;
    AppendLine(t, "<styleUrl>#point</styleUrl>");
    AppendLine(t, "<Point>");
    t.append("<coordinates>");
    AppendFloat(t, X);
    t += ',';
    AppendFloat(t, Y);
    AppendLine(t, ",0</coordinates>");
    AppendLine(t, "</Point>");
    AppendLine(t, "</Placemark>");
    FOutKML->write(t);
}

void TGISWriteKML2::DoClose() {
    FOutKML->write("</Document>\r\n</kml>\r\n");
    FOutKML->Close();
    FOutKML.reset();
}

void TGISWriteKML2::ReleaseFiles() noexcept {
    TGISWrite::ReleaseFiles();
    FOutKML.reset();
    FPending = false;
}

} // namespace pwnet
