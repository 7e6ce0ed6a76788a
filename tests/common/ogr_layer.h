#pragma once
// A grid read back with GDAL/OGR, a reader this project did not write: the first
// layer's fields, every feature's values, style and square outline, the feature count
// and extent, and what GDAL makes of the layer's projection. For tests that link
// GDAL.

#include <cmath>
#include <cpl_conv.h>
#include <cstdlib>
#include <cstring>
#include <gdal.h>
#include <gtest/gtest.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <string>
#include <utility>
#include <vector>

namespace testutil {

using Ring = std::vector<std::pair<double, double>>;

// The closed five-point ring of a square cell, clockwise from its lower-left corner,
// as the grid run writes it.
inline Ring Square(double X, double Y, double Size) {
    return {{X, Y}, {X, Y + Size}, {X + Size, Y + Size}, {X + Size, Y}, {X, Y}};
}

// Transforms points between two spatial reference systems with GDAL, longitude or
// easting first; (NAN, NAN) where it cannot.
class GdalTransform {
public:
    GdalTransform(int FromEpsg, int ToEpsg) : GdalTransform(nullptr, FromEpsg, ToEpsg) {}
    // From the system of a layer (owned by the layer, copied here).
    GdalTransform(OGRSpatialReferenceH From, int ToEpsg) : GdalTransform(From, 0, ToEpsg) {}
    ~GdalTransform() {
        OCTDestroyCoordinateTransformation(ct_);
        OSRDestroySpatialReference(from_);
        OSRDestroySpatialReference(to_);
    }
    GdalTransform(const GdalTransform&) = delete;
    GdalTransform& operator=(const GdalTransform&) = delete;

    std::pair<double, double> operator()(double X, double Y) const {
        if (!ct_ || !OCTTransform(ct_, 1, &X, &Y, nullptr))
            return {NAN, NAN};
        return {X, Y};
    }

private:
    GdalTransform(OGRSpatialReferenceH From, int FromEpsg, int ToEpsg) {
        from_ = From ? OSRClone(From) : OSRNewSpatialReference(nullptr);
        if (!From)
            OSRImportFromEPSG(from_, FromEpsg);
        to_ = OSRNewSpatialReference(nullptr);
        OSRImportFromEPSG(to_, ToEpsg);
        OSRSetAxisMappingStrategy(from_, OAMS_TRADITIONAL_GIS_ORDER);
        OSRSetAxisMappingStrategy(to_, OAMS_TRADITIONAL_GIS_ORDER);
        ct_ = OCTNewCoordinateTransformation(from_, to_);
    }

