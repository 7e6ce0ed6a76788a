#include "lonlat_points.h"

#include "errors.h"
#include "proj_library.h"

#include <cmath>
#include <string>

namespace quadrel {

using pwnet::Proj;

TLonLatTransform::TLonLatTransform(int32_t Epsg) : FContext(Proj().context_create()) {
    const std::string source = "EPSG:" + std::to_string(Epsg);
    // OGC:CRS84 takes longitude first, the order KML takes; normalising makes the
    // source easting first too (EPSG:3035 itself lists northing first).
    PJ* transform = Proj().create_crs_to_crs(FContext, source.c_str(), "OGC:CRS84", nullptr);
    if (transform) {
        PJ* normalised = Proj().normalize_for_visualization(FContext, transform);
        Proj().destroy(transform);
        transform = normalised;
    }
    if (!transform) {
        const std::string reason =
            Proj().context_errno_string(FContext, Proj().context_errno(FContext));
        Proj().context_destroy(FContext);
        throw Exception("Cannot transform " + source +
                        " coordinates to WGS 84 longitude and latitude: " + reason);
    }
    FTransform = transform;
}

TLonLatTransform::~TLonLatTransform() {
    Proj().destroy(FTransform);
    Proj().context_destroy(FContext);
}

bool TLonLatPoints::Transform(int Direction, const pwnet::TFloatPoint& In,
                              pwnet::TFloatPoint& Out) const {
    if (!std::isfinite(In.x) || !std::isfinite(In.y))
        return false;
    PJ_COORD c{};
    c.xyzt = {In.x, In.y, 0, 0};
    Proj().errno_reset(FTransform.Get());
    c = Proj().trans(FTransform.Get(), static_cast<PJ_DIRECTION>(Direction), c);
    if (!std::isfinite(c.xy.x) || !std::isfinite(c.xy.y))
        return false;
    Out = {c.xy.x, c.xy.y};
    return true;
}

bool TLonLatPoints::ToLonLat(const pwnet::TFloatPoint& Metres, pwnet::TFloatPoint& LonLat) const {
    return Transform(PJ_FWD, Metres, LonLat);
}

bool TLonLatPoints::FromLonLat(const pwnet::TFloatPoint& LonLat, pwnet::TFloatPoint& Metres) const {
    return Transform(PJ_INV, LonLat, Metres);
}

} // namespace quadrel
