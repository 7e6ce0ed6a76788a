#pragma once
// Areas of interest from files: the polygons of one layer of any vector file GDAL
// can open (shapefile, GeoPackage, GeoJSON, KML, GML, MIF/TAB, ...), transformed
// from the coordinate system the file declares into the grid's metres, and the
// built-in areas the program ships ("Denmark land").
//
// GDAL lives in libquadrel_area.so, loaded with dlopen on the first read (beside the
// program, in the installed library folder, or on the library search path), so a
// run without an area never loads it. The grid core itself knows only rings.

#include "area.h"
#include "grid_catalogue.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quadrel {

// What to read: a file, a layer of it (empty: the first layer that holds polygons)
// and a buffer in metres around the polygons (0: none; negative: inwards).
struct TAreaFile {
    std::string Path;
    std::string Layer;
    double Buffer = 0;
};

// Reads File for a grid in EPSG:Epsg. Lines and points in the layer are left out, a
// layer without a coordinate system is taken to be in the grid's metres, invalid
// polygons are mended; each such fact adds a sentence to Notices. Raises EAreaError
// with the reason when the file cannot be opened, has no such layer, holds no
// polygons, cannot be transformed, or when the reading module cannot be loaded.
std::shared_ptr<const TArea> ReadAreaFile(const TAreaFile& File, int32_t Epsg,
                                          std::vector<std::string>* Notices = nullptr);

// A built-in area: a file among the program's data files.
struct TBuiltInArea {
    std::string_view ItemName; // the window's menu item
    std::string_view Caption;  // also quadrel-cli's --area name
    std::string_view FileName;
    TGridKind Kind; // the grid system whose menu offers it
};

// The built-in areas, in menu order: "Denmark land" (DKN).
std::span<const TBuiltInArea> BuiltInAreas();
// The built-in area with this caption (ASCII case ignored), or nullptr.
const TBuiltInArea* FindBuiltInArea(std::string_view Caption);
// Reads a built-in area for a grid in EPSG:Epsg, with a buffer of Buffer metres.
std::shared_ptr<const TArea> ReadBuiltInArea(const TBuiltInArea& Area, int32_t Epsg,
                                             double Buffer = 0,
                                             std::vector<std::string>* Notices = nullptr);

} // namespace quadrel
