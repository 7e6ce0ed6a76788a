#include "run_preview.h"

#include "area_cells.h"
#include "cell_list.h"
#include "cell_naming.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>

namespace quadrel {

namespace {

std::vector<std::string> Strings(const std::vector<std::string_view>& Texts) {
    return {Texts.begin(), Texts.end()};
}

// Cells * Bytes, held at INT64_MAX should it not fit.
int64_t Saturated(int64_t Cells, int64_t Bytes) {
    int64_t product = 0;
    if (__builtin_mul_overflow(Cells, Bytes, &product))
        return std::numeric_limits<int64_t>::max();
    return product;
}

} // namespace

TRunEstimates EstimateGrid(const TRunFormat& Format, const TGridState& State) {
    const bool plain = !State.CentrePoints && !State.ListedCells;
    std::vector<TCellField> extra;
    AppendCodeFields(State, extra);
    if (plain && extra.empty())
        return EstimateRun(Format, State.GridKind, CellsToWrite(State));
    // Centre points take bytes of their own per cell (a format not measured with
    // points is held to its squares', which points never exceed); each text field of
    // codes and parents adds its width and its format's overhead (run_formats.h).
    const bool euro = State.GridKind == gkEuroGrid;
    const bool points = State.CentrePoints && Format.PointFirstEstimate > 0;
    int64_t first = points ? Format.PointFirstEstimate : Format.FirstEstimate;
    int64_t second =
        points ? (euro ? Format.PointSecondEstimateEuroGrid : Format.PointSecondEstimateDKN)
               : (euro ? Format.SecondEstimateEuroGrid : Format.SecondEstimateDKN);
    for (const TCellField& f : extra) {
        const int64_t bytes = f.Width + Format.TextFieldBytes +
                              Format.FieldNameCopies * static_cast<int64_t>(f.Name.size());
        first += bytes;
        second += bytes;
    }
    const int64_t cells = State.ListedCells ? static_cast<int64_t>(State.ListedCells->Cells.size())
                                            : CellsToWrite(State);
    return {cells, Saturated(cells, first), Saturated(cells, second)};
}

std::optional<TRunRefusal> CheckFormatLimits(const TRunFormat& Format, const TGridState& State,
                                             const TRunEstimates& Estimates) {
    if (std::string text = BoundsRefusal(Format, State.GridKind, State.GridExtent); !text.empty())
        return TRunRefusal{TRunOutcome::OutsideBounds, {std::move(text)}};
    if (const std::string_view text = SizeLimitRefusal(Format, Estimates); !text.empty())
        return TRunRefusal{TRunOutcome::TooLarge, {std::string(text)}};
    return std::nullopt;
}

std::optional<TRunRefusal> CheckFolder(const TRunFormat& Format, const TRunEstimates& Estimates,
                                       const TFileSystemQueries& FileSystem,
                                       const std::string& Folder) {
    if (const auto texts = LargeFileRefusal(Format, Estimates, FileSystem.FileSystemName(Folder));
        !texts.empty())
        return TRunRefusal{TRunOutcome::NoLargeFiles, Strings(texts)};
    if (const auto texts = FreeSpaceRefusal(Format, Estimates, FileSystem.DiskFree(Folder));
        !texts.empty())
        return TRunRefusal{TRunOutcome::NoSpace, Strings(texts)};
    return std::nullopt;
}

TRunPreview PreviewRun(const TGridState& State, const TFileSystemQueries* FileSystem,
                       const std::string& Folder) {
    CheckGridReady(State);
    TRunPreview preview{ResolveRunFormat(State.OutputFormatTag), {}, std::nullopt, false};
    const TRunFormat& format = *preview.Format.Effective;
    preview.Estimates = EstimateGrid(format, State);
    preview.Refusal = CheckFormatLimits(format, State, preview.Estimates);
    if (!preview.Refusal && FileSystem) {
        preview.Refusal = CheckFolder(format, preview.Estimates, *FileSystem, Folder);
        preview.FolderChecked = true;
    }
    return preview;
}

std::string HumanSize(int64_t Bytes) {
    char text[48];
    if (Bytes < 1000) {
        std::snprintf(text, sizeof text, "%lld bytes", static_cast<long long>(Bytes));
        return text;
    }
    // The unit is chosen after rounding to one decimal, so that 999,960 bytes read
    // "1.0 MB" rather than "1000.0 kB".
    static constexpr const char* Units[] = {"kB", "MB", "GB", "TB"};
    double value = static_cast<double>(Bytes) / 1e3;
    size_t unit = 0;
    while (unit + 1 < std::size(Units) && std::round(value * 10) >= 10000) {
        value /= 1e3;
        ++unit;
    }
    std::snprintf(text, sizeof text, "%.1f %s", value, Units[unit]);
    return text;
}

} // namespace quadrel
