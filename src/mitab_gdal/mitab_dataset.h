#pragma once
// A MapInfo table being written through GDAL's "MapInfo File" driver, and the features
// built for it, with the behaviour of MITAB's C API (see mitab_capi.h).

#include "mitab_style.h"

#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace quadrel::mitab_gdal {

// MITAB's feature type codes this library builds.
enum FeatureType : int { kNoGeom = 0, kPoint = 1, kPolyline = 5, kRegion = 7 };

// MITAB's field type codes.
enum FieldType : int {
    kChar = 1,
    kInteger = 2,
    kSmallInt = 3,
    kDecimal = 4,
    kFloat = 5,
    kDate = 6,
    kLogical = 7,
    kTime = 8,
    kDateTime = 9
};

struct Bounds {
    double xmin, ymin, xmax, ymax;
};

struct GdalDatasetCloser {
    void operator()(GDALDatasetH h) const { GDALClose(h); }
};
struct SrsReleaser {
    void operator()(OGRSpatialReferenceH h) const { OSRRelease(h); }
};
struct OgrFeatureDestroyer {
    void operator()(OGRFeatureH h) const { OGR_F_Destroy(h); }
};
using GdalDatasetPtr = std::unique_ptr<std::remove_pointer_t<GDALDatasetH>, GdalDatasetCloser>;
using SrsPtr = std::unique_ptr<std::remove_pointer_t<OGRSpatialReferenceH>, SrsReleaser>;
using OgrFeaturePtr = std::unique_ptr<std::remove_pointer_t<OGRFeatureH>, OgrFeatureDestroyer>;

class Dataset;

// A feature under construction: attribute texts as given, the parts of its geometry
// and its styles. It becomes an OGR feature only when written.
class Feature {
public:
    Feature(const Dataset& owner, int type, std::size_t fieldCount);

    const Dataset& Owner() const { return *owner_; }
    int Type() const { return type_; }

    void SetField(int index, const char* value);
    void SetPoints(int part, int count, const double* x, const double* y);
    void SetPen(const Pen& pen);
    void SetBrush(const Brush& brush);
    void SetSymbol(const Symbol& symbol);

    // The text given for each field, nullopt where none was.
    const std::vector<std::optional<std::string>>& Values() const { return values_; }
    // A new OGR geometry owned by the caller, or nullptr when the feature has none.
    OGRGeometryH BuildGeometry() const;
    // The OGR style string of the styles set on the feature; empty when none applies.
    std::string StyleString() const;

private:
    struct Part {
        std::vector<double> x, y;
    };
    OGRGeometryH BuildRegion() const;

    const Dataset* owner_;
    int type_;
    std::vector<std::optional<std::string>> values_;
    std::vector<Part> parts_;                // region rings, polyline sections or the point
    std::vector<std::size_t> polygonStarts_; // region: index of each polygon's first ring
    std::optional<Pen> pen_;
    std::optional<Brush> brush_;
    std::optional<Symbol> symbol_;
};

// One table being written. The OGR layer is made only when its settings are complete
// (at the first field, the first feature or the close), because the driver takes the
// character set and the bounds at layer creation.
class Dataset {
public:
    // nullptr when the table cannot be created (see mitab_c_create).
    static std::unique_ptr<Dataset> Create(const char* filename, const char* kind,
                                           const char* coordSys, double north, double south,
                                           double east, double west);
    ~Dataset();
    Dataset(const Dataset&) = delete;
    Dataset& operator=(const Dataset&) = delete;

    int SetCharset(const char* charset);
    int AddField(const char* name, int type, int width, int precision);
    std::unique_ptr<Feature> CreateFeature(int type);
    bool Write(const Feature& feature);
    // Completes and closes the files; later calls do nothing. Returns why the files
    // could not be completed (the system's reason where it shows, else GDAL's
    // message), or an empty text when they were.
    std::string Close();

private:
    Dataset(GdalDatasetPtr dataset, SrsPtr srs, std::optional<Bounds> bounds,
            std::string path, std::string layerName);
    bool EnsureLayer();
    void SetValue(OGRFeatureH target, int index, const std::optional<std::string>& text) const;

    GdalDatasetPtr dataset_;
    SrsPtr srs_;
    std::optional<Bounds> bounds_;
    std::string path_; // the ".tab" (or ".mif") as created
    std::string layerName_;
    std::string encoding_; // GDAL's name of the table's encoding; empty for Neutral
    OGRLayerH layer_ = nullptr;
    bool layerFailed_ = false;
    bool featuresCreated_ = false;
    std::vector<int> fieldTypes_; // MITAB type of each field
    OgrFeaturePtr scratch_;       // reused for every feature written
};

// The bounds named by a "Bounds (x1, y1) (x2, y2)" part of a CoordSys clause, in order.
std::optional<Bounds> BoundsInClause(std::string_view clause);

} // namespace quadrel::mitab_gdal
