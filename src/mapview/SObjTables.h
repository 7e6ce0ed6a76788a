#pragma once
// The abstract spatial object table: the interface every layer table of the
// map toolkit implements, with the base behaviour a subclass may keep, and the
// object-creation helpers that build an object description and its extended
// data and hand both to the table's CreateObject.

#include "PlaniMisc.h"
#include "PlaniObjects.h"

#include <functional>
#include <memory>
#include <string>

namespace plani {

class TSpatialObjTable;
using TTableNotifyEvent = std::function<void(TSpatialObjTable& Sender)>;
using TObjectEvent = std::function<void(TSpatialObjTable& Sender, int32_t ObjectID)>;
using TObjErrorEvent =
    std::function<void(TSpatialObjTable& Sender, int32_t ObjectID, const std::string& ErrorMsg)>;

class TSpatialObjTable {
public:
    TSpatialObjTable();
    virtual ~TSpatialObjTable();
    TSpatialObjTable(const TSpatialObjTable&) = delete;
    TSpatialObjTable& operator=(const TSpatialObjTable&) = delete;

    // Close, then ReadOnly, Description, DiskLocation and ObjectNo from Source.
    virtual void Assign(const TSpatialObjTable& Source);

    // The component's name, used in messages about the table.
    const std::string& Name() const { return fName; }
    void SetName(const std::string& v) { fName = v; }
    // The name, else the description, else the disk location.
    std::string ComponentName() const;
    bool Destroying() const { return fDestroying; }

    // Properties.
    TMapUnits Units() const { return GetUnits(); }
    virtual void SetUnits(TMapUnits Value);
    double MetresPerUnit() const { return GetMetresPerUnit(); }
    virtual void SetMetresPerUnit(double Value);
    bool Active() const { return fActive; }
    void SetActive(bool Value); // Open or Close when it changes
    bool ReadOnly() const { return fReadOnly; }
    virtual void SetReadOnly(bool Value) { fReadOnly = Value; }
    const std::string& Description() const { return fDescrip; }
    void SetDescription(const std::string& v) { fDescrip = v; }
    bool Modified() const { return fModified; }
    void SetModified(bool v) { fModified = v; }
    const std::string& DiskLocation() const { return fDiskLoc; }
    virtual void SetDiskLocation(const std::string& Value) { fDiskLoc = Value; }
    int32_t ObjectNo() const { return fobjnum; }
    virtual void SetObjectNo(int32_t Value) { fobjnum = Value; }

    TTableNotifyEvent OnActivate, OnDeactivate;
    TObjectEvent OnObjectAdd, OnFetchObj, OnObjectDelete;
    TObjErrorEvent OnObjectError;

    // Virtual operations with their base behaviour.
    // Copies every object of sfile; a failing object is reported through OnObjectError.
    virtual void ImportFrom(TSpatialObjTable& sfile);
    virtual void Open();
    virtual void Close();
    virtual bool CreateNewTable() { return false; }
    virtual int32_t CreateObject(const TObjectInfo& Attrib, TMemoryStream* ed);
    // Fires OnObjectAdd; subclasses store the object and return its ID.
    virtual int32_t CreateObj(TSpatialObjE2& obj);
    virtual bool DeleteObject(int32_t ObjectID);
    // ObjectNo := ObjectID, FetchObj, then the object's description and data.
    virtual bool FetchObject(int32_t ObjectID, TObjectInfo& ObjInfo, TMemoryStream* ed);
    // Fires OnFetchObj(ObjectNo); subclasses build the object first.
    virtual void FetchObj(std::unique_ptr<TSpatialObjE2>& obj);
    virtual bool ModifyObject(int32_t ObjectID, const TObjectInfo& Attrib, TMemoryStream* ed);
    virtual void ModifyObj(TSpatialObjE2& obj); // "Method not implemented"
    virtual bool GetObjectNodes(int32_t ObjectID, TStream& Nodes);
    virtual bool SetObjectNodes(int32_t ObjectID, TStream& Nodes);
    virtual TFloatRect Extents() { return {}; }
    virtual TFloatRect ObjectExtents(int32_t ObjectID); // "Method not implemented"
    virtual int32_t ObjectCount() { return 0; }
    virtual int32_t HighestObjNo() { return ObjectCount(); }
    virtual void InitObjectNo() { SetObjectNo(1); }

    // Object creation; each returns the ID from CreateObject.
    int32_t CreatePolyline(const TBasicObjectStyle& ObjectStyle, TMemoryStream& LineData);
    int32_t CreatePolygon(const TBasicObjectStyle& ObjectStyle, TMemoryStream& LineData);
    int32_t CreatePoint(const TBasicObjectStyle& ObjectStyle, const TFloatPoint& Pos,
                        const TPointInfo& PointInfo);
    // -1 without creating anything for a rectangle without width or height.
    int32_t CreateEllipse(const TBasicObjectStyle& ObjectStyle, const TFloatRect& Extents);
    int32_t CreateText(const TBasicObjectStyle& ObjectStyle, const TTextInfo& TextInfo);
    // Fetches ObjectID from Tbl and creates it here; 0 when Tbl is missing or the fetch fails.
    int32_t CopyObjectFromTable(TSpatialObjTable* Tbl, int32_t ObjectID, TObjectInfo& ObjInfo,
                                TMemoryStream* ed);

    // Extents and centroid of an object from its extended data (read from the start).
    static void CalcExtentsAndCentroid(TObjectType Type, TMemoryStream& ed, TFloatRect& Extents,
                                       TFloatPoint& Centroid);

protected:
    virtual void DoOpen();
    virtual void DoClose();
    virtual TMapUnits GetUnits() const { return funits; }
    virtual double GetMetresPerUnit() const { return fmpu; }

    // The concrete class's destructor marks the table as being destroyed before it closes it.
    void BeginDestroy() { fDestroying = true; }
    // ObjectNo := ObjectID, then FetchObj: the object, or null when there is none.
    std::unique_ptr<TSpatialObjE2> FetchObjAt(int32_t ObjectID);

    TMapUnits funits = muNone;
    double fmpu = -1.0;
    bool fActive = false;
    bool fReadOnly = false;
    std::string fDescrip = "Spatial object table";
    bool fModified = false;
    std::string fDiskLoc;
    int32_t fobjnum = 0;

private:
    std::string fName;
    bool fDestroying = false;
};

} // namespace plani
