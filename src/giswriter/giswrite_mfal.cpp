// TGISWriteMFAL: a MapInfo TAB table written through MapInfo's closed file access
// library (binding in mfal.h). The writer describes the table's fields in
// MI_ATTRDEF records, has the library create the table from them and the CoordSys
// clause, and hands it one MI_OBJ record per object together with the attribute
// row re-joined with TAB characters.
//
// Object types: 200 no geometry, 201 point, 202 two-point line, 204 polyline of
// one part, 205 region, 210 polyline of several parts. The point, section and
// ring arrays the records point to are reused from object to object.

#include "mfal.h"
#include "giswrite_mfal.h"

#include <cstddef>
#include <cstring>

namespace pwnet {

// The library reads these records byte for byte.
static_assert(sizeof(DPNT) == 16);
static_assert(sizeof(TFloatPoint) == sizeof(DPNT));
static_assert(sizeof(MI_ATTRDEF) == 38 && offsetof(MI_ATTRDEF, fieldtype) == 32 &&
              offsetof(MI_ATTRDEF, bIndexed) == 36);
static_assert(sizeof(MI_CPEN) == 16 && offsetof(MI_CPEN, pat) == 4 &&
              offsetof(MI_CPEN, color) == 12);
static_assert(sizeof(MI_SYMBOL) == 12 && offsetof(MI_SYMBOL, color) == 4 &&
              offsetof(MI_SYMBOL, pointsize) == 8);
static_assert(sizeof(MI_XBRUSH) == 16 && offsetof(MI_XBRUSH, transparent) == 12);
static_assert(sizeof(MI_POLY) == 16 && offsetof(MI_POLY, pPnts) == 8);
static_assert(sizeof(MI_LINE) == 48 && offsetof(MI_LINE, pen) == 32);
static_assert(sizeof(MI_PLINE) == 32 && offsetof(MI_PLINE, pen) == 8 &&
              offsetof(MI_PLINE, data) == 24);
static_assert(sizeof(MI_MULTIPLINE) == 48 && offsetof(MI_MULTIPLINE, centroid) == 24 &&
              offsetof(MI_MULTIPLINE, data) == 40);
static_assert(offsetof(MI_POINT, symbol) == 16);
static_assert(sizeof(MI_REGION) == 64 && offsetof(MI_REGION, pen) == 4 &&
              offsetof(MI_REGION, brush) == 20 && offsetof(MI_REGION, centroid) == 40 &&
              offsetof(MI_REGION, data) == 56);
static_assert(sizeof(MI_OBJ) == 216 && offsetof(MI_OBJ, line) == 8);

namespace {

constexpr uint16_t LibraryCodePage = 1252;
constexpr int32_t CreateMode = 5;

uint8_t FieldTypeCode(TGISField t) {
    switch (t) {
    case gfChar:
        return 1;
    case gfDecimal:
        return 2;
    case gfInteger:
        return 3;
    case gfSmallInt:
        return 4;
    case gfDate:
        return 5;
    case gfLogical:
        return 6;
    case gfFloat:
        return 8;
    case gfTime:
    case gfDateTime:
        return 1; // kept as their text: HHMMSSmmm, YYYYMMDDHHMMSSmmm
    }
    return 1;
}

// A value that must be quoted in a TAB-separated row: it holds a TAB, a blank, a
// control character or a double quote.
bool NeedsQuotes(std::string_view v) {
    for (const char c : v)
        if (static_cast<unsigned char>(c) <= 32 || c == '"')
            return true;
    return false;
}

} // namespace

TGISWriteMFAL::TGISWriteMFAL() : FLib(MfalEntries()) {}

TGISWriteMFAL::TGISWriteMFAL(const TMfalEntryPoints& Library) : FLib(&Library) {}

TGISWriteMFAL::~TGISWriteMFAL() {
    // An output never closed: the table is closed here, the base removes its files.
    ReleaseFiles();
}

void TGISWriteMFAL::DoStartHeader() {
    Fields.assign(static_cast<size_t>(FNumFields), MI_ATTRDEF{});
    FieldIndex = 0;
    TId = 0;
    if (FNumFields == 0)
        CreateTable(); // no field will complete the schema
}

void TGISWriteMFAL::DoAddField() {
    const TFieldInfo& field = FFieldInfo[FWrittenFields];
    MI_ATTRDEF def{};
    MfalFieldName(def.name, UnicodeToCodePage(field.Name, LibraryCodePage));
    def.fieldtype = FieldTypeCode(field.FieldType);
    def.width = field.Width;
    def.decPlaces = field.decimals;
    if (field.FieldType == gfTime && def.width < 9)
        def.width = 9;
    if (field.FieldType == gfDateTime && def.width < 17)
        def.width = 17;
    def.bIndexed = 0;
    Fields[static_cast<size_t>(FieldIndex)] = def;
    ++FieldIndex;
    if (FWrittenFields == FNumFields)
        CreateTable();
}

// The table with all its fields. A table the library cannot create leaves TId 0:
// every later object is skipped.
void TGISWriteMFAL::CreateTable() {
    if (!FLib)
        return;
    std::string projection(MfalProjectionSize, '\0');
    const std::string coordSys = UnicodeToCodePage(CoordSys, LibraryCodePage);
    FLib->CoordSysToProjection(coordSys.c_str(), projection.data());
    const std::string table = UnicodeToCodePage(FileName + ".tab", LibraryCodePage);
    TId =
        FLib->CreateTable(table.c_str(), Fields.data(), FNumFields, projection.data(), CreateMode);
    if (TId == 0)
        return;
    for (const char* ext : {".tab", ".map", ".dat", ".id"})
        RegisterOutputFile(FileName + ext);
}

// The row split by the usual rules and joined again with TABs; a value that needs
// them is quoted with its quotes doubled, a row of one empty value becomes "".
// The number of values is not checked.
void TGISWriteMFAL::JoinAttributes(std::string_view Attrib) {
    SplitAttrib(Attrib, false);
    FJoined.clear();
    if (FSL.Count() == 1 && FSL[0].empty()) {
        FJoined.assign("\"\"");
    } else {
        for (size_t i = 0; i < FSL.Count(); ++i) {
            const std::string& v = FSL[i];
            if (i > 0)
                FJoined += '\t';
            if (!NeedsQuotes(v)) {
                FJoined.append(v);
                continue;
            }
            FJoined += '"';
            for (const char c : v) {
                if (c == '"')
                    FJoined += '"';
                FJoined += c;
            }
            FJoined += '"';
        }
    }
    attrib_tab.clear();
    FEncoding->EncodeTo(FJoined, attrib_tab);
}

MI_CPEN TGISWriteMFAL::ObjectPen() const {
    MI_CPEN pen{};
    pen.width = static_cast<int16_t>(Pen.Width);
    pen.pat = Pen.pattern;
    pen.style = 2;
    pen.color = ColorToMapInfo(Pen.Color);
    return pen;
}

// The whole record is zeroed: the library sees no stale bytes of an earlier object.
void TGISWriteMFAL::ResetObject(uint8_t ObjType) {
    std::memset(&miobject, 0, sizeof miobject);
    miobject.objtype = ObjType;
}

void TGISWriteMFAL::WriteObject() {
    int32_t result = 0;
    FLib->AppendObject(TId, attrib_tab.c_str(), &miobject, &result);
}

void TGISWriteMFAL::BeginObject(int32_t NumParts, std::string_view Attrib) {
    TGISWrite::BeginObject(NumParts, Attrib);
    FPending = false;
    if (TId == 0)
        return;
    JoinAttributes(Attrib);
    ++FWrittenRecords;
    if (NumParts <= 0 || FObjectTypes == otNone) {
        ResetObject(MiNoGeometry);
        WriteObject();
        return;
    }
    if (NumParts > 1 || FObjectTypes == otRegion) {
        if (mipolys.size() < static_cast<size_t>(NumParts))
            mipolys.resize(static_cast<size_t>(NumParts));
        if (pointsM.size() < static_cast<size_t>(NumParts))
            pointsM.resize(static_cast<size_t>(NumParts));
    }
    Fpartsindex = 0;
    FPending = true;
}

void TGISWriteMFAL::WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) {
    TGISWrite::WriteSection(Index, SegList);
    if (!FPending)
        return;
    const TFloatPoint* pts = SegList.Pnt.data();
    if (FObjectTypes == otPoint) {
        // A point table's object is the point its first part begins with.
        if (FWrittenParts == 1) {
            ResetObject(MiPoint);
            miobject.point.pnt = DPNT{pts[0].x, pts[0].y};
            miobject.point.symbol.code = static_cast<int16_t>(Symbol.Shape);
            miobject.point.symbol.color = ColorToMapInfo(Symbol.Color);
            miobject.point.symbol.pointsize = static_cast<int16_t>(Symbol.Size);
            WriteObject();
        }
        FPending = FWrittenParts < FNumParts;
        return;
    }
    if (FObjectTypes != otRegion && FNumParts == 1) {
        if (SegList.Count == 2) {
            ResetObject(MiLine);
            miobject.line.lbeg = DPNT{pts[0].x, pts[0].y};
            miobject.line.lend = DPNT{pts[1].x, pts[1].y};
            miobject.line.pen = ObjectPen();
        } else {
            if (pointsM.empty())
                pointsM.resize(1);
            std::vector<DPNT>& points = pointsM[0];
            points.resize(static_cast<size_t>(SegList.Count));
            for (int32_t i = 0; i < SegList.Count; ++i)
                points[i] = DPNT{pts[i].x, pts[i].y};
            ResetObject(MiPolyline);
            miobject.pline.points = SegList.Count;
            miobject.pline.pen = ObjectPen();
            miobject.pline.data = points.data();
        }
        WriteObject();
        FPending = false;
        return;
    }

    std::vector<DPNT>& points = pointsM[static_cast<size_t>(Fpartsindex)];
    points.resize(static_cast<size_t>(SegList.Count));
    for (int32_t i = 0; i < SegList.Count; ++i)
        points[i] = DPNT{pts[i].x, pts[i].y};
    mipolys[static_cast<size_t>(Fpartsindex)] = MI_POLY{SegList.Count, 0, points.data()};
    ++Fpartsindex;
    if (FWrittenParts < FNumParts)
        return;
    if (FObjectTypes == otRegion) {
        ResetObject(MiRegion);
        miobject.region.regions = FNumParts;
        miobject.region.pen = ObjectPen();
        miobject.region.brush.pat = Brush.pattern;
        miobject.region.brush.forecolor = ColorToMapInfo(Brush.fg_color);
        miobject.region.brush.backcolor = ColorToMapInfo(Brush.bg_color);
        miobject.region.brush.transparent = 0;
        miobject.region.data = mipolys.data();
    } else {
        ResetObject(MiMultiPolyline);
        miobject.multipline.plines = FNumParts;
        miobject.multipline.pen = ObjectPen();
        miobject.multipline.data = mipolys.data();
    }
    WriteObject();
    FPending = false;
}

// An object whose parts did not all arrive is written without geometry, so the
// table keeps one row per object.
void TGISWriteMFAL::AbandonObject() {
    TGISWrite::AbandonObject();
    if (!FPending)
        return;
    ResetObject(MiNoGeometry);
    WriteObject();
    FPending = false;
}

void TGISWriteMFAL::DoAddPoint(double X, double Y, std::string_view Attrib) {
    if (TId == 0)
        return;
    JoinAttributes(Attrib);
    ++FWrittenRecords;
    ResetObject(MiPoint);
    miobject.point.pnt = DPNT{X, Y};
    miobject.point.symbol.code = static_cast<int16_t>(Symbol.Shape);
    miobject.point.symbol.color = ColorToMapInfo(Symbol.Color);
    miobject.point.symbol.pointsize = static_cast<int16_t>(Symbol.Size);
    WriteObject();
}

void TGISWriteMFAL::DoClose() {
    if (TId != 0)
        FLib->CloseTable(TId);
    TId = 0;
}

void TGISWriteMFAL::ReleaseFiles() noexcept {
    TGISWrite::ReleaseFiles();
    if (TId != 0 && FLib)
        FLib->CloseTable(TId);
    TId = 0;
    FPending = false;
}

} // namespace pwnet
