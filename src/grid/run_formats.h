#pragma once
// The output formats of the generation run, in one table: for each "File format"
// choice the writer the factory is asked for, the per-cell size estimates that
// guard the 2 GB limits and the free space, the side files written first, whether
// EuroGrid coordinates are shifted for MapInfo, and the texts of its refusals.
//
// A new output format is one row here (and, when the window is to offer it, an
// item in grid_catalogue.h's format items). Until its writer exists the factory
// hands out the MIF/MID writer, and the run then follows the MIF row: the format
// resolves to what is really written (ResolveRunFormat).

#include "grid_state.h"
#include "pwnet_giswriter.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quadrel {

// One output format of the run.
struct TRunFormat {
    int32_t Tag;                // the OutputFormatTag that chooses it
    std::string_view Name;      // quadrel-cli's --format value ("shp", "shp83", "mif", ...)
    std::string_view Caption;   // the "File format" item's caption
    pwnet::TGISFormat Writer;   // what the run asks the writer factory for
    std::string_view Extension; // the main file of the output (".shp"), for messages
    // Bytes per cell. The first estimate serves the 2 GB and large-file checks, the
    // second, by grid system, the free-space check.
    int32_t FirstEstimate;
    int32_t SecondEstimateEuroGrid;
    int32_t SecondEstimateDKN;
    bool ShapefileSideFiles; // the ".avl" legend (DKN) and the ".prj" are written first
    bool MapInfoShift;       // EuroGrid coordinates lose the LAEA false origin (MapInfo)
    // The format's readers take only WGS 84 longitude and latitude (KML): the run
    // hands the writer every ring transformed, the attributes stay grid metres.
    bool LonLat;
    // The refusal when the first estimate exceeds 2 GB, for a format that cannot
    // hold more; empty for a format without that limit.
    std::string_view SizeLimitText;
    // The hint after a large-file or free-space refusal; empty for none.
    std::string_view CompactHint;
    // For a format that stores coordinates only within the Bounds of its CoordSys
    // clause (a MapInfo table holds them as integers over that rectangle and moves
    // anything outside to its edge): the start of the refusal of a grid beyond them,
    // to which the bounds are added. Empty for the other formats.
    std::string_view OutsideBoundsText = {};
    // The three estimates above for a grid of centre points (TGridState::CentrePoints);
    // 0 for a format not measured with points, which is then held to its squares'.
    int32_t PointFirstEstimate = 0;
    int32_t PointSecondEstimateEuroGrid = 0;
    int32_t PointSecondEstimateDKN = 0;
    // What each text field of codes or parents adds to both estimates of a cell: its
    // width, these bytes (quotes, separators, tags) and this many copies of its name
    // (formats that name every value).
    int32_t TextFieldBytes = 0;
    int32_t FieldNameCopies = 0;
};

// All rows in tag order.
std::span<const TRunFormat> RunFormats();
// The row of this OutputFormatTag, or nullptr.
const TRunFormat* FindRunFormat(int32_t Tag);
// The row with this --format name (ASCII case ignored), or nullptr.
const TRunFormat* FindRunFormatByName(std::string_view Name);

// The row of the writer the run really gets: the MIF row when the factory handed
// out its MIF/MID fallback for another format (a library that could not be loaded,
// a writer not built yet), else Requested itself.
const TRunFormat& EffectiveRunFormat(const TRunFormat& Requested, const pwnet::TGISWrite& Writer);

// What a format choice amounts to with the writers of this build.
struct TResolvedFormat {
    const TRunFormat* Requested;
    const TRunFormat* Effective; // differs from Requested when the factory falls back
    bool FellBack() const { return Requested != Effective; }
};
// Asks the writer factory (no file is created). Raises ERangeError for an unknown tag.
TResolvedFormat ResolveRunFormat(int32_t Tag);

// The run's two size estimates of a grid, in bytes: the cell count times the bytes
// per cell, computed in 64 bits and held at INT64_MAX should the product not fit.
struct TRunEstimates {
    int64_t Cells = 0;
    int64_t First = 0;
    int64_t Second = 0;
};
TRunEstimates EstimateRun(const TRunFormat& Format, TGridKind Kind, const TGridExtent& Extent);
// The same for a number of cells.
TRunEstimates EstimateRun(const TRunFormat& Format, TGridKind Kind, int64_t Cells);

// 2 GB: the largest output the SHP and TAB formats, and file systems without large
// files, can take.
inline constexpr int64_t SizeLimit = 2147483648;

// The refusal texts of the run's checks, in the order they are shown; empty when
// the check lets the run go on.
//   The format's own 2 GB limit:
std::string_view SizeLimitRefusal(const TRunFormat& Format, const TRunEstimates& Estimates);
//   More than 2 GB on a file system that cannot hold files that large:
std::vector<std::string_view> LargeFileRefusal(const TRunFormat& Format,
                                               const TRunEstimates& Estimates,
                                               std::string_view FileSystemName);
//   Less free space (-1: unknown) than the second estimate:
std::vector<std::string_view> FreeSpaceRefusal(const TRunFormat& Format,
                                               const TRunEstimates& Estimates, int64_t FreeBytes);

// The refusal when the format keeps coordinates only within its bounds and the
// grid's cells reach beyond them; empty when the grid fits.
std::string BoundsRefusal(const TRunFormat& Format, TGridKind Kind, const TGridExtent& Extent);

// The MapInfo CoordSys clause of a grid system (the EuroGrid one describes the
// shifted coordinates of MIF and TAB output).
std::string_view GridCoordSys(TGridKind Kind);
// The Bounds of GridCoordSys in the grid system's own (unshifted) metres.
pwnet::TFloatRect GridCoordSysBounds(TGridKind Kind);
// What the run adds to every written coordinate: the negated LAEA false origin for
// EuroGrid in a format with MapInfoShift, else nothing.
pwnet::TFloatPoint CoordinateShift(const TRunFormat& Format, TGridKind Kind);

// The EPSG code of a grid system's coordinates: 25832 (ETRS89 / UTM zone 32N) for
// DKN, 3035 (ETRS89 / LAEA Europe) for EuroGrid; 0 for none.
int32_t GridEpsg(TGridKind Kind);
// The EPSG code of the coordinates the run writes in Format: 4326 (WGS 84) for a
// LonLat format, else the grid system's.
int32_t WrittenEpsg(const TRunFormat& Format, TGridKind Kind);

} // namespace quadrel
