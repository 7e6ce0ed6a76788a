#pragma once
// Reading a cell's name back: a DKN identifier ("1km_6200_440") or a EuroGrid code
// in any of its three styles ("1kmE4321N3210", "CRS3035RES1000mN3210000E4321000",
// "1kmN3210E4321") gives the cell's grid system, size and lower-left corner.

#include "grid_state.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quadrel {

struct TNamedCell {
    TGridKind Kind = gkNone;
    const TGridSize* Size = nullptr;
    // EuroGrid: the style the name is written in; None for a DKN identifier.
    TCellCodeStyle Style = TCellCodeStyle::None;
    int64_t Easting = 0, Northing = 0; // the lower-left corner, in grid metres
};

// Reads Name as the grid writes it (letters in any case). A DKN identifier cuts the
// digits below its unit, which are zeros for every cell corner, so it names exactly
// one cell; a name is accepted only when it is exactly the name of that cell (no
// leading zeros, no "+", a corner on the size's cell lines). Returns the reason when
// Name is no cell's name, else an empty text and the cell in Cell.
std::string ParseCellName(std::string_view Name, TNamedCell& Cell);

} // namespace quadrel
