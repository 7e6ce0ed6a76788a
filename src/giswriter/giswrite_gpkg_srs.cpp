#include "giswrite_gpkg_srs.h"

#include "errors.h"
#include "proj_library.h"

#include <memory>

namespace pwnet {

namespace {

struct TContextDeleter {
    void operator()(PJ_CONTEXT* c) const noexcept { Proj().context_destroy(c); }
};
struct TPjDeleter {
    void operator()(PJ* p) const noexcept { Proj().destroy(p); }
};

// The EPSG system Code as PROJ's database defines it: its name and its WKT in the
// form GeoPackage readers expect (WKT 1, as GDAL writes it). False when PROJ does not
// know the code.
bool LookUpEpsg(PJ_CONTEXT* Ctx, int32_t Code, std::string& Name, std::string& Wkt) {
    if (!Ctx)
        return false;
    const std::string code = std::to_string(Code);
    std::unique_ptr<PJ, TPjDeleter> crs(
        Proj().create_from_database(Ctx, "EPSG", code.c_str(), PJ_CATEGORY_CRS, 0, nullptr));
    if (!crs)
        return false;
    const char* const options[] = {"MULTILINE=NO", nullptr};
    const char* wkt = Proj().as_wkt(Ctx, crs.get(), PJ_WKT1_GDAL, options);
    const char* name = Proj().get_name(crs.get());
    if (!wkt || !name)
        return false;
    Wkt = wkt;
    Name = name;
    return true;
}

// A PROJ context, or null when there is none (PROJ could not be loaded): the
// definitions then fall back to the built-in ones, as for an unknown code.
PJ_CONTEXT* NewContext() {
    try {
        return Proj().context_create();
    } catch (const Exception&) {
        return nullptr;
    }
}

} // namespace

std::vector<TGpkgSrs> GpkgSpatialRefSys(int32_t Epsg) {
    std::vector<TGpkgSrs> rows = {
        {"Undefined Cartesian SRS", -1, "NONE", -1, "undefined",
         "undefined Cartesian coordinate reference system"},
        {"Undefined geographic SRS", 0, "NONE", 0, "undefined",
         "undefined geographic coordinate reference system"},
        {"WGS 84 geodetic", 4326, "EPSG", 4326, "undefined",
         "longitude/latitude coordinates in decimal degrees on the WGS 84 spheroid"},
    };
    std::unique_ptr<PJ_CONTEXT, TContextDeleter> ctx(NewContext());
    if (ctx)
        Proj().log_level(ctx.get(), PJ_LOG_NONE); // an unknown code is the caller's concern
    std::string name;
    if (!LookUpEpsg(ctx.get(), 4326, name, rows[2].Definition))
        // The WKT of EPSG:4326, should PROJ's database be missing.
        rows[2].Definition =
            "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563,"
            "AUTHORITY[\"EPSG\",\"7030\"]],AUTHORITY[\"EPSG\",\"6326\"]],PRIMEM[\"Greenwich\",0,"
            "AUTHORITY[\"EPSG\",\"8901\"]],UNIT[\"degree\",0.0174532925199433,"
            "AUTHORITY[\"EPSG\",\"9122\"]],AUTHORITY[\"EPSG\",\"4326\"]]";
    if (Epsg > 0 && Epsg != 4326) {
        TGpkgSrs row{"EPSG:" + std::to_string(Epsg), Epsg, "EPSG", Epsg, "undefined", ""};
        LookUpEpsg(ctx.get(), Epsg, row.Name, row.Definition);
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace pwnet
