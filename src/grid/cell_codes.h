#pragma once
// The names a cell carries beyond its own: the standard codes of EuroGrid cells
// (the EEA reference grid's and INSPIRE's), the names of the larger standard cells
// that hold a cell (its parents), the fields they take and the text they add to a
// cell's attribute row; and the cells of every size that hold a point. Together with
// cell_naming.h this is the one place where cells get their names.

#include "grid_state.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quadrel {

struct TCellField; // cell_naming.h

// The EuroGrid cell origins are stored in number fields of 7 characters.
inline constexpr int64_t EuroGridOriginMin = -999999;
inline constexpr int64_t EuroGridOriginMax = 9999999;

// quadrel-cli's names of the styles: "none", "eea", "inspire", "inspire-short".
std::string_view CellCodeStyleName(TCellCodeStyle Style);
// The style of a name (ASCII case ignored), or nullopt.
std::optional<TCellCodeStyle> FindCellCodeStyle(std::string_view Name);

// The field of a EuroGrid cell's own code: "CELLCODE" (EEA) or "GRD_ID" (both
// INSPIRE styles); empty for None.
std::string_view CellCodeField(TCellCodeStyle Style);

// The code of the EuroGrid cell of Size with lower-left corner (Easting, Northing),
// a multiple of the cell size; negative numbers keep their minus sign:
//   EEA:           1kmE4321N3210                     label E easting/size N northing/size
//   Inspire:       CRS3035RES1000mN3210000E4321000   size in metres, northing, easting
//   InspireShort:  1kmN3210E4321                     label N northing/size E easting/size
// None counts as EEA.
std::string EuroGridCode(TCellCodeStyle Style, const TGridSize& Size, int64_t Easting,
                         int64_t Northing);
void AppendEuroGridCode(std::string& Out, TCellCodeStyle Style, const TGridSize& Size,
                        int64_t Easting, int64_t Northing);

// The name of the cell of Size with lower-left corner (Easting, Northing): the DKN
// identifier, or the EuroGrid code in Style (None: EEA).
std::string CellName(TGridKind Kind, TCellCodeStyle Style, const TGridSize& Size, int64_t Easting,
                     int64_t Northing);
void AppendCellName(std::string& Out, TGridKind Kind, TCellCodeStyle Style, const TGridSize& Size,
                    int64_t Easting, int64_t Northing);

// The lower-left corner coordinate of the cell of CellSize metres that holds the
// coordinate Value (a point on a cell line belongs to the cell north and east of it).
constexpr int64_t OriginOf(int64_t Value, int64_t CellSize) {
    const int64_t q = Value / CellSize;
    return (q - (Value % CellSize < 0 ? 1 : 0)) * CellSize;
}

// The larger standard sizes whose cells hold a cell of Size, smallest first:
//   DKN:      1 km, 10 km and 100 km, those larger than the cell (100 m, 250 m and
//             500 m -> 1 km -> 10 km -> 100 km; 2 km and 5 km -> 10 km -> 100 km)
//   EuroGrid: every larger size of the system, up to 1000 km.
std::vector<const TGridSize*> ParentSizes(TGridKind Kind, const TGridSize& Size);

// The field of the parent of ParentSize: "KN1kmDK" (DKN), "CC_1km" (EuroGrid, EEA
// or no style), "GRD_1km" (EuroGrid, an INSPIRE style). At most 10 characters, as a
// dBASE field name must be.
std::string ParentField(TGridKind Kind, TCellCodeStyle Style, const TGridSize& ParentSize);

// The width of a field of EuroGrid codes of CodeSize in Style for the cells of
// CellSize (CodeSize itself or a parent size): the longest code of the cells that
// hold a cell of the run's range of origins.
int32_t EuroGridCodeWidth(TCellCodeStyle Style, const TGridSize& CodeSize,
                          const TGridSize& CellSize);

// The fields that State's options add after the cell's own fields, in this order:
// the cell's EuroGrid code (CellCode), then one per parent size (ParentCells). All
// text; DKN parents take the 20 characters of a DKN identifier.
void AppendCodeFields(const TGridState& State, std::vector<TCellField>& Fields);

// Appends the values of the fields of AppendCodeFields to a cell's attribute text:
// for each, a comma and the name in double quotes (no name holds a comma or a
// quote). Takes what it needs from State once; allocates nothing per cell.
class TCellCodeTexts {
public:
    explicit TCellCodeTexts(const TGridState& State);
    bool Empty() const { return FColumns.empty(); }
    // For the cell with lower-left corner (Easting, Northing).
    void Append(std::string& Text, int64_t Easting, int64_t Northing) const;

private:
    struct TColumn {
        TGridKind Kind;
        TCellCodeStyle Style;
        const TGridSize* Size;
    };
    std::vector<TColumn> FColumns;
};

// The cell of one size that holds a point.
struct TCellAt {
    const TGridSize* Size = nullptr;
    TCornerPoint LowerLeft, UpperRight;
    // DKN: the identifier. EuroGrid: the code in the chosen style, or all three
    // codes (EEA, INSPIRE, INSPIRE short) without one.
    std::vector<std::string> Names;
    bool HasPlaceName = false; // a DKN 10 km cell, named also by the gazetteer
    std::string PlaceName;     // its name there, empty at sea
};

// The cells that hold the point (X, Y), in grid metres: one for each size of Kind in
// menu order, or only Only's. A point on a cell line belongs to the cell north and
// east of it. Empty when the point lies beyond the range of cell names (32-bit metres).
std::vector<TCellAt> CellsAt(TGridKind Kind, double X, double Y, TCellCodeStyle Style,
                             const TGridSize* Only = nullptr);

} // namespace quadrel
