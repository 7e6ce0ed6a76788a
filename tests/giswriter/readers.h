#pragma once
// Readers we did not write: GDAL's OGR C API and shapelib's C API, each turned into
// plain structs the tests compare against, plus small helpers to feed writers.

#include "pwnet_giswriter.h"

#include <cpl_conv.h>
#include <cstring>
#include <filesystem>
#include <gdal.h>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <shapefil.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace gwtest {

using pwnet::TFloatPoint;
using Part = std::vector<TFloatPoint>;

// ---- GDAL / OGR ------------------------------------------------------------

struct OgrField {
    std::string name;
    OGRFieldType type;
    int width;
    int precision;
};

struct OgrFeature {
    std::vector<std::string> values; // as GDAL gives them, UTF-8
    std::vector<bool> isSet;
    std::string geometryType;                // "" for none, else OGR's name ("POLYGON", ...)
    std::vector<Part> parts;                 // rings, lines or points, flattened in order
    std::vector<std::vector<Part>> polygons; // of a polygon or multipolygon: its rings
    std::vector<TFloatPoint> points;         // of a point
    std::string style;                       // OGR's style string
};

struct OgrLayer {
    std::vector<OgrField> fields;
    std::vector<OgrFeature> features;
    long long featureCount = -1;
    bool hasExtent = false;
    OGREnvelope extent{};
    // The layer's spatial reference system, when it has one.
    std::string projection; // as WKT
    int utmZone = 0, utmNorth = 0;
    double semiMajor = 0, inverseFlattening = 0;
    std::map<std::string, double> parameters; // of the projection (-1 where it has none)
};

inline void CollectParts(OGRGeometryH g, std::vector<Part>& parts) {
    const int sub = OGR_G_GetGeometryCount(g);
    if (sub > 0) {
        for (int i = 0; i < sub; ++i)
            CollectParts(OGR_G_GetGeometryRef(g, i), parts);
        return;
    }
    Part part;
    for (int i = 0; i < OGR_G_GetPointCount(g); ++i)
        part.push_back(TFloatPoint{OGR_G_GetX(g, i), OGR_G_GetY(g, i)});
    parts.push_back(std::move(part));
}

inline std::vector<Part> PolygonRings(OGRGeometryH polygon) {
    std::vector<Part> rings;
    for (int i = 0; i < OGR_G_GetGeometryCount(polygon); ++i)
        CollectParts(OGR_G_GetGeometryRef(polygon, i), rings);
    return rings;
}

inline void ReadGeometry(OGRGeometryH g, OgrFeature& f) {
    f.geometryType = OGR_G_GetGeometryName(g);
    CollectParts(g, f.parts);
    const auto type = wkbFlatten(OGR_G_GetGeometryType(g));
    if (type == wkbPolygon)
        f.polygons.push_back(PolygonRings(g));
    else if (type == wkbMultiPolygon)
        for (int i = 0; i < OGR_G_GetGeometryCount(g); ++i)
            f.polygons.push_back(PolygonRings(OGR_G_GetGeometryRef(g, i)));
    else if (type == wkbPoint)
        f.points.push_back({OGR_G_GetX(g, 0), OGR_G_GetY(g, 0)});
}

inline void ReadProjection(OGRSpatialReferenceH srs, OgrLayer& out) {
    char* wkt = nullptr;
    OSRExportToWkt(srs, &wkt);
    out.projection = wkt ? wkt : "";
    CPLFree(wkt);
    out.utmZone = OSRGetUTMZone(srs, &out.utmNorth);
    OGRErr err = OGRERR_NONE;
    out.semiMajor = OSRGetSemiMajor(srs, &err);
    out.inverseFlattening = OSRGetInvFlattening(srs, &err);
    for (const char* p : {SRS_PP_LATITUDE_OF_CENTER, SRS_PP_LONGITUDE_OF_CENTER,
                          SRS_PP_FALSE_EASTING, SRS_PP_FALSE_NORTHING})
        out.parameters[p] = OSRGetProjParm(srs, p, -1, &err);
}

// Reads the first layer of a dataset with GDAL; driver, when given, is the only
// driver that may open it.
inline OgrLayer ReadWithOgr(const std::string& path, const char* driver = nullptr) {
    GDALAllRegister();
    const char* const drivers[] = {driver, nullptr};
    GDALDatasetH ds = GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY,
                                 driver ? drivers : nullptr, nullptr, nullptr);
    if (!ds)
        throw std::runtime_error("GDAL cannot open " + path);
    OgrLayer out;
    OGRLayerH layer = GDALDatasetGetLayer(ds, 0);
    OGRFeatureDefnH defn = OGR_L_GetLayerDefn(layer);
    for (int i = 0; i < OGR_FD_GetFieldCount(defn); ++i) {
        OGRFieldDefnH f = OGR_FD_GetFieldDefn(defn, i);
        out.fields.push_back({OGR_Fld_GetNameRef(f), OGR_Fld_GetType(f), OGR_Fld_GetWidth(f),
                              OGR_Fld_GetPrecision(f)});
    }
    out.featureCount = OGR_L_GetFeatureCount(layer, TRUE);
    out.hasExtent = OGR_L_GetExtent(layer, &out.extent, TRUE) == OGRERR_NONE;
    if (OGRSpatialReferenceH srs = OGR_L_GetSpatialRef(layer))
        ReadProjection(srs, out);
    OGR_L_ResetReading(layer);
    while (OGRFeatureH feat = OGR_L_GetNextFeature(layer)) {
        OgrFeature f;
        for (int i = 0; i < OGR_F_GetFieldCount(feat); ++i) {
            f.isSet.push_back(OGR_F_IsFieldSetAndNotNull(feat, i));
            f.values.push_back(OGR_F_GetFieldAsString(feat, i));
        }
        if (OGRGeometryH g = OGR_F_GetGeometryRef(feat))
            ReadGeometry(g, f);
        if (const char* style = OGR_F_GetStyleString(feat))
            f.style = style;
        out.features.push_back(std::move(f));
        OGR_F_Destroy(feat);
    }
    GDALClose(ds);
    return out;
}

