#pragma once
// "Set area...": two opposite corners as the user types them, in the grid system's
// metres or as a longitude/latitude box in WGS 84 degrees, checked and turned into
// the corners of the grid state. Plain values, no widgets: the dialog only shows them.

#include "grid_state.h"
#include "lonlat_points.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quadrel {

enum class TAreaUnits { Metres, Degrees };

// The dialog's four fields in order: X1, Y1, X2, Y2 in metres; West, South, East,
// North in degrees.
using TAreaTexts = std::array<std::string, 4>;
std::array<std::string_view, 4> AreaFieldNames(TAreaUnits Units);

// A number as typed: blanks around it, '.' or ',' as the decimal separator, an
// exponent; no grouping. Nothing for any other text.
std::optional<double> ParseTypedNumber(std::string_view Text);

struct TTypedArea {
    TCornerPoint First, Second; // grid metres
    std::string Error;          // why the texts cannot be used; empty when they can
};

// The corners the texts describe. Degrees give the smallest rectangle of grid
// metres that holds the whole box (its edges traced through Projection). Refused,
// with a message naming the field: a text that is not a finite number, degrees
// beyond +-180 / +-90 or a box whose west is not west of its east (south of its
// north), corners that do not differ in both directions, an easting of exactly 0
// (it marks an unset corner), and an area State's cell size cannot snap.
TTypedArea AreaFromTexts(const TAreaTexts& Texts, TAreaUnits Units, const TGridState& State,
                         const TLonLatPoints* Projection);

// The texts that show State's corners: metres with at most two decimals, degrees
// with five (the box around the corners' rectangle). All empty unless both corners
// are set, or when the degrees cannot be computed.
TAreaTexts TextsFromCorners(const TGridState& State, TAreaUnits Units,
                            const TLonLatPoints* Projection);

} // namespace quadrel
