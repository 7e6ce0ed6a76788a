// TGISWriteMIF and TGISWriteMIF8: the MapInfo interchange pair. The ".mif" holds
// the header (version, charset, delimiter, coordinate system, columns) and one
// geometry per object; the ".mid" holds one attribute line per object, the row
// exactly as the client gave it. Both are text in the writer's code page with
// CR LF line ends, and start with a UTF-8 byte-order mark when that is UTF-8.

#include "giswrite_mif.h"

#include "giswrite_text.h"

#include <cstring>

namespace pwnet {

namespace {

constexpr uint16_t Utf8CodePage = 65001;

// A coordinate line: x, a space, y, CR LF.
constexpr size_t PointLineMax = 2 * MaxNumberText + 3;

char* PutPointLine(char* Dest, double X, double Y) {
    char* p = PutFloat(Dest, X);
    *p++ = ' ';
    p = PutFloat(p, Y);
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

char* PutPointLine(TRecentNumbers& Numbers, char* Dest, double X, double Y) {
    char* p = Numbers.Put(Dest, X);
    *p++ = ' ';
    p = Numbers.Put(p, Y);
    *p++ = '\r';
    *p++ = '\n';
    return p;
}

// Whether Text holds a CR or an LF; eight bytes at a time, rows are short.
bool HasLineBreak(std::string_view Text) {
    constexpr uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    auto hasByte = [](uint64_t word, uint64_t pattern) {
        const uint64_t x = word ^ pattern;
        return ((x - ones) & ~x & highs) != 0;
    };
    size_t i = 0;
    for (; i + 8 <= Text.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, Text.data() + i, 8);
        if (hasByte(word, ones * '\r') || hasByte(word, ones * '\n'))
            return true;
    }
    for (; i < Text.size(); ++i)
        if (Text[i] == '\r' || Text[i] == '\n')
            return true;
    return false;
}

const char* TypeText(TGISField t) {
    switch (t) {
    case gfChar:
        return " Char(";
    case gfInteger:
        return " Integer";
    case gfSmallInt:
        return " Smallint";
    case gfDecimal:
        return " Decimal(";
    case gfFloat:
        return " Float";
    case gfDate:
        return " Date";
    case gfLogical:
        return " Logical";
    case gfTime:
        return " Time";
    case gfDateTime:
        return " DateTime";
    }
    return " Char(";
}

} // namespace

TGISWriteMIF::TGISWriteMIF() = default;
TGISWriteMIF::~TGISWriteMIF() = default;

TGISWriteMIF8::TGISWriteMIF8() {
    SetCodepage(Utf8CodePage);
}

void TGISWriteMIF::DoStartHeader() {
    // A table without columns: no field will trigger the header, so it is written now.
    if (FNumFields == 0)
        WriteHeader();
}

void TGISWriteMIF::DoAddField() {
    TFieldInfo& field = FFieldInfo[FWrittenFields];
    if (field.Width == 255)
        field.Width = 254;
    std::string line = "  " + field.Name + TypeText(field.FieldType);
    switch (field.FieldType) {
    case gfChar:
        AppendInt(line, field.Width);
        line += ')';
        break;
    case gfDecimal:
        AppendInt(line, field.Width);
        line += ',';
        AppendInt(line, field.decimals);
        line += ')';
        break;
    case gfTime:
    case gfDateTime:
        fVersion = 900;
        break;
    default:
        break;
    }
    ss.push_back(std::move(line));
    if (FWrittenFields == FNumFields)
        WriteHeader();
}

void TGISWriteMIF::WriteHeader() {
    if (FCodepage == Utf8CodePage)
        fVersion = 1520;
    const std::string mif = FileName + ".mif";
    const std::string mid = FileName + ".mid";
    FOutMIF = std::make_unique<TTextFileWriter>(mif, FCodepage, true);
    RegisterOutputFile(mif);
    FOutMID = std::make_unique<TTextFileWriter>(mid, FCodepage, true);
    RegisterOutputFile(mid);

    std::string line = "Version ";
    AppendInt(line, fVersion);
    FOutMIF->writeln(line);
    FOutMIF->writeln("CharSet \"" + CodePageName(FCodepage) + "\"");
    FOutMIF->writeln("Delimiter \",\"");
    if (!CoordSys.empty() && FObjectTypes != otNone)
        FOutMIF->writeln(CoordSys);
    line = "Columns ";
    AppendInt(line, FNumFields);
    FOutMIF->writeln(line);
    for (const std::string& column : ss)
        FOutMIF->writeln(column);
    FOutMIF->writeln("Data");
}

// The row goes unchanged into the ".mid", except that a line break inside it would
// split one object's row over two lines and shift every later row to the wrong
// object: line breaks become spaces.
void TGISWriteMIF::WriteMidLine(std::string_view Attrib) {
    if (!HasLineBreak(Attrib)) {
        FOutMID->writeln(Attrib);
        return;
    }
    FMidLine.assign(Attrib);
    for (char& c : FMidLine)
        if (c == '\r' || c == '\n')
            c = ' ';
    FOutMID->writeln(FMidLine);
}

void TGISWriteMIF::AppendPoint(double X, double Y) {
    char line[PointLineMax];
    FGeom.append(line, PutPointLine(line, X, Y));
}

// The point count of a section and all its points, one line each, written in place.
void TGISWriteMIF::AppendPoints(const TFloatPointArrayEx& SegList) {
    const size_t at = FGeom.size();
    FGeom.resize(at + MaxNumberText + 2 + PointLineMax * static_cast<size_t>(SegList.Count));
    char* p = PutInt(FGeom.data() + at, SegList.Count);
    *p++ = '\r';
    *p++ = '\n';
    for (int32_t i = 0; i < SegList.Count; ++i)
        p = PutPointLine(FNumbers, p, SegList.Pnt[i].x, SegList.Pnt[i].y);
    FGeom.resize(static_cast<size_t>(p - FGeom.data()));
}

// The pen line of the current pen, empty where none is written; made once for as
// long as the pen stays the same (every object of a grid has the same pen).
const std::string& TGISWriteMIF::PenLine() {
    static const std::string none;
    if (Pen.Width >= 8 && Pen.Width <= 10)
        return none;
    if (Pen == DefaultPen)
        return none;
    if (FPenLine.empty() || Pen != FPenOfLine) {
        FPenLine = "    Pen(";
        AppendInt(FPenLine, Pen.Width);
        FPenLine += ',';
        AppendInt(FPenLine, Pen.pattern);
        FPenLine += ',';
        AppendInt(FPenLine, ColorToMapInfo(Pen.Color));
        FPenLine += ")\r\n";
        FPenOfLine = Pen;
    }
    return FPenLine;
}

// The same for the brush of a region.
const std::string& TGISWriteMIF::BrushLine() {
    static const std::string none;
    if (Brush == DefaultBrush)
        return none;
    if (FBrushLine.empty() || !(Brush == FBrushOfLine)) {
        FBrushLine = "    Brush(";
        AppendInt(FBrushLine, Brush.pattern);
        FBrushLine += ',';
        AppendInt(FBrushLine, ColorToMapInfo(Brush.fg_color));
        FBrushLine += ',';
        AppendInt(FBrushLine, ColorToMapInfo(Brush.bg_color));
        FBrushLine += ")\r\n";
        FBrushOfLine = Brush;
    }
    return FBrushLine;
}

void TGISWriteMIF::AppendPenLine() {
    FGeom += PenLine();
}

void TGISWriteMIF::AppendBrushLine() {
    FGeom += BrushLine();
}

void TGISWriteMIF::AppendSymbolLine() {
    FGeom += "    Symbol(";
    AppendInt(FGeom, Symbol.Shape);
    FGeom += ',';
    AppendInt(FGeom, ColorToMapInfo(Symbol.Color));
    FGeom += ',';
    AppendInt(FGeom, Symbol.Size);
    FGeom += ")\r\n";
}

void TGISWriteMIF::FlushGeometry() {
    FOutMIF->writeAscii(FGeom);
    FGeom.clear();
}

void TGISWriteMIF::BeginObject(int32_t NumParts, std::string_view Attrib) {
    TGISWrite::BeginObject(NumParts, Attrib);
    FGeom.clear();
    FObjectPoints = 0;
    if (NumParts == 0 || FObjectTypes == otNone)
        FOutMIF->writeln("None");
    WriteMidLine(Attrib);
    ++FWrittenRecords;
}

// An object's geometry is collected and written when its last part arrives, so an
// object abandoned half-way can still be written as "None".
void TGISWriteMIF::WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) {
    TGISWrite::WriteSection(Index, SegList);
    if (FObjectTypes == otNone)
        return; // the object was written as "None"
    const bool last = FWrittenParts == FNumParts;

    if (FObjectTypes == otPoint) {
        // Objects of a point file: one point, or a multipoint of all their points.
        for (int32_t i = 0; i < SegList.Count; ++i)
            AppendPoint(SegList.Pnt[i].x, SegList.Pnt[i].y);
        FObjectPoints += SegList.Count;
        if (!last)
            return;
        std::string head;
        if (FObjectPoints == 1) {
            head = "Point ";
        } else {
            head = "Multipoint ";
            AppendInt(head, FObjectPoints);
            head += "\r\n";
        }
        FGeom.insert(0, head);
        if (!CompactMIF)
            AppendSymbolLine();
        FlushGeometry();
        return;
    }

    const bool pline = FObjectTypes == otPline;
    if (pline && FNumParts == 1 && SegList.Count == 2) {
        FGeom += "Line ";
        AppendFloat(FGeom, SegList.Pnt[0].x);
        FGeom += ' ';
        AppendFloat(FGeom, SegList.Pnt[0].y);
        FGeom += ' ';
        AppendFloat(FGeom, SegList.Pnt[1].x);
        FGeom += ' ';
        AppendFloat(FGeom, SegList.Pnt[1].y);
        FGeom += "\r\n";
    } else {
        if (FNumParts == 1 && WriteOnePartObject(SegList, pline))
            return;
        if (FWrittenParts == 1) {
            if (pline && FNumParts >= 2) {
                FGeom += "Pline multiple ";
                AppendInt(FGeom, FNumParts);
                FGeom += "\r\n";
            } else if (pline) {
                FGeom += "Pline "; // the point count completes the line
            } else {
                FGeom += "Region ";
                AppendInt(FGeom, FNumParts);
                FGeom += "\r\n";
            }
        }
        AppendPoints(SegList);
    }
    if (!last)
        return;
    if (!CompactMIF) {
        if (!pline)
            AppendBrushLine();
        AppendPenLine();
    }
    FlushGeometry();
}

