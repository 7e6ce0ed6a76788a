#pragma once
// The toolkit's vector table. Objects (polygons, polylines, texts, points,
// ellipses, curves, symbols, rectangles) are kept as records with an ID,
// extents, centroid, style and type-specific extended data, in a store that
// starts with a 603-byte header. This implementation keeps the store in
// memory (RamFile); the disk form of the same layout with its spatial index is
// not provided.

#include "GrTables.h"

#include <map>
#include <memory>
#include <string>

namespace plani {

// Doubles sit at odd offsets in these records, so extents and centroids are
// kept as plain arrays (Left, Top, Right, Bottom; X, Y).
#pragma pack(push, 1)
struct TPGFHeader {
    char Header[31] = {}; // a length byte and 30 characters
    int16_t Version = 0;
    int32_t IncVersion = 0;
    uint16_t FileID = 0;
    int32_t LastObjID = 0;
    int32_t LastObjPos = 0;
    int32_t ObjectCount = 0;
    char Password[11] = {};
    double Extents[4] = {};
    int32_t FirstPointPos = 0;
    int32_t LastPointPos = 0;
    int32_t CPointCount = 0;
    int32_t LastPointID = 0;
    int32_t FirstObjPos = 0;
    int32_t Layers = 0;
    uint8_t units = 0;
    double mpu = 0.0;
    uint8_t User[476] = {};
};
// The record of one object: this header, a style block, then the extended data.
struct TPGFRecordHeader {
    int32_t ObjectID = 0;
    uint8_t ObjectType = 0;
    int16_t SubType = 0;
    int32_t NextPos = 0;
    double Extents[4] = {};
    uint8_t DeletedFlag = 0;
    int32_t EDLength = 0;
    int32_t EDPos = 0;
};
struct TPGFStyleBlock {
    double Centroid[2] = {};
    uint32_t PenColor = 0;
    uint16_t PenWidth = 0;
    uint8_t PenStyle = 0;
    uint8_t PenMode = 0;
    uint32_t BrushColor = 0;
    uint8_t BrushStyle = 0;
};
#pragma pack(pop)
static_assert(sizeof(TPGFHeader) == 603 && offsetof(TPGFHeader, FirstObjPos) == 110 &&
              offsetof(TPGFHeader, mpu) == 119);
static_assert(sizeof(TPGFRecordHeader) == 52 && offsetof(TPGFRecordHeader, DeletedFlag) == 43);
static_assert(sizeof(TPGFStyleBlock) == 29);
// Through the record itself, never a reference to its unaligned array.
template <typename R> TFloatRect ExtentsOf(const R& rec) {
    return {rec.Extents[0], rec.Extents[1], rec.Extents[2], rec.Extents[3]};
}
template <typename R> void SetExtents(R& rec, const TFloatRect& r) {
    rec.Extents[0] = r.Left;
    rec.Extents[1] = r.Top;
    rec.Extents[2] = r.Right;
    rec.Extents[3] = r.Bottom;
}

// An object of a kind without a drawable class: kept as its description and data, drawn as nothing.
class TStoredObject : public TSpatialObjE2 {
public:
    TObjectType ObjectType() const override { return Info.ObjectType; }
    int16_t SubType() const override { return Info.SubType; }
    TFloatRect Extents() const override { return Info.Extents; }
    TFloatPoint Centroid() const override { return Info.Centroid; }
    void WriteData(TStream& ed) const override {
        ed.WriteBuffer(Data.data(), static_cast<int64_t>(Data.size()));
    }
    void SetNodes(TStream&) override {}
    void Draw(QPainter&, const TWDTransform&) override {}
    int RedrawMargin() const override { return Margin; }

    TObjectInfo Info;
    std::vector<uint8_t> Data;
    int Margin = 2;
};

class TPGFTable;
using TPGFNotifyEvent = std::function<void(TPGFTable& Sender)>;
using TPGFReIndexEvent = std::function<void(TPGFTable& Sender, int Reason)>;

class TPGFTable : public TGraphicTable {
public:
    TPGFTable();
    ~TPGFTable() override;

    void Assign(const TSpatialObjTable& Source) override;

