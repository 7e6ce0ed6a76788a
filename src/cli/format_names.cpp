#include "format_names.h"

#include "cli_options.h"
#include "pwnet_functions.h"

#include <algorithm>
#include <string>

namespace quadrel::cli {

namespace {

// The names of the drivers whose files the run writes. "MapInfo File" writes TAB
// unless told otherwise, so it stands for tab; GML, CSV, KML and GeoJSON are the
// run's own names already.
constexpr TDriverName Drivers[] = {
    {"ESRI Shapefile", "shp", "ESRI shapefile"},
    {"MapInfo File", "tab", "MapInfo TAB"},
    {"GML", "gml", "GML"},
    {"CSV", "csv", "CSV"},
    {"KML", "kml", "KML"},
    {"GeoJSON", "geojson", "GeoJSON"},
    {"GPKG", "gpkg", "GeoPackage"},
};

} // namespace

std::span<const TDriverName> DriverNames() {
    return Drivers;
}

const TRunFormat* FindCliFormat(std::string_view Name) {
    if (const TRunFormat* row = FindRunFormatByName(Name))
        return row;
    for (const TDriverName& d : Drivers)
        if (pwnet::SameTextAscii(Name, d.Driver) || pwnet::SameTextAscii(Name, d.Format)) {
            if (const TRunFormat* row = FindRunFormatByName(d.Format))
                return row;
            throw EUsageError("format \"" + std::string(Name) + "\" (" + std::string(d.Caption) +
                              ") is not in this build");
        }
    return nullptr;
}

} // namespace quadrel::cli