// A polyline or region of one part, the grids' every cell: its lines go straight
// into the ".mif" window, the bytes FGeom would collect for FlushGeometry. False,
// with nothing written, when the code page changes ASCII or the lines do not fit
// in a window.
bool TGISWriteMIF::WriteOnePartObject(const TFloatPointArrayEx& SegList, bool Pline) {
    if (!FOutMIF->KeepsAscii())
        return false;
    constexpr std::string_view region = "Region 1\r\n", polyline = "Pline ";
    const std::string_view head = Pline ? polyline : region;
    constexpr std::string_view noLine = ""; // not a null view: it is copied with memcpy
    const std::string_view brush = CompactMIF || Pline ? noLine : BrushLine();
    const std::string_view pen = CompactMIF ? noLine : PenLine();
    const uint64_t most = head.size() + MaxNumberText + 2 +
                          PointLineMax * static_cast<uint64_t>(SegList.Count) + brush.size() +
                          pen.size();
    if (most > static_cast<uint64_t>(INT32_MAX))
        return false;
    TPWBufferedStream& out = FOutMIF->Stream();
    auto* room = reinterpret_cast<char*>(out.Claim(static_cast<int32_t>(most)));
    if (!room)
        return false;
    char* p = room;
    std::memcpy(p, head.data(), head.size());
    p = PutInt(p + head.size(), SegList.Count);
    *p++ = '\r';
    *p++ = '\n';
    for (int32_t i = 0; i < SegList.Count; ++i)
        p = PutPointLine(FNumbers, p, SegList.Pnt[i].x, SegList.Pnt[i].y);
    std::memcpy(p, brush.data(), brush.size());
    p += brush.size();
    std::memcpy(p, pen.data(), pen.size());
    p += pen.size();
    out.Unclaim(static_cast<int32_t>(most - static_cast<uint64_t>(p - room)));
    return true;
}

