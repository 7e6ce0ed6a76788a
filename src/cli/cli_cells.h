#pragma once
// quadrel-cli's cell options and look-up modes: --cellcode, --parents and --points,
// which set what each cell carries and how it is drawn; --cell-at, which prints the
// cells that hold a point; and --from-ids, which writes exactly the cells a file
// names instead of the cells of an area.

#include "cli_options.h"

#include <ostream>
#include <string>
#include <string_view>

namespace quadrel::cli {

// --cell-at's "X,Y"; spaces around the numbers are allowed. Raises EUsageError
// unless there are exactly two finite numbers.
TCornerPoint ParseCellAtPoint(std::string_view Text);

// Checks the options that go with --cell-at and --from-ids, and that --lonlat goes
// with --cell-at. True when one of the two modes was chosen with what it needs, so
// that the checks of an area do not apply; false for a grid of an area. Raises
// EUsageError for a missing or contradictory choice.
bool CheckCellModeOptions(const TCliOptions& Options);

// Sets State's code style, parent cells and centre points from --cellcode, --parents
// and --points. Raises EUsageError for an unknown style, or a style for DKN cells.
void ApplyCellOptions(const TCliOptions& Options, TGridState& State);

// --from-ids: reads the file, then sets State as for a grid of an area (grid system
// and size those of the listed cells, which --grid and --size must agree with when
// given; the format; the cell options) and makes it write the listed cells. Raises
// EUsageError naming the file and the line for a list the run cannot write.
TCliChoice ApplyCellList(const TCliOptions& Options, TGridState& State);

// --cell-at: prints the point in grid metres, then one line for each size (or
// --size's): "<size>: <name(s)> <lower-left> <upper-right>", with the place name of
// a DKN 10 km cell in quotes at the end. Raises EUsageError for an unknown size, a
// point beyond the range of cell names, or degrees PROJ cannot place.
void PrintCellsAt(const TCliOptions& Options, std::ostream& Out);

// The lines of --help: the usage of the two modes, the options, the examples.
std::string CellUsageHelp();
std::string CellOptionsHelp();
std::string CellExamplesHelp();

} // namespace quadrel::cli
