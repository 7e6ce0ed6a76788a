#pragma once
// PROJ, bound at run time on first use. Only the longitude/latitude conversions (KML
// output, corners and read-outs in degrees) and the GeoPackage writer's spatial
// reference systems need it, so a program that writes the other formats never loads it, nor the
// many libraries PROJ itself depends on: their loading and relocation would otherwise be most of
// quadrel-cli's start-up.
//
// The library is the one this program was built against (its soname is a build
// setting); it is loaded once and stays loaded for the life of the process.

#include <proj.h>

namespace pwnet {

// The PROJ entry points the grid core and the writers call.
struct TProjApi {
    decltype(&proj_context_create) context_create;
    decltype(&proj_context_destroy) context_destroy;
    decltype(&proj_context_errno) context_errno;
    decltype(&proj_context_errno_string) context_errno_string;
    decltype(&proj_create_crs_to_crs) create_crs_to_crs;
    decltype(&proj_normalize_for_visualization) normalize_for_visualization;
    decltype(&proj_destroy) destroy;
    decltype(&proj_errno_reset) errno_reset;
    decltype(&proj_trans) trans;
    decltype(&proj_trans_generic) trans_generic;
    decltype(&proj_create_from_database) create_from_database;
    decltype(&proj_as_wkt) as_wkt;
    decltype(&proj_get_name) get_name;
    decltype(&proj_log_level) log_level;
};

// The bound library; loads it on the first call. Raises Exception when it cannot be
// loaded or lacks one of the entry points.
const TProjApi& Proj();

} // namespace pwnet
