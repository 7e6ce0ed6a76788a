// libquadrel_area.so: the polygons of one layer of any vector file GDAL opens,
// transformed with OGR/PROJ into a grid system's metres, mended where invalid and
// grown or shrunk by a buffer with GEOS, handed to the grid core as rings
// (area_reader_api.h).

#include "area_reader_api.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cpl_error.h>
#include <filesystem>
#include <gdal_priv.h>
#include <memory>
#include <mutex>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <stdexcept>

#define QUADREL_AREA_EXPORT extern "C" __attribute__((visibility("default")))

namespace quadrel::area_gdal {

namespace {

using area_api::TRequest;
using area_api::TResult;
using area_api::TRing;

// Segments per quarter circle of a buffer's rounded corners: a 15 km buffer keeps
// within 18 m of the true circle.
constexpr int QuarterSegments = 16;
// Points per piece of boundary when a buffer grows an area (see Grow).
constexpr int PiecePoints = 64;

struct TGeometryDeleter {
    void operator()(OGRGeometry* g) const { OGRGeometryFactory::destroyGeometry(g); }
};
using TGeometryPtr = std::unique_ptr<OGRGeometry, TGeometryDeleter>;

struct TDatasetDeleter {
    void operator()(GDALDataset* d) const { GDALClose(d); }
};

struct TTransformDeleter {
    void operator()(OGRCoordinateTransformation* t) const {
        OGRCoordinateTransformation::DestroyCT(t);
    }
};

// What ends the reading, with the message for the user.
class TReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// GDAL's messages become our errors; nothing is printed to stderr.
class TQuietGdal {
public:
    TQuietGdal() {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~TQuietGdal() { CPLPopErrorHandler(); }
    TQuietGdal(const TQuietGdal&) = delete;
    TQuietGdal& operator=(const TQuietGdal&) = delete;
};

std::string GdalReason(const char* Fallback) {
    const char* message = CPLGetLastErrorMsg();
    return message && *message ? message : Fallback;
}

std::string Quoted(const std::string& Text) {
    return "\"" + Text + "\"";
}

std::string Number(double Value) {
    char text[32];
    return {text, std::to_chars(text, text + sizeof text, Value).ptr};
}

bool IsPolygonal(OGRwkbGeometryType Type) {
    switch (wkbFlatten(Type)) {
    case wkbPolygon:
    case wkbMultiPolygon:
    case wkbCurvePolygon:
    case wkbMultiSurface:
    case wkbTriangle:
    case wkbTIN:
    case wkbPolyhedralSurface:
        return true;
    default:
        return false;
    }
}

// The layer asked for, or the first that holds polygons (or may: a layer of mixed
// or unknown geometry type), or else the first.
OGRLayer* ChooseLayer(GDALDataset& Data, const TRequest& Request, TResult& Result) {
    const int count = Data.GetLayerCount();
    if (count == 0)
        throw TReadError("The file " + Quoted(Request.Path) + " holds no vector layer");
    if (!Request.Layer.empty()) {
        if (OGRLayer* layer = Data.GetLayerByName(Request.Layer.c_str()))
            return layer;
        std::string names;
        for (int i = 0; i < count; ++i)
            names += (i ? ", " : "") + Quoted(Data.GetLayer(i)->GetName());
        throw TReadError("The file " + Quoted(Request.Path) + " has no layer " +
                         Quoted(Request.Layer) + "; its layers: " + names);
    }
    OGRLayer* chosen = nullptr;
    for (int i = 0; i < count && !chosen; ++i)
        if (IsPolygonal(Data.GetLayer(i)->GetGeomType()))
            chosen = Data.GetLayer(i);
    for (int i = 0; i < count && !chosen; ++i) {
        const OGRwkbGeometryType type = wkbFlatten(Data.GetLayer(i)->GetGeomType());
        if (type == wkbUnknown || type == wkbGeometryCollection)
            chosen = Data.GetLayer(i);
    }
    if (!chosen)
        chosen = Data.GetLayer(0);
    if (count > 1)
        Result.Notices.push_back("The file " + Quoted(Request.Path) + " holds " +
                                 std::to_string(count) + " layers; the area is read from layer " +
                                 Quoted(chosen->GetName()));
    return chosen;
}

// The transformation from the layer's system into the grid's, or none when the
// layer has no system (its coordinates are taken as the grid's metres) or is in
// the grid's already.
std::unique_ptr<OGRCoordinateTransformation, TTransformDeleter>
GridTransform(OGRLayer& Layer, const TRequest& Request, TResult& Result) {
    OGRSpatialReference target;
    if (target.importFromEPSG(Request.TargetEpsg) != OGRERR_NONE)
        throw TReadError("EPSG:" + std::to_string(Request.TargetEpsg) +
                         " is not a coordinate system PROJ knows");
    target.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const OGRSpatialReference* declared = Layer.GetSpatialRef();
    if (!declared) {
        Result.Notices.push_back("Layer " + Quoted(Layer.GetName()) +
                                 " has no coordinate system: its coordinates are taken as "
                                 "the grid's metres (EPSG:" +
                                 std::to_string(Request.TargetEpsg) + ")");
        return nullptr;
    }
    OGRSpatialReference source(*declared);
    source.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER); // longitude, easting first
    if (source.IsSame(&target))
        return nullptr;
    std::unique_ptr<OGRCoordinateTransformation, TTransformDeleter> transform(
        OGRCreateCoordinateTransformation(&source, &target));
    if (!transform)
        throw TReadError("The coordinates of layer " + Quoted(Layer.GetName()) + " (" +
                         (source.GetName() ? source.GetName() : "their system") +
                         ") cannot be transformed into EPSG:" + std::to_string(Request.TargetEpsg) +
                         ": " + GdalReason("PROJ knows no way"));
    return transform;
}

// The polygons of a layer, one geometry each, with what was left aside.
struct TPolygons {
    std::vector<TGeometryPtr> Items;
    int64_t Ignored = 0;  // points and lines
    int64_t Repaired = 0; // invalid polygons made valid
};

// Adds the polygons of G (linear ones; curves are approximated) to Out and counts
// what is not polygonal.
void CollectPolygons(const OGRGeometry& G, TPolygons& Out) {
    if (G.IsEmpty())
        return;
    const OGRwkbGeometryType type = wkbFlatten(G.getGeometryType());
    if (type == wkbGeometryCollection) {
        for (const OGRGeometry* member : *G.toGeometryCollection())
            CollectPolygons(*member, Out);
        return;
    }
    if (!IsPolygonal(type)) {
        ++Out.Ignored;
        return;
    }
    TGeometryPtr linear(G.getLinearGeometry());
    TGeometryPtr multi(OGRGeometryFactory::forceToMultiPolygon(linear.release()));
    if (!multi || wkbFlatten(multi->getGeometryType()) != wkbMultiPolygon)
        return;
    for (const OGRPolygon* polygon : *multi->toMultiPolygon())
        if (!polygon->IsEmpty())
            Out.Items.emplace_back(polygon->clone());
}

// The polygons of every feature, in the grid's metres, each valid.
TPolygons ReadPolygons(OGRLayer& Layer, OGRCoordinateTransformation* Transform,
                       const TRequest& Request) {
    TPolygons read;
    Layer.ResetReading();
    for (const auto& feature : Layer)
        if (const OGRGeometry* g = feature->GetGeometryRef())
            CollectPolygons(*g, read);
    TPolygons result;
    result.Ignored = read.Ignored;
    for (TGeometryPtr& polygon : read.Items) {
        if (Transform && polygon->transform(Transform) != OGRERR_NONE)
            throw TReadError(
                "A polygon of layer " + Quoted(Layer.GetName()) +
                " cannot be transformed into EPSG:" + std::to_string(Request.TargetEpsg) + ": " +
                GdalReason("it lies outside the system's domain"));
        if (polygon->IsValid()) {
            result.Items.push_back(std::move(polygon));
            continue;
        }
        // A self-intersecting ring or a spike would make the area wrong (a spike has
        // no interior beside it); GEOS mends the polygon, keeping what is area.
        ++result.Repaired;
        TGeometryPtr valid(polygon->MakeValid());
        if (!valid)
            throw TReadError("An invalid polygon of layer " + Quoted(Layer.GetName()) +
                             " cannot be mended: " + GdalReason("GEOS failed"));
        TPolygons parts;
        CollectPolygons(*valid, parts);
        for (TGeometryPtr& part : parts.Items)
            result.Items.push_back(std::move(part));
    }
    return result;
}

void CheckFinite(const OGRLinearRing& Ring) {
    for (int i = 0; i < Ring.getNumPoints(); ++i)
        if (!std::isfinite(Ring.getX(i)) || !std::isfinite(Ring.getY(i)))
            throw TReadError("A polygon of the area has a coordinate that is not a number");
}

// The ring as the core takes it: without its closing point, counter-clockwise as an
// outer ring, clockwise as a hole.
void AppendRing(const OGRLinearRing& Ring, bool Outer, std::vector<TRing>& Rings) {
    CheckFinite(Ring);
    int n = Ring.getNumPoints();
    if (n > 1 && Ring.getX(0) == Ring.getX(n - 1) && Ring.getY(0) == Ring.getY(n - 1))
        --n;
    if (n < 3)
        return;
    TRing ring(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        ring[static_cast<size_t>(i)] = {Ring.getX(i), Ring.getY(i)};
    if (Ring.isClockwise() == Outer)
        std::reverse(ring.begin(), ring.end());
    Rings.push_back(std::move(ring));
}

void AppendPolygons(const OGRGeometry& G, std::vector<TRing>& Rings) {
    TPolygons polygons;
    CollectPolygons(G, polygons);
    for (const TGeometryPtr& p : polygons.Items) {
        const OGRPolygon& polygon = *p->toPolygon();
        if (const OGRLinearRing* outer = polygon.getExteriorRing())
            AppendRing(*outer, true, Rings);
        for (int i = 0; i < polygon.getNumInteriorRings(); ++i)
            AppendRing(*polygon.getInteriorRing(i), false, Rings);
    }
}

// An area grown by Distance is the area together with every point nearer than
// Distance to its boundary. GEOS buffers a long boundary slowly (a 15 km buffer of
// Denmark's coast takes seconds); short pieces of it go fast. No piece is a closed
// ring: GEOS buffers a closed line as a ring, with a hole inside that a large
// distance gets wrong. The union of the area and the pieces' buffers is the grown
// area with its outline as a user draws it.
void Grow(const std::vector<TGeometryPtr>& Polygons, double Distance, std::vector<TRing>& Rings) {
    OGRMultiPolygon parts;
    auto add = [&](const OGRGeometry& G) {
        TPolygons polygons;
        CollectPolygons(G, polygons);
        for (TGeometryPtr& p : polygons.Items)
            parts.addGeometryDirectly(p.release());
    };
    for (const TGeometryPtr& p : Polygons) {
        add(*p);
        for (const OGRLinearRing* ring : *p->toPolygon()) {
            const int segments = ring->getNumPoints() - 1;
            const int step = std::min(PiecePoints - 1, std::max(1, (segments + 1) / 2));
            for (int first = 0; first < segments; first += step) {
                const int last = std::min(first + step, segments);
                OGRLineString piece;
                piece.setNumPoints(last - first + 1, FALSE);
                for (int i = first; i <= last; ++i)
                    piece.setPoint(i - first, ring->getX(i), ring->getY(i));
                TGeometryPtr grown(piece.Buffer(Distance, QuarterSegments));
                if (!grown)
                    throw TReadError("The buffer of the area failed: " + GdalReason("GEOS failed"));
                add(*grown);
            }
        }
    }
    TGeometryPtr united(parts.UnionCascaded());
    // Without the union the rings still make the right area (nonzero winding).
    AppendPolygons(united ? *united : static_cast<const OGRGeometry&>(parts), Rings);
}

// Shrinking works on the union: neighbouring polygons (municipalities) shrink
// together, not each away from their common border.
void Shrink(const std::vector<TGeometryPtr>& Polygons, double Distance, std::vector<TRing>& Rings) {
    OGRMultiPolygon all;
    for (const TGeometryPtr& p : Polygons)
        all.addGeometry(p.get());
    TGeometryPtr united(all.UnionCascaded());
    TGeometryPtr shrunk(united ? united->Buffer(Distance, QuarterSegments) : nullptr);
    if (!shrunk)
        throw TReadError("The buffer of the area failed: " + GdalReason("GEOS failed"));
    AppendPolygons(*shrunk, Rings);
}

void Read(const TRequest& Request, TResult& Result) {
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    TQuietGdal quiet;
    if (!std::isfinite(Request.Buffer))
        throw TReadError("The buffer must be a number of metres");
    std::unique_ptr<GDALDataset, TDatasetDeleter> data(GDALDataset::Open(
        Request.Path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
    if (!data) {
        std::error_code ec;
        const bool exists = std::filesystem::exists(Request.Path, ec);
        throw TReadError("Cannot open the area file " + Quoted(Request.Path) + ": " +
                         (exists ? GdalReason("GDAL cannot read it as a vector file")
                                 : std::string("no such file")));
    }
    OGRLayer& layer = *ChooseLayer(*data, Request, Result);
    Result.LayerName = layer.GetName();
    const auto transform = GridTransform(layer, Request, Result);
    TPolygons polygons = ReadPolygons(layer, transform.get(), Request);
    const std::string name = Quoted(layer.GetName());
    if (polygons.Items.empty())
        throw TReadError("Layer " + name + " of " + Quoted(Request.Path) + " holds no polygons" +
                         (polygons.Ignored ? " (only points and lines)" : ""));
    if (polygons.Ignored == 1)
        Result.Notices.push_back("1 point or line of layer " + name +
                                 " is ignored: only polygons make an area");
    else if (polygons.Ignored > 1)
        Result.Notices.push_back(std::to_string(polygons.Ignored) + " points and lines of layer " +
                                 name + " are ignored: only polygons make an area");
    if (polygons.Repaired == 1)
        Result.Notices.push_back("1 invalid polygon of layer " + name + " was mended");
    else if (polygons.Repaired > 1)
        Result.Notices.push_back(std::to_string(polygons.Repaired) + " invalid polygons of layer " +
                                 name + " were mended");
    if (Request.Buffer > 0)
        Grow(polygons.Items, Request.Buffer, Result.Rings);
    else if (Request.Buffer < 0)
        Shrink(polygons.Items, Request.Buffer, Result.Rings);
    else
        for (const TGeometryPtr& p : polygons.Items)
            AppendPolygons(*p, Result.Rings);
    if (Result.Rings.empty())
        throw TReadError("Nothing is left of the area of layer " + name + " after a buffer of " +
                         Number(Request.Buffer) + " m");
}

} // namespace

} // namespace quadrel::area_gdal

QUADREL_AREA_EXPORT int32_t quadrel_area_version() {
    return quadrel::area_api::Version;
}

QUADREL_AREA_EXPORT void quadrel_area_read(const quadrel::area_api::TRequest& Request,
                                           quadrel::area_api::TResult& Result) {
    Result = {};
    try {
        quadrel::area_gdal::Read(Request, Result);
    } catch (const std::exception& e) {
        Result.Rings.clear();
        Result.Error = e.what();
        if (Result.Error.empty())
            Result.Error = "The area could not be read";
    }
}
