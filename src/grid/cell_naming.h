#pragma once
// Cell names: the DKN cell identifier ("1km_6200_440"), the attribute fields of a
// grid and the attribute text of one cell as the generation run hands it to a
// writer (the values of one row, comma-separated, texts in double quotes).

#include "cell_codes.h"
#include "grid_state.h"
#include "pwnet_functions.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quadrel {

// Value in plain decimal ("-" for a negative value, no grouping) with its last
// DroppedDigits characters cut off; empty when no character is left. The digits
// are cut, not rounded: cell corners are whole multiples of the cell size.
std::string CellIdPart(int32_t Value, int32_t DroppedDigits);

// The DKN identifier of the cell with lower-left corner (Easting, Northing):
// SizeLabel "_" northing "_" easting, each number with DroppedDigits cut off
// (1km_6123_456 for E 456000, N 6123000). The northing comes first.
std::string CellId(int32_t Easting, int32_t Northing, std::string_view SizeLabel,
                   int32_t DroppedDigits);
// The same with the size of a DKN grid state.
std::string CellId(const TGridState& State, int32_t Easting, int32_t Northing);
// Appends the identifier to Out (also for corners beyond 32 bits, as parents have).
void AppendCellId(std::string& Out, int64_t Easting, int64_t Northing, std::string_view SizeLabel,
                  int32_t DroppedDigits);

// The DKN identifier field: "KN" + SizeLabel + "DK" (KN1kmDK, KN10kmDK).
std::string DKNFieldName(std::string_view SizeLabel);

// Whether cells carry a place name besides their identifier: DKN 10 km cells.
bool HasPlaceNames(const TGridState& State);

// One attribute field of the grid's cells.
struct TCellField {
    std::string Name;
    bool Numeric; // a whole number (EuroGrid origins) rather than text
    int32_t Width;
};

// The fields of every cell, in the order of the attribute text:
//   EuroGrid:    "eoforigin", "noforigin" (numeric, width 7 each)
//   DKN 10 km:   KN10kmDK (text, 20), "Stednavn" (text, 40)
//   DKN other:   KN<label>DK (text, 20)
// followed by the code and parent fields that State's options ask for (cell_codes.h).
std::vector<TCellField> CellFields(const TGridState& State);

// Builds the attribute text of one cell after another into one reused buffer, so
// that a run of millions of cells allocates nothing per cell. The corner is the
// cell's unshifted lower-left corner rounded to whole metres.
//   EuroGrid:    4321000,3210000
//   DKN 10 km:   "10km_612_86","Rønne N"   (an empty name gives "...","")
//   DKN other:   "1km_6123_456"
// followed by the values of the code and parent fields, if any.
class TCellNamer {
public:
    // Takes what it needs from State now; later changes of State do not reach it.
    explicit TCellNamer(const TGridState& State);

    // The text for the cell at (Easting, Northing); valid until the next call.
    const std::string& AttributeText(int32_t Easting, int32_t Northing);
    // The same text, appended to Out: for a run of cells whose texts are read later.
    void AppendAttributeText(int32_t Easting, int32_t Northing, std::string& Out);

    // The text of the cell north of the one named last, when it is that text with its
    // northing counted up (a column's next cell): put at Dest, which has room for
    // QuickTextRoom characters, and its end returned. Null, with nothing written, for
    // every other cell; AttributeText names those. Inline, as a run of 100 m cells
    // names ten million of them.
    static constexpr size_t QuickTextRoom = 32;
    char* PutNextText(int32_t Easting, int32_t Northing, char* Dest) {
        if (Easting != FEasting || int64_t{Northing} != FQuickNorthing)
            return nullptr;
        char& last = FText[FLastDigitAt];
        if (last == '9')
            return PutCarriedText(Northing, Dest);
        // The text is copied before its digit changes: a wide read of a byte just
        // stored would wait for it.
        const auto digit = static_cast<char>(last + 1);
        pwnet::CopyShort(Dest, FText.data(), FText.size());
        Dest[FLastDigitAt] = digit;
        last = digit;
        FNorthing = Northing; // Named(Northing), whose conditions hold here
        FQuickNorthing = int64_t{Northing} + FQuickStep;
        return Dest + FText.size();
    }

private:
    bool NextNorthing(int32_t Northing, char* Copy);
    char* PutCarriedText(int32_t Northing, char* Dest);
    // FText now names Northing (in the column of FEasting).
    void Named(int32_t Northing) {
        FNorthing = Northing;
        FQuickNorthing = FQuickStep && Northing >= 0 ? int64_t{Northing} + FQuickStep : NoNorthing;
    }
    const std::string& NewText(int32_t Easting, int32_t Northing);

    bool FEuroGrid;
    bool FPlaceNames;
    int32_t FDroppedDigits;
    std::string FIdPrefix; // "\"" + SizeLabel + "_"
    std::string FText;
    // FText is an identifier alone, of FEasting and FNorthing, whose part of the text
    // has FNorthingLength characters.
    bool FReusable = false;
    int32_t FEasting = 0;
    int32_t FNorthing = 0;
    size_t FNorthingLength = 0;
    int64_t FDigitStep = 0; // 10^DroppedDigits: one unit of the last kept digit
    // PutNextText's cell: the northing after FNorthing when FText is an identifier it
    // may count up (else NoNorthing, which no cell has), the step to it (0 for no
    // such text) and where the northing's last digit is.
    static constexpr int64_t NoNorthing = INT64_MIN;
    int64_t FQuickNorthing = NoNorthing;
    int64_t FQuickStep = 0;
    size_t FLastDigitAt = 0;
    TCellCodeTexts FCodes;
};

// The lower-left corner of the cell of State's size that contains (X, Y), in grid
// metres: a point on a cell line belongs to the cell to its north and east.
TCornerPoint CellOriginAt(const TGridState& State, double X, double Y);

// The name of the cell of State's size that contains (X, Y), as a user reads it:
// the DKN identifier ("1km_6175_724"), or the EuroGrid code in State's CellCode
// style, without one the origin pair ("4321000, 3210000"). Empty without a grid
// system and size, or beyond the range of names.
std::string CellNameAt(const TGridState& State, double X, double Y);

// The attribute text of one cell (see TCellNamer), for single use.
std::string AttributeText(const TGridState& State, int32_t Easting, int32_t Northing);

} // namespace quadrel
