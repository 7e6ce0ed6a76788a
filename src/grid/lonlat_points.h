#pragma once
// Single points between a grid system's metres and WGS 84 / ETRS89 longitude and
// latitude, through PROJ: the window's cursor read-out, corners typed in degrees,
// the look-up of the cell at a longitude and latitude. (Whole grids of corners go
// through TLonLatColumns, which transforms each node line once.)

#include "pwnet_types.h"

#include <cstdint>
#include <memory>

struct pj_ctx;
struct PJconsts;

namespace quadrel {

// PROJ's transformation from EPSG:Epsg (easting, northing) to OGC:CRS84 (longitude,
// latitude), in a context of its own; both are released together.
class TLonLatTransform {
public:
    // Raises Exception when PROJ cannot transform EPSG:Epsg to WGS 84.
    explicit TLonLatTransform(int32_t Epsg);
    ~TLonLatTransform();
    TLonLatTransform(const TLonLatTransform&) = delete;
    TLonLatTransform& operator=(const TLonLatTransform&) = delete;

    PJconsts* Get() const { return FTransform; }

private:
    pj_ctx* FContext = nullptr;
    PJconsts* FTransform = nullptr;
};

class TLonLatPoints {
public:
    // Raises Exception when PROJ cannot transform EPSG:Epsg to WGS 84.
    explicit TLonLatPoints(int32_t Epsg) : FTransform(Epsg) {}

    // Grid metres (x easting, y northing) to degrees (x longitude, y latitude), and
    // back. Either returns false when the point has no image (not finite).
    bool ToLonLat(const pwnet::TFloatPoint& Metres, pwnet::TFloatPoint& LonLat) const;
    bool FromLonLat(const pwnet::TFloatPoint& LonLat, pwnet::TFloatPoint& Metres) const;

private:
    bool Transform(int Direction, const pwnet::TFloatPoint& In, pwnet::TFloatPoint& Out) const;

    TLonLatTransform FTransform;
};

} // namespace quadrel
