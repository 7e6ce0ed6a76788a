#include "grid_state.h"

#include "area.h"
#include "errors.h"
#include "run_formats.h"

#include <cmath>
#include <limits>

namespace quadrel {

namespace {

// Far beyond any projected coordinate on Earth, and small enough that a corner
// divided by a cell size always fits a 64-bit integer.
constexpr double CoordinateLimit = 1e15;

void CheckCorner(const TCornerPoint& P) {
    for (double v : {P.X, P.Y})
        if (!std::isfinite(v) || std::fabs(v) > CoordinateLimit)
            throw ERangeError("A corner of the area is not a usable coordinate: it must be a "
                              "finite number of metres within +-1e15");
}

int32_t CellCount(int64_t Low, int64_t High, int32_t CellSize) {
    const int64_t count = (High - Low) / CellSize; // both ends lie on cell lines
    if (count > std::numeric_limits<int32_t>::max())
        throw ERangeError("The area is too large: it holds more than 2147483647 cells in "
                          "one direction; choose a larger cell size or a smaller area");
    return static_cast<int32_t>(count);
}

} // namespace

TGridExtent SnapExtent(const TCornerPoint& First, const TCornerPoint& Second, int32_t CellSize) {
    if (CellSize <= 0)
        throw ERangeError("No cell size has been chosen");
    CheckCorner(First);
    CheckCorner(Second);
    const double minX = std::fmin(First.X, Second.X), maxX = std::fmax(First.X, Second.X);
    const double minY = std::fmin(First.Y, Second.Y), maxY = std::fmax(First.Y, Second.Y);
    const double size = CellSize;
    // The lower corner is cut toward zero; the upper one is raised to the next cell
    // line, but 0.999 rather than 1 keeps a maximum that lies less than a thousandth
    // of a cell beyond a line on that line. The products are taken in integers.
    const int64_t x1 = static_cast<int64_t>(std::trunc(minX / size)) * CellSize;
    const int64_t y1 = static_cast<int64_t>(std::trunc(minY / size)) * CellSize;
    const int64_t x2 = static_cast<int64_t>(std::trunc(maxX / size + 0.999)) * CellSize;
    const int64_t y2 = static_cast<int64_t>(std::trunc(maxY / size + 0.999)) * CellSize;
    TGridExtent e;
    e.X1 = static_cast<double>(x1);
    e.Y1 = static_cast<double>(y1);
    e.X2 = static_cast<double>(x2);
    e.Y2 = static_cast<double>(y2);
    e.CellsX = CellCount(x1, x2, CellSize);
    e.CellsY = CellCount(y1, y2, CellSize);
    return e;
}

std::array<std::string, 6> StatusTexts(const TGridExtent& Extent) {
    auto whole = [](double v) { return std::to_string(std::llround(v)); };
    return {"X1: " + whole(Extent.X1),
            "Y1: " + whole(Extent.Y1),
            "X2: " + whole(Extent.X2),
            "Y2: " + whole(Extent.Y2),
            "Cells X: " + std::to_string(Extent.CellsX),
            "Cells Y: " + std::to_string(Extent.CellsY)};
}

void TGridState::ChooseGridKind(TGridKind Kind) {
    if (Kind != gkNone && !FindGridSystem(Kind))
        throw ERangeError("Unknown grid system " + std::to_string(static_cast<int32_t>(Kind)));
    if (Kind == gkNone) {
        CloseGrid();
        return;
    }
    // Snap the kept corners in the default size before anything changes, so that a
    // refused choice leaves the state as it was.
    const TGridSize* size = FindSizeByTag(Kind, DefaultSizeTag(Kind));
    (void)SnapExtent(FirstCorner, SecondCorner, size->CellSize);
    CloseGrid();
    GridKind = Kind;
    if (Area && Area->Epsg != GridEpsg(Kind))
        Area.reset();
    if (!FormatItemShown(Kind, OutputFormatTag))
        OutputFormatTag = ftMIF;
    ChooseSize(size->Tag);
}

void TGridState::CloseGrid() {
    GridKind = gkNone;
    ExtentShown = false;
}

void TGridState::ChooseFormat(int32_t Tag) {
    if (!IsOutputFormatTag(Tag))
        throw ERangeError("Unknown file format tag " + std::to_string(Tag));
    OutputFormatTag = Tag;
}

void TGridState::ChooseSize(int32_t Tag) {
    const TGridSize* size = FindSizeByTag(GridKind, Tag);
    if (!size)
        throw ERangeError("The grid system has no grid size with tag " + std::to_string(Tag));
    // Snap first: a size in whose cells the corners cannot be counted changes nothing.
    (void)SnapExtent(FirstCorner, SecondCorner, size->CellSize);

    SizeTag = Tag;
    if (GridKind == gkEuroGrid) {
        FilePrefix = MakeFilePrefix(GridKind, *size, ShortFileNames());
        CellSize = size->CellSize;
    } else {
        SizeLabel = size->Label;
        FilePrefix = MakeFilePrefix(GridKind, *size, ShortFileNames());
        CellSize = size->CellSize;
        DroppedDigits = size->DroppedDigits;
        OutlineColour = size->OutlineColour;
    }
    newxyfactor();
}

void TGridState::SetFirstCorner(const TCornerPoint& P) {
    SetCorners(P, SecondCorner);
}

void TGridState::SetSecondCorner(const TCornerPoint& P) {
    SetCorners(FirstCorner, P);
}

void TGridState::SetCorners(const TCornerPoint& First, const TCornerPoint& Second) {
    CheckCorner(First);
    CheckCorner(Second);
    if (CellSize > 0)
        (void)SnapExtent(First, Second, CellSize);
    FirstCorner = First;
    SecondCorner = Second;
    newxyfactor();
}

void TGridState::ChoosePreset(const TPresetArea& Area) {
    if (GridKind != gkDKN)
        throw ERangeError("The preset area \"" + std::string(Area.Caption) +
                          "\" belongs to the DKN grid system");
    SetCorners(Area.FirstCorner, Area.SecondCorner);
}

void TGridState::newxyfactor() {
    if (CellSize <= 0)
        return; // no size chosen yet: nothing to snap to
    GridExtent = SnapExtent(FirstCorner, SecondCorner, CellSize);
    // Only the X values tell whether a corner has been set.
    if (!CornersSet())
        return;
    ExtentShown = true;
    if (OnShowExtent)
        OnShowExtent(*this);
}

TGridState& GridState() {
    static TGridState state;
    return state;
}

} // namespace quadrel