// Opens a vector dataset with GDAL (drivers registered first); nullptr on failure.
inline GDALDatasetH OpenVector(const std::string& path) {
    GDALAllRegister();
    return GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
}

// ---- shapelib ----------------------------------------------------------------

struct ShpShape {
    int type;
    std::vector<int> partStarts;
    Part points;
    double min[2], max[2];
};

struct ShpFile {
    int shapeType = -1;
    int count = -1;
    double min[4]{}, max[4]{};
    std::vector<ShpShape> shapes;
};

inline ShpFile ReadShp(const std::string& path) {
    SHPHandle h = SHPOpen(path.c_str(), "rb");
    if (!h)
        throw std::runtime_error("shapelib cannot open " + path);
    ShpFile out;
    SHPGetInfo(h, &out.count, &out.shapeType, out.min, out.max);
    for (int i = 0; i < out.count; ++i) {
        SHPObject* o = SHPReadObject(h, i);
        if (!o)
            throw std::runtime_error("shapelib cannot read shape " + std::to_string(i));
        ShpShape s{o->nSHPType, {}, {}, {o->dfXMin, o->dfYMin}, {o->dfXMax, o->dfYMax}};
        for (int p = 0; p < o->nParts; ++p)
            s.partStarts.push_back(o->panPartStart[p]);
        for (int v = 0; v < o->nVertices; ++v)
            s.points.push_back(TFloatPoint{o->padfX[v], o->padfY[v]});
        out.shapes.push_back(std::move(s));
        SHPDestroyObject(o);
    }
    SHPClose(h);
    return out;
}

struct DbfField {
    std::string name;
    char type;
    int width;
    int decimals;
};

struct DbfTable {
    std::vector<DbfField> fields;
    std::vector<std::vector<std::string>> rows; // raw bytes as shapelib gives them
    int languageDriver = -1;
    std::string codePage; // what shapelib makes of the ".cpg" or the driver byte
};

inline DbfTable ReadDbf(const std::string& path) {
    DBFHandle h = DBFOpen(path.c_str(), "rb");
    if (!h)
        throw std::runtime_error("shapelib cannot open " + path);
    DbfTable out;
    out.languageDriver = h->iLanguageDriver;
    if (const char* cp = DBFGetCodePage(h))
        out.codePage = cp;
    for (int i = 0; i < DBFGetFieldCount(h); ++i) {
        char name[XBASE_FLDNAME_LEN_READ + 1] = {};
        int width = 0, decimals = 0;
        DBFGetFieldInfo(h, i, name, &width, &decimals);
        out.fields.push_back({name, DBFGetNativeFieldType(h, i), width, decimals});
    }
    for (int r = 0; r < DBFGetRecordCount(h); ++r) {
        std::vector<std::string> row;
        for (int i = 0; i < DBFGetFieldCount(h); ++i)
            row.push_back(DBFReadStringAttribute(h, r, i));
        out.rows.push_back(std::move(row));
    }
    DBFClose(h);
    return out;
}

// ---- writing helpers ------------------------------------------------------------

inline pwnet::TFloatPointArrayEx Section(const Part& pts) {
    pwnet::TFloatPointArrayEx s;
    s.Pnt = pts;
    s.Count = static_cast<int32_t>(pts.size());
    return s;
}

// The closed five-point ring of a square cell, clockwise from its lower-left corner,
// as the grid run hands it over.
inline Part Square(double x, double y, double size) {
    return {{x, y}, {x, y + size}, {x + size, y + size}, {x + size, y}, {x, y}};
}

// A writer of Format into FileName (the output's path without its extension).
inline std::unique_ptr<pwnet::TGISWrite> NewWriter(pwnet::TGISFormat Format,
                                                   const std::string& FileName) {
    auto w = pwnet::TGISWrite::GetGISObject(Format);
    w->FileName = FileName;
    return w;
}

// One region object of one ring.
inline void AddCell(pwnet::TGISWrite& w, const std::string& row, const Part& ring) {
    w.AddObject(1, false, row);
    auto s = Section(ring);
    w.AddSection(0, s);
}

inline bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// Builds expected bytes in file order.
class Bytes {
public:
    Bytes& u8(uint8_t v) { return raw(&v, 1); }
    Bytes& le32(uint32_t v) { return raw(&v, 4); }
    Bytes& le16(uint16_t v) { return raw(&v, 2); }
    Bytes& be32(uint32_t v) {
        v = __builtin_bswap32(v);
        return raw(&v, 4);
    }
    Bytes& f64(double v) { return raw(&v, 8); }
    Bytes& zeros(size_t n) {
        s_.append(n, '\0');
        return *this;
    }
    Bytes& text(const std::string& t) {
        s_ += t;
        return *this;
    }
    const std::string& str() const { return s_; }

private:
    Bytes& raw(const void* p, size_t n) {
        s_.append(static_cast<const char*>(p), n);
        return *this;
    }
    std::string s_;
};

} // namespace gwtest
