#pragma once
// GeoPackage geometry blobs: the "GP" header (version 0, little-endian, the srs_id and,
// except for a single point, the envelope minx, maxx, miny, maxy) followed by the
// geometry as little-endian WKB. Internal to the writer family.
//
// One object is built in a reused buffer, part by part, and finished into a single
// geometry (POINT, LINESTRING, POLYGON) when it has one member and the client did
// not ask for more, else into its multi form (MULTIPOINT, MULTILINESTRING,
// MULTIPOLYGON). The buffer keeps room in front of the members for the longest
// header, so finishing moves nothing.

#include "pwnet_types.h"

#include <cstdint>
#include <span>
#include <vector>

namespace pwnet {

// The box of a geometry or of a whole layer; empty until a point is added.
struct TGpkgBox {
    double MinX = 0, MaxX = 0, MinY = 0, MaxY = 0;
    bool Empty = true;

    void Add(double X, double Y) {
        if (Empty) {
            MinX = MaxX = X;
            MinY = MaxY = Y;
            Empty = false;
            return;
        }
        MinX = X < MinX ? X : MinX;
        MaxX = X > MaxX ? X : MaxX;
        MinY = Y < MinY ? Y : MinY;
        MaxY = Y > MaxY ? Y : MaxY;
    }
    void Add(const TGpkgBox& B) {
        if (!B.Empty) {
            Add(B.MinX, B.MinY);
            Add(B.MaxX, B.MaxY);
        }
    }
};

// WKB geometry type codes (2D).
enum TWkbType : uint32_t {
    wkbPoint2D = 1,
    wkbLineString2D = 2,
    wkbPolygon2D = 3,
    wkbMultiPoint2D = 4,
    wkbMultiLineString2D = 5,
    wkbMultiPolygon2D = 6,
};

class TGpkgGeometry {
public:
    // Starts an object whose members are of type Member (point, line string or
    // polygon).
    void Start(TWkbType Member);
    // Polygons: a ring; NewPolygon starts a polygon with it as the outer ring, else
    // it is an inner ring of the polygon begun last (the first ring always begins one).
    void AddRing(bool NewPolygon, const TFloatPoint* Points, int32_t Count);
    // A line string of its own.
    void AddLineString(const TFloatPoint* Points, int32_t Count);
    // A point of its own.
    void AddPoint(const TFloatPoint& P);

    int32_t Members() const { return FMembers; }
    const TGpkgBox& Box() const { return FBox; }

    // The blob of the object: the single form when it has exactly one member and
    // Multi is false, otherwise the multi form. Valid until the next Start.
    std::span<const uint8_t> Finish(int32_t SrsId, bool Multi);
    // Whether the blob Finish returned last was the multi form.
    bool FinishedMulti() const { return FFinishedMulti; }

    // The multi form of a blob in single form (written by Finish), appended to Out;
    // false, with Out unchanged, when Blob is not a single geometry of this writer's
    // making.
    static bool ToMulti(std::span<const uint8_t> Blob, std::vector<uint8_t>& Out);

private:
    void Reserve(size_t More);
    void PutU32(uint32_t V);
    void PutPoint(const TFloatPoint& P);
    void BeginMember(TWkbType Type);

    std::vector<uint8_t> FBuf;
    size_t FSize = 0;
    TWkbType FMemberType = wkbPolygon2D;
    int32_t FMembers = 0;
    size_t FRingCountAt = 0; // the ring count of the polygon begun last
    TGpkgBox FBox;
    bool FFinishedMulti = false;
};

} // namespace pwnet