void TGISWriteMIF::AbandonObject() {
    TGISWrite::AbandonObject();
    FGeom.clear();
    if (FObjectTypes != otNone && FNumParts > 0)
        FOutMIF->writeln("None");
}

void TGISWriteMIF::DoAddLine(const TFloatPoint& P1, const TFloatPoint& P2,
                             std::string_view Attrib) {
    if (FObjectTypes != otPline)
        return;
    FGeom.clear();
    FGeom += "Line ";
    AppendFloat(FGeom, P1.x);
    FGeom += ' ';
    AppendFloat(FGeom, P1.y);
    FGeom += ' ';
    AppendFloat(FGeom, P2.x);
    FGeom += ' ';
    AppendFloat(FGeom, P2.y);
    FGeom += "\r\n";
    if (!CompactMIF)
        AppendPenLine();
    FlushGeometry();
    WriteMidLine(Attrib);
    ++FWrittenRecords;
}

void TGISWriteMIF::DoAddPoint(double X, double Y, std::string_view Attrib) {
    if (FObjectTypes != otPoint)
        return;
    FGeom.clear();
    FGeom += "Point ";
    AppendPoint(X, Y);
    if (!CompactMIF)
        AppendSymbolLine();
    FlushGeometry();
    WriteMidLine(Attrib);
    ++FWrittenRecords;
}

void TGISWriteMIF::DoClose() {
    if (FOutMIF)
        FOutMIF->Close();
    if (FOutMID)
        FOutMID->Close();
    FOutMIF.reset();
    FOutMID.reset();
}

void TGISWriteMIF::ReleaseFiles() noexcept {
    TGISWrite::ReleaseFiles();
    FOutMIF.reset();
    FOutMID.reset();
}

} // namespace pwnet
