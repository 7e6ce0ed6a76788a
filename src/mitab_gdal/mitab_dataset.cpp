#include "mitab_dataset.h"

#include "mitab_charset.h"
#include "mitab_values.h"

#include <cpl_string.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>
#include <mutex>
#include <unistd.h>

namespace quadrel::mitab_gdal {

namespace {

// MITAB assumes longitude/latitude on WGS 84 when no clause is given.
constexpr const char* kDefaultCoordSys = "CoordSys Earth Projection 1, 104";
constexpr const char* kFallbackFieldName = "NDX"; // MITAB's column for tables without fields
constexpr int kMaxCharWidth = 254;
constexpr int kMaxDecimalWidth = 20;
constexpr int kMaxDecimals = 16;

std::string Lower(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

bool OnlyBlanks(const char* text) {
    for (; text && *text; ++text)
        if (!std::isspace(static_cast<unsigned char>(*text))) return false;
    return true;
}

GDALDriverH MapInfoDriver() {
    static std::once_flag registered;
    std::call_once(registered, [] { GDALAllRegister(); });
    return GDALGetDriverByName("MapInfo File");
}

// The clause's spatial reference, or nullptr when GDAL cannot read it.
SrsPtr ReadCoordSys(const char* clause) {
    SrsPtr srs(OSRNewSpatialReference(nullptr));
    if (!srs) return nullptr;
    if (OSRImportFromMICoordSys(srs.get(), OnlyBlanks(clause) ? kDefaultCoordSys : clause) !=
        OGRERR_NONE)
        return nullptr;
    OSRSetAxisMappingStrategy(srs.get(), OAMS_TRADITIONAL_GIS_ORDER); // x east, y north
    return srs;
}

std::string Number(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value); // shortest, locale-free
    return std::string(text, result.ptr);
}

// CSL option lists freed on scope exit.
class Options {
public:
    ~Options() { CSLDestroy(list_); }
    void Set(const char* name, const std::string& value) {
        list_ = CSLSetNameValue(list_, name, value.c_str());
    }
    char** Get() const { return list_; }

private:
    char** list_ = nullptr;
};

class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}
    void SkipBlanks() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])))
            ++pos_;
    }
    bool Take(char c) {
        SkipBlanks();
        if (pos_ >= text_.size() || text_[pos_] != c) return false;
        ++pos_;
        return true;
    }
    std::optional<double> TakeNumber() {
        SkipBlanks();
        if (pos_ < text_.size() && text_[pos_] == '+') ++pos_;
        double value = 0;
        const auto [end, ec] =
            std::from_chars(text_.data() + pos_, text_.data() + text_.size(), value);
        if (ec != std::errc()) return std::nullopt;
        pos_ = static_cast<std::size_t>(end - text_.data());
        return value;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// The system's reason for a write that failed, when errno holds one of the errors a
// write meets (a full disk, a quota, a size limit, the device); nullptr otherwise.
const char* WriteFailureReason(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
    case EIO:
    case EROFS:
        return std::strerror(error);
    default:
        return nullptr;
    }
}

std::optional<std::pair<double, double>> TakeCorner(Cursor& cursor) {
    if (!cursor.Take('(')) return std::nullopt;
    const auto x = cursor.TakeNumber();
    if (!x || !cursor.Take(',')) return std::nullopt;
    const auto y = cursor.TakeNumber();
    if (!y || !cursor.Take(')')) return std::nullopt;
    return std::pair{*x, *y};
}

} // namespace

std::optional<Bounds> BoundsInClause(std::string_view clause) {
    const std::size_t at = Lower(clause).find("bounds");
    if (at == std::string::npos) return std::nullopt;
    Cursor cursor(clause.substr(at + 6));
    const auto first = TakeCorner(cursor);
    const auto second = first ? TakeCorner(cursor) : std::nullopt;
    if (!second) return std::nullopt;
    return Bounds{std::min(first->first, second->first), std::min(first->second, second->second),
                  std::max(first->first, second->first),
                  std::max(first->second, second->second)};
}

// ---------------------------------------------------------------------------------------
// Feature

Feature::Feature(const Dataset& owner, int type, std::size_t fieldCount)
    : owner_(&owner), type_(type), values_(fieldCount) {}

void Feature::SetField(int index, const char* value) {
    if (index < 0 || static_cast<std::size_t>(index) >= values_.size()) return;
    if (value)
        values_[index] = value;
    else
        values_[index].reset();
}

