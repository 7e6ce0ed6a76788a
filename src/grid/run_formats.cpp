#include "run_formats.h"

#include "errors.h"
#include "file_system.h"
#include "pwnet_functions.h"

#include <algorithm>
#include <limits>
#include <typeinfo>

namespace quadrel {

namespace {

using namespace pwnet;

constexpr std::string_view TryShpOrTab =
    "You can try with SHP or TAB format - they are more compact";
constexpr std::string_view TryAnother = "You can try with another format - they are more compact";
constexpr std::string_view NoLargeFiles =
    "Only a file system that can hold files larger than 2 GB can handle >2 GB as output";
constexpr std::string_view NotEnoughSpace = "There is not enough space on your harddisk";

// GML's first estimate, which the format has from nowhere else: 470 bytes per cell.
// The GML writer spends 445 bytes on a DKN 250 m cell and 463 on a EuroGrid 1 km
// cell (feature member, feature and field elements, a MultiPolygon of one ring of
// five coordinate pairs, closing tags), measured on grids of 10,000 cells.
constexpr int32_t GmlBytesPerCell = 470;

constexpr std::string_view ShpTooLarge = "SHP format can not handle >2 GB as output";

// Figures raised to what the writers really write, measured with quadrel-cli on the
// grids where the cells take the most room (every DKN size, EuroGrid 1 m to 10 km,
// 4,500 to 1,000,000 cells each); the file's size divided by the cells, rounded up.
// Where the figures of the first version were not lower (SHP, CSV, KML, GeoJSON, the
// rest of GML and MIF), they stay.
//
// MIF, first estimate (the ".mif"): 116.0 bytes per cell for DKN 250 m and 1 km cells
// (1,000,000 and 170,200 cells), where 88 was estimated; EuroGrid comes to 106.2.
constexpr int32_t MifLargestFilePerCell = 116;
// MIF, free space for EuroGrid: 123.2 bytes per cell over 2500000..3500000 by
// 1400000..2400000 in 10 km cells, whose shifted coordinates take 8 characters and
// whose origins 7 digits; 114.1 over all of Europe, 105.4 for 1 km cells.
constexpr int32_t MifBytesPerCellEuroGrid = 124;
// TAB, first estimate (the ".map"): 142.7 bytes per cell for 1,000,000 DKN 100 m
// cells, 144.5 for 170,200 1 km cells, 151.7 for 6,120 EuroGrid 1 km cells and 157.7
// for the 4,500 DKN 10 km cells of "All": the spatial index takes more per cell on
// smaller grids of larger cells. 132 was estimated.
constexpr int32_t TabLargestFilePerCell = 158;
// TAB, free space (".tab", ".map", ".dat", ".id"): EuroGrid 170.8 bytes per cell for
// 10,000 10 km cells and 170.7 for 6,120 1 km cells (161.9 for 1,000,000 1 km cells);
// DKN 222.8 for the 4,500 10 km cells with their place names (167.7 for 1,000,000
// 100 m cells).
constexpr int32_t TabBytesPerCellEuroGrid = 171;
constexpr int32_t TabBytesPerCellDKN = 223;
// GML, free space for DKN: 461.2 bytes per cell for the 4,500 10 km cells with their
// place names, 445.0 for 1,000,000 250 m cells.
constexpr int32_t GmlBytesPerCellDKN = 462;

// Bytes per cell of the formats without a menu item, as their writers spend them on
// grids of 10,000 cells and more, with some room:
// CSV holds the names only: a EuroGrid origin pair and a line end, 17 bytes; a DKN
// identifier in quotes, 18 to 21 bytes; a 10 km identifier with its place name, 20
// on average.
constexpr int32_t CsvBytesPerCellEuroGrid = 20;
constexpr int32_t CsvBytesPerCell = 28;
// KML: a Placemark of name, style, description and a MultiGeometry of one ring of
// five longitude/latitude pairs of 15 significant digits, one tag per line: 524 to
// 542 bytes.
constexpr int32_t KmlBytesPerCell = 600;
// GeoJSON: a Feature with its properties and a Polygon of five positions: 198 to 212
// bytes.
constexpr int32_t GeoJsonBytesPerCell = 240;
// GeoPackage, the whole file with its spatial index, as quadrel-cli wrote it: DKN
// 196.7 bytes per cell for 1 km "All" (374,000 cells), 203.2 for 160,000 cells of
// 100 m, 204.2 for 40,000 of 250 m, 217.9 for 10 km "All" with place names (3,740
// cells, where the fixed 100 KB of tables and style weigh in); EuroGrid 196.3 for
// 160,000 cells of 1 km or 10 m. As centre points: DKN 93.6 (100 m) and 110.6 (10 km
// "All"), EuroGrid 85.6. A text field of codes or parents adds a little less than
// its width (the INSPIRE code 29.3 bytes, the three parents 38.2). With some room:
constexpr int32_t GpkgBytesPerCellEuroGrid = 210;
constexpr int32_t GpkgBytesPerCell = 230;
constexpr int32_t GpkgBytesPerPointEuroGrid = 100;
constexpr int32_t GpkgBytesPerPoint = 120;

// Centre points (the three estimates of a row's Point columns) and the text fields of
// codes and parents (TextFieldBytes, FieldNameCopies), as the writers spend them on
// grids of 10,000 DKN 100 m and EuroGrid 1 km cells and on the 1,702 DKN 10 km cells
// of Denmark, with some room:
// - SHP: a point record takes 28 bytes in the .shp and 8 in the .shx; the .dbf
//   record is the same as for squares (EuroGrid 15, DKN 21, DKN 10 km 61 bytes).
// - MIF: "Point x y" and its Symbol line, 44 to 47 bytes; the .mid line as for
//   squares, up to 58 bytes for a 10 km cell with a place name of 40 characters.
// - TAB: 21.6 bytes of .map per point; the .dat record as the .dbf's.
// - GML: a featureMember with a Point, 226 to 246 bytes.
// - CSV: the names only, as for squares.
// - KML: a Placemark with a Point of 15 significant digits, 240 to 255 bytes.
// - GeoJSON: a Feature with a Point, 122 to 134 bytes.
// A text field of codes or parents takes its width in the fixed records of dBASE
// and TAB; in MIF and CSV at most its width plus two quotes and a comma; in GML
// its value between an opening and a closing tag of its name; in KML "name: value"
// and "<br>"; in GeoJSON "," "name" ":" "value" with four quotes.
constexpr TRunFormat Formats[] = {
    {.Tag = ftMIF,
     .Name = "mif",
     .Caption = "MapInfo MIF",
     .Writer = gfMIF,
     .Extension = ".mif",
     .FirstEstimate = MifLargestFilePerCell,
     .SecondEstimateEuroGrid = MifBytesPerCellEuroGrid,
     .SecondEstimateDKN = 322,
     .ShapefileSideFiles = false,
     .MapInfoShift = true,
     .LonLat = false,
     .SizeLimitText = {},
     .CompactHint = TryShpOrTab,
     .PointFirstEstimate = 50,
     .PointSecondEstimateEuroGrid = 64,
     .PointSecondEstimateDKN = 110,
     .TextFieldBytes = 3},
    {.Tag = ftSHP,
     .Name = "shp",
     .Caption = "ESRI SHP",
     .Writer = gfSHP,
     .Extension = ".shp",
     .FirstEstimate = 136,
     .SecondEstimateEuroGrid = 160,
     .SecondEstimateDKN = 206,
     .ShapefileSideFiles = true,
     .MapInfoShift = false,
     .LonLat = false,
     .SizeLimitText = ShpTooLarge,
     .CompactHint = {},
     .PointFirstEstimate = 28,
     .PointSecondEstimateEuroGrid = 52,
     .PointSecondEstimateDKN = 98},
    {.Tag = ftTAB,
     .Name = "tab",
     .Caption = "MapInfo TAB",
     .Writer = gfMITAB,
     .Extension = ".tab",
     .FirstEstimate = TabLargestFilePerCell,
     .SecondEstimateEuroGrid = TabBytesPerCellEuroGrid,
     .SecondEstimateDKN = TabBytesPerCellDKN,
     .ShapefileSideFiles = false,
     .MapInfoShift = true,
     .LonLat = false,
     .SizeLimitText = "TAB format can not handle >2 GB as output",
     .CompactHint = {},
     .OutsideBoundsText = "TAB format can only hold cells within",
     .PointFirstEstimate = 24,
     // 41.9 bytes per point written for 10,000 EuroGrid 10 km centre points, where 40
     // was estimated.
     .PointSecondEstimateEuroGrid = 42,
     .PointSecondEstimateDKN = 84},
    {.Tag = ftGML,
     .Name = "gml",
     .Caption = "GML 2.1.2",
     .Writer = gfGML2,
     .Extension = ".xml",
     .FirstEstimate = GmlBytesPerCell,
     .SecondEstimateEuroGrid = GmlBytesPerCell,
     .SecondEstimateDKN = GmlBytesPerCellDKN,
     .ShapefileSideFiles = false,
     .MapInfoShift = false,
     .LonLat = false,
     .SizeLimitText = {},
     .CompactHint = TryAnother,
     .PointFirstEstimate = 270,
     .PointSecondEstimateEuroGrid = 270,
     .PointSecondEstimateDKN = 270,
     .TextFieldBytes = 5,
     .FieldNameCopies = 2},
    {.Tag = ftSHP83,
     .Name = "shp83",
     .Caption = "ESRI SHP, 8+3 filename",
     .Writer = gfSHP,
     .Extension = ".shp",
     .FirstEstimate = 136,
     .SecondEstimateEuroGrid = 160,
     .SecondEstimateDKN = 206,
     .ShapefileSideFiles = true,
     .MapInfoShift = false,
     .LonLat = false,
     .SizeLimitText = ShpTooLarge,
     .CompactHint = {},
     .PointFirstEstimate = 28,
     .PointSecondEstimateEuroGrid = 52,
     .PointSecondEstimateDKN = 98},
    // The formats without a menu item, reached through quadrel-cli's --format.
    {.Tag = ftCSV,
     .Name = "csv",
     .Caption = "CSV",
     .Writer = gfCSV,
     .Extension = ".csv",
     .FirstEstimate = CsvBytesPerCell,
     .SecondEstimateEuroGrid = CsvBytesPerCellEuroGrid,
     .SecondEstimateDKN = CsvBytesPerCell,
     .ShapefileSideFiles = false,
     .MapInfoShift = false,
     .LonLat = false,
     .SizeLimitText = {},
     .CompactHint = TryAnother,
     .PointFirstEstimate = CsvBytesPerCell,
     .PointSecondEstimateEuroGrid = CsvBytesPerCellEuroGrid,
     .PointSecondEstimateDKN = CsvBytesPerCell,
     .TextFieldBytes = 3},
    {.Tag = ftKML,
     .Name = "kml",
     .Caption = "KML",
     .Writer = gfKML2,
     .Extension = ".kml",
     .FirstEstimate = KmlBytesPerCell,
     .SecondEstimateEuroGrid = KmlBytesPerCell,
     .SecondEstimateDKN = KmlBytesPerCell,
     .ShapefileSideFiles = false,
     .MapInfoShift = false,
     .LonLat = true,
     .SizeLimitText = {},
     .CompactHint = TryAnother,
     .PointFirstEstimate = 300,
     .PointSecondEstimateEuroGrid = 300,
     .PointSecondEstimateDKN = 300,
     .TextFieldBytes = 6,
     .FieldNameCopies = 1},
    {.Tag = ftGeoJSON,
     .Name = "geojson",
     .Caption = "GeoJSON",
     .Writer = gfGeoJSON,
     .Extension = ".geojson",
     .FirstEstimate = GeoJsonBytesPerCell,
     .SecondEstimateEuroGrid = GeoJsonBytesPerCell,
     .SecondEstimateDKN = GeoJsonBytesPerCell,
     .ShapefileSideFiles = false,
     .MapInfoShift = false,
     .LonLat = false,
     .SizeLimitText = {},
     .CompactHint = TryAnother,
     .PointFirstEstimate = 150,
     .PointSecondEstimateEuroGrid = 150,
     .PointSecondEstimateDKN = 150,
     .TextFieldBytes = 6,
     .FieldNameCopies = 1},
    // One file that holds its own coordinate system: no side files, no shift, no
    // 2 GB limit of the format.
    {.Tag = ftGPKG,
     .Name = "gpkg",
     .Caption = "OGC GeoPackage",
     .Writer = gfGPKG,
     .Extension = ".gpkg",
     .FirstEstimate = GpkgBytesPerCell,
     .SecondEstimateEuroGrid = GpkgBytesPerCellEuroGrid,
     .SecondEstimateDKN = GpkgBytesPerCell,
     .ShapefileSideFiles = false,
     .MapInfoShift = false,
     .LonLat = false,
     .SizeLimitText = {},
     .CompactHint = TryAnother,
     .PointFirstEstimate = GpkgBytesPerPoint,
     .PointSecondEstimateEuroGrid = GpkgBytesPerPointEuroGrid,
     .PointSecondEstimateDKN = GpkgBytesPerPoint,
     .TextFieldBytes = 2},
};

// a * b * c for non-negative factors, held at INT64_MAX when it does not fit.
int64_t SaturatingProduct(int64_t a, int64_t b, int64_t c) {
    int64_t ab = 0, abc = 0;
    if (__builtin_mul_overflow(a, b, &ab) || __builtin_mul_overflow(ab, c, &abc))
        return std::numeric_limits<int64_t>::max();
    return abc;
}

} // namespace

std::span<const TRunFormat> RunFormats() {
    return Formats;
}

const TRunFormat* FindRunFormat(int32_t Tag) {
    for (const auto& f : Formats)
        if (f.Tag == Tag)
            return &f;
    return nullptr;
}

const TRunFormat* FindRunFormatByName(std::string_view Name) {
    for (const auto& f : Formats)
        if (pwnet::SameTextAscii(f.Name, Name))
            return &f;
    return nullptr;
}

const TRunFormat& EffectiveRunFormat(const TRunFormat& Requested, const TGISWrite& Writer) {
    // The factory's fallback is the plain MIF/MID writer (not a subclass of it).
    if (Requested.Writer != gfMIF && typeid(Writer) == typeid(TGISWriteMIF))
        return *FindRunFormat(ftMIF);
    return Requested;
}

TResolvedFormat ResolveRunFormat(int32_t Tag) {
    const TRunFormat* requested = FindRunFormat(Tag);
    if (!requested)
        throw ERangeError("Unknown file format tag " + std::to_string(Tag));
    // A writer creates no file before StartHeader, so asking the factory is harmless.
    const auto writer = TGISWrite::GetGISObject(requested->Writer);
    return {requested, &EffectiveRunFormat(*requested, *writer)};
}

TRunEstimates EstimateRun(const TRunFormat& Format, TGridKind Kind, const TGridExtent& Extent) {
    const int64_t x = std::max<int32_t>(Extent.CellsX, 0), y = std::max<int32_t>(Extent.CellsY, 0);
    return EstimateRun(Format, Kind, x * y);
}

TRunEstimates EstimateRun(const TRunFormat& Format, TGridKind Kind, int64_t Cells) {
    const int32_t second =
        Kind == gkEuroGrid ? Format.SecondEstimateEuroGrid : Format.SecondEstimateDKN;
    Cells = std::max<int64_t>(Cells, 0);
    return {Cells, SaturatingProduct(Cells, Format.FirstEstimate, 1),
            SaturatingProduct(Cells, second, 1)};
}

std::string_view SizeLimitRefusal(const TRunFormat& Format, const TRunEstimates& Estimates) {
    return Estimates.First > SizeLimit ? Format.SizeLimitText : std::string_view{};
}

std::vector<std::string_view> LargeFileRefusal(const TRunFormat& Format,
                                               const TRunEstimates& Estimates,
                                               std::string_view FileSystemName) {
    if (Estimates.First <= SizeLimit || CanHoldLargeFiles(FileSystemName))
        return {};
    std::vector<std::string_view> texts{NoLargeFiles};
    if (!Format.CompactHint.empty())
        texts.push_back(Format.CompactHint);
    return texts;
}

std::vector<std::string_view> FreeSpaceRefusal(const TRunFormat& Format,
                                               const TRunEstimates& Estimates, int64_t FreeBytes) {
    if (FreeBytes >= Estimates.Second)
        return {};
    std::vector<std::string_view> texts{NotEnoughSpace};
    if (!Format.CompactHint.empty())
        texts.push_back(Format.CompactHint);
    return texts;
}

std::string BoundsRefusal(const TRunFormat& Format, TGridKind Kind, const TGridExtent& Extent) {
    if (Format.OutsideBoundsText.empty())
        return {};
    const TFloatRect b = GridCoordSysBounds(Kind);
    if (Extent.X1 >= b.xmin && Extent.Y1 >= b.ymin && Extent.X2 <= b.xmax && Extent.Y2 <= b.ymax)
        return {};
    auto metres = [](double v) { return std::to_string(static_cast<long long>(v)); };
    return std::string(Format.OutsideBoundsText) + " (" + metres(b.xmin) + ", " + metres(b.ymin) +
           ") (" + metres(b.xmax) + ", " + metres(b.ymax) + ")";
}

TFloatRect GridCoordSysBounds(TGridKind Kind) {
    // The Bounds of GridCoordSys; EuroGrid's are given there in shifted coordinates.
    if (Kind == gkEuroGrid)
        return {0, 0, 8500000, 7500000};
    return {100000, 6000000, 1000000, 6500000};
}

std::string_view GridCoordSys(TGridKind Kind) {
    if (Kind == gkEuroGrid)
        return "CoordSys Earth Projection 29, 115, \"m\", 10, 52, 90 Bounds (-4321000, -3210000) "
               "(4179000, 4290000)";
    return "CoordSys Earth Projection 8, 33, \"m\", 9, 0, 0.9996, 500000, 0 Bounds (100000, "
           "6000000) (1000000,6500000)";
}

TFloatPoint CoordinateShift(const TRunFormat& Format, TGridKind Kind) {
    if (Kind == gkEuroGrid && Format.MapInfoShift)
        return {-4321000.0, -3210000.0};
    return {0.0, 0.0};
}

int32_t GridEpsg(TGridKind Kind) {
    switch (Kind) {
    case gkDKN:
        return 25832;
    case gkEuroGrid:
        return 3035;
    default:
        return 0;
    }
}

int32_t WrittenEpsg(const TRunFormat& Format, TGridKind Kind) {
    return Format.LonLat ? DefaultEPSG : GridEpsg(Kind);
}

} // namespace quadrel
