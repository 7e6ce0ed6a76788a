#pragma once
// The drawable objects a vector table builds from its stored records: a root
// class and the polyline and polygon sets (parts of vertex chains). The other
// kinds of the wider object model (texts, symbols, ellipses, curves) are stored
// by the tables but have no drawable class here.

#include "PlaniMisc.h"

#include <QPoint>
#include <vector>

class QPainter;

namespace plani {

class TSpatialObjE2 {
public:
    virtual ~TSpatialObjE2() = default;
    virtual TObjectType ObjectType() const = 0;
    virtual int16_t SubType() const { return 0; }
    virtual TFloatRect Extents() const = 0;
    virtual TFloatPoint Centroid() const = 0;
    // The object as a table stores it: its description and its extended data.
    void GetObjectInfo(TObjectInfo& Info) const;
    virtual void WriteData(TStream& ed) const = 0;
    // The node list (vertex chains in the extended-data layout).
    virtual void GetNodes(TStream& Nodes) const { WriteData(Nodes); }
    virtual void SetNodes(TStream& Nodes) = 0;
    virtual void Draw(QPainter& c, const TWDTransform& tr) = 0;
    // Pixels to add round the object's extents when its area is redrawn.
    virtual int RedrawMargin() const { return 2; }

    TBasicObjectStyle Style;
};

struct TPolyLineD2 {
    std::vector<TFloatPoint> Points;
};

// Parts of vertex chains; extended data: int32 part count, then per part an
// int32 vertex count and the vertices as X, Y doubles.
class TPolyLineSetD2 : public TSpatialObjE2 {
public:
    TObjectType ObjectType() const override { return otPolyline; }
    TFloatRect Extents() const override;
    // The length-weighted mean of the segment midpoints.
    TFloatPoint Centroid() const override;
    void WriteData(TStream& ed) const override;
    void SetNodes(TStream& Nodes) override { ReadParts(Nodes); }
    void Draw(QPainter& c, const TWDTransform& tr) override;

    // Reads the parts from the stream's position: "Invalid extended data" for an
    // unreadable or non-positive part count or a short vertex list, "Must have at
    // least 2 vertices" for a part with fewer.
    void ReadParts(TStream& s);
    void WriteParts(TStream& s) const;
    // One polyline call per part, every vertex through the transform.
    void DrawParts(QPainter& c, const TWDTransform& tr) const;

    std::vector<TPolyLineD2> Parts;
};

// A polyline set as the vector table draws it: with a layered pen and the
// extents and centroid of its record.
class TPolyLineSetD2_PGF : public TPolyLineSetD2 {
public:
    TFloatRect Extents() const override { return fExtents; }
    TFloatPoint Centroid() const override { return fCentroid; }
    void WriteData(TStream& ed) const override;
    // All pen layers, the highest first, so layer 0 lies on top.
    void Draw(QPainter& c, const TWDTransform& tr) override;
    // One pen layer: the background colour under the foreground when the layer is not transparent.
    void DrawPenLayer(QPainter& c, const TWDTransform& tr, int Layer) const;
    int RedrawMargin() const override;
    // Pen from a style: one transparent layer of PenColor, PenWidth and PenStyle.
    void SetPenFromStyle(const TBasicObjectStyle& s);

    TPlaniPen Pen;
    bool HasStreamPen = false; // the extended data carried the pen
    TFloatRect fExtents;
    TFloatPoint fCentroid;
};

// Closed rings drawn with the style's pen and brush (odd-even fill).
class TPolygonSetD2_PGF : public TPolyLineSetD2 {
public:
    TObjectType ObjectType() const override { return otPolygon; }
    TFloatRect Extents() const override { return fExtents; }
    TFloatPoint Centroid() const override { return fCentroid; }
    void Draw(QPainter& c, const TWDTransform& tr) override;
    int RedrawMargin() const override { return Style.PenWidth / 2 + 2; }
    // The area-weighted centroid of the rings; the polyline centroid when the area is 0.
    TFloatPoint AreaCentroid() const;

    TFloatRect fExtents;
    TFloatPoint fCentroid;
};

} // namespace plani
