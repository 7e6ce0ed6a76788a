#pragma once
// The corners of a grid's cells in WGS 84 longitude and latitude, for the formats
// whose readers take nothing else (KML). A grid has millions of cells but every
// corner is shared by up to four of them: the corners are transformed one node
// line (a column of corners) at a time, each line once, while the run walks the
// columns from west to east. Memory grows with the rows of one column only.

#include "lonlat_points.h"
#include "pwnet_types.h"

#include <cstdint>
#include <vector>

namespace quadrel {

class TLonLatColumns {
public:
    // Cells of CellSize metres, Rows cells per column, the first with its lower-left
    // corner at (X1, Y1) in the projected system EPSG:SourceEpsg. Raises Exception
    // when PROJ cannot transform that system to WGS 84.
    TLonLatColumns(int32_t SourceEpsg, double X1, double Y1, int64_t CellSize, int32_t Rows);

    // Makes column i current: its western and eastern node lines in longitude and
    // latitude. Taking the columns in order transforms each node line once. Raises
    // Exception when a corner has no longitude and latitude.
    void SetColumn(int32_t i);
    // The ring of cell j of the current column, as the run writes every cell:
    // closed, clockwise from the lower-left corner, in degrees (x longitude, y latitude).
    void FillRing(pwnet::TFloatPointArrayEx& Ring, int32_t j) const;

private:
    void TransformLine(int32_t i, std::vector<pwnet::TFloatPoint>& Line);

    TLonLatTransform FTransform;
    double FX1, FY1;
    int64_t FCellSize;
    int32_t FRows;
    int32_t FColumn = -2; // no column yet
    std::vector<pwnet::TFloatPoint> FWest, FEast;
    std::vector<double> FX, FY; // the line being transformed
};

} // namespace quadrel
