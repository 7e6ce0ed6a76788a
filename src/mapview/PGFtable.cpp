#include "PGFtable.h"

#include <QElapsedTimer>
#include <QPainter>
#include <cmath>
#include <cstring>
#include <random>

namespace plani {

namespace {

const char kHeaderText[] = "Planispherique Graphic Table";
constexpr int32_t kRecordSize = sizeof(TPGFRecordHeader) + sizeof(TPGFStyleBlock); // 81

[[noreturn]] void TooShort() {
    throw CEError("Error while checking graphic object - Extended data record too short",
                  ceDataFormatError);
}

// Reads exactly n bytes or raises the "too short" data error.
void ReadChecked(TStream& s, void* buf, int64_t n) {
    if (n > 0 && s.Read(buf, n) != n)
        TooShort();
}

uint16_t RandomFileID() {
    static std::mt19937 gen{std::random_device{}()};
    return static_cast<uint16_t>(std::uniform_int_distribution<int>(0, 0xFFFE)(gen));
}

void SetShortString(char* dst, size_t capacity, const std::string& s) {
    const size_t n = std::min(s.size(), capacity - 1);
    std::memset(dst, 0, capacity);
    dst[0] = static_cast<char>(n);
    std::memcpy(dst + 1, s.data(), n);
}

} // namespace

TPGFTable::TPGFTable() {
    funits = muNone;
    fmpu = -1.0;
}

TPGFTable::~TPGFTable() {
    BeginDestroy();
    Close();
    fSearches.clear();
    DetachFromViewports();
}

void TPGFTable::Assign(const TSpatialObjTable& Source) {
    const auto* src = dynamic_cast<const TPGFTable*>(&Source);
    if (!src)
        throw Exception("Cannot assign this table to a TPGFTable");
    TSpatialObjTable::Assign(Source);
    fRamFile = src->fRamFile;
    fAbout = src->fAbout;
    fPassword = src->fPassword;
    fPointWidth = src->fPointWidth;
    if (src->fActive)
        Open();
    fIndexed = src->fIndexed;
    fCacheIndex = src->fCacheIndex;
    fCacheGraphic = src->fCacheGraphic;
}

void TPGFTable::SetRamFile(bool v) {
    Close();
    fRamFile = v;
    if (v) {
        fCacheIndex = fCacheGraphic = false;
        fDiskLoc.clear();
    }
}

void TPGFTable::SetLayers(int32_t v) {
    fLayers = v;
    if (fActive) {
        fHeader.Layers = v;
        RewriteHeader();
    }
}

void TPGFTable::SetUnits(TMapUnits Value) {
    TSpatialObjTable::SetUnits(Value);
    if (fActive) {
        fHeader.units = Value;
        fHeader.mpu = fmpu;
        RewriteHeader();
    }
}

void TPGFTable::SetMetresPerUnit(double Value) {
    TSpatialObjTable::SetMetresPerUnit(Value);
    if (fActive) {
        fHeader.mpu = Value;
        RewriteHeader();
    }
}

// --- Store --------------------------------------------------------------------------------------

void TPGFTable::ResetHeader() {
    fHeader = TPGFHeader{};
    SetShortString(fHeader.Header, sizeof fHeader.Header, kHeaderText);
    fHeader.Version = 115;
    fHeader.IncVersion = 1;
    fHeader.FileID = RandomFileID();
    fHeader.Layers = fLayers;
    fHeader.units = funits;
    fHeader.mpu = fmpu;
    SetShortString(fHeader.Password, sizeof fHeader.Password, fPassword);
}

void TPGFTable::NewStore() {
    ResetHeader();
    fMainFile = std::make_unique<TMemoryStream>();
    fMainFile->WriteBuffer(&fHeader, sizeof fHeader);
}

void TPGFTable::RewriteHeader() {
    if (!fMainFile)
        return;
    fMainFile->SetPosition(0);
    if (fMainFile->Write(&fHeader, sizeof fHeader) != sizeof fHeader)
        throw CEError("Fatal error writing to graphic file");
}

const TPGFRecordHeader* TPGFTable::RecordAt(int32_t pos) const {
    if (!fMainFile || pos < static_cast<int32_t>(sizeof(TPGFHeader)) ||
        pos + kRecordSize > fMainFile->Size())
        return nullptr;
    return reinterpret_cast<const TPGFRecordHeader*>(fMainFile->Memory() + pos);
}

int32_t TPGFTable::InternalFindObjectLocation(int32_t ObjectID) const {
    if (!fActive)
        throw CEError("InternalFindObjectLocation: Table inactive");
    for (int32_t pos = fHeader.FirstObjPos; pos != 0;) {
        const TPGFRecordHeader* rh = RecordAt(pos);
        if (!rh)
            return 0;
        if (rh->ObjectID == ObjectID)
            return rh->DeletedFlag ? 0 : pos;
        if (rh->NextPos <= pos)
            return 0; // records only ever follow each other
        pos = rh->NextPos;
    }
    return 0;
}

void TPGFTable::ReadRecord(int32_t pos, int32_t& ObjectID, TObjectInfo& ObjInfo,
                           TMemoryStream* ed) const {
    const TPGFRecordHeader* rh = RecordAt(pos);
    TPGFStyleBlock sb;
    std::memcpy(&sb, fMainFile->Memory() + pos + sizeof(TPGFRecordHeader), sizeof sb);
    ObjectID = rh->ObjectID;
    ObjInfo.ObjectType = static_cast<TObjectType>(rh->ObjectType);
    ObjInfo.SubType = rh->SubType;
    ObjInfo.DeletedFlag = rh->DeletedFlag != 0;
    ObjInfo.Extents = ExtentsOf(*rh);
    ObjInfo.Centroid = {sb.Centroid[0], sb.Centroid[1]};
    ObjInfo.Style.PenColor = sb.PenColor;
    ObjInfo.Style.PenWidth = static_cast<uint8_t>(sb.PenWidth);
    ObjInfo.Style.PenStyle = static_cast<TPenStyle>(sb.PenStyle);
    ObjInfo.Style.PenMode = static_cast<TPenMode>(sb.PenMode);
    ObjInfo.Style.BrushColor = sb.BrushColor;
    ObjInfo.Style.BrushStyle = static_cast<TBrushStyle>(sb.BrushStyle);
    if (ed) {
        ed->Clear();
        const int64_t len = std::min<int64_t>(rh->EDLength, fMainFile->Size() - rh->EDPos);
        if (len > 0)
            ed->WriteBuffer(fMainFile->Memory() + rh->EDPos, len);
        ed->SetPosition(0);
    }
}

// --- Life cycle ---------------------------------------------------------------------------------

void TPGFTable::Open() {
    if (fActive)
        return;
    // The disk form is not provided: such a table stays closed.
    if (!fRamFile)
        return;
    if (!fMainFile)
        NewStore();
    TGraphicTable::Open();
    SetSearchArea(Extents());
}

void TPGFTable::Close() {
    if (!fActive)
        return;
    ClearSelection();
    DestroySearchArea(fSearchHnd);
    fSearchHnd = 0;
    // The inherited Close repaints the old extents, which the header still holds.
    TGraphicTable::Close();
    fMainFile.reset();
    fSearches.clear();
    fHeader = TPGFHeader{};
}

bool TPGFTable::CreateNewTable() {
    if (fActive)
        Close();
    if (!fRamFile) {
        if (fDiskLoc.empty())
            throw CEError("Create error: No DiskLocation specified");
        throw CEError("Create error: " + fDiskLoc + " : only tables held in memory can be created");
    }
    NewStore();
    SetActive(true);
    return fActive;
}

// --- Objects ------------------------------------------------------------------------------------

void TPGFTable::CheckExtendedData(TObjectType Type, TMemoryStream* ed) {
    TMemoryStream empty;
    TMemoryStream& s = ed ? *ed : empty;
    s.SetPosition(0);
    switch (Type) {
    case otPolygon:
    case otPolyline: {
        int32_t nParts = 0;
        ReadChecked(s, &nParts, 4);
        for (int32_t i = 0; i < nParts; ++i) {
            int32_t n = 0;
            ReadChecked(s, &n, 4);
            if (n > 0 && s.Size() - s.Position() < static_cast<int64_t>(n) * 16)
                TooShort();
            int unique = 0;
            TFloatPoint first, prev, p;
            for (int32_t k = 0; k < n; ++k) {
                ReadChecked(s, &p, 16);
                if (k == 0) {
                    first = p;
                    unique = 1;
                } else if (!FloatPointsEqual(p, prev)) {
                    ++unique;
                }
                prev = p;
            }
            if (n > 1 && FloatPointsEqual(prev, first))
                --unique;
            if (Type == otPolygon && unique < 3)
                throw CEError(
                    "Error while checking polygon object - Must have at least 3 unique vertices",
                    ceDataFormatError);
            if (Type == otPolyline && unique < 2)
                throw CEError(
                    "Error while checking polyline object - Must have at least 2 unique vertices",
                    ceDataFormatError);
        }
        break;
    }
    case otText: {
        TTextInfo ti;
        if (s.Size() - s.Position() < TTextInfo::ByteSize)
            TooShort();
        ti.ReadFrom(s);
        double a = ti.Angle - 360.0 * std::floor(ti.Angle / 360.0);
        ti.Angle = static_cast<float>(a);
        if (ti.Angle >= 360.0f)
            ti.Angle = 0.0f; // float rounding of a value just below 360
        s.SetPosition(0);
        ti.WriteTo(s);
        break;
    }
    case otPoint: {
        uint8_t buf[4];
        ReadChecked(s, buf, 4);
        break;
    }
    case otEllipse: {
        uint8_t buf[32];
        ReadChecked(s, buf, 32);
        break;
    }
    default:
        break;
    }
    s.SetPosition(0);
}

std::unique_ptr<TSpatialObjE2> TPGFTable::BuildObject(const TObjectInfo& Info, TMemoryStream& ed) {
    const int16_t st = Info.SubType;
    auto subtypeIn = [st](int lo, int hi) {
        if (st < lo || st > hi)
            throw Exception("Invalid obj_info.SubType field");
    };
    ed.SetPosition(0);
    switch (Info.ObjectType) {
    case otPolyline: {
        auto obj = std::make_unique<TPolyLineSetD2_PGF>();
        obj->Style = Info.Style;
        obj->ReadParts(ed);
        if (ed.Position() < ed.Size()) {
            obj->Pen.ReadFrom(ed);
            obj->HasStreamPen = true;
        } else {
            obj->SetPenFromStyle(Info.Style);
        }
        obj->fExtents = Info.Extents;
        obj->fCentroid = Info.Centroid;
        return obj;
    }
    case otPolygon: {
        auto obj = std::make_unique<TPolygonSetD2_PGF>();
        obj->Style = Info.Style;
        obj->ReadParts(ed);
        obj->fExtents = Info.Extents;
        obj->fCentroid = Info.Centroid;
        return obj;
    }
    case otText:
        break;
    case otPoint:
        subtypeIn(0, 3);
        break;
    case otEllipse:
        subtypeIn(0, 1);
        break;
    case otPolyBezierCurve:
        break;
    case otScalableSymbol:
        subtypeIn(0, 1);
        break;
    case otIsoRectRgn:
        subtypeIn(0, 0);
        break;
    default:
        throw Exception("Invalid obj_info.ObjectType field");
    }
    auto obj = std::make_unique<TStoredObject>();
    obj->Info = Info;
    obj->Style = Info.Style;
    obj->Data.assign(ed.Memory(), ed.Memory() + ed.Size());
    if (Info.ObjectType == otPolyBezierCurve)
        obj->Margin = Info.Style.PenWidth / 2 + 2;
    return obj;
}

int32_t TPGFTable::CreateObject(const TObjectInfo& Attrib, TMemoryStream* ed) {
    if (!fActive)
        Open();
    if (!fActive)
        throw CEError("CreateObject failed, table not active");
    if (Attrib.ObjectType > otIsoRectRgn)
        throw Exception("Invalid obj_info.ObjectType field");
    TMemoryStream empty;
    TMemoryStream& data = ed ? *ed : empty;
    CheckExtendedData(Attrib.ObjectType, &data);
    // Everything that can refuse the object runs before the store changes.
    const int margin = BuildObject(Attrib, data)->RedrawMargin();
    TFloatRect objExtents = NormalizeFloatRect(Attrib.Extents);

    const int64_t pos64 = fMainFile->Size();
    if (pos64 + kRecordSize + data.Size() > INT32_MAX)
        throw CEError("Fatal error writing to graphic file");
    const int32_t pos = static_cast<int32_t>(pos64);
    TPGFHeader h = fHeader;
    int32_t id = 1;
    if (h.FirstObjPos != 0) {
        const TPGFRecordHeader* last = RecordAt(h.LastObjPos);
        if (!last)
            throw CEError("Fatal error writing to graphic file");
        id = last->ObjectID + 1;
    } else {
        h.FirstObjPos = pos;
    }
    h.LastObjPos = pos;
    h.LastObjID = id;
    SetExtents(h, id == 1 ? objExtents : UnionFloatRect(ExtentsOf(h), objExtents));
    h.ObjectCount += 1;

    TPGFRecordHeader rh;
    rh.ObjectID = id;
    rh.ObjectType = Attrib.ObjectType;
    rh.SubType = Attrib.SubType;
    rh.NextPos = 0;
    SetExtents(rh, objExtents);
    rh.DeletedFlag = Attrib.DeletedFlag ? 1 : 0;
    rh.EDLength = static_cast<int32_t>(data.Size());
    rh.EDPos = pos + kRecordSize;
    TPGFStyleBlock sb;
    sb.Centroid[0] = Attrib.Centroid.X;
    sb.Centroid[1] = Attrib.Centroid.Y;
    sb.PenColor = Attrib.Style.PenColor;
    sb.PenWidth = Attrib.Style.PenWidth;
    sb.PenStyle = Attrib.Style.PenStyle;
    sb.PenMode = Attrib.Style.PenMode;
    sb.BrushColor = Attrib.Style.BrushColor;
    sb.BrushStyle = Attrib.Style.BrushStyle;

    TMemoryStream& s = *fMainFile;
    const int32_t oldLastPos = fHeader.FirstObjPos != 0 ? fHeader.LastObjPos : 0;
    bool ok = true;
    s.SetPosition(pos);
    ok = ok && s.Write(&rh, sizeof rh) == sizeof rh;
    ok = ok && s.Write(&sb, sizeof sb) == sizeof sb;
    ok = ok && s.Write(data.Memory(), data.Size()) == data.Size();
    if (ok && oldLastPos != 0) {
        s.SetPosition(oldLastPos + offsetof(TPGFRecordHeader, NextPos));
        ok = s.Write(&pos, 4) == 4;
    }
    if (ok) {
        s.SetPosition(0);
        ok = s.Write(&h, sizeof h) == sizeof h;
    }
    if (!ok) {
        // Leave the records and counters as they were.
        s.SetSize(pos);
        if (oldLastPos != 0) {
            const int32_t zero = 0;
            s.SetPosition(oldLastPos + offsetof(TPGFRecordHeader, NextPos));
            s.Write(&zero, 4);
        }
        s.SetPosition(0);
        s.Write(&fHeader, sizeof fHeader);
        throw CEError("Fatal error writing to graphic file");
    }
    fHeader = h;
    fModified = true;
    if (OnObjectAdd)
        OnObjectAdd(*this, id);
    NotifyChange(objExtents, margin, false);
    if (fIndexed && OnReIndexRequest && fSearchHnd != 0) {
        // No spatial index is kept in memory; an object outside the extents the
        // table opened with asks for a new one, as the disk form does.
        auto it = fSearches.find(fSearchHnd);
        if (it != fSearches.end() && !FloatRectWithin(objExtents, it->second.Area))
            OnReIndexRequest(*this, 3);
    }
    return id;
}

int32_t TPGFTable::CreateObj(TSpatialObjE2& obj) {
    TObjectInfo info;
    obj.GetObjectInfo(info);
    TMemoryStream ed;
    obj.WriteData(ed);
    ed.SetPosition(0);
    return CreateObject(info, &ed);
}

bool TPGFTable::FetchObject(int32_t ObjectID, TObjectInfo& ObjInfo, TMemoryStream* ed) {
    if (!fActive)
        throw CEError("Unable to fetch data from an inactive table");
    SetObjectNo(ObjectID);
    const int32_t pos = InternalFindObjectLocation(ObjectID);
    if (pos == 0)
        return false;
    int32_t id;
    ReadRecord(pos, id, ObjInfo, ed);
    return true;
}

void TPGFTable::FetchObj(std::unique_ptr<TSpatialObjE2>& obj) {
    if (!fActive)
        throw CEError("Unable to fetch data from an inactive table");
    obj.reset();
    const int32_t pos = InternalFindObjectLocation(ObjectNo());
    if (pos != 0) {
        int32_t id;
        TObjectInfo info;
        TMemoryStream ed;
        ReadRecord(pos, id, info, &ed);
        obj = BuildObject(info, ed);
    }
    TSpatialObjTable::FetchObj(obj);
}

TFloatRect TPGFTable::Extents() {
    return fActive ? ExtentsOf(fHeader) : TFloatRect{};
}

TFloatRect TPGFTable::ObjectExtents(int32_t ObjectID) {
    const int32_t pos = InternalFindObjectLocation(ObjectID);
    return pos ? ExtentsOf(*RecordAt(pos)) : TFloatRect{};
}

// --- Search areas -------------------------------------------------------------------------------

int32_t TPGFTable::CreateSearchArea(const TFloatRect& Area) {
    if (!fActive)
        return 0;
    TFloatRect a = FloatRect(Area.Left, Area.Top, Area.Right, Area.Bottom);
    if (a.Left == a.Right || a.Top == a.Bottom)
        a = Extents();
    if (!FloatRectsOverlap(NormalizeFloatRect(Extents()), a))
        return 0;
    const int32_t h = ++fNextSearch;
    fSearches[h] = {a, fHeader.FirstObjPos};
    return h;
}

bool TPGFTable::FetchFromSearchArea(int32_t SearchHnd, int32_t& ObjectID, TObjectInfo& ObjInfo,
                                    TMemoryStream* ed) {
    auto it = fSearches.find(SearchHnd);
    if (it == fSearches.end() || !fActive)
        return false;
    TSearch& s = it->second;
    while (s.NextPos != 0) {
        const int32_t pos = s.NextPos;
        const TPGFRecordHeader* rh = RecordAt(pos);
        if (!rh) {
            s.NextPos = 0;
            return false;
        }
        s.NextPos = rh->NextPos > pos ? rh->NextPos : 0;
        if (rh->DeletedFlag)
            continue;
        if (FloatRectsOverlap(NormalizeFloatRect(ExtentsOf(*rh)), s.Area)) {
            ReadRecord(pos, ObjectID, ObjInfo, ed);
            return true;
        }
    }
    return false;
}

bool TPGFTable::DestroySearchArea(int32_t SearchHnd) {
    return fSearches.erase(SearchHnd) > 0;
}

void TPGFTable::SetSearchArea(const TFloatRect& rect) {
    DestroySearchArea(fSearchHnd);
    fSearchHnd = CreateSearchArea(rect);
}

// --- Drawing ------------------------------------------------------------------------------------

bool TPGFTable::DrawGraphic(const TFloatRect& vp, QPainter& c, const TRect& cr, TMemoryStream* rso,
                            QWidget* pc, int pd, bool& Cancel) {
    if (!fActive || fHeader.ObjectCount <= 0)
        return false;
    QElapsedTimer clock;
    clock.start();
    const bool overrideStyles = rso && rso->Size() > 0;
    const TWDTransform tr(vp, cr);
    TMemoryStream scratch;
    for (int32_t pass = fLayers - 1; pass >= 0; --pass) {
        const int32_t h = CreateSearchArea(vp);
        if (h == 0)
            return false;
        int32_t id = 0;
        TObjectInfo info;
        while (FetchFromSearchArea(h, id, info, &scratch)) {
            if (overrideStyles && static_cast<int64_t>(id) * 12 + 12 <= rso->Size())
                std::memcpy(&info.Style, rso->Memory() + static_cast<int64_t>(id) * 12, 12);
            std::unique_ptr<TSpatialObjE2> obj;
            try {
                obj = BuildObject(info, scratch);
            } catch (const std::exception&) {
                obj.reset(); // a record that cannot be drawn is skipped
            }
            if (OnPreDrawObject)
                OnPreDrawObject(*this, id, obj);
            if (obj) {
                if (auto* set = dynamic_cast<TPolyLineSetD2_PGF*>(obj.get())) {
                    if (pass < set->Pen.PenLayers())
                        set->DrawPenLayer(c, tr, pass);
                } else if (pass == fLayers - 1) {
                    obj->Draw(c, tr);
                }
            }
            if (pd != 0 && clock.elapsed() > pd) {
                RefreshDuringDraw(pc, cr);
                clock.restart();
            }
            if (!fActive)
                Cancel = true;
            if (Cancel)
                break;
        }
        DestroySearchArea(h);
        if (Cancel)
            break;
    }
    return Cancel;
}

} // namespace plani