void Feature::SetPoints(int part, int count, const double* x, const double* y) {
    if (count <= 0 || !x || !y) return;
    Part points{std::vector<double>(x, x + count), std::vector<double>(y, y + count)};
    switch (type_) {
    case kPoint:
        points.x.resize(1);
        points.y.resize(1);
        parts_.assign(1, std::move(points));
        break;
    case kPolyline:
        // Part 0 begins the line; later parts add sections to it.
        if (part <= 0) parts_.clear();
        parts_.push_back(std::move(points));
        break;
    case kRegion:
        // A positive part is a hole in the last polygon; 0 or negative opens an island.
        if (part <= 0 || parts_.empty()) polygonStarts_.push_back(parts_.size());
        parts_.push_back(std::move(points));
        break;
    default:
        break; // a feature without geometry ignores coordinates
    }
}

void Feature::SetPen(const Pen& pen) {
    if (type_ == kPolyline || type_ == kRegion) pen_ = pen;
}

void Feature::SetBrush(const Brush& brush) {
    if (type_ == kRegion) brush_ = brush;
}

void Feature::SetSymbol(const Symbol& symbol) {
    if (type_ == kPoint) symbol_ = symbol;
}

namespace {

OGRGeometryH MakeCurve(OGRwkbGeometryType type, const std::vector<double>& x,
                       const std::vector<double>& y) {
    OGRGeometryH curve = OGR_G_CreateGeometry(type);
    OGR_G_SetPoints(curve, static_cast<int>(x.size()), x.data(), sizeof(double), y.data(),
                    sizeof(double), nullptr, 0);
    return curve;
}

} // namespace

OGRGeometryH Feature::BuildRegion() const {
    std::vector<OGRGeometryH> polygons;
    for (std::size_t p = 0; p < polygonStarts_.size(); ++p) {
        const std::size_t end = p + 1 < polygonStarts_.size() ? polygonStarts_[p + 1]
                                                              : parts_.size();
        OGRGeometryH polygon = OGR_G_CreateGeometry(wkbPolygon);
        for (std::size_t r = polygonStarts_[p]; r < end; ++r)
            OGR_G_AddGeometryDirectly(polygon,
                                      MakeCurve(wkbLinearRing, parts_[r].x, parts_[r].y));
        polygons.push_back(polygon);
    }
    if (polygons.size() == 1) return polygons.front();
    OGRGeometryH multi = OGR_G_CreateGeometry(wkbMultiPolygon);
    for (OGRGeometryH polygon : polygons) OGR_G_AddGeometryDirectly(multi, polygon);
    return multi;
}

OGRGeometryH Feature::BuildGeometry() const {
    if (parts_.empty()) return nullptr;
    switch (type_) {
    case kPoint: {
        OGRGeometryH point = OGR_G_CreateGeometry(wkbPoint);
        OGR_G_SetPoint_2D(point, 0, parts_[0].x[0], parts_[0].y[0]);
        return point;
    }
    case kPolyline: {
        if (parts_.size() == 1) return MakeCurve(wkbLineString, parts_[0].x, parts_[0].y);
        OGRGeometryH multi = OGR_G_CreateGeometry(wkbMultiLineString);
        for (const Part& section : parts_)
            OGR_G_AddGeometryDirectly(multi, MakeCurve(wkbLineString, section.x, section.y));
        return multi;
    }
    case kRegion:
        return BuildRegion();
    default:
        return nullptr;
    }
}

std::string Feature::StyleString() const {
    std::string style;
    const auto add = [&style](const std::string& part) {
        if (!style.empty()) style += ';';
        style += part;
    };
    if (pen_) add(PenStyle(*pen_));
    if (brush_) add(BrushStyle(*brush_));
    if (symbol_) add(SymbolStyle(*symbol_));
    return style;
}

// ---------------------------------------------------------------------------------------
// Dataset

Dataset::Dataset(GdalDatasetPtr dataset, SrsPtr srs, std::optional<Bounds> bounds,
                 std::string path, std::string layerName)
    : dataset_(std::move(dataset)), srs_(std::move(srs)), bounds_(bounds),
      path_(std::move(path)), layerName_(std::move(layerName)) {}

Dataset::~Dataset() { Close(); }

