#pragma once
// The texts of the status bar's areas after the six extent panels: what "GO !"
// would write, and the notice about corners kept from another grid system. Plain
// values over the grid core, no widgets.

#include "grid_state.h"
#include "pwnet_types.h"

#include <string>

namespace quadrel {

// What a run of the grid would write, before the user clicks "GO !": the number of
// cells and the run's own first size estimate for the chosen format, and, when a
// check that needs no folder would refuse the run, why. Made by PreviewRun, which
// the run makes its checks with, so the text and the run agree.
struct TRunSizeText {
    // "170200 cells, about 14.3 MB"; with an area the grid is cut to, "48045 cells
    // within Denmark land, about 9.9 MB"; empty without an extent.
    std::string Text;
    bool Refused = false; // the run would be refused; Text then ends with the reason
};
TRunSizeText RunSizeText(const TGridState& State);

// The notice when the kept corners lie outside Map (the grid system's background,
// in its metres) after another grid system was chosen; empty when both lie on it,
// while a corner is unset, or without a map.
std::string CornersOutsideMapNotice(const TGridState& State, const pwnet::TFloatRect& Map);

} // namespace quadrel
