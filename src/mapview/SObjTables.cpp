#include "SObjTables.h"

#include <cmath>

namespace plani {

TSpatialObjTable::TSpatialObjTable() = default;

// A subclass's destructor closes the table with its own Close; by the time this
// runs only the base state is left.
TSpatialObjTable::~TSpatialObjTable() = default;

void TSpatialObjTable::Assign(const TSpatialObjTable& Source) {
    Close();
    fReadOnly = Source.fReadOnly;
    fDescrip = Source.fDescrip;
    fDiskLoc = Source.fDiskLoc;
    fobjnum = Source.fobjnum;
}

std::string TSpatialObjTable::ComponentName() const {
    if (!fName.empty())
        return fName;
    if (!fDescrip.empty())
        return fDescrip;
    return fDiskLoc;
}

void TSpatialObjTable::SetUnits(TMapUnits Value) {
    funits = Value;
    if (Value != muCustom)
        fmpu = MetresPerUnitOf(Value);
}

void TSpatialObjTable::SetMetresPerUnit(double Value) {
    fmpu = Value;
}

void TSpatialObjTable::SetActive(bool Value) {
    if (Value == fActive)
        return;
    if (Value)
        Open();
    else
        Close();
}

void TSpatialObjTable::DoOpen() {
    if (OnActivate)
        OnActivate(*this);
}

void TSpatialObjTable::DoClose() {
    if (OnDeactivate)
        OnDeactivate(*this);
}

void TSpatialObjTable::ImportFrom(TSpatialObjTable& sfile) {
    sfile.InitObjectNo();
    const int32_t last = sfile.HighestObjNo();
    for (int32_t i = 1; i <= last; ++i) {
        try {
            const std::unique_ptr<TSpatialObjE2> obj = sfile.FetchObjAt(i);
            if (obj)
                CreateObj(*obj);
        } catch (const std::exception& e) {
            if (OnObjectError)
                OnObjectError(*this, i, e.what());
        }
    }
}

void TSpatialObjTable::Open() {
    fActive = true;
    SetObjectNo(1);
    DoOpen();
}

void TSpatialObjTable::Close() {
    fActive = false;
    DoClose();
}

int32_t TSpatialObjTable::CreateObject(const TObjectInfo&, TMemoryStream*) {
    return 0;
}

int32_t TSpatialObjTable::CreateObj(TSpatialObjE2&) {
    if (OnObjectAdd)
        OnObjectAdd(*this, 0);
    return 0;
}

bool TSpatialObjTable::DeleteObject(int32_t) {
    return false;
}

bool TSpatialObjTable::FetchObject(int32_t ObjectID, TObjectInfo& ObjInfo, TMemoryStream* ed) {
    const std::unique_ptr<TSpatialObjE2> obj = FetchObjAt(ObjectID);
    if (!obj)
        return false;
    obj->GetObjectInfo(ObjInfo);
    if (ed) {
        ed->Clear();
        obj->WriteData(*ed);
        ed->SetPosition(0);
    }
    return true;
}

std::unique_ptr<TSpatialObjE2> TSpatialObjTable::FetchObjAt(int32_t ObjectID) {
    SetObjectNo(ObjectID);
    std::unique_ptr<TSpatialObjE2> obj;
    FetchObj(obj);
    return obj;
}

void TSpatialObjTable::FetchObj(std::unique_ptr<TSpatialObjE2>&) {
    if (OnFetchObj)
        OnFetchObj(*this, fobjnum);
}

bool TSpatialObjTable::ModifyObject(int32_t, const TObjectInfo&, TMemoryStream*) {
    return false;
}

void TSpatialObjTable::ModifyObj(TSpatialObjE2&) {
    throw Exception("Method not implemented");
}

bool TSpatialObjTable::GetObjectNodes(int32_t ObjectID, TStream& Nodes) {
    const std::unique_ptr<TSpatialObjE2> obj = FetchObjAt(ObjectID);
    if (!obj)
        return false;
    Nodes.SetPosition(0);
    obj->GetNodes(Nodes);
    return true;
}

bool TSpatialObjTable::SetObjectNodes(int32_t ObjectID, TStream& Nodes) {
    const std::unique_ptr<TSpatialObjE2> obj = FetchObjAt(ObjectID);
    if (!obj)
        return false;
    Nodes.SetPosition(0);
    obj->SetNodes(Nodes);
    ModifyObj(*obj);
    return true;
}

TFloatRect TSpatialObjTable::ObjectExtents(int32_t) {
    throw Exception("Method not implemented");
}

// --- Object creation -----------------------------------------------------------------------

void TSpatialObjTable::CalcExtentsAndCentroid(TObjectType Type, TMemoryStream& ed,
                                              TFloatRect& Extents, TFloatPoint& Centroid) {
    switch (Type) {
    case otEllipse:
    case otPoint:
        throw Exception("CalcExtentsAndCentroid can't be used with Ellipses or Points");
    case otPolyline:
    case otPolygon:
    case otPolyBezierCurve: {
        ed.SetPosition(0);
        if (Type == otPolygon) {
            TPolygonSetD2_PGF set;
            set.ReadParts(ed);
            Extents = set.TPolyLineSetD2::Extents();
            Centroid = set.AreaCentroid();
        } else {
            TPolyLineSetD2 set;
            set.ReadParts(ed);
            Extents = set.Extents();
            Centroid = set.Centroid();
        }
        ed.SetPosition(0);
        return;
    }
    case otText: {
        // The text box: Width along the text's direction, Height below it, turned by Angle
        // about the insertion point.
        ed.SetPosition(0);
        TTextInfo ti;
        ti.ReadFrom(ed);
        ed.SetPosition(0);
        const double a = ti.Angle * M_PI / 180.0, ca = std::cos(a), sa = std::sin(a);
        const TFloatPoint p = ti.InsertionPoint;
        const TFloatPoint corners[4] = {
            p,
            {p.X + ti.Width * ca, p.Y + ti.Width * sa},
            {p.X + ti.Height * sa, p.Y - ti.Height * ca},
            {p.X + ti.Width * ca + ti.Height * sa, p.Y + ti.Width * sa - ti.Height * ca}};
        TFloatRect r{p.X, p.Y, p.X, p.Y};
        for (const auto& c : corners)
            r = ExtendFloatRect(r, c);
        Extents = r;
        Centroid = FloatRectCentre(r);
        return;
    }
    default: {
        // Symbols and rectangles: the data starts with the bounding rectangle.
        ed.SetPosition(0);
        TFloatRect r;
        ed.ReadBuffer(&r, sizeof r);
        ed.SetPosition(0);
        Extents = NormalizeFloatRect(r);
        Centroid = FloatRectCentre(Extents);
        return;
    }
    }
}

static TObjectInfo MakeInfo(TObjectType Type, const TBasicObjectStyle& Style) {
    TObjectInfo info;
    info.ObjectType = Type;
    info.SubType = 0;
    info.DeletedFlag = false;
    info.Style = Style;
    return info;
}

int32_t TSpatialObjTable::CreatePolyline(const TBasicObjectStyle& ObjectStyle,
                                         TMemoryStream& LineData) {
    TObjectInfo info = MakeInfo(otPolyline, ObjectStyle);
    CalcExtentsAndCentroid(otPolyline, LineData, info.Extents, info.Centroid);
    return CreateObject(info, &LineData);
}

int32_t TSpatialObjTable::CreatePolygon(const TBasicObjectStyle& ObjectStyle,
                                        TMemoryStream& LineData) {
    TObjectInfo info = MakeInfo(otPolygon, ObjectStyle);
    CalcExtentsAndCentroid(otPolygon, LineData, info.Extents, info.Centroid);
    return CreateObject(info, &LineData);
}

int32_t TSpatialObjTable::CreatePoint(const TBasicObjectStyle& ObjectStyle, const TFloatPoint& Pos,
                                      const TPointInfo& PointInfo) {
    TObjectInfo info = MakeInfo(otPoint, ObjectStyle);
    info.Centroid = Pos;
    info.Extents = {Pos.X, Pos.Y, Pos.X, Pos.Y};
    TMemoryStream ed;
    ed.WriteValue(PointInfo);
    ed.SetPosition(0);
    return CreateObject(info, &ed);
}

int32_t TSpatialObjTable::CreateEllipse(const TBasicObjectStyle& ObjectStyle,
                                        const TFloatRect& Extents) {
    if (Extents.Left == Extents.Right || Extents.Top == Extents.Bottom)
        return -1;
    TObjectInfo info = MakeInfo(otEllipse, ObjectStyle);
    info.Extents = NormalizeFloatRect(Extents);
    info.Centroid = FloatRectCentre(Extents);
    TMemoryStream ed;
    ed.WriteValue(Extents);
    ed.SetPosition(0);
    return CreateObject(info, &ed);
}

int32_t TSpatialObjTable::CreateText(const TBasicObjectStyle& ObjectStyle,
                                     const TTextInfo& TextInfo) {
    TTextInfo ti = TextInfo;
    ti.Width = std::abs(ti.Width);
    ti.Height = std::abs(ti.Height);
    ti.Angle = static_cast<float>(ti.Angle - 360.0 * std::floor(ti.Angle / 360.0));
    if (ti.Angle >= 360.0f)
        ti.Angle = 0.0f;
    TMemoryStream ed;
    ti.WriteTo(ed);
    TObjectInfo info = MakeInfo(otText, ObjectStyle);
    CalcExtentsAndCentroid(otText, ed, info.Extents, info.Centroid);
    return CreateObject(info, &ed);
}

int32_t TSpatialObjTable::CopyObjectFromTable(TSpatialObjTable* Tbl, int32_t ObjectID,
                                              TObjectInfo& ObjInfo, TMemoryStream* ed) {
    if (!Tbl || !ed)
        return 0;
    if (!fActive)
        Open();
    if (!fActive)
        throw CEError("CopyObjectFromTable failed, table not active");
    if (!Tbl->FetchObject(ObjectID, ObjInfo, ed))
        return 0;
    ed->SetPosition(0);
    return CreateObject(ObjInfo, ed);
}

} // namespace plani
