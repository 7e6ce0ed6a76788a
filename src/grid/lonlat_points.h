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

class TLonLatPoints {
public:
    // Raises Exception when PROJ cannot transform EPSG:Epsg to WGS 84.
    explicit TLonLatPoints(int32_t Epsg);
    ~TLonLatPoints();
    TLonLatPoints(const TLonLatPoints&) = delete;
    TLonLatPoints& operator=(const TLonLatPoints&) = delete;

    // Grid metres (x easting, y northing) to degrees (x longitude, y latitude), and
    // back. Either returns false when the point has no image (not finite).
    bool ToLonLat(const pwnet::TFloatPoint& Metres, pwnet::TFloatPoint& LonLat) const;
    bool FromLonLat(const pwnet::TFloatPoint& LonLat, pwnet::TFloatPoint& Metres) const;

private:
    bool Transform(int Direction, const pwnet::TFloatPoint& In, pwnet::TFloatPoint& Out) const;

    pj_ctx* FContext = nullptr;
    PJconsts* FTransform = nullptr;
};

} // namespace quadrel
