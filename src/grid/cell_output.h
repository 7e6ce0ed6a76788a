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
    // Writes the cells of rows [Begin, End) of the current column, lower-left corners
    // (x, Y1 + j * Size), named by Namer after their corners in whole grid metres
    // (Easting, and each row's northing rounded): their rings and texts join the run
    // that goes to the writer in one call (Flush), centre points are written at once.
    // Nothing is allocated per cell.
    void WriteRows(pwnet::TGISWrite& Writer, TCellNamer& Namer, double x, int32_t Easting,
                   double Y1, int64_t Size, int32_t Begin, int32_t End);
    // Hands the rings collected by WriteRows to the writer: at the end of every column,
    // before its progress is shown.
    void Flush(pwnet::TGISWrite& Writer);
    // Writes a cell that belongs to no column (a cell of a list).
    void WriteAt(pwnet::TGISWrite& Writer, double x, double y, std::string_view Attrib);

private:
    // The closed ring of the cell, clockwise from its lower-left corner, shifted.
    void FillRing(pwnet::TFloatPoint* p, double x, double y) const {
        FillRing(p, x + FShift.x, (x + FSize) + FShift.x, y + FShift.y, (y + FSize) + FShift.y);
    }
    // The same from the shifted west, east, south and north edges.
    static void FillRing(pwnet::TFloatPoint* p, double West, double East, double South,
                         double North) {
        p[0] = {West, South};
        p[1] = {West, North};
        p[2] = {East, North};
        p[3] = {East, South};
        p[4] = {West, South};
    }
    // The next cell of the run, with its text: room for its five corners. A full run
    // goes to the writer first.
    pwnet::TFloatPoint* NextRing(pwnet::TGISWrite& Writer, TCellNamer& Namer, int32_t Easting,
                                 int32_t Northing);
    size_t AppendText(TCellNamer& Namer, int32_t Easting, int32_t Northing, size_t Next);
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
    std::vector<char> FRunText; // used up to FRunTextEnd
    size_t FRunTextEnd = 0;
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
