#pragma once
// The cells a run of a grid state writes: every cell of the extent, or, when the
// state has an area, only those whose square shares interior with it. The run walks
// them, and its size estimates, the window's read-out and quadrel-cli's dry run
// count them, all through TColumnRows, so that they agree.

#include "area.h"
#include "area_coverage.h"
#include "grid_state.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quadrel {

class TColumnRows {
public:
    // Takes what it needs from State now.
    explicit TColumnRows(const TGridState& State);
    // The rows the run writes in column i (0 .. CellsX - 1), south to north; valid
    // until the next call. Fastest column after column from west to east.
    std::span<const TRowRange> Rows(int32_t Column);

private:
    std::optional<TAreaColumns> FArea;
    std::vector<TRowRange> FAll; // without an area: every row
};

// Every cell of the extent: CellsX x CellsY.
int64_t CandidateCells(const TGridExtent& Extent);
// The cells the run writes: the candidates, or those within the area.
int64_t CellsToWrite(const TGridState& State);

// Whether the run writes the cell that holds the point (X, Y): it lies in the
// extent and, when the state has an area, within it.
bool CellIsWritten(const TGridState& State, double X, double Y);

// Cuts the grid to Area, whose extent becomes the area's bounding box snapped
// outwards to whole cells (the corners are set to it). Raises EAreaError, changing
// nothing, for an area without rings or in another system than the grid's.
void ChooseArea(TGridState& State, std::shared_ptr<const TArea> Area);
// Cuts the grid to Area within the extent of the corners set already (a preset, two
// clicks, --corners): only cells inside both are written.
void LimitToArea(TGridState& State, std::shared_ptr<const TArea> Area);
// Every cell of the extent again.
void ClearArea(TGridState& State);

// Raises ERangeError when the state's area cannot be used with its grid (rings of
// another coordinate system, or a list of cells to write instead of the extent's).
// Nothing without an area.
void CheckAreaFitsGrid(const TGridState& State);

// The line that tells the cells within the area: "Cells within Denmark land: 45123";
// empty when the state has no area.
std::string AreaCellsText(const TGridState& State, int64_t Cells);

} // namespace quadrel
