#pragma once
// Reads a MapInfo table back with GDAL's OGR C API, the independent reader of these
// tests: field definitions, every feature's values, geometry and style string, the
// layer's spatial reference.

#include "mitab_library.h"
#include "ogr_style.h"

#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mitabtest {

struct FieldDef {
    std::string name;
    OGRFieldType type;
    int width, precision;
};

struct Row {
    std::vector<std::optional<std::string>> values; // nullopt where the field is unset/null
    OGRwkbGeometryType geometryType = wkbNone;      // wkbNone when there is no geometry
    std::vector<std::vector<Ring>> polygons;        // polygon or multipolygon: rings
    std::vector<Ring> lines;                        // linestring or multilinestring
    std::optional<XY> point;
    std::string style;
};

inline Ring CurvePoints(OGRGeometryH curve) {
    Ring ring;
    for (int i = 0; i < OGR_G_GetPointCount(curve); ++i)
        ring.push_back({OGR_G_GetX(curve, i), OGR_G_GetY(curve, i)});
    return ring;
}

inline std::vector<Ring> PolygonRings(OGRGeometryH polygon) {
    std::vector<Ring> rings;
    for (int i = 0; i < OGR_G_GetGeometryCount(polygon); ++i)
        rings.push_back(CurvePoints(OGR_G_GetGeometryRef(polygon, i)));
    return rings;
}

inline void ReadGeometry(OGRGeometryH geometry, Row& row) {
    if (!geometry) return;
    row.geometryType = wkbFlatten(OGR_G_GetGeometryType(geometry));
    switch (row.geometryType) {
    case wkbPoint:
        row.point = XY{OGR_G_GetX(geometry, 0), OGR_G_GetY(geometry, 0)};
        break;
    case wkbLineString:
        row.lines.push_back(CurvePoints(geometry));
        break;
    case wkbMultiLineString:
        for (int i = 0; i < OGR_G_GetGeometryCount(geometry); ++i)
            row.lines.push_back(CurvePoints(OGR_G_GetGeometryRef(geometry, i)));
        break;
    case wkbPolygon:
        row.polygons.push_back(PolygonRings(geometry));
        break;
    case wkbMultiPolygon:
        for (int i = 0; i < OGR_G_GetGeometryCount(geometry); ++i)
            row.polygons.push_back(PolygonRings(OGR_G_GetGeometryRef(geometry, i)));
        break;
    default:
        break;
    }
}

class OgrTable {
public:
    explicit OgrTable(const std::string& path) {
        GDALAllRegister();
        const char* const drivers[] = {"MapInfo File", nullptr};
        dataset_ = GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers, nullptr,
                              nullptr);
        if (dataset_) layer_ = GDALDatasetGetLayer(dataset_, 0);
    }
    ~OgrTable() {
        if (dataset_) GDALClose(dataset_);
    }
    OgrTable(const OgrTable&) = delete;
    OgrTable& operator=(const OgrTable&) = delete;

    bool Ok() const { return layer_ != nullptr; }
    long long Count() const { return OGR_L_GetFeatureCount(layer_, TRUE); }

    std::vector<FieldDef> Fields() const {
        std::vector<FieldDef> fields;
        OGRFeatureDefnH defn = OGR_L_GetLayerDefn(layer_);
        for (int i = 0; i < OGR_FD_GetFieldCount(defn); ++i) {
            OGRFieldDefnH f = OGR_FD_GetFieldDefn(defn, i);
            fields.push_back({OGR_Fld_GetNameRef(f), OGR_Fld_GetType(f), OGR_Fld_GetWidth(f),
                              OGR_Fld_GetPrecision(f)});
        }
        return fields;
    }

    std::vector<Row> Rows() const {
        std::vector<Row> rows;
        OGR_L_ResetReading(layer_);
        while (OGRFeatureH feature = OGR_L_GetNextFeature(layer_)) {
            Row row;
            for (int i = 0; i < OGR_F_GetFieldCount(feature); ++i) {
                if (OGR_F_IsFieldSetAndNotNull(feature, i))
                    row.values.emplace_back(OGR_F_GetFieldAsString(feature, i));
                else
                    row.values.emplace_back();
            }
            ReadGeometry(OGR_F_GetGeometryRef(feature), row);
            if (const char* style = OGR_F_GetStyleString(feature)) row.style = style;
            rows.push_back(std::move(row));
            OGR_F_Destroy(feature);
        }
        return rows;
    }

    // The layer's spatial reference (owned by the layer), or nullptr.
    OGRSpatialReferenceH Srs() const { return OGR_L_GetSpatialRef(layer_); }

private:
    GDALDatasetH dataset_ = nullptr;
    OGRLayerH layer_ = nullptr;
};

using testutil::StyleParams;

// The MapInfo number in a style id such as "mapinfo-pen-2,ogr-pen-0" (kind "pen").
inline int MapInfoId(const std::string& id, const std::string& kind) {
    const std::string prefix = "mapinfo-" + kind + "-";
    const size_t at = id.find(prefix);
    return at == std::string::npos ? -1 : std::stoi(id.substr(at + prefix.size()));
}

} // namespace mitabtest
