#pragma once
// --bbox-lonlat: the area as a box of WGS 84 / ETRS89 longitude and latitude, and
// the corners in the grid system's metres of a rectangle that holds all of it.

#include "grid_catalogue.h"

#include <string_view>

namespace quadrel::cli {

struct TLonLatBox {
    double West = 0, South = 0, East = 0, North = 0; // degrees
};

// "W,S,E,N" in degrees. Raises EUsageError unless there are four numbers with W < E
// and S < N, longitudes within -180..180 and latitudes within -90..90.
TLonLatBox ParseLonLatBox(std::string_view Text);

// The lower-left (First) and upper-right (Second) corner, in Kind's metres, of the
// bounding rectangle of the whole box: its edges are densified before they are
// transformed, since a parallel or a meridian is curved in the grid's projection
// and bulges beyond the box's transformed corners. Raises EUsageError when a point
// of the box has no image in the grid system, Exception when PROJ cannot transform.
void LonLatBoxCorners(TGridKind Kind, const TLonLatBox& Box, TCornerPoint& First,
                      TCornerPoint& Second);

} // namespace quadrel::cli