    OGRSpatialReferenceH from_ = nullptr, to_ = nullptr;
    OGRCoordinateTransformationH ct_ = nullptr;
};

struct OgrFeature {
    std::vector<std::string> Values; // as GDAL gives them, in field order; "" for NULL
    Ring Outline;                    // the ring of a polygon of one ring; else empty
    Ring Point;                      // the position of a point geometry; else empty
    std::string Style;               // OGR's style string
};

struct OgrLayer {
    std::vector<std::string> FieldNames;
    std::vector<int> FieldWidths;
    std::vector<OGRFieldType> FieldTypes;
    std::vector<OgrFeature> Features;
    long long FeatureCount = -1; // as the layer reports it
    OGREnvelope Extent{};
    int Epsg = 0;     // the EPSG code the layer's projection names, 0 for none
    int UtmZone = 0;  // its UTM zone, negative in the south, 0 when not UTM
    int BestEpsg = 0; // GDAL's best EPSG match for the projection (MatchEpsg)
    int BestEpsgConfidence = 0;
    double Lon = NAN, Lat = NAN; // where the projection puts the probe point (Probe)
};

struct OgrReadOptions {
    const char* Driver = nullptr; // only this driver may open the file
    // A multipolygon of one polygon counts as that polygon (the writer's choice of
    // type is not what the test is about).
    bool OnePolygonMultiIsPolygon = false;
    // Matches the projection against the EPSG database: slow, so only when asked.
    bool MatchEpsg = false;
    // A point in the layer's own coordinates to be placed on ETRS89 longitude and
    // latitude; NAN for none.
    std::pair<double, double> Probe{NAN, NAN};
};

namespace detail {

inline Ring OneRingOf(OGRGeometryH Geometry, bool OnePolygonMultiIsPolygon) {
    Ring ring;
    OGRGeometryH g = Geometry;
    while (OnePolygonMultiIsPolygon && g &&
           wkbFlatten(OGR_G_GetGeometryType(g)) == wkbMultiPolygon &&
           OGR_G_GetGeometryCount(g) == 1)
        g = OGR_G_GetGeometryRef(g, 0);
    if (g && wkbFlatten(OGR_G_GetGeometryType(g)) == wkbPolygon && OGR_G_GetGeometryCount(g) == 1) {
        OGRGeometryH r = OGR_G_GetGeometryRef(g, 0);
        for (int k = 0; k < OGR_G_GetPointCount(r); ++k)
            ring.emplace_back(OGR_G_GetX(r, k), OGR_G_GetY(r, k));
    }
    return ring;
}

inline void ReadProjection(OGRSpatialReferenceH Srs, const OgrReadOptions& Options, OgrLayer& Out) {
    if (const char* code = OSRGetAuthorityCode(Srs, nullptr))
        Out.Epsg = std::atoi(code);
    int north = 0;
    Out.UtmZone = OSRGetUTMZone(Srs, &north) * (north ? 1 : -1);
    if (Options.MatchEpsg) {
        int count = 0;
        int* confidence = nullptr;
        OGRSpatialReferenceH* matches = OSRFindMatches(Srs, nullptr, &count, &confidence);
        if (count > 0) {
            const char* authority = OSRGetAuthorityName(matches[0], nullptr);
            const char* code = OSRGetAuthorityCode(matches[0], nullptr);
            if (authority && code && std::strcmp(authority, "EPSG") == 0) {
                Out.BestEpsg = std::atoi(code);
                Out.BestEpsgConfidence = confidence[0];
            }
        }
        OSRFreeSRSArray(matches);
        CPLFree(confidence);
    }
    if (!std::isnan(Options.Probe.first)) {
        const auto [lon, lat] = GdalTransform(Srs, 4258)(Options.Probe.first, Options.Probe.second);
        Out.Lon = lon;
        Out.Lat = lat;
    }
}

} // namespace detail

// Opens Path with GDAL and reads its first layer; a test failure and an empty layer
// when GDAL cannot open it.
inline OgrLayer ReadOgrLayer(const std::string& Path, const OgrReadOptions& Options = {}) {
    GDALAllRegister();
    OgrLayer out;
    const char* const drivers[] = {Options.Driver, nullptr};
    GDALDatasetH ds = GDALOpenEx(Path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY,
                                 Options.Driver ? drivers : nullptr, nullptr, nullptr);
    if (!ds) {
        ADD_FAILURE() << "GDAL cannot open " << Path;
        return out;
    }
    OGRLayerH layer = GDALDatasetGetLayer(ds, 0);
    OGRFeatureDefnH defn = OGR_L_GetLayerDefn(layer);
    for (int i = 0; i < OGR_FD_GetFieldCount(defn); ++i) {
        OGRFieldDefnH f = OGR_FD_GetFieldDefn(defn, i);
        out.FieldNames.push_back(OGR_Fld_GetNameRef(f));
        out.FieldWidths.push_back(OGR_Fld_GetWidth(f));
        out.FieldTypes.push_back(OGR_Fld_GetType(f));
    }
    if (OGRSpatialReferenceH srs = OGR_L_GetSpatialRef(layer))
        detail::ReadProjection(srs, Options, out);
    out.FeatureCount = OGR_L_GetFeatureCount(layer, TRUE);
    OGR_L_GetExtent(layer, &out.Extent, TRUE);
    OGR_L_ResetReading(layer);
    while (OGRFeatureH feature = OGR_L_GetNextFeature(layer)) {
        OgrFeature f;
        for (int i = 0; i < OGR_F_GetFieldCount(feature); ++i)
            f.Values.push_back(
                OGR_F_IsFieldSetAndNotNull(feature, i) ? OGR_F_GetFieldAsString(feature, i) : "");
        if (const char* style = OGR_F_GetStyleString(feature))
            f.Style = style;
        OGRGeometryH geometry = OGR_F_GetGeometryRef(feature);
        f.Outline = detail::OneRingOf(geometry, Options.OnePolygonMultiIsPolygon);
        if (geometry && wkbFlatten(OGR_G_GetGeometryType(geometry)) == wkbPoint)
            f.Point = {{OGR_G_GetX(geometry, 0), OGR_G_GetY(geometry, 0)}};
        out.Features.push_back(std::move(f));
        OGR_F_Destroy(feature);
    }
    GDALClose(ds);
    return out;
}

} // namespace testutil