    // Properties.
    bool RamFile() const { return fRamFile; }
    // Closes the table; true also switches both caches off and clears DiskLocation.
    void SetRamFile(bool v);
    bool About() const { return fAbout; }
    void SetAbout(bool v) { fAbout = v; }
    bool CacheIndex() const { return fCacheIndex; }
    void SetCacheIndex(bool v) { fCacheIndex = v; }
    bool CacheGraphic() const { return fCacheGraphic; }
    void SetCacheGraphic(bool v) { fCacheGraphic = v; }
    bool CacheCustomPoints() const { return fCacheCustomPoints; }
    void SetCacheCustomPoints(bool v) { fCacheCustomPoints = v; }
    bool Indexed() const { return fIndexed; }
    void SetIndexed(bool v) { fIndexed = v; }
    int32_t PointWidth() const { return fPointWidth; }
    void SetPointWidth(int32_t v) { fPointWidth = v == 0 ? 1 : v; }
    const std::string& Password() const { return fPassword; }
    void SetPassword(const std::string& v) { fPassword = v; }
    // The number of drawing passes.
    int32_t Layers() const { return fLayers; }
    void SetLayers(int32_t v);
    void SetUnits(TMapUnits Value) override;
    void SetMetresPerUnit(double Value) override;

    TPGFNotifyEvent OnSelectionChange, OnObjectMove, OnPreMoveObjects, OnPostMoveObjects;
    TPGFReIndexEvent OnReIndexRequest, OnReIndexProgress;

    const TPGFHeader& MainHeader() const { return fHeader; }
    // The store: the header followed by the records in creation order; none while closed.
    const TMemoryStream* MainFile() const { return fMainFile.get(); }

    // Operations.
    void Open() override;
    void Close() override;
    // Empties the table and leaves it active.
    bool CreateNewTable() override;
    int32_t CreateObject(const TObjectInfo& Attrib, TMemoryStream* ed) override;
    int32_t CreateObj(TSpatialObjE2& obj) override;
    bool FetchObject(int32_t ObjectID, TObjectInfo& ObjInfo, TMemoryStream* ed) override;
    void FetchObj(std::unique_ptr<TSpatialObjE2>& obj) override;
    TFloatRect Extents() override;
    TFloatRect ObjectExtents(int32_t ObjectID) override;
    int32_t ObjectCount() override { return fHeader.ObjectCount; }
    int32_t HighestObjNo() override { return fHeader.LastObjID; }
    TGraphicTableAttributes Attributes() override {
        return AttrSet(gtaDraw) | AttrSet(gtaInfo) | AttrSet(gtaSelect) | AttrSet(gtaEdit);
    }
    // Draws the objects that meet vp, in Layers passes; returns the final Cancel.
    bool DrawGraphic(const TFloatRect& vp, QPainter& c, const TRect& cr, TMemoryStream* rso,
                     QWidget* pc, int pd, bool& Cancel) override;
    void SetSearchArea(const TFloatRect& rect) override;

    // Iteration over the objects whose extents meet a rectangle (touching counts).
    int32_t CreateSearchArea(const TFloatRect& Area);
    bool FetchFromSearchArea(int32_t SearchHnd, int32_t& ObjectID, TObjectInfo& ObjInfo,
                             TMemoryStream* ed);
    bool DestroySearchArea(int32_t SearchHnd);

    // Checks the extended data of an object type from the start of the stream
    // (CEError with kind ceDataFormatError for malformed data); a text's angle is
    // brought into 0 <= angle < 360 and written back.
    static void CheckExtendedData(TObjectType Type, TMemoryStream* ed);
    // The drawable object of a stored description and its data (read from the start).
    static std::unique_ptr<TSpatialObjE2> BuildObject(const TObjectInfo& Info, TMemoryStream& ed);

private:
    struct TSearch {
        TFloatRect Area;
        int32_t NextPos;
    };
    void ResetHeader();
    void NewStore();
    void RewriteHeader();
    const TPGFRecordHeader* RecordAt(int32_t pos) const;
    // The record position of an object, 0 when there is none.
    int32_t InternalFindObjectLocation(int32_t ObjectID) const;
    void ReadRecord(int32_t pos, int32_t& ObjectID, TObjectInfo& ObjInfo, TMemoryStream* ed) const;

    bool fRamFile = false;
    bool fAbout = false;
    bool fCacheIndex = false;
    bool fCacheGraphic = false;
    bool fCacheCustomPoints = true;
    bool fIndexed = false;
    int32_t fPointWidth = 1;
    std::string fPassword;
    int32_t fLayers = 1;

    TPGFHeader fHeader;
    std::unique_ptr<TMemoryStream> fMainFile;
    std::map<int32_t, TSearch> fSearches;
    int32_t fNextSearch = 0;
    int32_t fSearchHnd = 0;
};

} // namespace plani
