#pragma once
// --format's names: the run's own ("shp", "tab", ...) and, as a GDAL user types
// them, GDAL's driver names ("ESRI Shapefile", "MapInfo File", "GPKG", ...).

#include "run_formats.h"

#include <span>
#include <string_view>

namespace quadrel::cli {

// A GDAL driver name and the run format it stands for.
struct TDriverName {
    std::string_view Driver;  // as GDAL spells it
    std::string_view Format;  // the run format's --format name
    std::string_view Caption; // for the message when this build lacks the format
};

std::span<const TDriverName> DriverNames();

// The run format of a --format value, ASCII case ignored: a run format's own name
// or a GDAL driver name. Nullptr for a name nobody knows; raises EUsageError for a
// name whose format this build does not have (GeoPackage before its writer exists).
const TRunFormat* FindCliFormat(std::string_view Name);

} // namespace quadrel::cli
