#pragma once
// The interface between the grid core and libquadrel_area.so, the module that reads
// a user's polygon layer with GDAL/OGR. The core loads the module on first use with
// dlopen and calls its one entry point, so that a program that never reads an area
// never loads GDAL. Both sides are built by this project with the same compiler and
// standard library, so the request and the result are plain C++ values.

#include "pwnet_types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quadrel::area_api {

// One ring of an area: its points in order, the first not repeated at the end.
using TRing = std::vector<pwnet::TFloatPoint>;

struct TRequest {
    std::string Path;
    std::string Layer;  // empty: the file's first layer that holds polygons
    int32_t TargetEpsg; // the grid's coordinate system
    double Buffer = 0;  // metres around the polygons (negative: inwards)
};

struct TResult {
    // The polygons in the target system's metres: outer rings counter-clockwise,
    // holes clockwise, so that the nonzero winding rule gives the union of the
    // polygons even where they overlap.
    std::vector<TRing> Rings;
    std::string LayerName;            // the layer that was read
    std::vector<std::string> Notices; // what the user should know (ignored lines, ...)
    std::string Error;                // non-empty: nothing could be read, and why
};

// The entry point "quadrel_area_read" and the version it must report through
// "quadrel_area_version".
using TReadFunction = void (*)(const TRequest& Request, TResult& Result);
using TVersionFunction = int32_t (*)();
inline constexpr const char* ReadEntryName = "quadrel_area_read";
inline constexpr const char* VersionEntryName = "quadrel_area_version";
inline constexpr int32_t Version = 1;

} // namespace quadrel::area_api
