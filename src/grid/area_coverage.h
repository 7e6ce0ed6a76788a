#pragma once
// Which cells of a grid an area covers, column by column, by a scan-line over the
// area's edges: the cost grows with the cells plus the edges, never with their
// product, and no cell is intersected with the polygons.
//
// A cell is covered when its square and the area share interior; a cell that only
// touches the area along an edge or at a corner is not. For the open strip of one
// column this holds exactly when the open interval of the cell's rows meets the
// northings at which the strip's interior meets the area's. Those northings are
//   - the northings of every edge piece inside the open strip (next to an edge of a
//     valid polygon there is interior), and
//   - the intervals where the strip's middle line runs inside the area (that covers
//     the cells with no edge in them).

#include "area.h"

#include <cstdint>
#include <span>
#include <vector>

namespace quadrel {

// The rows Begin .. End - 1 of one column.
struct TRowRange {
    int32_t Begin = 0;
    int32_t End = 0;
    friend bool operator==(const TRowRange&, const TRowRange&) = default;
};

class TAreaColumns {
public:
    // The area's rings (interior by the nonzero winding rule) over columns of
    // CellSize metres whose first lies at X1, each of Rows cells from Y1 north. The
    // rings are those of valid polygons (no spikes; the area reader mends others);
    // a ring without area is left out.
    TAreaColumns(std::span<const TAreaRing> Rings, double X1, double Y1, int64_t CellSize,
                 int32_t Rows);

    // The covered rows of column i, sorted, disjoint and apart; valid until the next
    // call. Columns taken from west to east share one sweep over the edges; going
    // back west starts the sweep again.
    const std::vector<TRowRange>& Rows(int32_t Column);

private:
    struct TEdge {
        double X0, Y0, X1, Y1;
        double XMin, XMax;
        // The northing on the edge at easting x (XMin <= x <= XMax, not vertical).
        double YAt(double x) const;
    };
    struct TCrossing {
        double Y;
        int32_t Winding;
    };

    void Advance(double West, double East);
    // Rows whose open interval meets the closed northing interval Low..High.
    void AddNorthings(double Low, double High);
    void AddInsideRuns();
    void Merge();

    std::vector<TEdge> FEdges; // by XMin
    double FX1, FY1;
    int64_t FCellSize;
    int32_t FRowCount;
    int32_t FColumn = -1;
    size_t FNext = 0;              // the first edge not yet taken into the sweep
    std::vector<uint32_t> FActive; // edges that reach into the current column
    std::vector<TCrossing> FCrossings;
    std::vector<TRowRange> FRanges;
};

} // namespace quadrel
