#pragma once
// The position under the pointer as the status bar shows it: the grid system's
// metres, longitude and latitude (WGS 84, through PROJ) and the name of the cell
// of the chosen size there. Plain text, no widgets: the window only passes it on.

#include "grid_state.h"
#include "lonlat_points.h"

#include <map>
#include <memory>
#include <string>

namespace quadrel {

class TCursorReadout {
public:
    TCursorReadout();
    ~TCursorReadout();

    // For the world point (X, Y) of State's grid system, e.g.
    //   X: 724512  Y: 6175498   Cell: 1km_6175_724   12.57060° E  55.67329° N
    // (the degrees last: a narrow status bar cuts them first). The cell is left out
    // where it has no name, the degrees where PROJ gives none. Empty without a grid
    // system.
    std::string Text(const TGridState& State, double X, double Y);

private:
    // One transformation per grid system, made when first needed; null when PROJ
    // cannot make it.
    const TLonLatPoints* Projection(TGridKind Kind);

    std::map<TGridKind, std::unique_ptr<TLonLatPoints>> FProjections;
};

// Metres rounded to whole metres ("6175498", "-12"), and degrees with five
// decimals and their hemisphere ("12.56789° E", "3.50000° W"); '.' whatever the locale.
std::string WholeMetres(double Metres);
std::string Degrees(double Value, char Positive, char Negative);

} // namespace quadrel
