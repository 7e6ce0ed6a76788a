#pragma once
// An area of interest: the polygons a grid is cut to, as rings in the grid system's
// metres. The run writes only the cells whose square shares interior with the area.
// The area is read from a polygon layer (area_reader.h) or made by tests from rings.

#include "errors.h"
#include "pwnet_types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quadrel {

// An area that cannot be read or used; the message says why.
class EAreaError : public Exception {
public:
    using Exception::Exception;
};

// One ring: its points in order; the last may repeat the first or not.
using TAreaRing = std::vector<pwnet::TFloatPoint>;

struct TArea {
    // For messages: the file's name or the built-in area's caption ("Denmark land").
    std::string Name;
    std::string Layer; // the layer read; empty for a built-in area
    double Buffer = 0; // metres, already applied to the rings
    int32_t Epsg = 0;  // the coordinate system of the rings
    // The interior is where the rings wind round a point a nonzero number of times:
    // outer rings counter-clockwise and holes clockwise give the union of polygons.
    std::vector<TAreaRing> Rings;

    // The smallest rectangle round every ring point (all zero without points).
    pwnet::TFloatRect Bounds() const;
    // The area as a user reads it: "Denmark land", "parks.gpkg, layer parks",
    // "parks.gpkg with a 15000 m buffer".
    std::string Description() const;
};

} // namespace quadrel
