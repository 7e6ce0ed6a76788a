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
// The room PutPointLines takes per point: the line and what TRecentNumbers moves
// beyond the y's text.
constexpr size_t PointLineRoom = MaxNumberText + 1 + TRecentNumbers::TextRoom + 2;

char* PutPointLine(char* Dest, double X, double Y) {
    char* p = PutFloat(Dest, X);
    *p++ = ' ';
    p = PutFloat(p, Y);
    *p++ = '\r';
    *p++ = '\n';
    return p;
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
//
// A grid's short row that needs neither converting nor mending (Quick: the code page
// keeps ASCII; High: it changes the bytes of 0x80 and more) goes straight into the
// window; false, with nothing written, for any other.
inline bool TGISWriteMIF::PutShortMidLine(std::string_view Attrib, bool Quick, bool High) {
    const size_t n = Attrib.size();
    if (!Quick || n < 8 || n > 32 || HasLineBreakOrHigh(Attrib.data(), n, High))
        return false;
    auto* line = reinterpret_cast<char*>(FOutMID->Stream().Claim(static_cast<int32_t>(n) + 2));
    if (!line)
        return false;
    CopyShort(line, Attrib.data(), n);
    line[n] = '\r';
    line[n + 1] = '\n';
    return true;
}

void TGISWriteMIF::WriteMidLine(std::string_view Attrib) {
    if (!PutShortMidLine(Attrib, FOutMID->KeepsAscii(), !FOutMID->KeepsAll()))
        WriteOtherMidLine(Attrib);
}

// A row that PutShortMidLine does not take.
void TGISWriteMIF::WriteOtherMidLine(std::string_view Attrib) {
    if (!HasLineBreakOrHigh(Attrib.data(), Attrib.size(), false)) {
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
    FGeom.resize(at + MaxNumberText + 2 + PointLineRoom * static_cast<size_t>(SegList.Count));
    char* p = PutInt(FGeom.data() + at, SegList.Count);
    *p++ = '\r';
    *p++ = '\n';
    p = PutPointLines(p, SegList.Pnt.data(), SegList.Count);
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
    return PutOnePartObject(OnePartTexts(Pline, SegList.Count), SegList.Pnt.data(), SegList.Count);
}

// The texts around the points of a one-part object of Count points in this file.
TGISWriteMIF::TOnePartTexts TGISWriteMIF::OnePartTexts(bool Pline, int32_t Count) {
    constexpr std::string_view region = "Region 1\r\n", polyline = "Pline ";
    TOnePartTexts texts{};
    const std::string_view head = Pline ? polyline : region;
    std::memcpy(texts.Head, head.data(), head.size());
    char* p = PutInt(texts.Head + head.size(), Count);
    *p++ = '\r';
    *p++ = '\n';
    texts.HeadSize = static_cast<size_t>(p - texts.Head);
    constexpr std::string_view noLine = ""; // not a null view: it is copied with memcpy
    const std::string_view brush = CompactMIF || Pline ? noLine : BrushLine();
    const std::string_view pen = CompactMIF ? noLine : PenLine();
    texts.TailSize = brush.size() + pen.size();
    std::memcpy(texts.Tail, brush.data(), brush.size());
    std::memcpy(texts.Tail + brush.size(), pen.data(), pen.size());
    return texts;
}

// PutPointLines for N points (Count when N is 0). A cell's ring (N = 5) is unrolled,
// inline in the run: each corner then has branches of its own, which take the same
// way from one cell to the next.
template <int32_t N>
[[gnu::always_inline]] inline char*
TGISWriteMIF::PutPointLinesOf(char* Dest, const TFloatPoint* Points, int32_t Count) {
    const int32_t n = N != 0 ? N : Count;
#pragma GCC unroll 8
    for (int32_t i = 0; i < n; ++i) {
        Dest = FXs.Put(FNumbers, Dest, Points[i].x);
        *Dest++ = ' ';
        Dest = FYs.Put(FNumbers, Dest, Points[i].y);
        *Dest++ = '\r';
        *Dest++ = '\n';
    }
    return Dest;
}

// The lines of a one-part object straight into the ".mif" window; false, with nothing
// written, when they do not fit in a window.
inline bool TGISWriteMIF::PutOnePartObject(const TOnePartTexts& Texts, const TFloatPoint* Points,
                                           int32_t Count) {
    // Room for what CopyInSixteens moves beyond the texts.
    const uint64_t most =
        sizeof Texts.Head + PointLineRoom * static_cast<uint64_t>(Count) + sizeof Texts.Tail;
    if (most > static_cast<uint64_t>(INT32_MAX))
        return false;
    TPWBufferedStream& out = FOutMIF->Stream();
    auto* room = reinterpret_cast<char*>(out.Claim(static_cast<int32_t>(most)));
    if (!room)
        return false;
    CopyInSixteens(room, Texts.Head, Texts.HeadSize);
    char* p = Count == 5 ? PutPointLinesOf<5>(room + Texts.HeadSize, Points, Count)
                         : PutPointLines(room + Texts.HeadSize, Points, Count);
    if (Texts.TailSize > 0)
        CopyInSixteens(p, Texts.Tail, Texts.TailSize);
    p += Texts.TailSize;
    out.Unclaim(static_cast<int32_t>(most - static_cast<uint64_t>(p - room)));
    return true;
}

// The lines of a part's points at Dest, which has room for PointLineRoom
// characters per point.
char* TGISWriteMIF::PutPointLines(char* Dest, const TFloatPoint* Points, int32_t Count) {
    return PutPointLinesOf<0>(Dest, Points, Count);
}

// The grid's cells: each object's lines straight into the ".mif" window and its row
// into the ".mid", the bytes BeginObject and WriteSection write one by one.
int32_t TGISWriteMIF::WriteOnePartObjects(const TOnePartObjects& Objects) {
    const bool pline = FObjectTypes == otPline;
    if ((FObjectTypes != otRegion && !pline) || !FOutMIF->KeepsAscii() ||
        (pline && Objects.PointsPerPart == 2))
        return 0; // a two-point polyline is a "Line"
    const int32_t n = Objects.PointsPerPart;
    const TOnePartTexts texts = OnePartTexts(pline, n);
    const bool quick = FOutMID->KeepsAscii(), high = !FOutMID->KeepsAll();
    const TFloatPoint* part = Objects.Points;
    for (int32_t k = 0; k < Objects.Count; ++k, part += n) {
        if (!PutOnePartObject(texts, part, n))
            return k;
        if (!PutShortMidLine(Objects.Rows[k], quick, high))
            WriteOtherMidLine(Objects.Rows[k]);
        ++FWrittenRecords;
    }
    return Objects.Count;
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
