#pragma once
// A list of cells by name (quadrel-cli --from-ids): one cell name a line, all of one
// grid system and size, read into the lower-left corners that the run then writes
// in the list's order instead of every cell of an extent.

#include "grid_state.h"

#include <cstdint>
#include <istream>
#include <memory>
#include <vector>

namespace quadrel {

struct TCellOrigin {
    int32_t Easting = 0, Northing = 0;
    friend bool operator==(const TCellOrigin&, const TCellOrigin&) = default;
};

struct TCellList {
    TGridKind Kind = gkNone;
    int32_t SizeTag = 0;
    std::vector<TCellOrigin> Cells; // lower-left corners, in the list's order
    // The rectangle the cells span: the lowest lower-left and the highest upper-right
    // corner of any of them.
    TCornerPoint Low, High;
};

// Reads one name a line: DKN identifiers or EuroGrid codes in any style
// (cell_name_parser.h), blanks around a name, a carriage return at the end of a line,
// blank lines and a UTF-8 byte-order mark ignored. Raises ERangeError beginning with
// "line N: " for a line that is no cell's name, a cell of another grid system or
// size than the first one's, a cell named twice, or a cell beyond the range the run
// can write (32-bit metres; EuroGrid origins of 7 digits; DKN identifiers of 20
// characters); and for a list without names.
TCellList ReadCellList(std::istream& In);

// Makes State write List's cells: its corners span them. State's grid system and size
// must be List's; raises ERangeError, changing nothing, otherwise.
void ChooseListedCells(TGridState& State, std::shared_ptr<const TCellList> List);

// Raises ERangeError when State's listed cells belong to another grid system or size
// or lie beyond its extent (the state changed after ChooseListedCells).
void CheckListedCells(const TGridState& State);

} // namespace quadrel
