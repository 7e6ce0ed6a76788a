#pragma once
// How the generation run writes one cell: as its closed square ring or as a point at
// its centre, with the format's coordinate shift or in WGS 84 longitude and
// latitude; and the walk over a list of cells (quadrel-cli --from-ids), which the
// run takes instead of the extent's columns.

#include "cell_naming.h"
#include "grid_state.h"
#include "pwnet_giswriter.h"
#include "run_formats.h"
#include "run_user_interface.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quadrel {

class TLonLatColumns;
class TLonLatPoints;

class TCellShapes {
public:
    // The cells of State as Format stores them. Raises Exception when the format
    // takes longitude and latitude and PROJ cannot give them for the grid system.
    TCellShapes(const TGridState& State, const TRunFormat& Format);
    ~TCellShapes();
    TCellShapes(const TCellShapes&) = delete;
    TCellShapes& operator=(const TCellShapes&) = delete;

    // The geometry kind of the output: otPoint for centre points, else otRegion.
    pwnet::TObjectTypes ObjectType() const { return FPoints ? pwnet::otPoint : pwnet::otRegion; }

    // Makes column i of the extent current, before its cells are written.
    void SetColumn(int32_t i);
    // Writes the cell of row j of the current column, lower-left corner (x, y), named
    // by Namer after its corner (Easting, Northing) in whole grid metres: its ring and
    // text join the run that goes to the writer in one call (Flush), a centre point
    // is written at once. Nothing is allocated per cell.
    void Write(pwnet::TGISWrite& Writer, double x, double y, int32_t j, TCellNamer& Namer,
               int32_t Easting, int32_t Northing) {
        if (!FPlainRings)
            return WriteTransformed(Writer, x, y, j, Namer, Easting, Northing);
        FillRing(NextRing(Writer, Namer, Easting, Northing), x, y);
    }
    // Hands the rings collected by Write to the writer: at the end of every column,
    // before its progress is shown.
    void Flush(pwnet::TGISWrite& Writer);
    // Writes a cell that belongs to no column (a cell of a list).
    void WriteAt(pwnet::TGISWrite& Writer, double x, double y, std::string_view Attrib);

private:
    // The closed ring of the cell, clockwise from its lower-left corner, shifted.
    void FillRing(pwnet::TFloatPoint* p, double x, double y) const {
        p[0] = {x + FShift.x, y + FShift.y};
        p[1] = {x + FShift.x, (y + FSize) + FShift.y};
        p[2] = {(x + FSize) + FShift.x, (y + FSize) + FShift.y};
        p[3] = {(x + FSize) + FShift.x, y + FShift.y};
        p[4] = p[0];
    }
    // The next cell of the run, with its text: room for its five corners. A full run
    // goes to the writer first.
    pwnet::TFloatPoint* NextRing(pwnet::TGISWrite& Writer, TCellNamer& Namer, int32_t Easting,
                                 int32_t Northing) {
        if (FRunCount == RunLength)
            Flush(Writer);
        Namer.AppendAttributeText(Easting, Northing, FRunText);
        FRunEnds[FRunCount] = FRunText.size();
        return &FRunPoints[5 * FRunCount++];
    }
    void WriteTransformed(pwnet::TGISWrite& Writer, double x, double y, int32_t j,
                          TCellNamer& Namer, int32_t Easting, int32_t Northing);
    void WritePoint(pwnet::TGISWrite& Writer, double x, double y, std::string_view Attrib);
    pwnet::TFloatPoint LonLat(double x, double y, const char* What) const;

    double FSize;
    pwnet::TFloatPoint FShift;
    bool FPoints;
    bool FLonLat;
    bool FPlainRings; // rings in grid metres: the common case, kept inline
    pwnet::TFloatPointArrayEx FRing;
    // The run of rings not yet written: corners and texts of FRunCount cells, the
    // texts one after the other in FRunText, each ending at its FRunEnds. Short
    // enough to stay in the processor's first cache while the writer reads it.
    static constexpr int32_t RunLength = 64;
    std::vector<pwnet::TFloatPoint> FRunPoints;
    std::string FRunText;
    std::vector<size_t> FRunEnds;
    std::vector<std::string_view> FRunViews;
    int32_t FRunCount = 0;
    std::unique_ptr<TLonLatColumns> FColumns;        // the extent's corners, column by column
    std::unique_ptr<TLonLatPoints> FPointsInDegrees; // single points: centres, listed cells
};

// Writes the listed cells of State (State.ListedCells) in their order, with their
// names, advancing the progress bar and letting events through every thousand cells.
void WriteListedCells(pwnet::TGISWrite& Writer, const TGridState& State, TCellShapes& Shapes,
                      TRunUserInterface& UI);

} // namespace quadrel
