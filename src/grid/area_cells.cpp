#include "area_cells.h"

#include "cell_naming.h"
#include "run_formats.h"

#include <algorithm>

namespace quadrel {

namespace {

void CheckArea(const TGridState& State, const TArea& Area) {
    if (Area.Rings.empty())
        throw EAreaError("The area " + Area.Description() + " holds no polygons");
    if (Area.Epsg != GridEpsg(State.GridKind))
        throw EAreaError("The area " + Area.Description() +
                         " is in EPSG:" + std::to_string(Area.Epsg) +
                         ", the grid in EPSG:" + std::to_string(GridEpsg(State.GridKind)));
}

} // namespace

TColumnRows::TColumnRows(const TGridState& State) {
    const TGridExtent& e = State.GridExtent;
    if (State.Area)
        FArea.emplace(State.Area->Rings, e.X1, e.Y1, State.CellSize, e.CellsY);
    else
        FAll.push_back({0, std::max(e.CellsY, 0)});
}

std::span<const TRowRange> TColumnRows::Rows(int32_t Column) {
    if (FArea)
        return FArea->Rows(Column);
    return FAll;
}

int64_t CandidateCells(const TGridExtent& Extent) {
    return int64_t{std::max(Extent.CellsX, 0)} * std::max(Extent.CellsY, 0);
}

int64_t CellsToWrite(const TGridState& State) {
    if (!State.Area)
        return CandidateCells(State.GridExtent);
    TColumnRows rows(State);
    int64_t cells = 0;
    for (int32_t i = 0; i < State.GridExtent.CellsX; ++i)
        for (const TRowRange& r : rows.Rows(i))
            cells += r.End - r.Begin;
    return cells;
}

bool CellIsWritten(const TGridState& State, double X, double Y) {
    const TGridExtent& e = State.GridExtent;
    if (State.CellSize <= 0)
        return false;
    const TCornerPoint origin = CellOriginAt(State, X, Y);
    const double column = (origin.X - e.X1) / State.CellSize;
    const double row = (origin.Y - e.Y1) / State.CellSize;
    if (!(column >= 0 && column < e.CellsX && row >= 0 && row < e.CellsY))
        return false;
    TColumnRows rows(State);
    for (const TRowRange& r : rows.Rows(static_cast<int32_t>(column)))
        if (row >= r.Begin && row < r.End)
            return true;
    return false;
}

void ChooseArea(TGridState& State, std::shared_ptr<const TArea> Area) {
    CheckArea(State, *Area);
    const pwnet::TFloatRect b = Area->Bounds();
    // An X of exactly 0 means "not set"; a millionth of a metre east of it snaps to
    // the same cell line.
    auto corner = [](double x, double y) { return TCornerPoint{x == 0.0 ? 1e-6 : x, y}; };
    const std::shared_ptr<const TArea> previous = State.Area;
    State.Area = std::move(Area);
    try {
        State.SetCorners(corner(b.xmin, b.ymin), corner(b.xmax, b.ymax));
    } catch (...) {
        State.Area = previous;
        throw;
    }
}

void LimitToArea(TGridState& State, std::shared_ptr<const TArea> Area) {
    CheckArea(State, *Area);
    State.Area = std::move(Area);
    State.newxyfactor();
}

void ClearArea(TGridState& State) {
    State.Area.reset();
    State.newxyfactor();
}

void CheckAreaFitsGrid(const TGridState& State) {
    if (!State.Area)
        return;
    if (State.Area->Epsg != GridEpsg(State.GridKind))
        throw ERangeError("The area " + State.Area->Description() +
                          " is in another coordinate system than the grid: choose it again");
    if (State.ListedCells)
        throw ERangeError("A list of cells is written as it is: it cannot be cut to the area " +
                          State.Area->Description());
}

std::string AreaCellsText(const TGridState& State, int64_t Cells) {
    if (!State.Area)
        return {};
    return "Cells within " + State.Area->Description() + ": " + std::to_string(Cells);
}

} // namespace quadrel
