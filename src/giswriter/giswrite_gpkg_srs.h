#pragma once
// The rows of a GeoPackage's table of spatial reference systems: the three every
// GeoPackage holds (undefined Cartesian, undefined geographic, WGS 84) and the one
// of an EPSG code, with the definition EPSG gives it, as WKT, taken from PROJ's
// database. Internal to the writer family.

#include <cstdint>
#include <string>
#include <vector>

namespace pwnet {

struct TGpkgSrs {
    std::string Name;
    int32_t SrsId = 0;
    std::string Organization; // "EPSG" or "NONE"
    int32_t OrganizationId = 0;
    std::string Definition; // WKT, or "undefined"
    std::string Description;
};

// The mandatory rows, followed by the row of Epsg when that is another code. An
// EPSG code that PROJ does not know gets its row all the same, named "EPSG:<code>"
// with the definition "undefined".
std::vector<TGpkgSrs> GpkgSpatialRefSys(int32_t Epsg);

} // namespace pwnet