std::unique_ptr<Dataset> Dataset::Create(const char* filename, const char* kind,
                                         const char* coordSys, double north, double south,
                                         double east, double west) {
    if (!filename || !*filename) return nullptr;
    const bool mif = kind && Lower(kind) == "mif";
    const std::filesystem::path path(filename);
    const std::string extension = Lower(path.extension().string());
    // MITAB derives its companion files from these extensions and refuses others.
    if (mif ? (extension != ".mif" && extension != ".mid") : extension != ".tab") return nullptr;

    SrsPtr srs = ReadCoordSys(coordSys);
    if (!srs) return nullptr;

    std::optional<Bounds> bounds;
    if (north != 0 || south != 0 || east != 0 || west != 0)
        bounds = Bounds{std::min(west, east), std::min(south, north), std::max(west, east),
                        std::max(south, north)};
    else if (coordSys)
        bounds = BoundsInClause(coordSys);

    GDALDriverH driver = MapInfoDriver();
    if (!driver) return nullptr;
    // The driver writes the ".tab" (or ".mif") only when the table is closed, and a
    // failure then goes unreported, leaving a table without its header: make sure
    // now that the file can be written (not a folder of that name, for one).
    std::error_code ec;
    const bool existed = std::filesystem::exists(path, ec);
    const int probe = ::open(filename, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (probe < 0) return nullptr;
    ::close(probe);
    Options options;
    if (mif)
        options.Set("FORMAT", "MIF");
    else
        options.Set("SPATIAL_INDEX_MODE", "OPTIMIZED"); // MITAB's default index
    GdalDatasetPtr dataset(GDALCreate(driver, filename, 0, 0, 0, GDT_Unknown, options.Get()));
    if (!dataset) {
        if (!existed) std::filesystem::remove(path, ec);
        return nullptr;
    }
    return std::unique_ptr<Dataset>(new Dataset(std::move(dataset), std::move(srs), bounds,
                                                path.string(), path.stem().string()));
}

int Dataset::SetCharset(const char* charset) {
    if (!dataset_ || !charset || !*charset || layer_ || layerFailed_) return -1;
    const auto encoding = EncodingOfCharset(charset);
    if (!encoding) return -1;
    encoding_ = *encoding;
    return 0;
}

bool Dataset::EnsureLayer() {
    if (layer_) return true;
    if (!dataset_ || layerFailed_) return false;
    Options options;
    if (bounds_)
        options.Set("BOUNDS", Number(bounds_->xmin) + "," + Number(bounds_->ymin) + "," +
                                  Number(bounds_->xmax) + "," + Number(bounds_->ymax));
    if (!encoding_.empty()) options.Set("ENCODING", encoding_);
    layer_ = GDALDatasetCreateLayer(dataset_.get(), layerName_.c_str(), srs_.get(), wkbUnknown,
                                    options.Get());
    layerFailed_ = layer_ == nullptr;
    return layer_ != nullptr;
}

int Dataset::AddField(const char* name, int type, int width, int precision) {
    if (!name || featuresCreated_) return -1;
    OGRFieldType ogrType = OFTString;
    int ogrWidth = 0;
    int ogrPrecision = 0;
    switch (type) {
    case kChar:
        ogrWidth = width <= 0 || width > kMaxCharWidth ? kMaxCharWidth : width;
        break;
    case kLogical:
        ogrWidth = 1; // the driver stores logicals as T or F (how it reads them back, too)
        break;
    case kInteger:
    case kSmallInt: // the driver writes no small integers; a full integer holds them
        ogrType = OFTInteger;
        break;
    case kDecimal:
        // MapInfo's limits: at most 20 digits, 16 decimals, two places for sign and point.
        ogrType = OFTReal;
        ogrWidth = width <= 0 ? kMaxDecimalWidth : std::clamp(width, 2, kMaxDecimalWidth);
        ogrPrecision = std::clamp(precision, 0, std::min(kMaxDecimals, ogrWidth - 2));
        break;
    case kFloat:
        ogrType = OFTReal; // no width: the driver makes it a Float
        break;
    case kDate:
        ogrType = OFTDate;
        break;
    case kTime:
        ogrType = OFTTime;
        break;
    case kDateTime:
        ogrType = OFTDateTime;
        break;
    default:
        return -1;
    }
    if (!EnsureLayer()) return -1;
    OGRFieldDefnH field = OGR_Fld_Create(ToUtf8(name, encoding_).c_str(), ogrType);
    OGR_Fld_SetWidth(field, ogrWidth);
    OGR_Fld_SetPrecision(field, ogrPrecision);
    const OGRErr error = OGR_L_CreateField(layer_, field, TRUE);
    OGR_Fld_Destroy(field);
    if (error != OGRERR_NONE) return -1;
    fieldTypes_.push_back(type);
    return static_cast<int>(fieldTypes_.size()) - 1;
}

std::unique_ptr<Feature> Dataset::CreateFeature(int type) {
    if (type != kNoGeom && type != kPoint && type != kPolyline && type != kRegion)
        return nullptr;
    if (!EnsureLayer()) return nullptr;
    if (fieldTypes_.empty() && AddField(kFallbackFieldName, kInteger, 10, 0) < 0) return nullptr;
    featuresCreated_ = true;
    return std::make_unique<Feature>(*this, type, fieldTypes_.size());
}

void Dataset::SetValue(OGRFeatureH target, int index,
                       const std::optional<std::string>& text) const {
    const int type = fieldTypes_[static_cast<std::size_t>(index)];
    if (type == kLogical) {
        // MITAB stores F for anything that is not true, the empty text included.
        OGR_F_SetFieldString(target, index, text && ReadLogical(*text) ? "T" : "F");
        return;
    }
    if (!text) {
        OGR_F_UnsetField(target, index);
        return;
    }
    std::optional<DateTimeValue> when;
    switch (type) {
    case kChar:
        OGR_F_SetFieldString(target, index, ToUtf8(*text, encoding_).c_str());
        return;
    case kInteger:
    case kSmallInt:
        if (const auto value = ReadInteger(*text))
            OGR_F_SetFieldInteger(target, index, *value);
        else
            OGR_F_UnsetField(target, index);
        return;
    case kDecimal:
    case kFloat:
        if (const auto value = ReadReal(*text))
            OGR_F_SetFieldDouble(target, index, *value);
        else
            OGR_F_UnsetField(target, index);
        return;
    case kDate:
        when = ReadDate(*text);
        break;
    case kTime:
        when = ReadTime(*text);
        break;
    case kDateTime:
        when = ReadDateTime(*text);
        break;
    default:
        break;
    }
    if (!when) {
        OGR_F_UnsetField(target, index); // an unreadable date stays empty
        return;
    }
    OGR_F_SetFieldDateTimeEx(target, index, when->year, when->month, when->day, when->hour,
                             when->minute,
                             static_cast<float>(when->second + when->millisecond / 1000.0), 0);
}

bool Dataset::Write(const Feature& feature) {
    if (&feature.Owner() != this || !layer_ || !dataset_) return false;
    if (!scratch_) scratch_.reset(OGR_F_Create(OGR_L_GetLayerDefn(layer_)));
    OGRFeatureH target = scratch_.get();
    const auto& values = feature.Values();
    for (std::size_t i = 0; i < values.size() && i < fieldTypes_.size(); ++i)
        SetValue(target, static_cast<int>(i), values[i]);
    OGR_F_SetGeometryDirectly(target, feature.BuildGeometry());
    const std::string style = feature.StyleString();
    OGR_F_SetStyleString(target, style.empty() ? nullptr : style.c_str());
    OGR_F_SetFID(target, OGRNullFID);
    errno = 0;
    if (OGR_L_CreateFeature(layer_, target) == OGRERR_NONE) return true;
    // The driver's message names the block it could not write; the system's reason
    // says more to a user whose disk is full.
    if (const char* reason = WriteFailureReason(errno))
        CPLErrorSetState(CE_Failure, CPLE_FileIO, reason);
    return false;
}

std::string Dataset::Close() {
    if (!dataset_) return {};
    // A table needs a column: the driver would otherwise write a header that names one
    // its data file does not hold.
    if (EnsureLayer() && fieldTypes_.empty()) AddField(kFallbackFieldName, kInteger, 10, 0);
    scratch_.reset();
    layer_ = nullptr;
    // The driver writes most of the files only now, and reports a failed block write
    // through CPL's last error; a ".tab" (or ".mif") header it could not write is left
    // empty without a word, so that is looked at too.
    CPLErrorReset();
    errno = 0;
    dataset_.reset();
    const int error = errno;
    const CPLErr reported = CPLGetLastErrorType();
    const bool failed = reported == CE_Failure || reported == CE_Fatal;
    struct stat st {};
    const bool headerMissing = ::stat(path_.c_str(), &st) != 0 || st.st_size == 0;
    if (!failed && !headerMissing) return {};
    if (const char* reason = WriteFailureReason(error)) return reason;
    if (failed && *CPLGetLastErrorMsg()) return CPLGetLastErrorMsg();
    return "the table's files could not be written completely";
}

} // namespace quadrel::mitab_gdal
